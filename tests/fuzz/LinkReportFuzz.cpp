// Any input reports, of any length up to 128 bytes, through the link's reader thread: a report
// that is not 64 bytes long or whose ID is not 1 or 2 changes nothing; status 0 sets dataReady
// and ackReady and status 4 ackReady, both keeping the report as the answer; 0x88 and a pushed
// report with byte 2 not 0 change nothing; a pushed message with byte 2 = 0 reaches the handler
// once, byte for byte; every other status logs one dump and nothing else. Each report must be
// handled within a bound.
//
// Input: reports one after the other, each a length byte (taken modulo 129) and that many
// bytes, padded with zeros where the input ends.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/StatusLog.h"
#include "fuzz/FuzzSupport.h"
#include "link/HidLink.h"
#include "support/FakeHidBackend.h"

namespace {

constexpr size_t kMaxLength = 128;
constexpr size_t kMaxReports = 16;
constexpr auto kHandlingBound = std::chrono::seconds(5);

// One open link for the whole run: opening and starting threads per input would cost more
// than the reports.
struct OpenLink {
    FakeHidBackend backend;
    StatusLog log;
    HidLink link{backend, log};
    std::mutex pushedMutex;
    std::vector<HidReport> pushed;

    OpenLink() {
        link.SetPushedMessageHandler([this](const HidReport& report) {
            std::lock_guard lock(pushedMutex);
            pushed.push_back(report);
        });
        link.StartLink();
        link.OpenBoard();
        Require(link.connected, "the fake board did not open");
    }

    std::vector<HidReport> TakePushed() {
        std::lock_guard lock(pushedMutex);
        return std::exchange(pushed, {});
    }
};

OpenLink& Link() {
    static OpenLink open;
    return open;
}

void CheckReport(OpenLink& open, const FakeHidBackend::Bytes& report) {
    // The waiting caller clears the flags before its next transaction.
    open.link.dataReady = false;
    open.link.ackReady = false;
    open.log.Clear();
    const HidReport answerBefore = open.link.InputReport();

    open.backend.QueueReport(report);
    Require(open.backend.WaitUntilConsumed(kHandlingBound), "a report was not handled in time");

    bool data = false;
    bool ack = false;
    bool pushed = false;
    bool dumped = false;
    if (report.size() == kReportSize && (report[0] == 1 || report[0] == 2)) {
        switch (report[1]) {
            case 0x00:
                data = ack = true;
                break;
            case 0x04:
                ack = true;
                break;
            case 0x88:
                break;
            case 0xFA:
                pushed = report[2] == 0;
                break;
            default:
                dumped = true;
                break;
        }
    }
    HidReport asReport{};
    std::copy_n(report.begin(), std::min(report.size(), kReportSize), asReport.begin());

    Require(open.link.dataReady == data, "dataReady does not follow the status");
    Require(open.link.ackReady == ack, "ackReady does not follow the status");
    Require(open.link.InputReport() == (ack ? asReport : answerBefore),
            "the kept answer is not the last status-0 or status-4 report");

    const std::vector<HidReport> handled = open.TakePushed();
    Require(handled.size() == (pushed ? 1u : 0u), "a pushed message was lost, doubled or invented");
    Require(!pushed || handled.front() == asReport, "a pushed message changed on its way");

    const std::string expectedLog = dumped ? "命令出错=\r\n" + HexDump(asReport) + "\r\n" : "";
    Require(open.log.Text() == expectedLog, "the log is not one dump of an unknown status");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OpenLink& open = Link();
    size_t at = 0;
    for (size_t n = 0; n < kMaxReports && at < size; ++n) {
        const size_t length = data[at++] % (kMaxLength + 1);
        FakeHidBackend::Bytes report(length, 0);
        const size_t available = std::min(length, size - at);
        std::copy_n(data + at, available, report.begin());
        at += available;
        CheckReport(open, report);
    }
    return 0;
}
