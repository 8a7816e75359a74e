#pragma once

#include <array>
#include <cstdint>

// Outcome of the controller's pin self test, as its result message carries it.
struct SelfTestResult {
    uint8_t code = 0xFE;  // 0xFE all pins normal; 0x11 or 0x12 a pin fault; other: test went wrong
    uint8_t kind = 0;     // fault kind of a pin fault (1 VDD, 2 GND, 3..5 channels, 6 impedance)
    uint8_t x = 0;        // X channel of the fault, counted from 1; 0 names none
    uint8_t y = 0;        // Y channel of the fault, counted from 1; 0 names none

    bool operator==(const SelfTestResult&) const = default;
};

// The panel wired to the simulated controller: one reference value per node and what the
// pin self test finds. A fresh model is a good panel; tests change single nodes or the self
// test result to build a bad one. Not thread-safe on its own (SimBackend locks around it).
class PanelModel {
public:
    static constexpr int kXChannels = 32;
    static constexpr int kYChannels = 52;
    static constexpr int kNodeCount = kXChannels * kYChannels;
    // Y channels from here on carry the keys; their nodes read lower than the visible area.
    static constexpr int kFirstKeyRow = 48;
    static constexpr int kVisibleLevel = 30000;
    static constexpr int kKeyLevel = 20000;
    // Largest distance of any default value from its level (gradient plus noise).
    static constexpr int kSpread = 800;

    // A good panel whose small deviations are drawn from seed: the same seed always gives
    // the same values, and every value lies within kSpread of its area's level.
    explicit PanelModel(uint64_t seed = 1);

    uint64_t Seed() const { return seed_; }

    // Node (x, y), x = X channel 0..31, y = Y channel 0..51. Outside the matrix NodeValue
    // gives 0 and SetNodeValue changes nothing.
    uint16_t NodeValue(int x, int y) const;
    void SetNodeValue(int x, int y, uint16_t value);

    // The same values in the controller's order: node (x, y) at index 52 x + y, 0..1663;
    // 0 outside.
    uint16_t NodeAt(int index) const;

    const SelfTestResult& SelfTest() const { return selfTest_; }
    void SetSelfTest(const SelfTestResult& result) { selfTest_ = result; }

private:
    uint64_t seed_;
    std::array<uint16_t, kNodeCount> values_{};
    SelfTestResult selfTest_;
};
