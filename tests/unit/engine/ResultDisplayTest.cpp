#include "engine/ResultDisplay.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "unit/engine/DecimalCommaLocale.h"

namespace {

TEST(TestCounters, VerdictsYieldAndReset) {
    enum Step { Pass, Ng, Reset };
    const struct {
        Step step;
        const char* ok;
        const char* ng;
        const char* yield;
    } steps[] = {
        {Pass, "    1", "    0", "100.00"}, {Ng, "    1", "    1", " 50.00"},
        {Ng, "    1", "    2", " 33.33"},   {Pass, "    2", "    2", " 50.00"},
        {Pass, "    3", "    2", " 60.00"}, {Reset, "    0", "    0", "  0.00"},
        {Ng, "    0", "    1", "  0.00"},   {Pass, "    1", "    1", " 50.00"},
    };
    TestCounters counters;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& s = steps[i];
        if (s.step == Reset) {
            ResetStatistics(counters);
        } else {
            CountVerdict(counters, s.step == Pass);
        }
        EXPECT_EQ(CounterText(counters.okCount), s.ok) << "step " << i;
        EXPECT_EQ(CounterText(counters.ngCount), s.ng) << "step " << i;
        EXPECT_EQ(YieldText(counters.yieldPercent), s.yield) << "step " << i;
    }
}

TEST(TestCounters, YieldIsA32BitFloatRoundedForTheDisplay) {
    TestCounters counters;
    CountVerdict(counters, true);
    CountVerdict(counters, true);
    CountVerdict(counters, false);
    EXPECT_EQ(counters.yieldPercent, static_cast<float>(2.0 / 3.0 * 100.0));
    EXPECT_EQ(YieldText(counters.yieldPercent), " 66.67");
    EXPECT_EQ(CounterText(123456), "123456");
}

TEST(ElapsedTimeLine, Table) {
    const struct {
        double seconds;
        const char* line;
    } cases[] = {
        {1.5, "共花费时间：1.5 秒"},     {0.6, "共花费时间：0.6 秒"},
        {0.987, "共花费时间：0.987 秒"}, {2.0, "共花费时间：2. 秒"},
        {12.34, "共花费时间：12.3 秒"},  {0.05, "共花费时间：5.00e-002 秒"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ElapsedTimeLine(c.seconds), c.line) << c.seconds;
    }
}

TEST(ResultTexts, DoNotFollowADecimalCommaLocale) {
    const DecimalCommaLocale comma;
    if (comma.CLocaleHasComma()) {
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.2f", 1.5);
        ASSERT_STREQ(probe, "1,50");
    }
    EXPECT_EQ(YieldText(50.0f), " 50.00");
    EXPECT_EQ(YieldText(100.0f), "100.00");
    EXPECT_EQ(ElapsedTimeLine(1.5), "共花费时间：1.5 秒");
    EXPECT_EQ(ElapsedTimeLine(1234.0), "共花费时间：1.23e+003 秒");
    EXPECT_EQ(CounterText(12345), "12345");
}

TEST(NodeCellText, Table) {
    TestConfig config;
    config.x_channel_valid = 3;
    config.y_channel_valid = 3;
    config.display_area_x = {1, 1, 0};
    config.display_area_y = {1, 1, 1};
    config.test_va_area_x = {1, 0, 1};
    config.test_va_area_y = {1, 1, 1};
    config.test_key_area_x = {0, 1, 0};
    config.test_key_area_y = {0, 0, 1};
    config.test_key_number_x = 1;
    config.test_key_number_y = 1;
    NodeValueMatrix nodes{};
    nodes[0][0] = 523;
    nodes[0][1] = 65535;
    nodes[1][2] = 7;
    nodes[1][0] = 999;
    nodes[2][0] = 31000;
    const struct {
        const char* name;
        uint8_t x, y;
        const char* text;
    } cases[] = {
        {"visibleRightAligned", 0, 0, "  523"},
        {"visibleFiveDigits", 0, 1, "65535"},
        {"keyShown", 1, 2, "    7"},
        {"untestedShownEmpty", 1, 0, ""},
        {"notDisplayedShowsZero", 2, 0, "    0"},
        {"beyondTheMatrix", 32, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NodeCellText(config, nodes, c.x, c.y), c.text) << c.name;
    }
}

}  // namespace
