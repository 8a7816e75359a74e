#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/StationView.h"

// A scripted StationView: records what the core asks of the window and answers prompts
// from queues. PostToUi and RunPosted are thread-safe; everything else is for the test's
// own (UI) thread.
class FakeStationView : public StationView {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
    };
    struct Chooser {
        std::string filter;
        std::string initialName;
    };

    // Answers, taken front first. An empty queue answers Ok, resp. "" (cancelled).
    std::deque<MessageAnswer> messageAnswers;
    std::deque<std::string> openAnswers;
    std::deque<std::string> saveAnswers;

    // What was asked, in order.
    std::vector<Message> messages;
    std::vector<Chooser> openRequests;
    std::vector<Chooser> saveRequests;
    std::vector<std::pair<int, bool>> controlCalls;
    std::vector<std::pair<int, bool>> menuCalls;
    std::vector<std::string> timerCalls;  // "set 2 100", "kill 2"
    std::vector<std::pair<std::string, Colour>> statusCalls;
    int rebuildGridCalls = 0;
    int showNodeValuesCalls = 0;
    int refreshCountersCalls = 0;

    // The last state each control, menu item and timer was put in.
    std::map<int, bool> controls;
    std::map<int, bool> menuItems;
    std::map<int, int> armedTimers;  // timer ID -> period in ms

    std::optional<bool> ControlEnabled(int id) const { return Lookup(controls, id); }
    std::optional<bool> MenuItemEnabled(int id) const { return Lookup(menuItems, id); }
    bool TimerArmed(int id) const { return armedTimers.count(id) != 0; }
    std::optional<int> TimerPeriod(int id) const { return Lookup(armedTimers, id); }

    // Runs posted calls, including those they post, until none is left. Returns how many ran.
    int RunPosted() {
        int ran = 0;
        for (;;) {
            std::function<void()> call;
            {
                std::lock_guard lock(postedMutex_);
                if (posted_.empty()) {
                    return ran;
                }
                call = std::move(posted_.front());
                posted_.pop_front();
            }
            call();
            ++ran;
        }
    }

    size_t PostedCount() const {
        std::lock_guard lock(postedMutex_);
        return posted_.size();
    }

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), buttons, icon});
        return Take(messageAnswers, MessageAnswer::Ok);
    }
    std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) override {
        openRequests.push_back({std::string(filter), std::string(initialName)});
        return Take(openAnswers, std::string());
    }
    std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) override {
        saveRequests.push_back({std::string(filter), std::string(initialName)});
        return Take(saveAnswers, std::string());
    }

    void EnableControl(int controlId, bool enabled) override {
        controlCalls.emplace_back(controlId, enabled);
        controls[controlId] = enabled;
    }
    void EnableMenuItem(int menuId, bool enabled) override {
        menuCalls.emplace_back(menuId, enabled);
        menuItems[menuId] = enabled;
    }
    void SetTimer(int timerId, int periodMs) override {
        timerCalls.push_back("set " + std::to_string(timerId) + " " + std::to_string(periodMs));
        armedTimers[timerId] = periodMs;
    }
    void KillTimer(int timerId) override {
        timerCalls.push_back("kill " + std::to_string(timerId));
        armedTimers.erase(timerId);
    }
    void SetStatus(std::string_view text, Colour background) override {
        statusCalls.emplace_back(std::string(text), background);
    }
    void RebuildGrid() override { ++rebuildGridCalls; }
    void ShowNodeValues() override { ++showNodeValuesCalls; }
    void RefreshCounters() override { ++refreshCountersCalls; }

    void PostToUi(std::function<void()> call) override {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(call));
    }

private:
    template <typename Map>
    static std::optional<typename Map::mapped_type> Lookup(const Map& map, int id) {
        const auto it = map.find(id);
        if (it == map.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    template <typename T>
    static T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            return fallback;
        }
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }

    mutable std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};
