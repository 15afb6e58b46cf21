#pragma once

#include <QLocale>

#include "vars/LocaleSettings.h"

// The parts of a locale that value texts depend on: the decimal separator, the date and time
// separators of its short formats and the designators before and after noon. Where the locale
// gives none (or none in Latin-1), the defaults of LocaleSettings stay.
[[nodiscard]] LocaleSettings LocaleSettingsFrom(const QLocale& locale);
