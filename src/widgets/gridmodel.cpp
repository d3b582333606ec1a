#include "widgets/gridmodel.h"

#include "support/localize.h"

#include "platform/backgroundtask.h"
#include "platform/resultset.h"
#include "platform/rowloader.h"
#include "widgets/rowview.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QBrush>
#include <QtGui/QFont>
#include <QtGui/QPalette>
#include <QtWidgets/QApplication>

#include <algorithm>

namespace korva {

namespace {

// Rows read are shown at most this often. Each showing lays the view out and
// paints it anew; for a batch every few milliseconds that took the window
// as much processor time as reading the rows took.
constexpr qint64 kPublishMs = 100;
// How many rows one showing adds. Every view on the model (the grid and its
// frozen columns' overlay) keeps a record per row in its row header, at
// 25-60 ns a row with its page faults: the 250,000 rows a fast load reads in
// 100 ms cost two views up to 15 ms at once. A showing adds as many rows as
// the views took in within this time the last time, within these bounds;
// the rest come in further steps, each after the window has had its turn.
// The time leaves room for what a step brings after it in the same turn.
constexpr qint64 kShowingBudgetNs = 5'000'000;
constexpr int kFewestRowsPerShowing = 50000;
constexpr int kMostRowsPerShowing = 250000;
// A step holds at most this many quarters of the rows of the step its rate
// was measured on. A row costs more the longer the table, and a step that moves
// the views' records costs most: the records of a first step often sit in
// memory used before, and are copied into memory new from the system, at a
// page fault per 4 KB (10-25 us each in a virtual machine).
constexpr qint64 kStepGrowthQuarters = 5;
// The next step comes this long after one ends, not at once: a timer due at
// once runs before what the window system brought meanwhile (input, the
// window manager's pings), which then waited for two steps.
constexpr int kStepGapMs = 1;

} // namespace

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent), m_loader(new db::RowLoader(this)), m_publishTimer(new QTimer(this)),
      m_rowsPerShowing(kFewestRowsPerShowing)
{
    m_publishTimer->setSingleShot(true);
    connect(m_publishTimer, &QTimer::timeout, this, &GridModel::publishFetched);
    connect(m_loader, &db::RowLoader::rowsAdded, this, &GridModel::publishSoon);
    connect(m_loader, &db::RowLoader::finished, this, [this] {
        // Rows being shown in steps go on in steps; the last of them ends the load.
        if (!m_showingInSteps)
            publishFetched();
        checkFinished();
    });
}

struct GridModel::Arrangement
{
    std::shared_ptr<const db::ResultSet> rows; // which result it is for
    std::shared_ptr<const rowview::RowList> sorted;
    std::shared_ptr<const rowview::RowList> view;
};

GridModel::~GridModel() = default;

void GridModel::setResultSet(std::shared_ptr<db::ResultSet> rows)
{
    m_loader->stop();
    beginResetModel();
    m_rows = std::move(rows);
    m_columns = m_rows ? m_rows->columns() : QStringList();
    m_bold.clear();
    m_pendingEdits.clear();
    resetArrangement();
    m_marked = -1;
    m_shownRows = m_rows ? int(std::min<qsizetype>(m_rows->fetchedCount(), INT_MAX)) : 0;
    m_finished = false;
    m_publishTimer->stop();
    m_showingInSteps = false;
    m_lastPublish.invalidate(); // the first rows read are shown at once
    endResetModel();
    if (m_rows && !m_rows->isComplete())
        m_loader->start(m_rows, m_batch);
    else
        checkFinished();
}

void GridModel::checkFinished()
{
    if (m_finished || isLoading())
        return;
    m_finished = true;
    // A sort, filter or find asked for while the rows came in.
    if (m_sortOrder != SortOrder::None || !m_filters.isEmpty())
        rearrange();
    else if (!m_findNeedle.isEmpty())
        runFind();
    Q_EMIT loadingFinished();
}

void GridModel::resetArrangement()
{
    if (m_arranging)
        m_arranging->cancel();
    if (m_finding)
        m_finding->cancel();
    m_findNeedle.clear();
    m_found.clear();
    m_view.reset();
    m_sorted.reset();
    m_sortColumn = -1;
    m_sortOrder = SortOrder::None;
    m_filters.clear();
    m_keepLater.clear();
}

qsizetype GridModel::heldRows() const { return m_shownRows; }

bool GridModel::isArranging() const
{
    return (m_arranging && m_arranging->isPending()) || (m_finding && m_finding->isPending());
}

bool GridModel::isFinding() const { return m_finding && m_finding->isPending(); }

void GridModel::findCells(const QString &needle)
{
    m_findNeedle = needle;
    runFind();
}

void GridModel::runFind()
{
    if (!m_finding)
        m_finding = std::make_unique<BackgroundTask<std::shared_ptr<const QList<QPoint>>>>();
    m_finding->cancel();
    m_found.clear();
    if (m_findNeedle.isEmpty() || !m_rows) {
        keepHeldEdits();
        Q_EMIT found();
        return;
    }
    if (isLoading())
        return; // searched once the rows are in
    auto work = [rows = std::shared_ptr<const db::ResultSet>(m_rows), view = m_view, needle = m_findNeedle,
                 held = m_shownRows](const StopToken &stop) {
        auto cells = std::make_shared<QList<QPoint>>();
        for (const rowview::CellRef &c : rowview::findCells(rows->rows(), view.get(), held, needle, &stop))
            cells->append(QPoint(c.column, c.row));
        return std::shared_ptr<const QList<QPoint>>(std::move(cells));
    };
    auto done = [this](std::shared_ptr<const QList<QPoint>> cells) {
        m_found = *cells;
        keepHeldEdits();
        Q_EMIT found();
    };
    if (m_shownRows <= m_inPlaceLimit)
        done(work(StopToken()));
    else
        m_finding->start(this, std::move(work), std::move(done));
}

void GridModel::keepHeldEdits()
{
    if (isArranging() || !m_rows)
        return;
    for (const auto &[row, column, value] : std::exchange(m_keepLater, {})) {
        m_rows->keepCell(row, column, value);
        m_pendingEdits.remove(cellKey(row, column));
    }
}

void GridModel::sortByColumn(int column, SortOrder order)
{
    if (column < 0 || column >= m_columns.size() || order == SortOrder::None) {
        column = -1;
        order = SortOrder::None;
    }
    if (column == m_sortColumn && order == m_sortOrder)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    m_sorted.reset();
    rearrange();
}

void GridModel::setColumnFilter(int column, const QString &typed)
{
    if (column < 0 || column >= m_columns.size())
        return;
    const QString old = m_filters.value(column);
    if (typed.trimmed().isEmpty())
        m_filters.remove(column);
    else
        m_filters.insert(column, typed);
    if (old.trimmed() != typed.trimmed())
        rearrange();
}

void GridModel::rearrange()
{
    if (!m_rows) {
        Q_EMIT arranged();
        return;
    }
    // The rows are read where they are stored, which must hold still: while
    // they still arrive, this is done when the last one is in.
    if (isLoading())
        return;
    if (m_sortOrder == SortOrder::None && m_filters.isEmpty()) {
        if (m_arranging)
            m_arranging->cancel();
        applyArrangement({m_rows, {}, {}});
        return;
    }
    QList<rowview::ColumnFilter> filters;
    for (auto it = m_filters.cbegin(); it != m_filters.cend(); ++it)
        if (auto f = rowview::parseFilter(it.key(), it.value()))
            filters.append(*f);
    auto work = [rows = std::shared_ptr<const db::ResultSet>(m_rows), sorted = m_sorted, column = m_sortColumn,
                 order = m_sortOrder, filters, held = m_shownRows](const StopToken &stop) {
        Arrangement a{rows, sorted, {}};
        const db::RowStore &store = rows->rows();
        if (order != SortOrder::None && !a.sorted)
            a.sorted = std::make_shared<const rowview::RowList>(
                rowview::sortedRows(store, column, order == SortOrder::Descending, &stop));
        if (!filters.isEmpty())
            a.view = std::make_shared<const rowview::RowList>(
                rowview::filteredRows(store, a.sorted.get(), held, filters, &stop));
        else
            a.view = a.sorted;
        return a;
    };
    if (!m_arranging)
        m_arranging = std::make_unique<BackgroundTask<Arrangement>>();
    m_arranging->cancel();
    if (m_shownRows <= m_inPlaceLimit) {
        applyArrangement(work(StopToken()));
        return;
    }
    m_arranging->start(this, std::move(work), [this](Arrangement a) { applyArrangement(std::move(a)); });
}

void GridModel::applyArrangement(Arrangement arrangement)
{
    if (arrangement.rows != m_rows)
        return;
    beginResetModel();
    m_sorted = std::move(arrangement.sorted);
    m_view = std::move(arrangement.view);
    // Marks name shown rows, which have moved.
    m_bold.clear();
    m_marked = -1;
    endResetModel();
    // Edits written while the rows were being read.
    keepHeldEdits();
    Q_EMIT arranged();
    // Matches are places among the shown rows, which have changed.
    if (!m_findNeedle.isEmpty())
        runFind();
}

void GridModel::setColumns(const QStringList &names)
{
    m_loader->stop();
    beginResetModel();
    m_rows.reset();
    m_columns = names;
    m_shownRows = 0;
    m_bold.clear();
    m_pendingEdits.clear();
    resetArrangement();
    m_marked = -1;
    m_finished = true;
    endResetModel();
}

void GridModel::clear() { setColumns(m_columns); }

bool GridModel::isLoading() const
{
    return m_rows && (m_loader->isRunning() || !m_rows->isComplete() || m_shownRows < m_rows->fetchedCount());
}

void GridModel::publishSoon()
{
    if (m_publishTimer->isActive())
        return;
    const qint64 since = m_lastPublish.isValid() ? m_lastPublish.elapsed() : kPublishMs;
    if (since >= kPublishMs)
        publishFetched();
    else
        m_publishTimer->start(int(kPublishMs - since));
}

void GridModel::publishFetched()
{
    m_publishTimer->stop();
    m_showingInSteps = false;
    m_lastPublish.start();
    if (!m_rows)
        return;
    const int fetched = int(std::min<qsizetype>(m_rows->fetchedCount(), INT_MAX));
    if (fetched > m_shownRows) {
        const int first = m_shownRows;
        const int last = fetched - first > m_rowsPerShowing ? first + m_rowsPerShowing : fetched;
        QElapsedTimer took;
        took.start();
        beginInsertRows(QModelIndex(), first, last - 1);
        m_shownRows = last;
        endInsertRows();
        // Few rows say little of what many cost, and a step little of a much larger one.
        if (last - first >= 10000)
            m_rowsPerShowing = int(std::clamp<qint64>(std::min<qint64>(kShowingBudgetNs * (last - first)
                                                                           / std::max<qint64>(took.nsecsElapsed(), 1),
                                                                       qint64(last - first) * kStepGrowthQuarters / 4),
                                                      kFewestRowsPerShowing, kMostRowsPerShowing));
        if (last < fetched) {
            m_showingInSteps = true;
            m_publishTimer->start(kStepGapMs);
            return;
        }
    }
    // The last step of a load that has ended.
    checkFinished();
}

QString GridModel::text(int row, int column) const
{
    if (!m_rows || row < 0 || row >= rowCount())
        return {};
    const int held = storeRow(row);
    if (!m_pendingEdits.isEmpty())
        if (const auto pending = m_pendingEdits.constFind(cellKey(held, column)); pending != m_pendingEdits.cend())
            return *pending;
    return m_rows->rows().text(held, column);
}

bool GridModel::isNull(int row, int column) const
{
    if (!m_rows || row < 0 || row >= rowCount())
        return false;
    const int held = storeRow(row);
    return m_rows->rows().isNull(held, column) && !m_pendingEdits.contains(cellKey(held, column));
}

QStringList GridModel::columnNames() const { return m_columns; }

void GridModel::setBoldRow(int row, bool bold)
{
    if (bold)
        m_bold.insert(row);
    else
        m_bold.remove(row);
    if (row >= 0 && row < rowCount())
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::FontRole, Qt::BackgroundRole});
}

void GridModel::clearBoldRows()
{
    const QSet<int> old = std::exchange(m_bold, {});
    for (int r : old)
        if (r >= 0 && r < rowCount())
            Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1), {Qt::FontRole, Qt::BackgroundRole});
}

void GridModel::setMarkedRow(int row)
{
    const int old = std::exchange(m_marked, row);
    for (int r : {old, row})
        if (r >= 0 && r < rowCount())
            Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_view ? int(m_view->size()) : m_shownRows;
}

int GridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= m_columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return text(index.row(), index.column());
    case Qt::AccessibleTextRole:
        // A screen reader tells a missing value from an empty text.
        return isNull(index.row(), index.column()) ? QStringLiteral("null") : text(index.row(), index.column());
    case IsNullRole:
        return isNull(index.row(), index.column());
    case Qt::FontRole:
        if (m_bold.contains(index.row())) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::BackgroundRole:
        if (index.row() == m_marked)
            return QApplication::palette().brush(QPalette::Highlight);
        if (m_bold.contains(index.row()))
            return QApplication::palette().brush(QPalette::AlternateBase);
        return {};
    case Qt::ForegroundRole:
        if (index.row() == m_marked)
            return QApplication::palette().brush(QPalette::HighlightedText);
        return {};
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_translatedCaptions ? modLocalize::translated(m_columns.value(section)) : m_columns.value(section);
    // The fixed column 0 is empty.
    return role == Qt::AccessibleTextRole ? QVariant(QString::number(section + 1)) : QVariant(QString());
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.row() < rowCount()
        && !m_pendingEdits.contains(cellKey(storeRow(index.row()), index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() || !m_rows)
        return false;
    const int row = storeRow(index.row());
    const int column = index.column();
    const quint64 key = cellKey(row, column);
    if (m_pendingEdits.contains(key))
        return false;
    const QString old = m_rows->rows().text(row, column);
    if (value.toString() == old && !m_rows->rows().isNull(row, column))
        return false;
    // The row's key values are taken here: the loader adds rows to the same
    // store meanwhile, so the writing thread must not read it.
    auto rows = m_rows;
    QVariantList rowValues = rows->rowValues(row);
    m_pendingEdits.insert(key, value.toString());
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, IsNullRole});
    // The write goes on even when the grid closes meanwhile: the user has
    // committed it. Only its answer is dropped then.
    auto self = std::make_shared<const QPointer<GridModel>>(this);
    runOnDatabaseThread([self, rows = std::move(rows), rowValues = std::move(rowValues), row, column, value] {
        db::Error e;
        rows->writeCell(rowValues, column, value, &e);
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self, rows, row, column, value, e] {
                    if (GridModel *model = *self)
                        model->finishEdit(rows, row, column, value, e.number, e.description);
                },
                Qt::QueuedConnection);
    });
    return true;
}

void GridModel::finishEdit(const std::shared_ptr<db::ResultSet> &rows, int row, int column, const QVariant &value,
                           long number, const QString &description)
{
    // Another table came meanwhile: the write is done, nothing shows it.
    if (rows != m_rows || !m_pendingEdits.remove(cellKey(row, column)))
        return;
    if (number == 0) {
        // The rows being arranged are read on another thread: the store
        // takes the value once that is done; the grid shows it meanwhile.
        if (isArranging()) {
            m_pendingEdits.insert(cellKey(row, column), value.toString());
            m_keepLater.append({row, column, value});
        } else {
            m_rows->keepCell(row, column, value);
        }
    }
    // The shown place of the row (it may have moved since).
    int shown = row;
    if (m_view) {
        const auto at = std::find(m_view->begin(), m_view->end(), row);
        shown = at == m_view->end() ? -1 : int(at - m_view->begin());
    }
    if (shown >= 0)
        Q_EMIT dataChanged(index(shown, column), index(shown, column), {Qt::DisplayRole, Qt::EditRole, IsNullRole});
    if (number != 0)
        Q_EMIT editFailed(number, description);
}

} // namespace korva
