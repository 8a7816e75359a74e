// panelix-cli test: the station's whole test sequence against the board, judged by the limits
// of a configuration file or by deviation from a sample; and panelix-cli sample acquire, one
// such test whose node values become a sample file.
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "HeadlessStation.h"
#include "app/Format.h"
#include "config/Utf8Path.h"
#include "samples/SampleFiles.h"

namespace {

// Opening and bringing up; the bring-up gives up on a silent board after 15 link checks of at
// most 250 ms each.
constexpr auto kReadyTimeout = std::chrono::seconds(6);
constexpr int kMaxRuns = 1000000;

int TestUsage(std::ostream& err) {
    err << "usage: panelix-cli " << kBoardOptionUsage
        << " test --config FILE [--runs N]\n"
           "         [--sample FILE --method abs|pct --minus A --plus B] [--sim-...]\n";
    return cli_exit::kUsage;
}

int AcquireUsage(std::ostream& err) {
    err << "usage: panelix-cli " << kBoardOptionUsage
        << " sample acquire --config CFG --out DIR [--sim-...]\n";
    return cli_exit::kUsage;
}

struct TestArgs {
    std::string configPath;
    int runs = 1;
    // --sample: judged by deviation from this sample, with the standard of the next three.
    std::string samplePath;
    std::string method;
    std::string minus;
    std::string plus;
    // sample acquire: the folder the test's sample is written into.
    std::string sampleFolder;
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
        } else if (!TakeValue(words, i, "--sample", args.samplePath) &&
                   !TakeValue(words, i, "--method", args.method) &&
                   !TakeValue(words, i, "--minus", args.minus) &&
                   !TakeValue(words, i, "--plus", args.plus)) {
            return false;
        }
    }
    const bool standardGiven = !args.method.empty() || !args.minus.empty() || !args.plus.empty();
    return !args.configPath.empty() && standardGiven == !args.samplePath.empty();
}

bool ParseAcquireArgs(const std::vector<std::string>& words, TestArgs& args) {
    for (size_t i = 1; i < words.size();) {
        if (!TakeValue(words, i, "--config", args.configPath) &&
            !TakeValue(words, i, "--out", args.sampleFolder)) {
            return false;
        }
    }
    return !args.configPath.empty() && !args.sampleFolder.empty();
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

// Brings the station up on backend with the configuration of args, judged by its limits or
// by the sample, and runs the tests: every log and verdict into report, then the counters;
// with a sample folder, one test whose sample is written there and its path printed.
int RunTests(CliContext& context, HidBackend& backend, const TestArgs& args, std::ostream& report) {
    TestStandard standard;
    if (!args.samplePath.empty() &&
        !ParseTestStandard(args.method, args.minus, args.plus, standard)) {
        return TestUsage(context.err);
    }

    HeadlessStation headless(context, backend);
    Station& station = headless.station;
    if (!std::ifstream(PathFromUtf8(args.configPath))) {
        context.err << "error: cannot open " << args.configPath << "\n";
        return cli_exit::kUsage;
    }
    uint8_t errorLine = 0;
    if (!LoadTestConfig(args.configPath, station.testConfig, errorLine, headless.view)) {
        context.err << "error: line " << int{errorLine} << "\n";
        return cli_exit::kUsage;
    }
    station.configState.Criterion = 0;
    if (!args.samplePath.empty()) {
        // As putting a sample to use does: its limits, read with this configuration.
        const SampleFileResult result =
            DeriveSampleLimits(args.samplePath, station.testConfig, standard,
                               station.SampleRawDataLow, station.SampleRawDataHigh);
        if (!result.ok) {
            context.err << "error: " << result.message << "\n";
            return cli_exit::kUsage;
        }
        station.configState.Criterion = 1;
    }
    station.configState.configValid = true;

    // Not a single bring-up: a board that fails one is searched for and brought up again, as
    // the window keeps doing until the operator can press Start.
    if (!headless.WaitUntilReady(kReadyTimeout)) {
        return headless.Fail("no board");
    }

    bool anyNg = false;
    bool anyUnmeasured = false;
    for (int run = 0; run < args.runs; ++run) {
        // What the window would handle between two presses of Start: device events, due
        // timers, and a bring-up after the board came back.
        headless.RunPending();
        headless.WaitUntilReady(kReadyTimeout);
        const TestOutcome outcome = station.RunTest();
        headless.PrintLog(report);
        report << "verdict: " << VerdictText(outcome) << "\n";
        anyNg = anyNg || outcome == TestOutcome::Ng;
        anyUnmeasured = anyUnmeasured || outcome == TestOutcome::Unmeasured;
    }
    const TestCounters& counters = station.counters;
    report << "ok=" << counters.okCount << " ng=" << counters.ngCount
           << " yield=" << FormatFixed(counters.yieldPercent, 2) << "\n";
    if (anyUnmeasured) {
        return cli_exit::kNoBoard;
    }
    if (!args.sampleFolder.empty()) {
        const SampleFileResult result = station.WriteCurrentSample(args.sampleFolder);
        if (!result.ok) {
            context.err << "error: " << result.message << "\n";
            return cli_exit::kUsage;
        }
        context.out << station.sampleRecord.path << "\n";
        return cli_exit::kOk;
    }
    return anyNg ? cli_exit::kRejected : cli_exit::kOk;
}

}  // namespace

int RunTestCommand(CliContext& context) {
    std::vector<std::string> words = context.args;
    const std::unique_ptr<HidBackend> backend = ChooseBoard(context, words);
    if (!backend) {
        return cli_exit::kUsage;
    }
    TestArgs args;
    if (!ParseTestArgs(words, args)) {
        return TestUsage(context.err);
    }
    return RunTests(context, *backend, args, context.out);
}

int RunSampleAcquire(CliContext& context) {
    std::vector<std::string> words = context.args;
    const std::unique_ptr<HidBackend> backend = ChooseBoard(context, words);
    if (!backend) {
        return cli_exit::kUsage;
    }
    TestArgs args;
    if (!ParseAcquireArgs(words, args)) {
        return AcquireUsage(context.err);
    }
    std::error_code folderError;
    std::filesystem::create_directories(PathFromUtf8(args.sampleFolder), folderError);
    if (folderError) {
        context.err << "error: cannot create " << args.sampleFolder << ": " << folderError.message()
                    << "\n";
        return cli_exit::kUsage;
    }
    // The path is the command's answer; the test's log and verdict go with the messages.
    return RunTests(context, *backend, args, context.err);
}
