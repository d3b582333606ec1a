#pragma once

// What several benchmarks measure against: the rows of a table in a
// database file, a bound block-fetching ODBC loop as the baseline of a
// driver, and the machine's load beside the figures.

#include "benchsupport.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
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

// What one pass of a fetch loop read.
struct FetchLoopResult
{
    qint64 ns = -1;       // from the query's start to its last row; -1 when the connection did not open
    qint64 rows = 0;
    quint64 checksum = 0; // of every cell's indicator and bytes, so that none is skipped
};

// The least a driver does for a query's rows, and the baseline the ODBC
// engine is measured against: every column bound as character text
// (cellBytes each, less for a column whose size the driver says is
// smaller), blockRows rows a fetch, column-wise, and every cell of every row
// read: its indicator, and its bytes summed a word at a time.
inline FetchLoopResult boundFetchLoop(const QByteArray &connectionString, const QByteArray &sql, SQLLEN cellBytes,
                                      SQLULEN blockRows)
{
    FetchLoopResult result;
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
        return result;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    QElapsedTimer t;
    t.start();
    SQLExecDirect(stmt, (SQLCHAR *)sql.constData(), SQL_NTS);
    SQLSMALLINT cols = 0;
    SQLNumResultCols(stmt, &cols);
    std::vector<SQLLEN> width(static_cast<std::size_t>(cols), cellBytes);
    for (SQLSMALLINT c = 0; c < cols; ++c) {
        SQLLEN display = 0;
        if (SQL_SUCCEEDED(SQLColAttribute(stmt, SQLUSMALLINT(c + 1), SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr,
                                          &display))
            && display > 0)
            width[std::size_t(c)] = std::min(cellBytes, display * 4 + 1); // UTF-8 takes up to 4 bytes a character
    }
    std::vector<std::vector<char>> buffers(static_cast<std::size_t>(cols));
    std::vector<std::vector<SQLLEN>> ind(static_cast<std::size_t>(cols), std::vector<SQLLEN>(blockRows));
    SQLULEN fetched = 0;
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (SQLSMALLINT c = 0; c < cols; ++c) {
        const auto i = std::size_t(c);
        buffers[i].resize(std::size_t(width[i]) * blockRows);
        SQLBindCol(stmt, SQLUSMALLINT(c + 1), SQL_C_CHAR, buffers[i].data(), width[i], ind[i].data());
    }
    qint64 n = 0;
    quint64 sum = 0;
    for (;;) {
        fetched = 0;
        const SQLRETURN rc = SQLFetch(stmt);
        if (!SQL_SUCCEEDED(rc))
            break;
        for (SQLULEN r = 0; r < fetched; ++r)
            for (std::size_t c = 0; c < buffers.size(); ++c) {
                const SQLLEN length = ind[c][r];
                sum += quint64(length);
                if (length <= 0)
                    continue;
                const auto *bytes = reinterpret_cast<const unsigned char *>(buffers[c].data() + width[c] * SQLLEN(r));
                const SQLLEN stored = std::min(length, width[c] - 1);
                // A word at a time: as a program would read them, not a byte per step.
                SQLLEN b = 0;
                for (; b + 8 <= stored; b += 8) {
                    quint64 word;
                    std::memcpy(&word, bytes + b, sizeof word);
                    sum += word;
                }
                for (; b < stored; ++b)
                    sum += bytes[b];
            }
        n += qint64(fetched);
    }
    result.ns = t.nsecsElapsed();
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    result.rows = n;
    result.checksum = sum;
    return result;
}

// The block size at which a fetch loop is fastest, of a few tried, each the
// median of runs passes; what was tried, with its times, in *tried.
inline SQLULEN fastestBlockRows(const std::function<qint64(SQLULEN)> &loop, int runs, QString *tried)
{
    SQLULEN best = 0;
    qint64 bestNs = 0;
    QStringList times;
    for (const SQLULEN rows : {SQLULEN(64), SQLULEN(256), SQLULEN(1024), SQLULEN(4096)}) {
        std::vector<qint64> ns;
        for (int run = 0; run < runs; ++run)
            ns.push_back(loop(rows));
        const qint64 m = median(ns);
        times << QStringLiteral("%1: %2 ms").arg(rows).arg(ms(m), 0, 'f', 1);
        if (best == 0 || m < bestNs) {
            best = rows;
            bestNs = m;
        }
    }
    *tried = times.join(QStringLiteral(", "));
    return best;
}

} // namespace korva::bench
