#pragma once

#include <QDialog>
#include <QString>

// The About box: one text naming the station and its version, and "确定". Modal, UI thread.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(const QString& title, QWidget* parent = nullptr);

    const QString& Text() const { return text_; }

private:
    QString text_;
};
