#include "engine/ResultDisplay.h"

#include "app/Format.h"

void CountVerdict(TestCounters& counters, bool pass) {
    if (pass) {
        ++counters.okCount;
    } else {
        ++counters.ngCount;
    }
    const double total = static_cast<double>(counters.okCount) + counters.ngCount;
    counters.yieldPercent = static_cast<float>(counters.okCount / total * 100.0);
}

void ResetStatistics(TestCounters& counters) {
    counters = TestCounters{};
}

std::string CounterText(int32_t count) {
    return FormatPadded(count, 10);
}

std::string YieldText(float yieldPercent) {
    std::string text = FormatFixed(yieldPercent, 2);
    if (text.size() < 6) {
        text.insert(0, 6 - text.size(), ' ');
    }
    return text;
}

std::string ElapsedTimeLine(double seconds) {
    return "共花费时间：" + FormatSeconds(seconds) + " 秒";
}

std::string NodeCellText(const TestConfig& config, const NodeValueMatrix& nodes, uint8_t x,
                         uint8_t y) {
    if (x >= kMatrixXChannels || y >= kMatrixYChannels) {
        return {};
    }
    if (config.display_area_x[x] == 0 || config.display_area_y[y] == 0) {
        return Right(FormatPadded(0, 10), 6);
    }
    const NodeClass nodeClass = ClassifyNode(config, x, y);
    if (nodeClass == NodeClass::VisibleArea || nodeClass == NodeClass::Key) {
        return Right(FormatPadded(nodes[x][y], 10), 6);
    }
    return {};
}
