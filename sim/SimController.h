#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/PanelModel.h"

// One object of the simulated controller's object table, as the layout asks for it.
struct SimObjectSpec {
    uint8_t type = 0;
    uint16_t size = 1;       // bytes per instance, 1..256
    uint16_t instances = 1;  // 1..256
    uint8_t reportIdsPerInstance = 0;
};

// The same object as placed in memory, with the report IDs it owns (0..0 when none).
struct SimObject {
    uint8_t type = 0;
    uint16_t address = 0;
    uint16_t size = 0;
    uint16_t instances = 0;
    uint8_t reportIdsPerInstance = 0;
    uint8_t firstReportId = 0;
    uint8_t lastReportId = 0;
};

// The touch controller behind the simulated board, as the station sees it through memory
// reads and writes: a 7-byte information header at 0, the object table at 7 (6 bytes per
// entry), the objects after it in table order. Report IDs are handed out in table order
// from 1 (8-bit, as the station counts them).
//
// Behaviour hangs on the first table entry of each type, like the station's look-ups:
//  - type 5, message object: a read that covers its first byte takes the next message from
//    the queue (report ID first, then status and further bytes, zero-filled to the object's
//    size); with none pending it shows report ID 0xFF and zeros. Writes are ignored.
//  - type 6, command object: offset 0 (non-zero) resets, offset 1 = 0x55 commits the
//    configuration, offset 2 (non-zero) calibrates (SetCalibrationStatuses), offset 3
//    (non-zero) queues status-0 messages from types 6, 25, 46 and 6, offset 5 takes a diagnostic
//    command (0x11 reference data from page 0, 0x01 next page, 0x02 previous page, both wrapping
//    over the 26 pages; any other code selects an output this controller does not fill). Offsets
//    0-3 read back 0, offset 4 is plain memory, offset 5 reads back its code for
//    SetDiagnosticBusyReads reads, then 0.
//  - type 25, self test: 0x12 written to byte 1 runs the pin test, queues its result
//    message [ID, code, kind, X, Y] from the panel's SelfTestResult and reads back 0.
//  - type 37, diagnostic data: byte 0 the selected output, byte 1 the page shown, bytes
//    2..129 the page's 64 node values least significant byte first (node (x, y) is value
//    52 x + y, page p holds values 64 p .. 64 p + 63); zeros outside reference mode.
//    Writes are ignored.
//  - every other object byte is plain memory. Commit copies memory to the stored
//    configuration; reset and power-on bring it back, so uncommitted writes are lost.
// The header and the table are read-only; memory past the last object reads 0.
//
// Not thread-safe (SimBackend locks around it). Deterministic: the same calls give the
// same answers.
class SimController {
public:
    static constexpr uint8_t kFamilyId = 0x6A;
    static constexpr uint8_t kVariant = 0x03;
    static constexpr uint8_t kVersion = 0x21;
    static constexpr uint8_t kBuild = 0x07;
    static constexpr int kHeaderSize = 7;
    static constexpr int kTableEntrySize = 6;
    static constexpr int kMaxObjects = 64;
    static constexpr int kPageNodes = 64;
    static constexpr int kPageCount = PanelModel::kNodeCount / kPageNodes;
    static constexpr size_t kMaxPendingMessages = 64;  // the oldest message goes first

    static constexpr uint8_t kNoMessage = 0xFF;
    static constexpr uint8_t kCommitCode = 0x55;
    static constexpr uint8_t kReferenceDataCode = 0x11;
    static constexpr uint8_t kNextPageCode = 0x01;
    static constexpr uint8_t kPreviousPageCode = 0x02;
    static constexpr uint8_t kPinTestCode = 0x12;

    // Operations seen since construction, for tests that check what was asked of it.
    struct Counters {
        int resets = 0;
        int commits = 0;
        int calibrations = 0;
        int reportAlls = 0;
        int diagnosticCommands = 0;
        int selfTests = 0;
    };

    // The default table, in this order (type, bytes per instance, instances, IDs each):
    // 5 (10, 1, 0), 6 (6, 1, 1), 9 (70, 2, 10), 15 (11, 1, 1), 25 (6, 1, 1), 37 (130, 1, 0),
    // 38 (64, 1, 0), 7 (4, 1, 0), 8 (10, 1, 0), 18 (2, 1, 0), 40 (5, 1, 0), 42 (10, 1, 0),
    // 46 (9, 1, 1), 47 (22, 1, 0), 56 (36, 1, 1), 62 (54, 1, 1).
    static std::vector<SimObjectSpec> DefaultLayout();

    // Sizes and instances are clamped to 1..256; entries past the 64th, or that would not
    // fit below address 0x10000, are left out. Starts powered on.
    explicit SimController(PanelModel panel = PanelModel(),
                           std::vector<SimObjectSpec> layout = DefaultLayout());

    // As after switching on: the stored configuration back in memory, the message queue
    // holding the power-on messages, no diagnostic output selected.
    void PowerOn();

    // One memory access of the board. Read returns exactly count bytes.
    std::vector<uint8_t> Read(uint16_t address, size_t count);
    void Write(uint16_t address, std::span<const uint8_t> bytes);

    const std::vector<SimObject>& Objects() const { return objects_; }
    // The first table entry of that type; null when the table has none.
    const SimObject* FindObject(uint8_t type) const;

    PanelModel& Panel() { return panel_; }
    const PanelModel& Panel() const { return panel_; }

    // Header bytes 4 and 5, for a controller that reports another matrix. The node values
    // and pages stay those of 32 x 52.
    void SetMatrix(uint8_t xChannels, uint8_t yChannels);

    // Statuses of the command-object messages queued at power-on and reset. The default
    // {0x90, 0x10, 0x10} takes the station's bring-up through every step: a reset message,
    // a calibrating one, and one more that makes it ask for all reports.
    void SetPowerOnStatuses(std::vector<uint8_t> statuses) {
        powerOnStatuses_ = std::move(statuses);
    }
    // Statuses of the command-object messages that answer a calibrate command; the default
    // {0x10, 0x00} is "calibrating", then "quiet". Empty: no answer at all.
    void SetCalibrationStatuses(std::vector<uint8_t> statuses) {
        calibrationStatuses_ = std::move(statuses);
    }
    // How many reads still show a diagnostic command in command-object byte 5 before it
    // reads 0; negative keeps it there for good.
    void SetDiagnosticBusyReads(int reads) { diagnosticBusyReads_ = reads; }
    // Whenever a forward step (or the switch to reference data) would show page, the
    // controller shows page + offset instead (wrapping); backward steps are exact. A page
    // outside 0..25 switches this off.
    void SetPageOutOfStep(int page, int offset);

    // Queues a message from the first object of type: its report ID, then bytes.
    void QueueMessage(uint8_t type, std::vector<uint8_t> bytes);
    size_t PendingMessages() const { return messages_.size(); }
    // Removes and returns the oldest pending message of the first object of type, as a board
    // does that forwards it; nullopt when none is pending.
    std::optional<std::vector<uint8_t>> TakeMessage(uint8_t type);
    // Report ID of the first object of type (0 when absent or owning none).
    uint8_t ReportIdOf(uint8_t type) const;

    bool ReferenceMode() const { return diagnosticMode_ == kReferenceDataCode; }
    int PageShown() const { return page_; }
    // How often reference data has been selected; each test selects it once.
    int ReferenceEntries() const { return referenceEntries_; }
    const Counters& Count() const { return counters_; }

private:
    void WriteByte(uint16_t address, uint8_t value);
    void WriteCommandByte(int offset, uint8_t value);
    void RunDiagnosticCommand(uint8_t code);
    void StepPage(int step);
    void RunPinTest();
    void Reset();
    void TakeNextMessage();
    void RenderDiagnostic();
    void QueueRaw(std::vector<uint8_t> message);
    void ClearObjectState();
    bool IsPlainMemory(uint16_t address) const;

    PanelModel panel_;
    std::vector<SimObject> objects_;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> stored_;
    uint32_t tableEnd_ = 0;
    uint32_t memoryEnd_ = 0;
    // Copies, not pointers into objects_, so the controller can be copied and moved.
    std::optional<SimObject> messageObject_;
    std::optional<SimObject> commandObject_;
    std::optional<SimObject> selfTestObject_;
    std::optional<SimObject> diagnosticObject_;
    std::deque<std::vector<uint8_t>> messages_;
    std::vector<uint8_t> powerOnStatuses_{0x90, 0x10, 0x10};
    std::vector<uint8_t> calibrationStatuses_{0x10, 0x00};
    int diagnosticBusyReads_ = 0;
    int diagnosticBusyLeft_ = 0;
    int outOfStepPage_ = -1;
    int outOfStepOffset_ = 0;
    uint8_t diagnosticMode_ = 0;
    int page_ = 0;
    int referenceEntries_ = 0;
    Counters counters_;
};
