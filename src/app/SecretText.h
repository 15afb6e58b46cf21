#pragma once

#include <QString>
#include <optional>
#include <string>

#include "device/SecureWipe.h"

// Overwrites a QString's characters before the storage goes back to the heap, then empties it.
// A text whose buffer other copies still share is only emptied: the last holder wipes it.
void WipeString(QString& text) noexcept;

// Why the password cannot be sent: its first character outside Latin-1, the single-byte set in
// which the cipher takes it, named with its code point. None when every character is in that set.
[[nodiscard]] std::optional<QString> PasswordCharacterRefusal(const QString& password);

// A password as 8-bit characters that wipes itself when it goes out of scope.
class SecretBytes {
public:
    // One byte per character, its Latin-1 code. Raises OvException with the message of
    // PasswordCharacterRefusal for a character outside Latin-1, rather than sending something else.
    explicit SecretBytes(const QString& text);
    ~SecretBytes();
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    std::string text_;
};
