#include "vars/TextHelpers.h"

std::string ReplaceAll(std::string_view text, std::string_view placeholder, std::string_view replacement) {
    if (placeholder.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t hit = text.find(placeholder); hit != std::string_view::npos;
         hit = text.find(placeholder, from)) {
        result.append(text.substr(from, hit - from));
        result.append(replacement);
        from = hit + placeholder.size();
    }
    result.append(text.substr(from));
    return result;
}

void SplitText(std::string_view text, std::vector<std::string>& pieces, char delimiter) {
    if (text.empty()) return;
    std::size_t from = 0;
    for (std::size_t hit = text.find(delimiter); hit != std::string_view::npos;
         hit = text.find(delimiter, from)) {
        pieces.emplace_back(text.substr(from, hit - from));
        from = hit + 1;
    }
    pieces.emplace_back(text.substr(from));
}

std::size_t SpanOf(std::string_view text, std::size_t start, std::string_view charset) {
    if (start == 0 || start > text.size()) return 0;
    const std::size_t end = text.find_first_not_of(charset, start - 1);
    const std::size_t last = (end == std::string_view::npos) ? text.size() : end;
    // last is the 0-based position after the run, which is the 1-based position of its last character.
    return last >= start ? last : 0;
}

std::string_view TrimBlanks(std::string_view text) noexcept {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}
