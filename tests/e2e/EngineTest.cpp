// The test engine through the station, the real link threads and the simulated board. Sleeps
// run on virtual time; the elapsed time comes from a scripted counter.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "sim/SimOptions.h"
#include "support/FakeStationView.h"

namespace {

using std::chrono::steady_clock;

constexpr uint16_t kVaMin = 29000;
constexpr uint16_t kVaMax = 31000;
constexpr uint16_t kKeyMin = 19000;
constexpr uint16_t kKeyMax = 21000;
constexpr int kKeyX = 4;

// The whole matrix shown; visible area Y 0..47 on every X channel, keys on X 4 over Y 48..51
// (the simulated panel's key rows). Limits fit the simulated good panel.
TestConfig PanelConfig() {
    TestConfig config;
    config.x_channel_valid = 32;
    config.y_channel_valid = 52;
    config.rawdata_va_min = kVaMin;
    config.rawdata_va_max = kVaMax;
    config.rawdata_key_min = kKeyMin;
    config.rawdata_key_max = kKeyMax;
    config.display_area_x.fill(1);
    config.display_area_y.fill(1);
    for (int x = 0; x < 32; ++x) {
        config.test_va_area_x[x] = 1;
    }
    for (int y = 0; y < 48; ++y) {
        config.test_va_area_y[y] = 1;
    }
    config.test_key_area_x[kKeyX] = 1;
    for (int y = 48; y < 52; ++y) {
        config.test_key_area_y[y] = 1;
    }
    config.test_key_number_x = 1;
    config.test_key_number_y = 4;
    return config;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the log ends without a line end";
    return lines;
}

std::vector<std::string> PageLines() {
    std::vector<std::string> lines;
    for (int page = 0; page < 26; ++page) {
        lines.push_back(PageLabel(page) + "backup");
    }
    return lines;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const std::vector<std::string> kLimitLines = {"非按键区合格范围：29000~31000  ",
                                              "按键区合格范围  ：19000~21000  "};
const std::string kFailureLine = "测试失败，原因：USB连接异常或驱动通道严重短路";

class EngineRig {
public:
    explicit EngineRig(const SimOptions& options = {})
        : backend(MakeSimBackend(options)), station(view, *backend, sleeper, ".") {
        // Every test takes 1.5 s on the station's counter.
        station.counterFrequency = 1000.0;
        station.readCounter = [this] {
            const int64_t now = ticks_;
            ticks_ += 1500;
            return now;
        };
        station.testConfig = PanelConfig();
        station.configState.configValid = true;
    }

    // The window's first showing, then timers 2, 2 and 1 as they would fire.
    void BringUp() {
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(station.link.connected);
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kBringUp);
        ASSERT_TRUE(station.controllerReady);
        view.statusCalls.clear();
        view.timerCalls.clear();
        view.controlCalls.clear();
    }

    void WithPanel(const std::function<void(PanelModel&)>& change) {
        backend->WithBoard([&](SimBoard& board) { change(board.Controller().Panel()); });
    }

    uint16_t PanelValue(int x, int y) {
        uint16_t value = 0;
        WithPanel([&](PanelModel& panel) { value = panel.NodeValue(x, y); });
        return value;
    }

    // Sample limits of +-margin around every node of the simulated panel.
    void UseSampleAroundPanel(int margin) {
        station.configState.Criterion = 1;
        for (int x = 0; x < 32; ++x) {
            for (int y = 0; y < 52; ++y) {
                const int value = PanelValue(x, y);
                station.SampleRawDataLow[x][y] = value - margin;
                station.SampleRawDataHigh[x][y] = value + margin;
            }
        }
    }

    std::vector<std::string> Log() const { return Lines(station.log.Text()); }
    std::string LastStatus() const {
        return view.statusCalls.empty() ? "" : view.statusCalls.back().first;
    }

    std::unique_ptr<SimBackend> backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station;

private:
    int64_t ticks_ = 0;
};

SimOptions SelfTestFault(uint8_t code, uint8_t kind, uint8_t x, uint8_t y, bool pushed) {
    SimOptions options;
    (pushed ? options.pushSelfTest : options.selfTest) = SelfTestResult{code, kind, x, y};
    return options;
}

TEST(EngineSequence, NormalTestTraceLineByLine) {
    EngineRig rig;
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Pass);

    EXPECT_EQ(rig.Log(),
              Concat({{"calib & clear", "IC idle", "in refer mode", "confirm refer mode"},
                      PageLines(),
                      {"display data", "judge", "self test", "引脚正常"},
                      kLimitLines,
                      {"共花费时间：1.5 秒", "测试完成"}}));
    ASSERT_EQ(rig.view.statusCalls.size(), 2u);
    EXPECT_EQ(rig.view.statusCalls[0], std::make_pair(std::string("WAIT"), kWaitColour));
    EXPECT_EQ(rig.view.statusCalls[1], std::make_pair(std::string("PASS"), kPassColour));
    EXPECT_EQ(rig.view.timerCalls, (std::vector<std::string>{"kill 3", "set 3 3000"}));
    EXPECT_EQ(rig.view.controlCalls, (std::vector<std::pair<int, bool>>{
                                         {ids::kStartButton, false}, {ids::kStartButton, true}}));
    EXPECT_EQ(rig.view.MenuItemEnabled(ids::kMenuProgramming), true);
    EXPECT_EQ(rig.view.showNodeValuesCalls, 1);
    EXPECT_EQ(rig.view.refreshCountersCalls, 1);
    EXPECT_EQ(rig.station.counters.okCount, 1);
    EXPECT_EQ(rig.station.counters.ngCount, 0);
    EXPECT_EQ(rig.station.lastTest.outcome, TestOutcome::Pass);
    EXPECT_EQ(rig.station.lastTest.attempts, 1);
    EXPECT_DOUBLE_EQ(rig.station.lastTest.seconds, 1.5);
    EXPECT_TRUE(rig.station.referenceModeActive);
    // The 20 ms pause at the end is the sequence's own sleep.
    EXPECT_GE(rig.sleeper.TotalMs(), 570);
    for (int x = 0; x < 32; ++x) {
        for (int y = 0; y < 52; ++y) {
            ASSERT_EQ(rig.station.NodeMatrix[x][y], rig.PanelValue(x, y)) << x << "," << y;
        }
    }
}

TEST(EngineSequence, IdleWaitOnlyForACalibratingStatus) {
    const struct {
        const char* name;
        std::vector<uint8_t> statuses;
        bool idleLine;
    } cases[] = {
        {"calibrating", {0x10, 0x00}, true},
        {"quiet", {0x00}, false},
        {"calibratingWithBit7", {0x90, 0x00}, false},
        {"noMessage", {}, false},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.BringUp();
        rig.backend->WithBoard(
            [&](SimBoard& board) { board.Controller().SetCalibrationStatuses(c.statuses); });
        EXPECT_EQ(rig.station.RunTest(), TestOutcome::Pass) << c.name;
        const auto log = rig.Log();
        ASSERT_GE(log.size(), 3u) << c.name;
        EXPECT_EQ(log[1] == "IC idle", c.idleLine) << c.name;
        EXPECT_EQ(log[c.idleLine ? 2 : 1], "in refer mode") << c.name;
    }
}

TEST(EngineJudging, VerdictByLimitsAndBySample) {
    struct Node {
        int x, y;
        int value;
    };
    const struct {
        const char* name;
        int criterion;
        std::vector<Node> nodes;
        // Sample limits changed after they were derived from the panel: low, high.
        std::vector<Node> sampleLow;
        std::vector<Node> sampleHigh;
        TestOutcome outcome;
    } cases[] = {
        {"vaAtLowerLimit", 0, {{3, 10, kVaMin}}, {}, {}, TestOutcome::Pass},
        {"vaAtUpperLimit", 0, {{3, 10, kVaMax}}, {}, {}, TestOutcome::Pass},
        {"vaOneBelow", 0, {{3, 10, kVaMin - 1}}, {}, {}, TestOutcome::Ng},
        {"keyJudgedByKeyLimits", 0, {{kKeyX, 50, kKeyMin}}, {}, {}, TestOutcome::Pass},
        {"keyAboveKeyLimits", 0, {{kKeyX, 51, kKeyMax + 1}}, {}, {}, TestOutcome::Ng},
        {"untestedNodeIgnored", 0, {{5, 50, 0}}, {}, {}, TestOutcome::Pass},
        {"twoFailingNodes", 0, {{3, 10, 0}, {5, 2, 0}}, {}, {}, TestOutcome::Ng},
        {"sampleAroundPanel", 1, {}, {}, {}, TestOutcome::Pass},
        {"sampleNotVaLimits", 1, {{3, 10, 100}}, {{3, 10, 0}}, {{3, 10, 200}}, TestOutcome::Pass},
        {"sampleKeyNode", 1, {{kKeyX, 49, kKeyMax}}, {}, {}, TestOutcome::Ng},
        {"sampleKeyNodeInside",
         1,
         {{kKeyX, 49, 100}},
         {{kKeyX, 49, 100}},
         {{kKeyX, 49, 100}},
         TestOutcome::Pass},
        {"negativeSampleLimit", 1, {{7, 7, 0}}, {{7, 7, -30}}, {{7, 7, 5}}, TestOutcome::Pass},
        {"aboveSampleHigh", 1, {{7, 7, 6}}, {{7, 7, -30}}, {{7, 7, 5}}, TestOutcome::Ng},
    };
    for (const auto& c : cases) {
        EngineRig rig;
        rig.BringUp();
        if (c.criterion == 1) {
            rig.UseSampleAroundPanel(50);
        }
        rig.WithPanel([&](PanelModel& panel) {
            for (const Node& n : c.nodes) {
                panel.SetNodeValue(n.x, n.y, static_cast<uint16_t>(n.value));
            }
        });
        for (const Node& n : c.sampleLow) {
            rig.station.SampleRawDataLow[n.x][n.y] = n.value;
        }
        for (const Node& n : c.sampleHigh) {
            rig.station.SampleRawDataHigh[n.x][n.y] = n.value;
        }
        EXPECT_EQ(rig.station.RunTest(), c.outcome) << c.name;
        EXPECT_EQ(rig.LastStatus(), c.outcome == TestOutcome::Pass ? "PASS" : "NG") << c.name;
        const auto log = rig.Log();
        // Limit lines only when judging by limits, right before the elapsed time.
        ASSERT_GE(log.size(), 4u) << c.name;
        const bool limitLines = log[log.size() - 4] == kLimitLines[0];
        EXPECT_EQ(limitLines, c.criterion == 0) << c.name;
        EXPECT_EQ(log[log.size() - (limitLines ? 5 : 3)], "引脚正常") << c.name;
    }
}

TEST(EngineSelfTest, PinFaultMakesNgWithItsLines) {
    EngineRig rig(SelfTestFault(0x11, 2, 6, 0, false));
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Ng);
    const auto log = rig.Log();
    ASSERT_EQ(log.size(), 4u + 26u + 8u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 30, log.end()),
              Concat({{"display data", "judge", "self test", "通道对GND短路，位置在X 5"},
                      kLimitLines,
                      {"共花费时间：1.5 秒", "测试完成"}}));
    EXPECT_EQ(rig.station.engineFlags.pinFaultX.load(), 6);
    EXPECT_EQ(rig.station.engineFlags.pinFaultY.load(), 0);
    EXPECT_EQ(rig.LastStatus(), "NG");
    EXPECT_EQ(rig.station.counters.ngCount, 1);
}

// The board pushes a pin fault while the pages are read: the panel is failed before judging,
// and the controller's own "all normal" afterwards does not clear it.
TEST(EngineSelfTest, PushedFaultBeforeJudging) {
    EngineRig rig(SelfTestFault(0x12, 4, 1, 52, true));
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Ng);
    const auto log = rig.Log();
    const auto at = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    const auto fault = at("通道之间短路，位置在X 0位置在Y51");
    ASSERT_LT(fault, static_cast<long>(log.size()));
    EXPECT_EQ(log[fault - 1], "通道之间短路，位置在X 0");
    EXPECT_LT(fault, at("display data"));
    EXPECT_LT(at("self test"), at("引脚正常"));
    EXPECT_TRUE(rig.station.engineFlags.panelFailed.load());
    EXPECT_EQ(rig.station.counters.ngCount, 1);
}

// "All normal" pushed while the pages are read answers no command of this test: when the
// controller's own result says the pin test went wrong, the panel is not passed.
TEST(EngineSelfTest, PushedPassBeforeAFailedPinTest) {
    SimOptions options = SelfTestFault(0xFE, 0, 0, 0, true);
    options.selfTest = SelfTestResult{0x00, 0, 0, 0};
    EngineRig rig(options);
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Ng);
    const auto log = rig.Log();
    const auto at = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    EXPECT_LT(at("引脚正常"), at("display data"));
    EXPECT_LT(at("self test"), at("通道测试出错"));
    EXPECT_EQ(rig.LastStatus(), "NG");
    EXPECT_EQ(rig.station.counters.okCount, 0);
    rig.station.OnTimer(timers::kBackToWait);
    EXPECT_EQ(rig.LastStatus(), "NG");
}

TEST(EngineSequence, PageShownOutOfStepIsCaughtUp) {
    SimOptions options;
    options.pageOffset = 2;
    EngineRig rig(options);
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Pass);
    const auto log = rig.Log();
    ASSERT_GE(log.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 4, log.begin() + 9),
              (std::vector<std::string>{"target P 0 less,actual P 2", "now--",
                                        "target P 0 less,actual P 1", "now--", "P 0backup"}));
    EXPECT_EQ(log[9], "P 1backup");
}

void ExpectUnmeasured(EngineRig& rig) {
    const auto log = rig.Log();
    std::vector<std::string> retries;
    for (const auto& line : log) {
        if (line.starts_with("第")) {
            retries.push_back(line);
        }
    }
    ASSERT_EQ(retries.size(), 14u);
    EXPECT_EQ(retries.front(), "第 2次重新获取>>>>>>>>>");
    EXPECT_EQ(retries.back(), "第15次重新获取>>>>>>>>>");
    EXPECT_EQ(log.back(), kFailureLine);
    EXPECT_EQ(std::count(log.begin(), log.end(), "测试完成"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "judge"), 0);
    for (const auto& [text, colour] : rig.view.statusCalls) {
        EXPECT_NE(text, "PASS");
    }
    EXPECT_EQ(rig.LastStatus(), "NG");
    EXPECT_EQ(rig.view.statusCalls.back().second, kNgColour);
    EXPECT_EQ(rig.station.counters.okCount, 0);
    EXPECT_EQ(rig.station.counters.ngCount, 0);
    EXPECT_EQ(rig.station.lastTest.outcome, TestOutcome::Unmeasured);
    EXPECT_EQ(rig.station.lastTest.attempts, kMaxTestAttempts);
    EXPECT_EQ(rig.view.refreshCountersCalls, 0);
    EXPECT_EQ(rig.view.ControlEnabled(ids::kStartButton), true);
    EXPECT_EQ(rig.view.TimerPeriod(timers::kBackToWait), 3000);
    // Timer 3 leaves the failure in view.
    rig.station.OnTimer(timers::kBackToWait);
    EXPECT_EQ(rig.LastStatus(), "NG");
}

TEST(EngineUnmeasured, UnpluggedDuringThePageReads) {
    SimOptions options;
    options.unplugAtPage = 5;
    EngineRig rig(options);
    rig.BringUp();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Unmeasured);
    ExpectUnmeasured(rig);
    const auto log = rig.Log();
    EXPECT_EQ(log[4], "P 0backup");
    EXPECT_EQ(log[8], "P 4backup");
    EXPECT_EQ(log[9], "第 2次重新获取>>>>>>>>>");
}

// A board plugged back in may push "all normal" before timer 3 fires: the failed test's NG
// stays, since no PASS was shown that "WAIT" could follow.
TEST(EngineUnmeasured, PushedPassBeforeTimer3) {
    SimOptions options;
    options.unplugAtPage = 5;
    EngineRig rig(options);
    rig.BringUp();
    ASSERT_EQ(rig.station.RunTest(), TestOutcome::Unmeasured);
    InputReport pushed{};
    pushed[0] = 1;
    pushed[1] = 0xFA;
    rig.backend->WithBoard([&](SimBoard& board) { pushed[3] = board.Controller().ReportIdOf(25); });
    pushed[4] = 0xFE;
    rig.station.selfTest.OnPushedMessage(pushed);
    ASSERT_TRUE(rig.station.engineFlags.selfTestPassed.load());
    rig.station.OnTimer(timers::kBackToWait);
    EXPECT_EQ(rig.LastStatus(), "NG");
}

TEST(EngineUnmeasured, SilentBoardEndsWithinItsBounds) {
    EngineRig rig;
    rig.BringUp();
    rig.backend->WithBoard(
        [](SimBoard& board) { board.Faults().silentAfterReports = board.ReportCount() + 20; });
    const auto start = steady_clock::now();
    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Unmeasured);
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(20));
    ExpectUnmeasured(rig);
}

// Timer 4 can run a test before any bring-up: nothing may be written to object addresses
// that no table has given.
TEST(EngineUnmeasured, NoTestBeforeTheBringUp) {
    EngineRig rig;
    rig.station.OnShowWindow();
    rig.station.OnTimer(timers::kOpenBoard);
    ASSERT_TRUE(rig.station.link.connected);
    rig.station.sampleRequested = true;
    rig.station.OnTimer(timers::kSampleAcquisition);
    EXPECT_EQ(rig.Log().back(), kFailureLine);
    rig.backend->WithBoard([](SimBoard& board) { EXPECT_EQ(board.ReportCount(), 0u); });
}

TEST(EngineResult, BackToWaitAfterPassOnlyAndTheYield) {
    EngineRig rig;
    rig.BringUp();
    ASSERT_EQ(rig.station.RunTest(), TestOutcome::Pass);
    rig.station.OnTimer(timers::kBackToWait);
    EXPECT_EQ(rig.view.statusCalls.back(), std::make_pair(std::string("WAIT"), kWaitColour));
    EXPECT_FALSE(rig.view.TimerArmed(timers::kBackToWait));

    rig.WithPanel([](PanelModel& panel) { panel.SetNodeValue(0, 0, 0); });
    ASSERT_EQ(rig.station.RunTest(), TestOutcome::Ng);
    const size_t statusCalls = rig.view.statusCalls.size();
    rig.station.OnTimer(timers::kBackToWait);
    EXPECT_EQ(rig.view.statusCalls.size(), statusCalls);
    EXPECT_EQ(rig.LastStatus(), "NG");

    const TestCounters& counters = rig.station.counters;
    EXPECT_EQ(CounterText(counters.okCount), "    1");
    EXPECT_EQ(CounterText(counters.ngCount), "    1");
    EXPECT_EQ(YieldText(counters.yieldPercent), " 50.00");
    const int refreshes = rig.view.refreshCountersCalls;
    rig.station.ResetStatistics();
    EXPECT_EQ(rig.view.refreshCountersCalls, refreshes + 1);
    EXPECT_EQ(CounterText(counters.okCount), "    0");
    EXPECT_EQ(CounterText(counters.ngCount), "    0");
    EXPECT_EQ(YieldText(counters.yieldPercent), "  0.00");
}

TEST(EngineResult, SampleAcquisitionOnTimer4) {
    EngineRig rig;
    rig.BringUp();
    rig.station.configState.configValid = false;
    std::vector<TestOutcome> written;
    rig.station.onSampleTestDone = [&](TestOutcome outcome) {
        EXPECT_TRUE(rig.station.sampleRequested);
        written.push_back(outcome);
    };
    rig.station.OnTimer(timers::kSampleAcquisition);
    EXPECT_TRUE(written.empty());

    rig.station.sampleRequested = true;
    rig.station.OnTimer(timers::kSampleAcquisition);
    EXPECT_EQ(written, std::vector<TestOutcome>{TestOutcome::Pass});
    EXPECT_FALSE(rig.station.sampleRequested);
    EXPECT_FALSE(rig.view.TimerArmed(timers::kSampleAcquisition));
    EXPECT_EQ(rig.view.ControlEnabled(ids::kButtonAcquireSample), true);
    // Counted like any test; Start stays off without a configuration in place.
    EXPECT_EQ(rig.station.counters.okCount, 1);
    EXPECT_EQ(rig.view.ControlEnabled(ids::kStartButton), false);
}

}  // namespace
