#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "errors/OvException.h"

// Runs the action and expects it to raise OvException with exactly this code and message.
inline void ExpectOvError(const std::function<void()>& action, int code, const char* message) {
    try {
        action();
        ADD_FAILURE() << "no error raised";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_STREQ(e.what(), message);
    }
}
