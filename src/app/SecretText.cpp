#include "app/SecretText.h"

#include "errors/OvException.h"

namespace {

constexpr char32_t kLastLatin1 = 0xFF;

}  // namespace

void WipeString(QString& text) noexcept {
    if (!text.isEmpty() && text.isDetached()) {
        WipeBytes(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text.clear();
}

std::optional<QString> PasswordCharacterRefusal(const QString& password) {
    // Character by character, so that no other copy of the password is made.
    for (qsizetype i = 0; i < password.size(); ++i) {
        const QChar c = password[i];
        if (c.unicode() <= kLastLatin1) continue;
        const bool pair = c.isHighSurrogate() && i + 1 < password.size() && password[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, password[i + 1]) : c.unicode();
        return QStringLiteral(
                   "The access password cannot contain \"%1\" (U+%2): only characters of the "
                   "Latin-1 set can be sent to the device!")
            .arg(QString::fromUcs4(&code, 1), QString::number(code, 16).toUpper().rightJustified(4, u'0'));
    }
    return std::nullopt;
}

SecretBytes::SecretBytes(const QString& text) {
    if (const auto refusal = PasswordCharacterRefusal(text)) throw OvException(refusal->toStdString());
    text_.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) text_.push_back(static_cast<char>(c.unicode()));
}

SecretBytes::~SecretBytes() { WipeString(text_); }
