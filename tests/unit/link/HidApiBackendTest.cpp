#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "link/BoardCommand.h"
#include "link/HidApiBackend.h"
#include "link/HidLink.h"
#include "link/UdevWatcher.h"

namespace {

using std::chrono::milliseconds;

TEST(UdevWatcherTest, StopsPromptlyWithOrWithoutUdev) {
    auto watcher = std::make_unique<UdevWatcher>([](DeviceEvent, const std::string&) {});
    const auto start = std::chrono::steady_clock::now();
    watcher.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
}

// Needs the real board on USB; skipped without one.
TEST(HidApiBackendTest, RealBoardAnswersTheHeaderRead) {
    HidApiBackend backend;
    StatusLog log;
    HidLink link(backend, log);
    link.SetBoardIdentity();
    const auto devices = backend.Enumerate();
    if (std::none_of(devices.begin(), devices.end(), [&](const HidDeviceInfo& device) {
            return IsBoardInterface(device, link.identity, PlatformInterfaceRule());
        })) {
        GTEST_SKIP() << "no test board on USB";
    }
    RealSleeper sleeper;
    BoardCommand board(link, log, sleeper);
    link.StartLink();
    link.OpenBoard();
    ASSERT_TRUE(link.connected);
    ASSERT_TRUE(board.ReadMemory(0, 7)) << log.Text();
    EXPECT_EQ(board.AnswerData()[4], 32);
    EXPECT_EQ(board.AnswerData()[5], 52);
}

}  // namespace
