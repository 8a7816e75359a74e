#include "config/MultiKeySession.h"

#include <algorithm>

#include "config/ConfigurationSession.h"

namespace {

// The first `count` channels (in channel order) whose flag is set, as label texts.
std::array<std::string, MultiKeySession::kSide> KeyChannelLabels(
    char axis, const TestConfig::ChannelFlags& flags, size_t channels, size_t count) {
    std::array<std::string, MultiKeySession::kSide> labels;
    size_t next = 0;
    for (size_t p = 0; p < channels && next < count; ++p) {
        if (flags[p] != 0) {
            labels[next++] = ChannelItemText(axis, static_cast<unsigned>(p));
        }
    }
    return labels;
}

}  // namespace

MultiKeySession::MultiKeySession(WorkingConfig& working, Prompter& prompter)
    : working_(working),
      prompter_(prompter),
      columns_(std::min<size_t>(working.keyCountX, kSide)),
      rows_(std::min<size_t>(working.keyCountY, kSide)) {}

std::array<std::string, MultiKeySession::kSide> MultiKeySession::ColumnLabels() const {
    return KeyChannelLabels('X', working_.test_key_area_x, kXListItems, columns_);
}

std::array<std::string, MultiKeySession::kSide> MultiKeySession::RowLabels() const {
    std::array<std::string, kSide> labels =
        KeyChannelLabels('Y', working_.test_key_area_y, kYListItems, rows_);
    if (rows_ < kSide) {
        labels[rows_] = "------";
    }
    return labels;
}

void MultiKeySession::Open() {
    copy_ = working_.multikey_matrix;
    checked_ = {};
    for (size_t item = 0; item < ItemCount(); ++item) {
        if (copy_[item % kSide][item / kSide] != 0) {
            checked_[item] = true;
            RefuseTicksBelowKeyRows();
        }
    }
}

void MultiKeySession::SetItemChecked(size_t item, bool checked) {
    if (item >= ItemCount()) {
        return;
    }
    checked_[item] = checked;
    RefuseTicksBelowKeyRows();
}

void MultiKeySession::RefuseTicksBelowKeyRows() {
    for (size_t item = 0; item < ItemCount(); ++item) {
        if (checked_[item] && item % kSide >= rows_) {
            prompter_.ShowMessage("该节点无效", "提示", MessageButtons::Ok, MessageIcon::Stop);
            checked_[item] = false;
        }
    }
}

bool MultiKeySession::Close() {
    WorkingConfig::KeyMatrix copy = copy_;
    for (size_t c = 0; c < columns_; ++c) {
        for (size_t r = 0; r < rows_; ++r) {
            copy[r][c] = checked_[c * kSide + r] ? 1 : 0;
        }
    }
    bool acceptable = true;
    for (size_t c = 0; c < columns_; ++c) {
        bool any = false;
        for (size_t r = 0; r < rows_; ++r) {
            any = any || copy[r][c] != 0;
        }
        acceptable = acceptable && any;
    }
    for (size_t r = 0; r < rows_; ++r) {
        bool any = false;
        for (size_t c = 0; c < columns_; ++c) {
            any = any || copy[r][c] != 0;
        }
        acceptable = acceptable && any;
    }
    if (!acceptable) {
        return prompter_.ShowMessage("按键配置错误，继续更改(确定)，还是放弃(取消)？", "按键错误",
                                     MessageButtons::OkCancel,
                                     MessageIcon::Stop) == MessageAnswer::Cancel;
    }
    copy_ = copy;
    if (!working_.multiKeyChanged && copy_ != working_.multikey_matrix) {
        working_.multiKeyChanged = true;
    }
    if (working_.multiKeyChanged) {
        working_.multikey_matrix = copy_;
    }
    return true;
}
