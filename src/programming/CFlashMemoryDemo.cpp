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
#include <functional>
#include <string>
#include <system_error>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "app/StationView.h"
#include "config/CDialogPrompter.h"
#include "programming/CFlashMemory.h"
#include "sim/SimBackend.h"

namespace {

// The main window's side: nothing to enable; the choosers answer with the demo's names.
class DemoView : public StationView {
public:
    DemoView(std::string saveAs, std::string open)
        : saveAs_(std::move(saveAs)), open_(std::move(open)), prompter_(nullptr) {}

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
        return prompter_.ShowMessage(text, caption, buttons, icon);
    }
    std::string ChooseFileToOpen(std::string_view, std::string_view) override { return open_; }
    std::string ChooseFileToSave(std::string_view, std::string_view) override { return saveAs_; }
    void EnableControl(int, bool) override {}
    void EnableMenuItem(int, bool) override {}
    void SetTimer(int, int) override {}
    void KillTimer(int) override {}
    void SetStatus(std::string_view, Colour) override {}
    void RebuildGrid() override {}
    void ShowNodeValues() override {}
    void RefreshCounters() override {}
    void PostToUi(std::function<void()> call) override { QTimer::singleShot(0, std::move(call)); }

private:
    std::string saveAs_;
    std::string open_;
    CDialogPrompter prompter_;
};

}  // namespace

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
    DemoView view(folder + "/Config/chip", folder + "/Config/chip.xcfg");
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
