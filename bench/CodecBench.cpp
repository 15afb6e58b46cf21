// In-process figures: the value codec, request building, answer decoding, the discovery filter,
// the password cipher, and our MD5 and triple DES against OpenSSL's on the same inputs.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include "BenchTable.h"
#include "device/DeviceProfile.h"
#include "device/PasswordCipher.h"
#include "device/SetIPRequest.h"
#include "ndcp/OvNDCPRequest.h"
#include "ndcp/wire/Md5.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/AnswerBuilder.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

namespace {

constexpr const char* kSection = "in-process";

struct TypeSample {
    std::uint8_t type;
    const char* name;
    const char* text;
};

// One typical value text per type.
const TypeSample kTypeSamples[] = {
    {kBool8, "bool8", "true"},
    {kInt8, "int8", "-100"},
    {kUInt8, "uint8", "200"},
    {kBool16, "bool16", "false"},
    {kInt16, "int16", "-30000"},
    {kUInt16, "uint16", "60000"},
    {kBool32, "bool32", "true"},
    {kInt32, "int32", "-2000000000"},
    {kUInt32, "uint32", "4000000000"},
    {kDouble, "double", "3.14159"},
    {kTimeticks, "timeticks", "1 day 2:03:04.05"},
    {kDateTime, "datetime", "2005/01/01 08:00:00 am"},
    {kIpAddress, "ipaddress", "192.168.0.101"},
    {kMacAddress, "macaddress", "0011AABBCCDD"},
    {kBitStr, "bitstr", "0102FF80"},
    {kOctetStr, "octetstr", "00112233445566778899AABBCCDDEEFF"},
    {kDisplayStr, "displaystr", "Storage-1"},
};

constexpr MacBytes kDeviceMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
// The 12-character password of the cipher figures.
constexpr const char* kPassword12 = "Admin-123456";
constexpr std::size_t kBulkBytes = 8192;
// Our time over OpenSSL's on the same input, at most.
constexpr double kGoalMd5Ratio = 1.5;
constexpr double kGoalTripleDesRatio = 2.0;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::vector<std::uint8_t> Encoded(const TypeSample& sample) {
    std::array<std::uint8_t, 256> out{};
    const int written = EncodeElement(1, sample.type, sample.text, out);
    if (written <= 0) Fail(std::string("no element for ") + sample.name);
    return {out.begin(), out.begin() + written};
}

void RegisterCodec() {
    for (const TypeSample& sample : kTypeSamples) {
        benchmark::RegisterBenchmark(
            (std::string("EncodeElement ") + sample.name).c_str(), [sample](benchmark::State& state) {
                std::array<std::uint8_t, 256> out{};
                for (auto _ : state) {
                    benchmark::DoNotOptimize(EncodeElement(1, sample.type, sample.text, out));
                    benchmark::ClobberMemory();
                }
            });
        const std::vector<std::uint8_t> element = Encoded(sample);
        std::string check;
        if (DecodeElement(1, sample.type, check, element) != 0)
            Fail(std::string("no decode for ") + sample.name);
        benchmark::RegisterBenchmark(
            (std::string("DecodeElement ") + sample.name).c_str(),
            [sample, element](benchmark::State& state) {
                std::string text;
                for (auto _ : state) {
                    benchmark::DoNotOptimize(DecodeElement(1, sample.type, text, element));
                    benchmark::DoNotOptimize(text.data());
                }
            });
    }
}

void RegisterPackets() {
    benchmark::RegisterBenchmark(
        "BuildRequest Discover with MD5 authenticator", [&](benchmark::State& state) {
            OvNDCPVarList vars;
            SetDiscoveryVars(vars);
            std::uint8_t sequence = 0;
            for (auto _ : state) {
                benchmark::DoNotOptimize(
                    BuildRequest(kBroadcastMac, kDefaultPassword, vars, kDiscoverCommand, sequence++));
            }
        });
    benchmark::RegisterBenchmark("BuildRequest Set IP and netmask with MD5", [](benchmark::State& state) {
        OvNDCPVarList vars;
        AddSetIPVars(vars, "192.168.0.50", "255.255.255.0");
        const std::string password = SetIPPassword(kPassword12);
        std::uint8_t sequence = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(BuildRequest("001122334401", password, vars, kSetCommand, sequence++));
        }
    });
    benchmark::RegisterBenchmark("Check and decode one discovery answer", [&](benchmark::State& state) {
        OvNDCPVarList vars;
        SetDiscoveryVars(vars);
        const std::vector<std::uint8_t> answer = BuildDiscoveryAnswer(
            7, kDeviceMac, std::string(kModelName), "Storage-1", "192.168.0.101", "255.255.255.0");
        if (DecodeAnswer(answer, kDiscoverCommand, vars) != 0 ||
            vars.Var(0).Parts->Part(1).Value != "Storage-1") {
            Fail("the discovery answer does not decode");
        }
        for (auto _ : state) {
            const bool valid = AnswerHeaderValid(answer) && AnswerSequence(answer) == 7;
            benchmark::DoNotOptimize(valid);
            benchmark::DoNotOptimize(DecodeAnswer(answer, kDiscoverCommand, vars));
        }
    });
    benchmark::RegisterBenchmark(
        ("PassesFilter " + std::string(kDiscoveryFilter)).c_str(), [&](benchmark::State& state) {
            OvNDCPRequest request;
            SetDiscoveryVars(request.Vars);
            const std::string filter(kDiscoveryFilter);
            const std::vector<std::uint8_t> answer = BuildDiscoveryAnswer(
                7, kDeviceMac, std::string(kModelName), "Storage-1", "192.168.0.101", "255.255.255.0");
            if (DecodeAnswer(answer, kDiscoverCommand, request.Vars) != 0 || !request.PassesFilter(filter)) {
                Fail("the discovery answer does not pass the filter");
            }
            for (auto _ : state) benchmark::DoNotOptimize(request.PassesFilter(filter));
        });
    benchmark::RegisterBenchmark("EncryptAccessPassword 12 characters", [](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(EncryptAccessPassword(kAccessPasswordKey, kPassword12));
    });
}

// OpenSSL's side of the comparisons, with everything that can be prepared once prepared once.
class OpenSslMd5 {
public:
    OpenSslMd5() : md_(EVP_MD_fetch(nullptr, "MD5", nullptr)), ctx_(EVP_MD_CTX_new()) {
        if (!md_ || !ctx_) Fail("OpenSSL has no MD5");
    }
    ~OpenSslMd5() {
        EVP_MD_CTX_free(ctx_);
        EVP_MD_free(md_);
    }
    OpenSslMd5(const OpenSslMd5&) = delete;
    OpenSslMd5& operator=(const OpenSslMd5&) = delete;

    Md5::Digest Of(std::span<const std::uint8_t> data) {
        Md5::Digest digest{};
        unsigned int size = 0;
        EVP_DigestInit_ex(ctx_, md_, nullptr);
        EVP_DigestUpdate(ctx_, data.data(), data.size());
        EVP_DigestFinal_ex(ctx_, digest.data(), &size);
        return digest;
    }

private:
    EVP_MD* md_;
    EVP_MD_CTX* ctx_;
};

class OpenSslTripleDes {
public:
    OpenSslTripleDes()
        : cipher_(EVP_CIPHER_fetch(nullptr, "DES-EDE-ECB", nullptr)), ctx_(EVP_CIPHER_CTX_new()) {
        if (!cipher_ || !ctx_) Fail("OpenSSL has no two-key triple DES");
    }
    ~OpenSslTripleDes() {
        EVP_CIPHER_CTX_free(ctx_);
        EVP_CIPHER_free(cipher_);
    }
    OpenSslTripleDes(const OpenSslTripleDes&) = delete;
    OpenSslTripleDes& operator=(const OpenSslTripleDes&) = delete;

    // Key set-up and the encryption of whole blocks, as one call of ours does.
    void Encrypt(std::span<const std::uint8_t, 16> key, std::span<const std::uint8_t> input,
                 std::span<std::uint8_t> output) {
        int written = 0;
        int last = 0;
        EVP_EncryptInit_ex2(ctx_, cipher_, key.data(), nullptr, nullptr);
        EVP_CIPHER_CTX_set_padding(ctx_, 0);
        EVP_EncryptUpdate(ctx_, output.data(), &written, input.data(), static_cast<int>(input.size()));
        EVP_EncryptFinal_ex(ctx_, output.data() + written, &last);
    }

private:
    EVP_CIPHER* cipher_;
    EVP_CIPHER_CTX* ctx_;
};

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return bytes;
}

// The authenticator's input: a 36-byte Discover datagram followed by the password.
std::vector<std::uint8_t> AuthenticatorInput() {
    std::vector<std::uint8_t> input(kNDCPHeaderSize, 0);
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), input.begin());
    input[kOffsetCommand] = kDiscoverCommand;
    input[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(kNDCPHeaderSize);
    input[kOffsetControl] = 0x10;
    std::fill(input.begin() + kOffsetTargetMac, input.begin() + kOffsetTargetMac + 6, std::uint8_t{0xFF});
    input[kOffsetFixedByte] = 1;
    const std::string password(kDefaultPassword);
    input.insert(input.end(), password.begin(), password.end());
    return input;
}

void RegisterMd5(const std::string& label, std::vector<std::uint8_t> input) {
    OpenSslMd5 check;
    if (Md5::Of(input) != check.Of(input)) Fail("our MD5 differs from OpenSSL's on " + label);
    benchmark::RegisterBenchmark(("MD5 ours " + label).c_str(), [input](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(Md5::Of(input));
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    });
    benchmark::RegisterBenchmark(("MD5 OpenSSL " + label).c_str(), [input](benchmark::State& state) {
        OpenSslMd5 md5;
        for (auto _ : state) benchmark::DoNotOptimize(md5.Of(input));
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    });
}

void RegisterTripleDes(const std::string& label, std::vector<std::uint8_t> input) {
    std::array<std::uint8_t, 16> key{};
    std::memcpy(key.data(), kAccessPasswordKey.data(), key.size());
    std::vector<std::uint8_t> ours(input.size());
    std::vector<std::uint8_t> theirs(input.size());
    EncryptBytes(key, input, ours);
    OpenSslTripleDes check;
    check.Encrypt(key, input, theirs);
    if (ours != theirs) Fail("our triple DES differs from OpenSSL's on " + label);
    benchmark::RegisterBenchmark(("3DES ours " + label).c_str(), [input, key](benchmark::State& state) {
        std::vector<std::uint8_t> output(input.size());
        for (auto _ : state) {
            benchmark::DoNotOptimize(EncryptBytes(key, input, output));
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    });
    benchmark::RegisterBenchmark(("3DES OpenSSL " + label).c_str(), [input, key](benchmark::State& state) {
        OpenSslTripleDes des;
        std::vector<std::uint8_t> output(input.size());
        for (auto _ : state) {
            des.Encrypt(key, input, output);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    });
}

// Keeps the real time per iteration of every benchmark, in nanoseconds, and nothing else.
class CollectingReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                errors_.push_back(run.benchmark_name() + ": " + run.error_message);
                continue;
            }
            if (run.run_type != Run::RT_Iteration && run.aggregate_name != "median") continue;
            const double ns = run.GetAdjustedRealTime() * NanosecondsPer(run.time_unit);
            const std::string name = BaseName(run);
            order_.push_back(name);
            // With repetitions, the median aggregate comes last and wins.
            times_[name] = ns;
        }
    }

    [[nodiscard]] const std::map<std::string, double>& Times() const { return times_; }
    [[nodiscard]] const std::vector<std::string>& Order() const { return order_; }
    [[nodiscard]] const std::vector<std::string>& Errors() const { return errors_; }

private:
    static double NanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kSecond:
                return 1e9;
            case benchmark::kMillisecond:
                return 1e6;
            case benchmark::kMicrosecond:
                return 1e3;
            default:
                return 1;
        }
    }
    static std::string BaseName(const Run& run) { return run.run_name.function_name; }

    std::map<std::string, double> times_;
    std::vector<std::string> order_;
    std::vector<std::string> errors_;
};

void AddRatio(std::vector<BenchRow>& rows, const std::map<std::string, double>& times,
              const std::string& what, const std::string& label, double goal) {
    const std::string figure = what + " ours / OpenSSL time, " + label;
    const auto ours = times.find(what + " ours " + label);
    const auto theirs = times.find(what + " OpenSSL " + label);
    // A goal is printed on every run: without its figures it is missed.
    if (ours == times.end() || theirs == times.end() || theirs->second <= 0) {
        rows.push_back({kSection, figure, "not measured", "<= " + FormatRatio(goal), Verdict(false)});
        return;
    }
    const double ratio = ours->second / theirs->second;
    rows.push_back({kSection, figure, FormatRatio(ratio), "<= " + FormatRatio(goal), Verdict(ratio <= goal)});
}

}  // namespace

int main(int argc, char** argv) {
    try {
        RegisterCodec();
        RegisterPackets();
        RegisterMd5("41 B (authenticator input)", AuthenticatorInput());
        RegisterMd5("8 KiB", Pattern(kBulkBytes));
        RegisterTripleDes("16 B (12-character password)", Pattern(16));
        RegisterTripleDes("8 KiB", Pattern(kBulkBytes));

        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();

        std::vector<BenchRow> rows;
        // With repetitions a benchmark reports several times; it is listed once, with its median.
        for (const std::string& name : reporter.Order()) {
            const bool listed = std::any_of(rows.begin(), rows.end(),
                                            [&](const BenchRow& row) { return row.figure == name; });
            if (!listed)
                rows.push_back({kSection, name, FormatNanoseconds(reporter.Times().at(name)), "", ""});
        }
        AddRatio(rows, reporter.Times(), "MD5", "41 B (authenticator input)", kGoalMd5Ratio);
        AddRatio(rows, reporter.Times(), "MD5", "8 KiB", kGoalMd5Ratio);
        AddRatio(rows, reporter.Times(), "3DES", "16 B (12-character password)", kGoalTripleDesRatio);
        AddRatio(rows, reporter.Times(), "3DES", "8 KiB", kGoalTripleDesRatio);
        for (const std::string& error : reporter.Errors())
            rows.push_back({kSection, "error", error, "", "MISSED"});
        PrintRows(rows);
        return reporter.Errors().empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "codec bench: %s\n", e.what());
        return 1;
    }
}
