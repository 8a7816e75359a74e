// The sample organiser's decisions over a scripted window, without a board: the list and its
// capacity, import, export, averaging, clearing, putting a sample to use, the fields and the
// parameters file.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SampleTestSupport.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/IniProfile.h"
#include "samples/SampleClock.h"
#include "samples/SampleOrganiser.h"
#include "support/FakeHidBackend.h"
#include "support/FakeOrganiserForm.h"
#include "support/FakeStationView.h"

namespace {

using sample_test::FixedClock;
using sample_test::FixedTime;
using sample_test::ReadBytes;
using sample_test::SmallConfig;
using sample_test::TempFolder;
using sample_test::WriteBytes;
namespace fs = std::filesystem;

const fs::path kData = fs::path(PANELIX_TEST_DATA_DIR) / "samples";
const std::string kEmptyList = "列表为空，请先获取样本或者导入样本文件";
const std::string kFullList = "列表已满，请清空！";
constexpr const char* kListMaxFive = "[SampleInformation]\r\nNumberOfSamplesListMAX=5\r\n";

class OrganiserTest : public ::testing::Test {
protected:
    OrganiserTest() : station(mainView, backend, sleeper, work.path().string()) {
        station.CreateFolders();
        station.testConfig = SmallConfig();
        station.sampleClock = FixedClock();
    }

    fs::path ParamsFile() const { return work.path() / "Config" / "AdditionalPara1.ini"; }
    fs::path Temp() const { return work.path() / "TemporarySamples"; }

    // The window's creation, over a parameters file with params (none when nullptr).
    SampleOrganiser& Open(const char* params = kListMaxFive) {
        if (params != nullptr) {
            WriteBytes(ParamsFile(), params);
        }
        organiser.reset();
        organiser = std::make_unique<SampleOrganiser>(station, form, prompter);
        organiser->Initialise();
        return *organiser;
    }

    void Import(const fs::path& file) {
        prompter.openAnswers.push_back(file.string());
        organiser->Import();
    }

    void Check(std::initializer_list<size_t> rows) {
        for (size_t row : rows) {
            organiser->SetRowChecked(row, true);
        }
    }

    std::vector<std::string> MessageTexts() const { return ::MessageTexts(prompter); }

    TempFolder work;
    FakeStationView mainView;
    FakeHidBackend backend;
    CountingSleeper sleeper{false};
    Station station;
    FakeOrganiserForm form;
    FakeStationView prompter;
    std::unique_ptr<SampleOrganiser> organiser;
};

TEST_F(OrganiserTest, CreationReadsTheParametersFileAndEnablesTheMethodsRow) {
    struct Case {
        const char* name;
        const char* params;  // nullptr: no file
        int method;
        std::vector<std::string> fields;  // 1068..1071
        std::vector<std::string> messages;
    };
    const std::string missing = "打开文件 \"" + ParamsFile().string() + " \"失败！";
    const Case cases[] = {
        {"no file: percentage, all zero", nullptr, 1, {"0", "0", "0", "0"}, {missing}},
        {"absolute, 300 keeps its low byte",
         "[TestStandards]\r\nDeviationMethod=0\r\nAbsoluteDeviationNegative=2000\r\n"
         "AbsoluteDeviationPositive=3000\r\nRelativeDeviationNegative=10\r\n"
         "RelativeDeviationPositive=300\r\n",
         0,
         {"2000", "3000", "10", "44"},
         {}},
    };
    for (const Case& c : cases) {
        fs::remove(ParamsFile());
        form = FakeOrganiserForm();
        prompter.messages.clear();
        Open(c.params);
        EXPECT_EQ(form.method, c.method) << c.name;
        for (int id : organiserids::kAbsoluteRow) {
            EXPECT_EQ(form.ControlEnabled(id), c.method == 0) << c.name << " " << id;
        }
        for (int id : organiserids::kPercentageRow) {
            EXPECT_EQ(form.ControlEnabled(id), c.method == 1) << c.name << " " << id;
        }
        EXPECT_EQ((std::vector<std::string>{form.fields[1068], form.fields[1069], form.fields[1070],
                                            form.fields[1071]}),
                  c.fields)
            << c.name;
        EXPECT_EQ(MessageTexts(), c.messages) << c.name;
        EXPECT_EQ(form.armedTimers, (std::map<int, int>{{organiserids::kLinkTimer, 100}}));
        EXPECT_EQ(form.ControlEnabled(organiserids::kSelectAll), false);
        for (int id : {organiserids::kButtonAverage, organiserids::kButtonClear,
                       organiserids::kButtonImport, organiserids::kButtonExport}) {
            EXPECT_EQ(form.ControlEnabled(id), true) << c.name << " " << id;
        }
    }
}

TEST_F(OrganiserTest, TimerTenFollowsTheLinkUntilTheWindowCloses) {
    Open();
    organiser->OnTimer(organiserids::kLinkTimer);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), false);
    station.linkOk = true;
    organiser->OnTimer(organiserids::kLinkTimer);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), true);
    organiser->Close();
    EXPECT_FALSE(form.TimerArmed(organiserids::kLinkTimer));
}

TEST_F(OrganiserTest, ShowingTheWindowAgainLetsTheButtonFollowTheLink) {
    Open();
    organiser->Close();
    organiser->Reshow();
    station.linkOk = true;
    organiser->OnTimer(organiserids::kLinkTimer);
    EXPECT_TRUE(form.TimerArmed(organiserids::kLinkTimer));
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), true);
}

TEST_F(OrganiserTest, ImportListsTheFilesHeader) {
    Open();
    prompter.openAnswers.push_back("");
    organiser->Import();
    EXPECT_TRUE(organiser->Rows().empty()) << "a cancelled chooser adds nothing";
    ASSERT_EQ(prompter.openRequests.size(), 1u);
    EXPECT_EQ(prompter.openRequests[0].filter, "文本文件(*.ini)|*.ini||");
    EXPECT_EQ(prompter.openRequests[0].initialName, (work.path() / "Sample" / ".ini").string());

    Import(kData / "small-3x2.ini");
    ASSERT_EQ(organiser->RowCount(), 1u);
    EXPECT_EQ(organiser->Rows()[0].texts,
              (std::array<std::string, 9>{" 0", "0305070809", "样本文件", "1523", "7", "765",
                                          "65535", "65535", "65535"}));
    EXPECT_FALSE(organiser->Rows()[0].checked);
    EXPECT_EQ(organiser->SamplePath(0), (kData / "small-3x2.ini").string());
    EXPECT_EQ(station.sampleRecord.path, (kData / "small-3x2.ini").string());
    EXPECT_EQ(form.ControlEnabled(organiserids::kSelectAll), true);

    const SampleRecord before = station.sampleRecord;
    Import(kData / "none.ini");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{
                                  "打开文件 \"" + (kData / "none.ini").string() + "\" 失败！"});
    EXPECT_EQ(prompter.messages.back().caption, "提示");
    EXPECT_EQ(prompter.messages.back().icon, MessageIcon::Exclamation);
    EXPECT_EQ(organiser->RowCount(), 1u);
    EXPECT_EQ(station.sampleRecord, before);
}

// The list has 32 paths: a 33rd row must be refused, never written past the list.
TEST_F(OrganiserTest, TheListHoldsThirtyTwoSamples) {
    Open("[SampleInformation]\r\nNumberOfSamplesListMAX=40\r\n");
    for (int i = 0; i < 32; ++i) {
        Import(kData / "small-3x2.ini");
    }
    ASSERT_EQ(organiser->RowCount(), 32u);
    EXPECT_EQ(organiser->Rows()[31].texts[0], "31");
    const size_t choosers = prompter.openRequests.size();
    Import(kData / "small-3x2.ini");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kFullList});
    EXPECT_EQ(prompter.openRequests.size(), choosers);
    EXPECT_EQ(organiser->RowCount(), 32u);
    prompter.openAnswers.clear();

    // An acquisition meets the same limit, even below NumberOfSamplesListMAX.
    organiser->Acquire();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{kFullList, kFullList}));
    EXPECT_FALSE(station.sampleRequested);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), false);
    EXPECT_EQ(organiser->RowCount(), 0u);
    EXPECT_EQ(organiser->Rows().size(), 32u) << "the rows stay in view";

    Import(kData / "avg-a.ini");
    EXPECT_EQ(organiser->RowCount(), 1u);
    EXPECT_EQ(organiser->Rows().size(), 33u);
    EXPECT_EQ(organiser->SamplePath(0), (kData / "avg-a.ini").string());
}

TEST_F(OrganiserTest, AverageNeedsThreeCheckedRows) {
    Open();
    organiser->Average();
    Import(kData / "avg-a.ini");
    Import(kData / "avg-b.ini");
    Import(kData / "avg-c.ini");
    Check({0, 2});
    organiser->Average();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{kEmptyList,
                                        "请先在“□”打钩选中至少3个样本，再点击“生成平均样本”"}));
    EXPECT_EQ(organiser->RowCount(), 3u);
}

TEST_F(OrganiserTest, AverageAddsARowAndKeepsAnEarlierSampleOfTheSameSecond) {
    Open();
    Import(kData / "avg-a.ini");
    Import(kData / "avg-b.ini");
    Import(kData / "avg-c.ini");
    Check({0, 1, 2});
    organiser->Average();
    ASSERT_EQ(organiser->RowCount(), 4u);
    EXPECT_EQ(organiser->Rows()[3].texts[0], " 3");
    EXPECT_EQ(organiser->Rows()[3].texts[1], "0305070809");
    EXPECT_EQ(organiser->Rows()[3].texts[2], "平均样本");
    EXPECT_EQ(organiser->AverageMatrix()[0][0], 101);
    const fs::path first = Temp() / "20240305070809.ini";
    EXPECT_EQ(organiser->SamplePath(3), first.string());
    EXPECT_EQ(station.sampleRecord.path, first.string());
    const std::string firstText = ReadBytes(first);
    EXPECT_NE(firstText.find("Y0=  101, 1001,    0,\r\n"), std::string::npos) << firstText;

    // The clock still reads the same second: the new average must not replace the first.
    organiser->Average();
    ASSERT_EQ(organiser->RowCount(), 5u);
    EXPECT_EQ(organiser->SamplePath(4), (Temp() / "20240305070810.ini").string());
    EXPECT_EQ(ReadBytes(first), firstText);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(OrganiserTest, ClearEmptiesTheListAndTheTemporaryFolderOnly) {
    Open();
    WriteBytes(Temp() / "listed.ini", ReadBytes(kData / "avg-a.ini"));
    WriteBytes(Temp() / "never-listed.INI", "x");
    WriteBytes(Temp() / "notes.txt", "keep");
    WriteBytes(work.path() / "Sample" / "outside.ini", ReadBytes(kData / "avg-b.ini"));
    Import(Temp() / "listed.ini");
    Import(work.path() / "Sample" / "outside.ini");
    station.linkOk = true;

    organiser->Clear();
    EXPECT_TRUE(organiser->Rows().empty());
    EXPECT_EQ(organiser->RowCount(), 0u);
    EXPECT_EQ(organiser->SamplePath(0), "");
    EXPECT_FALSE(fs::exists(Temp() / "listed.ini"));
    EXPECT_FALSE(fs::exists(Temp() / "never-listed.INI"));
    EXPECT_TRUE(fs::exists(Temp() / "notes.txt"));
    EXPECT_TRUE(fs::exists(work.path() / "Sample" / "outside.ini"));
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAverage), false);
    EXPECT_EQ(form.ControlEnabled(organiserids::kSelectAll), false);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), true);
    EXPECT_TRUE(prompter.messages.empty());
}

// A full list disables "获取一个样本"; once timer 10 has stopped only clearing brings it back.
TEST_F(OrganiserTest, ClearingAFullListLetsTheOperatorAcquireAgain) {
    Open("[SampleInformation]\r\nNumberOfSamplesListMAX=0\r\n");
    station.linkOk = true;
    organiser->Close();
    organiser->Acquire();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kFullList});
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), false);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAverage), true);
    EXPECT_EQ(form.ControlEnabled(organiserids::kSelectAll), true);
    organiser->Clear();
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), true);
}

TEST_F(OrganiserTest, AcquireHandsOverToTheMainWindowsTimerFour) {
    Open();
    organiser->Acquire();
    EXPECT_TRUE(station.sampleRequested);
    EXPECT_EQ(mainView.TimerPeriod(timers::kSampleAcquisition), 100);
    EXPECT_EQ(form.armedTimers, (std::map<int, int>{{organiserids::kAcquisitionTimer, 100}}));
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), false);
    organiser->OnTimer(organiserids::kAcquisitionTimer);
    EXPECT_TRUE(form.TimerArmed(organiserids::kAcquisitionTimer)) << "still acquiring";

    // The main window wrote no sample: the record's older sample must not become a row.
    Import(kData / "avg-a.ini");
    station.sampleRequested = false;
    station.sampleAcquired = false;
    organiser->OnTimer(organiserids::kAcquisitionTimer);
    EXPECT_FALSE(form.TimerArmed(organiserids::kAcquisitionTimer));
    EXPECT_EQ(organiser->RowCount(), 1u);
}

TEST_F(OrganiserTest, TimerFourRefusesASampleWithoutAConfiguration) {
    Open();
    organiser->Acquire();
    station.testConfig = TestConfig{};
    station.OnTimer(timers::kSampleAcquisition);
    ASSERT_EQ(mainView.messages.size(), 1u);
    EXPECT_EQ(mainView.messages[0].text, "请先导入测试配置，再获取样本");
    EXPECT_TRUE(mainView.statusCalls.empty()) << "no test ran";
    EXPECT_FALSE(station.sampleRequested);
    EXPECT_FALSE(station.sampleAcquired);
    EXPECT_EQ(form.ControlEnabled(organiserids::kButtonAcquire), true);
    organiser->OnTimer(organiserids::kAcquisitionTimer);
    EXPECT_EQ(organiser->RowCount(), 0u);
    EXPECT_TRUE(fs::is_empty(Temp()));
}

TEST_F(OrganiserTest, UseNeedsExactlyOneCheckedRowAndAConfiguration) {
    struct Case {
        const char* name;
        int rows;
        std::vector<size_t> checked;
        bool configured;
        std::string message;
    };
    const Case cases[] = {
        {"empty list", 0, {}, true, kEmptyList},
        {"none checked", 2, {}, true, "请先在“□”打钩选中1个样本，再点击“使用选中样本”"},
        {"two checked", 2, {0, 1}, true, "最多只能选择1个样本用于测试"},
        {"no configuration", 1, {0}, false, "请先导入测试配置，再使用选中样本"},
    };
    for (const Case& c : cases) {
        station.testConfig = c.configured ? SmallConfig() : TestConfig{};
        prompter.messages.clear();
        Open();
        for (int i = 0; i < c.rows; ++i) {
            Import(kData / "small-3x2.ini");
        }
        for (size_t row : c.checked) {
            organiser->SetRowChecked(row, true);
        }
        organiser->UseChecked();
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message}) << c.name;
        EXPECT_FALSE(station.configState.configValid) << c.name;
        EXPECT_EQ(station.log.Text(), "") << c.name;
        EXPECT_EQ(form.ControlEnabled(organiserids::kButtonUse), true) << c.name;
    }
}

TEST_F(OrganiserTest, UsePutsTheCheckedSampleToUse) {
    WriteBytes(
        ParamsFile(),
        "[TestStandards]\r\nDeviationMethod=1\r\nRelativeDeviationNegative=15\r\n"
        "RelativeDeviationPositive=20\r\n[SampleInformation]\r\nNumberOfSamplesListMAX=5\r\n");
    Open(nullptr);
    Import(kData / "avg-a.ini");
    Import(kData / "small-3x2.ini");
    Check({1});
    organiser->UseChecked();
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(station.SampleRawDataLow[0][0], 1294);  // 1523 x 85 / 100
    EXPECT_EQ(station.SampleRawDataHigh[0][0], 1827);
    EXPECT_EQ(station.SampleRawDataHigh[2][1], 78642);
    EXPECT_EQ(station.sampleRecord.path, (kData / "small-3x2.ini").string());
    EXPECT_TRUE(station.configState.configValid);
    EXPECT_EQ(station.log.Text(), "配置文件正确\r\n");
    const std::string high = ReadBytes(work.path() / "Config" / "SampleRawDataHigh.ini");
    EXPECT_NE(high.find("Y0= 1827,    8,    0,    0,"), std::string::npos);
    EXPECT_TRUE(fs::exists(work.path() / "Config" / "SampleRawDataLow.ini"));
    EXPECT_FALSE(mainView.ControlEnabled(ids::kStartButton)) << "no controller up";

    station.linkOk = true;
    station.controllerReady = true;
    organiser->UseChecked();
    EXPECT_EQ(mainView.ControlEnabled(ids::kStartButton), true);
}

// Zeroed limits from a lost file would fail every panel while the log said all was well.
TEST_F(OrganiserTest, UseKeepsTheLimitsInUseWhenTheSampleIsGone) {
    Open();
    WriteBytes(Temp() / "sample.ini", ReadBytes(kData / "small-3x2.ini"));
    Import(Temp() / "sample.ini");
    Check({0});
    organiser->UseChecked();
    ASSERT_TRUE(station.configState.configValid);
    const LimitMatrix low = station.SampleRawDataLow;
    fs::remove(Temp() / "sample.ini");
    station.log.Clear();

    organiser->UseChecked();
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{
                                  "打开文件 \"" + (Temp() / "sample.ini").string() + "\" 失败！"});
    EXPECT_EQ(station.SampleRawDataLow, low);
    EXPECT_EQ(station.log.Text(), "");
}

TEST_F(OrganiserTest, FieldsAreReadInOrderUntilThePrompt) {
    struct Case {
        const char* name;
        std::vector<std::string> texts;  // 1068..1071
        std::string prompt;
        TestStandard standard;  // after the reading; the previous values are 1, 2, 3, 4
        size_t fieldsRead;
    };
    const Case cases[] = {
        {"all valid",
         {"20000", "4000000000", " 15 ", "100"},
         "",
         {0, 20000, 4000000000u, 15, 100},
         4},
        {"not a number", {"12a", "9", "9", "9"}, "“请填入一个正整数。”", {0, 1, 2, 3, 4}, 1},
        {"empty", {"7", "", "9", "9"}, "“请填入一个正整数。”", {0, 7, 2, 3, 4}, 2},
        {"absolute above its range",
         {"20001", "9", "9", "9"},
         "“请填入一个在0和20000之间的整数。”",
         {0, 20001, 2, 3, 4},
         1},
        {"percentage above a byte",
         {"5", "6", "256", "9"},
         "“请填入一个在0和255之间的整数。”",
         {0, 5, 6, 3, 4},
         3},
        {"percentage above 100",
         {"5", "6", "7", "150"},
         "“请填入一个在0和100之间的整数。”",
         {0, 5, 6, 7, 150},
         4},
    };
    for (const Case& c : cases) {
        WriteBytes(ParamsFile(),
                   "[TestStandards]\r\nDeviationMethod=1\r\nAbsoluteDeviationNegative=1\r\n"
                   "AbsoluteDeviationPositive=2\r\nRelativeDeviationNegative=3\r\n"
                   "RelativeDeviationPositive=4\r\n");
        prompter.messages.clear();
        Open(nullptr);
        Import(kData / "small-3x2.ini");
        Check({0});
        form.method = 0;
        form.fields = {
            {1068, c.texts[0]}, {1069, c.texts[1]}, {1070, c.texts[2]}, {1071, c.texts[3]}};
        form.fieldReads.clear();
        station.configState.configValid = false;

        organiser->UseChecked();
        const TestStandard s = organiser->Standard();
        EXPECT_EQ(s.DeviationMethod, c.standard.DeviationMethod) << c.name;
        EXPECT_EQ(s.AbsoluteDeviationNegative, c.standard.AbsoluteDeviationNegative) << c.name;
        EXPECT_EQ(s.AbsoluteDeviationPositive, c.standard.AbsoluteDeviationPositive) << c.name;
        EXPECT_EQ(s.RelativeDeviationNegative, c.standard.RelativeDeviationNegative) << c.name;
        EXPECT_EQ(s.RelativeDeviationPositive, c.standard.RelativeDeviationPositive) << c.name;
        EXPECT_EQ(form.fieldReads.size(), c.fieldsRead) << c.name;
        EXPECT_EQ(MessageTexts(), c.prompt.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{c.prompt})
            << c.name;
        // A value the operator was told is wrong must not judge panels.
        EXPECT_EQ(station.configState.configValid, c.prompt.empty()) << c.name;
    }
}

TEST_F(OrganiserTest, ExportCopiesEachCheckedRowUnderTheIniRule) {
    struct Case {
        const char* typed;
        const char* saved;
    };
    const Case cases[] = {
        {"sample.INI", "sample.INI.ini"},
        {"plain", "plain.ini"},
        {"ini", "ini.ini"},
        {"kept.ini", "kept.ini"},
    };
    Open();
    organiser->Export();
    Import(kData / "avg-a.ini");
    organiser->Export();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{kEmptyList,
                                        "请先在“□”打钩选中至少1个样本，再点击“导出样本文件”"}));
    prompter.messages.clear();
    for (const Case& c : cases) {
        Check({0});
        prompter.saveAnswers.push_back((work.path() / c.typed).string());
        organiser->Export();
        EXPECT_EQ(ReadBytes(work.path() / c.saved), ReadBytes(kData / "avg-a.ini")) << c.typed;
        EXPECT_FALSE(organiser->Rows()[0].checked) << c.typed;
    }
    EXPECT_EQ(prompter.saveRequests.back().filter, "文本文件(*.ini)|*.ini||");
    EXPECT_EQ(prompter.saveRequests.back().initialName, (work.path() / "Sample" / ".ini").string());
    EXPECT_TRUE(prompter.messages.empty());

    Import(kData / "avg-b.ini");
    Check({0, 1});
    prompter.saveAnswers = {"", (work.path() / "b.ini").string()};
    organiser->Export();
    EXPECT_FALSE(organiser->Rows()[0].checked) << "cancelled, and unchecked all the same";
    EXPECT_EQ(ReadBytes(work.path() / "b.ini"), ReadBytes(kData / "avg-b.ini"));
}

// The chooser confirmed the name as typed; the name with ".ini" would replace a file unasked.
TEST_F(OrganiserTest, ExportAsksBeforeReplacingTheNameWithIni) {
    Open();
    WriteBytes(work.path() / "golden.ini", "the golden sample");
    WriteBytes(Temp() / "mine.ini", ReadBytes(kData / "avg-a.ini"));
    Import(Temp() / "mine.ini");
    Check({0});
    prompter.saveAnswers.push_back((work.path() / "golden").string());
    prompter.messageAnswers.push_back(MessageAnswer::Cancel);
    organiser->Export();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(ReadBytes(work.path() / "golden.ini"), "the golden sample");

    // Exporting a file onto itself leaves it whole.
    Check({0});
    prompter.saveAnswers.push_back((Temp() / "mine.ini").string());
    organiser->Export();
    EXPECT_EQ(ReadBytes(Temp() / "mine.ini"), ReadBytes(kData / "avg-a.ini"));
    EXPECT_EQ(prompter.messages.size(), 1u);
}

TEST_F(OrganiserTest, SelectAllChecksTheListedRowsAndRenamesItself) {
    Open();
    organiser->SelectAll(true);
    EXPECT_EQ(form.selectAllCaption, "全部取消");
    Import(kData / "avg-a.ini");
    Import(kData / "avg-b.ini");
    organiser->SelectAll(true);
    EXPECT_TRUE(organiser->Rows()[0].checked && organiser->Rows()[1].checked);
    organiser->SelectAll(false);
    EXPECT_EQ(form.selectAllCaption, "全选");
    EXPECT_FALSE(organiser->Rows()[0].checked || organiser->Rows()[1].checked);
}

TEST_F(OrganiserTest, TheMethodButtonsSwitchTheRows) {
    Open();
    for (int method : {0, 1}) {
        organiser->ChooseMethod(method);
        EXPECT_EQ(organiser->Standard().DeviationMethod, method);
        EXPECT_EQ(form.ControlEnabled(1068), method == 0);
        EXPECT_EQ(form.ControlEnabled(1072), method == 0);
        EXPECT_EQ(form.ControlEnabled(1070), method == 1);
        EXPECT_EQ(form.ControlEnabled(1077), method == 1);
    }
}

TEST_F(OrganiserTest, CloseWritesTheStandardButNotTheListsCapacity) {
    Open("[SampleInformation]\r\nNumberOfSamplesListed=7\r\n");
    station.configState.config_file_path = "/lines/a/panel.txt";
    form.method = 0;
    form.fields = {{1068, "100"}, {1069, "200"}, {1070, "15"}, {1071, "20"}};
    organiser->Close();
    const fs::path file = ParamsFile();
    EXPECT_EQ(ReadProfileString(file, "BasicParameters", "BasicParametersFullDirectory", "?"),
              "/lines/a/panel.txt");
    EXPECT_EQ(ReadProfileInt(file, "TestStandards", "DeviationMethod", -1), 0);
    EXPECT_EQ(ReadProfileInt(file, "TestStandards", "AbsoluteDeviationNegative", -1), 100);
    EXPECT_EQ(ReadProfileInt(file, "TestStandards", "AbsoluteDeviationPositive", -1), 200);
    EXPECT_EQ(ReadProfileInt(file, "TestStandards", "RelativeDeviationNegative", -1), 15);
    EXPECT_EQ(ReadProfileInt(file, "TestStandards", "RelativeDeviationPositive", -1), 20);
    EXPECT_EQ(ReadProfileInt(file, "SampleInformation", "NumberOfSamplesListed", -1), 7);
    EXPECT_EQ(ReadProfileInt(file, "SampleInformation", "NumberOfSamplesListMAX", -1), -1);
}

TEST(SampleClock, NamesAsTheWriterDoesAndSkipsTakenSeconds) {
    TempFolder work;
    fs::create_directories(work.path() / "Config");
    const SampleFolders folders{work.path(), work.path()};
    SampleRecord record;
    ASSERT_TRUE(WriteSampleFile(folders, SmallConfig(), SampleMatrix{}, SampleSource::CurrentData,
                                record, FixedClock())
                    .ok);
    EXPECT_EQ(fs::path(record.path).filename(), SampleFileName(FixedTime()));

    std::tm endOfYear{};
    endOfYear.tm_year = 124;
    endOfYear.tm_mon = 11;
    endOfYear.tm_mday = 31;
    endOfYear.tm_hour = 23;
    endOfYear.tm_min = 59;
    endOfYear.tm_sec = 59;
    WriteBytes(work.path() / "20241231235959.ini", "taken");
    const SampleClock fresh = FreshSampleClock(work.path(), [&] { return endOfYear; });
    EXPECT_EQ(SampleFileName(fresh()), "20250101000000.ini");
    EXPECT_EQ(SampleFileName(FreshSampleClock(work.path(), FixedClock())()), "20240305070810.ini");
}

}  // namespace
