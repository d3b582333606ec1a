#include "widgets/gridmodel.h"

#include "support/localize.h"

#include "platform/resultset.h"
#include "platform/rowloader.h"

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
        return m_rows->rows().text(index.row(), index.column());
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
    if (m_editable && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || !m_rows)
        return false;
    const QString old = m_rows->rows().text(index.row(), index.column());
    if (value.toString() == old && !m_rows->rows().isNull(index.row(), index.column()))
        return false;
    db::Error e;
    if (!m_rows->updateCell(index.row(), index.column(), value, &e)) {
        Q_EMIT editFailed(e.number, e.description);
        return false;
    }
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

} // namespace korva
