#include "link/UdevWatcher.h"

#include <libudev.h>
#include <poll.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

// How often the thread looks at stopping_ while no event comes.
constexpr int kPollSliceMs = 100;

}  // namespace

UdevWatcher::UdevWatcher(HidBackend::DeviceListener listener) : listener_(std::move(listener)) {
    udev_ = udev_new();
    if (udev_ == nullptr) {
        return;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

UdevWatcher::~UdevWatcher() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

void UdevWatcher::Run() {
    pollfd watched{};
    watched.fd = udev_monitor_get_fd(monitor_);
    watched.events = POLLIN;
    while (!stopping_) {
        if (poll(&watched, 1, kPollSliceMs) <= 0) {
            continue;
        }
        // A broken monitor socket would report the same error at once forever.
        if ((watched.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return;
        }
        if ((watched.revents & POLLIN) == 0) {
            continue;
        }
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            continue;
        }
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action != nullptr && node != nullptr && listener_) {
            if (std::strcmp(action, "add") == 0) {
                listener_(DeviceEvent::Arrival, node);
            } else if (std::strcmp(action, "remove") == 0) {
                listener_(DeviceEvent::Removal, node);
            }
        }
        udev_device_unref(device);
    }
}
