#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "samples/SampleFiles.h"
#include "support/TempFolder.h"

namespace sample_test {

using ::ReadBytes;
using ::TempFolder;
using ::WriteBytes;

inline void SetFlags(TestConfig::ChannelFlags& flags, std::initializer_list<size_t> channels) {
    for (size_t channel : channels) {
        flags[channel] = 1;
    }
}

// 3 X by 2 Y channels, all displayed: X0 and X1 visible area in Y0, key node (2, 1), the
// other three nodes untested.
inline TestConfig SmallConfig() {
    TestConfig config;
    config.x_channel_valid = 3;
    config.y_channel_valid = 2;
    SetFlags(config.display_area_x, {0, 1, 2});
    SetFlags(config.display_area_y, {0, 1});
    SetFlags(config.test_va_area_x, {0, 1});
    SetFlags(config.test_va_area_y, {0});
    SetFlags(config.test_key_area_x, {2});
    SetFlags(config.test_key_area_y, {1});
    config.test_key_number_x = 1;
    config.test_key_number_y = 1;
    return config;
}

// 2024-03-05 07:08:09 local time.
inline std::tm FixedTime() {
    std::tm time{};
    time.tm_year = 124;
    time.tm_mon = 2;
    time.tm_mday = 5;
    time.tm_hour = 7;
    time.tm_min = 8;
    time.tm_sec = 9;
    return time;
}

inline SampleClock FixedClock() {
    return [] { return FixedTime(); };
}

}  // namespace sample_test
