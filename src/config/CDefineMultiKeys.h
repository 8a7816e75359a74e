#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "config/MultiKeySession.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class CDialogPrompter;

// The multi-key window "定义多行按键": a grid of the crossings of key columns and key rows,
// labelled with their channels, in which the operator ticks the real keys. It shows and
// forwards; MultiKeySession decides. Modal over the configuration window.
//
// The close box runs the closing rule; Enter and Escape end the window at once and hand
// nothing over. Controls carry their IDs as object names: "grid1080", "label1081" ..
// "label1097". UI thread.
class CDefineMultiKeys : public QDialog {
    Q_OBJECT

public:
    static constexpr int kCellWidth = 32;

    // working (the configuration window's working copy) must outlive the window. prompter
    // answers its message boxes; null shows them over this window. Refusals of handed-in
    // crossings below the last key row are shown while the window is built.
    explicit CDefineMultiKeys(WorkingConfig& working, QWidget* parent = nullptr,
                              Prompter* prompter = nullptr);
    ~CDefineMultiKeys() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnItemChanged(QListWidgetItem* item);
    void ShowItems();

    std::unique_ptr<CDialogPrompter> ownPrompter_;
    MultiKeySession session_;
    QListWidget* grid_ = nullptr;
};
