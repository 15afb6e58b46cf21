#pragma once

#include <QString>
#include <QStringList>
#include <optional>
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

// The four numbers of a pasted dotted address ("10.0.0.5", blanks anywhere ignored), each of one to
// three digits; none for any other text. Whether each lies within 0 to 255 is for the fields to say.
[[nodiscard]] std::optional<QStringList> PastedAddressPieces(const QString& text);

inline constexpr const char* kTooManyAddressParts =
    "The address has more dot-separated parts than there are fields!";
