#include "ndcp/wire/Md5.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/ReferenceCrypto.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Md5::Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Bytes RandomBytes(std::mt19937& rng, std::size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
}

struct Vector {
    const char* input;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
constexpr Vector kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, Rfc1321SuiteInOneCall) {
    for (const Vector& v : kRfc1321Suite) {
        SCOPED_TRACE(v.input);
        EXPECT_EQ(Hex(Md5::Of(AsBytes(v.input))), v.digest);
    }
}

TEST(Md5, Rfc1321SuiteByteByByte) {
    for (const Vector& v : kRfc1321Suite) {
        SCOPED_TRACE(v.input);
        Md5 md5;
        for (const std::uint8_t byte : AsBytes(v.input)) md5.Update(std::span(&byte, 1));
        EXPECT_EQ(Hex(md5.Final()), v.digest);
    }
}

TEST(Md5, MatchesTheReferenceForEveryLengthUpTo300) {
    std::mt19937 rng(1321);
    for (std::size_t length = 0; length <= 300; ++length) {
        // One byte in front so that the input does not start on an aligned address.
        const Bytes data = RandomBytes(rng, length + 1);
        const auto input = std::span(data).subspan(1);
        ASSERT_EQ(Md5::Of(input), ReferenceMd5(input)) << "length " << length;
    }
}

TEST(Md5, MatchesTheReferenceForLargeInputs) {
    std::mt19937 rng(64512);
    for (const std::size_t length : {4096U, 8192U + 36U, 65535U, 65536U, 1U << 20, (1U << 20) + 13U}) {
        const Bytes data = RandomBytes(rng, length);
        ASSERT_EQ(Md5::Of(data), ReferenceMd5(data)) << "length " << length;
    }
}

TEST(Md5, IncrementalUpdatesInOddChunks) {
    std::mt19937 rng(36);
    const Bytes data = RandomBytes(rng, 5000);
    const Md5::Digest expected = ReferenceMd5(data);
    for (const std::size_t chunk :
         {1U, 3U, 7U, 13U, 55U, 56U, 57U, 63U, 64U, 65U, 127U, 129U, 1000U, 4999U}) {
        Md5 md5;
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            md5.Update(std::span(data).subspan(at, std::min(chunk, data.size() - at)));
            md5.Update({});  // empty updates change nothing
        }
        EXPECT_EQ(md5.Final(), expected) << "chunk " << chunk;
    }
}

}  // namespace
