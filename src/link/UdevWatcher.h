#pragma once

#include <atomic>
#include <thread>

#include "link/HidBackend.h"

struct udev;
struct udev_monitor;

// Arrival and removal of hidraw devices, from a udev monitor on its own thread. Events carry
// the device node ("/dev/hidraw3"), the path hidapi reports for the same interface; they are
// sent after udev has applied its rules, so an arrived node can be opened at once.
class UdevWatcher {
public:
    // Starts monitoring; listener runs on the watcher's thread and must not block. When udev
    // is not available no event ever arrives (Running() is false); after a failure of the
    // monitor's socket no further event arrives.
    explicit UdevWatcher(HidBackend::DeviceListener listener);
    // Stops the thread within about 100 ms.
    ~UdevWatcher();
    UdevWatcher(const UdevWatcher&) = delete;
    UdevWatcher& operator=(const UdevWatcher&) = delete;

    bool Running() const { return thread_.joinable(); }

private:
    void Run();

    HidBackend::DeviceListener listener_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
