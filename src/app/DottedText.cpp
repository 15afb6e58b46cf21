#include "DottedText.h"

#include <array>
#include <cstdint>

#include "OvEdit.h"
#include "OvException.h"

namespace {

constexpr qsizetype kAddressParts = 4;
constexpr int kMaxAddressNumber = 255;

QStringList SplitPieces(const QString& text) {
    if (text.isEmpty()) return {};
    return text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
}

bool AllDigits(const QString& piece) {
    for (const QChar c : piece) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

// A number from 0 to 255 in decimal digits; leading zeros do not make it octal.
int AddressNumber(const QString& piece) {
    if (!AllDigits(piece)) throw OvException(kAddressNumberOutOfRange);
    int value = 0;
    for (const QChar c : piece) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > kMaxAddressNumber) throw OvException(kAddressNumberOutOfRange);
    }
    return value;
}

// Ones from the top bit down, then zeros only: the complement plus one is a power of two (or 0).
bool IsContiguousMask(std::uint32_t mask) {
    const std::uint32_t hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
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

QString CheckedAddressText(const QString& dotted, AddressKind kind) {
    const QStringList pieces = SplitPieces(dotted);
    const char* const incomplete = kind == AddressKind::IpAddress ? kIncompleteIpAddress : kIncompleteNetmask;
    if (pieces.size() != kAddressParts) throw OvException(incomplete);
    for (const QString& piece : pieces) {
        if (piece.isEmpty()) throw OvException(incomplete);
    }
    std::array<int, kAddressParts> numbers{};
    std::uint32_t bits = 0;
    for (qsizetype i = 0; i < kAddressParts; ++i) {
        numbers[static_cast<std::size_t>(i)] = AddressNumber(pieces[i]);
        bits = bits << 8 | static_cast<std::uint32_t>(numbers[static_cast<std::size_t>(i)]);
    }
    if (kind == AddressKind::Netmask && !IsContiguousMask(bits)) throw OvException(kNetmaskNotContiguous);
    return QStringLiteral("%1.%2.%3.%4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
}
