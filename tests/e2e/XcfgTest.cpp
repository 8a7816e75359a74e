// Saving and programming controller configuration files through the station, the real link
// threads and the simulated board.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "programming/Xcfg.h"
#include "sim/SimBackend.h"
#include "support/FakeStationView.h"

namespace {

std::vector<uint8_t> Bytes(const ConfigRecord& record) {
    return {record.begin() + 3, record.begin() + 3 + record[2]};
}

class XcfgWithSim : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = std::filesystem::path(::testing::TempDir()) / ("xcfg-" + name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        path = (folder / "chip.xcfg").string();

        // Every configuration byte different, so a misplaced byte shows.
        backend.WithBoard([](SimBoard& board) {
            SimController& controller = board.Controller();
            for (const SimObject& object : controller.Objects()) {
                if (object.type < 7 || object.type == 25 || object.type == 37) {
                    continue;
                }
                std::vector<uint8_t> bytes(object.size);
                for (size_t k = 0; k < bytes.size(); ++k) {
                    bytes[k] = static_cast<uint8_t>(object.type * 13 + k * 5);
                }
                controller.Write(object.address, bytes);
            }
        });
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kBringUp);
        ASSERT_TRUE(station.controllerReady) << station.log.Text();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::vector<uint8_t> SimMemory(uint16_t address, size_t count) {
        std::vector<uint8_t> bytes;
        backend.WithBoard(
            [&](SimBoard& board) { bytes = board.Controller().Read(address, count); });
        return bytes;
    }

    SimBackend backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station{view, backend, sleeper, "."};
    std::filesystem::path folder;
    std::string path;
};

TEST_F(XcfgWithSim, SavedFileLoadsAsTheChipRecordsOfItsSections) {
    ConfigRecordSets sets;
    const XcfgOutcome saved = SaveXcfg(path, station.controller, sets);
    ASSERT_TRUE(saved.ok) << saved.message;

    ConfigRecordSets loaded;
    const XcfgLoadResult result = LoadXcfg(path, loaded);
    ASSERT_EQ(result.verdict, XcfgVerdict::Accepted) << result.message << " line " << result.line;
    const std::vector<int> sections = SectionsToWrite(ViewOfTable(station.objectTable));
    ASSERT_EQ(loaded.fileRecordCount, sections.size());
    ASSERT_GE(sections.size(), 3u);
    for (size_t s = 0; s < sections.size(); ++s) {
        SCOPED_TRACE(s);
        const ConfigRecord& chip = sets.chipRecords[sections[s] - 1];
        const ConfigRecord& file = loaded.fileRecords[s];
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + 3 + chip[2], chip.begin()));
        const uint16_t address = static_cast<uint16_t>(chip[0] | chip[1] << 8);
        EXPECT_EQ(Bytes(file), SimMemory(address, chip[2]));
    }
}

TEST_F(XcfgWithSim, ProgrammedRecordsAreStoredAndSurviveTheReset) {
    ConfigRecordSets sets;
    ASSERT_TRUE(SaveXcfg(path, station.controller, sets).ok);
    ASSERT_EQ(LoadXcfg(path, sets).verdict, XcfgVerdict::Accepted);
    // The type-38 record, more than one chunk long in the simulator's layout.
    ConfigRecord& record = sets.fileRecords[1];
    ASSERT_GT(record[2], 58);
    for (int k = 0; k < record[2]; ++k) {
        record[3 + k] = static_cast<uint8_t>(0xC0 + k);
    }
    int commitsBefore = 0;
    backend.WithBoard([&](SimBoard& board) { commitsBefore = board.Controller().Count().commits; });

    std::vector<int> progress;
    const XcfgOutcome outcome =
        WriteChipConfiguration(station.controller, sets, [&](int p) { progress.push_back(p); });
    ASSERT_TRUE(outcome.ok) << outcome.message;
    ASSERT_EQ(progress.size(), sets.fileRecordCount);
    EXPECT_EQ(progress.back(), 100);

    backend.WithBoard([&](SimBoard& board) {
        EXPECT_EQ(board.Controller().Count().commits, commitsBefore + 1);
        // A reset brings back the stored configuration: the bytes are there after it.
        board.Controller().PowerOn();
    });
    EXPECT_EQ(Bytes(record),
              SimMemory(static_cast<uint16_t>(record[0] | record[1] << 8), record[2]));
}

TEST_F(XcfgWithSim, BoardFallingSilentStopsTheProgrammingUncommitted) {
    ConfigRecordSets sets;
    ASSERT_TRUE(SaveXcfg(path, station.controller, sets).ok);
    ASSERT_EQ(LoadXcfg(path, sets).verdict, XcfgVerdict::Accepted);
    const ConfigRecord original = sets.fileRecords[1];
    for (int k = 0; k < sets.fileRecords[1][2]; ++k) {
        sets.fileRecords[1][3 + k] ^= 0xFF;
    }
    int commitsBefore = 0;
    backend.WithBoard([&](SimBoard& board) {
        commitsBefore = board.Controller().Count().commits;
        // The type-37 record and the first chunk of the type-38 one are answered.
        board.Faults().silentAfterReports = board.ReportCount() + 4;
    });

    const auto start = std::chrono::steady_clock::now();
    const XcfgOutcome outcome = WriteChipConfiguration(station.controller, sets);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, xcfg::kProgramFailed);
    EXPECT_LT(sets.programProgress, 100);
    backend.WithBoard([&](SimBoard& board) {
        EXPECT_EQ(board.Controller().Count().commits, commitsBefore);
        board.Faults().silentAfterReports.reset();
        board.Controller().PowerOn();
    });
    EXPECT_EQ(Bytes(original),
              SimMemory(static_cast<uint16_t>(original[0] | original[1] << 8), original[2]));
}

}  // namespace
