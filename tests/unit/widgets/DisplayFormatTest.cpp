#include "widgets/DisplayFormat.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::string Format(std::string_view format, std::initializer_list<PrintfArg> args) {
    return FormatPrintf(format, std::vector<PrintfArg>(args));
}

TEST(DisplayFormat, Conversions) {
    const struct {
        const char* format;
        std::vector<PrintfArg> args;
        const char* text;
    } cases[] = {
        {"%5d", {1}, "    1"},
        {"%5d", {0}, "    0"},
        {"%5d", {123456}, "123456"},
        {"%5d", {-42}, "  -42"},
        {"%6.2f", {50.0f}, " 50.00"},
        {"%6.2f", {100.0f}, "100.00"},
        {"%6.2f", {0.0f}, "  0.00"},
        {"%6.2f", {100.0f / 3}, " 33.33"},
        {"%6.2f", {2.0 / 3 * 100}, " 66.67"},
        {"%.1f|%f", {0.05, 1.5}, "0.1|1.500000"},
        {"%-5d|", {7}, "7    |"},
        {"%05d", {-42}, "-0042"},
        {"%+d % d", {5, 5}, "+5  5"},
        {"%.3d", {7}, "007"},
        {"%08.2f", {-3.14159}, "-0003.14"},
        {"%ld%%", {99L}, "99%"},
        {"[%4s][%-4s][%.2s]", {"ab", "ab", "abc"}, "[  ab][ab  ][ab]"},
        {"%6.2f", {50}, " 50.00"},
        {"%d", {2.9}, "2"},
        {"%5d|%s", {}, "    0|"},
        {"%q %5", {1}, "%q %5"},
        {"OK", {}, "OK"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPrintf(c.format, c.args), c.text) << c.format;
    }
}

TEST(DisplayFormat, HugeWidthIsBounded) {
    EXPECT_EQ(Format("%999999999d", {1}).size(), 100u);
    EXPECT_EQ(Format("%.999999999d", {1}).size(), 100u);
}

}  // namespace
