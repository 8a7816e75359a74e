#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The link's only view of HID devices. The real board is reached through hidapi, the
// simulated one through sim/; the link above never asks which one it has.

struct HidDeviceInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;      // the device's release number (bcdDevice)
    int interfaceNumber = -1;  // USB interface number; -1 when the platform does not say
    std::string path;          // opens the device; also the key of arrival and removal events
};

// Outcome of starting one output report.
struct WriteStart {
    enum class Kind { Completed, Pending, Failed };
    Kind kind = Kind::Failed;
    int errorCode = 0;  // platform error code when Failed (1: the device has no output reports)
};

// One open device. Read and the write calls may run on different threads at the same time;
// the handle must not be destroyed while a call on it is under way.
class HidHandle {
public:
    virtual ~HidHandle() = default;

    // Starts writing one output report (byte 0 = report ID). Completed: handed to the device.
    // Pending: under way; WaitWriteDone tells when it has finished. Failed: nothing was sent.
    virtual WriteStart StartWrite(const uint8_t* report, size_t length) = 0;

    // Waits up to timeoutMs for the pending write to finish (successfully or not). True when
    // no write is pending any more.
    virtual bool WaitWriteDone(int timeoutMs) = 0;

    // Waits up to timeoutMs for one input report. Returns its length (byte 0 = report ID),
    // 0 on time-out, -1 when the device is gone or the read failed.
    virtual int Read(uint8_t* buffer, size_t capacity, int timeoutMs) = 0;
};

enum class DeviceEvent { Arrival, Removal };

class HidBackend {
public:
    using DeviceListener = std::function<void(DeviceEvent event, const std::string& path)>;

    virtual ~HidBackend() = default;

    // Every HID interface present now.
    virtual std::vector<HidDeviceInfo> Enumerate() = 0;

    // Opens one interface by path; null when it cannot be opened. Input reports queued
    // before the open are dropped, so an old report never answers a new request.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path) = 0;

    // Starts delivering arrival and removal events. The listener may be called on any
    // thread; it must not block. Call at most once.
    virtual void WatchDevices(DeviceListener listener) = 0;
};
