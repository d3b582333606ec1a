#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace korva::navigation {

// ---- Find Object ID -------------------------------------------------------

inline const QString kFindObjectIdTitle = QStringLiteral("Enter ObjectID");
inline const QString kFindObjectIdPrompt = QStringLiteral("Object ID to search for");
inline const QString kInvalidObjectIdMessage = QStringLiteral("Invalid ObjectID GUID value");
inline const QString kNoObjectIdMatchMessage = QStringLiteral("No match found");

// A GUID as typed, with or without braces: 36 to 38 characters and a "-".
bool isValidObjectIdInput(const QString &input);

// The ObjectID to look for: the input without a surrounding pair of braces,
// which the stored 36-character form never has.
QString objectIdFromInput(const QString &input);

// "ObjectID", or empty for a listed vw_UserMailboxMap (any letter case),
// which has no key column and is not searched.
QString keyColumnForListedTable(const QString &listed);

// The query that looks for the ObjectID in one listed table; the name is
// bracketed and the ObjectID quoted, both escaped.
QString findObjectIdQuery(const QString &listed, const QString &keyColumn, const QString &objectId);

struct ObjectIdMatch
{
    QString table;    // as listed
    QString objectId; // as looked for (what the jump selects the row by)
};

// Looks for the ObjectID in each listed table, from the last to the first
// (listedTables in table-list order). A table matches when exactly one of
// its rows has that ObjectID; tables that cannot be read do not match.
std::optional<ObjectIdMatch> findObjectIdTable(const QString &connection, const QStringList &listedTables,
                                               const QString &input);

// ---- Cross-table search ---------------------------------------------------

inline const QString kSearchNeedsTextMessage = QStringLiteral("You must select a string to search for");
inline const QString kNoMoreMatchesMessage = QStringLiteral("No more matches found.");
inline const QString kNoMatchesAnywhereMessage = QStringLiteral(
    "No matches found for any row in any table on the currently selected database");

// What the cross-table search walks: the main window's table list and its
// data grid, in grid terms (row 0 is the header, data from row 1).
class SearchGridSource
{
public:
    virtual ~SearchGridSource() = default;

    // Rows of the table list, its header row included.
    virtual int tableListRows() const = 0;
    // The name in column 1 of a table-list row.
    virtual QString tableName(int tableListRow) const
    {
        Q_UNUSED(tableListRow);
        return {};
    }
    // Makes the table-list row current, scrolls it into view and loads the
    // table's rows into the data grid before returning (making data row 1
    // current when there is one).
    virtual void selectTable(int tableListRow) = 0;
    // The data grid as it is now.
    virtual int rows() const = 0;
    virtual int cols() const = 0;
    virtual QString text(int row, int col) const = 0; // what the grid shows
    // Whether a cell matches; the default compares text(). A source may
    // compare faster as long as the answer is the same.
    virtual bool matches(int row, int col, const QString &searchText, bool exactMatch) const;
    // The first of a row's columns fromCol..lastCol that matches, or -1; the
    // default asks matches() of each.
    virtual int firstMatchInRow(int row, int fromCol, int lastCol, const QString &searchText, bool exactMatch) const;
    // The user asked to stop (checked before each table is loaded).
    virtual bool cancelled() const { return false; }
    // The walk will look for this text from now on: a source may then hold
    // only the rows of each table that have it, as long as rowNumber() says
    // which data-grid rows they are.
    virtual void lookFor(const QString &searchText, bool exactMatch)
    {
        Q_UNUSED(searchText);
        Q_UNUSED(exactMatch);
    }
    virtual int rowNumber(int row) const { return row; }
};

struct SearchOutcome
{
    enum class Kind {
        Match,     // table, row and col say where; the search can resume
        Finished,  // every table scanned; anyMatches tells which message to show
        Idle,      // no search text: nothing was searched
        Cancelled, // the user stopped the walk; it can be resumed
    };
    Kind kind = Kind::Idle;
    int table = -1; // table-list row
    int row = -1;   // data-grid row
    int col = -1;   // data-grid column
    bool anyMatches = false;
};

// Looks for a text in every cell of every listed table, one match at a time.
// The state survives between matches so that the walk resumes after the
// cell it last reported.
class CrossTableSearch
{
public:
    // Exact: the cell equals the text; otherwise it contains it. Neither
    // regards letter case.
    static bool cellMatches(const QString &cell, const QString &searchText, bool exactMatch);

    SearchOutcome start(SearchGridSource &grid, const QString &searchText, bool exactMatch);
    // Continues after the last match over whatever the grid now holds.
    SearchOutcome resume(SearchGridSource &grid);

    int matchCount() const { return m_matchCount; }

private:
    SearchOutcome scan(SearchGridSource &grid);
    void loadTable(SearchGridSource &grid);

    QString m_searchText;
    bool m_exactMatch = false;
    int m_matchCount = 0;
    int m_table = 0;
    int m_row = 0;
    int m_col = 0;
    int m_lastTable = -1;
    int m_lastRow = -1;
    int m_lastCol = -1;
    bool m_tableLoaded = false;
};

// ---- Every match at once --------------------------------------------------

// One cell that matched, as the match list shows it and the jump finds it.
struct CellMatch
{
    QString table;    // as listed
    QString column;   // the column's name
    QString objectId; // the row's ObjectID; empty when the table has no such column
    QString value;    // what the grid shows in the cell
    int row = -1;     // data-grid row (from 1)
    int col = -1;     // data-grid column
};

// What a scan of every table reports as it goes: the tables done so far, the
// table it is reading now (empty once all are done) and the matches found
// since the last report.
struct AllMatchesProgress
{
    int tablesDone = 0;
    QString table;
    std::vector<CellMatch> matches;
};

struct AllMatchesOutcome
{
    int tables = 0;     // listed tables
    int tablesDone = 0; // of them scanned to the end
    int matches = 0;
    bool cancelled = false;
    bool truncated = false; // stopped at the limit of matches
};

// Looks for the text in every cell of every listed table, as the search
// across tables does, but lists every match instead of stopping at each: the
// matches come to report a table (or a few hundred matches) at a time. It
// stops when the source is cancelled, and after maxMatches matches.
AllMatchesOutcome findAllMatches(SearchGridSource &grid, const QString &searchText, bool exactMatch, int maxMatches,
                                 const std::function<void(AllMatchesProgress)> &report);

} // namespace korva::navigation
