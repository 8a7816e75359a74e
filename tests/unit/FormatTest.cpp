#include "app/Format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

namespace {

struct PaddedCase {
    const char* name;
    int32_t value;
    int radix;
    const char* padded;
    const char* zeroPadded;
};

const PaddedCase kPaddedCases[] = {
    {"zero", 0, 10, "    0", "00000"},
    {"seven", 7, 10, "    7", "00007"},
    {"year", 2015, 10, " 2015", "02015"},
    {"fiveDigits", 12345, 10, "12345", "12345"},
    {"sixDigitsNotCut", 123456, 10, "123456", "123456"},
    {"negative", -5, 10, "   -5", "000-5"},
    {"negativeWide", -12345, 10, "-12345", "-12345"},
    {"hexByte", 255, 16, "00FF", "00FF"},
    {"hexTen", 10, 16, "000A", "000A"},
    {"hexWord", 65535, 16, "FFFF", "FFFF"},
    {"hexMinusOne", -1, 16, "FFFFFFFF", "FFFFFFFF"},
};

TEST(FormatPadded, Table) {
    for (const auto& c : kPaddedCases) {
        EXPECT_EQ(FormatPadded(c.value, c.radix), c.padded) << c.name;
        EXPECT_EQ(FormatZeroPadded(c.value, c.radix), c.zeroPadded) << c.name;
    }
}

TEST(FormatPadded, CallersKeepTheRightHandPart) {
    EXPECT_EQ("Y" + Right(FormatPadded(7, 10), 2), "Y 7");
    EXPECT_EQ("Y" + Right(FormatPadded(12, 10), 2), "Y12");
    EXPECT_EQ(Right(FormatPadded(10, 16), 2), "0A");
    EXPECT_EQ(Right(FormatPadded(523, 10), 6), "  523");
    EXPECT_EQ(Right("ab", 5), "ab");
}

TEST(FormatSeconds, ThreeSignificantDigits) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0.6, "0.6"},     {1.5, "1.5"},          {2.0, "2."},         {12.3, "12.3"},
        {0.987, "0.987"}, {1.234, "1.23"},       {0.1, "0.1"},        {999.4, "999."},
        {9.996, "10."},   {1230.0, "1.23e+003"}, {0.05, "5.00e-002"}, {0.0, "0.00e+000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.seconds;
    }
}

TEST(ParseLeadingInteger, BehavesLikeAtoi) {
    EXPECT_EQ(ParseLeadingInteger("  42abc"), 42);
    EXPECT_EQ(ParseLeadingInteger("-7"), -7);
    EXPECT_EQ(ParseLeadingInteger("+3"), 3);
    EXPECT_EQ(ParseLeadingInteger("x1"), 0);
    EXPECT_EQ(ParseLeadingInteger(""), 0);
    EXPECT_GT(ParseLeadingInteger("99999999999999999999999999"), 0);
}

// A Qt application sets the C locale from the environment; the station's texts must not
// change with it.
TEST(FormatLocale, DecimalCommaLocaleChangesNothing) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    }
    if (chosen) {
        try {
            std::locale::global(std::locale(chosen));
        } catch (const std::exception&) {
        }
    }
    EXPECT_EQ(FormatSeconds(1.5), "1.5");
    EXPECT_EQ(FormatFixed(50.0, 2), "50.00");
    EXPECT_EQ(FormatDecimal(1234567), "1234567");
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
}

}  // namespace
