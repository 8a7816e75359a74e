// Shows the sample organiser as an operator sees it after a few acquisitions on the simulated
// board and their average, with the average checked; for screenshots.
//
//   arrange-sample-demo CONFIG [SECONDS]
//
// The current directory is the working folder: its Config/AdditionalPara1.ini gives the list's
// capacity, and the samples are written into its TemporarySamples folder. The window stays up
// for SECONDS (default 30); the program then ends without the close box, so the parameters
// file is not written.

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/CDemoView.h"
#include "config/Utf8Path.h"
#include "samples/CArrangeSample.h"
#include "sim/SimOptions.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Panelix"));
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: arrange-sample-demo CONFIG [SECONDS]\n");
        return 2;
    }
    const int seconds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 30;

    CDemoView view;
    const auto backend = MakeSimBackend(SimOptions{});
    CountingSleeper sleeper(false);
    Station station(view, *backend, sleeper, Utf8FromPath(std::filesystem::current_path()));
    station.CreateFolders();
    uint8_t errorLine = 0;
    if (!LoadTestConfig(argv[1], station.testConfig, errorLine, view)) {
        std::fprintf(stderr, "arrange-sample-demo: %s rejected at line %d\n", argv[1], errorLine);
        return 1;
    }
    station.configState.Criterion = 1;
    station.OnShowWindow();
    for (const int timer : {timers::kOpenBoard, timers::kOpenBoard, timers::kBringUp}) {
        station.OnTimer(timer);
    }
    if (!station.controllerReady) {
        std::fprintf(stderr, "arrange-sample-demo: the simulated board did not come up\n");
        return 3;
    }

    std::unique_ptr<CArrangeSample> window;
    ShowArrangeSample(window, station, nullptr);
    SampleOrganiser& organiser = window->Organiser();
    for (int i = 0; i < 3; ++i) {
        organiser.Acquire();
        station.OnTimer(timers::kSampleAcquisition);
        organiser.OnTimer(organiserids::kAcquisitionTimer);
    }
    organiser.SelectAll(true);
    organiser.Average();
    organiser.SelectAll(false);
    organiser.SetRowChecked(organiser.RowCount() - 1, true);
    window->move(20, 20);

    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int result = QApplication::exec();
    window.reset();
    return result;
}
