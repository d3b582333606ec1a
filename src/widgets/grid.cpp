#include "widgets/grid.h"

#include "platform/resultset.h"
#include "widgets/gridmodel.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>

namespace korva {

namespace {

// The fixed column 0: empty, narrow and of fixed width, so its size never
// needs the contents of its (possibly a million) sections.
class FixedColumnHeader final : public QHeaderView
{
public:
    explicit FixedColumnHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {}
    QSize sizeHint() const override { return QSize(14, 0); }

protected:
    QSize sectionSizeFromContents(int) const override { return QSize(14, defaultSectionSize()); }
};

// The header row: its height follows the font, not the column names, so a
// new result does not measure every name again.
class ColumnHeader final : public QHeaderView
{
public:
    explicit ColumnHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}
    QSize sizeHint() const override
    {
        if (!m_height)
            m_height = std::max(QHeaderView::sizeHint().height(), fontMetrics().height() + 8);
        return QSize(length(), m_height);
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            m_height = 0;
        QHeaderView::changeEvent(event);
    }

private:
    mutable int m_height = 0;
};

} // namespace

Grid::Grid(QWidget *parent, bool fixedColumn)
    : QTableView(parent), m_model(new GridModel(this)), m_fixedColumn(fixedColumn)
{
    setVerticalHeader(new FixedColumnHeader(this));
    setHorizontalHeader(new ColumnHeader(this));
    setModel(m_model);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // Header sections are painted on the headers' viewports, which receive the mouse.
    horizontalHeader()->setMouseTracking(true);
    horizontalHeader()->viewport()->setMouseTracking(true);
    horizontalHeader()->viewport()->installEventFilter(this);
    verticalHeader()->setMouseTracking(true);
    verticalHeader()->viewport()->setMouseTracking(true);
    verticalHeader()->viewport()->installEventFilter(this);
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
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Column widths from a sample of rows: sizing over thousands of rows costs more than it shows.
    horizontalHeader()->setResizeContentsPrecision(64);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Ctrl+End while rows still arrive follows them to the table's last row.
    const auto followEnd = [this] {
        if (m_followEnd)
            goToLastRow();
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, followEnd);
    connect(m_model, &GridModel::loadingFinished, this, [this, followEnd] {
        followEnd();
        m_followEnd = false;
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_followEnd = false; });
}

void Grid::goToLastRow()
{
    const QModelIndex at = m_model->index(m_model->rowCount() - 1, std::max(0, currentIndex().column()));
    if (!at.isValid() || at == currentIndex())
        return;
    m_movingToEnd = true;
    setCurrentIndex(at);
    m_movingToEnd = false;
    scrollTo(at);
}

Grid::~Grid() = default;

void Grid::setFrozenColumns(int count)
{
    count = std::max(0, std::min(count, m_model->columnCount()));
    m_frozenCount = count;
    if (count == 0) {
        if (m_frozen)
            m_frozen->hide();
        viewport()->update();
        return;
    }
    if (!m_frozen) {
        // An overlay view on the same model and selection shows the frozen
        // columns; scrolling is kept in step both ways.
        m_frozen = new QTableView(this);
        m_frozen->setObjectName(objectName() + QStringLiteral("Frozen"));
        m_frozen->setModel(m_model);
        m_frozen->setSelectionModel(selectionModel());
        m_frozen->setFocusPolicy(Qt::NoFocus);
        m_frozen->verticalHeader()->hide();
        m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->setVerticalScrollMode(verticalScrollMode());
        m_frozen->setSelectionBehavior(selectionBehavior());
        m_frozen->setSelectionMode(selectionMode());
        m_frozen->setEditTriggers(editTriggers());
        m_frozen->setWordWrap(false);
        m_frozen->setStyleSheet(QStringLiteral("QTableView { border: none; border-right: 1px solid palette(mid); }"));
        m_frozen->setMouseTracking(true);
        m_frozen->viewport()->setMouseTracking(true);
        m_frozen->viewport()->installEventFilter(this);
        m_frozen->horizontalHeader()->setMouseTracking(true);
        m_frozen->horizontalHeader()->viewport()->setMouseTracking(true);
        m_frozen->horizontalHeader()->viewport()->installEventFilter(this);
        m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
        connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
            if (m_frozen && logical < m_frozenCount) {
                m_frozen->setColumnWidth(logical, size);
                updateFrozenGeometry();
            }
        });
        connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(m_model, &QAbstractItemModel::modelReset, this, [this] { syncFrozenColumns(); });
        connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { syncFrozenColumns(); });
    }
    m_frozen->setEditTriggers(editTriggers());
    syncFrozenColumns();
    m_frozen->show();
    viewport()->stackUnder(m_frozen);
    updateFrozenGeometry();
}

void Grid::syncFrozenColumns()
{
    if (!m_frozen)
        return;
    m_frozenCount = std::min(m_frozenCount, m_model->columnCount());
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const bool hide = c >= m_frozenCount || isColumnHidden(c);
        if (m_frozen->isColumnHidden(c) != hide)
            m_frozen->setColumnHidden(c, hide);
        if (c < m_frozenCount && m_frozen->columnWidth(c) != columnWidth(c))
            m_frozen->setColumnWidth(c, columnWidth(c));
    }
    m_frozen->setVisible(m_frozenCount > 0);
    updateFrozenGeometry();
}

int Grid::frozenWidth() const
{
    int w = 0;
    for (int c = 0; c < m_frozenCount; ++c)
        if (!isColumnHidden(c))
            w += columnWidth(c);
    return w;
}

void Grid::updateFrozenGeometry()
{
    if (!m_frozen || m_frozenCount == 0)
        return;
    // Same header height and row heights as the grid underneath, so the rows line up.
    if (m_frozen->horizontalHeader()->height() != horizontalHeader()->height())
        m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    if (m_frozen->verticalHeader()->defaultSectionSize() != verticalHeader()->defaultSectionSize())
        m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozen->setGeometry(verticalHeader()->isVisible() ? verticalHeader()->width() + frameWidth() : frameWidth(),
                          frameWidth(), frozenWidth(), viewport()->height() + horizontalHeader()->height());
    m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

bool Grid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool userTrigger = trigger == DoubleClicked || trigger == EditKeyPressed || trigger == AnyKeyPressed;
    if (userTrigger && !m_editRefusal.isEmpty() && index.isValid() && !(model()->flags(index) & Qt::ItemIsEditable)) {
        Q_EMIT editRefused(m_editRefusal);
        return false;
    }
    return QTableView::edit(index, trigger, event);
}

void Grid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    updateFrozenGeometry();
}

void Grid::updateGeometries()
{
    QTableView::updateGeometries();
    updateFrozenGeometry();
}

QModelIndex Grid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // The first and last rows are those of the whole table: a load still
    // under way is followed to its end without waiting for it.
    m_followEnd = cursorAction == MoveEnd && (modifiers & Qt::ControlModifier) && m_model->isLoading();
    if (m_frozen && m_frozenCount > 0 && cursorAction == MoveLeft && current.column() >= m_frozenCount) {
        // Keep the new cell out from under the frozen columns.
        const int x = visualRect(current).topLeft().x();
        if (x < frozenWidth()) {
            const int newValue = horizontalScrollBar()->value() + x - frozenWidth();
            horizontalScrollBar()->setValue(newValue);
        }
    }
    return current;
}

void Grid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (index.column() >= m_frozenCount || !m_frozen || m_frozenCount == 0)
        QTableView::scrollTo(index, hint);
    else if (index.isValid())
        QTableView::scrollTo(m_model->index(index.row(),
                                            m_frozenCount < m_model->columnCount() ? m_frozenCount : index.column()),
                             hint);
}

void Grid::setResultSet(std::shared_ptr<db::ResultSet> rows) { m_model->setResultSet(std::move(rows)); }

void Grid::setColumns(const QStringList &names) { m_model->setColumns(names); }

void Grid::clearRows() { m_model->clear(); }

void Grid::fitColumns(int sampleRows, int maxWidth)
{
    // Widths from character counts: measuring every sampled text would cost
    // more than it shows in a grid that the user resizes anyway.
    const QFontMetrics fm(font());
    const int charWidth = std::max(fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0')));
    const QFontMetrics headerFm(horizontalHeader()->font());
    const int rowsToLook = std::min(m_model->rowCount(), sampleRows);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        qsizetype longest = 0;
        for (int r = 0; r < rowsToLook; ++r)
            longest = std::max(longest, m_model->text(r, c).size());
        const QString title = m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        auto cached = m_headerWidths.constFind(title);
        if (cached == m_headerWidths.constEnd())
            cached = m_headerWidths.insert(title, headerFm.horizontalAdvance(title) + 16);
        const int cells = int(longest) * charWidth + 12;
        const int width = std::min(maxWidth, std::max(cached.value(), cells));
        if (columnWidth(c) != width)
            setColumnWidth(c, width);
    }
}

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
    const int c = columnAt(m_frozen && m_frozenCount > 0 ? frozenWidth() : 0);
    return c < 0 ? 0 : gridCol(c);
}

void Grid::setLeftCol(int col)
{
    const int c = modelColumn(col);
    if (c < 0 || c >= m_model->columnCount())
        return;
    // Scrolling positions count from the first scrollable column.
    const int frozen = c < m_frozenCount ? 0 : frozenWidth();
    horizontalScrollBar()->setValue(columnViewportPosition(c) + horizontalOffset() - frozen);
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
    if (m_frozen && watched == m_frozen->viewport()) {
        // Mouse work over the frozen columns counts as over the grid itself.
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
            // The overlay's own row and column under the point: both views show
            // the same rows at the same heights, so no mapping between them is needed.
            auto *me = static_cast<QMouseEvent *>(event);
            const QPoint at = me->position().toPoint();
            const int r = m_frozen->rowAt(at.y());
            const int c = m_frozen->columnAt(at.x());
            m_mouseRow = r < 0 ? -1 : gridRow(r);
            m_mouseCol = c < 0 ? -1 : gridCol(c);
            if (event->type() == QEvent::MouseMove) {
                Q_EMIT mouseMoved();
            } else if (me->button() == Qt::RightButton) {
                Q_EMIT rightButtonPressed(me->globalPosition().toPoint());
                return true;
            } else {
                Q_EMIT otherButtonPressed();
            }
        }
    }
    QHeaderView *columnHeader = watched == horizontalHeader()->viewport() ? horizontalHeader()
                                : m_frozen && watched == m_frozen->horizontalHeader()->viewport()
                                    ? m_frozen->horizontalHeader()
                                    : nullptr;
    if (columnHeader && event->type() == QEvent::MouseMove) {
        // Over the header row: row 0.
        const auto *me = static_cast<QMouseEvent *>(event);
        const int c = columnHeader->logicalIndexAt(me->position().toPoint());
        m_mouseRow = 0;
        m_mouseCol = c < 0 ? -1 : gridCol(c);
        Q_EMIT mouseMoved();
    } else if (watched == verticalHeader()->viewport() && event->type() == QEvent::MouseMove) {
        // Over the fixed column: column 0.
        const auto *me = static_cast<QMouseEvent *>(event);
        const int r = verticalHeader()->logicalIndexAt(me->position().toPoint());
        m_mouseRow = r < 0 ? -1 : gridRow(r);
        m_mouseCol = m_fixedColumn ? 0 : -1;
        Q_EMIT mouseMoved();
    }
    return QTableView::eventFilter(watched, event);
}

void Grid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // Any other move of the user's ends a Ctrl+End still following the load.
    if (!m_movingToEnd && current.row() != m_model->rowCount() - 1)
        m_followEnd = false;
    if (current.isValid())
        Q_EMIT currentCellChanged(gridRow(current.row()), gridCol(current.column()));
}

} // namespace korva
