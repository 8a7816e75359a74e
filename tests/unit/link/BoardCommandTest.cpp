#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "unit/link/LinkFixture.h"

namespace {

using Bytes = FakeHidBackend::Bytes;
using std::chrono::milliseconds;

// The bytes of a report given as hex text, zero after.
Bytes Expected(const std::string& hex) {
    Bytes report(64, 0);
    size_t i = 0;
    for (size_t pos = 0; pos + 1 < hex.size() && i < report.size(); pos += 3) {
        report[i++] = static_cast<uint8_t>(std::stoi(hex.substr(pos, 2), nullptr, 16));
    }
    return report;
}

struct ReportCase {
    std::string name;
    std::function<void(BoardCommand&)> send;
    Bytes expected;
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportBytesTest : public testing::TestWithParam<ReportCase>, public LinkFixture {};

TEST_P(ReportBytesTest, WritesExactlyTheseBytes) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    GetParam().send(board);
    const std::vector<Bytes> written = backend.Written();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], GetParam().expected);
}

const std::vector<uint8_t> kFullPayload = [] {
    std::vector<uint8_t> bytes(58);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});
    return bytes;
}();

const Bytes kFullPayloadReport = [] {
    Bytes report = Expected("01 51 3C 00 34 12");
    std::copy(kFullPayload.begin(), kFullPayload.end(), report.begin() + 6);
    return report;
}();

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportBytesTest,
    testing::Values(ReportCase{"Read7At0", [](BoardCommand& b) { b.ReadMemory(0, 7); },
                               Expected("01 51 02 07 00 00")},
                    ReportCase{"Write69FFAt0123",
                               [](BoardCommand& b) {
                                   const uint8_t bytes[] = {0x69, 0xFF};
                                   b.WriteMemory(0x0123, bytes, 10);
                               },
                               Expected("01 51 04 00 23 01 69 FF")},
                    ReportCase{"WriteCountTwoSendsNoPayload",
                               [](BoardCommand& b) {
                                   const uint8_t bytes[] = {0xAA, 0xBB};
                                   b.SendReport(1, 0x51, 2, 0, 0x0010, bytes);
                               },
                               Expected("01 51 02 00 10 00")},
                    ReportCase{"ShortPayloadPaddedWithZeros",
                               [](BoardCommand& b) {
                                   const uint8_t bytes[] = {0x7E};
                                   b.SendReport(1, 0x51, 5, 0, 0x2000, bytes);
                               },
                               Expected("01 51 05 00 00 20 7E 00 00")},
                    ReportCase{"FullPayloadFillsTheReport",
                               [](BoardCommand& b) { b.WriteMemory(0x1234, kFullPayload, 10); },
                               kFullPayloadReport}),
    [](const testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

struct RefusalCase {
    std::string name;
    std::function<void(LinkFixture&)> arrange;
    std::string log;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalTest : public testing::TestWithParam<RefusalCase>, public LinkFixture {};

// Every refusal says why (a busy link says nothing) and sends nothing that stays pending.
TEST_P(RefusalTest, RefusesWithItsLogLine) {
    GetParam().arrange(*this);
    log.Clear();
    const bool busy = link.writePending;
    EXPECT_FALSE(board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_EQ(log.Text(), GetParam().log);
    EXPECT_EQ(link.writePending, busy);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    testing::Values(RefusalCase{"NoBoard", [](LinkFixture&) {}, "设备未找到 (12:34:56)\r\n"},
                    RefusalCase{"NoWriteHandle",
                                [](LinkFixture& f) {
                                    f.backend.FailOpens({1});
                                    f.link.OpenBoard();
                                },
                                "无效的写报告句柄，可能是打开设备时失败 (12:34:56)\r\n"},
                    RefusalCase{"WriteFailsWithCode5",
                                [](LinkFixture& f) {
                                    f.backend.SetWriteOutcome({WriteStart::Kind::Failed, 5});
                                    f.link.OpenBoard();
                                },
                                "发送失败，错误代码：    5 (12:34:56)\r\n"},
                    RefusalCase{
                        "WriteFailsWithCode1",
                        [](LinkFixture& f) {
                            f.backend.SetWriteOutcome({WriteStart::Kind::Failed, 1});
                            f.link.OpenBoard();
                        },
                        "发送失败，错误代码：    1 (12:34:56)\r\n该设备不支持WriteFile函数。\r\n"},
                    RefusalCase{"WriteFailsWithCode0",
                                [](LinkFixture& f) {
                                    f.backend.SetWriteOutcome({WriteStart::Kind::Failed, 0});
                                    f.link.OpenBoard();
                                },
                                "发送失败，错误代码：    0 (12:34:56)\r\n"},
                    RefusalCase{"WritePending",
                                [](LinkFixture& f) {
                                    f.link.OpenBoard();
                                    f.link.writePending = true;
                                },
                                ""}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(BoardCommandNoBoardTest, EveryTransactionFailsAtOnce) {
    LinkFixture f;
    const uint8_t bytes[] = {0x01};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.board.ReadMemory(0, 7));
    EXPECT_FALSE(f.board.WriteMemory(0x40, bytes, 10));
    EXPECT_LT(std::chrono::steady_clock::now() - start, BoardCommand::kAnswerTimeout);
    EXPECT_EQ(f.log.Text(), "设备未找到 (12:34:56)\r\n设备未找到 (12:34:56)\r\n");
    EXPECT_EQ(f.sleeper.TotalMs(), 0);
}

TEST(BoardCommandOpenTest, FailedOpensAreLoggedAndTheBoardStillCountsAsConnected) {
    LinkFixture f;
    f.backend.FailOpens({0, 1});
    f.link.OpenBoard();
    EXPECT_TRUE(f.link.connected);
    EXPECT_EQ(f.log.Text(), "读访问打开设备失败 (12:34:56)\r\n写访问打开设备失败 (12:34:56)\r\n");
}

TEST(BoardCommandSendTest, FailedWriteClearsPendingSoTheNextSendGoesOut) {
    LinkFixture f;
    f.link.OpenBoard();
    f.backend.SetWriteOutcome({WriteStart::Kind::Failed, 0});
    EXPECT_FALSE(f.board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_FALSE(f.link.writePending);
    f.backend.SetWriteOutcome({WriteStart::Kind::Completed, 0});
    EXPECT_TRUE(f.board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_EQ(f.backend.Written().size(), 2u);
}

class TransactionTest : public testing::Test, public LinkFixture {};

TEST_F(TransactionTest, ReadAnswersWithTheBoardsBytes) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    ASSERT_TRUE(board.ReadMemory(0x0105, 3));
    EXPECT_EQ(std::vector<uint8_t>(board.AnswerData().begin(), board.AnswerData().end()),
              (std::vector<uint8_t>{0x05, 0x06, 0x07}));
    EXPECT_EQ(board.Answer()[1], 0x00);
    EXPECT_FALSE(link.dataReady);
}

TEST_F(TransactionTest, SilentBoardFailsAtTheTimeOutWithoutAStaleAnswer) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    ASSERT_TRUE(board.ReadMemory(0, 7));
    backend.SetResponder(nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(board.ReadMemory(0, 7));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, BoardCommand::kAnswerTimeout);
    EXPECT_LT(elapsed, 2 * BoardCommand::kAnswerTimeout);
    EXPECT_EQ(board.AnswerData().size(), 0u);
    EXPECT_EQ(board.Answer(), HidReport{});
}

TEST_F(TransactionTest, AnswerTooLateForOneReadIsNotTakenForTheNext) {
    OpenWithThreads();
    EXPECT_FALSE(board.ReadMemory(0x10, 1));
    backend.QueueReport(Report({1, 0x00, 0, 0xAA}));
    ASSERT_TRUE(backend.WaitUntilConsumed());
    backend.SetResponder([](const Bytes&) { return std::vector<Bytes>{Report({1, 0, 0, 0xBB})}; });
    ASSERT_TRUE(board.ReadMemory(0x20, 1));
    EXPECT_EQ(board.AnswerData()[0], 0xBB);
}

TEST_F(TransactionTest, BoardPulledOutDuringTheWaitEndsItAtOnce) {
    OpenWithThreads();
    backend.SetResponder([this](const Bytes&) {
        backend.SetUnplugged(true);
        return std::vector<Bytes>{};
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(board.ReadMemory(0, 7));
    EXPECT_LT(std::chrono::steady_clock::now() - start, BoardCommand::kAnswerTimeout);
}

TEST_F(TransactionTest, WriteSettlesOnlyAfterItsAcknowledgement) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    const uint8_t bytes[] = {0x01};
    EXPECT_TRUE(board.WriteMemory(0x40, bytes, 40));
    EXPECT_EQ(sleeper.TotalMs(), 40);
    EXPECT_FALSE(link.ackReady);

    backend.SetResponder(nullptr);
    EXPECT_FALSE(board.WriteMemory(0x40, bytes, 100));
    EXPECT_EQ(sleeper.TotalMs(), 40);
}

TEST_F(TransactionTest, WriteAfterAReadWaitsForItsOwnAcknowledgement) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    ASSERT_TRUE(board.ReadMemory(0x10, 1));
    backend.SetResponder(nullptr);
    const uint8_t bytes[] = {0x01};
    EXPECT_FALSE(board.WriteMemory(0x40, bytes, 20));
    EXPECT_EQ(sleeper.TotalMs(), 0);
}

TEST_F(TransactionTest, OversizedTransactionsAreNotSent) {
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    const std::vector<uint8_t> tooLong(59, 0x11);
    EXPECT_FALSE(board.ReadMemory(0, 61));
    EXPECT_FALSE(board.WriteMemory(0, tooLong, 10));
    EXPECT_TRUE(backend.Written().empty());
}

TEST_F(TransactionTest, PendingWriteRefusesTheNextSendSilentlyUntilItCompletes) {
    backend.SetWriteOutcome({WriteStart::Kind::Pending, 0}, -1);
    OpenWithThreads();
    EXPECT_TRUE(board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_FALSE(board.SendReport(1, 0x51, 2, 7, 0));
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(backend.Written().size(), 1u);

    backend.FinishPendingWrite();
    EXPECT_TRUE(link.WaitUntil([this] { return !link.writePending; }, milliseconds(1000)));
    EXPECT_TRUE(board.SendReport(1, 0x51, 2, 7, 0));
}

// A write that finishes before the completion thread looks must still clear writePending,
// or every later transaction would be refused.
TEST_F(TransactionTest, NoWriteCompletionIsLost) {
    backend.SetWriteOutcome({WriteStart::Kind::Pending, 0}, 0);
    backend.SetResponder(AnswerLikeBoard);
    OpenWithThreads();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(board.ReadMemory(static_cast<uint16_t>(i), 1)) << "transaction " << i;
        EXPECT_EQ(board.AnswerData()[0], static_cast<uint8_t>(i));
    }
}

}  // namespace
