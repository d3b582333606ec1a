#include "main/browsecontroller.h"

#include "dictionary/datadictionary.h"
#include "navigation/tableviewmap.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/sqlquote.h"

#include <future>

namespace korva::browse {

QString columnListQuery(const QString &listed) { return sql::columnListQuery(listed, QStringLiteral("ORDER By name")); }

QString keyTableFor(const QString &listed)
{
    if (const auto base = navigation::tableForView(listed))
        return *base;
    // Views the map does not know are looked up under the name their
    // dictionary entry has.
    if (listed.startsWith(u"vw_", Qt::CaseInsensitive))
        return dictionary::dictionaryNameFor(listed, true);
    return listed;
}

QString uniqueIdColumn(const QString &directoryConnection, const QString &listed)
{
    Error e;
    auto session = db::sessionFor(directoryConnection, &e);
    if (!session)
        return {};
    const QString key = session->primaryKeyColumn(sql::objectIdName(keyTableFor(listed)), &e);
    return e ? QString() : key;
}

std::shared_ptr<db::ResultSet> reopen(const QString &connection, const QString &sql, bool editing, qsizetype firstRows,
                                      Error *error, bool compactText)
{
    return db::openResultSet(connection, sql, error, editing ? db::Lock::Pessimistic : db::Lock::ReadOnly, firstRows,
                             compactText);
}

TableLoad loadTable(const TableRequest &r, const StopToken *stop)
{
    // A load nobody wants any more ends at the next step; what it has is dropped.
    const auto stopped = [stop] { return stop && stop->stopRequested(); };
    TableLoad load;
    // The key is looked up meanwhile: against a remote server the two trips overlap.
    auto lookUpKey = [r] { return uniqueIdColumn(r.directoryConnection, r.listed); };
    std::future<QString> key = r.overlapKeyLookup ? runAlongside(lookUpKey)
                                                  : std::async(std::launch::deferred, lookUpKey);
    // The column list, read whole: a list that broke off is no list.
    Error e;
    // A table's columns come in one batch.
    std::shared_ptr<db::ResultSet> cols = db::openResultSet(r.connection, columnListQuery(r.listed), &e,
                                                            db::Lock::ReadOnly, 4096);
    if (cols)
        cols->fetchAll();
    if (cols && !cols->lastError()) {
        for (qsizetype i = 0; i < cols->fetchedCount(); ++i)
            load.columns << cols->rows().text(i, 0);
        load.columnRows = cols;
    } else if ((cols ? cols->lastError() : e).number == db::kErrBusy) {
        load.busy = true;
        load.rowError = cols ? cols->lastError() : e;
        return load;
    }
    load.uniqueId = key.get();
    if (stopped())
        return load;
    load.selectList = composeSelectList(load.columns, load.uniqueId, r.lockAlias, r.lockUnique);
    // With no columns listed the composed query is malformed, and its failure
    // is reported like any other row query's.
    load.rowQuery = composeRowQuery(load.selectList, r.listed, r.where);

    // Each edit is written through the row's primary key; without one there is no editing.
    load.editable = r.editing;
    if (r.editing) {
        Error ke;
        auto session = db::sessionFor(r.connection, &ke);
        if (!session || session->primaryKeyColumns(sql::objectIdName(r.listed), &ke).isEmpty()) {
            load.editable = false;
            load.editRefusal = QStringLiteral("The table ") + r.listed
                               + QStringLiteral(" has no primary key, so its rows cannot be edited.");
        }
    }
    if (stopped())
        return load;
    load.rows = reopen(r.connection, load.rowQuery, load.editable, r.firstRows, &load.rowError, r.compactText);
    load.busy = !load.rows && load.rowError.number == db::kErrBusy;
    return load;
}

} // namespace korva::browse
