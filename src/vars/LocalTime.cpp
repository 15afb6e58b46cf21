#include "vars/LocalTime.h"

std::tm LocalCalendarTime(std::time_t moment) noexcept {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &moment);
#else
    localtime_r(&moment, &local);
#endif
    return local;
}
