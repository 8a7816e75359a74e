// Any text as a sample row and as a whole sample file: the readers never fail on content,
// give values only to the nodes they visit, and take the record's source from no file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "samples/SampleFiles.h"

namespace {

// Every Y channel, X channels with a gap in the display area, a visible area and a key block.
TestConfig GappedConfig() {
    TestConfig config;
    config.x_channel_valid = 32;
    config.y_channel_valid = 52;
    config.display_area_x.fill(1);
    config.display_area_x[5] = 0;
    config.display_area_y.fill(1);
    for (size_t x = 0; x < 28; ++x) {
        config.test_va_area_x[x] = 1;
    }
    for (size_t y = 0; y < 48; ++y) {
        config.test_va_area_y[y] = 1;
    }
    config.test_key_area_x[29] = config.test_key_area_x[30] = 1;
    config.test_key_area_y[49] = config.test_key_area_y[50] = 1;
    config.test_key_number_x = config.test_key_number_y = 2;
    config.multikey_matrix[0][0] = config.multikey_matrix[1][1] = 1;
    return config;
}

// Counts beyond the grid: the readers must keep within 32 x 52.
TestConfig OversizedConfig() {
    TestConfig config;
    config.x_channel_valid = 255;
    config.y_channel_valid = 255;
    config.display_area_x.fill(1);
    config.display_area_y.fill(1);
    config.test_va_area_x.fill(1);
    config.test_va_area_y.fill(1);
    return config;
}

class ScratchFile {
public:
    ScratchFile() {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() /
                 ("panelix-sample-fuzz-" + std::to_string(random()) + ".ini"))
                    .string();
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckLimits(const std::string& path, const TestConfig& config) {
    SampleMatrix low;
    SampleMatrix high;
    Check(DeriveSampleLimits(path, config, {0, 0, 0, 0, 0}, low, high).ok);
    for (size_t x = 0; x < kSampleXChannels; ++x) {
        for (size_t y = 0; y < kSampleYChannels; ++y) {
            const NodeClass nodeClass =
                ClassifyNode(config, static_cast<uint8_t>(x), static_cast<uint8_t>(y));
            const bool visited =
                config.display_area_x[x] != 0 && config.display_area_y[y] != 0 &&
                (nodeClass == NodeClass::VisibleArea || nodeClass == NodeClass::Key);
            Check(low[x][y] == high[x][y] && (visited || low[x][y] == 0));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TestConfig kGapped = GappedConfig();
    static const TestConfig kOversized = OversizedConfig();
    static const ScratchFile kFile;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    Check(ParseSampleRow(text, 255).size() == 255);
    const auto nodes = ParseSampleRowNodes(text, kGapped);
    Check(nodes[5] == 0);

    std::ofstream(kFile.path(), std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    SampleRecord record;
    Check(ReadSampleHeader(kFile.path(), record).ok);
    Check(record.Source == SampleSource::SampleFile && record.Time.size() <= 511);
    CheckLimits(kFile.path(), kGapped);
    CheckLimits(kFile.path(), kOversized);
    return 0;
}
