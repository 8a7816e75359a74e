#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/HidBackend.h"

class UdevWatcher;

// The real board through hidapi's hidraw backend, with arrival and removal from a udev
// monitor of the hidraw subsystem. Paths are hidraw device nodes ("/dev/hidraw3"), the same
// in Enumerate, Open and the device events.
//
// Writes go straight to the kernel and complete before StartWrite returns (Completed or
// Failed, never Pending). Handles must be destroyed before the backend.
class HidApiBackend : public HidBackend {
public:
    HidApiBackend();
    ~HidApiBackend() override;
    HidApiBackend(const HidApiBackend&) = delete;
    HidApiBackend& operator=(const HidApiBackend&) = delete;

    // False when hidapi could not be initialised; Enumerate then finds nothing.
    bool Ready() const { return ready_; }

    std::vector<HidDeviceInfo> Enumerate() override;
    // Drops every input report the kernel queued before the open.
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    // Events come from the monitor's own thread. Without udev no events arrive.
    void WatchDevices(DeviceListener listener) override;

private:
    bool ready_ = false;
    std::unique_ptr<UdevWatcher> watcher_;
};
