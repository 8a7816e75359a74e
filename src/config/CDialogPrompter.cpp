#include "config/CDialogPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

QString QtFileFilter(std::string_view filter) {
    const QStringList parts = FromUtf8(filter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        if (description.isEmpty()) {
            continue;
        }
        if (description.contains(u'(' + pattern + u')')) {
            filters << description;
        } else {
            filters << description + QStringLiteral(" (") + pattern + u')';
        }
    }
    return filters.join(u";;");
}

MessageAnswer CDialogPrompter::ShowMessage(std::string_view text, std::string_view caption,
                                           MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(caption.empty() ? QApplication::applicationDisplayName()
                                       : FromUtf8(caption));
    box.setText(FromUtf8(text));
    switch (icon) {
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::None:
            break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == MessageButtons::OkCancel) {
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    }
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel != nullptr ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::string CDialogPrompter::ChooseFileToOpen(std::string_view filter,
                                              std::string_view initialName) {
    return ToUtf8(QFileDialog::getOpenFileName(parent_, QString(), FromUtf8(initialName),
                                               QtFileFilter(filter)));
}

std::string CDialogPrompter::ChooseFileToSave(std::string_view filter,
                                              std::string_view initialName) {
    return ToUtf8(QFileDialog::getSaveFileName(parent_, QString(), FromUtf8(initialName),
                                               QtFileFilter(filter)));
}
