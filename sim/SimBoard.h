#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/SimController.h"

using SimReport = std::array<uint8_t, 64>;

// One input report the board sends, and how much later than a prompt answer it goes out.
struct SimTimedReport {
    SimReport report{};
    int64_t extraDelayUs = 0;
};

// What the board does with one output report.
struct SimBoardReply {
    bool accepted = false;  // false: not a 64-byte report with report ID 1; the write fails
    std::vector<SimTimedReport> reports;  // in sending order; empty when the board stays silent
    bool unplug = false;                  // the board drops off the bus instead of answering
    int replugAfterMs = -1;               // with unplug: back after this long; negative: never
};

// The board pushes a self-test message (status 0xFA) on its own, once per switch to
// reference data, right after answering the first read that shows page atPage.
struct SimPushedSelfTest {
    SelfTestResult result;
    int atPage = 13;
};

// Fault injection. Report numbers count the accepted output reports from 1 since the board
// was last switched on (plugged in); faults that fire once stay fired across power cycles.
struct SimFaults {
    // Reports after this many get no answer at all.
    std::optional<uint32_t> silentAfterReports;

    struct ErrorStatus {
        uint32_t report = 0;
        uint8_t status = 0x01;
    };
    // Those reports are answered with the status alone; the controller is not touched.
    std::vector<ErrorStatus> errorStatuses;

    struct LateAnswer {
        uint32_t report = 0;
        int64_t extraDelayUs = 0;
    };
    std::vector<LateAnswer> lateAnswers;

    struct UnplugAtPage {
        int page = 0;
        int replugAfterMs = 200;  // negative: stays unplugged
    };
    // Once: the first read of the diagnostic object while it shows page pulls the board.
    std::optional<UnplugAtPage> unplugAtPage;

    std::optional<SimPushedSelfTest> pushSelfTest;

    // The board takes the pin test's result message from the controller and pushes it
    // right after acknowledging the command, so the message object never shows it.
    bool forwardSelfTestResult = false;
};

// The test board: a bridge between 64-byte HID reports and the controller's memory.
//
// An output report [1, 0x51, write count, read count, address low, address high,
// payload...] writes write count - 2 payload bytes at the address, then reads read count
// bytes from the same address, and is answered by exactly one input report: [1, 0, 0,
// data...] when bytes were read, [1, 4, 0, ...] when only a write was asked for. A report
// with another command, a write count outside 2..60 or a read count above 60 is answered
// with status 0x01 and does nothing. Pushed messages are [1, 0xFA, 0, message...].
// Not thread-safe (SimBackend locks around it). Deterministic.
class SimBoard {
public:
    static constexpr uint8_t kReportId = 1;
    static constexpr uint8_t kMemoryCommand = 0x51;
    static constexpr uint8_t kStatusData = 0x00;
    static constexpr uint8_t kStatusWritten = 0x04;
    static constexpr uint8_t kStatusRejected = 0x01;
    static constexpr uint8_t kStatusIgnored = 0x88;
    static constexpr uint8_t kStatusPushed = 0xFA;
    static constexpr int kMaxWriteCount = 60;
    static constexpr int kMaxReadCount = 60;

    explicit SimBoard(SimController controller = SimController());

    SimBoardReply HandleOutputReport(std::span<const uint8_t> report);

    // Switching on: the controller powers on and report numbers start again at 1.
    void PowerOn();

    SimController& Controller() { return controller_; }
    const SimController& Controller() const { return controller_; }
    SimFaults& Faults() { return faults_; }

    // Accepted output reports since the board was last switched on.
    uint32_t ReportCount() const { return reportCount_; }

    // [1, status, 0, data...]; data beyond byte 63 is cut off.
    static SimReport MakeReport(uint8_t status, std::span<const uint8_t> data = {});
    // A report that pushes a controller message (its report ID first).
    static SimReport MakePushedReport(std::span<const uint8_t> message);
    // The board's pushed self-test message for this controller.
    SimReport MakePushedSelfTest(const SelfTestResult& result) const;

private:
    bool ReadsDiagnosticPage(uint16_t address, int readCount) const;

    SimController controller_;
    SimFaults faults_;
    uint32_t reportCount_ = 0;
    bool unplugFired_ = false;
    int pushedAtEntry_ = -1;
};
