#include "app/DottedText.h"

#include "binding/OvEdit.h"
#include "errors/OvException.h"

namespace {

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

QString DottedTextFromEdits(const std::vector<OvEdit*>& edits) {
    QString text;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (i > 0) text += QLatin1Char('.');
        text += edits[i]->text();
    }
    return text;
}
