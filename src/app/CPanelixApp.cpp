#include "app/CPanelixApp.h"

#include <QApplication>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string_view>
#include <system_error>

#include "app/CPanelixDlg.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/Utf8Path.h"
#include "link/BoardSource.h"
#include "sim/SimOptions.h"

namespace {

constexpr const char* kInstanceName = "serverassistant";
constexpr int kUsageExit = 2;

// "--name VALUE" or "--name=VALUE": true when word is the option; value is empty and
// missing set when the value is absent.
bool TakeValue(const std::vector<std::string>& words, size_t& i, const std::string& name,
               std::string& value, bool& missing) {
    const std::string& word = words[i];
    if (word == name) {
        missing = i + 1 >= words.size();
        value = missing ? std::string() : words[++i];
        return true;
    }
    if (word.rfind(name + "=", 0) == 0) {
        value = word.substr(name.size() + 1);
        missing = value.empty();
        return true;
    }
    return false;
}

// Any board but the station's own USB one is named, so that no one takes a demonstration or
// a board on another machine for this station's panel.
QString WindowTitle(const std::string& board) {
    QString title = QStringLiteral("Panelix 触摸屏测试站 %1").arg(PANELIX_VERSION);
    if (board == "sim") {
        title += QStringLiteral(" — 模拟测试板（演示与培训，非真实测试）");
    } else if (board.starts_with("tcp:")) {
        title += QStringLiteral(" — 远程测试板 ") + QString::fromStdString(board);
    }
    return title;
}

std::string CurrentFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string(".") : Utf8FromPath(folder);
}

}  // namespace

bool ParseStationOptions(const std::vector<std::string>& words, StationOptions& options,
                         std::string& error) {
    for (size_t i = 0; i < words.size(); ++i) {
        std::string value;
        bool missing = false;
        if (words[i] == "--simulated-board") {
            options.board = "sim";
        } else if (TakeValue(words, i, "--board", value, missing)) {
            if (missing) {
                error = "--board needs a value (usb, sim or tcp:HOST:PORT)";
                return false;
            }
            options.board = value;
        } else if (TakeValue(words, i, "--config", value, missing)) {
            if (missing) {
                error = "--config needs a file";
                return false;
            }
            options.configPath = value;
        } else {
            options.boardWords.push_back(words[i]);
        }
    }
    return true;
}

std::string StationUsage() {
    return std::string(
               "usage: panelix [--simulated-board | --board usb|sim|tcp:HOST:PORT] "
               "[--config FILE] [--sim-... options]\n"
               "  --simulated-board  the simulated board (demonstration and training)\n"
               "  --board NAME       usb (the real board, default), sim, or tcp:HOST:PORT (a\n"
               "                     board or panelix-sim reached over TCP)\n"
               "  --config FILE      load and accept FILE as the test configuration at start\n") +
           kSimOptionsHelp;
}

CPanelixApp::CPanelixApp(int& argc, char** argv)
    : argc_(argc), argv_(argv), instance_(SingleInstanceLockPath(kInstanceName)) {}

int CPanelixApp::InitInstance() {
    // Before the lock and the application object: the usage needs neither a display nor
    // the only instance.
    for (int i = 1; i < argc_; ++i) {
        if (std::string_view(argv_[i]) == "--help" || std::string_view(argv_[i]) == "-h") {
            std::cout << StationUsage();
            return 0;
        }
    }
    if (!instance_.TryAcquire()) {
        return 0;
    }
    QApplication application(argc_, argv_);

    std::vector<std::string> words;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        words.push_back(arguments[i].toStdString());
    }
    StationOptions options;
    std::string error;
    if (!ParseStationOptions(words, options, error)) {
        std::cerr << "panelix: " << error << "\n" << StationUsage();
        return kUsageExit;
    }
    std::unique_ptr<HidBackend> backend =
        MakeBoardBackend(options.board, options.boardWords, error);
    if (!backend) {
        std::cerr << "panelix: " << error << "\n";
        return kUsageExit;
    }
    if (!options.boardWords.empty()) {
        std::cerr << "panelix: unknown option " << options.boardWords.front() << "\n"
                  << StationUsage();
        return kUsageExit;
    }

    RealSleeper sleeper;
    StationWindowOptions windowOptions;
    windowOptions.title = WindowTitle(options.board);
    CPanelixDlg window(*backend, sleeper, CurrentFolder(), windowOptions);
    if (!options.configPath.empty()) {
        window.station().AcceptTestConfigFile(options.configPath);
    }
    window.exec();
    return 0;
}
