#include "binding/EditSpecifier.h"

#include <QStringView>
#include <string_view>

namespace {

std::u16string_view Utf16(const QString& text) {
    const QStringView view(text);
    return {view.utf16(), static_cast<std::size_t>(view.size())};
}

}  // namespace

QString FilterEditText(const EditSpecifier& rules, const QString& text) {
    const std::u16string kept = FilterEditText(rules, Utf16(text));
    return QString::fromUtf16(kept.data(), static_cast<qsizetype>(kept.size()));
}

std::optional<std::string> RejectionOf(const EditSpecifier& rules, const QString& text,
                                       const LocaleSettings& locale) {
    return RejectionOf(rules, Utf16(text), locale);
}
