#include "errors/OvException.h"

OvException::OvException(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
