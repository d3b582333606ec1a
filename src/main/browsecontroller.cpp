#include "main/browsecontroller.h"

#include "dictionary/datadictionary.h"
#include "navigation/tableviewmap.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/sqlquote.h"

#include <QtCore/QSet>

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

QHash<QString, QString> uniqueIdColumns(const QString &directoryConnection, const QStringList &listed)
{
    QHash<QString, QString> keys;
    Error e;
    auto session = db::sessionFor(directoryConnection, &e);
    if (!session)
        return keys;
    QStringList keyTables, asked;
    for (const QString &name : listed) {
        const QString keyTable = keyTableFor(name);
        if (keys.contains(keyTable.toLower()))
            continue;
        keys.insert(keyTable.toLower(), QString());
        keyTables << keyTable;
        asked << sql::objectIdName(keyTable);
    }
    const QStringList found = session->primaryKeyColumnOfEach(asked);
    for (qsizetype i = 0; i < keyTables.size() && i < found.size(); ++i)
        keys[keyTables[i].toLower()] = found[i];
    return keys;
}

bool readColumnLists(const QString &connection, QHash<QString, QStringList> *lists)
{
    // The same catalogue and order as columnListQuery, for all objects at once.
    Error e;
    const auto rows = db::openResultSet(connection,
                                        QStringLiteral("select o.id, o.name, c.name from sysobjects o "
                                                       "join syscolumns c on c.id = o.id ORDER By o.name, o.id, c.name"),
                                        &e, db::Lock::ReadOnly, 1 << 14);
    if (!rows)
        return false;
    rows->fetchAll();
    if (rows->lastError())
        return false;
    QHash<QString, QString> idOf; // a name held by two objects is not any one of them
    QSet<QString> ambiguous;
    const db::RowStore &store = rows->rows();
    for (qsizetype i = 0; i < store.rowCount(); ++i) {
        const QString id = store.text(i, 0);
        const QString name = store.text(i, 1).toLower();
        const auto known = idOf.constFind(name);
        if (known == idOf.constEnd())
            idOf.insert(name, id);
        else if (*known != id)
            ambiguous.insert(name);
        (*lists)[name] << store.text(i, 2);
    }
    for (const QString &name : ambiguous)
        lists->remove(name);
    return true;
}

std::shared_ptr<db::ResultSet> reopen(const QString &connection, const QString &sql, bool editing, qsizetype firstRows,
                                      Error *error, bool compactText, std::shared_ptr<const db::RowFilter> onlyMatching)
{
    return db::openResultSet(connection, sql, error, editing ? db::Lock::Pessimistic : db::Lock::ReadOnly, firstRows,
                             compactText, std::move(onlyMatching));
}

TableLoad loadTable(const TableRequest &r, const StopToken *stop)
{
    // A load nobody wants any more ends at the next step; what it has is dropped.
    const auto stopped = [stop] { return stop && stop->stopRequested(); };
    TableLoad load;
    // The key is looked up meanwhile: against a remote server the two trips overlap.
    auto lookUpKey = [r] { return r.knownUniqueId ? *r.knownUniqueId : uniqueIdColumn(r.directoryConnection, r.listed); };
    std::future<QString> key = r.overlapKeyLookup && !r.knownUniqueId ? runAlongside(lookUpKey)
                                                                      : std::async(std::launch::deferred, lookUpKey);
    if (r.knownColumns) {
        load.columns = *r.knownColumns;
    } else {
        // The column list, read whole: a list that broke off is no list. A
        // table's columns come in one batch.
        Error e;
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
    load.rows = reopen(r.connection, load.rowQuery, load.editable, r.firstRows, &load.rowError, r.compactText,
                       r.onlyMatching);
    load.busy = !load.rows && load.rowError.number == db::kErrBusy;
    return load;
}

} // namespace korva::browse
