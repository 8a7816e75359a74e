#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "app/StationView.h"

// The station's window for panelix-cli: no display, its timers run by RunUntil on the
// calling (UI) thread. Message boxes are written to a stream and answered OK; file choosers
// answer "cancelled". Only PostToUi may be called from another thread.
class HeadlessView : public StationView {
public:
    // messages receives the text of every message box; it must outlive the view.
    explicit HeadlessView(std::ostream& messages) : messages_(messages) {}

    // Receives every timer tick, as the window would pass it to Station::OnTimer.
    void SetTimerHandler(std::function<void(int timerId)> handler) {
        timerHandler_ = std::move(handler);
    }

    // Runs posted calls and due timer ticks, as a window's event loop would, until done() is
    // true (true) or timeout has passed (false). done() is checked after every call and tick.
    // A timer whose handler ran long fires once afterwards, not once per period missed.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // The last state each control and menu item was put in (enabled unless told otherwise).
    bool ControlEnabled(int controlId) const;
    bool MenuItemEnabled(int menuId) const;
    bool TimerArmed(int timerId) const { return timers_.count(timerId) != 0; }
    const std::string& StatusText() const { return statusText_; }

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) override;
    std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) override;
    void EnableControl(int controlId, bool enabled) override { controls_[controlId] = enabled; }
    void EnableMenuItem(int menuId, bool enabled) override { menuItems_[menuId] = enabled; }
    void SetTimer(int timerId, int periodMs) override;
    void KillTimer(int timerId) override { timers_.erase(timerId); }
    void SetStatus(std::string_view text, Colour background) override;
    void RebuildGrid() override {}
    void ShowNodeValues() override {}
    void RefreshCounters() override {}
    void PostToUi(std::function<void()> call) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    bool RunPosted(const std::function<bool()>& done);
    bool RunDueTimers(const std::function<bool()>& done);

    std::ostream& messages_;
    std::function<void(int)> timerHandler_;
    std::map<int, Timer> timers_;
    std::map<int, bool> controls_;
    std::map<int, bool> menuItems_;
    std::string statusText_;

    std::mutex postedMutex_;
    std::condition_variable postedChanged_;
    std::deque<std::function<void()>> posted_;
};
