#include "engine/Judging.h"

#include <gtest/gtest.h>

#include "app/StatusLog.h"

namespace {

// 4 x 6 channels: visible area X 0..2 x Y 0..3, one key X channel (3) over Y 4..5, so every
// key-area node is a key. Node (3, 0) is in neither area: untested.
TestConfig SmallPanel() {
    TestConfig config;
    config.x_channel_valid = 4;
    config.y_channel_valid = 6;
    config.rawdata_va_min = 16000;
    config.rawdata_va_max = 30000;
    config.rawdata_key_min = 8000;
    config.rawdata_key_max = 20000;
    for (int x = 0; x < 3; ++x) {
        config.test_va_area_x[x] = 1;
    }
    for (int y = 0; y < 4; ++y) {
        config.test_va_area_y[y] = 1;
    }
    config.test_key_area_x[3] = 1;
    config.test_key_area_y[4] = 1;
    config.test_key_area_y[5] = 1;
    config.test_key_number_x = 1;
    config.test_key_number_y = 2;
    return config;
}

struct Fixture {
    TestConfig config = SmallPanel();
    LimitMatrix low{};
    LimitMatrix high{};
    Fixture() {
        low[1][1] = 20000;
        high[1][1] = 21000;
        low[3][4] = 100;
        high[3][4] = 200;
        low[2][2] = -50;
        high[2][2] = 10;
    }
    JudgingLimits Limits(int32_t criterion) const { return {config, criterion, low, high}; }
};

TEST(NodeOutOfLimits, Table) {
    const struct {
        const char* name;
        int32_t criterion;
        uint8_t x, y;
        int32_t value;
        bool out;
    } cases[] = {
        {"vaAtMinimum", 0, 0, 0, 16000, false},
        {"vaAtMaximum", 0, 0, 0, 30000, false},
        {"vaOneBelow", 0, 0, 0, 15999, true},
        {"vaOneAbove", 0, 0, 0, 30001, true},
        {"keyUsesKeyLimits", 0, 3, 4, 9000, false},
        {"keyAboveKeyMaxInsideVa", 0, 3, 5, 25000, true},
        {"negativeValueIsBelow", 0, 0, 0, -1, true},
        {"sampleInside", 1, 1, 1, 20500, false},
        {"sampleIgnoresVaLimits", 1, 1, 1, 25000, true},
        {"sampleKeyInside", 1, 3, 4, 150, false},
        {"sampleKeyNotKeyLimits", 1, 3, 4, 9000, true},
        {"sampleLowerLimitIsInside", 1, 3, 4, 100, false},
        {"negativeSampleLimitPassesZero", 1, 2, 2, 0, false},
        {"sampleAboveHigh", 1, 2, 2, 11, true},
        {"noSampleDerivedFailsAboveZero", 1, 0, 3, 1, true},
        {"noSampleDerivedPassesZero", 1, 0, 3, 0, false},
        {"anyOtherCriterionIsSample", 7, 3, 4, 9000, true},
        {"untestedNeverFails", 0, 3, 0, 65535, false},
        {"untestedNeverFailsBySample", 1, 3, 1, 65535, false},
        {"outsideNeverFails", 0, 4, 0, 0, false},
    };
    const Fixture f;
    for (const auto& c : cases) {
        EXPECT_EQ(NodeOutOfLimits(f.Limits(c.criterion), c.x, c.y, c.value), c.out) << c.name;
    }
}

NodeValueMatrix GoodNodes() {
    NodeValueMatrix nodes{};
    for (auto& column : nodes) {
        column.fill(20000);
    }
    nodes[3][4] = nodes[3][5] = 10000;
    return nodes;
}

TEST(JudgeNodes, FailsOnANodeOutOfLimitsWhereverItIsShown) {
    const struct {
        const char* name;
        uint8_t x, y;
        uint16_t value;
        bool failed;
    } cases[] = {
        {"goodPanel", 0, 0, 20000, false},
        {"vaNodeLow", 2, 3, 100, true},
        {"keyNodeHigh", 3, 5, 21000, true},
        {"untestedNodeIgnored", 3, 0, 0, false},
        {"beyondValidChannelsIgnored", 4, 0, 0, false},
    };
    for (const auto& c : cases) {
        Fixture f;
        NodeValueMatrix nodes = GoodNodes();
        nodes[c.x][c.y] = c.value;
        std::atomic<bool> panelFailed{false};
        JudgeNodes(f.Limits(0), nodes, panelFailed);
        EXPECT_EQ(panelFailed.load(), c.failed) << c.name;
    }
}

TEST(JudgeNodes, NeverClearsAFailureAlreadySet) {
    Fixture f;
    std::atomic<bool> panelFailed{true};
    JudgeNodes(f.Limits(0), GoodNodes(), panelFailed);
    EXPECT_TRUE(panelFailed.load());
}

// A rejected file leaves its out-of-range channel count in the live record; judging must stay
// inside the 32 x 52 matrices (the sanitizer build catches a read beyond them).
TEST(JudgeNodes, ChannelCountsBeyondTheMatrixStayInside) {
    Fixture f;
    f.config.x_channel_valid = 200;
    f.config.y_channel_valid = 200;
    f.config.test_va_area_x.fill(1);
    f.config.test_va_area_y.fill(1);
    for (auto& column : f.high) {
        column.fill(30000);
    }
    NodeValueMatrix nodes{};
    for (auto& column : nodes) {
        column.fill(20000);
    }
    std::atomic<bool> panelFailed{false};
    JudgeNodes(f.Limits(1), nodes, panelFailed);
    EXPECT_FALSE(panelFailed.load());
    nodes[31][51] = 30001;
    JudgeNodes(f.Limits(1), nodes, panelFailed);
    EXPECT_TRUE(panelFailed.load());
    EXPECT_FALSE(NodeOutOfLimits(f.Limits(1), 40, 60, 20000));
}

TEST(ReportLimits, LinesLineUpWithFiveDigitFields) {
    TestConfig config;
    config.rawdata_va_min = 16000;
    config.rawdata_va_max = 30000;
    config.rawdata_key_min = 8000;
    config.rawdata_key_max = 30000;
    StatusLog log;
    ReportLimits(config, log);
    EXPECT_EQ(log.Text(),
              "非按键区合格范围：16000~30000  \r\n"
              "按键区合格范围  ： 8000~30000  \r\n");
}

}  // namespace
