#include "config/CDemoView.h"

#include <QTimer>
#include <cstdio>
#include <utility>

CDemoView::CDemoView(std::string open, std::string saveAs, bool openOnce)
    : open_(std::move(open)), saveAs_(std::move(saveAs)), openOnce_(openOnce) {}

MessageAnswer CDemoView::ShowMessage(std::string_view text, std::string_view caption,
                                     MessageButtons buttons, MessageIcon icon) {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    return prompter_.ShowMessage(text, caption, buttons, icon);
}

std::string CDemoView::ChooseFileToOpen(std::string_view, std::string_view) {
    return openOnce_ ? std::exchange(open_, std::string()) : open_;
}

std::string CDemoView::ChooseFileToSave(std::string_view, std::string_view) {
    return saveAs_;
}

void CDemoView::PostToUi(std::function<void()> call) {
    QTimer::singleShot(0, std::move(call));
}
