#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/HidBackend.h"

// A scripted HID backend for link tests: a list of devices, one board whose input reports
// the test queues (or a responder computes from each output report), scripted write
// outcomes, unplugging, and a check that no handle is destroyed while a call on it runs.
// Thread-safe.
class FakeHidBackend : public HidBackend {
public:
    using Bytes = std::vector<uint8_t>;
    // Answers one output report with the input reports to queue (none: the board is silent).
    using Responder = std::function<std::vector<Bytes>(const Bytes& output)>;

    static HidDeviceInfo Board(std::string path = "/dev/hidraw7") {
        return {0x03EB, 0x212C, 0x1032, 1, std::move(path)};
    }

    explicit FakeHidBackend(std::vector<HidDeviceInfo> devices = {Board()})
        : devices_(std::move(devices)) {}

    // --- scripting -------------------------------------------------------------------
    void SetDevices(std::vector<HidDeviceInfo> devices) {
        std::lock_guard lock(mutex_);
        devices_ = std::move(devices);
    }
    // Open calls by number (0 = first) that fail.
    void FailOpens(std::vector<int> openNumbers) {
        std::lock_guard lock(mutex_);
        failingOpens_ = std::move(openNumbers);
    }
    void SetResponder(Responder responder) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(responder);
    }
    // How StartWrite answers from now on. Pending writes finish after pendingMs (or when
    // FinishPendingWrite is called, with pendingMs < 0).
    void SetWriteOutcome(WriteStart outcome, int pendingMs = 0) {
        std::lock_guard lock(mutex_);
        writeOutcome_ = outcome;
        pendingMs_ = pendingMs;
    }
    void FinishPendingWrite() {
        {
            std::lock_guard lock(mutex_);
            writeFinished_ = true;
        }
        changed_.notify_all();
    }
    void QueueReport(Bytes report) {
        {
            std::lock_guard lock(mutex_);
            reports_.push_back(std::move(report));
        }
        changed_.notify_all();
    }
    // Reads fail from now on (the board is gone), or work again.
    void SetUnplugged(bool unplugged) {
        {
            std::lock_guard lock(mutex_);
            unplugged_ = unplugged;
        }
        changed_.notify_all();
    }
    // Delivers a device event the way the platform would, on the calling thread.
    void Emit(DeviceEvent event, const std::string& path) {
        DeviceListener listener;
        {
            std::lock_guard lock(mutex_);
            listener = listener_;
        }
        if (listener) {
            listener(event, path);
        }
    }

    // --- observing -------------------------------------------------------------------
    // Every report StartWrite was given, in order.
    std::vector<Bytes> Written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }
    int OpenCalls() const {
        std::lock_guard lock(mutex_);
        return openCalls_;
    }
    int LiveHandles() const {
        std::lock_guard lock(mutex_);
        return liveHandles_;
    }
    // Handles destroyed while a Read, StartWrite or WaitWriteDone on them was running.
    int DestroyedDuringCall() const {
        std::lock_guard lock(mutex_);
        return destroyedDuringCall_;
    }
    bool Watching() const {
        std::lock_guard lock(mutex_);
        return static_cast<bool>(listener_);
    }
    // Waits until every queued report has been taken and the reader has come back for the
    // next one, i.e. has finished handling them. False after timeout.
    bool WaitUntilConsumed(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            return reports_.empty() && readEntries_ > readEntriesAtLastTake_;
        });
    }

    // --- HidBackend ------------------------------------------------------------------
    std::vector<HidDeviceInfo> Enumerate() override {
        std::lock_guard lock(mutex_);
        return devices_;
    }

    std::unique_ptr<HidHandle> Open(const std::string& path) override {
        std::lock_guard lock(mutex_);
        const int number = openCalls_++;
        const bool known = std::any_of(devices_.begin(), devices_.end(),
                                       [&](const HidDeviceInfo& d) { return d.path == path; });
        if (!known || std::count(failingOpens_.begin(), failingOpens_.end(), number) != 0) {
            return nullptr;
        }
        reports_.clear();
        ++liveHandles_;
        return std::make_unique<Handle>(*this);
    }

    void WatchDevices(DeviceListener listener) override {
        std::lock_guard lock(mutex_);
        listener_ = std::move(listener);
    }

private:
    class Handle : public HidHandle {
    public:
        explicit Handle(FakeHidBackend& backend) : backend_(backend) {}
        ~Handle() override {
            std::lock_guard lock(backend_.mutex_);
            --backend_.liveHandles_;
            if (callsRunning_ != 0) {
                ++backend_.destroyedDuringCall_;
            }
        }

        WriteStart StartWrite(const uint8_t* report, size_t length) override {
            Enter();
            const WriteStart outcome = backend_.DoWrite(Bytes(report, report + length));
            Leave();
            return outcome;
        }
        bool WaitWriteDone(int timeoutMs) override {
            Enter();
            const bool done = backend_.DoWaitWriteDone(timeoutMs);
            Leave();
            return done;
        }
        int Read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
            Enter();
            const int length = backend_.DoRead(buffer, capacity, timeoutMs);
            Leave();
            return length;
        }

    private:
        void Enter() {
            std::lock_guard lock(backend_.mutex_);
            ++callsRunning_;
        }
        void Leave() {
            std::lock_guard lock(backend_.mutex_);
            --callsRunning_;
        }

        FakeHidBackend& backend_;
        int callsRunning_ = 0;  // guarded by backend_.mutex_
    };

    WriteStart DoWrite(Bytes report) {
        std::vector<Bytes> answers;
        Responder responder;
        WriteStart outcome;
        {
            std::lock_guard lock(mutex_);
            written_.push_back(report);
            if (unplugged_) {
                return {WriteStart::Kind::Failed, 1167};
            }
            outcome = writeOutcome_;
            responder = responder_;
            writeFinished_ = false;
            writeStarted_ = std::chrono::steady_clock::now();
        }
        if (outcome.kind != WriteStart::Kind::Failed && responder) {
            answers = responder(report);
        }
        for (auto& answer : answers) {
            QueueReport(std::move(answer));
        }
        return outcome;
    }

    bool DoWaitWriteDone(int timeoutMs) {
        std::unique_lock lock(mutex_);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const auto finishesAt = writeStarted_ + std::chrono::milliseconds(pendingMs_);
        if (pendingMs_ >= 0) {
            deadline = std::min(deadline, finishesAt);
        }
        changed_.wait_until(lock, deadline, [&] { return writeFinished_; });
        return writeFinished_ ||
               (pendingMs_ >= 0 && std::chrono::steady_clock::now() >= finishesAt);
    }

    int DoRead(uint8_t* buffer, size_t capacity, int timeoutMs) {
        std::unique_lock lock(mutex_);
        ++readEntries_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return unplugged_ || !reports_.empty(); });
        if (unplugged_) {
            return -1;
        }
        if (reports_.empty()) {
            return 0;
        }
        Bytes report = std::move(reports_.front());
        reports_.pop_front();
        readEntriesAtLastTake_ = readEntries_;
        const size_t length = std::min(report.size(), capacity);
        std::copy_n(report.begin(), length, buffer);
        return static_cast<int>(length);
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<HidDeviceInfo> devices_;
    std::vector<int> failingOpens_;
    Responder responder_;
    WriteStart writeOutcome_{WriteStart::Kind::Completed, 0};
    int pendingMs_ = 0;
    bool writeFinished_ = false;
    std::chrono::steady_clock::time_point writeStarted_{};
    std::deque<Bytes> reports_;
    bool unplugged_ = false;
    DeviceListener listener_;
    std::vector<Bytes> written_;
    int openCalls_ = 0;
    int liveHandles_ = 0;
    int destroyedDuringCall_ = 0;
    uint64_t readEntries_ = 0;
    uint64_t readEntriesAtLastTake_ = 0;
};
