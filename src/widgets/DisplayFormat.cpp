#include "widgets/DisplayFormat.h"

#include <algorithm>
#include <cmath>

#include "app/Format.h"

namespace {

// Keeps a hostile "%999999999d" from asking for a huge text.
constexpr int kMaxWidth = 100;

struct Directive {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool blank = false;
    int width = 0;
    int precision = -1;
};

int ReadCount(std::string_view format, size_t& i) {
    int value = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        value = std::min(value * 10 + (format[i] - '0'), kMaxWidth);
        ++i;
    }
    return value;
}

// Puts sign and digits together and pads them to the width.
std::string Pad(const Directive& directive, std::string sign, std::string body, bool numeric) {
    if (numeric && sign.empty()) {
        sign = directive.plus ? "+" : directive.blank ? " " : "";
    }
    const size_t length = sign.size() + body.size();
    const size_t width = static_cast<size_t>(directive.width);
    if (length >= width) {
        return sign + body;
    }
    const size_t fill = width - length;
    if (directive.left) {
        return sign + body + std::string(fill, ' ');
    }
    const bool digitsFollow = !body.empty() && body[0] >= '0' && body[0] <= '9';
    if (numeric && directive.zero && digitsFollow) {
        return sign + std::string(fill, '0') + body;
    }
    return std::string(fill, ' ') + sign + body;
}

std::string SplitSign(std::string& text) {
    if (!text.empty() && text[0] == '-') {
        text.erase(0, 1);
        return "-";
    }
    return "";
}

std::string FormatInteger(Directive directive, int64_t value) {
    std::string digits = FormatDecimal(value);
    std::string sign = SplitSign(digits);
    if (directive.precision >= 0) {
        // An explicit precision is the minimum digit count and turns off zero padding.
        directive.zero = false;
        if (directive.precision == 0 && value == 0) {
            digits.clear();
        } else if (digits.size() < static_cast<size_t>(directive.precision)) {
            digits.insert(0, directive.precision - digits.size(), '0');
        }
    }
    return Pad(directive, sign, digits, true);
}

std::string FormatReal(const Directive& directive, double value) {
    std::string digits = FormatFixed(value, directive.precision < 0 ? 6 : directive.precision);
    std::string sign = SplitSign(digits);
    return Pad(directive, sign, digits, true);
}

}  // namespace

int64_t PrintfArg::AsInteger() const {
    if (kind_ == Kind::Integer) {
        return integer_;
    }
    if (kind_ == Kind::Text || std::isnan(real_)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;
    return static_cast<int64_t>(std::clamp(real_, -kLimit, kLimit));
}

double PrintfArg::AsReal() const {
    if (kind_ == Kind::Real) {
        return real_;
    }
    return kind_ == Kind::Integer ? static_cast<double>(integer_) : 0.0;
}

std::string FormatPrintf(std::string_view format, std::span<const PrintfArg> args) {
    std::string text;
    size_t next = 0;
    const auto takeArg = [&]() -> PrintfArg {
        return next < args.size() ? args[next++] : PrintfArg(0);
    };
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            text += format[i++];
            continue;
        }
        const size_t start = i++;
        Directive directive;
        for (; i < format.size(); ++i) {
            const char flag = format[i];
            if (flag == '-') {
                directive.left = true;
            } else if (flag == '0') {
                directive.zero = true;
            } else if (flag == '+') {
                directive.plus = true;
            } else if (flag == ' ') {
                directive.blank = true;
            } else {
                break;
            }
        }
        directive.width = ReadCount(format, i);
        if (i < format.size() && format[i] == '.') {
            ++i;
            directive.precision = ReadCount(format, i);
        }
        while (i < format.size() &&
               std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos) {
            ++i;
        }
        if (i == format.size()) {
            text += format.substr(start);
            break;
        }
        const char conversion = format[i++];
        switch (conversion) {
            case 'd':
            case 'i':
                text += FormatInteger(directive, takeArg().AsInteger());
                break;
            case 'f':
            case 'F':
                text += FormatReal(directive, takeArg().AsReal());
                break;
            case 's': {
                std::string_view value = takeArg().AsText();
                if (directive.precision >= 0) {
                    value = value.substr(0, directive.precision);
                }
                text += Pad(directive, "", std::string(value), false);
                break;
            }
            case '%':
                text += '%';
                break;
            default:
                text += format.substr(start, i - start);
                break;
        }
    }
    return text;
}
