#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The one place that turns numbers into the station's texts. Nothing here looks at the
// process locale: a decimal comma must never reach a log line, the grid or a file.

// Radix 10: right-aligned in at least five characters with blanks ("    0", "   -5").
// Radix 16: the value taken as unsigned 32-bit, upper case, at least four digits ("00FF",
// "FFFFFFFF"). Any other radix is treated as 10.
std::string FormatPadded(int32_t value, int radix);

// As FormatPadded, but radix 10 pads with zeros ("00007"); radix 16 is the same.
std::string FormatZeroPadded(int32_t value, int radix);

// The last n characters of text (all of it when shorter). Callers keep the right-hand part
// of a padded number: Right(FormatPadded(7, 10), 2) is " 7".
std::string Right(std::string_view text, size_t n);

// Plain decimal text without padding, as the INI and configuration files store numbers.
std::string FormatDecimal(int64_t value);

// printf's "%.*f" for a double, always with a decimal point.
std::string FormatFixed(double value, int decimals);

// Seconds with three significant digits as the station logs them: from 0.1 up to below
// 1000 in plain form without trailing zeros but with the point kept ("0.987", "1.5", "2.",
// "12.3"); otherwise exponential with two decimals and a three-digit exponent ("1.23e+003").
std::string FormatSeconds(double seconds);

// Parses like C's atoi: leading white space, an optional sign, digits up to the first other
// character; no digits gives 0. Saturates instead of overflowing.
int64_t ParseLeadingInteger(std::string_view text);
