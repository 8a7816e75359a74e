#include "controller/ControllerCommands.h"

#include <gtest/gtest.h>

#include "unit/controller/FakeController.h"

namespace {

using Rig = ControllerRig;

TEST(PageLabel, TwoCharacters) {
    EXPECT_EQ(PageLabel(0), "P 0");
    EXPECT_EQ(PageLabel(7), "P 7");
    EXPECT_EQ(PageLabel(12), "P12");
    EXPECT_EQ(PageLabel(255), "P55");
}

TEST(StoreDiagnosticPage, LittleEndianIntoPageOrder) {
    DiagnosticData data;
    data.pageBuffer[0] = 0x34;
    data.pageBuffer[1] = 0x12;
    data.pageBuffer[128 + 10] = 0xCD;
    data.pageBuffer[128 + 11] = 0xAB;
    data.pageBuffer[25 * 128 + 126] = 0xFF;
    data.pageBuffer[25 * 128 + 127] = 0xFF;
    for (int page : {0, 1, 25, 26, -1}) {
        StoreDiagnosticPage(data, page);
    }
    EXPECT_EQ(data.rawNodes[0], 0x1234);
    EXPECT_EQ(data.rawNodes[69], 0xABCD);  // page 1 index 5: node x 1, y 17
    EXPECT_EQ(data.rawNodes[69], data.rawNodes[52 * 1 + 17]);
    EXPECT_EQ(data.rawNodes[1663], 0xFFFF);
}

TEST(ControllerCommands, CommandBytesOffsetsAndSettleTimes) {
    const struct {
        const char* name;
        bool (*run)(ControllerCommands&);
        int offset;
        uint8_t value;
        int settleMs;
    } cases[] = {
        {"reset", [](ControllerCommands& c) { return c.ResetController(); }, 0, 0x01, 100},
        {"commit", [](ControllerCommands& c) { return c.CommitConfiguration(); }, 1, 0x55, 40},
        {"calibrate", [](ControllerCommands& c) { return c.CalibrateController(); }, 2, 0x01, 20},
        {"reportAll", [](ControllerCommands& c) { return c.RequestAllReports(); }, 3, 0x01, 40},
        {"diagnostic", [](ControllerCommands& c) { return c.SendDiagnosticCommand(0x11); }, 5, 0x11,
         10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        EXPECT_TRUE(c.run(rig.commands));
        ASSERT_EQ(rig.controller.trace.size(), 1u);
        const Transaction& t = rig.controller.trace[0];
        EXPECT_TRUE(t.write);
        EXPECT_EQ(t.address, 0x0110 + c.offset);
        EXPECT_EQ(t.bytes, std::vector<uint8_t>{c.value});
        EXPECT_EQ(t.settleMs, c.settleMs);

        rig.controller.failFrom = 0;
        EXPECT_FALSE(c.run(rig.commands));
    }
}

TEST(ControllerCommands, BringUpSettingsThenCommit) {
    Rig rig;
    EXPECT_TRUE(rig.commands.ApplyBringUpSettings());
    ASSERT_EQ(rig.controller.trace.size(), 3u);
    EXPECT_EQ(rig.controller.trace[0].address, 0x0120 + 6);
    EXPECT_EQ(rig.controller.trace[0].bytes, (std::vector<uint8_t>{0x69, 0xFF}));
    EXPECT_EQ(rig.controller.trace[0].settleMs, 40);
    EXPECT_EQ(rig.controller.trace[1].address, 0x0310);
    EXPECT_EQ(rig.controller.trace[1].bytes, std::vector<uint8_t>{0x00});
    EXPECT_EQ(rig.controller.trace[1].settleMs, 40);
    EXPECT_EQ(rig.controller.trace[2].address, 0x0110 + 1);

    Rig failing;
    failing.controller.failFrom = 1;
    EXPECT_FALSE(failing.commands.ApplyBringUpSettings());
    EXPECT_EQ(failing.controller.trace.size(), 2u);
}

TEST(ControllerCommands, WholeObjectReads) {
    const struct {
        const char* name;
        uint8_t size9;
        std::vector<std::pair<int, int>> reads;  // offset from the type-9 object, count
    } cases[] = {
        {"oneThirty", 130, {{0, 60}, {60, 60}, {120, 10}}},
        {"exactlySixty", 60, {{0, 60}}},
        {"oneTwenty", 120, {{0, 60}, {60, 60}}},
        {"sixtyOne", 61, {{0, 60}, {60, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto entries = StandardEntries();
        entries[2].size = c.size9;
        Rig rig(entries);
        EXPECT_TRUE(rig.commands.ReadObject9());
        ASSERT_EQ(rig.controller.trace.size(), c.reads.size());
        for (size_t r = 0; r < c.reads.size(); ++r) {
            EXPECT_EQ(rig.controller.trace[r].address, 0x0120 + c.reads[r].first);
            EXPECT_EQ(rig.controller.trace[r].count, c.reads[r].second);
        }
    }

    Rig rig;
    rig.controller.failFrom = 1;
    EXPECT_FALSE(rig.commands.ReadObject9());
    EXPECT_EQ(rig.controller.trace.size(), 2u);

    Rig whole;
    EXPECT_TRUE(whole.commands.ReadObject15());
    EXPECT_TRUE(whole.commands.ReadCommandObject());
    EXPECT_TRUE(whole.commands.ReadMessage());
    ASSERT_EQ(whole.controller.trace.size(), 3u);
    EXPECT_EQ(whole.controller.trace[0].address, 0x0200);
    EXPECT_EQ(whole.controller.trace[0].count, 11);
    EXPECT_EQ(whole.controller.trace[1].count, 6);
    EXPECT_EQ(whole.controller.trace[2].address, 0x0100);
    EXPECT_EQ(whole.controller.trace[2].count, 10);
    EXPECT_EQ(WholeReadCount(0), 60);
    EXPECT_EQ(WholeReadCount(200), 60);
}

using Message = FakeController::Message;

TEST(DrainToCommandMessage, StopsAtNoMessageOrTheCommandObject) {
    const struct {
        const char* name;
        std::vector<Message> queue;
        bool ok;
        int reads;
        uint8_t lastId, lastStatus;
    } cases[] = {
        {"emptyQueue", {}, true, 1, 0xFF, 0},
        {"selfTestThenCommand", {{2, 0xFE}, {3, 0}, {1, 0x10}, {1, 0}}, true, 3, 1, 0x10},
        {"othersThenEmpty", {{2, 0}, {4, 0}}, true, 3, 0xFF, 0},
        // The second command object (IDs 5) does not end the drain; the first (1) does.
        {"secondCommandObject", {{5, 0x80}, {1, 0x90}}, true, 2, 1, 0x90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto entries = StandardEntries();
        entries.push_back({6, 0x0400, 6, 1, 1});  // report ID 5
        Rig rig(entries);
        rig.controller.messages.assign(c.queue.begin(), c.queue.end());
        EXPECT_EQ(rig.commands.DrainToCommandMessage(), c.ok);
        EXPECT_EQ(rig.controller.Reads(0x0100), c.reads);
        EXPECT_EQ(rig.commands.LastMessageId(), c.lastId);
        EXPECT_EQ(rig.commands.LastMessageStatus(), c.lastStatus);
    }
}

TEST(WaitMessagesQuiet, StopsAtNoMessageOrStatusZero) {
    const struct {
        const char* name;
        std::vector<Message> queue;
        int reads;
    } cases[] = {
        {"emptyQueue", {}, 1},
        {"busyThenQuiet", {{1, 0x10}, {1, 0x10}, {2, 0}, {1, 0x10}}, 3},
        {"busyThenEmpty", {{1, 0x10}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.controller.messages.assign(c.queue.begin(), c.queue.end());
        EXPECT_TRUE(rig.commands.WaitMessagesQuiet());
        EXPECT_EQ(rig.controller.Reads(0x0100), c.reads);
        EXPECT_EQ(rig.sleeper.Calls(), c.reads);
        EXPECT_EQ(rig.sleeper.TotalMs(), 10 * c.reads);
    }
}

TEST(EnterReferenceMode, SwitchesAndConfirms) {
    Rig rig;
    rig.controller.messages = {{1, 0x10}, {1, 0}};
    EXPECT_TRUE(rig.commands.EnterReferenceMode());
    EXPECT_EQ(rig.log.Text(), "in refer mode\r\nconfirm refer mode\r\n");
    EXPECT_EQ(rig.controller.trace[0].address, 0x0110 + 5);
    EXPECT_EQ(rig.controller.trace[0].bytes, std::vector<uint8_t>{0x11});
    EXPECT_EQ(rig.controller.Reads(0x0110), 1);
}

// A controller that answers but never shows what a loop waits for, or that stops answering
// inside the loop: every loop gives up within its bound and says so.
TEST(ControllerCommands, EveryLoopEndsInAReportedFailure) {
    const struct {
        const char* name;
        std::function<void(FakeController&)> arrange;
        std::function<bool(ControllerCommands&)> run;
        int maxTransactions;
    } cases[] = {
        {"drainEndlessOtherMessages",
         [](FakeController& c) {
             c.endlessMessage = Message{2, 0};
         },
         [](ControllerCommands& c) { return c.DrainToCommandMessage(); },
         controller_bounds::kMessageReads},
        {"drainStopsAnswering",
         [](FakeController& c) {
             c.endlessMessage = Message{2, 0};
             c.failFrom = 3;
         },
         [](ControllerCommands& c) { return c.DrainToCommandMessage(); }, 4},
        {"quietNeverComes",
         [](FakeController& c) {
             c.endlessMessage = Message{1, 0x10};
         },
         [](ControllerCommands& c) { return c.WaitMessagesQuiet(); },
         controller_bounds::kMessageReads},
        {"quietStopsAnswering",
         [](FakeController& c) {
             c.endlessMessage = Message{1, 0x10};
             c.failFrom = 2;
         },
         [](ControllerCommands& c) { return c.WaitMessagesQuiet(); }, 3},
        {"commandNeverTaken", [](FakeController& c) { c.commandReadback = 0x11; },
         [](ControllerCommands& c) { return c.EnterReferenceMode(); },
         2 + controller_bounds::kCommandPolls},
        {"referenceModeStopsAnswering", [](FakeController& c) { c.failFrom = 2; },
         [](ControllerCommands& c) { return c.EnterReferenceMode(); }, 3},
        {"pageNeverShown",
         [](FakeController& c) {
             c.pagesStuck = true;
             c.shownPage = 9;
         },
         [](ControllerCommands& c) { return c.ReadDiagnosticPage(3); },
         1 + 2 * controller_bounds::kPageSteps},
        {"pageStopsAnswering", [](FakeController& c) { c.failFrom = 1; },
         [](ControllerCommands& c) { return c.ReadDiagnosticPage(0); }, 2},
        {"pageSyncStopsAnswering",
         [](FakeController& c) {
             c.shownPage = 4;
             c.failFrom = 3;
         },
         [](ControllerCommands& c) { return c.ReadDiagnosticPage(0); }, 4},
        {"object9StopsAnswering", [](FakeController& c) { c.failFrom = 0; },
         [](ControllerCommands& c) { return c.ReadObject9(); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.arrange(rig.controller);
        EXPECT_FALSE(c.run(rig.commands));
        EXPECT_LE(static_cast<int>(rig.controller.trace.size()), c.maxTransactions);
        EXPECT_GE(static_cast<int>(rig.controller.trace.size()), c.maxTransactions - 1);
    }
}

TEST(ReadDiagnosticPage, PageShownAtOnceCostsNoStepBeforeItsReads) {
    Rig rig;
    rig.controller.shownPage = 1;
    rig.controller.nodes[64 + 5] = 0x1234;
    rig.controller.nodes[64 + 63] = 0xBEEF;
    ASSERT_TRUE(rig.commands.ReadDiagnosticPage(1));
    const auto& trace = rig.controller.trace;
    ASSERT_GE(trace.size(), 5u);
    EXPECT_EQ(trace[0].address, 0x0220);
    EXPECT_EQ(trace[0].count, 60);
    EXPECT_EQ(trace[1].address, 0x0220 + 60);
    EXPECT_EQ(trace[1].count, 60);
    EXPECT_EQ(trace[2].address, 0x0220 + 120);
    EXPECT_EQ(trace[2].count, 10);
    EXPECT_EQ(trace[3].address, 0x0100);  // the quiet wait
    EXPECT_TRUE(trace.back().write);
    EXPECT_EQ(trace.back().bytes, std::vector<uint8_t>{0x01});
    EXPECT_EQ(rig.controller.shownPage, 2);

    EXPECT_EQ(rig.data.rawNodes[69], 0x1234);
    EXPECT_EQ(rig.data.rawNodes[127], 0xBEEF);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(rig.data.rawNodes[64 + i], rig.controller.nodes[64 + i]) << i;
    }
    EXPECT_EQ(rig.data.pageLabel, "P 1");
    EXPECT_EQ(rig.log.Text(), "");
}

TEST(ReadDiagnosticPage, OutOfStepPageIsStepped) {
    const struct {
        const char* name;
        int page, shown;
        const char* log;
    } cases[] = {
        {"threeShownAsFive", 3, 5,
         "target P 3 less,actual P 5\r\nnow--\r\ntarget P 3 less,actual P 4\r\nnow--\r\n"},
        {"zeroShownAsTwo", 0, 2,
         "target P 0 less,actual P 2\r\nnow--\r\ntarget P 0 less,actual P 1\r\nnow--\r\n"},
        {"twelveShownAsEleven", 12, 11, "target P12 more,actual P11\r\nnow++\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.controller.shownPage = c.shown;
        ASSERT_TRUE(rig.commands.ReadDiagnosticPage(c.page));
        EXPECT_EQ(rig.log.Text(), c.log);
        EXPECT_EQ(rig.data.pageLabel, PageLabel(c.page));
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(rig.data.rawNodes[64 * c.page + i], rig.controller.nodes[64 * c.page + i]);
        }
    }
}

TEST(ReadDiagnosticPage, AllPagesInOrder) {
    Rig rig;
    for (int page = 0; page < 26; ++page) {
        ASSERT_TRUE(rig.commands.ReadDiagnosticPage(page));
    }
    EXPECT_EQ(rig.data.rawNodes, rig.controller.nodes);
    EXPECT_EQ(rig.log.Text(), "");
    EXPECT_FALSE(rig.commands.ReadDiagnosticPage(26));
    EXPECT_FALSE(rig.commands.ReadDiagnosticPage(-1));
}

}  // namespace
