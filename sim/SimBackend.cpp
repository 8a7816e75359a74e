#include "sim/SimBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

struct HandleQueue {
    std::deque<SimReport> reports;
    bool gone = false;
    Clock::time_point writeDoneAt{};
};

}  // namespace

struct SimBackendState {
    SimBackendState(SimBoard board, std::string path)
        : board(std::move(board)), path(std::move(path)) {}

    // Lock order: eventMutex before mutex; mutex is never held while calling out.
    std::mutex eventMutex;
    std::mutex mutex;
    // Woken on every change a waiter may look for: reports, write completions, unplug,
    // scheduled jobs, shutdown.
    std::condition_variable changed;

    SimBoard board;
    const std::string path;
    bool plugged = true;
    bool closed = false;
    uint64_t powerCycle = 0;  // answers of an earlier power cycle are never delivered
    int64_t latencyUs = 0;
    Clock::time_point lastDue{};
    std::vector<std::shared_ptr<HandleQueue>> handles;
    HidBackend::DeviceListener listener;

    struct Job {
        bool plug = false;
        uint64_t powerCycle = 0;
        SimReport report{};
    };
    // Equal times keep their insertion order, so reports due together go out in order.
    std::multimap<Clock::time_point, Job> jobs;

    void DeliverLocked(const SimReport& report) {
        for (const auto& handle : handles) {
            handle->reports.push_back(report);
            if (handle->reports.size() > SimBackend::kQueueLimit) {
                handle->reports.pop_front();
            }
        }
        changed.notify_all();
    }

    void ScheduleLocked(Clock::time_point due, Job job) {
        jobs.emplace(due, job);
        changed.notify_all();
    }

    // Plug and Unplug change the state under mutex and then tell the listener, all under
    // eventMutex, so events reach the listener in the order of the changes.
    void Plug() {
        std::lock_guard events(eventMutex);
        HidBackend::DeviceListener notify;
        {
            std::lock_guard lock(mutex);
            if (plugged || closed) {
                return;
            }
            plugged = true;
            ++powerCycle;
            lastDue = {};
            board.PowerOn();
            notify = listener;
        }
        if (notify) {
            notify(DeviceEvent::Arrival, path);
        }
    }

    void Unplug() {
        std::lock_guard events(eventMutex);
        HidBackend::DeviceListener notify;
        {
            std::lock_guard lock(mutex);
            if (!UnplugLocked()) {
                return;
            }
            notify = listener;
        }
        if (notify) {
            notify(DeviceEvent::Removal, path);
        }
    }

    bool UnplugLocked() {
        if (!plugged || closed) {
            return false;
        }
        plugged = false;
        ++powerCycle;
        for (const auto& handle : handles) {
            handle->gone = true;
            handle->reports.clear();
        }
        handles.clear();
        changed.notify_all();
        return true;
    }
};

namespace {

class SimHandle : public HidHandle {
public:
    SimHandle(std::shared_ptr<SimBackendState> state, std::shared_ptr<HandleQueue> queue)
        : state_(std::move(state)), queue_(std::move(queue)) {}

    ~SimHandle() override {
        std::lock_guard lock(state_->mutex);
        std::erase(state_->handles, queue_);
    }

    WriteStart StartWrite(const uint8_t* report, size_t length) override {
        SimBackendState& s = *state_;
        // Taken first, as Unplug does: an unplug fault must tell the listener before any
        // re-plug can.
        std::lock_guard events(s.eventMutex);
        std::unique_lock lock(s.mutex);
        if (s.closed || queue_->gone) {
            return {WriteStart::Kind::Failed, SimBackend::kDeviceGoneError};
        }
        if (report == nullptr) {
            return {WriteStart::Kind::Failed, SimBackend::kInvalidReportError};
        }
        const SimBoardReply reply = s.board.HandleOutputReport({report, length});
        if (!reply.accepted) {
            return {WriteStart::Kind::Failed, SimBackend::kInvalidReportError};
        }
        const auto now = Clock::now();
        const auto latency = std::chrono::microseconds(s.latencyUs);
        const auto writeDone = now + latency;
        queue_->writeDoneAt = std::max(queue_->writeDoneAt, writeDone);
        for (const auto& answer : reply.reports) {
            // The board answers in turn: nothing overtakes an answer still on its way.
            const auto due = std::max(
                writeDone + latency + std::chrono::microseconds(answer.extraDelayUs), s.lastDue);
            s.lastDue = due;
            if (due <= now) {
                s.DeliverLocked(answer.report);
            } else {
                s.ScheduleLocked(due, {false, s.powerCycle, answer.report});
            }
        }
        s.changed.notify_all();
        const WriteStart started{latency.count() > 0 ? WriteStart::Kind::Pending
                                                     : WriteStart::Kind::Completed};
        if (reply.unplug && s.UnplugLocked()) {
            if (reply.replugAfterMs >= 0) {
                s.ScheduleLocked(now + std::chrono::milliseconds(reply.replugAfterMs), {true});
            }
            const HidBackend::DeviceListener notify = s.listener;
            lock.unlock();
            if (notify) {
                notify(DeviceEvent::Removal, s.path);
            }
        }
        return started;
    }

    bool WaitWriteDone(int timeoutMs) override {
        SimBackendState& s = *state_;
        std::unique_lock lock(s.mutex);
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        for (;;) {
            const auto now = Clock::now();
            if (s.closed || queue_->gone || now >= queue_->writeDoneAt) {
                return true;
            }
            if (now >= deadline) {
                return false;
            }
            s.changed.wait_until(lock, std::min(deadline, queue_->writeDoneAt));
        }
    }

    int Read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
        if (buffer == nullptr || capacity == 0) {
            return -1;
        }
        SimBackendState& s = *state_;
        std::unique_lock lock(s.mutex);
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        for (;;) {
            if (s.closed || queue_->gone) {
                return -1;
            }
            if (!queue_->reports.empty()) {
                const SimReport& report = queue_->reports.front();
                const size_t length = std::min(capacity, report.size());
                std::copy_n(report.begin(), length, buffer);
                queue_->reports.pop_front();
                return static_cast<int>(length);
            }
            if (Clock::now() >= deadline) {
                return 0;
            }
            s.changed.wait_until(lock, deadline);
        }
    }

private:
    std::shared_ptr<SimBackendState> state_;
    std::shared_ptr<HandleQueue> queue_;
};

}  // namespace

SimBackend::SimBackend(SimBoard board, std::string path)
    : state_(std::make_shared<SimBackendState>(std::move(board), std::move(path))) {
    state_->board.PowerOn();
    scheduler_ = std::thread([this] { RunScheduler(); });
}

SimBackend::~SimBackend() {
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        state_->changed.notify_all();
    }
    scheduler_.join();
}

void SimBackend::RunScheduler() {
    SimBackendState& s = *state_;
    std::unique_lock lock(s.mutex);
    while (!s.closed) {
        if (s.jobs.empty()) {
            s.changed.wait(lock);
            continue;
        }
        const auto next = s.jobs.begin();
        if (Clock::now() < next->first) {
            s.changed.wait_until(lock, next->first);
            continue;
        }
        const SimBackendState::Job job = next->second;
        s.jobs.erase(next);
        if (job.plug) {
            lock.unlock();
            s.Plug();
            lock.lock();
        } else if (s.plugged && job.powerCycle == s.powerCycle) {
            s.DeliverLocked(job.report);
        }
    }
}

std::vector<HidDeviceInfo> SimBackend::Enumerate() {
    std::lock_guard lock(state_->mutex);
    if (!state_->plugged) {
        return {};
    }
    return {{kVendorId, kProductId, kVersion, kInterfaceNumber, state_->path}};
}

std::unique_ptr<HidHandle> SimBackend::Open(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    if (!state_->plugged || state_->closed || path != state_->path) {
        return nullptr;
    }
    auto queue = std::make_shared<HandleQueue>();
    state_->handles.push_back(queue);
    return std::make_unique<SimHandle>(state_, std::move(queue));
}

void SimBackend::WatchDevices(DeviceListener listener) {
    std::lock_guard lock(state_->mutex);
    state_->listener = std::move(listener);
}

const std::string& SimBackend::Path() const {
    return state_->path;
}

void SimBackend::Plug() {
    state_->Plug();
}

void SimBackend::Unplug() {
    state_->Unplug();
}

bool SimBackend::IsPlugged() const {
    std::lock_guard lock(state_->mutex);
    return state_->plugged;
}

void SimBackend::SetLatencyUs(int64_t latencyUs) {
    std::lock_guard lock(state_->mutex);
    state_->latencyUs = std::clamp<int64_t>(latencyUs, 0, kMaxLatencyUs);
}

void SimBackend::WithBoard(const std::function<void(SimBoard&)>& change) {
    std::lock_guard lock(state_->mutex);
    change(state_->board);
}

void SimBackend::InjectInputReport(const SimReport& report) {
    std::lock_guard lock(state_->mutex);
    if (state_->plugged && !state_->closed) {
        state_->DeliverLocked(report);
    }
}

void SimBackend::PushMessage(std::span<const uint8_t> message) {
    InjectInputReport(SimBoard::MakePushedReport(message));
}
