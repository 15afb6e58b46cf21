#pragma once

#include <string>
#include <string_view>
#include <vector>

// Every occurrence of placeholder replaced, left to right; replaced text is not searched again.
// An empty placeholder changes nothing.
[[nodiscard]] std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                                     std::string_view replacement);

// Appends the pieces between delimiters, empty ones included; the empty text appends nothing.
void SplitText(std::string_view text, std::vector<std::string>& pieces, char delimiter);

// Positions count from 1: the position of the last character of the run of characters from the
// set that begins at start, or 0 when the character at start is not in the set or start lies
// beyond the text.
[[nodiscard]] std::size_t SpanOf(std::string_view text, std::size_t start, std::string_view charset);

// The text without the blanks (spaces and tabs) at either end.
[[nodiscard]] std::string_view TrimBlanks(std::string_view text) noexcept;
