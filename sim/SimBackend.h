#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/HidBackend.h"
#include "sim/SimBoard.h"

struct SimBackendState;

// The simulated board as an ordinary HidBackend: one device with the board's identity
// (vendor 0x03EB, product 0x212C, version 0x1032, interface 1) under path while plugged.
//
// Every open handle gets its own copy of every input report sent while it is open, queued up
// to 64 reports (the oldest dropped, as the kernel does). With a latency of U microseconds a
// write completes U after StartWrite (which then says Pending) and its answer arrives U
// after that; with 0 the write is Completed at once and the answer is queued before
// StartWrite returns. The board answers one report after another: a late answer holds back
// the ones behind it.
//
// Unplug ends every open handle for good (Read -1, StartWrite Failed with
// kDeviceGoneError, WaitWriteDone true) and drops the answers still on their way; Plug
// switches the board on again (SimBoard::PowerOn). Each delivers its event to the
// WatchDevices listener on the calling thread, or on the backend's own thread for a re-plug
// after an unplug fault; never with the backend's lock held, and one event at a time, so
// the listener must not call Plug or Unplug itself.
//
// Thread-safe: any member may be called from any thread. Starts plugged in and switched on.
class SimBackend : public HidBackend {
public:
    static constexpr uint16_t kVendorId = 0x03EB;
    static constexpr uint16_t kProductId = 0x212C;
    static constexpr uint16_t kVersion = 0x1032;
    static constexpr int kInterfaceNumber = 1;
    static constexpr size_t kQueueLimit = 64;
    static constexpr int kDeviceGoneError = 19;     // as errno's ENODEV
    static constexpr int kInvalidReportError = 22;  // as errno's EINVAL: not a 64-byte report 1
    static constexpr int64_t kMaxLatencyUs = 1000000;

    explicit SimBackend(SimBoard board = SimBoard(), std::string path = "sim:board0");
    ~SimBackend() override;

    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate() override;
    // Null unless plugged and path is this board's path.
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    void WatchDevices(DeviceListener listener) override;

    const std::string& Path() const;
    void Plug();
    void Unplug();
    bool IsPlugged() const;

    // Per-report latency each way, clamped to 0..kMaxLatencyUs; applies to reports sent after.
    void SetLatencyUs(int64_t latencyUs);

    // Runs change on the board under the backend's lock, e.g. to set a fault or a node value
    // while the link is running. change must not call back into the backend.
    void WithBoard(const std::function<void(SimBoard&)>& change);

    // Sends a report the board makes up on its own to every open handle, now (dropped when
    // unplugged): a pushed message, a 0x88 report, anything a test needs.
    void InjectInputReport(const SimReport& report);
    // The board pushes this controller message (report ID first) with status 0xFA.
    void PushMessage(std::span<const uint8_t> message);

private:
    void RunScheduler();

    // Shared with the open handles, which may outlive the backend (they then fail).
    std::shared_ptr<SimBackendState> state_;
    std::thread scheduler_;
};
