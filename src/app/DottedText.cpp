#include "app/DottedText.h"

#include <algorithm>

#include "binding/OvEdit.h"
#include "errors/OvException.h"

namespace {

constexpr qsizetype kAddressNumbers = 4;
constexpr qsizetype kMostAddressDigits = 3;

QStringList SplitPieces(const QString& text) {
    if (text.isEmpty()) return {};
    return text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
}

}  // namespace

void SetEditsFromDottedText(const QString& text, const std::vector<OvEdit*>& edits) {
    const QStringList pieces = SplitPieces(text);
    if (static_cast<std::size_t>(pieces.size()) > edits.size()) throw OvException(kTooManyAddressParts);
    for (qsizetype i = 0; i < pieces.size(); ++i) edits[static_cast<std::size_t>(i)]->setText(pieces[i]);
}

std::optional<QStringList> PastedAddressPieces(const QString& text) {
    QString compact = text;
    compact.removeIf([](QChar c) { return c.isSpace(); });
    const QStringList pieces = compact.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const auto isNumber = [](const QString& piece) {
        return !piece.isEmpty() && piece.size() <= kMostAddressDigits &&
               std::all_of(piece.begin(), piece.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (pieces.size() != kAddressNumbers || !std::all_of(pieces.begin(), pieces.end(), isNumber))
        return std::nullopt;
    return pieces;
}

QString DottedTextFromEdits(const std::vector<OvEdit*>& edits) {
    QString text;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (i > 0) text += QLatin1Char('.');
        text += edits[i]->text();
    }
    return text;
}
