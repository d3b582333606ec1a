#pragma once

// What the ODBC engine's parts share: handles, diagnostics, text, and the
// statement that borrows one of a session's connections.

#include "platform/odbcsession.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace korva::db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager passes UTF-16");

SQLHENV environment();

inline std::u16string wide(const QString &text) { return text.toStdU16String(); }
inline SQLWCHAR *w(std::u16string &text) { return reinterpret_cast<SQLWCHAR *>(text.data()); }
inline QString fromWide(const SQLWCHAR *text, qsizetype chars)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), chars);
}

// Every diagnostic record of a failed call: the first is what the windows
// show, the others go to the log. A connection found broken by it is
// marked so on the session (never used again), and the error says the
// connection was lost where the driver's own words do not.
struct Diagnosis
{
    Error error;
    QString sqlState;          // of the first record
    bool linkFailure = false;  // any record says the connection is gone (08xxx, HYT00, HYT01)
    bool loginRefused = false; // any record says the server refused the login
    bool unreachable = false;  // any record says the server was not reached or did not answer in time
    bool timedOut = false;     // the first record is a time-out (HYT00, HYT01)
};
Diagnosis diagnoseAll(SQLSMALLINT handleType, SQLHANDLE handle, const QString &fallback = QString());
Diagnosis diagnoseOn(OdbcSession &session, SQLHDBC dbc, SQLSMALLINT handleType, SQLHANDLE handle);

bool isLinkFailure(const QString &sqlState);
// The driver knows the connection is gone (FreeTDS says so even where the
// failed call's own record is only "Unknown error").
bool connectionDead(SQLHDBC dbc);

QString wideColumn(SQLHSTMT stmt, SQLUSMALLINT column);

// A statement on a connection of the session's, given back when it goes
// (closed instead when the connection broke under it).
class Statement
{
public:
    Statement(std::shared_ptr<OdbcSession> session, Error *error);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    explicit operator bool() const { return m_stmt != SQL_NULL_HSTMT; }
    SQLHSTMT handle() const { return m_stmt; }
    SQLHDBC connection() const { return m_dbc; }
    // The error of the statement's last failed call; a broken connection is
    // noted so that it is never used again.
    Error failure();

private:
    std::shared_ptr<OdbcSession> m_session;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

// Text values go to the server as text, which converts them to the column's type.
struct BoundText
{
    std::u16string text;
    SQLLEN indicator = 0;
};
bool bindText(SQLHSTMT stmt, SQLUSMALLINT index, BoundText &p, const QVariant &value);

// Every result of a statement: rows of the first that has columns (of every
// one with allRows), and the records affected by the others.
ExecOutcome readResults(Statement &stmt, Error *error, bool allRows = false);

} // namespace korva::db::odbc
