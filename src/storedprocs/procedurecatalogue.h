#pragma once

#include "platform/session.h"

#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>

namespace korva::storedprocs {

// The browser always reads the directory database of the main window's
// server, on the product's own instance, whatever the main window uses.
QString directoryConnectionString(const QString &serverName);

// Only the product's own procedures are listed: names beginning "csp_" or
// "sp_", in any case.
bool isListedProcedure(const QString &name);
QList<db::ProcedureInfo> listedProcedures(const QList<db::ProcedureInfo> &all);

// A parameter's length as the windows show and check it: in characters, and
// -1 for a type without limit (nvarchar(max), varbinary(max)). A server that
// reports Unicode lengths in bytes is corrected from the procedure's own
// declaration of the parameter when its text has one.
int parameterLength(const db::ProcedureInfo &procedure, const db::ProcedureParameter &parameter);

// The parameter enumeration as the server's management interface hands it
// over: rows separated by the character 2, cells by the character 1. Row 0
// holds the column names, row 1 each column's widest cell (in characters),
// and the rows from 2 on one parameter each, every cell padded with blanks to
// its column's width. Columns: Name, Type, Length, Position (1-based), Output
// ("1" for an output parameter, else "0").
QString parameterEnumeration(const db::ProcedureInfo &procedure);

// An in-memory result set of text fields from an enumeration: fields named by
// row 0 (trailing blanks removed), row 1 skipped, one record per later row
// with its cells' trailing blanks removed. Missing cells are empty and extra
// ones ignored; an empty text gives a result set without fields.
std::unique_ptr<db::ResultSet> enumerationToResultSet(const QString &text);

// One row of the browser's parameter grid, as the execution window takes it.
struct ParameterRow
{
    QString name;
    QString type;
    QString length;
    QString output;
};

} // namespace korva::storedprocs
