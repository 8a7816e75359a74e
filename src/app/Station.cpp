#include "app/Station.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "app/Format.h"
#include "app/StationView.h"
#include "config/Utf8Path.h"
#include "samples/SampleClock.h"

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

Station::Station(StationView& view, HidBackend& backend, Sleeper& sleeper,
                 std::string workingFolder, StatusLog::Clock clock)
    : view(view),
      backend(backend),
      sleeper(sleeper),
      workingFolder(std::move(workingFolder)),
      tempSampleFolder(this->workingFolder + "/TemporarySamples"),
      log(std::move(clock)),
      link(backend, log),
      board(link, log, sleeper) {
    link.SetPushedMessageHandler(
        [this](const HidReport& report) { selfTest.OnPushedMessage(report); });
}

Station::~Station() {
    *alive_ = false;
    // selfTest is destroyed before the link's threads stop.
    link.SetPushedMessageHandler({});
}

void Station::OnShowWindow() {
    if (shown_) {
        return;
    }
    shown_ = true;
    view.EnableControl(ids::kStartButton, false);
    view.EnableMenuItem(ids::kMenuProgramming, false);
    link.StartLink();
    // The listener runs on the backend's thread: it only hands the event to the UI thread.
    backend.WatchDevices([station = this, window = &view, alive = alive_](DeviceEvent event,
                                                                          const std::string& path) {
        if (!*alive) {
            return;
        }
        window->PostToUi([station, alive, event, path] {
            if (*alive) {
                station->OnDeviceChange(event, path);
            }
        });
    });
    view.SetTimer(timers::kOpenBoard, kOpenBoardPeriodMs);
    view.SetTimer(timers::kSampleAcquisition, kSampleAcquisitionPeriodMs);
}

void Station::OnTimer(int timerId) {
    switch (timerId) {
        case timers::kOpenBoard:
            OnOpenBoardTimer();
            break;
        case timers::kBringUp:
            OnBringUpTimer();
            break;
        case timers::kBackToWait:
            OnBackToWaitTimer();
            break;
        case timers::kSampleAcquisition:
            OnSampleTimer();
            break;
        default:
            break;
    }
}

void Station::OnOpenBoardTimer() {
    if (!link.connected) {
        link.OpenBoard();
        return;
    }
    view.KillTimer(timers::kOpenBoard);
    if (!controllerReady) {
        view.SetTimer(timers::kBringUp, kBringUpPeriodMs);
    }
}

void Station::OnBringUpTimer() {
    BringUpStation station{view, linkOk, controllerReady, configState.configValid,
                           [this] { link.CloseBoard(); }};
    if (BringUpController(objectTable, controller, selfTest, station) == BringUpResult::Ready) {
        // The programming window needs a controller whose table is known.
        view.EnableMenuItem(ids::kMenuProgramming, true);
    }
}

void Station::OnBackToWaitTimer() {
    view.KillTimer(timers::kBackToWait);
    // The flags alone are not enough: a pushed "all normal" after a failed test sets them.
    if (lastTestPassed_ && IsPass(engineFlags.selfTestPassed, engineFlags.panelFailed)) {
        view.SetStatus("WAIT", kWaitColour);
    }
}

void Station::OnSampleTimer() {
    if (!sampleRequested) {
        return;
    }
    view.KillTimer(timers::kSampleAcquisition);
    AcquireSample();
    sampleRequested = false;
    view.EnableControl(ids::kButtonAcquireSample, true);
    if (enableAcquireButton) {
        enableAcquireButton();
    }
}

void Station::AcquireSample() {
    sampleAcquired = false;
    if (!HasTestConfiguration()) {
        view.ShowMessage("请先导入测试配置，再获取样本", "提示", MessageButtons::Ok,
                         MessageIcon::Exclamation);
        return;
    }
    const TestOutcome outcome = RunTest();
    // After an unmeasured test NodeMatrix holds no panel: a sample of it would judge every
    // later panel wrongly. The test has logged its failure.
    if (outcome != TestOutcome::Unmeasured) {
        const SampleFileResult result = WriteCurrentSample(tempSampleFolder);
        sampleAcquired = result.ok;
        if (!result.ok) {
            view.ShowMessage(result.message, "提示", MessageButtons::Ok, MessageIcon::Exclamation);
        }
    }
    if (onSampleTestDone) {
        onSampleTestDone(outcome);
    }
}

SampleFileResult Station::WriteCurrentSample(const std::string& folder) {
    const SampleFolders folders{PathFromUtf8(workingFolder), PathFromUtf8(folder)};
    return WriteSampleFile(folders, testConfig, NodeMatrix, SampleSource::CurrentData, sampleRecord,
                           FreshSampleClock(folders.tempSampleFolder, sampleClock));
}

bool Station::HasTestConfiguration() const {
    return testConfig.x_channel_valid > 0 && testConfig.y_channel_valid > 0;
}

TestOutcome Station::RunTest() {
    TestBench bench{view,
                    log,
                    sleeper,
                    controller,
                    selfTest,
                    engineFlags,
                    diagnostic,
                    link.dataReady,
                    link.ackReady,
                    controllerReady,
                    referenceModeActive,
                    NodeMatrix,
                    testConfig,
                    configState,
                    SampleRawDataLow,
                    SampleRawDataHigh,
                    counters,
                    readCounter,
                    counterFrequency,
                    testStartCount,
                    lastTest};
    const TestOutcome outcome = ::RunTest(bench);
    lastTestPassed_ = outcome == TestOutcome::Pass;
    if (controllerReady) {
        view.EnableMenuItem(ids::kMenuProgramming, true);
    }
    return outcome;
}

void Station::ResetStatistics() {
    ::ResetStatistics(counters);
    view.RefreshCounters();
}

JudgingLimits Station::Limits() const {
    return {testConfig, configState.Criterion, SampleRawDataLow, SampleRawDataHigh};
}

void Station::OnDeviceChange(DeviceEvent event, const std::string& path) {
    if (link.devicePath.empty() || !EqualsIgnoringCase(path, link.devicePath)) {
        return;
    }
    if (event == DeviceEvent::Arrival) {
        log.AppendLog("测试板已连接", 0, 1);
        if (!link.connected) {
            view.SetTimer(timers::kOpenBoard, kOpenBoardPeriodMs);
        }
        return;
    }
    log.AppendLog("测试板已断开", 0, 1);
    referenceModeActive = false;
    controllerReady = false;
    view.EnableControl(ids::kStartButton, false);
    view.EnableMenuItem(ids::kMenuProgramming, false);
    if (link.connected) {
        link.CloseBoard();
    }
    linkOk = false;
}

void Station::CreateFolders() {
    for (const std::string& folder :
         {workingFolder + "/Config", workingFolder + "/Sample", tempSampleFolder}) {
        std::error_code ignored;
        std::filesystem::create_directories(PathFromUtf8(folder), ignored);
    }
}

bool Station::AcceptTestConfigFile(const std::string& path) {
    configState.configValid = false;
    std::ifstream probe(PathFromUtf8(path));
    const bool readable = probe.is_open();
    probe.close();
    if (!LoadTestConfig(path, testConfig, configState.error_line, view)) {
        if (readable) {
            liveConfigComplete = false;
            log.AppendLog("配置文件错误>_<,", 0, 0);
            log.AppendLog("位置在第" + Right(FormatPadded(configState.error_line, 10), 2) + "行。",
                          0, 1);
        }
        return false;
    }
    liveConfigComplete = true;
    configState.config_file_path = path;
    configState.Criterion = 0;
    configState.configValid = true;
    log.AppendLog("配置文件正确", 0, 1);
    log.AppendLog("判定依据：测试值上下限范围", 0, 1);
    view.EnableControl(ids::kStartButton, linkOk && controllerReady);
    view.EnableMenuItem(ids::kMenuSamples, false);
    view.RebuildGrid();
    return true;
}
