// Shows the configuration window filled from a configuration file, with the multi-key window
// beside it, as an operator sees them after "导入配置" and "定义多行按键"; for screenshots.
//
//   configurate-demo FILE [SECONDS]
//
// The current directory is the working folder (its Config/AdditionalPara1.ini is read). The
// windows stay up for SECONDS (default 30); the program then ends without their close boxes,
// so nothing is written.

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "app/StationView.h"
#include "config/CConfigurate.h"
#include "config/CDefineMultiKeys.h"
#include "config/CDialogPrompter.h"
#include "config/Utf8Path.h"

namespace {

// The main window's side: nothing to enable, no grid to rebuild; questions over `parent`.
class DemoView : public StationView {
public:
    DemoView(std::string file, QWidget* parent) : file_(std::move(file)), prompter_(parent) {}

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        return prompter_.ShowMessage(text, caption, buttons, icon);
    }
    // The import's chooser answers with the demo's file once.
    std::string ChooseFileToOpen(std::string_view, std::string_view) override {
        return std::exchange(file_, std::string());
    }
    std::string ChooseFileToSave(std::string_view, std::string_view) override { return {}; }
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
    std::string file_;
    CDialogPrompter prompter_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Panelix"));
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: configurate-demo FILE [SECONDS]\n");
        return 2;
    }
    const int seconds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 30;

    TestConfig live;
    ConfigState state;
    StatusLog log;
    bool linkOk = true;
    bool liveComplete = false;
    DemoView view(argv[1], nullptr);
    CConfigurate window(
        ConfigurationHost{live, state, log, linkOk, view,
                          Utf8FromPath(std::filesystem::current_path()), liveComplete},
        nullptr, &view);
    window.move(20, 20);
    window.show();
    window.Session().Import();

    CDefineMultiKeys multiKeys(window.Session().Working(), &window, &view);
    multiKeys.setWindowFlag(Qt::Window);
    multiKeys.move(window.frameGeometry().right() + 40, 20);
    multiKeys.show();

    std::printf("configurate %d %d %d %d\nmultikeys %d %d %d %d\n", window.x(), window.y(),
                window.width(), window.height(), multiKeys.x(), multiKeys.y(), multiKeys.width(),
                multiKeys.height());
    std::fflush(stdout);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
