#include "link/HidApiBackend.h"

#include <hidapi.h>

#include <cerrno>

#include "link/UdevWatcher.h"

namespace {

// The kernel keeps far fewer queued reports than this; the bound only guards the loop.
constexpr int kMaxStaleReports = 1024;
// The station's code for "the device takes no output reports".
constexpr int kErrorNoOutputReports = 1;

// errno as the link reports it. Only a device without output reports may read as 1, so
// EPERM (also 1) is reported as EACCES; an unknown failure reads as EIO.
int WriteErrorCode(int error) {
    if (error == ENOSYS || error == EOPNOTSUPP) {
        return kErrorNoOutputReports;
    }
    if (error == EPERM) {
        return EACCES;
    }
    return error == 0 ? EIO : error;
}

class HidApiHandle : public HidHandle {
public:
    explicit HidApiHandle(hid_device* device) : device_(device) {}
    ~HidApiHandle() override { hid_close(device_); }
    HidApiHandle(const HidApiHandle&) = delete;
    HidApiHandle& operator=(const HidApiHandle&) = delete;

    WriteStart StartWrite(const uint8_t* report, size_t length) override {
        errno = 0;
        if (hid_write(device_, report, length) >= 0) {
            return {WriteStart::Kind::Completed, 0};
        }
        return {WriteStart::Kind::Failed, WriteErrorCode(errno)};
    }

    bool WaitWriteDone(int) override { return true; }

    int Read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
        return hid_read_timeout(device_, buffer, capacity, timeoutMs);
    }

private:
    hid_device* device_;
};

}  // namespace

HidApiBackend::HidApiBackend() : ready_(hid_init() == 0) {}

HidApiBackend::~HidApiBackend() {
    watcher_.reset();
    if (ready_) {
        hid_exit();
    }
}

std::vector<HidDeviceInfo> HidApiBackend::Enumerate() {
    std::vector<HidDeviceInfo> devices;
    if (!ready_) {
        return devices;
    }
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info != nullptr; info = info->next) {
        HidDeviceInfo device;
        device.vendorId = info->vendor_id;
        device.productId = info->product_id;
        device.version = info->release_number;
        device.interfaceNumber = info->interface_number;
        device.path = info->path != nullptr ? info->path : "";
        devices.push_back(std::move(device));
    }
    hid_free_enumeration(list);
    return devices;
}

std::unique_ptr<HidHandle> HidApiBackend::Open(const std::string& path) {
    if (!ready_) {
        return nullptr;
    }
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
        return nullptr;
    }
    unsigned char stale[65];
    int dropped = 0;
    while (dropped < kMaxStaleReports && hid_read_timeout(device, stale, sizeof stale, 0) > 0) {
        ++dropped;
    }
    return std::make_unique<HidApiHandle>(device);
}

void HidApiBackend::WatchDevices(DeviceListener listener) {
    if (!watcher_) {
        watcher_ = std::make_unique<UdevWatcher>(std::move(listener));
    }
}
