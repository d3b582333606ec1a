// The ODBC engine's catalogue: procedures with their parameters, and the
// primary keys that edits locate rows by.

#include "platform/odbcinternal.h"

#include "platform/sqlquote.h"

#include <QtCore/QHash>

namespace korva::db {

using namespace odbc;

namespace {

// Catalog, schema and name of a table as the program writes it (Db.dbo.name, [name]).
struct TableName
{
    QString catalog, schema, name;
};

TableName tableName(const QString &table)
{
    const QStringList parts = sql::splitName(table);
    TableName t;
    t.name = parts.value(parts.size() - 1);
    if (parts.size() >= 2)
        t.schema = parts.value(parts.size() - 2);
    if (parts.size() >= 3)
        t.catalog = parts.value(parts.size() - 3);
    return t;
}

} // namespace

QString sqlServerProceduresQuery()
{
    return QStringLiteral("SELECT p.object_id, p.name, m.definition FROM sys.procedures p "
                          "JOIN sys.sql_modules m ON m.object_id = p.object_id ORDER BY p.object_id");
}

QString sqlServerParametersQuery()
{
    // Lengths in characters, as the windows check them: the server counts
    // nvarchar and nchar in bytes (-1 stays "no limit").
    return QStringLiteral("SELECT pr.object_id, pr.name, t.name AS type_name, "
                          "CASE WHEN t.name IN ('nvarchar', 'nchar') AND pr.max_length > 0 "
                          "THEN pr.max_length / 2 ELSE pr.max_length END AS max_length, pr.is_output "
                          "FROM sys.parameters pr JOIN sys.types t ON t.user_type_id = pr.user_type_id "
                          "JOIN sys.procedures p ON p.object_id = pr.object_id ORDER BY pr.object_id, pr.parameter_id");
}

QList<ProcedureInfo> OdbcSession::procedures(Error *error)
{
    QList<ProcedureInfo> list;
    Error e;
    ExecOutcome procs = execute(sqlServerProceduresQuery(), &e);
    if (!e && procs.rows) {
        QHash<qint32, qsizetype> at;
        for (procs.rows->moveFirst(); !procs.rows->eof(); procs.rows->moveNext()) {
            ProcedureInfo p;
            p.id = procs.rows->field(0).toInt();
            p.name = procs.rows->field(1).toString();
            p.source = procs.rows->field(2).toString();
            at.insert(p.id, list.size());
            list.append(p);
        }
        ExecOutcome params = execute(sqlServerParametersQuery(), &e);
        if (!e && params.rows)
            for (params.rows->moveFirst(); !params.rows->eof(); params.rows->moveNext()) {
                const auto it = at.constFind(params.rows->field(0).toInt());
                if (it == at.constEnd())
                    continue;
                ProcedureParameter par;
                par.name = params.rows->field(1).toString();
                par.typeName = params.rows->field(2).toString();
                par.length = params.rows->field(3).toInt();
                par.output = params.rows->field(4).toInt() != 0;
                list[*it].parameters.append(par);
            }
        return list;
    }
    // A driver without the server's catalogue views: the ODBC catalogue functions.
    Statement stmt(shared_from_this(), error);
    if (!stmt)
        return list;
    if (!SQL_SUCCEEDED(SQLProceduresW(stmt.handle(), nullptr, 0, nullptr, 0, nullptr, 0))) {
        if (error)
            *error = stmt.failure();
        return list;
    }
    qint32 id = 0;
    while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
        ProcedureInfo p;
        p.id = ++id;
        p.name = wideColumn(stmt.handle(), 3).section(u';', 0, 0);
        list.append(p);
    }
    SQLCloseCursor(stmt.handle());
    for (ProcedureInfo &p : list) {
        std::u16string name = wide(p.name);
        if (!SQL_SUCCEEDED(SQLProcedureColumnsW(stmt.handle(), nullptr, 0, nullptr, 0, w(name), SQL_NTS, nullptr, 0)))
            continue;
        while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
            const int kind = wideColumn(stmt.handle(), 5).toInt();
            if (kind != SQL_PARAM_INPUT && kind != SQL_PARAM_INPUT_OUTPUT && kind != SQL_PARAM_OUTPUT)
                continue;
            ProcedureParameter par;
            par.name = wideColumn(stmt.handle(), 4);
            par.typeName = wideColumn(stmt.handle(), 7);
            par.length = wideColumn(stmt.handle(), 9).toInt();
            par.output = kind != SQL_PARAM_INPUT;
            p.parameters.append(par);
        }
        SQLCloseCursor(stmt.handle());
    }
    return list;
}

QStringList OdbcSession::primaryKeyColumns(const QString &table, Error *error)
{
    Statement stmt(shared_from_this(), error);
    if (!stmt)
        return {};
    const TableName t = tableName(table);
    std::u16string catalog = wide(t.catalog), schema = wide(t.schema), name = wide(t.name);
    const SQLRETURN rc = SQLPrimaryKeysW(stmt.handle(), t.catalog.isEmpty() ? nullptr : w(catalog),
                                         SQLSMALLINT(t.catalog.isEmpty() ? 0 : SQL_NTS),
                                         t.schema.isEmpty() ? nullptr : w(schema),
                                         SQLSMALLINT(t.schema.isEmpty() ? 0 : SQL_NTS), w(name), SQL_NTS);
    if (!SQL_SUCCEEDED(rc)) {
        if (error)
            *error = stmt.failure();
        return {};
    }
    QList<std::pair<int, QString>> keys;
    while (SQL_SUCCEEDED(SQLFetch(stmt.handle())))
        keys.append({wideColumn(stmt.handle(), 5).toInt(), wideColumn(stmt.handle(), 4)});
    std::sort(keys.begin(), keys.end());
    QStringList names;
    for (const auto &k : keys)
        names << k.second;
    return names;
}

QString OdbcSession::primaryKeyColumn(const QString &table, Error *error)
{
    const QStringList keys = primaryKeyColumns(table, error);
    if (keys.size() <= 1)
        return keys.value(0);
    // The first in the table's column order, as a walk over its columns finds it.
    Statement stmt(shared_from_this(), error);
    if (!stmt)
        return keys.first();
    const TableName t = tableName(table);
    std::u16string name = wide(t.name);
    if (!SQL_SUCCEEDED(SQLColumnsW(stmt.handle(), nullptr, 0, nullptr, 0, w(name), SQL_NTS, nullptr, 0)))
        return keys.first();
    while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
        const QString column = wideColumn(stmt.handle(), 4);
        if (keys.contains(column, Qt::CaseInsensitive))
            return column;
    }
    return keys.first();
}

} // namespace korva::db
