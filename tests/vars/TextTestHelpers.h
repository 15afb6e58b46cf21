#pragma once

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/LocaleSettings.h"

// Shared by the tests of the value texts.

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

// Separators and designators unlike the defaults.
inline LocaleSettings OtherLocale() { return LocaleSettings{',', '-', '.', "vorm.", "nachm."}; }

// Runs f, which must raise OvException with kUnknownError and the message.
template <class F>
inline void ExpectConversionError(F f, const std::string& message) {
    try {
        (void)f();
        ADD_FAILURE() << "no error raised for: " << message;
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kUnknownError);
        EXPECT_EQ(std::string(e.what()), message);
    }
}
