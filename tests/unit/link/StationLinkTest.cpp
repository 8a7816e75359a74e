#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "app/StationView.h"
#include "support/FakeHidBackend.h"
#include "support/FakeStationView.h"
#include "unit/link/LinkFixture.h"

namespace {

const std::string kBoardPath = "/dev/hidraw7";
const std::string kOtherPath = "/dev/hidraw3";

struct StationFixture : testing::Test {
    FakeStationView view;
    FakeHidBackend backend{
        {FakeHidBackend::Board(kBoardPath), {0x046D, 0xC52B, 0x1201, 2, kOtherPath}}};
    CountingSleeper sleeper{false};
    Station station{view, backend, sleeper, "/tmp", FixedTime};

    // Shown, board opened by timer 2, timer 2 handed over to timer 1.
    void BringBoardUp() {
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(station.link.connected);
        station.linkOk = true;
        station.controllerReady = true;
        station.referenceModeActive = true;
        station.log.Clear();
        view.timerCalls.clear();
    }
};

TEST_F(StationFixture, FirstShowingStartsTheLinkAndTheTimers) {
    station.OnShowWindow();
    EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false);
    EXPECT_EQ(view.MenuItemEnabled(ids::kMenuProgramming), false);
    EXPECT_EQ(view.TimerPeriod(timers::kOpenBoard), 100);
    EXPECT_EQ(view.TimerPeriod(timers::kSampleAcquisition), 100);
    EXPECT_TRUE(backend.Watching());
}

TEST_F(StationFixture, TimerTwoOpensTheBoardThenHandsOverToTimerOne) {
    station.OnShowWindow();
    station.OnTimer(timers::kOpenBoard);
    EXPECT_TRUE(station.link.connected);
    EXPECT_TRUE(view.TimerArmed(timers::kOpenBoard));
    EXPECT_FALSE(view.TimerArmed(timers::kBringUp));

    station.OnTimer(timers::kOpenBoard);
    EXPECT_FALSE(view.TimerArmed(timers::kOpenBoard));
    EXPECT_EQ(view.TimerPeriod(timers::kBringUp), 100);
}

TEST_F(StationFixture, TimerTwoSkipsTheBringUpOfAReadyController) {
    station.OnShowWindow();
    station.controllerReady = true;
    station.OnTimer(timers::kOpenBoard);
    station.OnTimer(timers::kOpenBoard);
    EXPECT_FALSE(view.TimerArmed(timers::kOpenBoard));
    EXPECT_FALSE(view.TimerArmed(timers::kBringUp));
}

TEST_F(StationFixture, TimerTwoKeepsSearchingWithoutABoard) {
    backend.SetDevices({});
    station.OnShowWindow();
    station.OnTimer(timers::kOpenBoard);
    station.OnTimer(timers::kOpenBoard);
    EXPECT_FALSE(station.link.connected);
    EXPECT_TRUE(view.TimerArmed(timers::kOpenBoard));
    EXPECT_EQ(station.log.Text(), "");
}

struct RemovalCase {
    std::string name;
    std::string path;
    bool isBoard;
};

void PrintTo(const RemovalCase& c, std::ostream* os) {
    *os << c.name;
}

class RemovalTest : public StationFixture, public testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, OnlyTheBoardsRemovalTakesTheStationDown) {
    BringBoardUp();
    view.controls.clear();
    view.menuItems.clear();
    station.OnDeviceChange(DeviceEvent::Removal, GetParam().path);
    const bool board = GetParam().isBoard;
    EXPECT_EQ(station.log.Text(), board ? "测试板已断开\r\n" : "");
    EXPECT_EQ(station.link.connected, !board);
    EXPECT_EQ(station.linkOk, !board);
    EXPECT_EQ(station.controllerReady, !board);
    EXPECT_EQ(station.referenceModeActive, !board);
    if (board) {
        EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false);
        EXPECT_EQ(view.MenuItemEnabled(ids::kMenuProgramming), false);
    } else {
        EXPECT_TRUE(view.controls.empty());
        EXPECT_TRUE(view.menuItems.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemovalTest,
    testing::Values(RemovalCase{"Board", kBoardPath, true},
                    RemovalCase{"BoardPathInOtherCase", "/DEV/HIDRAW7", true},
                    RemovalCase{"OtherDevice", kOtherPath, false},
                    RemovalCase{"PathThatOnlyStartsLikeTheBoards", kBoardPath + "0", false}),
    [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

TEST_F(StationFixture, ArrivalOfTheRemovedBoardRearmsTimerTwoAndReopensIt) {
    BringBoardUp();
    station.OnDeviceChange(DeviceEvent::Removal, kBoardPath);
    station.log.Clear();

    station.OnDeviceChange(DeviceEvent::Arrival, kOtherPath);
    EXPECT_FALSE(view.TimerArmed(timers::kOpenBoard));

    station.OnDeviceChange(DeviceEvent::Arrival, kBoardPath);
    EXPECT_EQ(station.log.Text(), "测试板已连接\r\n");
    EXPECT_EQ(view.TimerPeriod(timers::kOpenBoard), 100);
    station.OnTimer(timers::kOpenBoard);
    EXPECT_TRUE(station.link.connected);
}

TEST_F(StationFixture, ArrivalWhileConnectedOnlyLogs) {
    BringBoardUp();
    station.OnDeviceChange(DeviceEvent::Arrival, kBoardPath);
    EXPECT_EQ(station.log.Text(), "测试板已连接\r\n");
    EXPECT_FALSE(view.TimerArmed(timers::kOpenBoard));
}

// A search that failed while the board was away must not make another device's removal
// look like the board's.
TEST_F(StationFixture, FailedSearchDoesNotMistakeAnotherDeviceForTheBoard) {
    BringBoardUp();
    station.OnDeviceChange(DeviceEvent::Removal, kBoardPath);
    backend.SetDevices({{0x046D, 0xC52B, 0x1201, 2, kOtherPath}});
    station.OnDeviceChange(DeviceEvent::Arrival, kBoardPath);
    station.OnTimer(timers::kOpenBoard);
    station.log.Clear();
    station.OnDeviceChange(DeviceEvent::Removal, kOtherPath);
    EXPECT_EQ(station.log.Text(), "");
}

TEST_F(StationFixture, DeviceEventsFromAnyThreadArriveThroughTheUiThread) {
    BringBoardUp();
    std::thread watcher([&] { backend.Emit(DeviceEvent::Removal, kBoardPath); });
    watcher.join();
    EXPECT_TRUE(station.link.connected);
    EXPECT_EQ(view.RunPosted(), 1);
    EXPECT_FALSE(station.link.connected);
    EXPECT_EQ(station.log.Text(), "测试板已断开\r\n");
}

}  // namespace
