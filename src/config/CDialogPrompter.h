#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "app/StationView.h"

class QWidget;

// Message boxes and file choosers over one dialog, for the configuration windows. Buttons
// read "确定" and "取消", as the windows' questions name them; an empty caption shows the
// application's display name. UI thread; every call blocks until the operator answers.
class CDialogPrompter : public Prompter {
public:
    // parent must outlive the prompter.
    explicit CDialogPrompter(QWidget* parent) : parent_(parent) {}

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    // filter in the "描述(*.ext)|*.ext||" form; initialName a full path (UTF-8) whose folder
    // the chooser opens in. The chosen path comes back as UTF-8, empty when cancelled.
    std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) override;
    std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) override;

private:
    QWidget* parent_;
};

// "文本文件(*.txt)|*.txt||" as Qt's "文本文件(*.txt)" (pairs joined by ";;"); a description
// without its pattern in parentheses gets " (pattern)" appended.
QString QtFileFilter(std::string_view filter);
