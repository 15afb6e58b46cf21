#pragma once

#include <QString>
#include <string>

// Overwrites a secret's characters before the storage goes back to the heap, then empties it.
// A QString whose buffer other copies still share is only emptied: the last holder wipes it.
void WipeString(std::string& text) noexcept;
void WipeString(QString& text) noexcept;

// A password as 8-bit characters that wipes itself when it goes out of scope.
class SecretBytes {
public:
    // One byte per character: its Latin-1 code, or "?" outside Latin-1.
    explicit SecretBytes(const QString& text);
    ~SecretBytes();
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    std::string text_;
};
