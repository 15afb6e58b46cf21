#pragma once

#include <functional>
#include <string_view>

#include <gtest/gtest.h>

#include "errors/OvException.h"

// Runs the action and expects it to raise OvException with exactly this code and message.
inline void ExpectOvError(const std::function<void()>& action, int code, std::string_view message) {
    try {
        action();
        ADD_FAILURE() << "no error raised; expected: " << message;
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(std::string_view(e.what()), message);
    }
}
