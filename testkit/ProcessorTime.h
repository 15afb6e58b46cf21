#pragma once

#include <chrono>

#include <sys/resource.h>

// The processor time this process has used so far, user and system together.
inline std::chrono::milliseconds ProcessorTimeUsed() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto toMs = [](const timeval& t) {
        return std::chrono::milliseconds(t.tv_sec * 1000 + t.tv_usec / 1000);
    };
    return toMs(usage.ru_utime) + toMs(usage.ru_stime);
}
