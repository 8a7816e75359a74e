#include "engine/Judging.h"

#include <algorithm>

#include "app/Format.h"
#include "app/StatusLog.h"

namespace {

bool Outside(int32_t value, int32_t low, int32_t high) {
    return value < low || value > high;
}

std::string LimitRange(uint16_t low, uint16_t high) {
    return Right(FormatPadded(low, 10), 5) + "~" + Right(FormatPadded(high, 10), 5) + "  ";
}

}  // namespace

bool NodeOutOfLimits(const JudgingLimits& limits, uint8_t x, uint8_t y, int32_t value) {
    // A rejected configuration file stays in the live record; its channel counts may reach
    // beyond the matrices.
    if (x >= kMatrixXChannels || y >= kMatrixYChannels) {
        return false;
    }
    const NodeClass nodeClass = ClassifyNode(limits.config, x, y);
    if (nodeClass != NodeClass::VisibleArea && nodeClass != NodeClass::Key) {
        return false;
    }
    if (limits.criterion != 0) {
        return Outside(value, limits.sampleLow[x][y], limits.sampleHigh[x][y]);
    }
    if (nodeClass == NodeClass::VisibleArea) {
        return Outside(value, limits.config.rawdata_va_min, limits.config.rawdata_va_max);
    }
    return Outside(value, limits.config.rawdata_key_min, limits.config.rawdata_key_max);
}

void JudgeNodes(const JudgingLimits& limits, const NodeValueMatrix& nodes,
                std::atomic<bool>& panelFailed) {
    const int xCount = std::min<int>(limits.config.x_channel_valid, kMatrixXChannels);
    const int yCount = std::min<int>(limits.config.y_channel_valid, kMatrixYChannels);
    for (int x = 0; x < xCount && !panelFailed; ++x) {
        for (int y = 0; y < yCount && !panelFailed; ++y) {
            if (NodeOutOfLimits(limits, static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                                nodes[x][y])) {
                panelFailed = true;
            }
        }
    }
}

std::string VisibleAreaLimitLine(const TestConfig& config) {
    return "非按键区合格范围：" + LimitRange(config.rawdata_va_min, config.rawdata_va_max);
}

std::string KeyAreaLimitLine(const TestConfig& config) {
    return "按键区合格范围  ：" + LimitRange(config.rawdata_key_min, config.rawdata_key_max);
}

void ReportLimits(const TestConfig& config, StatusLog& log) {
    log.AppendLog(VisibleAreaLimitLine(config), 0, 1);
    log.AppendLog(KeyAreaLimitLine(config), 0, 1);
}
