#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "app/StatusLog.h"
#include "config/TestConfig.h"
#include "controller/BoardMemory.h"
#include "controller/ControllerCommands.h"
#include "controller/ObjectTable.h"
#include "controller/SelfTest.h"
#include "link/BoardCommand.h"
#include "link/HidBackend.h"
#include "link/HidLink.h"

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
    // (the controller layer's bring-up, which stops timer 1 itself). Timers the station does
    // not handle yet are ignored.
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

private:
    void OnOpenBoardTimer();
    void OnBringUpTimer();

    bool shown_ = false;
    // Cleared by the destructor, so device events that still arrive are dropped.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

// ASCII case-insensitive equality, as device paths are compared.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);
