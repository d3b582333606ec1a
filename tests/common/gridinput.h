#pragma once

#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>

namespace korva::test {

// Where the user points at a cell: in the frozen columns' overlay (which has
// its own viewport) or in the grid, scrolled into view.
struct GridSpot
{
    QAbstractItemView *view;
    QPoint at; // in view->viewport()
};

inline GridSpot showCell(Grid *grid, int modelRow, int modelCol)
{
    QTableView *frozen = grid->frozenColumns() > 0 ? grid->frozenView() : nullptr;
    QAbstractItemView *view = frozen && modelCol < grid->frozenColumns() ? static_cast<QAbstractItemView *>(frozen)
                                                                         : grid;
    const QModelIndex index = grid->model()->index(modelRow, modelCol);
    view->scrollTo(index);
    return {view, view->visualRect(index).center()};
}

// Moves over, clicks and right-clicks every shown column of a grid's first
// rows, and moves over its header, sending each event to the widget that
// really receives it: the frozen columns are an overlay with its own viewport.
inline void sweepGrid(Grid *grid, int rows)
{
    QTableView *frozen = grid->frozenColumns() > 0 ? grid->frozenView() : nullptr;
    for (int c = 0; c < grid->gridModel()->columnCount(); ++c) {
        if (grid->isColumnHidden(c))
            continue;
        const bool inOverlay = frozen && c < grid->frozenColumns();
        for (int r = 0; r < std::min(rows, grid->gridModel()->rowCount()); ++r) {
            const auto [view, at] = showCell(grid, r, c);
            QTest::mouseMove(view->viewport(), at);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        }
        QHeaderView *header = inOverlay ? frozen->horizontalHeader() : grid->horizontalHeader();
        const int x = header->sectionViewportPosition(c) + header->sectionSize(c) / 2;
        if (x > 0 && x < header->viewport()->width())
            QTest::mouseMove(header->viewport(), QPoint(x, header->height() / 2));
    }
}

} // namespace korva::test
