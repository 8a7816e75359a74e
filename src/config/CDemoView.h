#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/StationView.h"
#include "config/CDialogPrompter.h"

// The main window's side for the demo programs that show one window for a screenshot:
// nothing to enable or draw, every message echoed to standard error and shown over no
// parent, the file choosers answering with the names the demo gives, posted calls run by
// the Qt event loop. UI thread, like the window it stands in for.
class CDemoView : public StationView {
public:
    // open and saveAs: the choosers' answers (empty: cancelled). With openOnce the open
    // chooser answers open only the first time.
    explicit CDemoView(std::string open = {}, std::string saveAs = {}, bool openOnce = false);

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) override;
    std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) override;
    void EnableControl(int, bool) override {}
    void EnableMenuItem(int, bool) override {}
    void SetTimer(int, int) override {}
    void KillTimer(int) override {}
    void SetStatus(std::string_view, Colour) override {}
    void RebuildGrid() override {}
    void ShowNodeValues() override {}
    void RefreshCounters() override {}
    void PostToUi(std::function<void()> call) override;

private:
    std::string open_;
    std::string saveAs_;
    bool openOnce_;
    CDialogPrompter prompter_{nullptr};
};
