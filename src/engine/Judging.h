#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "config/TestConfig.h"
#include "engine/NodeMatrix.h"

class StatusLog;

// What one node is judged against. Criterion 0 judges by the area limits of the
// configuration; any other value by the sample matrices. The references must outlive the
// object; it is read on the UI thread only.
struct JudgingLimits {
    const TestConfig& config;
    int32_t criterion;
    const LimitMatrix& sampleLow;
    const LimitMatrix& sampleHigh;
};

// The one per-node test of judging and grid colouring. value is compared as a signed
// integer against inclusive limits. True only for VisibleArea and Key nodes outside their
// limits; Untested and Outside nodes, and coordinates beyond the 32 x 52 matrix (a
// configuration whose channel counts failed their check), are never out of limits.
bool NodeOutOfLimits(const JudgingLimits& limits, uint8_t x, uint8_t y, int32_t value);

// Judges every node of the configured channels, X outer and Y inner, and sets panelFailed
// at the first node out of limits. Examines nothing once panelFailed is set, also when the
// reader thread sets it meanwhile (a pushed pin fault); never clears it. Channel counts
// above the matrix are cut to 32 x 52.
void JudgeNodes(const JudgingLimits& limits, const NodeValueMatrix& nodes,
                std::atomic<bool>& panelFailed);

// The two limit lines logged when judging by limits, each value right-aligned in five
// characters and each line ending in two blanks.
std::string VisibleAreaLimitLine(const TestConfig& config);
std::string KeyAreaLimitLine(const TestConfig& config);

// Appends both limit lines, without time stamps.
void ReportLimits(const TestConfig& config, StatusLog& log);

// A panel passes only when its pins are normal and no node or pin failed it.
inline bool IsPass(bool selfTestPassed, bool panelFailed) {
    return selfTestPassed && !panelFailed;
}
