#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "SampleTestSupport.h"
#include "samples/SampleFiles.h"

namespace {

using sample_test::SetFlags;
using sample_test::SmallConfig;

TEST(SampleSourceText, ListTexts) {
    const struct {
        uint8_t source;
        const char* text;
    } cases[] = {
        {1, "当前数据"}, {2, "样本文件"}, {3, "平均样本"}, {0, "未知样本"}, {4, "未知样本"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SampleSourceText(static_cast<SampleSource>(c.source)), c.text) << +c.source;
    }
}

TEST(FormatSampleEntry, FiveWideAndNeverCut) {
    const struct {
        int32_t value;
        const char* text;
    } cases[] = {
        {7, "    7,"},   {65535, "65535,"},   {0, "    0,"},
        {-50, "  -50,"}, {131070, "131070,"}, {-123456, "-123456,"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSampleEntry(c.value), c.text) << c.value;
    }
}

TEST(BuildSampleRow, EntriesOnlyForDisplayedNodes) {
    // X0 visible 7, X1 visible 65535, X2 untested, X3 outside the display area, X4 key.
    TestConfig config;
    config.x_channel_valid = 5;
    config.y_channel_valid = 3;
    SetFlags(config.display_area_x, {0, 1, 2, 4});
    SetFlags(config.display_area_y, {0, 2});
    SetFlags(config.test_va_area_x, {0, 1, 3});
    SetFlags(config.test_va_area_y, {0, 1, 2});
    SetFlags(config.test_key_area_x, {4});
    SetFlags(config.test_key_area_y, {0, 1, 2});
    config.test_key_number_x = 1;
    config.test_key_number_y = 3;
    SampleMatrix values{};
    for (size_t y = 0; y < 3; ++y) {
        values[0][y] = 7;
        values[1][y] = 65535;
        values[2][y] = 999;
        values[3][y] = 999;
        values[4][y] = 1510;
    }
    EXPECT_EQ(BuildSampleRow(config, values, 0), "    7,65535,    0, 1510,");
    EXPECT_EQ(BuildSampleRow(config, values, 1), "") << "Y channel outside the display area";
    EXPECT_EQ(BuildSampleRow(config, values, 2), "    7,65535,    0, 1510,");
    EXPECT_EQ(BuildSampleRow(config, values, 3), "") << "Y channel beyond the count";
}

TEST(ParseSampleRow, EntriesInOrder) {
    const struct {
        const char* name;
        std::string text;
        uint8_t xCount;
        std::vector<int32_t> values;
    } cases[] = {
        {"written row", "    7,65535,    0, 1510,", 4, {7, 65535, 0, 1510}},
        {"leading white space", " \t 1523, 1498,", 2, {1523, 1498}},
        {"fewer entries than channels", "12,34,", 4, {12, 34, 0, 0}},
        {"text after the last comma is no entry", "12,34", 2, {12, 0}},
        {"not a number", "abc,  -12,+7x,", 3, {0, -12, 7}},
        {"empty entries", ",,5,", 3, {0, 0, 5}},
        {"empty row", "", 2, {0, 0}},
        {"held to 32 bits",
         "99999999999,-99999999999,",
         2,
         {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}},
        {"no channels", "1,2,", 0, {}},
        {"only the first 511 characters", std::string(509, ' ') + "1,2,", 2, {1, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseSampleRow(c.text, c.xCount), c.values) << c.name;
    }
}

TEST(ParseSampleRowNodes, EntriesGoToDisplayedChannels) {
    TestConfig config;
    config.x_channel_valid = 5;
    SetFlags(config.display_area_x, {0, 2, 3, 7});
    const auto nodes = ParseSampleRowNodes("11,22,33,44,55,", config);
    const std::array<int32_t, kSampleXChannels> expected{11, 0, 22, 33};
    EXPECT_EQ(nodes, expected) << "X1 is not displayed, X7 is beyond the count";

    SetFlags(config.display_area_x, {1, 4});
    const std::array<int32_t, kSampleXChannels> all{11, 22, 33, 44, 55};
    EXPECT_EQ(ParseSampleRowNodes("11,22,33,44,55,", config), all)
        << "with every channel displayed the n-th entry is channel n";
}

TEST(ComputeSampleStatistics, AreasAndTheirAverages) {
    TestConfig config = SmallConfig();
    SampleMatrix values{};
    values[0][0] = 1523;
    values[1][0] = 8;
    values[2][1] = 65535;
    values[2][0] = 1;  // untested: never counted
    SampleRecord record;
    record.Time = "kept";
    ComputeSampleStatistics(config, values, record);
    EXPECT_EQ(record.VAmin, 8);
    EXPECT_EQ(record.VAmax, 1523);
    EXPECT_EQ(record.VAaverage, 765) << "1531 / 2 truncated";
    EXPECT_EQ(record.KEYmin, 65535);
    EXPECT_EQ(record.KEYmax, 65535);
    EXPECT_EQ(record.KEYaverage, 65535);
    EXPECT_EQ(record.Time, "kept");

    config.display_area_x[1] = 0;
    values[0][0] = -7;
    ComputeSampleStatistics(config, values, record);
    EXPECT_EQ(record.VAaverage, -7) << "only displayed nodes count";
    EXPECT_EQ(record.VAmin, -7);
    EXPECT_EQ(record.VAmax, 0) << "the maximum starts at 0";
}

TEST(ComputeSampleStatistics, AnAreaWithoutNodesIsZero) {
    TestConfig config = SmallConfig();
    config.test_key_area_x = {};
    SampleMatrix values{};
    values[0][0] = 100;
    values[1][0] = 103;
    SampleRecord record;
    record.KEYmin = 5;
    ComputeSampleStatistics(config, values, record);
    EXPECT_EQ(record.KEYmin, 0);
    EXPECT_EQ(record.KEYmax, 0);
    EXPECT_EQ(record.KEYaverage, 0);
    EXPECT_EQ(record.VAaverage, 101);

    config.test_va_area_x = {};
    ComputeSampleStatistics(config, values, record);
    EXPECT_EQ(record.VAmin, 0) << "not the start value 16777215";
    EXPECT_EQ(record.VAmax, 0);
    EXPECT_EQ(record.VAaverage, 0);
}

TEST(DeriveNodeLimits, AbsoluteAndPercentage) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const struct {
        const char* name;
        int32_t value;
        TestStandard standard;
        NodeLimits limits;
    } cases[] = {
        {"percentage", 999, {1, 0, 0, 15, 20}, {849, 1198}},
        {"percentage truncates toward zero", -999, {1, 0, 0, 15, 20}, {-849, -1198}},
        {"percentage above 100 gives a negative limit", 1000, {1, 0, 0, 255, 255}, {-1550, 3550}},
        {"percentage of a wide value is exact", 2000000000, {1, 0, 0, 0, 50}, {2000000000, kMax}},
        {"absolute", 1000, {0, 100, 200, 0, 0}, {900, 1200}},
        {"absolute below zero stands", 50, {0, 100, 0, 0, 0}, {-50, 50}},
        {"absolute beyond 32 bits is held", 1000, {0, 0, 4294967295u, 0, 0}, {1000, kMax}},
        {"absolute below 32 bits is held",
         -1000,
         {0, 4294967295u, 0, 0, 0},
         {std::numeric_limits<int32_t>::min(), -1000}},
        {"unknown method", 999, {2, 100, 100, 15, 20}, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeriveNodeLimits(c.value, c.standard), c.limits) << c.name;
    }
}

}  // namespace
