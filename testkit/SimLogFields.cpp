#include "testkit/SimLogFields.h"

#include <algorithm>
#include <charconv>

std::optional<std::string> LogField(std::string_view line, std::string_view key) {
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        const std::string_view field = line.substr(at, end - at);
        if (field.size() > key.size() && field.substr(0, key.size()) == key && field[key.size()] == '=') {
            return std::string(field.substr(key.size() + 1));
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> LogNumber(std::string_view line, std::string_view key) {
    const std::optional<std::string> text = LogField(line, key);
    if (!text || text->empty()) return std::nullopt;
    std::uint64_t value = 0;
    const char* const last = text->data() + text->size();
    const auto [end, error] = std::from_chars(text->data(), last, value);
    if (error != std::errc{} || end != last) return std::nullopt;
    return value;
}
