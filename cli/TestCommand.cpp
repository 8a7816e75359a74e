// panelix-cli test: the station's whole test sequence against the board, judged by the limits
// of a configuration file.
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "HeadlessView.h"
#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/Utf8Path.h"
#include "link/BoardSource.h"

namespace {

// The bring-up gives up on a silent board after 15 link checks of at most 250 ms each.
constexpr auto kBringUpTimeout = std::chrono::seconds(6);
constexpr int kMaxRuns = 1000000;

int TestUsage(std::ostream& err) {
    err << "usage: panelix-cli [--board sim|usb] test --config FILE [--runs N] [--sim-...]\n";
    return cli_exit::kUsage;
}

struct TestArgs {
    std::string configPath;
    int runs = 1;
};

// "--name VALUE" or "--name=VALUE"; advances i past what it took.
bool TakeValue(const std::vector<std::string>& words, size_t& i, std::string_view name,
               std::string& value) {
    const std::string_view word = words[i];
    if (word == name && i + 1 < words.size()) {
        value = words[i + 1];
        i += 2;
        return true;
    }
    if (word.size() > name.size() && word.starts_with(name) && word[name.size()] == '=') {
        value = std::string(word.substr(name.size() + 1));
        ++i;
        return true;
    }
    return false;
}

bool ParseRuns(const std::string& text, int& runs) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, runs);
    return result.ec == std::errc() && result.ptr == end && runs >= 1 && runs <= kMaxRuns;
}

bool ParseTestArgs(const std::vector<std::string>& words, TestArgs& args) {
    for (size_t i = 0; i < words.size();) {
        std::string value;
        if (TakeValue(words, i, "--config", value)) {
            args.configPath = value;
        } else if (TakeValue(words, i, "--runs", value)) {
            if (!ParseRuns(value, args.runs)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return !args.configPath.empty();
}

// The log's lines end in CR LF; a terminal wants LF.
void PrintLog(const Station& station, std::ostream& out) {
    for (const char c : station.log.Text()) {
        if (c != '\r') {
            out << c;
        }
    }
}

const char* VerdictText(TestOutcome outcome) {
    switch (outcome) {
        case TestOutcome::Pass:
            return "PASS";
        case TestOutcome::Ng:
            return "NG";
        case TestOutcome::Unmeasured:
            break;
    }
    return "FAILED";
}

}  // namespace

int RunTestCommand(CliContext& context) {
    std::vector<std::string> words = context.args;
    std::string error;
    std::unique_ptr<HidBackend> backend = MakeBoardBackend(context.board, words, error);
    if (!backend) {
        context.err << "error: " << error << "\n";
        return cli_exit::kUsage;
    }
    TestArgs args;
    if (!ParseTestArgs(words, args)) {
        return TestUsage(context.err);
    }

    HeadlessView view(context.err);
    RealSleeper sleeper;
    std::error_code ignored;
    Station station(view, *backend, sleeper, std::filesystem::current_path(ignored).string());
    view.SetTimerHandler([&station](int timerId) { station.OnTimer(timerId); });

    if (!std::ifstream(PathFromUtf8(args.configPath))) {
        context.err << "error: cannot open " << args.configPath << "\n";
        return cli_exit::kUsage;
    }
    uint8_t errorLine = 0;
    if (!LoadTestConfig(args.configPath, station.testConfig, errorLine, view)) {
        context.err << "error: line " << int{errorLine} << "\n";
        return cli_exit::kUsage;
    }
    station.configState.Criterion = 0;
    station.configState.configValid = true;

    station.OnShowWindow();
    const auto ready = [&station] { return station.controllerReady; };
    if (!view.RunUntil(ready, kBringUpTimeout)) {
        PrintLog(station, context.err);
        context.err << "error: no board\n";
        return cli_exit::kNoBoard;
    }

    bool anyNg = false;
    bool anyUnmeasured = false;
    for (int run = 0; run < args.runs; ++run) {
        // What the window would handle between two presses of Start: device events, due
        // timers, and a bring-up after the board came back.
        view.RunUntil([] { return false; }, std::chrono::milliseconds(0));
        view.RunUntil(ready, kBringUpTimeout);
        const TestOutcome outcome = station.RunTest();
        PrintLog(station, context.out);
        context.out << "verdict: " << VerdictText(outcome) << "\n";
        anyNg = anyNg || outcome == TestOutcome::Ng;
        anyUnmeasured = anyUnmeasured || outcome == TestOutcome::Unmeasured;
    }
    const TestCounters& counters = station.counters;
    context.out << "ok=" << counters.okCount << " ng=" << counters.ngCount
                << " yield=" << FormatFixed(counters.yieldPercent, 2) << "\n";
    if (anyUnmeasured) {
        return cli_exit::kNoBoard;
    }
    return anyNg ? cli_exit::kRejected : cli_exit::kOk;
}
