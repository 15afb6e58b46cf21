#pragma once

#include <QString>
#include <vector>

class OvEdit;

// Dotted address texts and the rows of edits that show them one number per edit. The rules an
// address must follow are AddressRules.h's.

// Splits the text at every "." (the empty text gives no piece; empty pieces count) and puts piece
// i into edit i. A text of more pieces than edits raises OvException kTooManyAddressParts and
// changes no edit.
void SetEditsFromDottedText(const QString& text, const std::vector<OvEdit*>& edits);

// The texts of the edits joined with "."; an empty edit gives an empty piece.
[[nodiscard]] QString DottedTextFromEdits(const std::vector<OvEdit*>& edits);

inline constexpr const char* kTooManyAddressParts =
    "The address has more dot-separated parts than there are fields!";
