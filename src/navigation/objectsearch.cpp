#include "navigation/objectsearch.h"

#include "platform/database.h"
#include "platform/sqlquote.h"

#include <algorithm>
#include <utility>

namespace korva::navigation {

bool isValidObjectIdInput(const QString &input)
{
    return input.size() >= 36 && input.size() <= 38 && input.contains(u'-');
}

QString objectIdFromInput(const QString &input)
{
    if (input.size() >= 2 && input.startsWith(u'{') && input.endsWith(u'}'))
        return input.mid(1, input.size() - 2);
    return input;
}

QString keyColumnForListedTable(const QString &listed)
{
    QString name = listed;
    if (name.startsWith(u"vw_", Qt::CaseInsensitive))
        name.remove(0, 3);
    if (name.toUpper() == u"USERMAILBOXMAP")
        return {};
    return QStringLiteral("ObjectID");
}

QString findObjectIdQuery(const QString &listed, const QString &keyColumn, const QString &objectId)
{
    return QStringLiteral("Select * from ") + sql::quoteBracketed(listed) + QStringLiteral(" WHERE ") + keyColumn + u'='
           + sql::quoteLiteral(objectId);
}

std::optional<ObjectIdMatch> findObjectIdTable(const QString &connection, const QStringList &listedTables,
                                               const QString &input)
{
    const QString objectId = objectIdFromInput(input);
    for (qsizetype i = listedTables.size() - 1; i >= 0; --i) {
        const QString &name = listedTables.at(i);
        const QString key = keyColumnForListedTable(name);
        if (key.isEmpty())
            continue;
        Error ignored;
        const auto rs = db::openResultSet(connection, findObjectIdQuery(name, key, objectId), &ignored);
        if (rs && rs->recordCount() == 1 && !rs->lastError())
            return ObjectIdMatch{name, objectId};
    }
    return std::nullopt;
}

bool CrossTableSearch::cellMatches(const QString &cell, const QString &searchText, bool exactMatch)
{
    if (exactMatch)
        return cell.compare(searchText, Qt::CaseInsensitive) == 0;
    return cell.contains(searchText, Qt::CaseInsensitive);
}

bool SearchGridSource::matches(int row, int col, const QString &searchText, bool exactMatch) const
{
    return CrossTableSearch::cellMatches(text(row, col), searchText, exactMatch);
}

int SearchGridSource::firstMatchInRow(int row, int fromCol, int lastCol, const QString &searchText,
                                      bool exactMatch) const
{
    for (int col = fromCol; col <= lastCol; ++col)
        if (matches(row, col, searchText, exactMatch))
            return col;
    return -1;
}

SearchOutcome CrossTableSearch::start(SearchGridSource &grid, const QString &searchText, bool exactMatch)
{
    m_searchText = searchText;
    m_exactMatch = exactMatch;
    m_matchCount = 0;
    m_row = 1;
    m_col = 0;
    m_table = 1;
    m_lastTable = grid.tableListRows() - 1;
    m_lastRow = -1;
    m_lastCol = -1;
    m_tableLoaded = false;
    if (m_searchText.isEmpty())
        return {};
    grid.lookFor(m_searchText, m_exactMatch);
    return scan(grid);
}

SearchOutcome CrossTableSearch::resume(SearchGridSource &grid)
{
    if (m_searchText.isEmpty())
        return {};
    ++m_col;
    return scan(grid);
}

void CrossTableSearch::loadTable(SearchGridSource &grid)
{
    grid.selectTable(m_table);
    m_row = 1;
    m_col = 0;
    m_lastRow = grid.rows() - 1;
    m_lastCol = grid.cols() - 1;
    m_tableLoaded = true;
}

SearchOutcome CrossTableSearch::scan(SearchGridSource &grid)
{
    while (m_table <= m_lastTable) {
        if (!m_tableLoaded) {
            if (grid.cancelled()) {
                SearchOutcome stopped;
                stopped.kind = SearchOutcome::Kind::Cancelled;
                stopped.anyMatches = m_matchCount > 0;
                return stopped;
            }
            loadTable(grid);
        }
        // The user may have loaded another table since the last match: never
        // read past what the grid holds now.
        const int lastRow = std::min(m_lastRow, grid.rows() - 1);
        const int lastCol = std::min(m_lastCol, grid.cols() - 1);
        for (; m_row <= lastRow; ++m_row, m_col = 0) {
            const int col = grid.firstMatchInRow(m_row, m_col, lastCol, m_searchText, m_exactMatch);
            if (col >= 0) {
                m_col = col;
                ++m_matchCount;
                SearchOutcome match;
                match.kind = SearchOutcome::Kind::Match;
                match.table = m_table;
                match.row = grid.rowNumber(m_row);
                match.col = m_col;
                match.anyMatches = true;
                return match;
            }
        }
        ++m_table;
        m_tableLoaded = false;
    }
    SearchOutcome finished;
    finished.kind = SearchOutcome::Kind::Finished;
    finished.anyMatches = m_matchCount > 0;
    return finished;
}

AllMatchesOutcome findAllMatches(SearchGridSource &grid, const QString &searchText, bool exactMatch, int maxMatches,
                                 const std::function<void(AllMatchesProgress)> &report)
{
    // Matches are handed over in batches too: a table full of them fills the
    // list while it is read, not only at its end.
    constexpr std::size_t kBatch = 500;
    AllMatchesOutcome outcome;
    outcome.tables = grid.tableListRows() - 1;
    if (searchText.isEmpty())
        return outcome;
    grid.lookFor(searchText, exactMatch);
    AllMatchesProgress pending;
    const auto flush = [&](const QString &reading) {
        pending.tablesDone = outcome.tablesDone;
        pending.table = reading;
        report(std::exchange(pending, {}));
    };
    for (int t = 1; t <= outcome.tables && !outcome.truncated; ++t) {
        if (grid.cancelled())
            break;
        const QString name = grid.tableName(t);
        flush(name);
        grid.selectTable(t);
        const int lastRow = grid.rows() - 1;
        const int lastCol = grid.cols() - 1;
        int keyCol = -1;
        for (int c = 0; c <= lastCol && keyCol < 0; ++c)
            if (grid.text(0, c).compare(u"ObjectID", Qt::CaseInsensitive) == 0)
                keyCol = c;
        for (int r = 1; r <= lastRow && !outcome.truncated; ++r) {
            if (r % 1024 == 0 && grid.cancelled())
                break;
            for (int c = 0; (c = grid.firstMatchInRow(r, c, lastCol, searchText, exactMatch)) >= 0; ++c) {
                pending.matches.push_back(
                    {name, grid.text(0, c), keyCol >= 0 ? grid.text(r, keyCol) : QString(), grid.text(r, c),
                                           grid.rowNumber(r), c});
                if (++outcome.matches >= maxMatches) {
                    outcome.truncated = true;
                    break;
                }
                if (pending.matches.size() >= kBatch)
                    flush(name);
            }
        }
        // A table cut short by Cancel is not done; its matches so far are kept.
        if (grid.cancelled())
            break;
        ++outcome.tablesDone;
    }
    outcome.cancelled = grid.cancelled() && outcome.tablesDone < outcome.tables && !outcome.truncated;
    flush(QString());
    return outcome;
}

} // namespace korva::navigation
