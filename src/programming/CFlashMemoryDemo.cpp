// Shows the programming window on the simulated board as an operator sees it after "导出文件"
// (to Config/chip) and "导入文件" of that file; with --program also after "执行一次烧录";
// for screenshots.
//
//   flashmemory-demo [--program] [SECONDS]
//
// The current directory is the working folder; Config/chip.xcfg is written there. The window
// stays up for SECONDS (default 30).

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "app/StationView.h"
#include "config/CDemoView.h"
#include "programming/CFlashMemory.h"
#include "sim/SimBackend.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Panelix"));
    bool program = false;
    int seconds = 30;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--program") == 0) {
            program = true;
        } else if (const int value = std::atoi(argv[i]); value > 0) {
            seconds = value;
        } else {
            std::fprintf(stderr, "usage: flashmemory-demo [--program] [SECONDS]\n");
            return 2;
        }
    }

    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    std::filesystem::create_directories(folder + "/Config", error);
    CDemoView view(folder + "/Config/chip.xcfg", folder + "/Config/chip");
    SimBackend backend;
    RealSleeper sleeper;
    Station station(view, backend, sleeper, folder);
    station.OnShowWindow();
    for (const int timer : {timers::kOpenBoard, timers::kOpenBoard, timers::kBringUp}) {
        station.OnTimer(timer);
    }
    if (!station.controllerReady) {
        std::fprintf(stderr, "flashmemory-demo: the simulated controller did not come up\n");
        return 3;
    }

    CFlashMemory window(station, nullptr, &view);
    window.move(20, 20);
    window.show();
    window.Session().OnExport();
    window.Session().OnImport();
    if (program) {
        window.Session().OnProgramOnce();
    }
    std::printf("flashmemory %d %d %d %d\n", window.x(), window.y(), window.width(),
                window.height());
    std::fflush(stdout);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
