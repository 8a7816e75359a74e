#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "app/StationView.h"
#include "cli/HeadlessView.h"
#include "sim/SimBackend.h"

namespace {

using std::chrono::milliseconds;

std::tm FixedTime() {
    std::tm t{};
    t.tm_hour = 8;
    return t;
}

// The station, its link threads and the simulated board, driven as the window would be:
// timers and posted device events run by the view's loop on the test thread.
struct StationWithSim : testing::Test {
    std::ostringstream messages;
    HeadlessView view{messages};
    SimBackend backend;
    CountingSleeper sleeper{false};
    Station station{view, backend, sleeper, "/tmp", FixedTime};

    void SetUp() override {
        // These tests are about the link: no controller bring-up runs in between.
        station.controllerReady = true;
        view.SetTimerHandler([this](int id) { station.OnTimer(id); });
        station.OnShowWindow();
        ASSERT_TRUE(RunUntilConnected(true));
    }

    bool RunUntilConnected(bool connected, milliseconds timeout = milliseconds(2000)) {
        return view.RunUntil([&] { return station.link.connected == connected; }, timeout);
    }
};

TEST_F(StationWithSim, ReadsTheInformationHeader) {
    ASSERT_TRUE(station.board.ReadMemory(0, 7));
    EXPECT_EQ(station.board.AnswerData()[4], 32);
    EXPECT_EQ(station.board.AnswerData()[5], 52);
}

TEST_F(StationWithSim, BoardPulledOutDuringAWaitFailsTheTransactionWithinTheBound) {
    backend.SetLatencyUs(80000);
    std::thread puller([this] {
        std::this_thread::sleep_for(milliseconds(20));
        backend.Unplug();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(station.board.ReadMemory(0, 7));
    EXPECT_LT(std::chrono::steady_clock::now() - start, BoardCommand::kAnswerTimeout);
    puller.join();
    EXPECT_EQ(station.board.AnswerData().size(), 0u);

    ASSERT_TRUE(RunUntilConnected(false));
    EXPECT_NE(station.log.Text().find("测试板已断开\r\n"), std::string::npos);
    EXPECT_FALSE(view.ControlEnabled(ids::kStartButton));
}

TEST_F(StationWithSim, ReplugIntoTheSamePortOpensTheBoardAgainWithinATick) {
    station.OnTimer(timers::kOpenBoard);  // stops timer 2: the board is open
    backend.Unplug();
    ASSERT_TRUE(RunUntilConnected(false));
    EXPECT_FALSE(view.TimerArmed(timers::kOpenBoard));

    backend.Plug();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunUntilConnected(true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(300));
    EXPECT_NE(station.log.Text().find("测试板已连接\r\n"), std::string::npos);
    EXPECT_TRUE(station.board.ReadMemory(0, 7));
}

TEST_F(StationWithSim, SilentBoardFailsAtTheTimeOutAndTheLinkRecovers) {
    backend.WithBoard([](SimBoard& board) { board.Faults().silentAfterReports = 1; });
    EXPECT_TRUE(station.board.ReadMemory(0, 7));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(station.board.ReadMemory(0, 7));
    EXPECT_GE(std::chrono::steady_clock::now() - start, BoardCommand::kAnswerTimeout);
    backend.WithBoard([](SimBoard& board) { board.Faults().silentAfterReports.reset(); });
    EXPECT_TRUE(station.board.ReadMemory(0, 7));
    EXPECT_EQ(station.board.AnswerData()[4], 32);
}

TEST_F(StationWithSim, PendingWriteRefusesTheNextSendSilently) {
    backend.SetLatencyUs(50000);
    station.log.Clear();
    EXPECT_TRUE(station.board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_TRUE(station.link.writePending);
    EXPECT_FALSE(station.board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_EQ(station.log.Text(), "");
    EXPECT_TRUE(station.board.ReadMemory(0, 7));
}

TEST_F(StationWithSim, PushedReportReachesThePushedMessageHandler) {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<HidReport> pushed;
    station.link.SetPushedMessageHandler([&](const HidReport& report) {
        {
            std::lock_guard lock(mutex);
            pushed.push_back(report);
        }
        arrived.notify_all();
    });
    const std::array<uint8_t, 5> message = {0x0C, 0xFE, 0, 0, 0};
    backend.PushMessage(message);
    std::vector<HidReport> received;
    {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, milliseconds(1000), [&] { return !pushed.empty(); });
        received = pushed;
    }
    // The handler refers to this test's locals: it must be gone before they are.
    station.link.SetPushedMessageHandler({});
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0][1], 0xFA);
    EXPECT_EQ(received[0][2], 0x00);
    EXPECT_EQ(received[0][3], 0x0C);
    EXPECT_EQ(received[0][4], 0xFE);
}

}  // namespace
