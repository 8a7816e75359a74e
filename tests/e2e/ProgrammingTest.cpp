// The programming window's session and the "烧录文件" menu item through the station, the real
// link threads and the simulated board.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "programming/ProgrammingSession.h"
#include "sim/SimOptions.h"
#include "support/FakeProgrammingView.h"
#include "support/FakeStationView.h"

namespace {

namespace fs = std::filesystem;

std::tm FixedTime() {
    std::tm t{};
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 59;
    return t;
}

class ProgrammingRig {
public:
    ProgrammingRig()
        : backend(MakeSimBackend({})),
          station(view, *backend, sleeper, folder.string(), FixedTime) {}
    ~ProgrammingRig() { fs::remove_all(folder); }

    // The window's first showing, then timers 2, 2 and 1 as they would fire.
    void BringUp() {
        station.OnTimer(timers::kOpenBoard);
        ASSERT_TRUE(station.link.connected);
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kBringUp);
        ASSERT_TRUE(station.controllerReady) << station.log.Text();
    }

    // Runs the device events the backend's thread posts; false when none came within 2 s.
    bool RunDeviceEvents() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (view.PostedCount() == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        view.RunPosted();
        return true;
    }

    std::optional<bool> MenuItem() const { return view.MenuItemEnabled(ids::kMenuProgramming); }

    std::vector<uint8_t> SimMemory(uint16_t address, size_t count) {
        std::vector<uint8_t> bytes;
        backend->WithBoard(
            [&](SimBoard& board) { bytes = board.Controller().Read(address, count); });
        return bytes;
    }

    const fs::path folder = [] {
        const fs::path f =
            fs::path(::testing::TempDir()) /
            ("programming-e2e-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(f);
        fs::create_directories(f / "Config");
        return f;
    }();
    std::unique_ptr<SimBackend> backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station;
};

TEST(ProgrammingMenu, FollowsTheReadyControllerAcrossBringUpTestAndRemoval) {
    ProgrammingRig rig;
    rig.station.OnShowWindow();
    EXPECT_EQ(rig.MenuItem(), false);
    // A test can run before the bring-up, as an acquisition on timer 4.
    rig.station.RunTest();
    EXPECT_EQ(rig.MenuItem(), false);
    rig.BringUp();
    EXPECT_EQ(rig.MenuItem(), true);

    rig.view.menuCalls.clear();
    rig.station.RunTest();
    // Greyed while the test runs, available again after it.
    EXPECT_EQ(rig.view.menuCalls,
              (std::vector<std::pair<int, bool>>{{ids::kMenuProgramming, false},
                                                 {ids::kMenuProgramming, true}}));

    rig.backend->Unplug();
    ASSERT_TRUE(rig.RunDeviceEvents());
    EXPECT_FALSE(rig.station.controllerReady);
    EXPECT_EQ(rig.MenuItem(), false);

    rig.backend->Plug();
    ASSERT_TRUE(rig.RunDeviceEvents());
    EXPECT_EQ(rig.MenuItem(), false);
    rig.BringUp();
    EXPECT_EQ(rig.MenuItem(), true);
}

TEST(ProgrammingMenu, StaysGreyedAfterATestWhoseBoardWasPulledOut) {
    ProgrammingRig rig;
    rig.station.OnShowWindow();
    rig.BringUp();
    rig.backend->WithBoard([](SimBoard& board) {
        board.Faults().unplugAtPage = SimFaults::UnplugAtPage{3, -1};
    });

    EXPECT_EQ(rig.station.RunTest(), TestOutcome::Unmeasured);
    // The removal reaches the station once the test has given the UI thread back.
    ASSERT_TRUE(rig.RunDeviceEvents());
    EXPECT_EQ(rig.MenuItem(), false);
}

TEST(ProgrammingSessionWithSim, ProgramOnceRestoresASavedConfigurationAndReaches100) {
    ProgrammingRig rig;
    rig.station.OnShowWindow();
    rig.BringUp();
    FakeProgrammingView view;
    Station& s = rig.station;
    ProgrammingSession session(
        {s.workingFolder, s.controller, s.configRecords, s.log, s.controllerReady}, view, rig.view);
    session.OnInitDialog();
    const std::string saved = (rig.folder / "chip.xcfg").string();
    rig.view.saveAnswers.push_back((rig.folder / "chip").string());
    session.OnExport();
    ASSERT_TRUE(rig.view.messages.empty()) << rig.view.messages[0].text;
    ASSERT_EQ(session.exportPath(), saved);

    // Every configuration object the file holds is overwritten on the controller.
    ConfigRecordSets file;
    ASSERT_EQ(LoadXcfg(saved, file).verdict, XcfgVerdict::Accepted);
    ASSERT_GE(file.fileRecordCount, 3);
    for (int i = 0; i < file.fileRecordCount; ++i) {
        const ConfigRecord& record = file.fileRecords[i];
        const std::vector<uint8_t> junk(record[2], 0x5A);
        rig.backend->WithBoard([&](SimBoard& board) {
            board.Controller().Write(static_cast<uint16_t>(record[0] | record[1] << 8), junk);
        });
    }

    rig.view.openAnswers.push_back(saved);
    session.OnImport();
    ASSERT_EQ(view.ActionButtons(), (std::vector<bool>{true, false, false}));
    view.progress.clear();
    rig.station.log.Clear();
    session.OnProgramOnce();

    EXPECT_TRUE(rig.view.messages.empty());
    ASSERT_EQ(view.progress.size(), 1u + file.fileRecordCount);
    EXPECT_EQ(view.progress.front(), 0);
    EXPECT_TRUE(std::is_sorted(view.progress.begin(), view.progress.end()));
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ(rig.station.configRecords.programProgress, 100);
    EXPECT_EQ(rig.station.log.Text(), "更新烧录文件成功 (14:03:59)\r\n");
    for (int i = 0; i < file.fileRecordCount; ++i) {
        SCOPED_TRACE(i);
        const ConfigRecord& record = file.fileRecords[i];
        EXPECT_EQ(rig.SimMemory(static_cast<uint16_t>(record[0] | record[1] << 8), record[2]),
                  std::vector<uint8_t>(record.begin() + 3, record.begin() + 3 + record[2]));
    }
}

}  // namespace
