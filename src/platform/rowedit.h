#pragma once

#include "platform/dberror.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <optional>

// Writing one edited cell of a result back to its table, as far as it does
// not depend on the engine: which table and row the cell belongs to, the
// UPDATE that changes it, and what the count of rows it changed means. The
// engines prepare, bind and run that UPDATE in their own way.
namespace korva::db {

// Where a shown column's values come from. The table is empty for a column
// that is computed rather than read from a table.
struct ColumnOrigin
{
    QString name;   // the column's name in the result
    QString schema; // the table's database or owner; empty when the engine does not name it
    QString table;
    QString column;
};

// How an engine writes the UPDATE.
struct EditDialect
{
    // One name part quoted for the engine.
    std::function<QString(const QString &)> quoteName;
    // Numbered parameters compared with IS, so a key that is NULL still finds
    // its row; otherwise positional parameters compared with =.
    bool nullSafeKeys = false;
};

// An edit that can be made: the UPDATE's first parameter is the new value,
// then one parameter per key column, in the order of keyColumns.
struct CellEdit
{
    QString statement;
    QList<int> keyColumns; // the shown column holding each key's value
};

// The primary key columns of the table a shown column comes from.
using PrimaryKeyLookup = std::function<QStringList(const ColumnOrigin &target)>;

// The UPDATE for the cell in `column` of the result with `columns`, found by
// every column of its table's primary key, each of which must be shown.
// Nothing, with *error set, when the cell cannot be changed.
std::optional<CellEdit> planCellEdit(const QList<ColumnOrigin> &columns, int column, const EditDialect &dialect,
                                     const PrimaryKeyLookup &primaryKey, Error *error);

// What an UPDATE that changed `changed` rows means for the edit: nothing
// when exactly one row changed, the failure to report otherwise (a negative
// count is a count the engine could not tell).
Error changedRowsError(qint64 changed);

} // namespace korva::db
