#include "navigation/navigationcontroller.h"

#include "platform/resultset.h"

namespace korva::navigation {

QString DescriptionCache::key(const QString &connection, const QString &table, const QString &objectId)
{
    return connection.toLower() + u'\n' + table.toLower() + u'\n' + objectId.toLower();
}

std::optional<ObjectDescription> DescriptionCache::find(const QString &connection, const QString &table,
                                                        const QString &objectId) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.constFind(key(connection, table, objectId));
    if (it == m_entries.constEnd())
        return std::nullopt;
    return *it;
}

void DescriptionCache::insert(const QString &connection, const QString &table, const QString &objectId,
                              const ObjectDescription &d)
{
    std::lock_guard lock(m_mutex);
    m_entries.insert(key(connection, table, objectId), d);
}

void DescriptionCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

qsizetype DescriptionCache::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

ObjectDescription describeObject(const QString &connection, const QString &table, const QString &objectId)
{
    ObjectDescription d;
    d.objectId = objectId;
    ObjectDescriber describer(connection);
    d.description = describer.strGetObjectIDData(table, d.objectId, &d.jumpTable, &d.unexpected);
    return d;
}

QList<DescribedObject> describeObjects(const QString &connection, const QHash<QString, QStringList> &idsByTable,
                                       const std::function<bool()> &stopped)
{
    QList<DescribedObject> described;
    ObjectDescriber describer(connection);
    for (auto it = idsByTable.begin(); it != idsByTable.end(); ++it) {
        if (stopped && stopped())
            break;
        for (ObjectDescriber::Described &d : describer.describeMany(it.key(), it.value(), stopped))
            described.push_back({it.key(), d.askedId, {d.description, d.pendingJumpTable, d.objectId, {}}});
    }
    return described;
}

TableScanSource::TableScanSource(QStringList listed, Opener open, Progress progress)
    : m_listed(std::move(listed)), m_open(std::move(open)), m_progress(std::move(progress))
{}

TableScanSource::~TableScanSource() = default;

void TableScanSource::selectTable(int tableListRow)
{
    m_rows.reset();
    const QString name = m_listed.value(tableListRow - 1);
    if (m_progress)
        m_progress(name);
    std::shared_ptr<db::ResultSet> rows = m_open(name, m_filter);
    if (!rows)
        return;
    // Read in batches, so that Esc stops a long table too.
    while (!rows->isComplete() && !m_cancelled)
        rows->fetchMore(5000);
    m_rows = std::move(rows);
}

void TableScanSource::lookFor(const QString &searchText, bool exactMatch)
{
    // Rows without the text are read and compared, but never kept.
    m_filter = std::make_shared<const db::RowFilter>(searchText, exactMatch);
}

int TableScanSource::rowNumber(int row) const
{
    return row >= 1 && m_rows && row <= m_rows->fetchedCount() ? int(m_rows->rows().sourceRow(row - 1)) + 1 : row;
}

int TableScanSource::rows() const { return m_rows ? int(m_rows->fetchedCount()) + 1 : 1; }

int TableScanSource::cols() const { return m_rows ? m_rows->fieldCount() + 1 : 1; }

QString TableScanSource::text(int row, int col) const
{
    if (col == 0)
        return {}; // the grid's empty fixed column
    if (row == 0)
        return m_rows ? m_rows->columns().value(col - 1) : QString();
    return m_rows ? m_rows->rows().text(row - 1, col - 1) : QString();
}

bool TableScanSource::matches(int row, int col, const QString &searchText, bool exactMatch) const
{
    if (row < 1 || col < 1 || !m_rows)
        return SearchGridSource::matches(row, col, searchText, exactMatch);
    setNeedle(searchText);
    return m_rows->rows().textMatches(row - 1, col - 1, m_lowerNeedle, searchText, exactMatch);
}

int TableScanSource::firstMatchInRow(int row, int fromCol, int lastCol, const QString &searchText,
                                     bool exactMatch) const
{
    if (row < 1 || !m_rows)
        return SearchGridSource::firstMatchInRow(row, fromCol, lastCol, searchText, exactMatch);
    // The empty fixed column first, then the row's cells in one walk.
    if (fromCol == 0) {
        if (matches(row, 0, searchText, exactMatch))
            return 0;
        fromCol = 1;
    }
    const db::RowStore &store = m_rows->rows();
    int col;
    if (m_filter && m_filter->exact() == exactMatch && m_filter->needle() == searchText) {
        col = store.firstMatchInRow(row - 1, fromCol - 1, lastCol - 1, *m_filter);
    } else {
        setNeedle(searchText);
        col = store.firstMatchInRow(row - 1, fromCol - 1, lastCol - 1, m_lowerNeedle, searchText, exactMatch);
    }
    return col < 0 ? -1 : col + 1;
}

void TableScanSource::setNeedle(const QString &searchText) const
{
    // The same text comes with every row: compare its data first, not its characters.
    if (searchText.constData() != m_needle.constData() && searchText != m_needle) {
        m_needle = searchText;
        m_lowerNeedle = searchText.toLower().toUtf8();
    }
}

} // namespace korva::navigation
