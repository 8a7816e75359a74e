#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/StationView.h"

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

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() /
               ("panelix-config-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path path;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::filesystem::path ConfigData(std::string_view name) {
    return std::filesystem::path(PANELIX_TEST_DATA_DIR) / "config" / name;
}
