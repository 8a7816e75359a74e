#include "sim/SimOptions.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <type_traits>

const char* const kSimOptionsHelp =
    "  --sim-node X,Y=V               node (X 0..31, Y 0..51) reads V (0..65535)\n"
    "  --sim-selftest CODE[,KIND,X,Y] the pin self test answers CODE (0xFE normal,\n"
    "                                 0x11/0x12 fault of KIND at X, Y counted from 1)\n"
    "  --sim-push-selftest CODE,KIND,X,Y  the board pushes that result during the page reads\n"
    "  --sim-page-offset N            reference data starts N pages out of step\n"
    "  --sim-unplug-at-page P         the board drops off when page P is read, back 200 ms later\n"
    "  --sim-silent-after N           the board answers N reports, then no more\n"
    "  --sim-latency-us U             each report takes U microseconds each way\n"
    "  --sim-seed S                   seed of the panel's small deviations\n";

namespace {

constexpr int kReplugAfterMs = 200;
constexpr int kPushAtPage = 13;

// Decimal, or hexadecimal with 0x/0X; an optional minus only when allowed. The whole text
// must be the number.
template <typename T>
bool ParseNumber(std::string_view text, T& value, T low, T high) {
    bool negative = false;
    if constexpr (std::is_signed_v<T>) {
        if (!text.empty() && text.front() == '-') {
            negative = true;
            text.remove_prefix(1);
        }
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    if (negative) {
        if (magnitude > static_cast<uint64_t>(-static_cast<int64_t>(low))) {
            return false;
        }
        value = static_cast<T>(-static_cast<int64_t>(magnitude));
        return true;
    }
    if (magnitude > static_cast<uint64_t>(high)) {
        return false;
    }
    value = static_cast<T>(magnitude);
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

bool ParseNode(std::string_view text, SimOptions::Node& node) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const auto channels = Split(text.substr(0, equals), ',');
    return channels.size() == 2 &&
           ParseNumber(channels[0], node.x, 0, PanelModel::kXChannels - 1) &&
           ParseNumber(channels[1], node.y, 0, PanelModel::kYChannels - 1) &&
           ParseNumber<uint16_t>(text.substr(equals + 1), node.value, 0, 0xFFFF);
}

// CODE alone, or CODE,KIND,X,Y when allowed; each a byte.
bool ParseSelfTest(std::string_view text, bool codeAlone, SelfTestResult& result) {
    const auto parts = Split(text, ',');
    if (parts.size() != 4 && !(codeAlone && parts.size() == 1)) {
        return false;
    }
    result = {0, 0, 0, 0};
    uint8_t* fields[] = {&result.code, &result.kind, &result.x, &result.y};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!ParseNumber<uint8_t>(parts[i], *fields[i], 0, 0xFF)) {
            return false;
        }
    }
    return true;
}

// Applies one option's value; false when the value is malformed.
bool ApplyOption(std::string_view name, std::string_view value, SimOptions& options) {
    if (name == "--sim-node") {
        SimOptions::Node node;
        if (!ParseNode(value, node)) {
            return false;
        }
        options.nodes.push_back(node);
        return true;
    }
    if (name == "--sim-selftest" || name == "--sim-push-selftest") {
        const bool push = name == "--sim-push-selftest";
        SelfTestResult result;
        if (!ParseSelfTest(value, !push, result)) {
            return false;
        }
        (push ? options.pushSelfTest : options.selfTest) = result;
        return true;
    }
    if (name == "--sim-page-offset") {
        return ParseNumber(value, options.pageOffset, -1000, 1000);
    }
    if (name == "--sim-unplug-at-page") {
        int page = 0;
        if (!ParseNumber(value, page, 0, SimController::kPageCount - 1)) {
            return false;
        }
        options.unplugAtPage = page;
        return true;
    }
    if (name == "--sim-silent-after") {
        uint32_t reports = 0;
        if (!ParseNumber<uint32_t>(value, reports, 0, UINT32_MAX)) {
            return false;
        }
        options.silentAfter = reports;
        return true;
    }
    if (name == "--sim-latency-us") {
        return ParseNumber<int64_t>(value, options.latencyUs, 0, SimBackend::kMaxLatencyUs);
    }
    if (name == "--sim-seed") {
        return ParseNumber<uint64_t>(value, options.seed, 0, UINT64_MAX);
    }
    return false;
}

bool IsKnownOption(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "--sim-node",           "--sim-selftest",     "--sim-push-selftest", "--sim-page-offset",
        "--sim-unplug-at-page", "--sim-silent-after", "--sim-latency-us",    "--sim-seed",
    };
    for (std::string_view known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ConsumeSimOptions(std::vector<std::string>& words, SimOptions& options, std::string& error) {
    std::vector<std::string> kept;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (!word.starts_with("--sim-")) {
            kept.push_back(words[i]);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string_view name = word.substr(0, equals);
        if (!IsKnownOption(name)) {
            error = "unknown option " + std::string(name);
            return false;
        }
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            error = std::string(name) + " needs a value";
            return false;
        }
        if (!ApplyOption(name, value, options)) {
            error = std::string(name) + ": malformed value \"" + std::string(value) + "\"";
            return false;
        }
    }
    words = std::move(kept);
    return true;
}

std::unique_ptr<SimBackend> MakeSimBackend(const SimOptions& options) {
    PanelModel panel(options.seed);
    for (const auto& node : options.nodes) {
        panel.SetNodeValue(node.x, node.y, node.value);
    }
    if (options.selfTest) {
        panel.SetSelfTest(*options.selfTest);
    }
    SimController controller(std::move(panel));
    if (options.pageOffset != 0) {
        controller.SetPageOutOfStep(0, options.pageOffset);
    }
    SimBoard board(std::move(controller));
    SimFaults& faults = board.Faults();
    faults.silentAfterReports = options.silentAfter;
    if (options.unplugAtPage) {
        faults.unplugAtPage = SimFaults::UnplugAtPage{*options.unplugAtPage, kReplugAfterMs};
    }
    if (options.pushSelfTest) {
        faults.pushSelfTest = SimPushedSelfTest{*options.pushSelfTest, kPushAtPage};
    }
    auto backend = std::make_unique<SimBackend>(std::move(board));
    backend->SetLatencyUs(options.latencyUs);
    return backend;
}
