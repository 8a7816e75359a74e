#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "app/StationView.h"
#include "config/WorkingConfig.h"

// The multi-key window's decisions over the configuration window's working copy: which
// crossings of key columns and key rows it offers, the refusal of a tick below the last key
// row, and the closing rule. UI thread.
//
// Item c·8 + r stands for key column c and key row r (matrix entry [r][c]). The matrix has
// 8 key columns and 8 key rows, so the window offers at most those: with more key channels
// the further ones get no item and no label, and the closing rule asks only about the
// columns and rows shown. Their nodes are never keys (ClassifyNode leaves them untested).
class MultiKeySession {
public:
    static constexpr size_t kSide = TestConfig::kMatrixSize;

    // working must outlive the session; its counts, key flags, matrix and changed flag are
    // read when the window opens and written only by an acceptable Close.
    MultiKeySession(WorkingConfig& working, Prompter& prompter);

    // Key columns and key rows shown: the working key counts, at most 8 each.
    size_t Columns() const { return columns_; }
    size_t Rows() const { return rows_; }
    // 8 items per shown key column.
    size_t ItemCount() const { return kSide * columns_; }

    // Label texts of 1081..1088 and 1089..1096; an empty text is a hidden label. Column c
    // reads "X" and the channel of key column c ("X 4", "X17"); row r likewise with "Y";
    // the row label just below the last key row reads "------" (none with 8 key rows).
    std::array<std::string, kSide> ColumnLabels() const;
    std::array<std::string, kSide> RowLabels() const;

    // The opening: the window's copy of the matrix from the working one, every item of a 1
    // checked in item order; each that lies below the last key row is refused as it comes.
    void Open();

    bool ItemChecked(size_t item) const { return item < ItemCount() && checked_[item]; }
    // The operator changed an item's check box. Then every checked item below the last key
    // row draws "该节点无效" ("提示", stop, OK) and is unchecked. Items out of range are
    // ignored.
    void SetItemChecked(size_t item, bool checked);

    // The close box. Acceptable when every shown key column and key row holds a checked
    // item: the copy takes the items of shown columns and rows (other entries keep what
    // they held), the changed flag is set if the copy differs, and a set flag copies the
    // whole matrix over; returns true. Otherwise the question "按键配置错误，继续更改(确定)，
    // 还是放弃(取消)？" ("按键错误", stop): Cancel returns true with nothing handed over, OK
    // returns false.
    bool Close();

private:
    void RefuseTicksBelowKeyRows();

    WorkingConfig& working_;
    Prompter& prompter_;
    size_t columns_;
    size_t rows_;
    WorkingConfig::KeyMatrix copy_{};
    std::array<bool, kSide * kSide> checked_{};
};
