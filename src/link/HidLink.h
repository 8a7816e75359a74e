#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/HidBackend.h"

class StatusLog;

// One 64-byte HID report, byte 0 the report ID.
constexpr size_t kReportSize = 64;
using HidReport = std::array<uint8_t, kReportSize>;

// The USB identity by which the board is told apart from every other HID interface.
struct BoardIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::array<uint16_t, 2> versions{};  // the accepted device release numbers
};

// How interface 1 of the composite board is recognised. Windows names it only in the device
// path ("mi_01"); elsewhere the platform reports the interface number.
enum class InterfaceRule { PathMarker, InterfaceNumber };

// PathMarker when built for Windows, InterfaceNumber elsewhere.
InterfaceRule PlatformInterfaceRule();

// True when path contains "mi_01" or "MI_01". Mixed case ("Mi_01") is not the marker.
bool HasInterfaceMarker(std::string_view path);

// True when device is the board's interface 1: vendor and product as in identity, a version
// from identity.versions, and interface 1 by rule.
bool IsBoardInterface(const HidDeviceInfo& device, const BoardIdentity& identity,
                      InterfaceRule rule);

// The station's only path to the test board: finds and opens it, runs the report reader and
// the write completion threads, and shares one-byte flags and the last response with the UI
// thread.
//
// Threads. OpenBoard, CloseBoard, StartWrite and the fields devicePath, identity and
// outputReport belong to the UI thread. The reader thread sets dataReady and ackReady; the
// waiting caller clears them. writePending is set by the sender and cleared by the sender
// (the write finished at once or failed) or by the write completion thread. Both threads run
// from StartLink until the object is destroyed; the destructor stops and joins them within
// about 100 ms. A handle is never destroyed while a read or a write call on it runs:
// CloseBoard waits for the reader's current read, at most kReadSliceMs.
class HidLink {
public:
    using PushedMessageHandler = std::function<void(const HidReport& report)>;

    // Each read of the reader thread ends after this long, so CloseBoard gets the handle.
    static constexpr int kReadSliceMs = 20;

    // backend and log must outlive the link. rule: how interface 1 is recognised.
    HidLink(HidBackend& backend, StatusLog& log, InterfaceRule rule = PlatformInterfaceRule());
    ~HidLink();
    HidLink(const HidLink&) = delete;
    HidLink& operator=(const HidLink&) = delete;

    // Loads the board's identity into identity: vendor 0x03EB, product 0x212C, versions
    // 0x1032 and 0x1132.
    void SetBoardIdentity();

    // Starts the write completion and report reader threads. Later calls do nothing.
    void StartLink();

    // One search for the board. On a match: devicePath = its path, connected = true, both
    // handles opened ("读访问打开设备失败" / "写访问打开设备失败" logged when one fails, connected
    // stays true), writePending cleared and the reader started. Without a match connected is
    // false and devicePath keeps the board's last path. Handles of an earlier open are closed
    // first.
    void OpenBoard();

    // Closes both handles and clears connected; the flags stay as they are. Blocks at most
    // kReadSliceMs while the reader finishes its read. Does nothing to a closed board.
    void CloseBoard();

    // True while a write handle is open.
    bool HasWriteHandle() const;

    // Starts writing report on the write handle. Pending: the write completion thread clears
    // writePending once the backend says it is done. Failed (errorCode 0) when no write
    // handle is open.
    WriteStart StartWrite(const HidReport& report);

    // A copy of the last response (status 0 or 4) the reader took in; all zero before the
    // first. Other reports (pushed, ignored, errors) never replace it.
    HidReport InputReport() const;

    // Blocks until done() is true (true), or until the board is closed, its reads fail or
    // timeout passes (false; done() is checked once more first). Spins for a few microseconds,
    // then sleeps on a condition that the threads signal whenever a flag changes. done() must
    // only read atomics.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Called on the reader thread for every report with status 0xFA and byte 2 = 0 (a
    // controller message pushed by the board). While no handler is set those reports are
    // dropped. A handler being replaced is not running any more when this returns, so it
    // must not call SetPushedMessageHandler itself; it must not block.
    void SetPushedMessageHandler(PushedMessageHandler handler);

    // True once a matching interface was found; false after CloseBoard and at the start of
    // every OpenBoard.
    std::atomic<bool> connected{false};
    // True from the start of a write until it has completed.
    std::atomic<bool> writePending{false};
    // Set by a response with status 0 (data read back).
    std::atomic<bool> dataReady{false};
    // Set by a response with status 0 or 4 (write done).
    std::atomic<bool> ackReady{false};

    // The board's device path as the backend reports it: the key of arrival and removal
    // events. Empty until the board was first found.
    std::string devicePath;
    BoardIdentity identity;
    // The report being written; only BoardCommand fills it.
    HidReport outputReport{};

private:
    void ReportReaderThread();
    void WriteCompletionThread();
    void DispatchReport(const HidReport& report);
    void SignalWaiters();
    bool BoardLost() const;

    HidBackend& backend_;
    StatusLog& log_;
    const InterfaceRule rule_;

    std::atomic<bool> stopping_{false};
    // The last read on the board failed: no answer can arrive until it reads again.
    std::atomic<bool> readFailing_{false};
    // Counts opens, so a report read on a handle since closed is never dispatched.
    std::atomic<uint64_t> openCount_{0};

    // Held by the reader around one read; guards readHandle_.
    std::mutex readMutex_;
    std::condition_variable readWake_;
    std::unique_ptr<HidHandle> readHandle_;

    // Held around every call on writeHandle_; guards it and awaitingCompletion_.
    std::mutex writeMutex_;
    std::condition_variable writeWake_;
    std::unique_ptr<HidHandle> writeHandle_;
    bool awaitingCompletion_ = false;

    mutable std::mutex reportMutex_;
    HidReport inputReport_{};

    std::mutex waitMutex_;
    std::condition_variable flagChanged_;

    std::mutex handlerMutex_;
    PushedMessageHandler pushedMessageHandler_;

    std::thread writeCompletionThread_;
    std::thread reportReaderThread_;
};
