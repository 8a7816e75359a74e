#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <memory>

#include "app/SingleInstance.h"
#include "ui/UiTestApp.h"

namespace {

TEST(SingleInstanceLock, OneHolderAtATime) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("serverassistant.lock").toStdString();
    auto first = std::make_unique<SingleInstanceLock>(path);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "asking again keeps the lock";
    SingleInstanceLock second(path);
    EXPECT_FALSE(second.TryAcquire());
    first.reset();
    EXPECT_TRUE(second.TryAcquire()) << "released with its holder";
}

TEST(SingleInstanceLock, UnusableLockFileDoesNotStopTheStation) {
    SingleInstanceLock lock("/nonexistent-folder/serverassistant.lock");
    EXPECT_TRUE(lock.TryAcquire());
}

TEST(SingleInstanceLock, PathFollowsTheRuntimeFolder) {
    qputenv("XDG_RUNTIME_DIR", "/run/user/1234");
    EXPECT_EQ(SingleInstanceLockPath("serverassistant"), "/run/user/1234/serverassistant.lock");
    qputenv("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(SingleInstanceLockPath("serverassistant"), "/tmp/serverassistant.lock");
}

// The station program itself: a second start ends at once, silently and with 0, while the
// first holds the lock; without a holder it goes on (here to refuse a bogus board).
TEST(SingleInstanceLock, SecondStationEndsSilently) {
    UiTestApp();
    const struct {
        const char* name;
        bool held;
        int exitCode;
        bool silent;
    } cases[] = {
        {"anotherInstanceRuns", true, 0, true},
        {"noOtherInstance", false, 2, false},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        SingleInstanceLock first(folder.filePath("serverassistant.lock").toStdString());
        if (c.held) {
            ASSERT_TRUE(first.TryAcquire()) << c.name;
        }
        QProcess station;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", folder.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        station.setProcessEnvironment(environment);
        station.setWorkingDirectory(folder.path());
        station.start(PANELIX_EXE, {"--board", "bogus"});
        ASSERT_TRUE(station.waitForFinished(20000)) << c.name;
        EXPECT_EQ(station.exitStatus(), QProcess::NormalExit) << c.name;
        EXPECT_EQ(station.exitCode(), c.exitCode) << c.name;
        const QByteArray output = station.readAllStandardOutput() + station.readAllStandardError();
        EXPECT_EQ(output.isEmpty(), c.silent) << c.name << ": " << output.toStdString();
    }
}

}  // namespace
