#include "device/PasswordCipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "testkit/ReferenceCrypto.h"

namespace {

using Block = std::array<std::uint8_t, 8>;
using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

Block BlockFromHex(std::string_view hex) {
    const Bytes bytes = FromHex(hex);
    Block block{};
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// ECB encryption by the reference implementation, padding off: the independent oracle.
Bytes ReferenceEcb(const Bytes& key, const Bytes& input) {
    const auto out = ReferenceDesEcb(key, input);
    EXPECT_TRUE(out.has_value());
    return out.value_or(Bytes());
}

// The password bytes, then 0x80 and zeros to a whole block unless they already fill whole blocks.
Bytes Padded(Bytes bytes) {
    if (bytes.size() % 8 != 0) {
        bytes.push_back(0x80);
        bytes.resize((bytes.size() + 7) / 8 * 8, 0);
    }
    return bytes;
}

std::string HexUpper(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

struct DesVector {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
};

// Known answers. "classic": the worked example of J. Orlin Grabbe, "The DES Algorithm Illustrated".
// "nbs-*": NBS Special Publication 500-20, validation tables (variable plaintext, variable key,
// permutation operation and substitution table tests). "fips81": the ECB example of FIPS 81
// ("Now is t"). All of them agree with `openssl enc -des-ecb -nopad`.
constexpr DesVector kDesVectors[] = {
    {"classic", "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"nbs-variable-plaintext-1", "0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"nbs-variable-plaintext-2", "0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"nbs-variable-plaintext-3", "0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"nbs-variable-key-1", "8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"nbs-variable-key-2", "4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"nbs-permutation", "1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"nbs-substitution-1", "7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"nbs-substitution-2", "0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"fips81", "0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
};

TEST(DesCryptBlock, KnownAnswersBothWays) {
    for (const DesVector& v : kDesVectors) {
        SCOPED_TRACE(v.name);
        const Block key = BlockFromHex(v.key);
        const Block plain = BlockFromHex(v.plain);
        const Block cipher = BlockFromHex(v.cipher);
        Block out{};
        DesCryptBlock(DesDirection::kEncrypt, key, plain, out);
        EXPECT_EQ(out, cipher);
        DesCryptBlock(DesDirection::kDecrypt, key, cipher, out);
        EXPECT_EQ(out, plain);
    }
}

TEST(DesCryptBlock, ParityBitsOfTheKeyAreIgnored) {
    for (const DesVector& v : kDesVectors) {
        SCOPED_TRACE(v.name);
        Block key = BlockFromHex(v.key);
        for (std::uint8_t& byte : key) byte ^= 0x01;
        Block out{};
        DesCryptBlock(DesDirection::kEncrypt, key, BlockFromHex(v.plain), out);
        EXPECT_EQ(out, BlockFromHex(v.cipher));
    }
}

TEST(DesCryptBlock, AnUnknownDirectionEncrypts) {
    const DesVector& v = kDesVectors[0];
    Block out{};
    DesCryptBlock(static_cast<DesDirection>(7), BlockFromHex(v.key), BlockFromHex(v.plain), out);
    EXPECT_EQ(out, BlockFromHex(v.cipher));
}

TEST(DesCryptBlock, MatchesTheReferenceOnRandomKeysAndBlocks) {
    if (!ReferenceDesEcb(Bytes(8), Bytes(8))) GTEST_SKIP() << "the reference has no single DES here";
    std::mt19937 rng(1046);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 500; ++round) {
        Bytes key(8);
        Bytes plain(8);
        for (auto& b : key) b = static_cast<std::uint8_t>(byte(rng));
        for (auto& b : plain) b = static_cast<std::uint8_t>(byte(rng));
        Block out{};
        DesCryptBlock(DesDirection::kEncrypt, std::span<const std::uint8_t, 8>(key.data(), 8),
                      std::span<const std::uint8_t, 8>(plain.data(), 8), out);
        ASSERT_EQ(Bytes(out.begin(), out.end()), ReferenceEcb(key, plain)) << "round " << round;
    }
}

TEST(TripleDesEdeBlock, MatchesTheReferenceAndDecryptsBack) {
    std::mt19937 rng(2016);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 500; ++round) {
        std::array<std::uint8_t, 16> key{};
        Block plain{};
        for (auto& b : key) b = static_cast<std::uint8_t>(byte(rng));
        for (auto& b : plain) b = static_cast<std::uint8_t>(byte(rng));
        Block out{};
        TripleDesEdeBlock(DesDirection::kEncrypt, key, plain, out);
        ASSERT_EQ(Bytes(out.begin(), out.end()),
                  ReferenceEcb(Bytes(key.begin(), key.end()), Bytes(plain.begin(), plain.end())))
            << "round " << round;
        Block back{};
        TripleDesEdeBlock(DesDirection::kDecrypt, key, out, back);
        ASSERT_EQ(back, plain) << "round " << round;
    }
}

TEST(EncryptAccessPassword, BlockCountsAndPadding) {
    const Bytes key = ToBytes(kAccessPasswordKey);
    struct Row {
        const char* name;
        const char* password;
        std::size_t hexDigits;
    };
    constexpr Row kRows[] = {{"empty", "", 0},
                             {"one", "a", 16},
                             {"seven", "abcdefg", 16},
                             {"eight", "abcdefgh", 16},
                             {"nine", "abcdefghi", 32},
                             {"twelve", "abcdefghijkl", 32},
                             {"sixteen", "abcdefghijklmnop", 32}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const Bytes padded = Padded(ToBytes(row.password));
        const std::string text = EncryptAccessPassword(kAccessPasswordKey, row.password);
        EXPECT_EQ(text.size(), row.hexDigits);
        EXPECT_EQ(text, HexUpper(ReferenceEcb(key, padded)));
        // EncryptBytes writes exactly the padded blocks and nothing behind them.
        Bytes output(padded.size() + 8, 0xEE);
        EXPECT_EQ(EncryptBytes(key, ToBytes(row.password), output), padded.size());
        EXPECT_EQ(HexUpper(Bytes(output.begin(), output.end() - 8)), text);
        EXPECT_EQ(Bytes(output.end() - 8, output.end()), Bytes(8, 0xEE));
    }
    // Twelve characters: the second block is the last four, 0x80 and three zero bytes.
    const Bytes secondBlock = {'i', 'j', 'k', 'l', 0x80, 0, 0, 0};
    EXPECT_EQ(EncryptAccessPassword(kAccessPasswordKey, "abcdefghijkl").substr(16),
              HexUpper(ReferenceEcb(key, secondBlock)));
}

TEST(EncryptBytes, EightByteKeyIsSingleDes) {
    const DesVector& v = kDesVectors[0];
    const Bytes key = FromHex(v.key);
    Bytes input = FromHex(v.plain);
    input.push_back(0x41);  // a second, partial block
    Bytes output(16);
    EXPECT_EQ(EncryptBytes(key, input, output), 16U);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + 8), FromHex(v.cipher));
    Block second{};
    DesCryptBlock(DesDirection::kEncrypt, BlockFromHex(v.key), BlockFromHex("4180000000000000"), second);
    EXPECT_EQ(Bytes(output.begin() + 8, output.end()), Bytes(second.begin(), second.end()));
}

TEST(EncryptBytes, RefusesOtherKeyLengths) {
    for (const std::size_t length : {0U, 1U, 7U, 9U, 15U, 17U, 24U, 32U}) {
        SCOPED_TRACE(length);
        const Bytes key(length, 0x31);
        const Bytes input = ToBytes("secret");
        Bytes output(8, 0xEE);
        try {
            (void)EncryptBytes(key, input, output);
            ADD_FAILURE() << "no error";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Message(), "The length of the key to encrypt password must be 8 or 16!");
            EXPECT_EQ(e.Code(), kUnknownError);
        }
        EXPECT_EQ(output, Bytes(8, 0xEE));
    }
}

TEST(EncryptBytes, RefusesAnOutputTooSmallWithoutWriting) {
    const Bytes key = ToBytes(kAccessPasswordKey);
    const Bytes input = ToBytes("nine char");
    Bytes storage(16, 0xEE);
    EXPECT_THROW((void)EncryptBytes(key, input, std::span(storage).first(15)), OvException);
    EXPECT_EQ(storage, Bytes(16, 0xEE));
}

TEST(BytesToHexText, WritesTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(BytesToHexText({}), "");
    const Bytes some = {0x00, 0x0F, 0xF0, 0xAB, 0x9C, 0xFF};
    EXPECT_EQ(BytesToHexText(some), "000FF0AB9CFF");
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(BytesToHexText(all), HexUpper(all));
}

TEST(EncryptAccessPassword, FixedKeyKnownAnswers) {
    // Values obtained with `printf '<password + padding>' | openssl enc -des-ede-ecb -nopad
    // -K 35413343393645313046374232443438` (the key text's character codes).
    EXPECT_EQ(EncryptAccessPassword(kAccessPasswordKey, "admin"), "A9F87529E5FB1F7C");
    EXPECT_EQ(EncryptAccessPassword(kAccessPasswordKey, "password"), "DEB5E78B85CB4CD1");
}

TEST(EncryptAccessPassword, EcbKeepsTheFirstBlock) {
    const std::string a = EncryptAccessPassword(kAccessPasswordKey, "samefirsA");
    const std::string b = EncryptAccessPassword(kAccessPasswordKey, "samefirsBCDE");
    ASSERT_EQ(a.size(), 32U);
    ASSERT_EQ(b.size(), 32U);
    EXPECT_EQ(a.substr(0, 16), b.substr(0, 16));
    EXPECT_NE(a.substr(16), b.substr(16));
    EXPECT_EQ(a.substr(0, 16), EncryptAccessPassword(kAccessPasswordKey, "samefirs"));
}

TEST(EncryptAccessPassword, MatchesTheReferenceOnRandomKeysAndPasswords) {
    std::mt19937 rng(770);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    std::uniform_int_distribution<int> anyByte(1, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 300; ++round) {
        std::string keyText(16, ' ');
        for (char& c : keyText) c = static_cast<char>(printable(rng));
        std::string password(static_cast<std::size_t>(length(rng)), ' ');
        for (char& c : password) c = static_cast<char>(anyByte(rng));
        const std::string result = EncryptAccessPassword(keyText, password);
        ASSERT_EQ(result, HexUpper(ReferenceEcb(ToBytes(keyText), Padded(ToBytes(password)))))
            << "round " << round;
        ASSERT_EQ(result.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    }
}

TEST(EncryptAccessPassword, RefusesKeyTextsOfOtherLengths) {
    struct Row {
        std::size_t length;
        const char* message;
    };
    constexpr Row kRows[] = {
        {0, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {8, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {15, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {17, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {31, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {33, "The length of the key to encrypt password must be 8*2 or 16*2!"},
        {32, "The length of the key to encrypt password must be 8 or 16!"},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.length);
        const std::string keyText(row.length, '7');
        // The password does not matter, not even an empty one.
        for (const char* password : {"", "admin"}) {
            try {
                (void)EncryptAccessPassword(keyText, password);
                ADD_FAILURE() << "no error";
            } catch (const OvException& e) {
                EXPECT_EQ(e.Message(), row.message);
                EXPECT_EQ(e.Code(), kUnknownError);
            }
        }
    }
}

}  // namespace
