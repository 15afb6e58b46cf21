#include "testkit/ReferenceCrypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

void Check(NTSTATUS status, const char* what) {
    if (!BCRYPT_SUCCESS(status)) throw std::runtime_error(std::string(what) + " failed");
}

struct AlgorithmCloser {
    void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
using Algorithm = std::unique_ptr<void, AlgorithmCloser>;

struct KeyDestroyer {
    void operator()(BCRYPT_KEY_HANDLE handle) const { BCryptDestroyKey(handle); }
};
using Key = std::unique_ptr<void, KeyDestroyer>;

Algorithm OpenAlgorithm(LPCWSTR name) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    Check(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0), "BCryptOpenAlgorithmProvider");
    return Algorithm(handle);
}

ULONG Size(std::size_t size) { return static_cast<ULONG>(size); }

}  // namespace

std::array<std::uint8_t, 16> ReferenceMd5(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 16> digest{};
    const Algorithm md5 = OpenAlgorithm(BCRYPT_MD5_ALGORITHM);
    Check(BCryptHash(md5.get(), nullptr, 0, const_cast<PUCHAR>(data.data()), Size(data.size()), digest.data(),
                     Size(digest.size())),
          "BCryptHash");
    return digest;
}

std::optional<std::vector<std::uint8_t>> ReferenceDesEcb(std::span<const std::uint8_t> key,
                                                         std::span<const std::uint8_t> input) {
    if (key.size() != 8 && key.size() != 16) throw std::invalid_argument("DES keys have 8 or 16 bytes");
    if (input.size() % 8 != 0) throw std::invalid_argument("ECB without padding takes whole blocks");
    // Three-key triple DES alone: K1 K2 K1 is the two-key cipher and K K K single DES, whose
    // decryption in the middle undoes the first encryption.
    std::vector<std::uint8_t> tripleKey(key.begin(), key.end());
    tripleKey.insert(tripleKey.end(), key.begin(), key.begin() + 8);
    if (key.size() == 8) tripleKey.insert(tripleKey.end(), key.begin(), key.end());

    // Block by block in the provider's default chaining mode, CBC, each with a new key from a zero
    // vector: one block of CBC from zero is one block of ECB, and not every provider offers ECB
    // itself or starts its chain afresh on every call.
    const Algorithm des = OpenAlgorithm(BCRYPT_3DES_ALGORITHM);
    std::vector<std::uint8_t> out(input.size());
    for (std::size_t at = 0; at < input.size(); at += 8) {
        BCRYPT_KEY_HANDLE handle = nullptr;
        Check(BCryptGenerateSymmetricKey(des.get(), &handle, nullptr, 0, tripleKey.data(),
                                         Size(tripleKey.size()), 0),
              "BCryptGenerateSymmetricKey");
        const Key cipherKey(handle);
        std::array<std::uint8_t, 8> block{};
        const auto piece = input.subspan(at, 8);
        std::copy(piece.begin(), piece.end(), block.begin());
        std::array<std::uint8_t, 8> vector{};
        ULONG written = 0;
        Check(BCryptEncrypt(cipherKey.get(), block.data(), Size(block.size()), nullptr, vector.data(),
                            Size(vector.size()), out.data() + at, 8, &written, 0),
              "BCryptEncrypt");
        if (written != 8) throw std::runtime_error("BCryptEncrypt wrote another length");
    }
    return out;
}
