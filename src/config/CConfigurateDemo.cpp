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
#include <string>

#include "app/StationView.h"
#include "config/CConfigurate.h"
#include "config/CDefineMultiKeys.h"
#include "config/CDemoView.h"
#include "config/Utf8Path.h"

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
    CDemoView view(argv[1], {}, true);
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
