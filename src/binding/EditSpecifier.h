#pragma once

#include <QString>
#include <optional>
#include <string>

#include "binding/format/EditSpecifier.h"
#include "vars/LocaleSettings.h"

// The rules of an edit specifier applied to the texts of the widgets.

[[nodiscard]] QString FilterEditText(const EditSpecifier& rules, const QString& text);

[[nodiscard]] std::optional<std::string> RejectionOf(const EditSpecifier& rules, const QString& text,
                                                     const LocaleSettings& locale = {});
