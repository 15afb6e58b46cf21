#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "errors/OvException.h"
#include "vars/LocaleSettings.h"

// Floating-point texts of NDCP values.

// A floating-point number: optional sign, digits with the locale's decimal separator (a '.' is
// accepted as well), optional exponent; blanks around it are ignored. Too large a number raises
// OvException (kUnknownError) quoting the text; one too small for a double reads 0.
[[nodiscard]] double ParseFloatText(std::string_view text, const LocaleSettings& locale = {});
// The same without raising: no value for a text ParseFloatText refuses.
[[nodiscard]] std::optional<double> TryParseFloatText(std::string_view text,
                                                      const LocaleSettings& locale = {});
// The error ParseFloatText raises for the text.
[[nodiscard]] OvException NotFloatError(std::string_view text);

// The general floating-point form: up to 15 significant digits, trailing zeros and a trailing
// separator dropped; the exponent form ("1E20", "1E-6") when there are more than 15 digits before
// the separator or the magnitude is below 0.00001.
[[nodiscard]] std::string FormatGeneralFloat(double value, const LocaleSettings& locale = {});
