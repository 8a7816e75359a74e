#include "controller/ObjectTable.h"

#include <gtest/gtest.h>

#include "app/StatusLog.h"
#include "unit/controller/FakeController.h"

namespace {

std::tm NineOhFive() {
    std::tm t{};
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    return t;
}

TEST(AcceptHeader, MatrixDecidesTheLink) {
    const struct {
        const char* name;
        uint8_t x, y, objects;
        bool passes;
        uint8_t pageCount, objectCount, fullChunks;
    } cases[] = {
        {"matrix32x52", 32, 52, 25, true, 26, 25, 2},
        {"matrix32x51", 32, 51, 25, false, 25, 25, 2},
        // 18048 nodes: 282 pages, which a byte would wrap to 26.
        {"wrapsToTwentySix", 141, 128, 25, false, 255, 25, 2},
        {"twentyObjects", 32, 52, 20, true, 26, 20, 2},
        {"tooManyObjects", 32, 52, 200, true, 26, 64, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ObjectTable table;
        const uint8_t header[] = {1, 2, 3, 4, c.x, c.y, c.objects};
        EXPECT_EQ(table.AcceptHeader(header), c.passes);
        EXPECT_EQ(table.pageCount, c.pageCount);
        EXPECT_EQ(table.objectCount, c.objectCount);
        EXPECT_EQ(table.fullChunks, c.fullChunks);
        EXPECT_EQ(table.image[6], c.objects);
        EXPECT_EQ(table.image[0], 1);
    }
}

TEST(ParseObjectTable, ReportIdRangesInTableOrder) {
    const ObjectTable table = ParsedTable({
        {7, 0x0100, 4, 1, 0},
        {6, 0x0110, 6, 1, 1},
        {8, 0x0120, 10, 1, 0},
        {9, 0x0130, 0xFF, 3, 2},
    });
    const int low[] = {0, 0, 1, 0, 2};
    const int high[] = {0, 0, 1, 0, 7};
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table.report_L[i], low[i]);
        EXPECT_EQ(table.report_H[i], high[i]);
    }
    EXPECT_EQ(table.instances[4], 3);
    EXPECT_EQ(table.StartAddress[4], 0x0130);
    EXPECT_EQ(table.size_Object[4], 0xFF);

    const struct {
        uint8_t id;
        int owner;
    } owners[] = {{0, 0}, {1, 2}, {2, 4}, {7, 4}, {8, 0}, {0xFF, 0}};
    for (const auto& o : owners) {
        SCOPED_TRACE(static_cast<int>(o.id));
        EXPECT_EQ(table.ObjectForReportId(o.id), o.owner);
    }
}

TEST(ParseObjectTable, SizeByteFFReadsAsZero) {
    const ObjectTable table = ParsedTable({{37, 0x0400, 0, 1, 0}});  // 256 bytes: size byte FF
    EXPECT_EQ(table.image[7 + 3], 0xFF);
    EXPECT_EQ(table.size_Object[1], 0);
    EXPECT_EQ(table.ObjectSize(1), 0);
    EXPECT_EQ(table.diagnosticObject.size, 0);
}

TEST(ParseObjectTable, IdsFFAndZeroAreNeverOwned) {
    // One object owning 1..255: 0xFF still means "no message" and 0 "no object".
    const ObjectTable table = ParsedTable({{5, 0x0100, 10, 1, 0}, {25, 0x0110, 6, 1, 255}});
    EXPECT_EQ(table.report_H[2], 0xFF);
    EXPECT_EQ(table.ObjectForReportId(0xFE), 2);
    EXPECT_EQ(table.ObjectForReportId(0xFF), 0);
    EXPECT_FALSE(table.MessageFromType(0xFF, 25));
    // The message object owns no IDs (0-0), yet does not claim ID 0.
    EXPECT_FALSE(table.MessageFromType(0, 5));
}

TEST(ParseObjectTable, FirstEntryOfATypeIsTheOneUsed) {
    const ObjectTable table = ParsedTable({
        {6, 0x0110, 6, 1, 1},   // IDs 1
        {25, 0x0120, 6, 1, 1},  // IDs 2
        {6, 0x0130, 8, 2, 1},   // IDs 3-4
    });
    EXPECT_EQ(table.commandObject.index, 1);
    EXPECT_EQ(table.commandObject.address, 0x0110);
    EXPECT_EQ(table.commandObject.size, 6);
    EXPECT_TRUE(table.MessageFromType(1, 6));
    EXPECT_FALSE(table.MessageFromType(3, 6));
    EXPECT_FALSE(table.MessageFromType(4, 6));
    EXPECT_EQ(table.ObjectForReportId(3), 3);
    EXPECT_TRUE(table.MessageFromType(2, 25));
    EXPECT_FALSE(table.MessageFromType(2, 6));
    EXPECT_FALSE(table.MessageFromType(1, 46));
}

TEST(ParseObjectTable, MissingTypeKeepsItsLookupButIsNotContained) {
    ObjectTable table = ParsedTable(StandardEntries());
    const ObjectLookup before = table.object62;
    ASSERT_NE(before.index, 0);

    const auto bytes = TableBytes({{5, 0x0100, 10, 1, 0}, {6, 0x0110, 6, 1, 1}});
    table.AcceptHeader(bytes.data());
    std::copy(bytes.begin(), bytes.end(), table.image.begin());
    table.ParseObjectTable();
    EXPECT_EQ(table.object62.address, before.address);
    EXPECT_FALSE(table.Contains(62));
    EXPECT_TRUE(table.Contains(6));
    EXPECT_EQ(table.type_IC[3], 0);
}

TEST(ObjectTable, AccessorsOutsideTheTableReadZero) {
    const ObjectTable table = ParsedTable({{6, 0x1234, 6, 1, 1}});
    EXPECT_EQ(table.ObjectAddress(1), 0x1234);
    for (int i : {0, 2, 64, 65, -1}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table.ObjectType(i), 0);
        EXPECT_EQ(table.ObjectAddress(i), 0);
        EXPECT_EQ(table.ObjectSize(i), 0);
    }
}

TEST(ReadObjectTable, ChunksOfSixtyAndTheRest) {
    const struct {
        const char* name;
        int objects;
        std::vector<std::pair<int, int>> reads;  // address, count
    } cases[] = {
        {"twentyFive", 25, {{7, 60}, {67, 60}, {127, 30}}},
        {"twenty", 20, {{7, 60}, {67, 60}}},
        {"sixtyFour",
         64,
         {{7, 60}, {67, 60}, {127, 60}, {187, 60}, {247, 60}, {307, 60}, {367, 24}}},
        {"three", 3, {{7, 18}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FakeEntry> entries;
        for (int i = 0; i < c.objects; ++i) {
            entries.push_back(
                {static_cast<uint8_t>(i + 1), static_cast<uint16_t>(0x1000 + i), 4, 1, 0});
        }
        FakeController controller(entries);
        ObjectTable table;
        table.AcceptHeader(controller.memory.data());
        ASSERT_TRUE(ReadObjectTable(controller, table));
        ASSERT_EQ(controller.trace.size(), c.reads.size());
        for (size_t r = 0; r < c.reads.size(); ++r) {
            EXPECT_EQ(controller.trace[r].address, c.reads[r].first);
            EXPECT_EQ(controller.trace[r].count, c.reads[r].second);
        }
        table.ParseObjectTable();
        EXPECT_EQ(table.ObjectType(c.objects), c.objects);
        EXPECT_EQ(table.ObjectAddress(c.objects), 0x1000 + c.objects - 1);
    }
}

TEST(ReadObjectTable, UnansweredChunkStopsAndKeepsOldBytes) {
    FakeController controller(StandardEntries());
    ObjectTable table;
    table.AcceptHeader(controller.memory.data());
    table.image.fill(0x5A);
    controller.failFrom = 0;
    EXPECT_FALSE(ReadObjectTable(controller, table));
    EXPECT_EQ(controller.trace.size(), 1u);
    EXPECT_EQ(table.image[7], 0x5A);
    EXPECT_EQ(table.image[7 + 6 * 7 + 5], 0x5A);
}

TEST(CheckUsbLink, Outcomes) {
    const struct {
        const char* name;
        uint8_t matrixY;
        int failFrom;
        bool passes;
        size_t reads;
        const char* log;
    } cases[] = {
        {"healthy", 52, 1 << 30, true, 1, "USB连接正常 (09:05:03)\r\n"},
        {"otherMatrixFifteenTimes", 51, 1 << 30, false, 15, "USB异常，请重新连接USB电缆\r\n"},
        {"noAnswer", 52, 0, false, 1, "USB异常，请重新连接USB电缆\r\n"},
        {"answersStopMidway", 51, 4, false, 5, "USB异常，请重新连接USB电缆\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeController controller(StandardEntries());
        controller.memory[5] = c.matrixY;
        controller.failFrom = c.failFrom;
        ObjectTable table;
        StatusLog log(NineOhFive);
        EXPECT_EQ(CheckUsbLink(controller, table, log), c.passes);
        EXPECT_EQ(controller.trace.size(), c.reads);
        for (const auto& t : controller.trace) {
            EXPECT_EQ(t.address, 0);
            EXPECT_EQ(t.count, 7);
        }
        EXPECT_EQ(log.Text(), c.log);
        if (c.passes) {
            EXPECT_EQ(table.objectCount, 8);
            EXPECT_EQ(table.fullChunks, 0);
        }
    }
}

}  // namespace
