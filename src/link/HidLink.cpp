#include "link/HidLink.h"

#include <algorithm>

#include "app/Format.h"
#include "app/StatusLog.h"

namespace {

constexpr uint16_t kBoardVendorId = 0x03EB;
constexpr uint16_t kBoardProductId = 0x212C;
constexpr uint16_t kBoardVersionA = 0x1032;
constexpr uint16_t kBoardVersionB = 0x1132;
constexpr int kBoardInterface = 1;

constexpr uint8_t kStatusData = 0x00;
constexpr uint8_t kStatusWriteDone = 0x04;
constexpr uint8_t kStatusIgnored = 0x88;
constexpr uint8_t kStatusPushed = 0xFA;

// Threads with nothing to do look at stopping_ this often.
constexpr auto kIdleSlice = std::chrono::milliseconds(100);
// A failing read (device pulled, removal not handled yet) is retried after this pause, so
// the reader does not spin while the UI thread catches up.
constexpr auto kReadRetryPause = std::chrono::milliseconds(10);
// The write completion thread lets go of the write handle this often.
constexpr int kWriteSliceMs = 20;
// Answers usually arrive within a USB frame; spinning that long first avoids a sleep.
constexpr auto kSpinTime = std::chrono::microseconds(50);

}  // namespace

InterfaceRule PlatformInterfaceRule() {
#ifdef _WIN32
    return InterfaceRule::PathMarker;
#else
    return InterfaceRule::InterfaceNumber;
#endif
}

bool HasInterfaceMarker(std::string_view path) {
    return path.find("mi_01") != std::string_view::npos ||
           path.find("MI_01") != std::string_view::npos;
}

bool IsBoardInterface(const HidDeviceInfo& device, const BoardIdentity& identity,
                      InterfaceRule rule) {
    if (device.vendorId != identity.vendorId || device.productId != identity.productId) {
        return false;
    }
    if (std::find(identity.versions.begin(), identity.versions.end(), device.version) ==
        identity.versions.end()) {
        return false;
    }
    return rule == InterfaceRule::PathMarker ? HasInterfaceMarker(device.path)
                                             : device.interfaceNumber == kBoardInterface;
}

HidLink::HidLink(HidBackend& backend, StatusLog& log, InterfaceRule rule)
    : backend_(backend), log_(log), rule_(rule) {}

HidLink::~HidLink() {
    stopping_ = true;
    { std::lock_guard lock(readMutex_); }
    readWake_.notify_all();
    { std::lock_guard lock(writeMutex_); }
    writeWake_.notify_all();
    SignalWaiters();
    if (reportReaderThread_.joinable()) {
        reportReaderThread_.join();
    }
    if (writeCompletionThread_.joinable()) {
        writeCompletionThread_.join();
    }
    CloseBoard();
}

void HidLink::SetBoardIdentity() {
    identity.vendorId = kBoardVendorId;
    identity.productId = kBoardProductId;
    identity.versions = {kBoardVersionA, kBoardVersionB};
}

void HidLink::StartLink() {
    if (writeCompletionThread_.joinable()) {
        return;
    }
    writeCompletionThread_ = std::thread([this] { WriteCompletionThread(); });
    reportReaderThread_ = std::thread([this] { ReportReaderThread(); });
}

void HidLink::OpenBoard() {
    // Handles still open would otherwise be dropped while the threads use them.
    CloseBoard();
    SetBoardIdentity();
    for (const HidDeviceInfo& device : backend_.Enumerate()) {
        if (!IsBoardInterface(device, identity, rule_)) {
            continue;
        }
        devicePath = device.path;
        std::unique_ptr<HidHandle> readHandle = backend_.Open(device.path);
        if (!readHandle) {
            log_.AppendLog("读访问打开设备失败", 1, 1);
        }
        std::unique_ptr<HidHandle> writeHandle = backend_.Open(device.path);
        if (!writeHandle) {
            log_.AppendLog("写访问打开设备失败", 1, 1);
        }
        {
            std::lock_guard lock(writeMutex_);
            writeHandle_ = std::move(writeHandle);
            awaitingCompletion_ = false;
        }
        writePending = false;
        readFailing_ = false;
        {
            // connected and the read handle change together, so the reader never sees a
            // board that is connected but still without its handle.
            std::lock_guard lock(readMutex_);
            readHandle_ = std::move(readHandle);
            connected = true;
            ++openCount_;
        }
        readWake_.notify_all();
        return;
    }
}

void HidLink::CloseBoard() {
    // Cleared first: the reader and the completion thread then stop using the handles and
    // release their locks instead of taking them again.
    connected = false;
    {
        std::lock_guard lock(readMutex_);
        readHandle_.reset();
    }
    {
        std::lock_guard lock(writeMutex_);
        writeHandle_.reset();
        awaitingCompletion_ = false;
    }
    SignalWaiters();
}

bool HidLink::HasWriteHandle() const {
    return writeHandle_ != nullptr;
}

WriteStart HidLink::StartWrite(const HidReport& report) {
    WriteStart start;
    {
        std::lock_guard lock(writeMutex_);
        if (!writeHandle_) {
            return start;
        }
        start = writeHandle_->StartWrite(report.data(), report.size());
        awaitingCompletion_ = start.kind == WriteStart::Kind::Pending;
    }
    if (start.kind == WriteStart::Kind::Pending) {
        writeWake_.notify_all();
    }
    return start;
}

HidReport HidLink::InputReport() const {
    std::lock_guard lock(reportMutex_);
    return inputReport_;
}

bool HidLink::BoardLost() const {
    return !connected || readFailing_ || stopping_;
}

bool HidLink::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + timeout;
    while (std::chrono::steady_clock::now() - start < kSpinTime) {
        if (done()) {
            return true;
        }
        if (BoardLost()) {
            return false;
        }
        std::this_thread::yield();
    }
    std::unique_lock lock(waitMutex_);
    flagChanged_.wait_until(lock, deadline, [&] { return done() || BoardLost(); });
    return done();
}

void HidLink::SetPushedMessageHandler(PushedMessageHandler handler) {
    std::lock_guard lock(handlerMutex_);
    pushedMessageHandler_ = std::move(handler);
}

void HidLink::SignalWaiters() {
    // Taking the mutex orders the change before a waiter's check, so no wake-up is lost.
    { std::lock_guard lock(waitMutex_); }
    flagChanged_.notify_all();
}

void HidLink::ReportReaderThread() {
    // One byte more than a report, so an over-long report shows as too long, not as cut.
    std::array<uint8_t, kReportSize + 1> buffer{};
    while (!stopping_) {
        std::unique_lock lock(readMutex_);
        const uint64_t openSeen = openCount_;
        const auto reopened = [&] { return stopping_ || openCount_ != openSeen; };
        if (!connected) {
            readWake_.wait_for(lock, kIdleSlice, [&] { return stopping_ || connected; });
            continue;
        }
        if (!readHandle_) {
            lock.unlock();
            log_.AppendLog("无效的读报告句柄，可能是打开设备时失败", 1, 1);
            lock.lock();
            while (!reopened()) {
                readWake_.wait_for(lock, kIdleSlice, reopened);
            }
            continue;
        }
        const int length = readHandle_->Read(buffer.data(), buffer.size(), kReadSliceMs);
        if (length < 0) {
            readFailing_ = true;
            SignalWaiters();
            readWake_.wait_for(lock, kReadRetryPause, reopened);
            continue;
        }
        readFailing_ = false;
        lock.unlock();
        if (length != static_cast<int>(kReportSize) || !connected || openCount_ != openSeen) {
            continue;
        }
        HidReport report;
        std::copy_n(buffer.begin(), kReportSize, report.begin());
        DispatchReport(report);
    }
}

void HidLink::DispatchReport(const HidReport& report) {
    if (report[0] != 1 && report[0] != 2) {
        return;
    }
    const uint8_t status = report[1];
    if (status == kStatusData || status == kStatusWriteDone) {
        {
            std::lock_guard lock(reportMutex_);
            inputReport_ = report;
        }
        if (status == kStatusData) {
            dataReady = true;
        }
        ackReady = true;
        SignalWaiters();
        return;
    }
    if (status == kStatusIgnored) {
        return;
    }
    if (status == kStatusPushed) {
        if (report[2] == 0) {
            std::lock_guard lock(handlerMutex_);
            if (pushedMessageHandler_) {
                pushedMessageHandler_(report);
            }
        }
        return;
    }
    // One append, so no line of another thread lands inside the dump.
    std::string dump = "命令出错=\r\n";
    for (const uint8_t byte : report) {
        dump += Right(FormatZeroPadded(byte, 16), 2) + " ";
    }
    log_.AppendLog(dump, 0, 1);
}

void HidLink::WriteCompletionThread() {
    while (!stopping_) {
        std::unique_lock lock(writeMutex_);
        const bool work = writeWake_.wait_for(
            lock, kIdleSlice, [&] { return stopping_ || (awaitingCompletion_ && connected); });
        if (!work || stopping_) {
            continue;
        }
        if (!writeHandle_) {
            awaitingCompletion_ = false;
            continue;
        }
        // Asking the handle, rather than waiting for a signal, means a write that finished
        // before this thread looked is still seen: no completion is lost.
        if (writeHandle_->WaitWriteDone(kWriteSliceMs)) {
            awaitingCompletion_ = false;
            writePending = false;
            lock.unlock();
            SignalWaiters();
        }
    }
}
