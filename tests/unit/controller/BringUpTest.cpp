#include <gtest/gtest.h>

#include "controller/ControllerCommands.h"
#include "support/FakeStationView.h"
#include "unit/controller/FakeController.h"

namespace {

using Message = FakeController::Message;

constexpr uint16_t kCommand = 0x0110;
constexpr uint16_t kObject9 = 0x0120;
constexpr uint16_t kObject15 = 0x0200;
constexpr uint16_t kSelfTest = 0x0210;

struct Rig : ControllerRig {
    explicit Rig(const std::vector<FakeEntry>& entries = StandardEntries())
        : ControllerRig(entries) {
        // The standard table's answer to a report-all request.
        reportAllAnswer = {{1, 0}, {2, 0}, {3, 0}, {1, 0}};
        controller.onWrite = [this](uint16_t address, std::span<const uint8_t>) {
            if (address == kCommand + 3) {
                controller.messages.insert(controller.messages.end(), reportAllAnswer.begin(),
                                           reportAllAnswer.end());
            }
        };
    }

    BringUpResult Run() {
        view.SetTimer(timers::kBringUp, 100);
        return BringUpController(table, commands, selfTest, station);
    }

    std::vector<Message> reportAllAnswer;
    FakeStationView view;
    bool linkOk = false;
    bool controllerReady = false;
    int closes = 0;
    BringUpStation station{view, linkOk, controllerReady, false, [this] { ++closes; }};
};

TEST(BringUpController, StatusBranches) {
    const struct {
        const char* name;
        std::vector<Message> queue;
        std::vector<Message> reportAllAnswer;
        int object9Reads;  // chunks of 60, 60, 10 per ReadObject9
        int reportAlls;
        int object15Reads;
    } cases[] = {
        {"statusZero", {{1, 0}}, {}, 0, 0, 0},
        {"nothingPending", {}, {}, 0, 0, 0},
        {"otherObjectsThenZero", {{2, 0x90}, {3, 0x10}, {1, 0}}, {}, 0, 0, 0},
        {"busyBit", {{1, 0x80}, {1, 0}}, {}, 3, 0, 0},
        {"reportBitGoneOnSecondDrain", {{1, 0x10}, {1, 0}}, {}, 0, 0, 0},
        {"reportBitHandshake", {{1, 0x10}, {1, 0x10}}, {{1, 0}, {2, 0}, {3, 0}, {1, 0}}, 3, 1, 1},
        {"busyThenReportHandshake",
         {{1, 0x90}, {1, 0x10}, {1, 0x10}},
         {{1, 0}, {2, 0}, {4, 0}, {1, 0}},
         6,
         1,
         1},
        {"handshakeStatusNotZero",
         {{1, 0x10}, {1, 0x10}},
         {{1, 0}, {2, 0x01}, {3, 0}, {1, 0}},
         0,
         1,
         0},
        {"handshakeOutOfOrder", {{1, 0x10}, {1, 0x10}}, {{1, 0}, {3, 0}, {2, 0}, {1, 0}}, 0, 1, 0},
        {"handshakeRunsDry", {{1, 0x10}, {1, 0x10}}, {{1, 0}, {2, 0}}, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.controller.messages.assign(c.queue.begin(), c.queue.end());
        rig.reportAllAnswer = c.reportAllAnswer;
        EXPECT_EQ(rig.Run(), BringUpResult::Ready);
        EXPECT_TRUE(rig.linkOk);
        EXPECT_TRUE(rig.controllerReady);
        EXPECT_FALSE(rig.view.TimerArmed(timers::kBringUp));
        EXPECT_FALSE(rig.view.TimerArmed(timers::kOpenBoard));
        EXPECT_EQ(rig.closes, 0);
        EXPECT_EQ(rig.controller.Reads(kObject9) + rig.controller.Reads(kObject9 + 60) +
                      rig.controller.Reads(kObject9 + 120),
                  c.object9Reads);
        EXPECT_EQ(rig.controller.Writes(kCommand + 3), c.reportAlls);
        EXPECT_EQ(rig.controller.Reads(kObject15), c.object15Reads);
        EXPECT_EQ(rig.controller.Reads(kSelfTest), c.object15Reads);
        EXPECT_EQ(rig.log.Text().find("USB连接正常"), 0u);
        EXPECT_EQ(rig.log.Text().find("USB异常"), std::string::npos);
    }
}

TEST(BringUpController, SettingsComeFirstAndStartFollowsTheConfiguration) {
    for (const bool configValid : {false, true}) {
        SCOPED_TRACE(configValid);
        Rig rig;
        rig.station.configValid = configValid;
        rig.controller.messages = {{1, 0}};
        ASSERT_EQ(rig.Run(), BringUpResult::Ready);
        const auto& trace = rig.controller.trace;
        ASSERT_GE(trace.size(), 5u);
        EXPECT_EQ(trace[0].address, 0);  // header, then the table in one read of 48 bytes
        EXPECT_EQ(trace[1].address, 7);
        EXPECT_EQ(trace[1].count, 48);
        EXPECT_EQ(trace[2].address, kObject9 + 6);
        EXPECT_EQ(trace[3].address, 0x0310);
        EXPECT_EQ(trace[4].address, kCommand + 1);
        EXPECT_EQ(rig.view.ControlEnabled(ids::kStartButton),
                  configValid ? std::optional<bool>(true) : std::nullopt);
    }
}

TEST(BringUpController, LinkCheckFailureSearchesForTheBoardAgain) {
    Rig rig;
    rig.controller.memory[4] = 31;
    EXPECT_EQ(rig.Run(), BringUpResult::LinkFailed);
    EXPECT_EQ(rig.controller.trace.size(), 15u);
    EXPECT_FALSE(rig.linkOk);
    EXPECT_FALSE(rig.controllerReady);
    EXPECT_EQ(rig.closes, 1);
    EXPECT_FALSE(rig.view.TimerArmed(timers::kBringUp));
    EXPECT_EQ(rig.view.TimerPeriod(timers::kOpenBoard), 100);
    EXPECT_EQ(rig.log.Text(), "USB异常，请重新连接USB电缆\r\n");
}

// Without one of these objects the station would write to or read messages from address 0.
TEST(BringUpController, MissingObjectStopsBeforeAnyWrite) {
    for (const uint8_t missing : {5, 6, 9, 25, 37, 62}) {
        SCOPED_TRACE(static_cast<int>(missing));
        std::vector<FakeEntry> entries;
        for (const auto& e : StandardEntries()) {
            if (e.type != missing) {
                entries.push_back(e);
            }
        }
        Rig rig(entries);
        EXPECT_EQ(rig.Run(), BringUpResult::MissingObject);
        EXPECT_EQ(rig.controller.Count([](const Transaction& t) { return t.write; }), 0);
        EXPECT_FALSE(rig.controllerReady);
        EXPECT_TRUE(rig.linkOk);
        EXPECT_EQ(rig.closes, 0);
        EXPECT_FALSE(rig.view.TimerArmed(timers::kBringUp));
        EXPECT_NE(rig.log.Text().find("对象表缺少类型" + std::to_string(missing) + "\r\n"),
                  std::string::npos);
    }
}

// A controller that stops answering at any point of the bring-up never leaves it ready.
TEST(BringUpController, StoppingAtAnyTransactionIsAFailure) {
    Rig full;
    full.controller.messages = {{1, 0x90}, {1, 0x10}, {1, 0x10}};
    ASSERT_EQ(full.Run(), BringUpResult::Ready);
    const int transactions = static_cast<int>(full.controller.trace.size());

    for (int failFrom = 0; failFrom < transactions; ++failFrom) {
        SCOPED_TRACE(failFrom);
        Rig rig;
        rig.controller.messages = {{1, 0x90}, {1, 0x10}, {1, 0x10}};
        rig.controller.failFrom = failFrom;
        const BringUpResult result = rig.Run();
        EXPECT_EQ(result, failFrom == 0 ? BringUpResult::LinkFailed : BringUpResult::Failed);
        EXPECT_EQ(static_cast<int>(rig.controller.trace.size()), failFrom + 1);
        EXPECT_FALSE(rig.controllerReady);
        EXPECT_FALSE(rig.linkOk);
        EXPECT_EQ(rig.closes, 1);
        EXPECT_EQ(rig.view.TimerPeriod(timers::kOpenBoard), 100);
        EXPECT_FALSE(rig.view.TimerArmed(timers::kBringUp));
        const std::string tail = "USB异常，请重新连接USB电缆\r\n";
        EXPECT_TRUE(rig.log.Text().ends_with(tail));
    }
}

TEST(BringUpController, EndlessMessagesEndTheBringUp) {
    Rig rig;
    rig.controller.endlessMessage = Message{2, 0x10};
    EXPECT_EQ(rig.Run(), BringUpResult::Failed);
    EXPECT_FALSE(rig.controllerReady);
    EXPECT_LE(rig.controller.trace.size(), 10u + controller_bounds::kMessageReads);
}

}  // namespace
