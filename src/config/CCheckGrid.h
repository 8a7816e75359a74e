#pragma once

#include <QSize>

class QListWidget;

// Lays a list out like a list view in list mode: cells of one size, filled top to bottom in
// columns of `rows` cells, the list sized to show `columns` such columns without scrolling.
// Call it once the items are in the list: each of them is given the cell's size. UI thread.
void ArrangeCheckGrid(QListWidget& list, QSize cell, int rows, int columns);

// The cell height that holds a check box and a line of the list's font.
int CheckGridCellHeight(const QListWidget& list);
