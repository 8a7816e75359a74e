#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/TestConfig.h"

// The configuration window's working copy of a TestConfig: what its fields, radio buttons
// and channel lists hold, plus what the multi-key window edits. Nothing of it outlives the
// window; it reaches the live record only through an export's apply.
struct WorkingConfig {
    using KeyMatrix = std::array<TestConfig::ColumnFlags, TestConfig::kMatrixSize>;

    uint8_t x_channel_valid = 0;  // field 1026, entry range 0..32
    uint8_t y_channel_valid = 0;  // field 1027, entry range 0..52
    // 32-bit on purpose: a field may hold more than the record's 16 bits until validation
    // has bounded it to 40000.
    uint32_t rawdata_va_min = 0;   // field 1028, entry range 0..30000
    uint32_t rawdata_va_max = 0;   // field 1029, entry range 0..40000
    uint32_t rawdata_key_min = 0;  // field 1030, entry range 0..30000
    uint32_t rawdata_key_max = 0;  // field 1031, entry range 0..40000
    // 0 by limits (1054), 1 by sample deviation (1055); any other value checks neither.
    int32_t criterion = 0;

    // Check states of the six lists, 0 or 1; the X lists use entries 0..31 only.
    TestConfig::ChannelFlags display_area_x{};   // list 1032
    TestConfig::ChannelFlags display_area_y{};   // list 1036
    TestConfig::ChannelFlags test_va_area_x{};   // list 1038
    TestConfig::ChannelFlags test_va_area_y{};   // list 1040
    TestConfig::ChannelFlags test_key_area_x{};  // list 1042: also the key X flags
    TestConfig::ChannelFlags test_key_area_y{};  // list 1044: also the key Y flags

    // Checked items of lists 1042 and 1044; they become test_key_number_x/_y.
    uint8_t keyCountX = 0;
    uint8_t keyCountY = 0;

    // [key row][key column], as TestConfig::multikey_matrix.
    KeyMatrix multikey_matrix{};
    // Set by the multi-key window when it handed over a matrix that differed.
    bool multiKeyChanged = false;

    // The file last imported or exported while the window is open (UTF-8), empty at first.
    std::string path;
    // The outcome of the last validation.
    bool valid = false;
};
