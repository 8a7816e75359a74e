#include "app/CAboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Panelix"));
    text_ = QStringLiteral("Panelix %1\n双层电容触摸屏生产测试站\n\n%2")
                .arg(QStringLiteral(PANELIX_VERSION), title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text_, this);
    layout->addWidget(label);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
