#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "controller/MemoryPort.h"
#include "controller/ObjectTable.h"

class ControllerCommands;
class StatusLog;

// Engine flags that the pin self test writes. Owned and reset by the test engine; written on
// the UI thread (RunSelfTest, the judging) and on the reader thread (a pushed self-test
// message), read by the verdict and the grid.
struct SelfTestFlags {
    std::atomic<bool> selfTestPassed{false};
    std::atomic<bool> panelFailed{false};
    std::atomic<uint8_t> pinFaultX{0};  // 1-based X channel of a pin fault, 0 = none
    std::atomic<uint8_t> pinFaultY{0};  // 1-based Y channel of a pin fault, 0 = none

    // All flags false or 0 and faultText empty.
    void Reset();
    // The log line of the last pin fault or test error.
    std::string FaultText() const;
    void SetFaultText(std::string text);

private:
    mutable std::mutex faultTextMutex_;
    std::string faultText_;
};

// Bounds of RunSelfTest's waits, in transactions of about 2 ms each on a full-speed board.
// The command byte reads 0 or 0x12 at once or within a few reads; the result message follows
// within the controller's pin test time, well under 500 reads.
namespace self_test_bounds {
constexpr int kCommandPolls = 100;
constexpr int kMessageReads = 500;
}  // namespace self_test_bounds

// The controller's pin self test (object type 25) and the decoding of its result message.
class SelfTest {
public:
    // The references must outlive the object.
    SelfTest(ControllerCommands& commands, SelfTestFlags& flags, StatusLog& log);

    // Takes a copy of the table that pushed messages are routed by. UI thread, after
    // ParseObjectTable; until then every pushed message is dropped.
    void UseTable(const ObjectTable& table);

    // Writes code at self-test object + 1, settle 10 ms. UI thread.
    bool WriteSelfTestCommand(uint8_t code);
    // Reads the whole self-test object (up to 60 bytes). UI thread.
    bool ReadSelfTestObject();

    // The whole test, UI thread: read the object, write 0x12, poll byte 1 until 0 or 0x12,
    // then read messages until one of the self-test object arrives and decode it. A result
    // that the board pushes meanwhile (already decoded on the reader thread) is taken as the
    // answer: the controller sends its result once, so no message would follow. One pushed
    // before the command answers nothing: selfTestPassed is cleared as the command goes out,
    // so only this test's result can set it. False when a transaction fails or a bound runs
    // out; the caller then has no result to judge by.
    bool RunSelfTest();

    // Decodes the self-test message standing in report (message from byte 3): sets the flags
    // and appends the finding's lines. Either thread; decodes do not interleave.
    void DecodeSelfTestMessage(const InputReport& report);

    // Reader thread: a report with status 0xFA and byte 2 = 0. Decodes it when its report ID
    // belongs to an object of type 25, drops it otherwise. Never waits for the UI thread.
    void OnPushedMessage(const InputReport& report);

private:
    ControllerCommands& commands_;
    SelfTestFlags& flags_;
    StatusLog& log_;
    std::mutex decodeMutex_;
    std::mutex routeMutex_;
    ObjectTable routeTable_;
    // Pushed self-test results decoded so far; RunSelfTest watches it change.
    std::atomic<uint32_t> pushedResults_{0};
};

// The opening text of a pin fault's log line for fault kind kind.
std::string FaultKindText(uint8_t kind);
