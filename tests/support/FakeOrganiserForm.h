#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "samples/SampleOrganiser.h"
#include "support/FakeStationView.h"

// The sample organiser's window without a display: field texts the test sets, and the last
// state the organiser put each control, caption and timer in. Fields start as "0".
class FakeOrganiserForm : public SampleOrganiserForm {
public:
    std::map<int, std::string> fields = {{organiserids::kFieldAbsoluteNegative, "0"},
                                         {organiserids::kFieldAbsolutePositive, "0"},
                                         {organiserids::kFieldRelativeNegative, "0"},
                                         {organiserids::kFieldRelativePositive, "0"}};
    int method = -1;
    std::map<int, bool> controls;
    std::string selectAllCaption = "全选";
    std::map<int, int> armedTimers;       // timer ID -> period in ms
    mutable std::vector<int> fieldReads;  // IDs in the order they were read
    int showRowsCalls = 0;

    std::optional<bool> ControlEnabled(int id) const {
        const auto it = controls.find(id);
        return it == controls.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    bool TimerArmed(int id) const { return armedTimers.count(id) != 0; }

    std::string FieldText(int fieldId) const override {
        fieldReads.push_back(fieldId);
        return fields.at(fieldId);
    }
    void SetFieldText(int fieldId, const std::string& text) override { fields[fieldId] = text; }
    int CheckedMethod() const override { return method; }
    void CheckMethod(int value) override { method = value == 0 || value == 1 ? value : -1; }
    void EnableControl(int controlId, bool enabled) override { controls[controlId] = enabled; }
    void SetSelectAllCaption(std::string_view caption) override {
        selectAllCaption = std::string(caption);
    }
    void ShowRows() override { ++showRowsCalls; }
    void SetTimer(int timerId, int periodMs) override { armedTimers[timerId] = periodMs; }
    void KillTimer(int timerId) override { armedTimers.erase(timerId); }
};

// The texts of the message boxes prompter was asked to show, in order.
inline std::vector<std::string> MessageTexts(const FakeStationView& prompter) {
    std::vector<std::string> texts;
    for (const auto& message : prompter.messages) {
        texts.push_back(message.text);
    }
    return texts;
}
