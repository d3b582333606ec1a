#include "widgets/grid.h"

#include "platform/resultset.h"
#include "widgets/celldelegate.h"
#include "widgets/gridmodel.h"

#include "support/localize.h"
#include "widgets/gridfindbar.h"

#include <QtCore/QScopedValueRollback>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyleOption>

#include <functional>

namespace korva {

RowsAddedBelowView::RowsAddedBelowView(QTableView *view, QAbstractItemModel *model)
{
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeInserted, view,
                     [this, view, model](const QModelIndex &parent, int first) {
                         // The header keeps its length as rows come and go, so this
                         // costs the same at any table size; a row's position does not.
                         const QHeaderView *rows = view->verticalHeader();
                         if (!parent.isValid() && first == model->rowCount()
                             && rows->length() - rows->offset() >= view->viewport()->height())
                             m_added = true;
                         else
                             m_other = true;
                     });
    const auto other = [this] { m_other = true; };
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, view, other);
    QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, view, other);
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, view, other);
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeMoved, view, other);
    QObject::connect(model, &QAbstractItemModel::columnsAboutToBeInserted, view, other);
    QObject::connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, view, other);
    QObject::connect(model, &QAbstractItemModel::columnsAboutToBeMoved, view, other);
}

namespace {

// The overlay that shows the grid's frozen columns.
class FrozenView final : public QTableView
{
public:
    FrozenView(QWidget *parent, QAbstractItemModel *model) : QTableView(parent), m_addedBelow(this, model)
    {
        setModel(model);
    }

    void doItemsLayout() override
    {
        if (m_addedBelow.onlyThat())
            updateGeometries(); // the scroll range; what is in view stays as painted
        else
            QTableView::doItemsLayout();
        m_addedBelow.laidOut();
    }

private:
    RowsAddedBelowView m_addedBelow;
};

// The fixed column 0: empty, narrow and of fixed width, so its size never
// needs the contents of its (possibly a million) sections.
class FixedColumnHeader final : public QHeaderView
{
public:
    explicit FixedColumnHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent)
    {
        // The row pressed, as the header marks it.
        connect(this, &QHeaderView::sectionPressed, this, [this](int row) { m_pressed = row; });
        connect(this, &QHeaderView::sectionEntered, this, [this](int row) { m_pressed = row; });
    }
    QSize sizeHint() const override { return QSize(14, 0); }

protected:
    QSize sectionSizeFromContents(int) const override { return QSize(14, defaultSectionSize()); }

    // While every row has the header's one height and none is hidden, the
    // rows in view follow from the offset. The header's own painting asks
    // for rows' positions, which after rows were added walks every row's
    // record: milliseconds a showing at a million rows, and tens of them
    // right after the records were moved to grow.
    void paintEvent(QPaintEvent *event) override
    {
        if (!uniformRows()) {
            QHeaderView::paintEvent(event);
            return;
        }
        QPainter painter(viewport());
        const QRect area = event->rect();
        const int h = defaultSectionSize();
        const int first = std::max(0, (offset() + area.top()) / h);
        const int last = std::min(count() - 1, (offset() + area.bottom()) / h);
        for (int row = first; row <= last; ++row)
            paintRow(&painter, QRect(0, int(qint64(row) * h - offset()), viewport()->width(), h), row);
        const qint64 end = qint64(count()) * h - offset(); // below the last row
        if (end <= area.bottom()) {
            QStyleOption opt;
            opt.initFrom(this);
            opt.rect = QRect(0, int(end), viewport()->width(), viewport()->height() - int(end));
            style()->drawControl(QStyle::CE_HeaderEmptyArea, &opt, &painter, this);
        }
    }

    bool event(QEvent *e) override
    {
        // The row under the mouse, kept as the header keeps it for its own painting.
        switch (e->type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            m_hover = rowAt(static_cast<QHoverEvent *>(e)->position().toPoint().y());
            break;
        case QEvent::Leave:
        case QEvent::HoverLeave:
            m_hover = -1;
            break;
        default:
            break;
        }
        return QHeaderView::event(e);
    }

    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QHeaderView::mouseReleaseEvent(e);
        m_pressed = -1;
    }

private:
    bool uniformRows() const
    {
        // The header keeps its length and its hidden rows' count as rows come and go.
        return count() > 0 && defaultSectionSize() > 0 && hiddenSectionCount() == 0 && !sectionsMoved()
               && qint64(length()) == qint64(count()) * defaultSectionSize();
    }

    int rowAt(int y) const
    {
        if (!uniformRows())
            return logicalIndexAt(y);
        const int pos = offset() + y;
        return pos < 0 || pos >= length() ? -1 : pos / defaultSectionSize();
    }

    bool rowSelected(int row) const
    {
        return row >= 0 && row < count() && selectionModel() && selectionModel()->isRowSelected(row, rootIndex());
    }

    // As the header paints a row.
    void paintRow(QPainter *painter, const QRect &rect, int row) const
    {
        QStyleOptionHeaderV2 opt;
        initStyleOption(&opt);
        if (window()->isActiveWindow())
            opt.state |= QStyle::State_Active;
        if (sectionsClickable()) {
            if (row == m_hover)
                opt.state |= QStyle::State_MouseOver;
            if (row == m_pressed) {
                opt.state |= QStyle::State_Sunken;
            } else if (highlightSections()) {
                if (selectionModel() && selectionModel()->rowIntersectsSelection(row, rootIndex()))
                    opt.state |= QStyle::State_On;
                if (rowSelected(row))
                    opt.state |= QStyle::State_Sunken;
            }
        }
        opt.section = row;
        opt.textAlignment = defaultAlignment();
        opt.iconAlignment = Qt::AlignVCenter;
        opt.text = model()->headerData(row, Qt::Vertical).toString();
        opt.textElideMode = textElideMode();
        const bool first = row == 0;
        const bool last = row == count() - 1;
        opt.position = first && last ? QStyleOptionHeader::OnlyOneSection
                       : first       ? QStyleOptionHeader::Beginning
                       : last        ? QStyleOptionHeader::End
                                     : QStyleOptionHeader::Middle;
        const bool previousSelected = rowSelected(row - 1);
        const bool nextSelected = rowSelected(row + 1);
        opt.selectedPosition = previousSelected && nextSelected ? QStyleOptionHeader::NextAndPreviousAreSelected
                               : previousSelected               ? QStyleOptionHeader::PreviousIsSelected
                               : nextSelected                   ? QStyleOptionHeader::NextIsSelected
                                                                : QStyleOptionHeader::NotAdjacent;
        opt.rect = rect;
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    }

    int m_hover = -1;
    int m_pressed = -1;
};

// The header row: its height follows the font, not the column names, so a
// new result does not measure every name again. It can show a filter box
// under each column's name.
class ColumnHeader final : public QHeaderView
{
public:
    explicit ColumnHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
    {
        connect(this, &QHeaderView::sectionResized, this, [this] { placeFilters(); });
        connect(this, &QHeaderView::sectionMoved, this, [this] { placeFilters(); });
        connect(this, &QHeaderView::geometriesChanged, this, [this] { placeFilters(); });
        connect(this, &QHeaderView::sectionCountChanged, this, [this] { makeFilters(); });
    }

    // Called with a column and what was typed into its filter box.
    std::function<void(int, const QString &)> filterTyped;
    // What a filter box shows for a column.
    std::function<QString(int)> filterText;

    QSize sizeHint() const override
    {
        if (!m_height)
            m_height = std::max(QHeaderView::sizeHint().height(), fontMetrics().height() + 8);
        return QSize(length(), m_height + filterHeight());
    }

    void setFiltersShown(bool on)
    {
        if (m_filtersShown == on)
            return;
        m_filtersShown = on;
        makeFilters();
        updateGeometry();
    }
    bool filtersShown() const { return m_filtersShown; }
    QLineEdit *filterBox(int section) const
    {
        return section >= 0 && section < m_filters.size() ? m_filters[section] : nullptr;
    }

    // The boxes show the model's filters (after a new result, or a change
    // made in another header over the same model).
    void showFilterTexts()
    {
        for (int i = 0; i < m_filters.size(); ++i) {
            const QString want = filterText ? filterText(i) : QString();
            if (m_filters[i]->text() != want) {
                const QSignalBlocker quiet(m_filters[i]);
                m_filters[i]->setText(want);
            }
        }
    }

    void placeFilters()
    {
        for (int i = 0; i < m_filters.size(); ++i) {
            QLineEdit *box = m_filters[i];
            if (isSectionHidden(i)) {
                box->hide();
                continue;
            }
            box->setGeometry(sectionViewportPosition(i), height() - filterHeight(), sectionSize(i), filterHeight());
            box->show();
        }
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            m_height = 0;
        QHeaderView::changeEvent(event);
    }

    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -filterHeight()), logicalIndex);
    }

    void scrollContentsBy(int dx, int dy) override
    {
        QHeaderView::scrollContentsBy(dx, dy);
        placeFilters();
    }

private:
    int filterHeight() const { return m_filtersShown ? fontMetrics().height() + 10 : 0; }

    void makeFilters()
    {
        const int wanted = m_filtersShown && model() ? count() : 0;
        while (m_filters.size() > wanted)
            delete m_filters.takeLast();
        while (m_filters.size() < wanted) {
            const int section = int(m_filters.size());
            auto *box = new QLineEdit(viewport());
            box->setObjectName(QStringLiteral("txtFilter%1").arg(section));
            box->setClearButtonEnabled(true);
            box->setPlaceholderText(modLocalize::translated(QStringLiteral("Filter")));
            connect(box, &QLineEdit::textEdited, this, [this, section](const QString &text) {
                if (filterTyped)
                    filterTyped(section, text);
            });
            m_filters.append(box);
        }
        for (int i = 0; i < m_filters.size(); ++i)
            m_filters[i]->setAccessibleName(QStringLiteral("Filter ")
                                            + model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString());
        showFilterTexts();
        placeFilters();
    }

    mutable int m_height = 0;
    bool m_filtersShown = false;
    QList<QLineEdit *> m_filters;
};

} // namespace

Grid::Grid(QWidget *parent, bool fixedColumn)
    : QTableView(parent), m_model(new GridModel(this)), m_addedBelow(this, m_model), m_fixedColumn(fixedColumn)
{
    setVerticalHeader(new FixedColumnHeader(this));
    setHorizontalHeader(new ColumnHeader(this));
    setModel(m_model);
    setItemDelegate(new CellDelegate(this));
    setUpColumnHeader(horizontalHeader());
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { showSortIndicator(); });
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
    verticalHeader()->setSectionsClickable(true); // a click on the fixed column selects its row
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 2);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(14);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // Cells, rows (by the fixed column) and columns (by their header) can be
    // selected together and copied.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
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

void Grid::setUpColumnHeader(QHeaderView *header)
{
    auto *columns = static_cast<ColumnHeader *>(header);
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    // A click on a column's name sorts by it: ascending, descending, then
    // the result's own order again.
    connect(columns, &QHeaderView::sectionClicked, this, [this](int section) {
        using Order = GridModel::SortOrder;
        Order next = Order::Ascending;
        if (section == m_model->sortColumn())
            next = m_model->sortOrder() == Order::Ascending ? Order::Descending : Order::None;
        m_model->sortByColumn(section, next);
        showSortIndicator();
    });
    columns->filterTyped = [this](int section, const QString &text) {
        m_model->setColumnFilter(section, text);
        for (QHeaderView *h : {horizontalHeader(), m_frozen ? m_frozen->horizontalHeader() : nullptr})
            if (h)
                static_cast<ColumnHeader *>(h)->showFilterTexts();
    };
    columns->filterText = [this](int section) { return m_model->columnFilter(section); };
    connect(m_model, &QAbstractItemModel::modelReset, columns, [columns] { columns->showFilterTexts(); });
}

void Grid::showSortIndicator()
{
    for (QHeaderView *h : {horizontalHeader(), m_frozen ? m_frozen->horizontalHeader() : nullptr}) {
        if (!h)
            continue;
        if (m_model->sortOrder() == GridModel::SortOrder::None)
            h->setSortIndicator(-1, Qt::AscendingOrder);
        else
            h->setSortIndicator(m_model->sortColumn(), m_model->sortOrder() == GridModel::SortOrder::Ascending
                                                           ? Qt::AscendingOrder
                                                           : Qt::DescendingOrder);
    }
}

void Grid::setFilterRowVisible(bool on)
{
    for (QHeaderView *h : {horizontalHeader(), m_frozen ? m_frozen->horizontalHeader() : nullptr})
        if (h)
            static_cast<ColumnHeader *>(h)->setFiltersShown(on);
    if (!on) {
        // Hidden filters filter nothing.
        for (int c = 0; c < m_model->columnCount(); ++c)
            m_model->setColumnFilter(c, QString());
    }
    updateGeometries();
}

bool Grid::filterRowVisible() const { return static_cast<ColumnHeader *>(horizontalHeader())->filtersShown(); }

QLineEdit *Grid::filterBox(int col) const
{
    const int c = modelColumn(col);
    // The frozen columns' boxes are those on top.
    if (m_frozen && m_frozenCount > 0 && c < m_frozenCount)
        return static_cast<ColumnHeader *>(m_frozen->horizontalHeader())->filterBox(c);
    return static_cast<ColumnHeader *>(horizontalHeader())->filterBox(c);
}

QString Grid::selectionText(bool csv) const
{
    const QModelIndexList picked = selectionModel()->selectedIndexes();
    if (picked.isEmpty())
        return {};
    QList<int> rows, columns;
    QSet<quint64> cells;
    for (const QModelIndex &i : picked) {
        rows.append(i.row());
        columns.append(i.column());
        cells.insert((quint64(quint32(i.row())) << 32) | quint32(i.column()));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Columns in the order they are shown.
    std::sort(columns.begin(), columns.end(),
              [this](int a, int b) { return horizontalHeader()->visualIndex(a) < horizontalHeader()->visualIndex(b); });
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    const auto field = [csv](const QString &cell) {
        const QString specials = csv ? QStringLiteral(",\"\r\n") : QStringLiteral("\t\"\r\n");
        bool quote = false;
        for (QChar ch : cell)
            quote = quote || specials.contains(ch);
        if (!quote)
            return cell;
        QString doubled = cell;
        doubled.replace(u'"', QStringLiteral("\"\""));
        return QString(u'"' + doubled + u'"');
    };
    const QString separator = csv ? QStringLiteral(",") : QStringLiteral("\t");
    const QString lineEnd = csv ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    QStringList line;
    for (int c : columns)
        line << field(m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    text += line.join(separator) + lineEnd;
    for (int r : rows) {
        line.clear();
        for (int c : columns)
            line << (cells.contains((quint64(quint32(r)) << 32) | quint32(c)) ? field(m_model->text(r, c)) : QString());
        text += line.join(separator) + lineEnd;
    }
    return text;
}

void Grid::copySelection(bool csv)
{
    const QString text = selectionText(csv);
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void Grid::showFind()
{
    if (!m_find) {
        m_find = new GridFindBar(this);
        connect(m_find, &GridFindBar::searchFor, m_model, &GridModel::findCells);
        connect(m_find, &GridFindBar::next, this, [this] { goToMatch(true); });
        connect(m_find, &GridFindBar::previous, this, [this] { goToMatch(false); });
        connect(m_model, &GridModel::found, this, [this] {
            m_find->showCount(m_model->foundCells().size(), m_model->isLoading());
            if (const int go = std::exchange(m_goWhenFound, 0))
                goToMatch(go > 0);
        });
        connect(m_find, &GridFindBar::closed, this, [this] { setFocus(); });
    }
    m_find->open();
    placeFind();
}

void Grid::placeFind()
{
    if (!m_find)
        return;
    const QSize size = m_find->sizeHint();
    const QRect area = viewport()->geometry();
    m_find->setGeometry(area.right() - size.width() - 4, area.top() + 4, size.width(), size.height());
}

void Grid::goToMatch(bool forward)
{
    if (!m_find || m_find->text().isEmpty())
        return;
    if (m_model->isFinding() || m_model->isLoading()) {
        m_goWhenFound = forward ? 1 : -1;
        return;
    }
    const QList<QPoint> &found = m_model->foundCells();
    if (found.isEmpty())
        return;
    const QModelIndex at = currentIndex();
    const QPoint here(at.isValid() ? at.column() : -1, at.isValid() ? at.row() : -1);
    // Reading order: by row, then column.
    const auto before = [](const QPoint &a, const QPoint &b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); };
    qsizetype pick;
    if (forward) {
        const auto it = std::upper_bound(found.begin(), found.end(), here, before);
        pick = it == found.end() ? 0 : it - found.begin();
    } else {
        const auto it = std::lower_bound(found.begin(), found.end(), here, before);
        pick = it == found.begin() ? found.size() - 1 : (it - found.begin()) - 1;
    }
    const QModelIndex target = m_model->index(found[pick].y(), found[pick].x());
    setCurrentIndex(target);
    scrollTo(target);
    m_find->showPlace(int(pick) + 1, int(found.size()));
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copySelection(false);
        event->accept();
        return;
    }
    if (event == QKeySequence::Find) {
        showFind();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F3 && (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
        if (!m_find || m_find->text().isEmpty())
            showFind();
        else
            goToMatch(!(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
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
        m_frozen = new FrozenView(this, m_model);
        m_frozen->setObjectName(objectName() + QStringLiteral("Frozen"));
        m_frozen->setHorizontalHeader(new ColumnHeader(m_frozen));
        m_frozen->setItemDelegate(new CellDelegate(m_frozen)); // a delegate answers to one view only
        setUpColumnHeader(m_frozen->horizontalHeader());
        static_cast<ColumnHeader *>(m_frozen->horizontalHeader())->setFiltersShown(filterRowVisible());
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
        // The overlay scrolls the grid only when scrolled itself (the wheel
        // over it): a value the grid gave it, cut to a range not yet grown
        // (a hidden view lays itself out never), must not come back and
        // scroll the grid short of where it went.
        connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this](int value) {
            if (!m_aligningFrozen && m_frozen->isVisible())
                verticalScrollBar()->setValue(value);
        });
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this] { alignFrozenRows(); });
        connect(m_frozen->verticalScrollBar(), &QAbstractSlider::rangeChanged, this, [this] { alignFrozenRows(); });
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
    alignFrozenRows();
}

void Grid::alignFrozenRows()
{
    if (!m_frozen)
        return;
    const QScopedValueRollback aligning(m_aligningFrozen, true);
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
    placeFind();
}

void Grid::updateGeometries()
{
    QTableView::updateGeometries();
    updateFrozenGeometry();
}

void Grid::doItemsLayout()
{
    if (m_addedBelow.onlyThat())
        updateGeometries(); // the scroll range; what is in view stays as painted
    else
        QTableView::doItemsLayout();
    m_addedBelow.laidOut();
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
