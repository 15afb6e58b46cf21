#pragma once

#include <string>

// The parts of the user's locale that value texts depend on. The application fills one from
// the system; the layers below take it as a parameter and default to these values.
struct LocaleSettings {
    char decimalSeparator = '.';
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";
};
