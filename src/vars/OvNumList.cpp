#include "vars/OvNumList.h"

#include <algorithm>

#include "errors/Messages.h"

int OvNumList::CountNumbers(std::string_view text) const noexcept {
    if (text.empty()) return 0;
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), Delimiter));
}

void OvNumList::ParseNumbers(std::string_view text) {
    numbers_.assign(static_cast<std::size_t>(CountNumbers(text)), 0U);
    std::size_t index = 0;
    bool fraction = false;
    for (const char c : text) {
        if (c == Delimiter) {
            ++index;
            fraction = false;
        } else if (c == '.') {
            fraction = true;
        } else if (!fraction && c >= '0' && c <= '9') {
            // Unsigned arithmetic: an over-long run wraps instead of overflowing.
            std::uint32_t& number = numbers_[index];
            number = number * 10U + static_cast<std::uint32_t>(c - '0');
        }
        // Fraction digits are cut off; other characters are not expected and are skipped.
    }
}

bool OvNumList::AllWithin(std::uint32_t min, std::uint32_t max) const noexcept {
    return std::all_of(numbers_.begin(), numbers_.end(),
                       [min, max](std::uint32_t n) { return min <= n && n <= max; });
}

std::uint32_t OvNumList::At(int index) const {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return numbers_[static_cast<std::size_t>(index)];
}
