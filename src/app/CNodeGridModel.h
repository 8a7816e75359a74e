#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStyledItemDelegate>
#include <cstdint>
#include <vector>

#include "config/TestConfig.h"
#include "controller/SelfTest.h"
#include "engine/NodeMatrix.h"

// Column widths of the result grid in pixels: the caption column at most 30, every channel
// column within 43..60, both from the screen width shared among the X channels. With no X
// channel there is no channel column and the caption column is 30 wide.
struct GridColumnWidths {
    int captionWidth = 0;
    int channelWidth = 0;
};
GridColumnWidths ComputeGridColumnWidths(int screenWidth, int xChannels);

// The grid's header and row captions: " X 0" .. " X31", "Y 0" .. "Y51".
QString ChannelHeaderText(int x);
QString RowCaptionText(int y);

// What the grid reads from the station whenever a cell is painted, so that a later change of
// the criterion, the limits or the pin-fault flags shows at the next repaint. The references
// must outlive the model.
struct NodeGridSource {
    const TestConfig& config;
    const int32_t& criterion;
    const LimitMatrix& sampleLow;
    const LimitMatrix& sampleHigh;
    const SelfTestFlags& flags;
};

// The result grid: row y is Y channel y; column 0 holds the row captions, column x + 1 the
// text of node (x, y). Text black on white, except by the colouring rule: red for a tested
// node whose shown value is out of its limits, blue (also over red) in the tested cells of
// the pin fault's row and column. UI thread only.
class CNodeGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit CNodeGridModel(NodeGridSource source, QObject* parent = nullptr);

    // Columns and rows for the live channel counts, every cell empty.
    void Rebuild();
    // Every cell's text from nodes by the display rule, with one change notification for the
    // whole grid. Channels beyond the grid's columns or rows are left out.
    void DisplayNodeValues(const NodeValueMatrix& nodes);

    int XChannels() const { return xChannels_; }
    int YChannels() const { return yChannels_; }
    QString CellText(int row, int column) const;
    QColor CellColour(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    NodeGridSource source_;
    int xChannels_ = 0;
    int yChannels_ = 0;
    std::vector<QString> cells_;  // [y * xChannels_ + x]
};

// Draws a selected cell in its own text colour, so that selecting a row to read it does not
// hide which of its nodes failed.
class CNodeGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
