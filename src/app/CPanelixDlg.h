#pragma once

#include <QDialog>
#include <QSize>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/StationView.h"

class CDigistatic;
class CMyStatic;
class CNodeGridModel;
class HidBackend;
class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class QWidget;
class CArrangeSample;
class Sleeper;
class Station;

// Control IDs of the main window that the core does not address itself.
namespace ids {
constexpr int kGrid = 1007;
constexpr int kOkCount = 1013;
constexpr int kNgCount = 1014;
constexpr int kYield = 1018;
constexpr int kOkCaption = 1019;
constexpr int kNgCaption = 1020;
constexpr int kResetButton = 1021;
constexpr int kYieldCaption = 1022;
constexpr int kStatusLabel = 1023;
constexpr int kMenuShowIcInfo = 32777;       // "显示IC信息": does nothing
constexpr int kMenuAbout = 32778;            // "关于"
constexpr int kMenuUpgradeFirmware = 32783;  // "升级固件": does nothing
}  // namespace ids

// A control's place in the window's client area, in pixels; right and bottom exclusive.
struct ControlRect {
    int id = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

// Where every control of the main window goes on a screen of the given size: each edge a
// fixed fraction of the screen, truncated toward zero (right = left + a width fraction,
// summed before truncation). Pure.
std::vector<ControlRect> LayoutControls(int screenWidth, int screenHeight);

struct StationWindowOptions {
    // The window title and the About box's product line.
    QString title;
    // Lays the window out for this screen instead of the real one (tests).
    std::optional<QSize> screenSize;
};

// The station's main window: Station's StationView and the operator's view of it. Turns
// clicks, keys, timer ticks and device events into calls on Station and draws what it is
// told; the decisions stay in Station. UI thread only, except PostToUi.
class CPanelixDlg : public QDialog, public StationView {
    Q_OBJECT

public:
    // backend and sleeper must outlive the window. workingFolder: base of "Config" and
    // "Sample". Runs OnInitDialog.
    CPanelixDlg(HidBackend& backend, Sleeper& sleeper, std::string workingFolder,
                StationWindowOptions options, QWidget* parent = nullptr);
    ~CPanelixDlg() override;

    Station& station() { return *station_; }
    // The sample organiser, once "整理样本" has created it; null before.
    CArrangeSample* OrganiserWindow() const { return organiserWindow_.get(); }

    // The keyboard filter in front of every widget of this window. True when the key is
    // consumed: Enter always; the space bar always (it runs a test while Start is enabled,
    // and must not also click the focused button); Escape ends the window without OnClose.
    bool PreTranslateMessage(QKeyEvent* event);

    // The grid's columns and rows follow the live configuration; every cell empty.
    void RebuildGrid() override;
    // Writes the station's node values into the grid.
    void DisplayNodeValues();

    // Lookups for tests and screenshots; null for an unknown ID.
    QWidget* Control(int controlId) const;
    QAction* MenuItem(int menuId) const;
    bool TimerRunning(int timerId) const;
    int ScreenWidth() const { return screenWidth_; }
    int ScreenHeight() const { return screenHeight_; }

    // StationView.
    void EnableControl(int controlId, bool enabled) override;
    void EnableMenuItem(int menuId, bool enabled) override;
    void SetTimer(int timerId, int periodMs) override;
    void KillTimer(int timerId) override;
    void SetStatus(std::string_view text, Colour background) override;
    void ShowNodeValues() override;
    void RefreshCounters() override;
    void PostToUi(std::function<void()> call) override;
    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) override;
    std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateMenu();
    void OnInitDialog();
    void OnShowWindow();
    void InitResultPanel();
    void ApplyLayout();
    void FitGridScrollBar();
    void OnTimer(int timerId);
    void OnStart();
    void OnResetStatistics();
    void OnTestConfig();
    void OnProgramming();
    void OnArrangeSamples();
    void OnAbout();
    void OnClose();
    void RefreshLog();

    StationWindowOptions options_;
    std::unique_ptr<Station> station_;
    // Created on the first "整理样本", destroyed before the station it works on.
    std::unique_ptr<CArrangeSample> organiserWindow_;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool shown_ = false;

    QWidget* client_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QTableView* grid_ = nullptr;
    CNodeGridModel* gridModel_ = nullptr;
    QPlainTextEdit* logView_ = nullptr;
    CDigistatic* okDisplay_ = nullptr;
    CDigistatic* ngDisplay_ = nullptr;
    CDigistatic* yieldDisplay_ = nullptr;
    CMyStatic* okCaption_ = nullptr;
    CMyStatic* ngCaption_ = nullptr;
    CMyStatic* yieldCaption_ = nullptr;
    CMyStatic* statusLabel_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* startButton_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> menuItems_;
    std::map<int, QTimer*> timers_;

    // What the log view shows, as the log holds it (CR LF lines).
    std::string shownLog_;
    // Posted calls run only while the window lives; read and written on the UI thread only.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // One refresh of the log view waits at most; appends from the reader thread only set it.
    std::shared_ptr<std::atomic<bool>> logRefreshPending_ =
        std::make_shared<std::atomic<bool>>(false);
};
