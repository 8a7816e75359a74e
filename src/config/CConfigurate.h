#pragma once

#include <QDialog>
#include <array>
#include <map>
#include <memory>

#include "config/ConfigurationSession.h"

class QCloseEvent;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class CDialogPrompter;

// The configuration window "配置参数": basic parameters, judging criterion, import and
// export, the six channel lists and the multi-key button. It shows and forwards; every
// decision is ConfigurationSession's. Opened modally over the main window; it opens blank.
//
// The close box runs the closing procedure and stays open when it says so; Enter ends the
// window when reading it shows no prompt, Escape ends it at once, both without the closing
// procedure. Controls carry their IDs as object names: "field1026", "list1032",
// "radio1054", "button1051", "group1034", "label1045". UI thread.
class CConfigurate : public QDialog, private ConfigurationForm {
    Q_OBJECT

public:
    // host's references must outlive the window. prompter answers its message boxes and
    // file choosers (and the multi-key window's); null shows them over this window.
    explicit CConfigurate(ConfigurationHost host, QWidget* parent = nullptr,
                          Prompter* prompter = nullptr);
    ~CConfigurate() override;

    ConfigurationSession& Session() { return *session_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string FieldText(int fieldId) const override;
    void SetFieldText(int fieldId, const std::string& text) override;
    void FocusField(int fieldId) override;
    int CheckedCriterion() const override;
    void CheckCriterion(int criterion) override;
    void SetItemChecked(int listId, size_t item, bool checked) override;
    void EnableButton(int buttonId, bool enabled) override;

    void BuildControls();
    QWidget* BuildParameters();
    QWidget* BuildCriterion();
    QWidget* BuildChannelList(int groupId, const char* title, int listId);
    void OnItemChanged(int listId, QListWidgetItem* item);
    void OnDefineMultiKeys();

    std::unique_ptr<CDialogPrompter> ownPrompter_;
    Prompter& prompter_;
    std::map<int, QLineEdit*> fields_;
    std::map<int, QListWidget*> lists_;
    std::map<int, QPushButton*> buttons_;
    std::array<QRadioButton*, 2> radios_{};
    std::unique_ptr<ConfigurationSession> session_;
};
