#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "config/TestConfig.h"
#include "controller/ControllerCommands.h"
#include "controller/SelfTest.h"
#include "engine/NodeMatrix.h"
#include "engine/ResultDisplay.h"

class Sleeper;
class StationView;
class StatusLog;

// How a test ended.
enum class TestOutcome {
    Pass,        // measured; pins normal and every node inside its limits
    Ng,          // measured; a node or a pin failed the panel
    Unmeasured,  // every attempt lost its board or its answers: no verdict, nothing counted
};

// What the last test came to, for its result record.
struct TestSummary {
    TestOutcome outcome = TestOutcome::Unmeasured;
    int attempts = 0;      // 1 for a test measured at its first attempt
    double seconds = 0.0;  // from the press to the verdict (or the failure line)
};

// A test that cannot be measured is tried again as a whole, up to this many attempts.
constexpr int kMaxTestAttempts = 15;

// Everything one test reads and writes: references into the station's state, which must
// outlive the bench. UI thread only, apart from what the link's reader thread writes into
// flags (a pushed self-test message) and the response flags.
struct TestBench {
    StationView& view;
    StatusLog& log;
    Sleeper& sleeper;
    ControllerCommands& commands;
    SelfTest& selfTest;
    SelfTestFlags& flags;
    DiagnosticData& diagnostic;
    std::atomic<bool>& dataReady;
    std::atomic<bool>& ackReady;
    // Without a finished bring-up the object addresses are unknown: nothing is written.
    const bool& controllerReady;
    bool& referenceModeActive;
    NodeValueMatrix& nodes;
    const TestConfig& config;
    const ConfigState& configState;
    const LimitMatrix& sampleLow;
    const LimitMatrix& sampleHigh;
    TestCounters& counters;
    // The high-resolution counter and its ticks per second; the elapsed time of a test runs
    // from testStartCount to the result.
    const std::function<int64_t()>& readCounter;
    double counterFrequency;
    int64_t& testStartCount;
    // Filled when the test ends.
    TestSummary& summary;
};

// Tests the panel on the board, on the UI thread, and returns when the test is over.
//
// Stops timer 3, resets, disables Start (1003) and greys "烧录文件" (32772); calibrates,
// waits for the controller to go quiet, switches to reference data, reads every page into
// nodes, shows them, judges them, runs the pin self test, logs the limits when judging by
// limits (Criterion 0) and shows the result; then "测试完成", a 20 ms pause, Start enabled
// when configValid, timer 3 armed at 3000 ms. Each step leaves its line in the log.
//
// The log is emptied once per test, not per attempt, so the lines of a failed attempt stay
// in view. An attempt stops at the first transaction that fails or wait that runs out of its
// bound, before anything stale is judged; "第NN次重新获取>>>>>>>>>" (NN the number of the
// attempt that starts, 2..15) announces the next one, which starts from a fresh reset of the
// engine's flags and buffers. After the fifteenth failed attempt the test ends with
// "测试失败，原因：USB连接异常或驱动通道严重短路": the status "NG" on red, the counters
// untouched, selfTestPassed false (so nothing shows PASS or "WAIT" for it), no elapsed time.
// A board that is gone fails every attempt at once.
TestOutcome RunTest(TestBench& bench);

// The reset before a test: empties the log, then ResetAttempt, then the status "WAIT" on
// blue.
void ResetForTest(TestBench& bench);

// What every attempt starts from: pageBuffer zeroed, the self-test flags and faultText
// cleared, referenceModeActive false, dataReady and ackReady cleared.
void ResetAttempt(TestBench& bench);

// The verdict, the counters and the elapsed time after a measured test: "PASS" on green or
// "NG" on red, one count more, the counters refreshed, "共花费时间：… 秒" logged.
TestOutcome ShowResult(TestBench& bench);

// Reads the steady clock as a high-resolution counter, and its ticks per second.
int64_t SteadyCounterNow();
double SteadyCounterFrequency();
