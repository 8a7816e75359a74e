#include "app/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string ToRadixText(int32_t value, int radix) {
    char buffer[16];
    std::to_chars_result result;
    if (radix == 16) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<uint32_t>(value), 16);
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value, 10);
    }
    std::string text(buffer, result.ptr);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'a' && c <= 'f') ? static_cast<char>(c - 32) : c; });
    return text;
}

std::string Padded(int32_t value, int radix, char decimalPad) {
    std::string text = ToRadixText(value, radix);
    const size_t width = radix == 16 ? 4 : 5;
    const char pad = radix == 16 ? '0' : decimalPad;
    if (text.size() < width) {
        text.insert(0, width - text.size(), pad);
    }
    return text;
}

}  // namespace

std::string FormatPadded(int32_t value, int radix) {
    return Padded(value, radix, ' ');
}

std::string FormatZeroPadded(int32_t value, int radix) {
    return Padded(value, radix, '0');
}

std::string Right(std::string_view text, size_t n) {
    return std::string(text.size() <= n ? text : text.substr(text.size() - n));
}

std::string FormatDecimal(int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "0";
    }
    return std::string(buffer, result.ptr);
}

std::string FormatSeconds(double seconds) {
    const double magnitude = std::fabs(seconds);
    if (magnitude >= 0.1 && magnitude < 1000.0) {
        // Digits before the point decide how many decimals give three significant digits;
        // rounding can carry into a new digit (99.95 -> 100.), so decide on the rounded value.
        int decimals = magnitude < 1.0 ? 3 : magnitude < 10.0 ? 2 : magnitude < 100.0 ? 1 : 0;
        std::string text = FormatFixed(seconds, decimals);
        double rounded = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), rounded);
        rounded = std::fabs(rounded);
        const int needed = rounded < 1.0 ? 3 : rounded < 10.0 ? 2 : rounded < 100.0 ? 1 : 0;
        if (needed != decimals) {
            text = FormatFixed(seconds, needed);
        }
        if (text.find('.') == std::string::npos) {
            text += '.';
        } else {
            while (text.back() == '0') {
                text.pop_back();
            }
        }
        return text;
    }
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::scientific, 2);
    std::string text(buffer, result.ptr);
    // to_chars writes at least two exponent digits; the station's texts carry three.
    const size_t e = text.find('e');
    if (e != std::string::npos && e + 2 < text.size()) {
        std::string digits = text.substr(e + 2);
        while (digits.size() < 3) {
            digits.insert(0, 1, '0');
        }
        text = text.substr(0, e + 2) + digits;
    }
    return text;
}

int64_t ParseLeadingInteger(std::string_view text) {
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 10;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < kLimit) {
            value = value * 10 + (text[i] - '0');
        }
        ++i;
    }
    return negative ? -value : value;
}
