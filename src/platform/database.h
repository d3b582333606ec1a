#pragma once

#include "platform/session.h"

namespace korva::db {

// The operations every window reaches the databases with. Each names the
// connection string it runs against; sessions are pooled per server,
// instance and database.

enum class Lock { ReadOnly, Pessimistic };

// Opens a result set for a SELECT. Rows arrive as the caller reads them; the
// first firstRows of them come with the opening (one trip to the server).
std::unique_ptr<ResultSet> openResultSet(const QString &connection, const QString &sql, Error *error,
                                         Lock lock = Lock::ReadOnly, qsizetype firstRows = 1);
// Runs a text command; yields the records affected and the rows, if any.
ExecOutcome executeText(const QString &connection, const QString &sql, Error *error);
// Runs a stored procedure with input parameters.
ExecOutcome executeProcedure(const QString &connection, const QString &name,
                             const QList<ProcedureArgument> &args, Error *error);
// Opens and closes a connection to see whether it works.
Error testConnection(const QString &connection);

// The session behind a connection string (for catalogue work).
std::shared_ptr<Session> sessionFor(const QString &connection, Error *error);
// Drops pooled sessions (after the engine directory changed, and in tests).
void resetConnectionPool();

} // namespace korva::db
