#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/StationView.h"
#include "support/TempFolder.h"

// Records every message box and answers OK; file choosers answer "cancelled".
class RecordingPrompter : public Prompter {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageIcon icon;
    };

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), buttons, icon});
        return MessageAnswer::Ok;
    }
    std::string ChooseFileToOpen(std::string_view, std::string_view) override { return {}; }
    std::string ChooseFileToSave(std::string_view, std::string_view) override { return {}; }

    std::vector<Message> messages;
};

inline std::filesystem::path ConfigData(std::string_view name) {
    return std::filesystem::path(PANELIX_TEST_DATA_DIR) / "config" / name;
}
