#pragma once

// What several benchmarks measure against: the rows of a table in a
// database file, and a plain ODBC fetch loop as the baseline of a driver.

#include "benchsupport.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <vector>

namespace korva::bench {

// Rows of a table in a SQLite database file; -1 when the file or table is not there.
inline qint64 countRows(const QString &file, const QString &table)
{
    sqlite3 *db = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        const QByteArray q = ("SELECT count(*) FROM " + table).toUtf8();
        if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

// The least a driver does for a query's rows: one row at a time into bound
// character buffers of cellBytes each. Answers the nanoseconds from the
// query's start to its last row, and the rows in *rows; -1 when the
// connection does not open.
inline qint64 boundFetchLoop(const QByteArray &connectionString, const QByteArray &sql, SQLLEN cellBytes, qint64 *rows)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR *)connectionString.constData(), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT))) {
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return -1;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    QElapsedTimer t;
    t.start();
    SQLExecDirect(stmt, (SQLCHAR *)sql.constData(), SQL_NTS);
    SQLSMALLINT cols = 0;
    SQLNumResultCols(stmt, &cols);
    std::vector<std::vector<char>> buffers(static_cast<std::size_t>(cols),
                                           std::vector<char>(static_cast<std::size_t>(cellBytes)));
    std::vector<SQLLEN> ind(static_cast<std::size_t>(cols));
    for (SQLSMALLINT c = 0; c < cols; ++c)
        SQLBindCol(stmt, SQLUSMALLINT(c + 1), SQL_C_CHAR, buffers[std::size_t(c)].data(), cellBytes,
                   &ind[std::size_t(c)]);
    qint64 n = 0;
    while (SQL_SUCCEEDED(SQLFetch(stmt)))
        ++n;
    const qint64 ns = t.nsecsElapsed();
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    *rows = n;
    return ns;
}

} // namespace korva::bench
