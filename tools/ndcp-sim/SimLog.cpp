#include "ndcp-sim/SimLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "errors/OvException.h"

namespace ndcpsim {
namespace {

constexpr std::size_t kLogBufferSize = 1 << 20;

[[nodiscard]] std::string Field(std::string_view key, std::string_view value) {
    std::string text = " ";
    text += key;
    text += '=';
    text += value;
    return text;
}

[[nodiscard]] std::string Field(std::string_view key, std::uint64_t value) {
    return Field(key, std::to_string(value));
}

// The shortest decimal text that reads back as the value, without an exponent.
[[nodiscard]] std::string DecimalText(double value) {
    std::array<char, 64> text{};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return error == std::errc() ? std::string(text.data(), end) : std::string("?");
}

[[nodiscard]] std::string HexByte(std::uint8_t byte) {
    return HexText(std::span<const std::uint8_t>(&byte, 1), 1);
}

[[nodiscard]] std::string Start(WallTime time, std::string_view event) {
    return "t=" + TimeText(time) + Field("ev", event);
}

[[nodiscard]] std::string HeaderFields(const SimRequest& request) {
    return Field("cmd", request.command) + Field("seq", request.sequence) +
           Field("len", request.totalLength) + Field("ctl", "0x" + HexByte(request.control)) +
           Field("mac", MacToText(request.target)) + Field("fixed", request.fixedByte);
}

}  // namespace

std::string HexText(std::span<const std::uint8_t> bytes, std::size_t maxBytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t shown = std::min(bytes.size(), maxBytes);
    std::string text;
    text.reserve(shown * 2 + 2);
    for (std::size_t i = 0; i < shown; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    if (shown < bytes.size()) text += "..";
    return text;
}

std::string TimeText(WallTime time) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    std::string fraction = std::to_string(micros % 1000000);
    fraction.insert(0, 6 - fraction.size(), '0');
    return std::to_string(micros / 1000000) + "." + fraction;
}

std::string ElementsText(const std::vector<SimElement>& elements) {
    if (elements.empty()) return "-";
    std::string text;
    for (const SimElement& element : elements) {
        if (!text.empty()) text.push_back(',');
        text += std::to_string(element.id) + ":" + std::to_string(element.length) + ":" +
                HexText(element.value, kLoggedValueBytes);
    }
    return text;
}

std::string ListeningLine(WallTime time, const Endpoint& local, std::size_t devices, int sendBuffer) {
    return Start(time, "listening") + Field("addr", Ipv4ToText(local.address)) + Field("port", local.port) +
           Field("devices", devices) + Field("sndbuf", std::to_string(sendBuffer));
}

std::string RequestLine(WallTime time, const Endpoint& from, std::string_view interfaceName, std::size_t size,
                        const ParsedRequest& parsed, std::optional<AuthResult> auth) {
    std::string line = Start(time, "request") + Field("from", EndpointToText(from)) +
                       Field("iface", interfaceName) + Field("size", size);
    if (parsed.error != RequestError::kShort) line += HeaderFields(parsed.request);
    if (parsed.error != RequestError::kNone) {
        return line + Field("result", "drop") + Field("reason", RequestErrorName(parsed.error));
    }
    line += Field("auth", AuthResultName(auth.value_or(AuthResult::kNone)));
    return line + Field("elements", ElementsText(parsed.request.elements)) + Field("result", "ok");
}

std::string AnswerLine(WallTime time, const Endpoint& to, const ReturnPath& path, const SimRequest& request,
                       const Outgoing& outgoing, const MacAddress& deviceMac, std::string_view failure) {
    std::string line = Start(time, "answer") + Field("to", EndpointToText(to)) +
                       Field("dev", MacToText(deviceMac)) + Field("cmd", request.command) +
                       Field("seq", request.sequence) + Field("status", outgoing.status) +
                       Field("auth", AuthResultName(outgoing.auth)) + Field("kind", outgoing.kind) +
                       Field("size", outgoing.datagram.size()) + Field("form", AnswerFormName(path.form));
    if (path.form == AnswerForm::kBroadcast) line += Field("iface", path.arrival.name);
    if (failure.empty()) return line + Field("result", "sent");
    return line + Field("result", "failed") + Field("error", failure);
}

std::string ChangeLine(WallTime time, const MacAddress& deviceMac, const DeviceChange& change) {
    return Start(time, "change") + Field("dev", MacToText(deviceMac)) + Field("ip", Ipv4ToText(change.ip)) +
           Field("mask", Ipv4ToText(change.netmask));
}

std::string FloodStartLine(WallTime time, const Endpoint& to, double seconds, std::uint32_t rate) {
    return Start(time, "flood-start") + Field("to", EndpointToText(to)) +
           Field("seconds", DecimalText(seconds)) + Field("rate", rate);
}

std::string FloodEndLine(WallTime time, std::uint64_t sent, std::uint64_t failed) {
    return Start(time, "flood-end") + Field("sent", sent) + Field("failed", failed);
}

std::string SummaryLine(WallTime time, const Counters& counters) {
    return Start(time, "summary") + Field("requests", counters.requests) +
           Field("dropped", counters.dropped) + Field("answers", counters.answers) +
           Field("malformed", counters.malformed) + Field("failed", counters.failed) +
           Field("unsent", counters.unsent) + Field("flood", counters.flood);
}

void LogSink::Closer::operator()(std::FILE* file) const noexcept { std::fclose(file); }

LogSink::LogSink(const std::string& path) {
    if (path.empty()) {
        file_ = stderr;
        return;
    }
    owned_.reset(std::fopen(path.c_str(), "w"));
    if (!owned_)
        throw OvException("Cannot open the log file \"" + path + "\": " + std::strerror(errno) + ".");
    file_ = owned_.get();
    std::setvbuf(file_, nullptr, _IOFBF, kLogBufferSize);
}

void LogSink::Write(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
}

void LogSink::Flush() { std::fflush(file_); }

}  // namespace ndcpsim
