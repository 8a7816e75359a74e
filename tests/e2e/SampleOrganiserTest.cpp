// Golden samples end to end: the sample organiser and the station's timer 4 acquire samples
// from the simulated board through the real link threads, average them, and put one to use;
// panels are then judged by their deviation from it. Sleeps run on virtual time.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/IniProfile.h"
#include "samples/SampleOrganiser.h"
#include "sim/SimOptions.h"
#include "support/FakeOrganiserForm.h"
#include "support/FakeStationView.h"
#include "unit/samples/SampleTestSupport.h"

namespace {

namespace fs = std::filesystem;
using sample_test::TempFolder;
using sample_test::WriteBytes;

const std::string kExampleConfig =
    std::string(PANELIX_TEST_DATA_DIR) + "/../../examples/panel-32x52.txt";

class SampleRig {
public:
    explicit SampleRig(const SimOptions& options = {}, int listMax = 5)
        : backend(MakeSimBackend(options)), station(view, *backend, sleeper, work.path().string()) {
        station.CreateFolders();
        uint8_t errorLine = 0;
        EXPECT_TRUE(LoadTestConfig(kExampleConfig, station.testConfig, errorLine, view));
        // The configuration window chose judging by sample; no sample is in use yet.
        station.configState.Criterion = 1;
        WriteBytes(
            work.path() / "Config" / "AdditionalPara1.ini",
            "[SampleInformation]\r\nNumberOfSamplesListMAX=" + std::to_string(listMax) + "\r\n");
        organiser = std::make_unique<SampleOrganiser>(station, form, prompter);
        organiser->Initialise();
    }

    // The window's first showing, then timers 2, 2 and 1 as they would fire.
    void BringUp() {
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(station.link.connected);
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kBringUp);
        ASSERT_TRUE(station.controllerReady);
    }

    // "获取一个样本", then the main window's timer 4 and the organiser's timer 11 as they fire.
    void Acquire() {
        organiser->Acquire();
        if (station.sampleRequested) {
            ASSERT_EQ(view.TimerPeriod(timers::kSampleAcquisition), 100);
            station.OnTimer(timers::kSampleAcquisition);
            organiser->OnTimer(organiserids::kAcquisitionTimer);
        }
    }

    void WithPanel(const std::function<void(PanelModel&)>& change) {
        backend->WithBoard([&](SimBoard& board) { change(board.Controller().Panel()); });
    }

    std::vector<std::string> MessageTexts() const { return ::MessageTexts(prompter); }

    TempFolder work;
    std::unique_ptr<SimBackend> backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station;
    FakeOrganiserForm form;
    FakeStationView prompter;
    std::unique_ptr<SampleOrganiser> organiser;
};

TEST(SampleOrganiserE2e, FiveSamplesFillAListOfFive) {
    SampleRig rig;
    rig.BringUp();
    for (int i = 0; i < 5; ++i) {
        rig.Acquire();
    }
    ASSERT_EQ(rig.organiser->RowCount(), 5u);
    EXPECT_TRUE(rig.prompter.messages.empty());
    // Five tests within a few seconds: every one keeps a file of its own.
    std::set<std::string> paths;
    for (size_t row = 0; row < 5; ++row) {
        const std::string& path = rig.organiser->SamplePath(row);
        paths.insert(path);
        EXPECT_EQ(ReadProfileInt(path, "Sample_Configuration", "Source", 0), 1) << path;
        EXPECT_EQ(rig.organiser->Rows()[row].texts[2], "当前数据");
    }
    EXPECT_EQ(paths.size(), 5u);
    EXPECT_EQ(rig.form.ControlEnabled(organiserids::kButtonAcquire), true);

    rig.Acquire();
    EXPECT_EQ(rig.MessageTexts(), std::vector<std::string>{"列表已满，请清空！"});
    EXPECT_EQ(rig.station.counters.okCount + rig.station.counters.ngCount, 5);
    EXPECT_EQ(rig.organiser->Rows().size(), 5u);
    rig.organiser->Average();
    EXPECT_EQ(rig.MessageTexts().back(), "列表为空，请先获取样本或者导入样本文件");
}

TEST(SampleOrganiserE2e, PanelsAreJudgedByTheirDeviationFromTheAverageSample) {
    SampleRig rig;
    rig.BringUp();
    for (int i = 0; i < 3; ++i) {
        rig.Acquire();
    }
    rig.organiser->SelectAll(true);
    rig.organiser->Average();
    ASSERT_EQ(rig.organiser->RowCount(), 4u);
    EXPECT_EQ(rig.organiser->Rows()[3].texts[2], "平均样本");
    rig.organiser->SelectAll(false);
    rig.organiser->SetRowChecked(3, true);
    rig.form.method = 1;
    rig.form.fields[organiserids::kFieldRelativeNegative] = "5";
    rig.form.fields[organiserids::kFieldRelativePositive] = "5";
    rig.organiser->UseChecked();
    ASSERT_TRUE(rig.prompter.messages.empty());
    ASSERT_TRUE(rig.station.configState.configValid);
    EXPECT_EQ(rig.view.ControlEnabled(ids::kStartButton), true);

    constexpr uint8_t kX = 3;
    constexpr uint8_t kY = 3;
    ASSERT_EQ(ClassifyNode(rig.station.testConfig, kX, kY), NodeClass::VisibleArea);
    uint16_t good = 0;
    rig.WithPanel([&](PanelModel& panel) { good = panel.NodeValue(kX, kY); });
    const struct {
        const char* name;
        int percent;  // the node's change from its sample value
        TestOutcome outcome;
    } cases[] = {
        {"the good panel", 0, TestOutcome::Pass}, {"3 % low", -3, TestOutcome::Pass},
        {"3 % high", 3, TestOutcome::Pass},       {"10 % low", -10, TestOutcome::Ng},
        {"10 % high", 10, TestOutcome::Ng},
    };
    for (const auto& c : cases) {
        rig.WithPanel([&](PanelModel& panel) {
            panel.SetNodeValue(kX, kY, static_cast<uint16_t>(good + good * c.percent / 100));
        });
        EXPECT_EQ(rig.station.RunTest(), c.outcome) << c.name;
    }
}

TEST(SampleOrganiserE2e, AnUnmeasuredTestLeavesNoSample) {
    SimOptions options;
    options.unplugAtPage = 5;
    SampleRig rig(options);
    rig.BringUp();
    rig.Acquire();
    EXPECT_NE(rig.station.log.Text().find("测试失败，原因："), std::string::npos);
    EXPECT_FALSE(rig.station.sampleAcquired);
    EXPECT_TRUE(fs::is_empty(rig.station.tempSampleFolder));
    EXPECT_EQ(rig.organiser->RowCount(), 0u);
    EXPECT_FALSE(rig.form.TimerArmed(organiserids::kAcquisitionTimer));
    EXPECT_EQ(rig.form.ControlEnabled(organiserids::kButtonAcquire), true);
}

}  // namespace
