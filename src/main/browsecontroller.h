#pragma once

#include "main/rowquery.h"
#include "platform/dberror.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <QtCore/QHash>

#include <memory>
#include <optional>

namespace korva {
class StopToken;
}

namespace korva {

namespace db {
class ResultSet;
class RowFilter;
}

// What the main window asks of a table when it shows it.
struct TableRequest
{
    QString connection;          // the selected database
    QString directoryConnection; // OrvexDirDB of the same server: the unique ID column comes from there
    QString listed;              // the name as the table list shows it
    bool lockAlias = true;
    bool lockUnique = true;
    bool editing = false;         // "Use Tables" with the /Edit switch
    QString where;                // the WHERE text in force, empty for none
    qsizetype firstRows = 200;    // read with the query, so the first screen needs no second trip
    bool overlapKeyLookup = true; // look the key up on a thread of its own meanwhile (a remote trip saved)
    bool compactText = true;      // off for rows read once (a search), where packing costs more than it saves
    std::shared_ptr<const db::RowFilter> onlyMatching; // a search keeps only the rows that match
    // Already known (a search reads the catalogue once for every table): not asked again.
    std::optional<QStringList> knownColumns;
    std::optional<QString> knownUniqueId;
};

// Everything a table load learns from the server, gathered off the window's thread.
struct TableLoad
{
    QStringList columns;                       // in name order
    std::shared_ptr<db::ResultSet> columnRows; // null when the list could not be read
    QString uniqueId;                          // empty when the key is not known
    SelectList selectList;
    QString rowQuery; // empty when there are no columns to query
    bool editable = false;
    QString editRefusal;                 // why a table of this mode cannot be edited
    std::shared_ptr<db::ResultSet> rows; // null when the query failed (see rowError)
    Error rowError;
    // Another program held the database locked past the time-out: nothing of
    // the table could be read, and it is worth asking again shortly.
    bool busy = false;
};

// The decisions of the table browser that do not need a window: which SQL
// a table is read with, which column is its unique ID, whether it may be
// edited. loadTable runs every query of a table load and is safe to call on
// a database thread.
namespace browse {

// "select name as 'Column Name' from syscolumns where id=object_id('<name>') ORDER By name"
QString columnListQuery(const QString &listed);

// The table whose primary key is the unique ID column of a listed table or view.
QString keyTableFor(const QString &listed);

QString uniqueIdColumn(const QString &directoryConnection, const QString &listed);
// uniqueIdColumn of many listed tables in one request, by key table in lower case.
QHash<QString, QString> uniqueIdColumns(const QString &directoryConnection, const QStringList &listed);

// The column lists of every table and view of a database in one query, by
// name in lower case, each in the order columnListQuery gives. A name that
// stands for more than one object is left out (its own query decides).
// False when the catalogue could not be read.
bool readColumnLists(const QString &connection, QHash<QString, QStringList> *lists);

// A load whose stop is requested ends at its next step.
TableLoad loadTable(const TableRequest &request, const StopToken *stop = nullptr);

// The row query run again ("Refresh"), read as far as the first rows.
std::shared_ptr<db::ResultSet> reopen(const QString &connection, const QString &sql, bool editing, qsizetype firstRows,
                                      Error *error, bool compactText = true,
                                      std::shared_ptr<const db::RowFilter> onlyMatching = {});

} // namespace browse

} // namespace korva
