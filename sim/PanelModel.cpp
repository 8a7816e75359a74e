#include "sim/PanelModel.h"

namespace {

// splitmix64: a well-mixed value from any counter, so each node's noise depends only on
// the seed and the node, not on the order in which values are asked for.
uint64_t Mix(uint64_t value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

constexpr int kNoise = 200;

}  // namespace

PanelModel::PanelModel(uint64_t seed) : seed_(seed) {
    const uint64_t base = Mix(seed);
    for (int x = 0; x < kXChannels; ++x) {
        for (int y = 0; y < kYChannels; ++y) {
            const int index = x * kYChannels + y;
            const bool key = y >= kFirstKeyRow;
            // A gentle slope across the sensor, as the drive lines' length gives a real one.
            const int slope = 20 * (x - kXChannels / 2) + (key ? 0 : 8 * (y - kFirstKeyRow / 2));
            const int noise =
                static_cast<int>(Mix(base + static_cast<uint64_t>(index)) % (2 * kNoise + 1)) -
                kNoise;
            const int level = key ? kKeyLevel : kVisibleLevel;
            values_[index] = static_cast<uint16_t>(level + slope + noise);
        }
    }
}

uint16_t PanelModel::NodeValue(int x, int y) const {
    if (x < 0 || x >= kXChannels || y < 0 || y >= kYChannels) {
        return 0;
    }
    return values_[x * kYChannels + y];
}

void PanelModel::SetNodeValue(int x, int y, uint16_t value) {
    if (x < 0 || x >= kXChannels || y < 0 || y >= kYChannels) {
        return;
    }
    values_[x * kYChannels + y] = value;
}

uint16_t PanelModel::NodeAt(int index) const {
    if (index < 0 || index >= kNodeCount) {
        return 0;
    }
    return values_[index];
}
