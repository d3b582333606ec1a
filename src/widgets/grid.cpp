#include "widgets/grid.h"

#include "platform/resultset.h"
#include "widgets/gridmodel.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>

namespace korva {

Grid::Grid(QWidget *parent, bool fixedColumn)
    : QTableView(parent), m_model(new GridModel(this)), m_fixedColumn(fixedColumn)
{
    setModel(m_model);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    horizontalHeader()->setMouseTracking(true);
    horizontalHeader()->installEventFilter(this);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setVisible(fixedColumn);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 2);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(14);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
}

Grid::~Grid() = default;

void Grid::setResultSet(std::shared_ptr<db::ResultSet> rows) { m_model->setResultSet(std::move(rows)); }

void Grid::setColumns(const QStringList &names) { m_model->setColumns(names); }

void Grid::clearRows() { m_model->clear(); }

int Grid::rows() const { return m_model->rowCount() + 1; }

int Grid::cols() const { return m_model->columnCount() + (m_fixedColumn ? 1 : 0); }

QString Grid::textMatrix(int row, int col) const
{
    if (m_fixedColumn && col == 0)
        return {};
    const int c = modelColumn(col);
    if (row == 0)
        return m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return m_model->text(modelRow(row), c);
}

int Grid::row() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? gridRow(i.row()) : -1;
}

int Grid::col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? gridCol(i.column()) : -1;
}

void Grid::setCurrentCell(int row, int col)
{
    const QModelIndex i = m_model->index(modelRow(row), std::max(0, modelColumn(col)));
    if (i.isValid())
        setCurrentIndex(i);
}

void Grid::setRow(int row) { setCurrentCell(row, col() < 0 ? (m_fixedColumn ? 1 : 0) : col()); }

void Grid::setCol(int col) { setCurrentCell(row() < 1 ? 1 : row(), col); }

int Grid::topRow() const
{
    const int r = rowAt(0);
    return r < 0 ? (m_model->rowCount() > 0 ? 1 : 0) : gridRow(r);
}

void Grid::setTopRow(int row)
{
    const QModelIndex i = m_model->index(modelRow(row), 0);
    if (i.isValid())
        scrollTo(i, QAbstractItemView::PositionAtTop);
}

int Grid::leftCol() const
{
    const int c = columnAt(0);
    return c < 0 ? 0 : gridCol(c);
}

void Grid::setLeftCol(int col)
{
    const int c = modelColumn(col);
    if (c < 0 || c >= m_model->columnCount())
        return;
    horizontalScrollBar()->setValue(columnViewportPosition(c) + horizontalOffset());
}

bool Grid::rowIsVisible(int row) const
{
    if (row == 0)
        return true; // the fixed header row is always shown
    const int r = modelRow(row);
    if (r < 0 || r >= m_model->rowCount() || isRowHidden(r))
        return false;
    const int y = rowViewportPosition(r);
    return y + rowHeight(r) > 0 && y < viewport()->height();
}

void Grid::setMousePosition(const QPoint &pos)
{
    const int r = rowAt(pos.y());
    const int c = columnAt(pos.x());
    m_mouseRow = r < 0 ? -1 : gridRow(r);
    m_mouseCol = c < 0 ? -1 : gridCol(c);
}

void Grid::mouseMoveEvent(QMouseEvent *event)
{
    setMousePosition(event->position().toPoint());
    Q_EMIT mouseMoved();
    QTableView::mouseMoveEvent(event);
}

void Grid::mousePressEvent(QMouseEvent *event)
{
    setMousePosition(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        Q_EMIT rightButtonPressed(event->globalPosition().toPoint());
        return;
    }
    Q_EMIT otherButtonPressed();
    QTableView::mousePressEvent(event);
}

bool Grid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader() && event->type() == QEvent::MouseMove) {
        const auto *me = static_cast<QMouseEvent *>(event);
        const int c = horizontalHeader()->logicalIndexAt(me->position().toPoint());
        m_mouseRow = 0;
        m_mouseCol = c < 0 ? -1 : gridCol(c);
        Q_EMIT mouseMoved();
    }
    return QTableView::eventFilter(watched, event);
}

void Grid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        Q_EMIT currentCellChanged(gridRow(current.row()), gridCol(current.column()));
}

} // namespace korva
