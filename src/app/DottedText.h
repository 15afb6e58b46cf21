#pragma once

#include <QString>
#include <vector>

class OvEdit;

// Dotted address texts and the rows of edits that show them one number per edit.

// Splits the text at every "." (the empty text gives no piece; empty pieces count) and puts piece
// i into edit i. A text of more pieces than edits raises OvException kTooManyAddressParts and
// changes no edit.
void SetEditsFromDottedText(const QString& text, const std::vector<OvEdit*>& edits);

// The texts of the edits joined with "."; an empty edit gives an empty piece.
[[nodiscard]] QString DottedTextFromEdits(const std::vector<OvEdit*>& edits);

inline constexpr const char* kTooManyAddressParts =
    "The address has more dot-separated parts than there are fields!";
inline constexpr const char* kIncompleteIpAddress = "Please enter all four numbers of the IP address!";
inline constexpr const char* kIncompleteNetmask = "Please enter all four numbers of the netmask!";
inline constexpr const char* kAddressNumberOutOfRange = "Please enter a number between 0 and 255!";
inline constexpr const char* kNetmaskNotContiguous =
    "The netmask must be a run of one bits followed by zero bits!";

enum class AddressKind { IpAddress, Netmask };

// The address a user entered, checked and written as the value codec reads it: four decimal
// numbers from 0 to 255 without leading zeros (a leading zero would make the codec read the number
// as octal, and "08" as no address at all, which it sends as 255.255.255.255). Raises OvException
// with kIncompleteIpAddress or kIncompleteNetmask for a missing number, kAddressNumberOutOfRange
// for a number above 255 or a piece that is not a number, and kNetmaskNotContiguous for a netmask
// whose bits are not ones followed by zeros.
[[nodiscard]] QString CheckedAddressText(const QString& dotted, AddressKind kind);
