#pragma once

#include <QApplication>

// The one QApplication of a GoogleTest window test, created on first use. It runs on the
// offscreen platform unless QT_QPA_PLATFORM names another.
inline QApplication& UiTestApp() {
    static int argc = 1;
    static char name[] = "panelix-ui-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        return new QApplication(argc, argv);
    }();
    return *app;
}
