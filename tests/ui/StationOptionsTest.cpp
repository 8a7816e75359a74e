#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <string>
#include <vector>

#include "app/CPanelixApp.h"
#include "ui/UiTestApp.h"

namespace {

using Words = std::vector<std::string>;

TEST(StationOptions, ReadTheBoardAndTheConfiguration) {
    const struct {
        const char* name;
        Words words;
        bool ok;
        std::string board;
        std::string config;
        Words left;
    } cases[] = {
        {"defaultIsTheRealBoard", {}, true, "usb", "", {}},
        {"simulatedBoard", {"--simulated-board"}, true, "sim", "", {}},
        {"boardWithEquals", {"--board=sim"}, true, "sim", "", {}},
        {"boardAndConfig", {"--board", "usb", "--config", "a b.txt"}, true, "usb", "a b.txt", {}},
        {"simWordsStayInOrder",
         {"--sim-node", "1,2=3", "--simulated-board", "--sim-seed=4"},
         true,
         "sim",
         "",
         {"--sim-node", "1,2=3", "--sim-seed=4"}},
        {"boardWithoutValue", {"--board"}, false, "usb", "", {}},
        {"configWithoutValue", {"--config="}, false, "usb", "", {}},
    };
    for (const auto& c : cases) {
        StationOptions options;
        std::string error;
        EXPECT_EQ(ParseStationOptions(c.words, options, error), c.ok) << c.name;
        EXPECT_EQ(error.empty(), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(options.board, c.board) << c.name;
            EXPECT_EQ(options.configPath, c.config) << c.name;
            EXPECT_EQ(options.boardWords, c.left) << c.name;
        }
    }
}

TEST(StationOptions, HelpNeedsNoDisplay) {
    UiTestApp();
    QProcess station;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    station.setProcessEnvironment(environment);
    station.start(PANELIX_EXE, {"--help"});
    ASSERT_TRUE(station.waitForFinished(20000));
    EXPECT_EQ(station.exitCode(), 0);
    EXPECT_TRUE(station.readAllStandardOutput().startsWith("usage: panelix"));
}

}  // namespace
