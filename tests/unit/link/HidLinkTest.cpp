#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "unit/link/LinkFixture.h"

namespace {

using Bytes = FakeHidBackend::Bytes;
using std::chrono::milliseconds;

std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(PANELIX_TEST_DATA_DIR) + "/link/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Counting(uint8_t id, uint8_t status) {
    Bytes report(64);
    for (size_t i = 0; i < report.size(); ++i) {
        report[i] = static_cast<uint8_t>(i);
    }
    report[0] = id;
    report[1] = status;
    return report;
}

struct DispatchCase {
    std::string name;
    std::vector<Bytes> reports;
    bool dataReady;
    bool ackReady;
    int pushed;              // reports the pushed-message handler received
    std::string logFixture;  // expected log text, from tests/data/link; empty: no log
    bool withHandler = true;
};

void PrintTo(const DispatchCase& c, std::ostream* os) {
    *os << c.name;
}

class DispatchTest : public testing::TestWithParam<DispatchCase>, public LinkFixture {};

TEST_P(DispatchTest, ReportChangesExactlyWhatItsStatusSays) {
    std::mutex pushedMutex;
    std::vector<HidReport> pushed;
    if (GetParam().withHandler) {
        link.SetPushedMessageHandler([&](const HidReport& report) {
            std::lock_guard lock(pushedMutex);
            pushed.push_back(report);
        });
    }
    OpenWithThreads();
    for (const Bytes& report : GetParam().reports) {
        backend.QueueReport(report);
    }
    ASSERT_TRUE(backend.WaitUntilConsumed());
    EXPECT_EQ(link.dataReady, GetParam().dataReady);
    EXPECT_EQ(link.ackReady, GetParam().ackReady);
    EXPECT_EQ(log.Text(), GetParam().logFixture.empty() ? "" : ReadFixture(GetParam().logFixture));
    std::lock_guard lock(pushedMutex);
    ASSERT_EQ(static_cast<int>(pushed.size()), GetParam().pushed);
    if (!pushed.empty()) {
        EXPECT_EQ(pushed[0][3], 0x2A);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchTest,
    testing::Values(
        DispatchCase{"Status0SetsBothFlags", {Report({1, 0x00})}, true, true, 0, ""},
        DispatchCase{"Status4SetsOnlyAck", {Report({1, 0x04})}, false, true, 0, ""},
        DispatchCase{"ReportId2IsProcessed", {Report({2, 0x00})}, true, true, 0, ""},
        DispatchCase{"FlagsStaySetUntilCleared",
                     {Report({1, 0x00}), Report({1, 0x88}), Report({1, 0x04})},
                     true,
                     true,
                     0,
                     ""},
        DispatchCase{"Status88Ignored", {Report({1, 0x88})}, false, false, 0, ""},
        DispatchCase{
            "PushedMessageReachesHandler", {Report({1, 0xFA, 0, 0x2A})}, false, false, 1, ""},
        DispatchCase{
            "PushedWithByte2SetDropped", {Report({1, 0xFA, 1, 0x2A})}, false, false, 0, ""},
        DispatchCase{"PushedWithoutHandlerDropped",
                     {Report({1, 0xFA, 0, 0x2A})},
                     false,
                     false,
                     0,
                     "",
                     false},
        DispatchCase{
            "ErrorStatusDumpsTheReport", {Counting(1, 0x01)}, false, false, 0, "error_dump.txt"},
        DispatchCase{
            "ReportId0Dropped", {Report({0, 0x00}), Report({0, 0x01})}, false, false, 0, ""},
        DispatchCase{
            "ReportId3Dropped", {Report({3, 0x00}), Report({3, 0x01})}, false, false, 0, ""},
        DispatchCase{"ShortReportDropped",
                     {Report({1, 0x00}, 63), Report({1, 0x01}, 63)},
                     false,
                     false,
                     0,
                     ""},
        DispatchCase{"LongReportDropped",
                     {Report({1, 0x00}, 65), Report({1, 0x01}, 80)},
                     false,
                     false,
                     0,
                     ""}),
    [](const testing::TestParamInfo<DispatchCase>& info) { return info.param.name; });

TEST(HidLinkReaderTest, MissingReadHandleIsReportedOncePerOpen) {
    LinkFixture f;
    f.backend.FailOpens({0});
    f.OpenWithThreads();
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(f.log.Text(),
              "读访问打开设备失败 (12:34:56)\r\n"
              "无效的读报告句柄，可能是打开设备时失败 (12:34:56)\r\n");
}

// The threads read and wait on the handles while the UI thread opens and closes them: no
// handle may go away under a call, and none may be left behind.
TEST(HidLinkHandleTest, OpenAndCloseNeverPullAHandleFromUnderACall) {
    LinkFixture f;
    f.backend.SetWriteOutcome({WriteStart::Kind::Pending, 0}, -1);
    f.link.StartLink();
    for (int i = 0; i < 30; ++i) {
        f.link.OpenBoard();
        f.backend.QueueReport(Report({1, 0x04}));
        EXPECT_TRUE(f.board.SendReport(1, 0x51, 2, 1, 0));
        std::this_thread::sleep_for(milliseconds(i % 3));
        if (i % 2 == 0) {
            f.link.CloseBoard();
        }
    }
    f.link.CloseBoard();
    EXPECT_EQ(f.backend.DestroyedDuringCall(), 0);
    EXPECT_EQ(f.backend.LiveHandles(), 0);
}

TEST(HidLinkHandleTest, DestructorStopsTheThreadsPromptly) {
    FakeHidBackend backend;
    StatusLog log;
    auto link = std::make_unique<HidLink>(backend, log);
    link->StartLink();
    link->OpenBoard();
    const auto start = std::chrono::steady_clock::now();
    link.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
    EXPECT_EQ(backend.LiveHandles(), 0);
}

TEST(HidLinkOpenTest, SearchWithoutTheBoardKeepsItsLastPath) {
    LinkFixture f;
    f.link.OpenBoard();
    ASSERT_EQ(f.link.devicePath, "/dev/hidraw7");
    f.link.CloseBoard();
    f.backend.SetDevices({{0x046D, 0xC52B, 0x1201, 2, "/dev/hidraw9"}});
    f.link.OpenBoard();
    EXPECT_FALSE(f.link.connected);
    EXPECT_EQ(f.link.devicePath, "/dev/hidraw7");
}

}  // namespace
