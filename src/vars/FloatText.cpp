#include "vars/FloatText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "vars/IntegerText.h"
#include "vars/TextHelpers.h"

namespace {

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// A decimal number as 0.d1d2d3... times ten to the power of position: its significant digits
// without leading or trailing zeros, and the position read with saturation.
struct DecimalShape {
    std::string digits;
    std::int64_t position;
};

[[nodiscard]] DecimalShape ShapeOf(std::string_view mantissa, std::string_view exponent) {
    bool negativeExponent = false;
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
        negativeExponent = exponent.front() == '-';
        exponent.remove_prefix(1);
    }
    std::int64_t exponentValue = 0;
    for (const char c : exponent)
        exponentValue = std::min<std::int64_t>(exponentValue * 10 + (c - '0'), 1000000);
    if (negativeExponent) exponentValue = -exponentValue;
    const auto point = mantissa.find('.');
    const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
    DecimalShape shape{{}, static_cast<std::int64_t>(integerDigits) + exponentValue};
    for (const char c : mantissa) {
        if (c == '.') continue;
        if (c == '0' && shape.digits.empty()) {
            --shape.position;
            continue;
        }
        shape.digits.push_back(c);
    }
    while (!shape.digits.empty() && shape.digits.back() == '0') shape.digits.pop_back();
    return shape;
}

// Decides, for a text from_chars found out of range, whether it was too small (not too large).
[[nodiscard]] bool IsUnderflow(const DecimalShape& shape) noexcept { return shape.position <= 0; }

// The general form writes the largest doubles with 15 digits, rounded up past the largest double
// ("1.79769313486232E308"); such a text reads back as the largest double, so that a value read
// from a device can be sent back. Compared digit by digit: no wider floating type is needed, and
// on some platforms long double is no wider than double.
[[nodiscard]] bool IsLargestDoubleRounded(const DecimalShape& shape) noexcept {
    return shape.position == 309 && shape.digits <= "179769313486232";
}

// Fifteen significant digits and the decimal exponent of a finite nonzero magnitude.
struct Digits15 {
    std::string digits;  // trailing zeros removed, at least one digit
    int exponent;        // of the first digit
};

[[nodiscard]] Digits15 SignificantDigits(double magnitude) {
    // to_chars does not depend on the C locale, so the layout is always "d.ddddddddddddddde+xx".
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14).ptr;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const auto e = text.find('e');
    Digits15 result{std::string(1, text[0]) + std::string(text.substr(2, e - 2)), 0};
    result.exponent = static_cast<int>(LeadingInteger(text.substr(e + 1)));
    while (result.digits.size() > 1 && result.digits.back() == '0') result.digits.pop_back();
    return result;
}

}  // namespace

OvException NotFloatError(std::string_view text) {
    return OvException("'" + std::string(text) + "' is not a valid floating point value");
}

double ParseFloatText(std::string_view text, const LocaleSettings& locale) {
    const auto value = TryParseFloatText(text, locale);
    if (!value) throw NotFloatError(text);
    return *value;
}

std::optional<double> TryParseFloatText(std::string_view text, const LocaleSettings& locale) {
    const std::string_view body = TrimBlanks(text);
    std::string normal;  // sign dropped, separator as '.'
    std::size_t pos = 0;
    bool negative = false;
    if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) negative = body[pos++] == '-';
    std::size_t mantissaDigits = 0;
    bool seenPoint = false;
    for (; pos < body.size(); ++pos) {
        const char c = body[pos];
        if (IsDigit(c)) {
            normal.push_back(c);
            ++mantissaDigits;
        } else if (!seenPoint && (c == locale.decimalSeparator || c == '.')) {
            normal.push_back('.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    const std::size_t mantissaLength = normal.size();
    if (pos < body.size() && (body[pos] == 'e' || body[pos] == 'E')) {
        normal.push_back('e');
        ++pos;
        if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) normal.push_back(body[pos++]);
        std::size_t exponentDigits = 0;
        for (; pos < body.size() && IsDigit(body[pos]); ++pos, ++exponentDigits) normal.push_back(body[pos]);
        if (exponentDigits == 0) return std::nullopt;
    }
    if (pos != body.size()) return std::nullopt;

    double value = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error == std::errc::result_out_of_range) {
        const std::string_view all(normal);
        const std::string_view exponent = mantissaLength < all.size() ? all.substr(mantissaLength + 1) : "";
        const DecimalShape shape = ShapeOf(all.substr(0, mantissaLength), exponent);
        if (IsUnderflow(shape)) {
            value = 0.0;
        } else if (IsLargestDoubleRounded(shape)) {
            value = std::numeric_limits<double>::max();
        } else {
            return std::nullopt;
        }
    } else if (error != std::errc() || end != normal.data() + normal.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string FormatGeneralFloat(double value, const LocaleSettings& locale) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0.0) return "0";

    const double magnitude = std::fabs(value);
    const Digits15 d = SignificantDigits(magnitude);
    std::string text = value < 0 ? "-" : "";
    // More than 15 digits before the separator, or a magnitude below 0.00001.
    if (d.exponent >= 15 || magnitude < 0.00001) {
        text += d.digits[0];
        if (d.digits.size() > 1) {
            text += locale.decimalSeparator;
            text.append(d.digits, 1);
        }
        text += 'E';
        text += std::to_string(d.exponent);
        return text;
    }
    if (d.exponent < 0) {
        text += '0';
        text += locale.decimalSeparator;
        text.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        text += d.digits;
        return text;
    }
    const auto integerDigits = static_cast<std::size_t>(d.exponent) + 1;
    if (d.digits.size() <= integerDigits) {
        text += d.digits;
        text.append(integerDigits - d.digits.size(), '0');
    } else {
        text.append(d.digits, 0, integerDigits);
        text += locale.decimalSeparator;
        text.append(d.digits, integerDigits);
    }
    return text;
}
