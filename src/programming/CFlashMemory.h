#pragma once

#include <QDialog>
#include <map>
#include <memory>

#include "programming/ProgrammingSession.h"

class CDialogPrompter;
class Prompter;
class QButtonGroup;
class QProgressBar;
class QTimer;
class QWidget;
class Station;

// The programming window "烧录文件": saves the connected controller's configuration to an
// .xcfg file and programs a chosen file into the controller. It shows and forwards; every
// decision is ProgrammingSession's. Opened modally over the main window.
//
// The bar follows the programming record by record: it is repainted at once from inside the
// programming, which holds the UI thread; timer 20 (10 ms) copies programProgress as well.
// Closing the window, by the close box or Escape, stops timer 20. Controls carry their IDs as
// object names: "edit1150", "button1152", "radio1155", "group1161", "progress1154". UI
// thread.
class CFlashMemory : public QDialog, private ProgrammingView {
    Q_OBJECT

public:
    // station must outlive the window. prompter answers its message boxes and file choosers;
    // null shows them over this window.
    explicit CFlashMemory(Station& station, QWidget* parent = nullptr,
                          Prompter* prompter = nullptr);
    ~CFlashMemory() override;

    ProgrammingSession& Session() { return *session_; }

    // Lookups for tests and screenshots; null for an unknown ID.
    QWidget* Control(int controlId) const;
    bool TimerRunning(int timerId) const;

    // Ends the window as every way of closing it does: timer 20 stopped.
    void done(int result) override;

private:
    void EnableControl(int controlId, bool enabled) override;
    void CheckRadio(int controlId) override;
    void SetControlText(int controlId, std::string_view text) override;
    void ShowProgress(int percent) override;
    void SetTimer(int timerId, int periodMs) override;
    void KillTimer(int timerId) override;

    void BuildControls();
    QWidget* BuildFileOperations();
    QWidget* BuildModes();

    std::unique_ptr<CDialogPrompter> ownPrompter_;
    std::map<int, QWidget*> controls_;
    QButtonGroup* modes_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    std::unique_ptr<ProgrammingSession> session_;
};
