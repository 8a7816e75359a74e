#include "app/CNodeGridModel.h"

#include <QColor>
#include <algorithm>
#include <limits>

#include "app/Format.h"
#include "engine/Judging.h"
#include "engine/ResultDisplay.h"

namespace {

constexpr int kMaxCaptionWidth = 30;
constexpr int kMinChannelWidth = 43;
constexpr int kMaxChannelWidth = 60;

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kOutOfLimits(255, 0, 0);
const QColor kPinFault(0, 0, 255);

QString ChannelNumber(int channel) {
    return QString::fromStdString(Right(FormatPadded(channel, 10), 2));
}

}  // namespace

GridColumnWidths ComputeGridColumnWidths(int screenWidth, int xChannels) {
    if (xChannels <= 0) {
        return {kMaxCaptionWidth, 0};
    }
    const int caption = std::min(screenWidth / xChannels, kMaxCaptionWidth);
    const int channel =
        std::clamp((screenWidth - caption) / xChannels, kMinChannelWidth, kMaxChannelWidth);
    return {caption, channel};
}

QString ChannelHeaderText(int x) {
    return " X" + ChannelNumber(x);
}

QString RowCaptionText(int y) {
    return "Y" + ChannelNumber(y);
}

CNodeGridModel::CNodeGridModel(NodeGridSource source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {}

void CNodeGridModel::Rebuild() {
    beginResetModel();
    xChannels_ = source_.config.x_channel_valid;
    yChannels_ = source_.config.y_channel_valid;
    cells_.assign(static_cast<size_t>(xChannels_) * yChannels_, QString());
    endResetModel();
}

void CNodeGridModel::DisplayNodeValues(const NodeValueMatrix& nodes) {
    const int xCount = std::min<int>(source_.config.x_channel_valid, xChannels_);
    const int yCount = std::min<int>(source_.config.y_channel_valid, yChannels_);
    for (int y = 0; y < yCount; ++y) {
        for (int x = 0; x < xCount; ++x) {
            cells_[static_cast<size_t>(y) * xChannels_ + x] = QString::fromStdString(NodeCellText(
                source_.config, nodes, static_cast<uint8_t>(x), static_cast<uint8_t>(y)));
        }
    }
    if (xCount > 0 && yCount > 0) {
        emit dataChanged(index(0, 1), index(yCount - 1, xCount));
    }
}

QString CNodeGridModel::CellText(int row, int column) const {
    if (row < 0 || row >= yChannels_ || column < 0 || column > xChannels_) {
        return {};
    }
    if (column == 0) {
        return RowCaptionText(row);
    }
    return cells_[static_cast<size_t>(row) * xChannels_ + column - 1];
}

QColor CNodeGridModel::CellColour(int row, int column) const {
    if (column <= 0 || row < 0 || row >= yChannels_ || column > xChannels_) {
        return kBlack;
    }
    const auto x = static_cast<uint8_t>(column - 1);
    const auto y = static_cast<uint8_t>(row);
    const NodeClass nodeClass = ClassifyNode(source_.config, x, y);
    if (nodeClass != NodeClass::VisibleArea && nodeClass != NodeClass::Key) {
        return kBlack;
    }
    // The colour follows the text on screen, not the matrix: a cell that shows "    0"
    // is judged as 0.
    const int64_t shown = ParseLeadingInteger(CellText(row, column).toStdString());
    const auto value = static_cast<int32_t>(std::clamp<int64_t>(
        shown, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    QColor colour = kBlack;
    const JudgingLimits limits{source_.config, source_.criterion, source_.sampleLow,
                               source_.sampleHigh};
    if (NodeOutOfLimits(limits, x, y, value)) {
        colour = kOutOfLimits;
    }
    if (row == source_.flags.pinFaultY - 1 || column == source_.flags.pinFaultX) {
        colour = kPinFault;
    }
    return colour;
}

int CNodeGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : yChannels_;
}

int CNodeGridModel::columnCount(const QModelIndex& parent) const {
    // The caption column exists with the rows, as the list view's first column does.
    return parent.isValid() || (xChannels_ == 0 && yChannels_ == 0) ? 0 : xChannels_ + 1;
}

QVariant CNodeGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return CellText(index.row(), index.column());
        case Qt::ForegroundRole:
            return CellColour(index.row(), index.column());
        case Qt::BackgroundRole:
            return kWhite;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        default:
            return {};
    }
}

QVariant CNodeGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return section == 0 ? QString() : ChannelHeaderText(section - 1);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    return {};
}

void CNodeGridDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant colour = index.data(Qt::ForegroundRole);
    if (colour.canConvert<QColor>()) {
        option->palette.setColor(QPalette::HighlightedText, colour.value<QColor>());
    }
}
