// The controller layer through the station, the real link threads and the simulated board.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "sim/SimBackend.h"
#include "support/FakeStationView.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::tm NineOhFive() {
    std::tm t{};
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    return t;
}

bool Eventually(const std::function<bool()>& done, milliseconds timeout = milliseconds(2000)) {
    const auto end = steady_clock::now() + timeout;
    while (!done()) {
        if (steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

class SimStation {
public:
    explicit SimStation(SimBoard board = SimBoard())
        : backend(std::move(board)), station(view, backend, sleeper, ".", NineOhFive) {}

    // The window's first showing, then timers 2, 2 and 1 as they would fire.
    void OpenAndBringUp() {
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(station.link.connected);
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(view.TimerArmed(timers::kBringUp));
        station.OnTimer(timers::kBringUp);
    }

    SimBackend backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station;
};

SimBoard BoardWith(const std::function<void(SimController&)>& shape) {
    SimController controller;
    shape(controller);
    controller.PowerOn();
    return SimBoard(std::move(controller));
}

TEST(ControllerBringUp, HappyPath) {
    SimStation sim;
    sim.OpenAndBringUp();
    Station& station = sim.station;
    EXPECT_TRUE(station.linkOk);
    EXPECT_TRUE(station.controllerReady);
    EXPECT_EQ(station.log.Text(), "USB连接正常 (09:05:03)\r\n");
    EXPECT_FALSE(sim.view.TimerArmed(timers::kBringUp));
    EXPECT_FALSE(sim.view.TimerArmed(timers::kOpenBoard));
    // No configuration in place: Start stays as the first showing left it.
    EXPECT_EQ(sim.view.ControlEnabled(ids::kStartButton), false);

    const ObjectTable& table = station.objectTable;
    EXPECT_EQ(table.pageCount, 26);
    sim.backend.WithBoard([&](SimBoard& board) {
        const SimController& controller = board.Controller();
        EXPECT_EQ(table.objectCount, controller.Objects().size());
        for (size_t i = 0; i < controller.Objects().size(); ++i) {
            const SimObject& object = controller.Objects()[i];
            SCOPED_TRACE(static_cast<int>(object.type));
            EXPECT_EQ(table.type_IC[i + 1], object.type);
            EXPECT_EQ(table.StartAddress[i + 1], object.address);
            EXPECT_EQ(table.report_L[i + 1], object.firstReportId);
            EXPECT_EQ(table.report_H[i + 1], object.lastReportId);
        }
        // The default power-on messages lead through the report-all handshake.
        EXPECT_EQ(controller.Count().commits, 1);
        EXPECT_EQ(controller.Count().reportAlls, 1);
        EXPECT_EQ(controller.PendingMessages(), 0u);
    });
}

TEST(ControllerBringUp, QuietControllerIsReadyWithoutTheHandshake) {
    SimStation sim(BoardWith([](SimController& c) { c.SetPowerOnStatuses({0x00}); }));
    sim.OpenAndBringUp();
    EXPECT_TRUE(sim.station.controllerReady);
    sim.backend.WithBoard(
        [](SimBoard& board) { EXPECT_EQ(board.Controller().Count().reportAlls, 0); });
}

TEST(ControllerBringUp, OtherMatrixFailsAndTheStationSearchesAgain) {
    SimStation sim(BoardWith([](SimController& c) { c.SetMatrix(32, 51); }));
    sim.OpenAndBringUp();
    Station& station = sim.station;
    EXPECT_FALSE(station.linkOk);
    EXPECT_FALSE(station.controllerReady);
    EXPECT_EQ(station.log.Text(), "USB异常，请重新连接USB电缆\r\n");
    EXPECT_FALSE(station.link.connected);
    EXPECT_FALSE(sim.view.TimerArmed(timers::kBringUp));
    EXPECT_EQ(sim.view.TimerPeriod(timers::kOpenBoard), 100);
    sim.backend.WithBoard([](SimBoard& board) { EXPECT_EQ(board.ReportCount(), 15u); });

    // Timer 2 finds the board again and hands over to the bring-up once more.
    station.OnTimer(timers::kOpenBoard);
    EXPECT_TRUE(station.link.connected);
    station.OnTimer(timers::kOpenBoard);
    EXPECT_TRUE(sim.view.TimerArmed(timers::kBringUp));
}

TEST(ControllerBringUp, SilentBoardEndsTheBringUpInBoundedTime) {
    for (const uint32_t silentAfter : {0u, 2u, 4u, 8u}) {
        SCOPED_TRACE(silentAfter);
        SimBoard board;
        board.Faults().silentAfterReports = silentAfter;
        SimStation sim(std::move(board));
        const auto start = steady_clock::now();
        sim.OpenAndBringUp();
        EXPECT_LT(steady_clock::now() - start, milliseconds(2000));
        EXPECT_FALSE(sim.station.controllerReady);
        EXPECT_FALSE(sim.station.linkOk);
        EXPECT_EQ(sim.view.TimerPeriod(timers::kOpenBoard), 100);
        EXPECT_TRUE(sim.station.log.Text().ends_with("USB异常，请重新连接USB电缆\r\n"));
    }
}

class ControllerReady : public ::testing::Test {
protected:
    void SetUp() override {
        sim.OpenAndBringUp();
        ASSERT_TRUE(sim.station.controllerReady);
        sim.station.log.Clear();
    }
    uint8_t ReportIdOf(uint8_t type) {
        uint8_t id = 0;
        sim.backend.WithBoard([&](SimBoard& board) { id = board.Controller().ReportIdOf(type); });
        return id;
    }

    SimStation sim;
    ControllerCommands& commands = sim.station.controller;
};

TEST_F(ControllerReady, PagesReadInOrderAndAPageOutOfStepIsResynchronised) {
    // Stepping from page 2 to 3 shows page 5 instead.
    sim.backend.WithBoard([](SimBoard& board) { board.Controller().SetPageOutOfStep(3, 2); });
    ASSERT_TRUE(commands.CalibrateController());
    ASSERT_TRUE(commands.DrainToCommandMessage());
    ASSERT_TRUE(commands.EnterReferenceMode());
    std::string trace;
    for (int page = 0; page < sim.station.objectTable.pageCount; ++page) {
        ASSERT_TRUE(commands.ReadDiagnosticPage(page)) << page;
        trace += sim.station.diagnostic.pageLabel + "|";
    }
    EXPECT_EQ(sim.station.log.Text(),
              "in refer mode\r\nconfirm refer mode\r\n"
              "target P 3 less,actual P 5\r\nnow--\r\n"
              "target P 3 less,actual P 4\r\nnow--\r\n");
    EXPECT_EQ(trace.substr(0, 16), "P 0|P 1|P 2|P 3|");
    sim.backend.WithBoard([&](SimBoard& board) {
        const PanelModel& panel = board.Controller().Panel();
        for (int i = 0; i < DiagnosticData::kNodes; ++i) {
            ASSERT_EQ(sim.station.diagnostic.rawNodes[i], panel.NodeAt(i)) << i;
        }
    });
}

TEST_F(ControllerReady, SelfTestThroughTheLink) {
    sim.backend.WithBoard([](SimBoard& board) {
        board.Controller().Panel().SetSelfTest({0x12, 4, 1, 52});
    });
    ASSERT_TRUE(sim.station.selfTest.RunSelfTest());
    EXPECT_TRUE(sim.station.engineFlags.panelFailed);
    EXPECT_FALSE(sim.station.engineFlags.selfTestPassed);
    EXPECT_EQ(sim.station.log.Text(),
              "通道之间短路，位置在X 0\r\n通道之间短路，位置在X 0位置在Y51\r\n");
}

// A board that forwards the result as a pushed message leaves nothing in the message object:
// the pushed result answers the self test.
TEST_F(ControllerReady, SelfTestResultPushedByTheBoardIsTheAnswer) {
    sim.backend.WithBoard([](SimBoard& board) {
        board.Faults().forwardSelfTestResult = true;
        board.Controller().Panel().SetSelfTest({0x11, 1, 0, 9});
    });
    const auto start = steady_clock::now();
    ASSERT_TRUE(sim.station.selfTest.RunSelfTest());
    EXPECT_LT(steady_clock::now() - start, milliseconds(500));
    EXPECT_TRUE(sim.station.engineFlags.panelFailed);
    EXPECT_EQ(sim.station.engineFlags.pinFaultY, 9);
    EXPECT_EQ(sim.station.log.Text(), "通道对VDD短路，位置在Y 8\r\n");
}

TEST_F(ControllerReady, PushedSelfTestMessageIsDecodedOnTheReaderThread) {
    const uint8_t other[] = {ReportIdOf(46), 0x11, 2, 6, 0};
    sim.backend.PushMessage(other);
    const uint8_t selfTest[] = {ReportIdOf(25), 0x11, 2, 6, 0};
    sim.backend.PushMessage(selfTest);
    ASSERT_TRUE(Eventually([&] { return sim.station.engineFlags.panelFailed.load(); }));
    EXPECT_EQ(sim.station.engineFlags.pinFaultX, 6);
    EXPECT_TRUE(Eventually([&] { return !sim.station.log.Text().empty(); }));
    EXPECT_EQ(sim.station.log.Text(), "通道对GND短路，位置在X 5\r\n");
}

// A board that stops answering inside any loop ends it as a failure within the link's
// time-out, not after the loop's whole bound.
TEST_F(ControllerReady, SilentBoardEndsEveryLoop) {
    const struct {
        const char* name;
        uint32_t answered;  // reports still answered
        std::function<bool(Station&)> run;
    } cases[] = {
        {"drain", 0, [](Station& s) { return s.controller.DrainToCommandMessage(); }},
        {"quiet", 0, [](Station& s) { return s.controller.WaitMessagesQuiet(); }},
        {"referenceModeConfirm", 2, [](Station& s) { return s.controller.EnterReferenceMode(); }},
        {"pageSecondChunk", 1, [](Station& s) { return s.controller.ReadDiagnosticPage(0); }},
        {"object9SecondChunk", 1, [](Station& s) { return s.controller.ReadObject9(); }},
        {"selfTestPoll", 2, [](Station& s) { return s.selfTest.RunSelfTest(); }},
        {"selfTestMessage", 3, [](Station& s) { return s.selfTest.RunSelfTest(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.backend.WithBoard([&](SimBoard& board) {
            board.Faults().silentAfterReports = board.ReportCount() + c.answered;
        });
        const auto start = steady_clock::now();
        EXPECT_FALSE(c.run(sim.station));
        EXPECT_LT(steady_clock::now() - start, milliseconds(1500));
        sim.backend.WithBoard([](SimBoard& board) { board.Faults().silentAfterReports.reset(); });
    }
}

TEST_F(ControllerReady, UnplugDuringThePagesEndsTheRead) {
    sim.backend.WithBoard([](SimBoard& board) {
        board.Faults().unplugAtPage = SimFaults::UnplugAtPage{2, -1};
    });
    ASSERT_TRUE(commands.EnterReferenceMode());
    bool allRead = true;
    const auto start = steady_clock::now();
    for (int page = 0; page < 26 && allRead; ++page) {
        allRead = commands.ReadDiagnosticPage(page);
    }
    EXPECT_FALSE(allRead);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1500));
}

}  // namespace
