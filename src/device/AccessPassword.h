#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The access password as a person gives it outside the Set IP dialog: typed into a terminal or kept
// in a file, as bytes. The dialog's field takes at most this many characters.
inline constexpr std::size_t kAccessPasswordMaxLength = 12;

// Puts into latin1 the password's characters (read as DeviceText.h reads bytes) as the 8-bit
// characters the cipher takes, one byte each. Raises OvException, with latin1 wiped and empty,
// for a character outside Latin-1 (named in the message, rather than sent as something else) and
// for more than kAccessPasswordMaxLength characters (the dialog's own message). No other copy of
// the password is made; the caller wipes latin1 (SecureWipe.h).
void AccessPasswordLatin1(std::string_view text, std::string& latin1);
