#include "testkit/ReferenceCrypto.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>
#include <stdexcept>

namespace {

void Check(int result, const char* what) {
    if (result != 1) throw std::runtime_error(what);
}

}  // namespace

std::array<std::uint8_t, 16> ReferenceMd5(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 16> digest{};
    unsigned int length = 0;
    Check(EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr), "EVP_Digest");
    if (length != digest.size()) throw std::runtime_error("MD5 digest of another length");
    return digest;
}

std::optional<std::vector<std::uint8_t>> ReferenceDesEcb(std::span<const std::uint8_t> key,
                                                         std::span<const std::uint8_t> input) {
    if (key.size() != 8 && key.size() != 16) throw std::invalid_argument("DES keys have 8 or 16 bytes");
    if (input.size() % 8 != 0) throw std::invalid_argument("ECB without padding takes whole blocks");
    // Single DES lives in OpenSSL 3's legacy provider; a private library context keeps the
    // process-wide default one untouched.
    const std::unique_ptr<OSSL_LIB_CTX, decltype(&OSSL_LIB_CTX_free)> lib(OSSL_LIB_CTX_new(),
                                                                          &OSSL_LIB_CTX_free);
    const std::unique_ptr<OSSL_PROVIDER, decltype(&OSSL_PROVIDER_unload)> legacy(
        key.size() == 8 ? OSSL_PROVIDER_load(lib.get(), "legacy") : nullptr, &OSSL_PROVIDER_unload);
    const std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> cipher(
        EVP_CIPHER_fetch(lib.get(), key.size() == 8 ? "DES-ECB" : "DES-EDE-ECB", nullptr), &EVP_CIPHER_free);
    if (!cipher) return std::nullopt;
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                              &EVP_CIPHER_CTX_free);
    Check(EVP_EncryptInit_ex(ctx.get(), cipher.get(), nullptr, key.data(), nullptr), "EVP_EncryptInit_ex");
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    std::vector<std::uint8_t> out(input.size() + 8);
    int length = 0;
    int finalLength = 0;
    Check(EVP_EncryptUpdate(ctx.get(), out.data(), &length, input.data(), static_cast<int>(input.size())),
          "EVP_EncryptUpdate");
    Check(EVP_EncryptFinal_ex(ctx.get(), out.data() + length, &finalLength), "EVP_EncryptFinal_ex");
    out.resize(static_cast<std::size_t>(length + finalLength));
    return out;
}
