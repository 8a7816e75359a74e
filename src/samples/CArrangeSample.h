#pragma once

#include <QDialog>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "samples/SampleOrganiser.h"

class CDialogPrompter;
class QButtonGroup;
class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QTableView;
class QTimer;
class Station;

// The sample organiser window "整理样本": the sample list, its six buttons, select all and
// the test standard. It shows and forwards; every decision is SampleOrganiser's. Modeless
// over the main window, created once and hidden when closed, so the list stays.
//
// Laid out in the dialog units of its template, two pixels each (812 x 488 pixels). The
// close box and Escape run the closing procedure and hide the window; Enter does nothing.
// Controls carry their IDs as object names: "list1057", "button1063", "check1079",
// "group1065", "radio1066", "field1068", "label1072". UI thread.
class CArrangeSample : public QDialog, private SampleOrganiserForm {
    Q_OBJECT

public:
    // station must outlive the window. prompter answers its message boxes and file
    // choosers; null shows them over this window. Runs the organiser's initialisation,
    // which reads the parameters file.
    explicit CArrangeSample(Station& station, QWidget* parent = nullptr,
                            Prompter* prompter = nullptr);
    ~CArrangeSample() override;

    SampleOrganiser& Organiser() { return *organiser_; }
    // A control by its ID, null for an unknown one; the list view is 1057.
    QWidget* Control(int controlId) const;
    QTableView* List() const { return list_; }
    bool TimerRunning(int timerId) const;

    // The close box and Escape: the closing procedure, then hidden.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class ListModel;

    std::string FieldText(int fieldId) const override;
    void SetFieldText(int fieldId, const std::string& text) override;
    int CheckedMethod() const override;
    void CheckMethod(int method) override;
    void EnableControl(int controlId, bool enabled) override;
    void SetSelectAllCaption(std::string_view caption) override;
    void ShowRows() override;
    void SetTimer(int timerId, int periodMs) override;
    void KillTimer(int timerId) override;

    void BuildControls();

    std::unique_ptr<CDialogPrompter> ownPrompter_;
    std::map<int, QWidget*> controls_;
    std::map<int, QLineEdit*> fields_;
    std::map<int, QTimer*> timers_;
    QTableView* list_ = nullptr;
    ListModel* model_ = nullptr;
    QButtonGroup* methods_ = nullptr;
    QCheckBox* selectAll_ = nullptr;
    std::unique_ptr<SampleOrganiser> organiser_;
};

// The main window's "整理样本" (32780): creates the organiser over parent on first use, then
// centres it over parent and shows it. window must be destroyed before station.
void ShowArrangeSample(std::unique_ptr<CArrangeSample>& window, Station& station, QWidget* parent);
