#pragma once

#include <stdexcept>
#include <string>

#include "errors/Messages.h"

// The one error type of the program: a message text and an integer code.
// Library failures carry the codes of the message tables (Messages.h); errors that
// only describe a problem in words (text conversions, the password cipher) carry
// kUnknownError, for a failure never carries the success code 0.
class OvException : public std::runtime_error {
public:
    explicit OvException(const std::string& message, int code = kUnknownError);

    [[nodiscard]] int Code() const noexcept { return code_; }
    [[nodiscard]] std::string Message() const { return what(); }

private:
    int code_;
};
