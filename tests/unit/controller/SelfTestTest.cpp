#include "controller/SelfTest.h"

#include <gtest/gtest.h>

#include <thread>

#include "unit/controller/FakeController.h"

namespace {

using Message = FakeController::Message;

using Rig = ControllerRig;

// A self-test message of the standard table (report ID 2) as it stands in an input report.
InputReport Report(uint8_t result, uint8_t kind = 0, uint8_t x = 0, uint8_t y = 0, uint8_t id = 2) {
    InputReport report{};
    report[0] = 1;
    report[3] = id;
    report[4] = result;
    report[5] = kind;
    report[6] = x;
    report[7] = y;
    return report;
}

TEST(DecodeSelfTestMessage, Findings) {
    const struct {
        const char* name;
        InputReport report;
        const char* log;
        bool passed, failed;
        uint8_t pinX, pinY;
        const char* faultText;
    } cases[] = {
        {"gndShortOnX", Report(0x11, 2, 6, 0), "通道对GND短路，位置在X 5\r\n", false, true, 6, 0,
         "通道对GND短路，位置在X 5"},
        {"shortBetweenBoth", Report(0x12, 4, 1, 52),
         "通道之间短路，位置在X 0\r\n通道之间短路，位置在X 0位置在Y51\r\n", false, true, 1, 52,
         "通道之间短路，位置在X 0位置在Y51"},
        {"unknownKindOnY", Report(0x12, 9, 0, 3), "通道异常，位置在Y 2\r\n", false, true, 0, 3,
         "通道异常，位置在Y 2"},
        {"vddShort", Report(0x11, 1, 12, 0), "通道对VDD短路，位置在X11\r\n", false, true, 12, 0,
         "通道对VDD短路，位置在X11"},
        {"lowImpedance", Report(0x11, 6, 0, 13), "相邻通道阻抗过低，位置在Y12\r\n", false, true, 0,
         13, "相邻通道阻抗过低，位置在Y12"},
        {"kindThreeAndFive", Report(0x11, 5, 32, 0), "通道之间短路，位置在X31\r\n", false, true, 32,
         0, "通道之间短路，位置在X31"},
        {"faultWithoutChannel", Report(0x11, 3), "", false, true, 0, 0, "通道之间短路，"},
        {"allNormal", Report(0xFE), "引脚正常\r\n", true, false, 0, 0, ""},
        {"testWentWrong", Report(0x00, 7, 8, 9, 0x2A),
         "通道测试出错\r\nSelfTest=\r\n01 00 00 2A 00 07 08 09 00 00 00 00 00 00 00 00 \r\n", false,
         false, 0, 0, "通道测试出错"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.selfTest.DecodeSelfTestMessage(c.report);
        EXPECT_EQ(rig.log.Text(), c.log);
        EXPECT_EQ(rig.flags.selfTestPassed, c.passed);
        EXPECT_EQ(rig.flags.panelFailed, c.failed);
        EXPECT_EQ(rig.flags.pinFaultX, c.pinX);
        EXPECT_EQ(rig.flags.pinFaultY, c.pinY);
        EXPECT_EQ(rig.flags.FaultText(), c.faultText);
    }
}

TEST(DecodeSelfTestMessage, NormalPinsAfterAFaultStayFailed) {
    Rig rig;
    rig.selfTest.DecodeSelfTestMessage(Report(0x11, 2, 6, 0));
    rig.selfTest.DecodeSelfTestMessage(Report(0xFE));
    EXPECT_TRUE(rig.flags.panelFailed);
    EXPECT_TRUE(rig.flags.selfTestPassed);

    rig.flags.Reset();
    EXPECT_FALSE(rig.flags.panelFailed);
    EXPECT_FALSE(rig.flags.selfTestPassed);
    EXPECT_EQ(rig.flags.pinFaultX, 0);
    EXPECT_EQ(rig.flags.FaultText(), "");
}

TEST(OnPushedMessage, OnlySelfTestObjectsAreDecoded) {
    const struct {
        const char* name;
        uint8_t id;
        bool decoded;
    } cases[] = {
        {"selfTestObject", 2, true}, {"commandObject", 1, false}, {"typeFortySix", 4, false},
        {"noObject", 9, false},      {"noMessage", 0xFF, false},  {"idZero", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.selfTest.OnPushedMessage(Report(0x11, 2, 6, 0, c.id));
        EXPECT_EQ(rig.flags.panelFailed, c.decoded);
        EXPECT_EQ(rig.log.Text().empty(), !c.decoded);
    }

    Rig rig;
    SelfTest beforeAnyTable{rig.commands, rig.flags, rig.log};
    beforeAnyTable.OnPushedMessage(Report(0x11, 2, 6, 0));
    EXPECT_FALSE(rig.flags.panelFailed);
}

TEST(RunSelfTest, ReadsCommandsPollsAndDecodes) {
    Rig rig;
    rig.controller.selfTestResult = Message{2, 0x12, {4, 1, 52}};
    rig.controller.messages = {{1, 0}, {3, 0}};  // dropped on the way
    ASSERT_TRUE(rig.selfTest.RunSelfTest());
    const auto& trace = rig.controller.trace;
    ASSERT_GE(trace.size(), 3u);
    EXPECT_FALSE(trace[0].write);
    EXPECT_EQ(trace[0].address, 0x0210);
    EXPECT_EQ(trace[0].count, 6);
    EXPECT_TRUE(trace[1].write);
    EXPECT_EQ(trace[1].address, 0x0211);
    EXPECT_EQ(trace[1].bytes, std::vector<uint8_t>{0x12});
    EXPECT_EQ(trace[1].settleMs, 10);
    EXPECT_EQ(trace[2].address, 0x0210);
    EXPECT_EQ(rig.controller.Reads(0x0100), 3);
    EXPECT_TRUE(rig.flags.panelFailed);
    EXPECT_EQ(rig.flags.pinFaultY, 52);
    EXPECT_EQ(rig.log.Text(), "通道之间短路，位置在X 0\r\n通道之间短路，位置在X 0位置在Y51\r\n");
}

TEST(RunSelfTest, CommandByteReadingTwelveCountsAsTaken) {
    Rig rig;
    rig.controller.selfTestReadback = 0x12;
    ASSERT_TRUE(rig.selfTest.RunSelfTest());
    EXPECT_TRUE(rig.flags.selfTestPassed);
    EXPECT_EQ(rig.log.Text(), "引脚正常\r\n");
}

// The board may push the result instead of queueing it: the wait takes the pushed result,
// decoded on the reader thread, as the answer.
TEST(RunSelfTest, PushedResultIsTheAnswer) {
    Rig rig;
    rig.controller.selfTestResult.reset();
    rig.controller.onWrite = [&](uint16_t address, std::span<const uint8_t>) {
        if (address == 0x0211) {
            std::thread([&] { rig.selfTest.OnPushedMessage(Report(0xFE)); }).join();
        }
    };
    ASSERT_TRUE(rig.selfTest.RunSelfTest());
    EXPECT_TRUE(rig.flags.selfTestPassed);
    EXPECT_EQ(rig.log.Text(), "引脚正常\r\n");
    EXPECT_EQ(rig.controller.Reads(0x0100), 0);
}

TEST(RunSelfTest, PushBeforeTheCommandDoesNotAnswerIt) {
    Rig rig;
    rig.controller.selfTestResult.reset();
    rig.selfTest.OnPushedMessage(Report(0xFE));
    EXPECT_FALSE(rig.selfTest.RunSelfTest());
    EXPECT_EQ(rig.controller.Reads(0x0100), self_test_bounds::kMessageReads);
}

TEST(RunSelfTest, EveryWaitEndsInAFailedSelfTest) {
    const struct {
        const char* name;
        std::function<void(FakeController&)> arrange;
        int maxTransactions;
    } cases[] = {
        {"firstReadUnanswered", [](FakeController& c) { c.failFrom = 0; }, 1},
        {"commandNotSent", [](FakeController& c) { c.failFrom = 1; }, 2},
        {"commandByteNeverSettles", [](FakeController& c) { c.selfTestReadback = 0x33; },
         2 + self_test_bounds::kCommandPolls},
        {"pollStopsAnswering", [](FakeController& c) { c.failFrom = 2; }, 3},
        {"resultNeverComes", [](FakeController& c) { c.selfTestResult.reset(); },
         3 + self_test_bounds::kMessageReads},
        {"onlyOtherMessages",
         [](FakeController& c) {
             c.selfTestResult.reset();
             c.endlessMessage = Message{1, 0};
         },
         3 + self_test_bounds::kMessageReads},
        {"messagesStopAnswering",
         [](FakeController& c) {
             c.selfTestResult.reset();
             c.failFrom = 5;
         },
         6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.arrange(rig.controller);
        EXPECT_FALSE(rig.selfTest.RunSelfTest());
        EXPECT_EQ(static_cast<int>(rig.controller.trace.size()), c.maxTransactions);
        EXPECT_FALSE(rig.flags.selfTestPassed);
        EXPECT_FALSE(rig.flags.panelFailed);
        EXPECT_EQ(rig.log.Text(), "");
    }
}

}  // namespace
