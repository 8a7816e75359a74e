#include "HeadlessView.h"

#include <algorithm>
#include <vector>

namespace {

// The loop never sleeps longer than this, so done() is seen soon after another thread
// makes it true.
constexpr auto kIdleSlice = std::chrono::milliseconds(5);

}  // namespace

bool HeadlessView::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        if (done() || RunPosted(done) || RunDueTimers(done)) {
            return true;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        Clock::time_point wake = std::min(deadline, now + kIdleSlice);
        for (const auto& [id, timer] : timers_) {
            wake = std::min(wake, timer.due);
        }
        std::unique_lock lock(postedMutex_);
        postedChanged_.wait_until(lock, wake, [&] { return !posted_.empty(); });
    }
}

bool HeadlessView::RunPosted(const std::function<bool()>& done) {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty()) {
                return false;
            }
            call = std::move(posted_.front());
            posted_.pop_front();
        }
        call();
        if (done()) {
            return true;
        }
    }
}

bool HeadlessView::RunDueTimers(const std::function<bool()>& done) {
    // A handler may arm or stop timers, so the due ones are collected first.
    std::vector<int> due;
    const Clock::time_point now = Clock::now();
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) {
            due.push_back(id);
        }
    }
    for (const int id : due) {
        if (timers_.count(id) == 0) {
            continue;
        }
        if (timerHandler_) {
            timerHandler_(id);
        }
        const auto again = timers_.find(id);
        if (again != timers_.end()) {
            again->second.due = Clock::now() + again->second.period;
        }
        if (done()) {
            return true;
        }
    }
    return false;
}

bool HeadlessView::ControlEnabled(int controlId) const {
    const auto it = controls_.find(controlId);
    return it == controls_.end() || it->second;
}

bool HeadlessView::MenuItemEnabled(int menuId) const {
    const auto it = menuItems_.find(menuId);
    return it == menuItems_.end() || it->second;
}

MessageAnswer HeadlessView::ShowMessage(std::string_view text, std::string_view caption,
                                        MessageButtons, MessageIcon) {
    messages_ << (caption.empty() ? std::string_view("panelix") : caption) << ": " << text << "\n";
    return MessageAnswer::Ok;
}

std::string HeadlessView::ChooseFileToOpen(std::string_view, std::string_view) {
    return {};
}

std::string HeadlessView::ChooseFileToSave(std::string_view, std::string_view) {
    return {};
}

void HeadlessView::SetTimer(int timerId, int periodMs) {
    const auto period = std::chrono::milliseconds(std::max(periodMs, 1));
    timers_[timerId] = {period, Clock::now() + period};
}

void HeadlessView::SetStatus(std::string_view text, Colour) {
    statusText_ = std::string(text);
}

void HeadlessView::PostToUi(std::function<void()> call) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(call));
    }
    postedChanged_.notify_all();
}
