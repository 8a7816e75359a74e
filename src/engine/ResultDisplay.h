#pragma once

#include <cstdint>
#include <string>

#include "app/StationView.h"
#include "config/TestConfig.h"
#include "engine/NodeMatrix.h"

// The status label's backgrounds: "WAIT", "PASS" and "NG".
constexpr Colour kWaitColour{0, 0, 255};
constexpr Colour kPassColour{0, 255, 0};
constexpr Colour kNgColour{255, 0, 0};

// The OK and NG counters and the yield. They start at 0 with every run of the program and
// are kept nowhere else. UI thread only.
struct TestCounters {
    int32_t okCount = 0;
    int32_t ngCount = 0;
    float yieldPercent = 0.0f;  // okCount / (okCount + ngCount) x 100
};

// Counts one finished test as PASS or NG and recomputes the yield.
void CountVerdict(TestCounters& counters, bool pass);

// All counters and the yield back to 0.
void ResetStatistics(TestCounters& counters);

// The digit displays' texts: a count as "%5d", the yield as "%6.2f". Never depends on the
// process locale.
std::string CounterText(int32_t count);
std::string YieldText(float yieldPercent);

// "共花费时间：" + seconds with three significant digits + " 秒".
std::string ElapsedTimeLine(double seconds);

// The grid text of node (x, y): its value right-aligned in five characters when the node is
// displayed and tested, empty when displayed but untested, "    0" when not displayed.
// Coordinates beyond the 32 x 52 matrix have no node and give the empty text.
std::string NodeCellText(const TestConfig& config, const NodeValueMatrix& nodes, uint8_t x,
                         uint8_t y);
