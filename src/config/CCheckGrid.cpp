#include "config/CCheckGrid.h"

#include <QListWidget>
#include <algorithm>

void ArrangeCheckGrid(QListWidget& list, QSize cell, int rows, int columns) {
    list.setViewMode(QListView::ListMode);
    list.setFlow(QListView::TopToBottom);
    list.setWrapping(true);
    list.setResizeMode(QListView::Fixed);
    list.setMovement(QListView::Static);
    list.setUniformItemSizes(true);
    list.setSpacing(0);
    list.setGridSize(cell);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    for (int i = 0; i < list.count(); ++i) {
        list.item(i)->setSizeHint(cell);
    }
    // The view wraps a column once a cell would reach the viewport's last pixel row, so
    // `rows` cells need a little more than rows * height; half a cell keeps it from taking
    // one more.
    const int frame = 2 * list.frameWidth();
    list.setFixedSize(columns * cell.width() + frame,
                      rows * cell.height() + cell.height() / 2 + frame);
}

int CheckGridCellHeight(const QListWidget& list) {
    return std::max(20, list.fontMetrics().height() + 6);
}
