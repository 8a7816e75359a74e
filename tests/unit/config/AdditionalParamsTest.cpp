#include "config/AdditionalParams.h"

#include <gtest/gtest.h>

#include "unit/config/ConfigTestSupport.h"

namespace {

TEST(AdditionalParams, LivesBelowTheWorkingFolder) {
    EXPECT_EQ(AdditionalParamsPath("/station"),
              std::filesystem::path("/station/Config/AdditionalPara1.ini"));
}

TEST(AdditionalParams, CriterionAloneCreatesTheFile) {
    TempFolder folder;
    const auto file = AdditionalParamsPath(folder.path());
    std::filesystem::create_directories(file.parent_path());
    EXPECT_EQ(ReadCriterion(file), 0);
    EXPECT_TRUE(WriteCriterion(file, 1));
    EXPECT_EQ(ReadBytes(file), "[BasicParameters]\r\nCriterion=1\r\n");
    EXPECT_EQ(ReadCriterion(file), 1);
}

TEST(AdditionalParams, OrganiserReadsDefaultsAndTruncatesPercentages) {
    TempFolder folder;
    const auto file = folder.path() / "AdditionalPara1.ini";
    WriteBytes(file,
               "[basicparameters]\r\ncriterion=1\r\nBasicParametersFullDirectory=D:\\cfg\\a.txt\r\n"
               "[TestStandards]\r\nDeviationMethod=1\r\nAbsoluteDeviationPositive=4000000000\r\n"
               "RelativeDeviationNegative=300\r\nRelativeDeviationPositive=15\r\n"
               "[SampleInformation]\r\nNumberOfSamplesListed=4\r\n");
    AdditionalParams params;
    params.AbsoluteDeviationNegative = 55;
    params.NumberOfSamplesListMAX = 9;
    RecordingPrompter prompter;
    ASSERT_TRUE(ReadOrganiserParams(file, params, prompter));
    AdditionalParams expected;
    expected.BasicParametersFullDirectory = "D:\\cfg\\a.txt";
    expected.DeviationMethod = 1;
    expected.AbsoluteDeviationPositive = 4000000000u;
    expected.RelativeDeviationNegative = 44;
    expected.RelativeDeviationPositive = 15;
    expected.NumberOfSamplesListed = 4;
    EXPECT_EQ(params, expected);  // Criterion is the configuration window's, not read here
    EXPECT_TRUE(prompter.messages.empty());
}

TEST(AdditionalParams, OrganiserReportsAMissingFileAndKeepsItsValues) {
    TempFolder folder;
    const auto file = AdditionalParamsPath(folder.path());
    AdditionalParams params;
    params.DeviationMethod = 1;
    params.RelativeDeviationPositive = 10;
    const AdditionalParams before = params;
    RecordingPrompter prompter;
    EXPECT_FALSE(ReadOrganiserParams(file, params, prompter));
    EXPECT_EQ(params, before);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "打开文件 \"" + file.string() + " \"失败！");
    EXPECT_EQ(prompter.messages[0].caption, "");
    EXPECT_EQ(prompter.messages[0].buttons, MessageButtons::Ok);
}

TEST(AdditionalParams, OrganiserWritesItsSevenKeysAfterCriterion) {
    TempFolder folder;
    const auto file = folder.path() / "AdditionalPara1.ini";
    ASSERT_TRUE(WriteCriterion(file, 0));
    AdditionalParams params;
    params.BasicParametersFullDirectory = "ignored: the station's path is written";
    params.DeviationMethod = 1;
    params.AbsoluteDeviationNegative = 100;
    params.AbsoluteDeviationPositive = 200;
    params.RelativeDeviationNegative = 5;
    params.RelativeDeviationPositive = 6;
    params.NumberOfSamplesListMAX = 20;
    params.NumberOfSamplesListed = 3;
    EXPECT_TRUE(WriteOrganiserParams(file, params, ""));
    EXPECT_EQ(ReadBytes(file),
              "[BasicParameters]\r\nCriterion=0\r\nBasicParametersFullDirectory=\r\n"
              "[TestStandards]\r\nDeviationMethod=1\r\nAbsoluteDeviationNegative=100\r\n"
              "AbsoluteDeviationPositive=200\r\nRelativeDeviationNegative=5\r\n"
              "RelativeDeviationPositive=6\r\n"
              "[SampleInformation]\r\nNumberOfSamplesListed=3\r\n");
}

}  // namespace
