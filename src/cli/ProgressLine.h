#pragma once

#include <string_view>

// A one-line progress report on standard error while a command waits, written over itself; only
// when standard error is a terminal, so that a log or a pipe gets nothing of it. The line is
// cleared when the report goes.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(std::string_view text);
    void Clear();

private:
    bool enabled_ = false;
    bool shown_ = false;
};
