#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/HidBackend.h"

// A HidBackend that passes everything to another one and counts the output reports started
// on any of its handles: one per board transaction. Thread-safe.
class CountingBackend : public HidBackend {
public:
    // inner must outlive the object and every handle it opens.
    explicit CountingBackend(HidBackend& inner) : inner_(inner) {}

    std::vector<HidDeviceInfo> Enumerate() override { return inner_.Enumerate(); }

    std::unique_ptr<HidHandle> Open(const std::string& path) override {
        std::unique_ptr<HidHandle> handle = inner_.Open(path);
        if (!handle) {
            return nullptr;
        }
        return std::make_unique<CountingHandle>(std::move(handle), reports_);
    }

    void WatchDevices(DeviceListener listener) override {
        inner_.WatchDevices(std::move(listener));
    }

    int64_t Reports() const { return reports_.load(); }
    void ResetReports() { reports_ = 0; }

private:
    class CountingHandle : public HidHandle {
    public:
        CountingHandle(std::unique_ptr<HidHandle> inner, std::atomic<int64_t>& reports)
            : inner_(std::move(inner)), reports_(reports) {}

        WriteStart StartWrite(const uint8_t* report, size_t length) override {
            const WriteStart start = inner_->StartWrite(report, length);
            if (start.kind != WriteStart::Kind::Failed) {
                ++reports_;
            }
            return start;
        }
        bool WaitWriteDone(int timeoutMs) override { return inner_->WaitWriteDone(timeoutMs); }
        int Read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
            return inner_->Read(buffer, capacity, timeoutMs);
        }

    private:
        std::unique_ptr<HidHandle> inner_;
        std::atomic<int64_t>& reports_;
    };

    HidBackend& inner_;
    std::atomic<int64_t> reports_{0};
};
