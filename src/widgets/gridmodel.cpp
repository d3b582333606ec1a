#include "widgets/gridmodel.h"

#include "support/localize.h"

#include "platform/backgroundtask.h"
#include "platform/resultset.h"
#include "platform/rowloader.h"

#include <QtCore/QPointer>
#include <QtGui/QBrush>
#include <QtGui/QFont>
#include <QtGui/QPalette>
#include <QtWidgets/QApplication>

namespace korva {

GridModel::GridModel(QObject *parent) : QAbstractTableModel(parent), m_loader(new db::RowLoader(this))
{
    connect(m_loader, &db::RowLoader::rowsAdded, this, &GridModel::publishFetched);
    connect(m_loader, &db::RowLoader::finished, this, [this] {
        publishFetched();
        checkFinished();
    });
}

GridModel::~GridModel() = default;

void GridModel::setResultSet(std::shared_ptr<db::ResultSet> rows)
{
    m_loader->stop();
    beginResetModel();
    m_rows = std::move(rows);
    m_columns = m_rows ? m_rows->columns() : QStringList();
    m_bold.clear();
    m_pendingEdits.clear();
    m_marked = -1;
    m_shownRows = m_rows ? int(std::min<qsizetype>(m_rows->fetchedCount(), INT_MAX)) : 0;
    m_finished = false;
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
    Q_EMIT loadingFinished();
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
    m_marked = -1;
    m_finished = true;
    endResetModel();
}

void GridModel::clear() { setColumns(m_columns); }

bool GridModel::isLoading() const
{
    return m_rows && (m_loader->isRunning() || !m_rows->isComplete() || m_shownRows < m_rows->fetchedCount());
}

void GridModel::publishFetched()
{
    if (!m_rows)
        return;
    const int fetched = int(std::min<qsizetype>(m_rows->fetchedCount(), INT_MAX));
    if (fetched > m_shownRows) {
        beginInsertRows(QModelIndex(), m_shownRows, fetched - 1);
        m_shownRows = fetched;
        endInsertRows();
    }
}

QString GridModel::text(int row, int column) const
{
    if (!m_rows || row < 0 || row >= m_shownRows)
        return {};
    if (!m_pendingEdits.isEmpty())
        if (const auto pending = m_pendingEdits.constFind(cellKey(row, column)); pending != m_pendingEdits.cend())
            return *pending;
    return m_rows->rows().text(row, column);
}

QStringList GridModel::columnNames() const { return m_columns; }

void GridModel::setBoldRow(int row, bool bold)
{
    if (bold)
        m_bold.insert(row);
    else
        m_bold.remove(row);
    if (row >= 0 && row < m_shownRows)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::FontRole, Qt::BackgroundRole});
}

void GridModel::clearBoldRows()
{
    const QSet<int> old = std::exchange(m_bold, {});
    for (int r : old)
        if (r >= 0 && r < m_shownRows)
            Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1), {Qt::FontRole, Qt::BackgroundRole});
}

void GridModel::setMarkedRow(int row)
{
    const int old = std::exchange(m_marked, row);
    for (int r : {old, row})
        if (r >= 0 && r < m_shownRows)
            Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
}

int GridModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_shownRows; }

int GridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shownRows || index.column() >= m_columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return text(index.row(), index.column());
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
    if (m_editable && index.isValid() && !m_pendingEdits.contains(cellKey(index.row(), index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.row() >= m_shownRows || !m_rows)
        return false;
    const int row = index.row();
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
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
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
    if (number == 0)
        m_rows->keepCell(row, column, value);
    Q_EMIT dataChanged(index(row, column), index(row, column), {Qt::DisplayRole, Qt::EditRole});
    if (number != 0)
        Q_EMIT editFailed(number, description);
}

} // namespace korva
