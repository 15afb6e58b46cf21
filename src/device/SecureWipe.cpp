#include "device/SecureWipe.h"

void WipeBytes(void* data, std::size_t size) noexcept {
    volatile auto* const target = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) target[i] = 0;
}

void WipeString(std::string& text) noexcept {
    text.resize(text.capacity());
    WipeBytes(text.data(), text.size());
    text.clear();
}
