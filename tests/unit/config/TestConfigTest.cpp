#include "config/TestConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "unit/config/ConfigTestSupport.h"

namespace {

// The record behind tests/data/config/panel-32x52.txt: a 32 x 52 panel, visible area Y 0..47,
// keys on X 4, 9, 17 x Y 50, 51 where (4,50), (4,51), (9,50) and (17,51) are keys.
TestConfig PanelConfig() {
    TestConfig config;
    config.x_channel_valid = 32;
    config.y_channel_valid = 52;
    config.rawdata_va_min = 18000;
    config.rawdata_va_max = 38000;
    config.rawdata_key_min = 17000;
    config.rawdata_key_max = 39000;
    for (size_t i = 0; i < 52; ++i) {
        config.display_area_x[i] = i < 32;
        config.display_area_y[i] = 1;
        config.test_va_area_x[i] = i < 32;
        config.test_va_area_y[i] = i < 48;
    }
    config.test_key_area_x[4] = config.test_key_area_x[9] = config.test_key_area_x[17] = 1;
    config.test_key_area_y[50] = config.test_key_area_y[51] = 1;
    config.test_key_number_x = 3;
    config.test_key_number_y = 2;
    config.multikey_matrix_col0 = {1, 1};
    config.multikey_matrix_col1 = {1, 0};
    config.multikey_matrix_col2 = {0, 1};
    config.multikey_matrix[0][0] = config.multikey_matrix[1][0] = 1;
    config.multikey_matrix[0][1] = 1;
    config.multikey_matrix[1][2] = 1;
    return config;
}

std::vector<std::string> FixtureLines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(ConfigData("panel-32x52.txt")));
    for (std::string line; std::getline(in, line);) {
        line.pop_back();  // CR
        lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += end;
    }
    return text;
}

struct LoadResult {
    bool ok;
    int line;  // error_line, or -1 when untouched
    TestConfig config;
};

LoadResult Load(const std::string& text, TestConfig start = {}) {
    std::istringstream in(text);
    uint8_t line = 0xAB;
    const bool ok = ReadTestConfigText(in, start, line);
    return {ok, line == 0xAB ? -1 : line, start};
}

TEST(TestConfigFile, WriterProducesTheStationBytes) {
    TempFolder folder;
    const auto out = folder.path() / "out.txt";
    RecordingPrompter prompter;
    ASSERT_TRUE(SaveTestConfig(out.string(), PanelConfig(), prompter));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(ReadBytes(out), ReadBytes(ConfigData("panel-32x52.txt")));
}

// The writer takes key counts from the area flags, columns from the matrix, and never
// lets X entries 32..51 reach the file.
TEST(TestConfigFile, WriterDerivesCountsColumnsAndHidesUnusedX) {
    TestConfig config = PanelConfig();
    config.test_key_number_x = 9;
    config.test_key_number_y = 0;
    config.multikey_matrix_col0 = {};
    config.multikey_matrix_col5 = {1, 1, 1, 1, 1, 1, 1, 1};
    config.display_area_x[40] = config.test_va_area_x[32] = config.test_key_area_x[51] = 1;
    EXPECT_EQ(FormatTestConfig(config), ReadBytes(ConfigData("panel-32x52.txt")));
}

TEST(TestConfigFile, RoundTripRestoresTheRecord) {
    TempFolder folder;
    const auto file = (folder.path() / "panel.txt").string();
    TestConfig written = PanelConfig();
    written.display_area_x[45] = 1;
    RecordingPrompter prompter;
    ASSERT_TRUE(SaveTestConfig(file, written, prompter));

    TestConfig read;
    read.rawdata_key_min = 1234;
    read.multikey_matrix[7][7] = 1;
    uint8_t line = 0;
    ASSERT_TRUE(LoadTestConfig(file, read, line, prompter));
    written.display_area_x[45] = 0;
    EXPECT_EQ(read, written);
    EXPECT_TRUE(prompter.messages.empty());
}

struct LoadCase {
    const char* name;
    std::function<void(std::vector<std::string>&)> edit;
    bool ok;
    int line;  // reported line, -1 when error_line must stay untouched
    std::function<void(const TestConfig&)> check = [](const TestConfig&) {};
    TestConfig start = {};
};

void Set(std::vector<std::string>& lines, size_t number, const std::string& text) {
    lines[number - 1] = text;
}

auto Line(size_t number, std::string text) {
    return [number, text](std::vector<std::string>& lines) { Set(lines, number, text); };
}

TestConfig WithVaMin(uint16_t value) {
    TestConfig config;
    config.rawdata_va_min = value;
    return config;
}

const LoadCase kLoadCases[] = {
    {"Fixture", [](auto&) {}, true, -1, [](const TestConfig& c) { EXPECT_EQ(c, PanelConfig()); }},
    {"XCountZero", Line(1, "x_channel_valid=0\t%"), false, 1},
    {"XCountOne", Line(1, "x_channel_valid=1\t%"), true, -1},
    {"XCount33", Line(1, "x_channel_valid=33\t%"), false, 1},
    {"YCount52", Line(2, "y_channel_valid=52\t%"), true, -1},
    {"YCount53", Line(2, "y_channel_valid=53\t%"), false, 2},
    {"VaMinBelowRange", Line(3, "rawdata_va_min=15999\t%"), false, 3},
    {"VaMinAtLowEnd", Line(3, "rawdata_va_min=16000\t%"), true, -1},
    {"VaMinAboveRange", Line(3, "rawdata_va_min=40001\t%"), false, 3},
    {"VaMaxAtHighEnd", Line(4, "rawdata_va_max=40000\t%"), true, -1},
    {"VaMaxEqualsMin", Line(4, "rawdata_va_max=18000\t%"), false, 4},
    {"KeyMaxEqualsMin", Line(6, "rawdata_key_max=17000\t%"), false, 6},
    {"LimitKeepsLow16Bits", Line(3, "rawdata_va_min=85536\t%"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.rawdata_va_min, 20000); }},
    {"KeyNumberKeepsLow8Bits", Line(13, "test_key_number_x=300\t%"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.test_key_number_x, 44); }},
    {"NegativeCountKeepsLow8Bits", Line(1, "x_channel_valid=-224\t%"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.x_channel_valid, 32); }},
    {"BlanksAroundValue", Line(1, "x_channel_valid=  7 \t%X"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.x_channel_valid, 7); }},
    {"DigitsThenText", Line(1, "x_channel_valid=7abc\t%X"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.x_channel_valid, 7); }},
    {"BlankBeforeEquals", Line(1, "x_channel_valid =32\t%"), false, 1},
    {"KeyCaseMatters", Line(2, "Y_channel_valid=52\t%"), false, 2},
    {"CountWithoutPercent", Line(1, "x_channel_valid=32"), false, 1},
    {"KeyNumberWithoutPercent", Line(13, "test_key_number_x=3"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.test_key_number_x, 0); }},
    {"ArrayWithoutPercent", Line(8, "display_area_y[52]={1,1,1}"), true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c.display_area_y, TestConfig::ChannelFlags{}); }},
    {"BlankLine", Line(5, ""), false, 5},
    {"CommentOnlyLine", Line(5, "%按键区测试值下限"), false, 5},
    {"LastLineFails", Line(22, "multikey_matrix_col7[8]={0,0,0,0,0,0,0,2}\t%"), false, 22},
    {"ArrayEntryTwo", Line(15, "multikey_matrix_col0[8]={1,2,0,0,0,0,0,0}\t%"), false, 15,
     // The rest of the failing line is still read, and the matrix follows the columns.
     [](const TestConfig& c) {
         EXPECT_EQ(c.multikey_matrix_col0, (TestConfig::ColumnFlags{1, 0, 0, 0, 0, 0, 0, 0}));
         EXPECT_EQ(c.multikey_matrix[0][0], 1);
         EXPECT_EQ(c.multikey_matrix[1][0], 0);
     }},
    {"ArrayEntryLetterReadsZero", Line(15, "multikey_matrix_col0[8]={1,a,1,0,0,0,0,1}\t%"), true,
     -1,
     [](const TestConfig& c) {
         EXPECT_EQ(c.multikey_matrix_col0, (TestConfig::ColumnFlags{1, 0, 1, 0, 0, 0, 0, 1}));
     }},
    {"ShortArrayZeroesItsLastAndMissingEntries", Line(15, "multikey_matrix_col0[8]={1,1,1}\t%"),
     true, -1,
     [](const TestConfig& c) {
         EXPECT_EQ(c.multikey_matrix_col0, (TestConfig::ColumnFlags{1, 1, 0, 0, 0, 0, 0, 0}));
     }},
    {"EmptyLineAfterLast", [](auto& lines) { lines.push_back(""); }, false, 23},
    {"TwentyOneLines", [](auto& lines) { lines.pop_back(); }, false, 19},
    {"TwentyThreeLines", [](auto& lines) { lines.push_back(lines[0]); }, false, 21},
    {"EmptyFileReportsLineZero", [](auto& lines) { lines.clear(); }, false, 0},
    {"ThreeHundredGoodLinesSaturate",
     [](auto& lines) {
         while (lines.size() < 300)
             lines.push_back(lines[0]);
     },
     false, 255},
    {"DuplicateWinsMissingKeepsOld",
     [](auto& lines) {
         Set(lines, 6, "x_channel_valid=5\t%");
         Set(lines, 10, "x_channel_valid=6\t%");
     },
     true, -1,
     [](const TestConfig& c) {
         EXPECT_EQ(c.x_channel_valid, 6);
         EXPECT_EQ(c.rawdata_key_max, 777);
         EXPECT_EQ(c.test_va_area_y, TestConfig::ChannelFlags{});
     },
     [] {
         TestConfig start;
         start.rawdata_key_max = 777;
         return start;
     }()},
    {"AnyOrderPasses", [](auto& lines) { std::reverse(lines.begin(), lines.end()); }, true, -1,
     [](const TestConfig& c) { EXPECT_EQ(c, PanelConfig()); }},
    // Reversed, the maximum (line 19) is read before the file's minimum.
    {"MaxBeforeMinMeetsTheOldMin", [](auto& lines) { std::reverse(lines.begin(), lines.end()); },
     false, 19, [](const TestConfig&) {}, WithVaMin(38000)},
    {"NoRollback", Line(5, "rawdata_key_min=100\t%"), false, 5,
     [](const TestConfig& c) {
         EXPECT_EQ(c.rawdata_va_max, 38000);
         EXPECT_EQ(c.rawdata_key_min, 100);
         EXPECT_EQ(c.rawdata_key_max, 0);
     }},
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadRules : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadRules, AcceptsOrReportsTheLine) {
    const LoadCase& c = GetParam();
    std::vector<std::string> lines = FixtureLines();
    c.edit(lines);
    const LoadResult result = Load(Join(lines), c.start);
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.line, c.line);
    c.check(result.config);
}

INSTANTIATE_TEST_SUITE_P(TestConfigFile, LoadRules, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TestConfigFile, AcceptsLineFeedEnds) {
    const LoadResult result = Load(Join(FixtureLines(), "\n"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.config, PanelConfig());
}

TEST(TestConfigFile, UnopenableFileChangesNothing) {
    TempFolder folder;
    for (const auto& path : {(folder.path() / "missing.txt").string(), folder.path().string()}) {
        RecordingPrompter prompter;
        TestConfig config = PanelConfig();
        uint8_t line = 77;
        EXPECT_FALSE(LoadTestConfig(path, config, line, prompter));
        EXPECT_EQ(config, PanelConfig());
        EXPECT_EQ(line, 77);
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].text, "step2:打开文件 \"" + path + " \"失败！");
        EXPECT_EQ(prompter.messages[0].caption, "");
        EXPECT_EQ(prompter.messages[0].buttons, MessageButtons::Ok);
    }
}

TEST(TestConfigFile, WriterReportsFilesItCannotWrite) {
    TempFolder folder;
    const std::string path = (folder.path() / "no-such-folder" / "out.txt").string();
    RecordingPrompter prompter;
    EXPECT_FALSE(SaveTestConfig(path, PanelConfig(), prompter));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, path + "打开失败！");
    EXPECT_EQ(prompter.messages[0].caption, "");

    if (std::filesystem::exists("/dev/full")) {
        RecordingPrompter full;
        EXPECT_FALSE(SaveTestConfig("/dev/full", PanelConfig(), full));
        ASSERT_EQ(full.messages.size(), 1u);
        EXPECT_FALSE(full.messages[0].text.empty());
    }
}

struct ClassifyCase {
    const char* name;
    std::function<void(TestConfig&)> edit;
    uint8_t x;
    uint8_t y;
    NodeClass expected;
};

// 10 x 12 channels: visible area X 0..5 x Y 0..5, keys on X 1, 3, 5, 6, 7 x Y 8, 9, 10
// (key columns 0..4, rows 0..2), multi-row because both key counts exceed 1.
TestConfig SmallPanel() {
    TestConfig config;
    config.x_channel_valid = 10;
    config.y_channel_valid = 12;
    for (size_t i = 0; i < 6; ++i) {
        config.test_va_area_x[i] = config.test_va_area_y[i] = 1;
    }
    for (size_t x : {1, 3, 5, 6, 7}) {
        config.test_key_area_x[x] = 1;
    }
    for (size_t y : {8, 9, 10}) {
        config.test_key_area_y[y] = 1;
    }
    config.test_key_number_x = 5;
    config.test_key_number_y = 3;
    return config;
}

const ClassifyCase kClassifyCases[] = {
    {"XAtCountIsOutside", [](TestConfig&) {}, 10, 0, NodeClass::Outside},
    {"YAtCountIsOutside", [](TestConfig&) {}, 0, 12, NodeClass::Outside},
    {"BeyondTheControllerIsOutside",
     [](TestConfig& c) { c.x_channel_valid = c.y_channel_valid = 255; }, 200, 60,
     NodeClass::Outside},
    {"VisibleArea", [](TestConfig&) {}, 5, 5, NodeClass::VisibleArea},
    {"AllFourFlagsIsVisibleArea", [](TestConfig& c) { c.test_key_area_y[2] = 1; }, 3, 2,
     NodeClass::VisibleArea},
    {"NoAreaIsUntested", [](TestConfig&) {}, 8, 11, NodeClass::Untested},
    {"KeyWithMatrixEntry", [](TestConfig& c) { c.multikey_matrix[1][2] = 1; }, 5, 9,
     NodeClass::Key},
    {"KeyWithoutMatrixEntry", [](TestConfig& c) { c.multikey_matrix[2][1] = 1; }, 5, 9,
     NodeClass::Untested},
    {"SingleKeyColumnIgnoresMatrix", [](TestConfig& c) { c.test_key_number_x = 1; }, 5, 9,
     NodeClass::Key},
    {"SingleKeyRowIgnoresMatrix", [](TestConfig& c) { c.test_key_number_y = 0; }, 7, 10,
     NodeClass::Key},
    {"KeyColumnBeyondMatrixIsUntested",
     [](TestConfig& c) {
         c.x_channel_valid = 32;
         for (size_t x = 10; x < 20; ++x)
             c.test_key_area_x[x] = 1;
         for (auto& row : c.multikey_matrix)
             row.fill(1);
     },
     13, 8, NodeClass::Untested},
    {"KeyRowBeyondMatrixIsUntested",
     [](TestConfig& c) {
         c.y_channel_valid = 52;
         for (size_t y = 20; y < 30; ++y)
             c.test_key_area_y[y] = 1;
         for (auto& row : c.multikey_matrix)
             row.fill(1);
     },
     1, 27, NodeClass::Untested},
};

void PrintTo(const ClassifyCase& c, std::ostream* os) {
    *os << c.name;
}

class Classify : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(Classify, GivesTheNodeClass) {
    TestConfig config = SmallPanel();
    GetParam().edit(config);
    EXPECT_EQ(ClassifyNode(config, GetParam().x, GetParam().y), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(TestConfigFile, Classify, ::testing::ValuesIn(kClassifyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
