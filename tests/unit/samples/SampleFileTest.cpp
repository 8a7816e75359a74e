#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SampleTestSupport.h"
#include "config/IniProfile.h"
#include "samples/SampleFiles.h"

namespace {

using sample_test::FixedClock;
using sample_test::ReadBytes;
using sample_test::SetFlags;
using sample_test::SmallConfig;
using sample_test::TempFolder;
using sample_test::WriteBytes;

const std::filesystem::path kData = std::filesystem::path(PANELIX_TEST_DATA_DIR) / "samples";

class SampleFileTest : public ::testing::Test {
protected:
    SampleFileTest() {
        std::filesystem::create_directories(work_.path() / "Config");
        std::filesystem::create_directories(work_.path() / "TemporarySamples");
        folders_ = {work_.path(), work_.path() / "TemporarySamples"};
    }

    // The values of SmallConfig's three measured nodes.
    static SampleNodeMatrix SmallValues() {
        SampleNodeMatrix values{};
        values[0][0] = 1523;
        values[1][0] = 7;
        values[2][1] = 65535;
        values[2][0] = 4444;  // untested: written as 0
        return values;
    }

    std::string WriteSample(const TestConfig& config, const SampleMatrix& values) {
        SampleRecord record;
        EXPECT_TRUE(WriteSampleFile(folders_, config, values, SampleSource::CurrentData, record,
                                    FixedClock())
                        .ok);
        return record.path;
    }

    TempFolder work_;
    SampleFolders folders_;
};

TEST_F(SampleFileTest, WritesTheWholeFileInKeyOrder) {
    SampleRecord record;
    const SampleFileResult result = WriteSampleFile(
        folders_, SmallConfig(), SmallValues(), SampleSource::CurrentData, record, FixedClock());
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(record.path, (folders_.tempSampleFolder / "20240305070809.ini").string());
    EXPECT_EQ(record.Source, SampleSource::CurrentData);
    EXPECT_EQ(record.Time, "0305070809");
    EXPECT_EQ(record.VAmin, 7);
    EXPECT_EQ(record.VAmax, 1523);
    EXPECT_EQ(record.VAaverage, 765);
    EXPECT_EQ(record.KEYaverage, 65535);
    EXPECT_EQ(ReadBytes(record.path), ReadBytes(kData / "small-3x2.ini"));
}

TEST_F(SampleFileTest, TemplateContentComesFirstAndItsKeysAreReplacedInPlace) {
    std::filesystem::copy_file(kData / "template.ini",
                               folders_.workingFolder / "Config" / "SampleTemplate.ini");
    SampleRecord record;
    ASSERT_TRUE(WriteSampleFile(folders_, SmallConfig(), SmallValues(), SampleSource::CurrentData,
                                record, FixedClock())
                    .ok);
    EXPECT_EQ(ReadBytes(record.path), ReadBytes(kData / "small-3x2-from-template.ini"));
}

TEST_F(SampleFileTest, SecondSampleInTheSameSecondReplacesTheKeys) {
    SampleMatrix first{};
    first[0][0] = 1111;
    first[1][0] = 2222;
    SampleMatrix second{};
    second[0][0] = 3333;
    second[2][1] = 4444;
    const std::string firstPath = WriteSample(SmallConfig(), first);
    const std::string secondPath = WriteSample(SmallConfig(), second);
    EXPECT_EQ(firstPath, secondPath);

    TempFolder alone;
    SampleFolders aloneFolders{alone.path(), alone.path()};
    SampleRecord record;
    ASSERT_TRUE(WriteSampleFile(aloneFolders, SmallConfig(), second, SampleSource::CurrentData,
                                record, FixedClock())
                    .ok);
    EXPECT_EQ(ReadBytes(secondPath), ReadBytes(record.path))
        << "nothing of the first sample may remain";
}

TEST_F(SampleFileTest, FailedWriteIsReported) {
    folders_.tempSampleFolder = work_.path() / "missing";
    SampleRecord record;
    const SampleFileResult result = WriteSampleFile(
        folders_, SmallConfig(), SmallValues(), SampleSource::CurrentData, record, FixedClock());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(record.path), std::string::npos) << result.message;
    EXPECT_EQ(record.Time, "0305070809") << "the record is filled for the caller's message";
    EXPECT_FALSE(std::filesystem::exists(record.path));
}

TEST_F(SampleFileTest, SampleWithAnUndisplayedChannelReadsBackToTheSameNodes) {
    // X1 is left out of the display area: rows hold entries for X0, X2 and X3 only.
    TestConfig config;
    config.x_channel_valid = 4;
    config.y_channel_valid = 2;
    SetFlags(config.display_area_x, {0, 2, 3});
    SetFlags(config.display_area_y, {0, 1});
    SetFlags(config.test_va_area_x, {0, 1, 2, 3});
    SetFlags(config.test_va_area_y, {0, 1});
    SampleMatrix values{};
    values[0][0] = 100;
    values[1][0] = 200;
    values[2][0] = 300;
    values[3][0] = 400;
    values[0][1] = 500;
    values[2][1] = 600;
    values[3][1] = 700;
    const std::string path = WriteSample(config, values);
    EXPECT_EQ(ReadProfileString(path, "Sample_Context", "Y0", ""), "100,  300,  400,");

    SampleMatrix expected = values;
    expected[1][0] = 0;  // not displayed: never stored, never limited
    SampleMatrix low;
    SampleMatrix high;
    ASSERT_TRUE(DeriveSampleLimits(path, config, {0, 0, 0, 0, 0}, low, high).ok);
    EXPECT_EQ(low, expected);
    EXPECT_EQ(high, expected);

    SampleMatrix average;
    SampleRecord record;
    ASSERT_TRUE(
        AverageSampleFiles(folders_, config, {path, path, path}, average, record, FixedClock()).ok);
    EXPECT_EQ(average, expected);
}

TEST_F(SampleFileTest, AverageOfThreeSamples) {
    const TestConfig config = SmallConfig();
    std::vector<std::string> paths;
    for (int32_t value : {100, 101, 103}) {
        SampleMatrix values{};
        values[0][0] = value;
        values[1][0] = -value;
        values[2][1] = 3 * value;
        const std::filesystem::path path = work_.path() / ("s" + std::to_string(value) + ".ini");
        std::filesystem::rename(WriteSample(config, values), path);
        paths.push_back(path.string());
    }
    SampleMatrix average;
    SampleRecord record;
    const SampleFileResult result =
        AverageSampleFiles(folders_, config, paths, average, record, FixedClock());
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(average[0][0], 101);
    EXPECT_EQ(average[1][0], -101) << "-304 / 3 truncates toward zero";
    EXPECT_EQ(average[2][1], 304);
    EXPECT_EQ(average[2][0], 0) << "untested";
    EXPECT_EQ(record.Source, SampleSource::AverageSample);
    EXPECT_EQ(record.path, (folders_.tempSampleFolder / "20240305070809.ini").string());
    EXPECT_EQ(ReadProfileInt(record.path, "Sample_Configuration", "Source", 0), 3);
    EXPECT_NE(ReadBytes(record.path).find("\r\nY0=  101, -101,    0,\r\n"), std::string::npos);
    EXPECT_EQ(record.VAmin, -101);
    EXPECT_EQ(record.KEYmax, 304);
}

TEST_F(SampleFileTest, AverageFailsOnAnUnreadableSampleWithoutWriting) {
    const std::string good = WriteSample(SmallConfig(), {});
    const std::filesystem::path moved = work_.path() / "good.ini";
    std::filesystem::rename(good, moved);
    const std::string missing = (work_.path() / "gone.ini").string();
    for (const std::vector<std::string>& paths :
         {std::vector<std::string>{moved.string(), missing, moved.string()},
          std::vector<std::string>{}}) {
        SampleMatrix average;
        average[0][0] = 9;
        SampleRecord record;
        record.Time = "before";
        const SampleFileResult result =
            AverageSampleFiles(folders_, SmallConfig(), paths, average, record, FixedClock());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(record.Time, "before");
        EXPECT_EQ(average, SampleMatrix{});
        EXPECT_TRUE(std::filesystem::is_empty(folders_.tempSampleFolder));
    }
}

TEST_F(SampleFileTest, ImportedHeaderIsAlwaysASampleFile) {
    const std::filesystem::path file = work_.path() / "imported.ini";
    WriteBytes(file,
               "[sample_configuration]\r\nTime=1231235959\r\nSource=3\r\nVAmax=  1600\r\n"
               "VAmin=-20\r\nVAaverage=1500\r\nKEYmax=x\r\n");
    SampleRecord record;
    record.KEYmin = 77;
    ASSERT_TRUE(ReadSampleHeader(file.string(), record).ok);
    EXPECT_EQ(SampleSourceText(record.Source), "样本文件");
    SampleRecord expected;
    expected.path = file.string();
    expected.Source = SampleSource::SampleFile;
    expected.Time = "1231235959";
    expected.VAmax = 1600;
    expected.VAmin = -20;
    expected.VAaverage = 1500;
    EXPECT_EQ(record, expected) << "missing and non-numeric keys read as 0";

    const std::string missing = (work_.path() / "none.ini").string();
    const SampleFileResult result = ReadSampleHeader(missing, record);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "打开文件 \"" + missing + "\" 失败！");
    EXPECT_EQ(record.path, missing);
    EXPECT_EQ(record.VAmax, 0);
}

TEST_F(SampleFileTest, DerivedLimitsCoverOnlyMeasuredNodes) {
    const std::filesystem::path file = work_.path() / "sample.ini";
    WriteBytes(file,
               "[Sample_Context]\r\nY0=  999,   50, 1234,\r\nY1=  999,   50,  100,\r\n"
               "Y2=5,5,5,\r\n");
    SampleMatrix low;
    SampleMatrix high;
    low[31][51] = 5;
    ASSERT_TRUE(DeriveSampleLimits(file.string(), SmallConfig(), {1, 0, 0, 15, 20}, low, high).ok);
    EXPECT_EQ(low[0][0], 849);
    EXPECT_EQ(high[0][0], 1198);
    EXPECT_EQ(low[1][0], 42);
    EXPECT_EQ(high[2][1], 120);
    SampleMatrix measured{};
    measured[0][0] = low[0][0];
    measured[1][0] = low[1][0];
    measured[2][1] = low[2][1];
    EXPECT_EQ(low, measured) << "untested nodes and rows beyond the count stay 0";

    ASSERT_TRUE(DeriveSampleLimits(file.string(), SmallConfig(), {0, 100, 0, 0, 0}, low, high).ok);
    EXPECT_EQ(low[1][0], -50);

    EXPECT_FALSE(
        DeriveSampleLimits((work_.path() / "x.ini").string(), SmallConfig(), {}, low, high).ok);
    EXPECT_EQ(low, SampleMatrix{});
    EXPECT_EQ(high, SampleMatrix{});
}

TEST_F(SampleFileTest, LimitFilesHold52RowsOf32Entries) {
    SampleMatrix low{};
    SampleMatrix high{};
    low[0][0] = -50;
    high[0][0] = 131070;
    high[31][51] = 65535;
    const std::filesystem::path folder = folders_.workingFolder / "Config";
    ASSERT_TRUE(WriteSampleLimitFiles(folder, low, high).ok);

    TestConfig everyChannel;
    everyChannel.x_channel_valid = 32;
    everyChannel.display_area_x.fill(1);
    for (const auto& [name, limits] :
         {std::pair{"SampleRawDataLow.ini", low}, std::pair{"SampleRawDataHigh.ini", high}}) {
        const std::filesystem::path file = folder / name;
        const std::string bytes = ReadBytes(file);
        EXPECT_TRUE(bytes.starts_with("[Sample_Context]\r\nY0=")) << name;
        EXPECT_EQ(bytes.find("Y52="), std::string::npos) << name;
        for (size_t y = 0; y < 52; ++y) {
            const std::string row =
                ReadProfileString(file, "Sample_Context", "Y" + std::to_string(y), "");
            ASSERT_TRUE(row.ends_with(",")) << name << " Y" << y;
            const auto values = ParseSampleRowNodes(row, everyChannel);
            for (size_t x = 0; x < 32; ++x) {
                EXPECT_EQ(values[x], limits[x][y]) << name << " " << x << "," << y;
            }
        }
    }
    std::string zeros;
    for (int x = 0; x < 32; ++x) {
        zeros += "    0,";
    }
    EXPECT_NE(ReadBytes(folder / "SampleRawDataLow.ini").find("\r\nY1=" + zeros + "\r\n"),
              std::string::npos);
    EXPECT_NE(ReadBytes(folder / "SampleRawDataHigh.ini").find("\nY0=131070,    0,"),
              std::string::npos)
        << "a wide limit is written whole";

    EXPECT_FALSE(WriteSampleLimitFiles(work_.path() / "missing", low, high).ok);
}

}  // namespace
