#include <gtest/gtest.h>

#include <set>

#include "tests/unit/sim/RawReports.h"

namespace {

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The whole diagnostic object, read in the station's three chunks.
std::vector<uint8_t> ReadDiagnostic(RawBoard& raw) {
    const uint16_t a = raw.Object(37).address;
    std::vector<uint8_t> object = raw.Read(a, 60);
    const auto middle = raw.Read(a + 60, 60);
    const auto tail = raw.Read(a + 120, 10);
    object.insert(object.end(), middle.begin(), middle.end());
    object.insert(object.end(), tail.begin(), tail.end());
    return object;
}

TEST(SimBoardHeader, ReportsA32By52MatrixAndTheTable) {
    RawBoard raw;
    const auto header = raw.Read(0, 7);
    EXPECT_EQ(header,
              (std::vector<uint8_t>{SimController::kFamilyId, SimController::kVariant,
                                    SimController::kVersion, SimController::kBuild, 32, 52, 16}));
}

// The default table as the controller layer will parse it: addresses follow each other
// from the end of the table, report IDs run on in table order.
TEST(SimBoardHeader, ObjectTableEntriesAndReportIdRanges) {
    const struct {
        uint8_t type;
        uint8_t size;
        uint8_t instances;
        uint8_t ids;
        uint8_t firstId;
        uint8_t lastId;
    } expected[] = {
        {5, 10, 1, 0, 0, 0},    {6, 6, 1, 1, 1, 1},    {9, 70, 2, 10, 2, 21},
        {15, 11, 1, 1, 22, 22}, {25, 6, 1, 1, 23, 23}, {37, 130, 1, 0, 0, 0},
        {38, 64, 1, 0, 0, 0},   {7, 4, 1, 0, 0, 0},    {8, 10, 1, 0, 0, 0},
        {18, 2, 1, 0, 0, 0},    {40, 5, 1, 0, 0, 0},   {42, 10, 1, 0, 0, 0},
        {46, 9, 1, 1, 24, 24},  {47, 22, 1, 0, 0, 0},  {56, 36, 1, 1, 25, 25},
        {62, 54, 1, 1, 26, 26},
    };
    RawBoard raw;
    // Two reads, as the station splits 16 entries: 60 bytes, then 36.
    std::vector<uint8_t> table = raw.Read(7, 60);
    const auto rest = raw.Read(67, 36);
    table.insert(table.end(), rest.begin(), rest.end());

    uint32_t address = 7 + 6 * 16;
    uint8_t last = 0;
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE("entry " + std::to_string(i + 1) + " type " + std::to_string(e.type));
        const uint8_t* entry = &table[6 * i];
        EXPECT_EQ(entry[0], e.type);
        EXPECT_EQ(entry[1] | entry[2] << 8, static_cast<int>(address));
        EXPECT_EQ(entry[3] + 1, e.size);
        EXPECT_EQ(entry[4] + 1, e.instances);
        EXPECT_EQ(entry[5], e.ids);
        // The station's rule, applied to what was read.
        const uint8_t first = entry[5] ? static_cast<uint8_t>(last + 1) : 0;
        const uint8_t lastOwned =
            entry[5] ? static_cast<uint8_t>(first + (entry[4] + 1) * entry[5] - 1) : 0;
        if (entry[5]) {
            last = lastOwned;
        }
        EXPECT_EQ(first, e.firstId);
        EXPECT_EQ(lastOwned, e.lastId);
        const SimObject& object = raw.board.Controller().Objects()[i];
        EXPECT_EQ(object.firstReportId, e.firstId);
        EXPECT_EQ(object.lastReportId, e.lastId);
        address += e.size * e.instances;
    }
}

TEST(SimBoardHeader, CustomLayoutHandsOutIdsPerInstance) {
    const SimController controller(PanelModel(),
                                   {{5, 10, 1, 0}, {6, 6, 1, 1}, {38, 8, 1, 0}, {9, 70, 3, 2}});
    const auto& objects = controller.Objects();
    ASSERT_EQ(objects.size(), 4u);
    const std::pair<int, int> ranges[] = {{0, 0}, {1, 1}, {0, 0}, {2, 7}};
    for (size_t i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i].firstReportId, ranges[i].first) << i;
        EXPECT_EQ(objects[i].lastReportId, ranges[i].second) << i;
    }
}

TEST(SimBoardHeader, HeaderAndTableAreReadOnly) {
    RawBoard raw;
    const auto before = raw.Read(0, 60);
    EXPECT_EQ(raw.Write(4, {31, 51}), SimBoard::kStatusWritten);
    EXPECT_EQ(raw.Read(0, 60), before);
}

// Power-on leaves the messages that take the bring-up through every branch; the station's
// steps are followed here at report level.
TEST(SimBoardMessages, BringUpRunsThroughReportAll) {
    RawBoard raw;
    raw.Write(raw.Object(9).address + 6, {0x69, 0xFF});
    raw.Write(raw.Object(62).address, {0x00});
    raw.Command(1, 0x55);

    const uint8_t command = raw.board.Controller().ReportIdOf(6);
    auto message = raw.Message();
    EXPECT_EQ(message[0], command);
    EXPECT_EQ(message[1], 0x90);
    message = raw.Message();
    EXPECT_EQ(message[1], 0x10);
    message = raw.Message();
    EXPECT_EQ(message[0], command);
    EXPECT_EQ(message[1], 0x10);

    raw.Command(3, 0x01);
    for (uint8_t type : {6, 25, 46, 6}) {
        message = raw.Message();
        EXPECT_EQ(message[0], raw.board.Controller().ReportIdOf(type)) << int(type);
        EXPECT_EQ(message[1], 0) << int(type);
    }
    message = raw.Message();
    EXPECT_EQ(message[0], 0xFF);
    EXPECT_EQ(message[1], 0);
    EXPECT_EQ(raw.board.Controller().Count().reportAlls, 1);
}

TEST(SimBoardMessages, CalibrationAnswers) {
    const struct {
        const char* name;
        std::vector<uint8_t> statuses;
    } cases[] = {
        {"calibratingThenQuiet", {0x10, 0x00}},
        {"resetAndCalibrating", {0x90, 0x00}},
        {"quietAtOnce", {0x00}},
        {"noAnswer", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawBoard raw;
        raw.DrainMessages();
        raw.board.Controller().SetCalibrationStatuses(c.statuses);
        raw.Command(2, 0x01);
        for (uint8_t status : c.statuses) {
            const auto message = raw.Message();
            EXPECT_EQ(message[0], raw.board.Controller().ReportIdOf(6));
            EXPECT_EQ(message[1], status);
        }
        EXPECT_EQ(raw.Message()[0], 0xFF);
        EXPECT_EQ(raw.Read(raw.Object(6).address + 2, 1)[0], 0) << "command byte taken";
    }
}

TEST(SimBoardMessages, OnlyAReadOfTheFirstByteTakesAMessage) {
    RawBoard raw;
    const SimObject& message = raw.Object(5);
    EXPECT_EQ(raw.Read(message.address + 1, 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(raw.board.Controller().PendingMessages(), 3u);
    EXPECT_EQ(raw.Read(message.address, 2)[1], 0x90);
    EXPECT_EQ(raw.Read(message.address + 1, 1)[0], 0x90) << "the taken message stays shown";
    EXPECT_EQ(raw.board.Controller().PendingMessages(), 2u);
}

TEST(SimBoardDiagnostics, ReferenceDataPagesStepAndWrap) {
    RawBoard raw;
    raw.board.Controller().Panel().SetNodeValue(1, 17, 0x1234);
    const SimObject& command = raw.Object(6);
    const std::vector<uint8_t> before = ReadDiagnostic(raw);
    EXPECT_EQ(before[0], 0);
    EXPECT_EQ(before[2], 0) << "no reference data before the switch";

    const struct {
        uint8_t code;
        int page;
    } steps[] = {{0x11, 0}, {0x01, 1}, {0x02, 0}, {0x02, 25}, {0x01, 0}, {0x01, 1}, {0x11, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE("code " + std::to_string(step.code) + " page " + std::to_string(step.page));
        raw.Command(5, step.code);
        EXPECT_EQ(raw.Read(command.address + 5, 1)[0], 0) << "command taken";
        const std::vector<uint8_t> object = ReadDiagnostic(raw);
        ASSERT_EQ(object.size(), 130u);
        EXPECT_EQ(object[0], 0x11);
        EXPECT_EQ(object[1], step.page);
        const PanelModel& panel = raw.board.Controller().Panel();
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(Le16(object, 2 + 2 * i), panel.NodeAt(64 * step.page + i)) << i;
        }
    }
    // Node (1, 17) is value 69: page 1, index 5, bytes 12 and 13 of the object.
    raw.Command(5, 0x01);
    const std::vector<uint8_t> page1 = ReadDiagnostic(raw);
    EXPECT_EQ(page1[1], 1);
    EXPECT_EQ(page1[12], 0x34);
    EXPECT_EQ(page1[13], 0x12);
}

TEST(SimBoardDiagnostics, CommandByteReadsBackZeroAfterBusyReads) {
    RawBoard raw;
    raw.board.Controller().SetDiagnosticBusyReads(2);
    raw.Command(5, 0x11);
    const uint16_t byte5 = raw.Object(6).address + 5;
    EXPECT_EQ(raw.Read(byte5, 1)[0], 0x11);
    EXPECT_EQ(raw.Read(byte5, 1)[0], 0x11);
    EXPECT_EQ(raw.Read(byte5, 1)[0], 0);
}

TEST(SimBoardSelfTest, PinTestQueuesThePanelsResult) {
    const SelfTestResult cases[] = {
        {0xFE, 0, 0, 0}, {0x11, 2, 6, 0}, {0x12, 4, 1, 52}, {0x12, 9, 0, 3}, {0x00, 0, 0, 0},
    };
    for (const auto& result : cases) {
        SCOPED_TRACE("code " + std::to_string(result.code));
        RawBoard raw;
        raw.DrainMessages();
        raw.board.Controller().Panel().SetSelfTest(result);
        const SimObject& selfTest = raw.Object(25);
        EXPECT_EQ(raw.Write(selfTest.address + 1, {0x12}), SimBoard::kStatusWritten);
        EXPECT_EQ(raw.Read(selfTest.address, 6)[1], 0);
        const auto message = raw.Message();
        EXPECT_EQ(message[0], raw.board.Controller().ReportIdOf(25));
        EXPECT_EQ(message[1], result.code);
        EXPECT_EQ(message[2], result.kind);
        EXPECT_EQ(message[3], result.x);
        EXPECT_EQ(message[4], result.y);
        EXPECT_EQ(raw.Message()[0], 0xFF);
    }
}

TEST(SimBoardMemory, CommitKeepsConfigurationOverReset) {
    RawBoard raw;
    const uint16_t t38 = raw.Object(38).address;
    const auto original = raw.Read(t38, 4);
    const std::vector<uint8_t> changed = {1, 2, 3, 4};

    raw.Write(t38, changed);
    EXPECT_EQ(raw.Read(t38, 4), changed);
    raw.Command(0, 0x01);
    EXPECT_EQ(raw.Read(t38, 4), original) << "an uncommitted write is lost on reset";

    raw.Write(t38, changed);
    raw.Command(1, 0x55);
    raw.Command(0, 0x01);
    EXPECT_EQ(raw.Read(t38, 4), changed);
    raw.board.PowerOn();
    EXPECT_EQ(raw.Read(t38, 4), changed) << "committed over a power cycle";
    EXPECT_EQ(raw.board.Controller().Count().resets, 2);
    EXPECT_EQ(raw.board.Controller().Count().commits, 1);
}

TEST(SimBoardReports, AnswersAndRejections) {
    RawBoard raw;
    const uint16_t t38 = raw.Object(38).address;
    const auto original = raw.Read(t38, 4);

    // Write count 3: only the first payload byte counts.
    SimReport report = WriteReport(t38, {0xAB, 0xCD});
    report[2] = 3;
    SimBoardReply reply = raw.Send(report);
    ASSERT_EQ(reply.reports.size(), 1u);
    EXPECT_EQ(reply.reports[0].report[1], SimBoard::kStatusWritten);
    EXPECT_EQ(raw.Read(t38, 2), (std::vector<uint8_t>{0xAB, original[1]}));

    // Write and read in one report: the read sees the write.
    reply = raw.Send(MemoryReport(t38, {0x5A}, 2));
    EXPECT_EQ(reply.reports[0].report[1], SimBoard::kStatusData);
    EXPECT_EQ(reply.reports[0].report[3], 0x5A);
    EXPECT_EQ(reply.reports[0].report[4], original[1]);

    const struct {
        const char* name;
        int at;
        uint8_t value;
    } rejected[] = {
        {"otherCommand", 1, 0x52},
        {"writeCountBelowAddress", 2, 1},
        {"writeCountPastReport", 2, 61},
        {"readCountPastReport", 3, 61},
    };
    for (const auto& c : rejected) {
        SCOPED_TRACE(c.name);
        SimReport bad = WriteReport(t38, {0x77});
        bad[c.at] = c.value;
        reply = raw.Send(bad);
        ASSERT_EQ(reply.reports.size(), 1u);
        EXPECT_EQ(reply.reports[0].report[1], SimBoard::kStatusRejected);
        EXPECT_EQ(raw.Read(t38, 1)[0], 0x5A) << "nothing written";
    }

    SimReport otherId = ReadReport(0, 7);
    otherId[0] = 2;
    EXPECT_FALSE(raw.Send(otherId).accepted);
    const SimReport read = ReadReport(0, 7);
    EXPECT_FALSE(raw.board.HandleOutputReport({read.data(), 63}).accepted);
}

TEST(SimBoardFaults, SilentErrorAndLateAnswers) {
    RawBoard raw;
    auto& faults = raw.board.Faults();
    faults.silentAfterReports = 4;
    faults.errorStatuses = {{2, 0x01}};
    faults.lateAnswers = {{3, 25000}};
    const SimReport read = ReadReport(0, 7);

    SimBoardReply reply = raw.Send(read);
    ASSERT_EQ(reply.reports.size(), 1u);
    EXPECT_EQ(reply.reports[0].report[1], 0);
    EXPECT_EQ(reply.reports[0].extraDelayUs, 0);

    reply = raw.Send(read);
    ASSERT_EQ(reply.reports.size(), 1u);
    EXPECT_EQ(reply.reports[0].report[1], 0x01);

    reply = raw.Send(read);
    ASSERT_EQ(reply.reports.size(), 1u);
    EXPECT_EQ(reply.reports[0].report[8], 52);
    EXPECT_EQ(reply.reports[0].extraDelayUs, 25000);

    EXPECT_EQ(raw.Send(read).reports.size(), 1u);
    EXPECT_TRUE(raw.Send(read).reports.empty()) << "fifth report: silent";
    EXPECT_TRUE(raw.Send(read).reports.empty());
    raw.board.PowerOn();
    EXPECT_EQ(raw.Send(read).reports.size(), 1u) << "counting starts again at power-on";
}

TEST(SimBoardFaults, PageOutOfStep) {
    const struct {
        const char* name;
        int page;
        int offset;
        std::vector<std::pair<uint8_t, int>> steps;  // command, page then shown
    } cases[] = {
        {"aheadAtTheStart", 0, 3, {{0x11, 3}, {0x02, 2}, {0x02, 1}, {0x02, 0}, {0x01, 1}}},
        {"behindAtTheStart", 0, -1, {{0x11, 25}, {0x01, 25}, {0x02, 24}}},
        {"skipMidway", 5, 2, {{0x11, 0}, {0x02, 25}, {0x01, 0}, {0x01, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawBoard raw;
        raw.board.Controller().SetPageOutOfStep(c.page, c.offset);
        for (const auto& [code, page] : c.steps) {
            raw.Command(5, code);
            EXPECT_EQ(raw.Read(raw.Object(37).address, 2)[1], page) << "after " << int(code);
        }
    }
    RawBoard raw;
    raw.board.Controller().SetPageOutOfStep(5, 2);
    raw.Command(5, 0x11);
    for (int i = 0; i < 4; ++i) {
        raw.Command(5, 0x01);
    }
    EXPECT_EQ(raw.Read(raw.Object(37).address, 2)[1], 4);
    raw.Command(5, 0x01);
    EXPECT_EQ(raw.Read(raw.Object(37).address, 2)[1], 7) << "forward onto page 5 lands on 7";
}

TEST(SimBoardFaults, UnplugOnceAtAPageRead) {
    RawBoard raw;
    raw.board.Faults().unplugAtPage = SimFaults::UnplugAtPage{2, 150};
    const uint16_t diagnostic = raw.Object(37).address;
    raw.Command(5, 0x11);
    EXPECT_FALSE(raw.Send(ReadReport(diagnostic, 60)).unplug);
    raw.Command(5, 0x01);
    EXPECT_FALSE(raw.Send(ReadReport(diagnostic, 60)).unplug);
    raw.Command(5, 0x01);
    EXPECT_FALSE(raw.Send(ReadReport(diagnostic + 60, 60)).unplug) << "not the page byte";

    const SimBoardReply reply = raw.Send(ReadReport(diagnostic, 60));
    EXPECT_TRUE(reply.unplug);
    EXPECT_EQ(reply.replugAfterMs, 150);
    EXPECT_TRUE(reply.reports.empty());

    raw.board.PowerOn();
    raw.Command(5, 0x11);
    raw.Command(5, 0x01);
    raw.Command(5, 0x01);
    EXPECT_FALSE(raw.Send(ReadReport(diagnostic, 60)).unplug) << "fires once";
}

TEST(SimBoardFaults, PushedSelfTestOncePerReferenceSwitch) {
    RawBoard raw;
    const SelfTestResult fault{0x11, 2, 6, 0};
    raw.board.Faults().pushSelfTest = SimPushedSelfTest{fault, 1};
    const uint16_t diagnostic = raw.Object(37).address;

    raw.Command(5, 0x11);
    EXPECT_EQ(raw.Send(ReadReport(diagnostic, 60)).reports.size(), 1u);
    raw.Command(5, 0x01);
    SimBoardReply reply = raw.Send(ReadReport(diagnostic, 60));
    ASSERT_EQ(reply.reports.size(), 2u);
    EXPECT_EQ(reply.reports[0].report[1], 0) << "the answer goes first";
    const SimReport& pushed = reply.reports[1].report;
    const uint8_t expected[] = {1, 0xFA, 0, raw.board.Controller().ReportIdOf(25), 0x11, 2, 6, 0};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), pushed.begin()));
    EXPECT_EQ(raw.Send(ReadReport(diagnostic, 60)).reports.size(), 1u) << "once per switch";

    raw.Command(5, 0x11);
    raw.Command(5, 0x01);
    EXPECT_EQ(raw.Send(ReadReport(diagnostic, 60)).reports.size(), 2u) << "the next test";
    EXPECT_EQ(raw.board.Controller().PendingMessages(), 3u) << "not from the message queue";
}

TEST(SimBoardFaults, ForwardedSelfTestResultLeavesTheQueue) {
    RawBoard raw;
    raw.DrainMessages();
    raw.board.Faults().forwardSelfTestResult = true;
    raw.board.Controller().Panel().SetSelfTest({0x12, 4, 1, 52});
    raw.board.Controller().QueueMessage(6, {0});

    const SimBoardReply reply = raw.Send(WriteReport(raw.Object(25).address + 1, {0x12}));
    ASSERT_EQ(reply.reports.size(), 2u);
    EXPECT_EQ(reply.reports[0].report[1], SimBoard::kStatusWritten);
    const uint8_t expected[] = {1, 0xFA, 0, raw.board.Controller().ReportIdOf(25), 0x12, 4, 1, 52};
    EXPECT_TRUE(
        std::equal(std::begin(expected), std::end(expected), reply.reports[1].report.begin()));
    EXPECT_EQ(raw.Message()[0], raw.board.Controller().ReportIdOf(6)) << "others stay queued";
    EXPECT_EQ(raw.Message()[0], 0xFF);
}

TEST(PanelModel, GoodPanelDeterministicForASeed) {
    const PanelModel a(7);
    const PanelModel b(7);
    const PanelModel c(8);
    bool differs = false;
    for (int x = 0; x < 32; ++x) {
        for (int y = 0; y < 52; ++y) {
            const int value = a.NodeValue(x, y);
            ASSERT_EQ(value, b.NodeValue(x, y));
            differs = differs || value != c.NodeValue(x, y);
            const int level =
                y >= PanelModel::kFirstKeyRow ? PanelModel::kKeyLevel : PanelModel::kVisibleLevel;
            ASSERT_LE(std::abs(value - level), PanelModel::kSpread) << x << "," << y;
            ASSERT_EQ(a.NodeAt(52 * x + y), value);
        }
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(a.NodeValue(32, 0), 0);
    EXPECT_EQ(a.NodeValue(0, -1), 0);
}

}  // namespace
