// The programming window on the offscreen platform: its controls, their first states, and
// the wiring of its buttons, radios, progress bar and timer to the session.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "programming/CFlashMemory.h"
#include "sim/SimBackend.h"
#include "support/FakeStationView.h"
#include "ui/UiTestApp.h"

namespace {

const std::string kSaved = std::string(PANELIX_TEST_DATA_DIR) + "/xcfg/saved.xcfg";

class FlashMemoryWindow : public ::testing::Test {
protected:
    template <typename T>
    T* Get(int id) const {
        T* control = qobject_cast<T*>(window.Control(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
    QPushButton* Button(int id) const { return Get<QPushButton>(id); }
    QRadioButton* Radio(int id) const { return Get<QRadioButton>(id); }
    QString EditText(int id) const { return Get<QLineEdit>(id)->text(); }

    void BringUp() {
        station.OnShowWindow();
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kOpenBoard);
        station.OnTimer(timers::kBringUp);
        ASSERT_TRUE(station.controllerReady) << station.log.Text();
    }

    // Before any widget.
    QApplication& app = UiTestApp();
    SimBackend backend;
    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station{view, backend, sleeper, "."};
    CFlashMemory window{station, nullptr, &view};
};

TEST_F(FlashMemoryWindow, OpensWithItsCaptionsAndFirstStates) {
    EXPECT_EQ(window.windowTitle(), "烧录文件");
    EXPECT_EQ(Get<QGroupBox>(ids::kFlashFileGroup)->title(), "文件操作");
    EXPECT_EQ(Get<QGroupBox>(ids::kFlashModeGroup)->title(), "烧录方式");
    const struct {
        int id;
        const char* caption;
        bool enabled;
    } buttons[] = {
        {ids::kFlashImportButton, "导入文件", true},
        {ids::kFlashExportButton, "导出文件", true},
        {ids::kFlashProgramOnce, "执行一次烧录", false},
        {ids::kFlashStartProgramming, "开始烧录", false},
        {ids::kFlashUpdateBoardFile, "更新主板烧录文件", false},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(Button(b.id)->text(), b.caption);
        EXPECT_EQ(Button(b.id)->isEnabled(), b.enabled);
    }
    const struct {
        int id;
        const char* caption;
        bool enabled;
        bool checked;
    } radios[] = {
        {ids::kFlashManualRadio, "手动", true, true},
        {ids::kFlashContinuousRadio, "自动连续", true, false},
        {ids::kFlashOfflineRadio, "脱机", false, false},
    };
    for (const auto& r : radios) {
        SCOPED_TRACE(r.caption);
        EXPECT_EQ(Radio(r.id)->text(), r.caption);
        EXPECT_EQ(Radio(r.id)->isEnabled(), r.enabled);
        EXPECT_EQ(Radio(r.id)->isChecked(), r.checked);
    }
    for (const int edit : {ids::kFlashImportPath, ids::kFlashExportPath}) {
        EXPECT_EQ(EditText(edit), "");
    }
    const QProgressBar* bar = Get<QProgressBar>(ids::kFlashProgress);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(window.TimerRunning(timers::kFlashProgress));
}

TEST_F(FlashMemoryWindow, ImportAndRadiosChooseTheEnabledActionButton) {
    Radio(ids::kFlashContinuousRadio)->click();
    EXPECT_FALSE(Button(ids::kFlashStartProgramming)->isEnabled());

    view.openAnswers.push_back(kSaved);
    Button(ids::kFlashImportButton)->click();
    EXPECT_EQ(EditText(ids::kFlashImportPath), QString::fromStdString(kSaved));
    EXPECT_FALSE(Button(ids::kFlashProgramOnce)->isEnabled());
    EXPECT_TRUE(Button(ids::kFlashStartProgramming)->isEnabled());

    // "开始烧录" has no action.
    Button(ids::kFlashStartProgramming)->click();
    EXPECT_TRUE(view.messages.empty());

    Radio(ids::kFlashManualRadio)->click();
    EXPECT_TRUE(Button(ids::kFlashProgramOnce)->isEnabled());
    EXPECT_FALSE(Button(ids::kFlashStartProgramming)->isEnabled());
    EXPECT_FALSE(Button(ids::kFlashUpdateBoardFile)->isEnabled());
}

TEST_F(FlashMemoryWindow, ProgramOnceFillsTheBarAndClosingStopsTimer20) {
    BringUp();
    view.openAnswers.push_back(kSaved);
    Button(ids::kFlashImportButton)->click();
    Button(ids::kFlashProgramOnce)->click();

    EXPECT_TRUE(view.messages.empty()) << view.messages[0].text;
    EXPECT_EQ(Get<QProgressBar>(ids::kFlashProgress)->value(), 100);
    EXPECT_TRUE(Button(ids::kFlashProgramOnce)->isEnabled());
    EXPECT_TRUE(window.TimerRunning(timers::kFlashProgress));

    window.reject();
    EXPECT_FALSE(window.TimerRunning(timers::kFlashProgress));
}

}  // namespace
