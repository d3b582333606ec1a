#pragma once

#include <QtCore/QHash>
#include <QtWidgets/QTableView>

class QLineEdit;

#include <memory>

namespace korva::db {
class ResultSet;
}

namespace korva {

class GridModel;
class GridFindBar;

// Follows what a view's model did between two of the view's layouts. Rows
// added below the view's bottom edge change nothing in view but the scroll
// bar, and a table being read adds rows many times a second: such a layout
// need not repaint every cell in view.
class RowsAddedBelowView
{
public:
    RowsAddedBelowView(QTableView *view, QAbstractItemModel *model);
    // Rows were added since the last layout, all of them below the view, and nothing else changed.
    bool onlyThat() const { return m_added && !m_other; }
    void laidOut() { m_added = m_other = false; }

private:
    bool m_added = false;
    bool m_other = false;
};

// The grid every window uses. Its API counts rows and columns as a grid with
// a fixed header row does: row 0 holds the column names and data start at
// row 1; with a fixed column, column 0 is that (empty) column and data start
// at column 1. All mapping to Qt indexes happens here.
class Grid : public QTableView
{
    Q_OBJECT

public:
    explicit Grid(QWidget *parent = nullptr, bool fixedColumn = true);
    ~Grid() override;

    GridModel *gridModel() const { return m_model; }
    bool hasFixedColumn() const { return m_fixedColumn; }

    // Shows the rows held; the rest are read on a row thread.
    void setResultSet(std::shared_ptr<db::ResultSet> rows);
    void setColumns(const QStringList &names);
    void clearRows(); // only the header row stays
    // Sizes the columns to their header and the longest text among the first
    // sampleRows rows, each at most maxWidth pixels.
    void fitColumns(int sampleRows = 64, int maxWidth = 320);

    int rows() const;
    int cols() const;
    QString textMatrix(int row, int col) const;

    // Current cell; -1 when there is none.
    int row() const;
    int col() const;
    void setRow(int row);
    void setCol(int col);
    void setCurrentCell(int row, int col);

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    void scrollToCell(int row, int col) { scrollTo(model()->index(modelRow(row), std::max(0, modelColumn(col)))); }

    int topRow() const;
    void setTopRow(int row);
    int leftCol() const;
    void setLeftCol(int col);
    bool rowIsVisible(int row) const;

    // Cell under the mouse at the last mouse move: row 0 over the header,
    // -1 outside the rows or columns.
    int mouseRow() const { return m_mouseRow; }
    int mouseCol() const { return m_mouseCol; }
    void setMousePosition(const QPoint &viewportPos); // also used by tests

    // The first count data columns stay at the left while the grid scrolls sideways.
    void setFrozenColumns(int count);
    int frozenColumns() const { return m_frozenCount; }
    QTableView *frozenView() const { return m_frozen; }
    // Since the grid last laid itself out, rows were added below it and nothing else changed.
    bool rowsOnlyAddedBelowView() const { return m_addedBelow.onlyThat(); }

    // A row of filter boxes under the column names (off at first); see
    // GridModel::setColumnFilter for what may be typed. Hiding it drops the filters.
    void setFilterRowVisible(bool on);
    bool filterRowVisible() const;
    QLineEdit *filterBox(int col) const;

    // The selected cells as text with a header line of their columns' names:
    // tab-separated, or comma-separated with quotes where needed.
    QString selectionText(bool csv) const;
    void copySelection(bool csv);
    // Find in grid (Ctrl+F; F3 and Shift+F3 go to the next and previous match).
    void showFind();
    GridFindBar *findBar() const { return m_find; }

    // When set, an attempt to edit a read-only cell reports this reason.
    void setEditRefusal(const QString &reason) { m_editRefusal = reason; }
    QString editRefusal() const { return m_editRefusal; }

    int modelRow(int gridRow) const { return gridRow - 1; }
    int modelColumn(int gridCol) const { return gridCol - (m_fixedColumn ? 1 : 0); }
    int gridRow(int modelRow) const { return modelRow + 1; }
    int gridCol(int modelColumn) const { return modelColumn + (m_fixedColumn ? 1 : 0); }

Q_SIGNALS:
    void mouseMoved();
    void rightButtonPressed(const QPoint &globalPos);
    void otherButtonPressed();
    void currentCellChanged(int row, int col);
    // The user tried to edit a grid that refuses editing, with the reason.
    void editRefused(const QString &reason);

protected:
    void resizeEvent(QResizeEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;
    void doItemsLayout() override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateFrozenGeometry();
    void alignFrozenRows();
    void syncFrozenColumns();
    int frozenWidth() const;
    void goToLastRow();
    void setUpColumnHeader(QHeaderView *header);
    void showSortIndicator();
    void placeFind();
    void goToMatch(bool forward);

    GridModel *m_model;
    RowsAddedBelowView m_addedBelow;
    QTableView *m_frozen = nullptr;
    int m_frozenCount = 0;
    QString m_editRefusal;
    QHash<QString, int> m_headerWidths;
    bool m_fixedColumn;
    int m_mouseRow = -1;
    int m_mouseCol = -1;
    bool m_aligningFrozen = false; // the overlay's rows are being put in step with the grid's
    bool m_followEnd = false; // Ctrl+End pressed while rows were still arriving
    bool m_movingToEnd = false;
    GridFindBar *m_find = nullptr;
    int m_goWhenFound = 0; // F3 (1) or Shift+F3 (-1) pressed while the matches were still being found
};

} // namespace korva
