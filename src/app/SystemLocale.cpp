#include "app/SystemLocale.h"

namespace {

bool IsLatin1(QChar c) { return c.unicode() > 0 && c.unicode() <= 0xFF; }

char Latin1Char(QChar c) { return static_cast<char>(c.unicode()); }

// The first character of a format that is neither a field letter, a quote nor a blank.
char SeparatorIn(const QString& format, char fallback) {
    for (const QChar c : format) {
        if (c.isLetter() || c.isSpace() || c == QLatin1Char('\'')) continue;
        return IsLatin1(c) ? Latin1Char(c) : fallback;
    }
    return fallback;
}

}  // namespace

LocaleSettings LocaleSettingsFrom(const QLocale& locale) {
    LocaleSettings settings;
    const QString decimal = locale.decimalPoint();
    if (decimal.size() == 1 && IsLatin1(decimal.front()))
        settings.decimalSeparator = Latin1Char(decimal.front());
    settings.dateSeparator = SeparatorIn(locale.dateFormat(QLocale::ShortFormat), settings.dateSeparator);
    settings.timeSeparator = SeparatorIn(locale.timeFormat(QLocale::LongFormat), settings.timeSeparator);
    if (!locale.amText().isEmpty()) settings.amDesignator = locale.amText().toStdString();
    if (!locale.pmText().isEmpty()) settings.pmDesignator = locale.pmText().toStdString();
    return settings;
}
