#include "testkit/ScopedTimeZone.h"

#include <cstdlib>
#include <ctime>

namespace {

// The environment and the C library's zone, through each platform's own calls.
void SetZone(const std::optional<std::string>& zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone ? zone->c_str() : "");
    _tzset();
#else
    zone ? setenv("TZ", zone->c_str(), 1) : unsetenv("TZ");
    tzset();
#endif
}

}  // namespace

ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
    if (const char* current = std::getenv("TZ")) saved_ = current;
    SetZone(zone);
}

ScopedTimeZone::~ScopedTimeZone() { SetZone(saved_); }
