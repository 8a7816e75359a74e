#include "engine/TestSequence.h"

#include <chrono>

#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/StationView.h"
#include "app/StatusLog.h"
#include "engine/Judging.h"

namespace {

constexpr uint8_t kNoMessage = 0xFF;
// Exactly this status, not merely bit 4: the controller is still calibrating.
constexpr uint8_t kCalibrating = 0x10;
constexpr int kEndPauseMs = 20;
constexpr int kBackToWaitMs = 3000;

void Log(TestBench& bench, const std::string& line) {
    bench.log.AppendLog(line, 0, 1);
}

JudgingLimits LimitsOf(const TestBench& bench) {
    return {bench.config, bench.configState.Criterion, bench.sampleLow, bench.sampleHigh};
}

// Steps 5 to 15 of a test. False as soon as a transaction or a bounded wait fails: nothing
// after that point may work on what the board last said.
bool RunAttempt(TestBench& bench) {
    ControllerCommands& commands = bench.commands;
    // Until the bring-up has parsed the object table every object address reads as 0, and a
    // command would land in the controller's information header.
    if (!bench.controllerReady || commands.Table().pageCount != DiagnosticData::kPages) {
        return false;
    }
    if (!commands.CalibrateController()) {
        return false;
    }
    Log(bench, "calib & clear");
    if (!commands.DrainToCommandMessage()) {
        return false;
    }
    // A drain that ended on "no message pending" has no status to look at.
    if (commands.LastMessageId() != kNoMessage && commands.LastMessageStatus() == kCalibrating) {
        if (!commands.WaitMessagesQuiet()) {
            return false;
        }
        Log(bench, "IC idle");
    }
    if (!commands.EnterReferenceMode()) {
        return false;
    }
    bench.referenceModeActive = true;
    for (int page = 0; page < DiagnosticData::kPages; ++page) {
        if (!commands.ReadDiagnosticPage(page)) {
            return false;
        }
        Log(bench, bench.diagnostic.pageLabel + "backup");
    }
    for (int x = 0; x < kMatrixXChannels; ++x) {
        for (int y = 0; y < kMatrixYChannels; ++y) {
            bench.nodes[x][y] = bench.diagnostic.rawNodes[x * kMatrixYChannels + y];
        }
    }
    bench.view.ShowNodeValues();
    Log(bench, "display data");
    JudgeNodes(LimitsOf(bench), bench.nodes, bench.flags.panelFailed);
    Log(bench, "judge");
    Log(bench, "self test");
    if (!bench.selfTest.RunSelfTest()) {
        return false;
    }
    if (bench.configState.Criterion == 0) {
        ReportLimits(bench.config, bench.log);
    }
    return true;
}

double SecondsSinceStart(const TestBench& bench) {
    return static_cast<double>(bench.readCounter() - bench.testStartCount) / bench.counterFrequency;
}

void FinishTest(TestBench& bench) {
    bench.sleeper.SleepMs(kEndPauseMs);
    if (bench.configState.configValid) {
        bench.view.EnableControl(ids::kStartButton, true);
    }
    bench.view.SetTimer(timers::kBackToWait, kBackToWaitMs);
}

}  // namespace

void ResetAttempt(TestBench& bench) {
    bench.diagnostic.pageBuffer.fill(0);
    bench.flags.Reset();
    bench.referenceModeActive = false;
    bench.dataReady = false;
    bench.ackReady = false;
}

void ResetForTest(TestBench& bench) {
    bench.log.Clear();
    ResetAttempt(bench);
    bench.view.SetStatus("WAIT", kWaitColour);
}

TestOutcome ShowResult(TestBench& bench) {
    const bool pass = IsPass(bench.flags.selfTestPassed, bench.flags.panelFailed);
    bench.view.SetStatus(pass ? "PASS" : "NG", pass ? kPassColour : kNgColour);
    CountVerdict(bench.counters, pass);
    bench.view.RefreshCounters();
    // Read once, so the record's cycle time is the one the log shows.
    bench.summary.seconds = SecondsSinceStart(bench);
    Log(bench, ElapsedTimeLine(bench.summary.seconds));
    return pass ? TestOutcome::Pass : TestOutcome::Ng;
}

TestOutcome RunTest(TestBench& bench) {
    bench.view.KillTimer(timers::kBackToWait);
    bench.testStartCount = bench.readCounter();
    ResetForTest(bench);
    bench.view.EnableControl(ids::kStartButton, false);
    bench.view.EnableMenuItem(ids::kMenuProgramming, false);
    bench.summary = {};
    for (int attempt = 1;; ++attempt) {
        bench.summary.attempts = attempt;
        if (RunAttempt(bench)) {
            break;
        }
        if (attempt == kMaxTestAttempts) {
            bench.flags.selfTestPassed = false;
            bench.view.SetStatus("NG", kNgColour);
            Log(bench, "测试失败，原因：USB连接异常或驱动通道严重短路");
            bench.summary.seconds = SecondsSinceStart(bench);
            FinishTest(bench);
            return TestOutcome::Unmeasured;
        }
        Log(bench, "第" + Right(FormatPadded(attempt + 1, 10), 2) + "次重新获取>>>>>>>>>");
        ResetAttempt(bench);
    }
    const TestOutcome outcome = ShowResult(bench);
    bench.summary.outcome = outcome;
    Log(bench, "测试完成");
    FinishTest(bench);
    return outcome;
}

int64_t SteadyCounterNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

double SteadyCounterFrequency() {
    using Period = std::chrono::steady_clock::period;
    return static_cast<double>(Period::den) / Period::num;
}
