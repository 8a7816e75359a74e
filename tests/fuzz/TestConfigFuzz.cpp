// Any bytes as a configuration text file: the reader must stop cleanly, classify every node
// within the record's arrays, and an accepted record that the station would accept again must
// come back from the station's own bytes as the writer normalises it.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "config/TestConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TestConfig config;
    uint8_t line = 0;
    const bool ok = ReadTestConfigText(in, config, line);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; y += 5) {
            ClassifyNode(config, static_cast<uint8_t>(x), static_cast<uint8_t>(y));
        }
    }
    // A file may leave a field at its start value or repeat a minimum after its maximum.
    auto limitsInOrder = [](uint16_t low, uint16_t high) {
        return low >= 16000 && low < high && high <= 40000;
    };
    if (!ok || config.x_channel_valid < 1 || config.x_channel_valid > 32 ||
        config.y_channel_valid < 1 || config.y_channel_valid > 52 ||
        !limitsInOrder(config.rawdata_va_min, config.rawdata_va_max) ||
        !limitsInOrder(config.rawdata_key_min, config.rawdata_key_max)) {
        return 0;
    }
    std::istringstream written(FormatTestConfig(config));
    TestConfig reread;
    if (!ReadTestConfigText(written, reread, line)) {
        std::abort();
    }
    TestConfig expected = config;
    expected.test_key_number_x = expected.test_key_number_y = 0;
    for (size_t i = 0; i < TestConfig::kChannels; ++i) {
        if (i >= 32) {
            expected.display_area_x[i] = expected.test_va_area_x[i] = 0;
            expected.test_key_area_x[i] = 0;
        } else {
            expected.test_key_number_x += expected.test_key_area_x[i];
        }
        expected.test_key_number_y += expected.test_key_area_y[i];
    }
    if (!(reread == expected)) {
        std::abort();
    }
    return 0;
}
