#include "cli/ProgressLine.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(2) != 0;
#else
    return ::isatty(2) != 0;
#endif
}

// Back to the start of the line and erase to its end.
constexpr const char* kClearLine = "\r\033[K";

}  // namespace

ProgressLine::ProgressLine() : enabled_(StderrIsTerminal()) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(std::string_view text) {
    if (!enabled_) return;
    const std::string line = kClearLine + std::string(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    std::fputs(kClearLine, stderr);
    std::fflush(stderr);
    shown_ = false;
}
