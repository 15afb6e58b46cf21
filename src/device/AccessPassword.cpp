#include "device/AccessPassword.h"

#include "device/DeviceText.h"
#include "device/SecureWipe.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/TextHelpers.h"

namespace {

constexpr char32_t kLastLatin1 = 0xFF;

// At least four upper-case hexadecimal digits, as code points are written (U+00E9, U+1F600).
std::string CodePointDigits(char32_t code) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[code & 0xF]);
        code >>= 4;
    } while (code != 0);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return digits;
}

[[noreturn]] void RefuseCharacter(char32_t code) {
    std::string character;
    AppendUtf8(character, code);
    throw OvException("The access password cannot contain \"" + character + "\" (U+" + CodePointDigits(code) +
                      "): only characters of the Latin-1 set can be sent to the device!");
}

}  // namespace

void AccessPasswordLatin1(std::string_view text, std::string& latin1) {
    WipeString(latin1);
    latin1.reserve(text.size());
    try {
        for (std::size_t pos = 0; pos < text.size();) {
            const DecodedCharacter c = CharacterAt(text, pos);
            if (c.code > kLastLatin1) RefuseCharacter(c.code);
            if (latin1.size() == kAccessPasswordMaxLength) {
                throw OvException(ReplaceAll(ConstraintText(kStringTooLong), "[MAXLEN]",
                                             std::to_string(kAccessPasswordMaxLength)),
                                  -kStringTooLong);
            }
            latin1.push_back(static_cast<char>(c.code));
            pos += c.length;
        }
    } catch (...) {
        WipeString(latin1);
        throw;
    }
}
