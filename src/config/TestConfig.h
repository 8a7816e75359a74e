#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>

#include "app/StationView.h"

// One type of panel under test: channel counts, pass limits, per-channel areas and the
// multi-row key layout. Channels count from 0: X 0..31, Y 0..51; node (x, y).
//
// Every flag array has 52 entries, the X arrays too; entries 32..51 of an X array travel
// through the file but no rule consults them. A flag is set when it is not 0 (a load stores
// only 0 and 1). A default-constructed record is all zero.
struct TestConfig {
    static constexpr size_t kChannels = 52;
    static constexpr size_t kMatrixSize = 8;
    using ChannelFlags = std::array<uint8_t, kChannels>;
    using ColumnFlags = std::array<uint8_t, kMatrixSize>;

    uint8_t x_channel_valid = 0;  // X channels 0..n-1 in use; a loaded file holds 1..32
    uint8_t y_channel_valid = 0;  // Y channels in use; a loaded file holds 1..52
    uint16_t rawdata_va_min = 0;  // inclusive raw-value limits of visible-area nodes
    uint16_t rawdata_va_max = 0;
    uint16_t rawdata_key_min = 0;  // inclusive raw-value limits of key nodes
    uint16_t rawdata_key_max = 0;
    ChannelFlags display_area_x{};  // shown in the result grid; each entry 0 or 1
    ChannelFlags display_area_y{};
    ChannelFlags test_va_area_x{};  // belongs to the visible test area
    ChannelFlags test_va_area_y{};
    ChannelFlags test_key_area_x{};  // belongs to the key area
    ChannelFlags test_key_area_y{};
    uint8_t test_key_number_x = 0;  // key X channels as last saved or loaded; never checked
    uint8_t test_key_number_y = 0;
    // Column c, entry r: the node at key row r of key column c is a key.
    ColumnFlags multikey_matrix_col0{};
    ColumnFlags multikey_matrix_col1{};
    ColumnFlags multikey_matrix_col2{};
    ColumnFlags multikey_matrix_col3{};
    ColumnFlags multikey_matrix_col4{};
    ColumnFlags multikey_matrix_col5{};
    ColumnFlags multikey_matrix_col6{};
    ColumnFlags multikey_matrix_col7{};
    // [key row r][key column c]; equals entry r of column array c after every load.
    std::array<ColumnFlags, kMatrixSize> multikey_matrix{};

    friend bool operator==(const TestConfig&, const TestConfig&) = default;
};

// What the station keeps next to its live record. UI thread only.
struct ConfigState {
    bool configValid = false;      // a test may start
    std::string config_file_path;  // last file imported or exported in the config window
    uint8_t error_line = 0;        // line reported by the last failed load
    int32_t Criterion = 0;         // 0 judges by the record's limits, else by sample deviation
};

enum class NodeClass { Outside = 1, VisibleArea, Key, Untested };

// Class of node (x, y) under config; pure, any x and y.
// - Outside: x >= x_channel_valid or y >= y_channel_valid, and every x >= 32 or y >= 52
//   whatever the counts say (no such node exists on the controller).
// - VisibleArea: both visible-area flags set (wins over the key area).
// - Key: both key-area flags set; with more than one key X and more than one key Y channel
//   (test_key_number_x/_y > 1) only where multikey_matrix[key row][key column] is 1, key
//   column and row counting the set key flags below x and below y.
// - Untested otherwise, including key-area nodes in key column or row 8 and beyond: the
//   matrix says nothing about them, so they are never judged.
NodeClass ClassifyNode(const TestConfig& config, uint8_t x, uint8_t y);

// Reads a configuration text file straight into live: 22 lines "key=value<TAB>%comment",
// CR LF or LF, keys exact and in any order. Each value is stored as it is read, and nothing
// is rolled back: on a rejected line the fields before it (and a failing scalar itself)
// keep their new values, fields the file lacks keep their old ones. multikey_matrix is
// rebuilt from the column arrays whatever the outcome.
// Returns true when the whole file was accepted. On false, error_line holds the first
// failing line (from 1) or, with no failing line and a line count other than 22, the count
// minus 2, kept within 0..255. When the file cannot be opened, prompter shows
// step2:打开文件 "PATH "失败！ (application caption, OK) and live and error_line stay
// untouched. path is UTF-8. UI thread.
bool LoadTestConfig(const std::string& path, TestConfig& live, uint8_t& error_line,
                    Prompter& prompter);

// The line rules of LoadTestConfig over text already open; no prompt, never fails to open.
bool ReadTestConfigText(std::istream& in, TestConfig& live, uint8_t& error_line);

// Writes config as the 22-line file, creating or truncating path (UTF-8): CR LF, fixed GBK
// comments, X entries 32..51 as 0, test_key_number_x/_y counted from test_key_area_x[0..31]
// and test_key_area_y[0..51], column c from multikey_matrix[0..7][c].
// Returns false after a message through prompter (application caption, OK): "PATH打开失败！"
// when the file cannot be created, the platform's text for the error when writing fails
// (the file then holds what was written so far). UI thread.
bool SaveTestConfig(const std::string& path, const TestConfig& config, Prompter& prompter);

// The file's exact bytes for config, as SaveTestConfig writes them.
std::string FormatTestConfig(const TestConfig& config);
