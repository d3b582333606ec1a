#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace korva {
class StopToken;
}
namespace korva::db {
class RowStore;
}

// Which rows of a result a grid shows, and in which order: sorted by a
// column, narrowed by what is typed into the column filters. Plain functions
// over a complete row store, run on a database thread for large tables.
namespace korva::rowview {

using RowList = std::vector<std::int32_t>;

// How a column's values compare: numbers, dates and GUIDs by their value,
// anything else as text without regard to case (letters beyond ASCII by code
// point). A column is of a kind only when every value that is not null is.
enum class SortKind { Number, Date, Guid, Text };
SortKind sortKindOf(const db::RowStore &store, int column);

// The store's rows in the column's order, nulls first (last when
// descending); rows that compare equal keep their order. Empty when stopped.
RowList sortedRows(const db::RowStore &store, int column, bool descending, const StopToken *stop = nullptr);

// What is typed into a column's filter box: "null", "!null", "=x" (equal),
// ">x", "<x" (compared as numbers when both are, otherwise as text), or any
// other text, which the cell must contain. Case never matters.
struct ColumnFilter
{
    enum class Test { Contains, Equals, Greater, Less, IsNull, NotNull };
    int column = -1;
    Test test = Test::Contains;
    QString text;
    QByteArray lowerUtf8;
    std::optional<double> number;
};
// Nothing for an empty or blank box.
std::optional<ColumnFilter> parseFilter(int column, const QString &typed);
bool passes(const db::RowStore &store, qsizetype row, const ColumnFilter &filter);

// The rows of `order` (or the first rowCount rows in store order when there
// is none) that pass every filter, in that order. Empty when stopped.
RowList filteredRows(const db::RowStore &store, const RowList *order, qsizetype rowCount,
                     const QList<ColumnFilter> &filters, const StopToken *stop = nullptr);

// Where a cell's text contains the needle (case not minding), for find in
// grid: every cell of the rows shown, in reading order. Rows are the shown
// rows' positions. Empty when stopped.
struct CellRef
{
    std::int32_t row;
    std::int32_t column;
};
std::vector<CellRef> findCells(const db::RowStore &store, const RowList *shown, qsizetype rowCount,
                               const QString &needle, const StopToken *stop = nullptr);

} // namespace korva::rowview
