#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "controller/MemoryPort.h"
#include "controller/ObjectTable.h"

class SelfTest;
class Sleeper;
class StationView;
class StatusLog;

// Reference data of one test as read from the diagnostic data object.
struct DiagnosticData {
    static constexpr int kPages = 26;
    static constexpr int kPageBytes = 128;
    static constexpr int kNodesPerPage = 64;
    static constexpr int kNodes = kPages * kNodesPerPage;  // 1664, node (x, y) at 52 x + y

    // Data bytes of each page, page p at p * 128. The test engine zeroes it before a test.
    std::array<uint8_t, kPages * kPageBytes> pageBuffer{};
    // Node values in page order: page p fills 64 p .. 64 p + 63.
    std::array<uint16_t, kNodes> rawNodes{};
    // "P" and the page shown by the last first read of a page, two characters ("P 7", "P12").
    std::string pageLabel;
};

// "P" followed by the last two characters of FormatPadded(page, 10).
std::string PageLabel(int page);

// Converts page (0..25) of pageBuffer into its 64 little-endian values of rawNodes; other
// pages are ignored.
void StoreDiagnosticPage(DiagnosticData& data, int page);

// How many transactions a loop that waits for the controller may spend before it gives up.
// The controller's message queue holds far fewer than one message per report ID, so 256
// reads drain anything it can hold; the diagnostic command is taken within a few reads; a
// page is reached in fewer than one page count of steps, so three page counts allow for a
// controller that misses a step now and then.
namespace controller_bounds {
constexpr int kMessageReads = 256;
constexpr int kCommandPolls = 100;
constexpr int kPageSteps = 3 * ObjectTable::kExpectedPageCount;
}  // namespace controller_bounds

// The commands, message reads and diagnostic page reads of the touch controller, at the
// objects of the table's by-type look-ups. Every operation runs on the UI thread, blocks it
// for its transactions and settle sleeps, and returns false as soon as a transaction fails
// (nothing sent, or no answer within the link's time-out) or a loop runs out of its bound;
// the caller then abandons what it was doing. No operation uses the answer of a failed read.
class ControllerCommands {
public:
    // All references must outlive the object.
    ControllerCommands(MemoryPort& memory, const ObjectTable& table, DiagnosticData& data,
                       StatusLog& log, Sleeper& sleeper);

    // Writes into the command object, each followed by its settle time.
    bool ResetController();                    // offset 0 = 0x01, 100 ms
    bool CommitConfiguration();                // offset 1 = 0x55, 40 ms
    bool CalibrateController();                // offset 2 = 0x01, 20 ms
    bool RequestAllReports();                  // offset 3 = 0x01, 40 ms
    bool SendDiagnosticCommand(uint8_t code);  // offset 5 = code, 10 ms

    // Reads the next message (the message object, its whole size up to 60 bytes). On success
    // LastMessage() holds it; on failure LastMessage() reads as "no message".
    bool ReadMessage();
    // Whole-object reads (up to 60 bytes; the type-9 object in chunks of 60). The answer of
    // the last chunk is in memory.Answer().
    bool ReadCommandObject();
    bool ReadObject15();
    bool ReadObject9();

    // Type 9 offset 6 = 0x69 0xFF, type 62 offset 0 = 0x00 (40 ms each), then a commit.
    bool ApplyBringUpSettings();

    // Reads messages until none is pending or one comes from the command object; at most
    // kMessageReads. The last message read stays in LastMessage().
    bool DrainToCommandMessage();
    // Reads messages 10 ms apart until none is pending or one has status 0; at most
    // kMessageReads (about 2.6 s of sleeps).
    bool WaitMessagesQuiet();
    // Diagnostic command 0x11, "in refer mode", WaitMessagesQuiet, command-object byte 5
    // polled until 0 (at most kCommandPolls reads), "confirm refer mode".
    bool EnterReferenceMode();
    // Reads page (0..25) into pageBuffer and rawNodes. Re-synchronises a page shown out of
    // step with previous/next commands and their log lines, at most kPageSteps commands;
    // ends with a next-page command. False also for a page outside 0..25.
    bool ReadDiagnosticPage(int page);

    // Report ID (input report byte 3) and status (byte 4) of the last message read.
    uint8_t LastMessageId() const { return lastMessage_[3]; }
    uint8_t LastMessageStatus() const { return lastMessage_[4]; }
    const InputReport& LastMessage() const { return lastMessage_; }

    MemoryPort& Memory() { return memory_; }
    const ObjectTable& Table() const { return table_; }
    StatusLog& Log() { return log_; }
    Sleeper& Sleep() { return sleeper_; }

private:
    bool WriteCommand(uint8_t offset, uint8_t value, int settleMs);
    bool ReadWhole(const ObjectLookup& object);
    bool ReadPageChunk(uint16_t address, uint8_t count, int to);

    MemoryPort& memory_;
    const ObjectTable& table_;
    DiagnosticData& data_;
    StatusLog& log_;
    Sleeper& sleeper_;
    InputReport lastMessage_{};
};

// Bytes a whole-object read asks for: the object's size, at most one report's 60 bytes; an
// object of 256 bytes (size 0) gets 60.
uint8_t WholeReadCount(uint8_t size);

// The station's side of the bring-up: its window, its flags and the board's closing.
struct BringUpStation {
    StationView& view;
    bool& linkOk;
    bool& controllerReady;
    bool configValid = false;  // a test configuration is in place: Start may be enabled
    std::function<void()> closeBoard;
};

enum class BringUpResult {
    Ready,          // controllerReady set; Start enabled when configValid
    LinkFailed,     // header check failed: board closed, the station searches for it again
    MissingObject,  // the table lacks an object the station writes to: not ready, board open
    Failed,         // a later transaction failed or a loop ran out: as LinkFailed
};

// Timer 1's routine, UI thread: checks the link (failure: linkOk false, timer 1 stopped, the
// board closed and timer 2 re-armed at 100 ms, so the station searches for the board again
// instead of ticking at a closed one), stops timer 1, reads and parses the table (and hands
// it to selfTest for routing pushed messages), refuses a table without the objects of types
// 5, 6, 9, 25, 37 and 62 ("对象表缺少类型N"), applies the bring-up settings, drains the
// messages, follows the 0x80 and 0x10 statuses through the report-all handshake and sets
// controllerReady. A failure after the link check logs "USB异常，请重新连接USB电缆" and
// returns to searching like a failed link check.
BringUpResult BringUpController(ObjectTable& table, ControllerCommands& commands,
                                SelfTest& selfTest, BringUpStation& station);
