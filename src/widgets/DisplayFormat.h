#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// printf-style formatting of a display's text, independent of the process locale (the
// counters must never show a decimal comma).

// One argument: an integer, a floating-point number or a text.
class PrintfArg {
public:
    enum class Kind : uint8_t { Integer, Real, Text };

    template <std::integral T>
    PrintfArg(T value) : kind_(Kind::Integer), integer_(static_cast<int64_t>(value)) {}
    template <std::floating_point T>
    PrintfArg(T value) : kind_(Kind::Real), real_(static_cast<double>(value)) {}
    PrintfArg(const char* text) : kind_(Kind::Text), text_(text != nullptr ? text : "") {}
    PrintfArg(std::string_view text) : kind_(Kind::Text), text_(text) {}
    PrintfArg(const std::string& text) : kind_(Kind::Text), text_(text) {}

    Kind kind() const { return kind_; }
    int64_t AsInteger() const;
    double AsReal() const;
    // Empty for a number.
    std::string_view AsText() const { return text_; }

private:
    Kind kind_;
    int64_t integer_ = 0;
    double real_ = 0;
    std::string_view text_;
};

// Formats like printf for the conversions d, i, f, F, s and %, with the flags "-", "0",
// "+" and blank, a width and a precision (each at most 100; length modifiers such as "l" are
// accepted and ignored). A number given for the other kind is converted (a real for %d is
// truncated toward zero); a missing argument counts as 0 or the empty text. Any other
// conversion, or a format ending inside one, is copied as it stands. Texts of arguments must
// stay valid for the call.
std::string FormatPrintf(std::string_view format, std::span<const PrintfArg> args);
