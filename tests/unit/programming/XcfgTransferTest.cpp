#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"
#include "programming/Xcfg.h"
#include "unit/controller/FakeController.h"

namespace {

// A controller with the standard objects and the given configuration objects after them,
// its configuration memory filled with a pattern.
struct Bench {
    explicit Bench(std::vector<FakeEntry> extra = {}) {
        entries = StandardEntries();
        entries.insert(entries.end(), extra.begin(), extra.end());
        fake = std::make_unique<FakeController>(entries);
        table = ParsedTable(entries);
        for (size_t a = 0x0400; a < fake->memory.size(); ++a) {
            fake->memory[a] = static_cast<uint8_t>(a * 7 + 3);
        }
        commands = std::make_unique<ControllerCommands>(*fake, table, data, log, sleeper);
    }

    bool Wrote(uint16_t address, uint8_t value, int settleMs) const {
        return fake->Count([&](const Transaction& t) {
            return t.write && t.address == address && t.bytes == std::vector{value} &&
                   t.settleMs == settleMs;
        }) > 0;
    }

    std::vector<FakeEntry> entries;
    std::unique_ptr<FakeController> fake;
    ObjectTable table;
    DiagnosticData data;
    StatusLog log;
    CountingSleeper sleeper{false};
    std::unique_ptr<ControllerCommands> commands;
};

std::vector<std::pair<int, int>> Accesses(const FakeController& fake, bool writes) {
    std::vector<std::pair<int, int>> accesses;
    for (const auto& t : fake.trace) {
        if (t.write == writes) {
            accesses.emplace_back(t.address, t.count);
        }
    }
    return accesses;
}

ConfigRecord Record(uint16_t address, uint8_t size, uint8_t first) {
    ConfigRecord record{};
    record[0] = static_cast<uint8_t>(address & 0xFF);
    record[1] = static_cast<uint8_t>(address >> 8);
    record[2] = size;
    for (int k = 0; k < size && 3 + k < static_cast<int>(record.size()); ++k) {
        record[3 + k] = static_cast<uint8_t>(first + k);
    }
    return record;
}

TEST(XcfgReadChip, ObjectsInChunksOf58) {
    Bench bench({{38, 0x0400, 130, 1, 0}, {7, 0x0500, 58, 1, 0}});
    bench.fake->trace.clear();
    ConfigRecordSets sets;
    ASSERT_TRUE(ReadChipConfiguration(*bench.commands, sets));

    const std::vector<std::pair<int, int>> reads = Accesses(*bench.fake, false);
    const std::vector<std::pair<int, int>> last(reads.end() - 4, reads.end());
    EXPECT_EQ(last, (std::vector<std::pair<int, int>>{
                        {0x0400, 58}, {0x043A, 58}, {0x0474, 14}, {0x0500, 58}}));
    EXPECT_EQ(bench.sleeper.Calls(), static_cast<int64_t>(reads.size()));
    EXPECT_EQ(bench.sleeper.TotalMs(), 10 * static_cast<int64_t>(reads.size()));

    const ConfigRecord& big = sets.chipRecords[8];
    EXPECT_EQ(big[0], 0x00);
    EXPECT_EQ(big[1], 0x04);
    EXPECT_EQ(big[2], 130);
    EXPECT_TRUE(std::equal(big.begin() + 3, big.begin() + 133, bench.fake->memory.begin() + 0x400));
    const ConfigRecord& one = sets.chipRecords[9];
    EXPECT_TRUE(std::equal(one.begin() + 3, one.begin() + 61, bench.fake->memory.begin() + 0x500));
}

TEST(XcfgReadChip, StopsAtTheFirstUnansweredChunk) {
    Bench bench({{38, 0x0400, 130, 1, 0}, {7, 0x0500, 58, 1, 0}});
    ConfigRecordSets sets;
    ASSERT_TRUE(ReadChipConfiguration(*bench.commands, sets));
    const int total = static_cast<int>(bench.fake->trace.size());
    bench.fake->trace.clear();
    sets.chipRecords[9].fill(0xAB);
    // The last four reads are the 130-byte object's three chunks and the 58-byte one: the
    // second chunk goes unanswered.
    bench.fake->failFrom = total - 3;
    EXPECT_FALSE(ReadChipConfiguration(*bench.commands, sets));
    EXPECT_EQ(static_cast<int>(bench.fake->trace.size()), total - 2);
    EXPECT_EQ(bench.fake->trace.back().address, 0x043A);
    EXPECT_EQ(sets.chipRecords[9][3], 0xAB);
}

TEST(XcfgReadChip, ObjectLargerThanARecordIsNotRead) {
    Bench bench({{38, 0x0400, 254, 1, 0}});
    bench.fake->trace.clear();
    ConfigRecordSets sets;
    ASSERT_TRUE(ReadChipConfiguration(*bench.commands, sets));
    EXPECT_EQ(bench.fake->Reads(0x0400), 0);
    EXPECT_EQ(sets.chipRecords[8][2], 254);
}

TEST(XcfgProgram, ThreeRecordsIntoThirtyObjects) {
    std::vector<FakeEntry> extra;
    for (int k = 0; k < 22; ++k) {
        extra.push_back({7, static_cast<uint16_t>(0x1000 + 0x100 * k), 16, 1, 0});
    }
    Bench bench(extra);
    ASSERT_EQ(bench.table.objectCount, 30);
    ConfigRecordSets sets;
    sets.fileRecords[0] = Record(0x2000, 130, 1);
    sets.fileRecords[1] = Record(0x3000, 58, 2);
    sets.fileRecords[2] = Record(0x4000, 0, 0);
    sets.fileRecordCount = 3;
    std::vector<int> progress;
    const XcfgOutcome outcome =
        WriteChipConfiguration(*bench.commands, sets, [&](int p) { progress.push_back(p); });
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(sets.programProgress, 100);

    const uint16_t command = bench.fake->commandAddress;
    const std::vector<std::pair<int, int>> writes = Accesses(*bench.fake, true);
    EXPECT_EQ(writes, (std::vector<std::pair<int, int>>{{0x2000, 58},
                                                        {0x203A, 58},
                                                        {0x2074, 14},
                                                        {0x3000, 58},
                                                        {command + 1, 1},
                                                        {command, 1}}));
    EXPECT_TRUE(bench.Wrote(command + 1, 0x55, 40));
    EXPECT_TRUE(bench.Wrote(command, 0x01, 100));
    for (int k = 0; k < 130; ++k) {
        ASSERT_EQ(bench.fake->memory[0x2000 + k], static_cast<uint8_t>(1 + k)) << k;
    }
    for (const auto& t : bench.fake->trace) {
        if (t.address >= 0x2000) {
            EXPECT_EQ(t.settleMs, 10);
        }
    }
}

TEST(XcfgProgram, RecordsThatDoNotFitReachNothing) {
    const struct {
        const char* name;
        ConfigRecord record;
        int count;
        std::string_view message;
    } cases[] = {
        {"objectLargerThan253", Record(0x2000, 254, 0), 1, xcfg::kObjectTooLarge},
        {"runsPastTheAddressSpace", Record(0xFFF0, 17, 0), 1, xcfg::kRejected},
        {"moreRecordsThanObjects", Record(0x2000, 1, 0), 9, xcfg::kMoreRecordsThanObjects},
        {"moreThan64", Record(0x2000, 1, 0), 65, xcfg::kTooManyObjects},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.fake->trace.clear();
        ConfigRecordSets sets;
        sets.fileRecords.fill(c.record);
        sets.fileRecordCount = static_cast<uint8_t>(c.count);
        const XcfgOutcome outcome = WriteChipConfiguration(*bench.commands, sets);
        EXPECT_FALSE(outcome.ok) << c.name;
        EXPECT_EQ(outcome.message, c.message) << c.name;
        EXPECT_TRUE(bench.fake->trace.empty()) << c.name << ": the controller was touched";
        EXPECT_EQ(sets.programProgress, 0) << c.name;
    }
}

TEST(XcfgProgram, FailedChunkEndsWithoutCommit) {
    Bench bench;
    bench.fake->trace.clear();
    ConfigRecordSets sets;
    sets.fileRecords[0] = Record(0x2000, 10, 1);
    sets.fileRecords[1] = Record(0x3000, 100, 1);
    sets.fileRecordCount = 2;
    bench.fake->failFrom = 1;  // the second record's first chunk
    const XcfgOutcome outcome = WriteChipConfiguration(*bench.commands, sets);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, xcfg::kProgramFailed);
    EXPECT_EQ(sets.programProgress, 50);
    const uint16_t command = bench.fake->commandAddress;
    EXPECT_EQ(bench.fake->Writes(0x303A), 0) << "programming went on after a failed chunk";
    EXPECT_EQ(bench.fake->Writes(command + 1), 0) << "a partly written configuration was stored";
    EXPECT_EQ(bench.fake->trace.back().address, command) << "no reset after the failure";
}

class XcfgSave : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::path(::testing::TempDir()) /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        path = (folder / "chip.xcfg").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    static std::string Contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path folder;
    std::string path;
};

TEST_F(XcfgSave, FailuresLeaveAnExistingFileAlone) {
    const struct {
        const char* name;
        std::vector<FakeEntry> extra;
        int failFrom;
        std::string_view message;
    } cases[] = {
        {"chipUnreadable", {{38, 0x0400, 20, 1, 0}}, 0, xcfg::kChipReadFailed},
        {"sectionTooLarge", {{38, 0x0400, 254, 1, 0}}, 1 << 30, xcfg::kObjectTooLarge},
    };
    for (const auto& c : cases) {
        Bench bench(c.extra);
        bench.fake->trace.clear();
        bench.fake->failFrom = c.failFrom;
        std::ofstream(path, std::ios::binary) << "old";
        ConfigRecordSets sets;
        const XcfgOutcome outcome = SaveXcfg(path, *bench.commands, sets);
        EXPECT_FALSE(outcome.ok) << c.name;
        EXPECT_EQ(outcome.message, c.message) << c.name;
        EXPECT_EQ(Contents(path), "old") << c.name;
    }
}

TEST_F(XcfgSave, FileThatCannotBeCreated) {
    Bench bench({{38, 0x0400, 20, 1, 0}});
    const std::string badPath = (folder / "missing" / "chip.xcfg").string();
    ConfigRecordSets sets;
    const XcfgOutcome outcome = SaveXcfg(badPath, *bench.commands, sets);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, badPath + "保存失败！");
}

// A write that fails takes back a file it made, but never what stands behind the path:
// removing there would delete a link or, for root, the device itself.
TEST_F(XcfgSave, FailedWriteKeepsWhatIsNotAPlainFile) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::filesystem::path link = folder / "full.xcfg";
    std::filesystem::create_symlink("/dev/full", link);
    Bench bench({{38, 0x0400, 20, 1, 0}});
    ConfigRecordSets sets;
    const XcfgOutcome outcome = SaveXcfg(link.string(), *bench.commands, sets);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, link.string() + "保存失败！");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST_F(XcfgSave, WritesTheSectionsOfTheTable) {
    Bench bench({{38, 0x0400, 20, 1, 0}, {7, 0x0500, 3, 1, 0}});
    ConfigRecordSets sets;
    ASSERT_TRUE(SaveXcfg(path, *bench.commands, sets).ok);
    const std::string text = Contents(path);
    EXPECT_TRUE(
        text.starts_with("[COMMENTS]\r\nSaved by: Administrator\r\n\r\n"
                         "[VERSION_INFO_HEADER]\r\nFAMILY_ID=164\r\nVARIANT=28\r\n"
                         "VERSION=16\r\nBUILD=170\r\n"));
    const size_t diagnostic = text.find(
        "[UNKNOWN_T37 INSTANCE 0]\r\nOBJECT_ADDRESS=544\r\n"
        "OBJECT_SIZE=130\r\n");
    const size_t config = text.find(
        "[UNKNOWN_T38 INSTANCE 0]\r\nOBJECT_ADDRESS=1024\r\n"
        "OBJECT_SIZE=20\r\n0 1 DATA=3\r\n1 1 DATA=10\r\n");
    const size_t after = text.find("[UNKNOWN_T7 INSTANCE 0]\r\nOBJECT_ADDRESS=1280\r\n");
    EXPECT_NE(diagnostic, std::string::npos);
    EXPECT_LT(diagnostic, config);
    EXPECT_NE(after, std::string::npos);
    EXPECT_LT(config, after);
    EXPECT_EQ(text.find("[UNKNOWN_T6 "), std::string::npos);
}

}  // namespace
