#include "app/SecretText.h"

namespace {

// Volatile stores, so that the compiler cannot drop them as writes nobody reads.
template <typename Char>
void OverwriteWithZeros(Char* data, std::size_t count) noexcept {
    volatile Char* const target = data;
    for (std::size_t i = 0; i < count; ++i) target[i] = Char();
}

}  // namespace

void WipeString(std::string& text) noexcept {
    // The whole capacity, so that an earlier, longer secret in the same buffer goes too.
    text.resize(text.capacity());
    OverwriteWithZeros(text.data(), text.size());
    text.clear();
}

void WipeString(QString& text) noexcept {
    if (!text.isEmpty() && text.isDetached()) {
        OverwriteWithZeros(reinterpret_cast<char16_t*>(text.data()), static_cast<std::size_t>(text.size()));
    }
    text.clear();
}

SecretBytes::SecretBytes(const QString& text) {
    text_.reserve(static_cast<std::size_t>(text.size()));
    // A character outside Latin-1 becomes "?", as an 8-bit conversion of the desktop writes it.
    for (const QChar c : text) text_.push_back(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?');
}

SecretBytes::~SecretBytes() { WipeString(text_); }
