#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <new>
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

// Memory for a million rows' order and a sort's keys: tens of MB, used once.
// Memory new from the system costs a page fault per 4 KB the first time it
// is written, and the C library gives blocks this large back to the system
// when freed, so every sort paid them all again (in a virtual machine, ~80 ms
// of a 180 ms sort). Blocks of 2 MB and more are asked for in huge pages.
void *allocateScratch(std::size_t bytes);
void freeScratch(void *p, std::size_t bytes) noexcept;

template<class T>
struct ScratchAllocator
{
    using value_type = T;

    ScratchAllocator() = default;
    template<class U>
    ScratchAllocator(const ScratchAllocator<U> &) noexcept
    {}
    T *allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T *>(allocateScratch(n * sizeof(T)));
    }
    void deallocate(T *p, std::size_t n) noexcept { freeScratch(p, n * sizeof(T)); }
    template<class U>
    bool operator==(const ScratchAllocator<U> &) const noexcept
    {
        return true;
    }
};
template<class T>
using ScratchVector = std::vector<T, ScratchAllocator<T>>;

using RowList = ScratchVector<std::int32_t>;

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
