#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "programming/ProgrammingSession.h"

// Records what the programming window is told: the last state of every control, the edits'
// texts, every bar position in order and the armed timers.
class FakeProgrammingView : public ProgrammingView {
public:
    std::map<int, bool> enabled;
    std::map<int, std::string> texts;
    std::vector<int> progress;
    std::optional<int> checkedRadio;
    std::map<int, int> armedTimers;  // timer ID -> period in ms

    // The enabled state of the three action buttons, by mode; unset reads as enabled, as a
    // control starts.
    std::vector<bool> ActionButtons() const {
        std::vector<bool> states;
        for (const int id : programming::kActionButtons) {
            const auto it = enabled.find(id);
            states.push_back(it == enabled.end() || it->second);
        }
        return states;
    }

    void EnableControl(int controlId, bool on) override { enabled[controlId] = on; }
    void CheckRadio(int controlId) override { checkedRadio = controlId; }
    void SetControlText(int controlId, std::string_view text) override {
        texts[controlId] = std::string(text);
    }
    void ShowProgress(int percent) override { progress.push_back(percent); }
    void SetTimer(int timerId, int periodMs) override { armedTimers[timerId] = periodMs; }
    void KillTimer(int timerId) override { armedTimers.erase(timerId); }
};
