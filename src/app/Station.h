#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/StatusLog.h"
#include "config/TestConfig.h"
#include "controller/BoardMemory.h"
#include "controller/ControllerCommands.h"
#include "controller/ObjectTable.h"
#include "controller/SelfTest.h"
#include "engine/Judging.h"
#include "engine/TestSequence.h"
#include "link/BoardCommand.h"
#include "link/HidBackend.h"
#include "link/HidLink.h"
#include "programming/Xcfg.h"
#include "samples/SampleFiles.h"

class Sleeper;
class StationView;

// The station's shared state for the life of the main window, and the core of the window's
// handlers. The window (or a headless driver) calls the On... operations on the UI thread;
// everything here runs there, except what the link's threads do inside link.
//
// The fields are plain on purpose: the controller layer, the test engine, the sample and
// configuration windows read and write them directly, on the UI thread.
class Station {
public:
    static constexpr int kOpenBoardPeriodMs = 100;
    static constexpr int kBringUpPeriodMs = 100;
    static constexpr int kSampleAcquisitionPeriodMs = 100;

    // view, backend and sleeper must outlive the station; backend's device events are
    // dropped once the station is gone. clock: local time for the log's time stamps (the
    // system clock when empty).
    Station(StationView& view, HidBackend& backend, Sleeper& sleeper, std::string workingFolder,
            StatusLog::Clock clock = {});
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // The window's first showing: disables Start (1003), greys "烧录文件" (32772), starts the
    // link's threads, watches device arrival and removal (events reach OnDeviceChange through
    // StationView::PostToUi), arms timer 2 and timer 4 at 100 ms. Later calls do nothing.
    void OnShowWindow();

    // A tick of a main-window timer. Timer 2: no board connected: OpenBoard; connected: stop
    // timer 2 and, unless controllerReady, arm timer 1 at 100 ms. Timer 1: BringUpController
    // (the controller layer's bring-up, which stops timer 1 itself; once the controller is
    // ready, "烧录文件" (32772) is enabled). Timer 3: stopped; "WAIT" on blue when the last
    // test showed PASS and the engine flags still say so. Timer 4: when sampleRequested, stopped,
    // RunTest, the sample written (AcquireSample), onSampleTestDone, sampleRequested cleared and
    // "获取一个样本" (1063) enabled; otherwise nothing. Other timers are ignored.
    void OnTimer(int timerId);

    // A device arrival or removal. Only the board's own path (devicePath, compared ignoring
    // case) counts. Arrival: "测试板已连接"; timer 2 re-armed when no board is connected.
    // Removal: "测试板已断开"; referenceModeActive and controllerReady cleared, Start
    // disabled, "烧录文件" greyed, the board closed if connected, linkOk cleared.
    void OnDeviceChange(DeviceEvent event, const std::string& path);

    StationView& view;
    HidBackend& backend;
    Sleeper& sleeper;
    // The current directory at start-up: base of "Config", "Sample" and every relative path.
    const std::string workingFolder;
    // Acquired and averaged sample files: "TemporarySamples" below the working folder.
    const std::string tempSampleFolder;

    StatusLog log;
    HidLink link;
    BoardCommand board;

    // The information header was read and accepted; cleared on removal.
    bool linkOk = false;
    // The controller bring-up has finished; cleared on removal.
    bool controllerReady = false;
    // The controller shows reference data; cleared on removal and before every test.
    bool referenceModeActive = false;

    // configValid: a test configuration is in place, so the bring-up may enable Start.
    ConfigState configState;

    // The controller as the last bring-up found it, and the reference data of the last test.
    ObjectTable objectTable;
    DiagnosticData diagnostic;
    // The engine flags the pin self test writes, on the UI and on the reader thread; the test
    // engine resets them.
    SelfTestFlags engineFlags;
    BoardMemory memory{board};
    ControllerCommands controller{memory, objectTable, diagnostic, log, sleeper};
    // Also the link's pushed-message handler, from construction until destruction.
    SelfTest selfTest{controller, engineFlags, log};

    // The live test configuration: what the engine classifies, judges and shows.
    TestConfig testConfig;
    // testConfig came whole from an accepted file or from the configuration window's apply,
    // so closing that window may make it ready for testing; a rejected load leaves it half
    // written. UI thread.
    bool liveConfigComplete = false;

    // Node values of the last test, [X channel][Y channel].
    NodeValueMatrix NodeMatrix{};
    // Per-node limits of the sample in use, [X][Y]; 0 until a sample is put to use.
    LimitMatrix SampleRawDataLow{};
    LimitMatrix SampleRawDataHigh{};
    // okCount, ngCount and yieldPercent: 0 at start-up, changed only by a measured test and
    // ResetStatistics.
    TestCounters counters;
    // The high-resolution counter, its ticks per second, and its value when the last test
    // began. Tests may replace the counter with their own clock.
    std::function<int64_t()> readCounter = SteadyCounterNow;
    double counterFrequency = SteadyCounterFrequency();
    int64_t testStartCount = 0;
    // What the last test came to: its outcome, attempts and cycle time.
    TestSummary lastTest;
    // The sample organiser asks for one acquisition test on timer 4.
    bool sampleRequested = false;
    // Runs on timer 4 right after the acquisition test and its sample, with the test's
    // outcome, before sampleRequested is cleared. After an Unmeasured test NodeMatrix does
    // not hold the panel's values.
    std::function<void(TestOutcome)> onSampleTestDone;
    // The current reference sample: filled by every sample written or imported; putting a
    // sample to use changes only its path.
    SampleRecord sampleRecord;
    // The last acquisition on timer 4 wrote its sample into sampleRecord.
    bool sampleAcquired = false;
    // Local time for the names of new sample files; tests pass a fixed one.
    SampleClock sampleClock = LocalTimeNow;
    // "获取一个样本" (1063) lives in the sample organiser's own window: called at the end of
    // every acquisition on timer 4, after view's EnableControl(1063, true).
    std::function<void()> enableAcquireButton;

    // The programming window's record sets and programProgress; they keep their contents
    // between openings of the window.
    ConfigRecordSets configRecords;

    // The acquisition of timer 4, once sampleRequested: without a configuration that has
    // channels, "请先导入测试配置，再获取样本" and no test; otherwise RunTest and, unless the
    // panel could not be measured, the sample written into tempSampleFolder. A failed write
    // is shown with the file's message. sampleAcquired tells whether sampleRecord now holds
    // the new sample. UI thread.
    void AcquireSample();
    // Writes NodeMatrix as a new sample of source 1 (current data) into folder (UTF-8, which
    // must exist), seeded by <workingFolder>/Config/SampleTemplate.ini and named after
    // sampleClock, moved on past names that folder already holds; sampleRecord is replaced.
    SampleFileResult WriteCurrentSample(const std::string& folder);
    // The live configuration has X and Y channels, so samples and their limits mean nodes.
    bool HasTestConfiguration() const;

    // Start (1003) or the space bar: one whole test (TestSequence.h), UI thread. The test
    // greys "烧录文件" (32772); it is enabled again afterwards while controllerReady.
    TestOutcome RunTest();
    // "统计清零" (1021): the counters and the yield back to 0, shown at once.
    void ResetStatistics();
    // What NodeOutOfLimits judges against now, for the grid's colouring.
    JudgingLimits Limits() const;

    // The window's initialisation: creates "Config" and "Sample" below the working folder
    // and the temporary sample folder, each when missing. A folder that cannot be created is
    // passed over; the file operations in it report their own failure later.
    void CreateFolders();

    // Loads path (UTF-8) as the live configuration and accepts it as the configuration
    // window does when it closes valid while judging by limits: Criterion 0, configValid,
    // config_file_path, "配置文件正确" and "判定依据：测试值上下限范围", Start enabled only with
    // linkOk and controllerReady, the grid rebuilt. A file that cannot be opened is reported
    // by LoadTestConfig's message box; a rejected one logs "配置文件错误>_<,位置在第NN行。".
    // Either way configValid is false and the result false. UI thread.
    bool AcceptTestConfigFile(const std::string& path);

private:
    void OnOpenBoardTimer();
    void OnBringUpTimer();
    void OnBackToWaitTimer();
    void OnSampleTimer();

    bool shown_ = false;
    // The last test showed PASS: only then may timer 3 put "WAIT" back.
    bool lastTestPassed_ = false;
    // Cleared by the destructor, so device events that still arrive are dropped.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

// ASCII case-insensitive equality, as device paths are compared.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);
