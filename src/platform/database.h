#pragma once

#include "platform/session.h"

#include <mutex>

namespace korva::db {

// The operations every window reaches the databases with. Each names the
// connection string it runs against; sessions are pooled per server,
// instance and database.

enum class Lock { ReadOnly, Pessimistic };

// Opens a result set for a SELECT. Rows arrive as the caller reads them; the
// first firstRows of them come with the opening (one trip to the server).
// Without compactText the rows' texts are kept as they come (rows read once);
// with onlyMatching only the rows that match it are kept (a search).
std::unique_ptr<ResultSet> openResultSet(const QString &connection, const QString &sql, Error *error,
                                         Lock lock = Lock::ReadOnly, qsizetype firstRows = 1,
                                         bool compactText = true, std::shared_ptr<const RowFilter> onlyMatching = {});
// Runs a text command; yields the records affected and the rows, if any.
ExecOutcome executeText(const QString &connection, const QString &sql, Error *error);
// Runs a stored procedure with input parameters.
ExecOutcome executeProcedure(const QString &connection, const QString &name, const QList<ProcedureArgument> &args,
                             Error *error);
// Whether the server answers now: opens a connection of its own (a pooled
// session says nothing of that) and closes it again. Empty when it works.
Error testConnection(const QString &connection);

// The session behind a connection string (for catalogue work).
std::shared_ptr<Session> sessionFor(const QString &connection, Error *error);
// Drops pooled sessions (after the engine directory changed, and in tests).
void resetConnectionPool();

// A session outside the pool, for work that may run long and be stopped
// (free SQL, procedures): nothing else waits behind it, and interrupting it
// stops that work alone.
std::shared_ptr<Session> openOwnSession(const QString &connection, Error *error);
// Interrupts every statement running on any open session (at exit); the
// pool lets them go, so that later work opens new sessions.
void interruptAll();

// Work a window runs on a database thread over a session of its own and can
// stop from its own thread at any time (Stop, closing the window).
class StoppableRun
{
public:
    // On the worker: the run's session, or null with an error when it was
    // stopped before it began or the connection fails.
    std::shared_ptr<Session> open(const QString &connection, Error *error);
    // Any thread: interrupts what the run's session is doing; later opens fail.
    void stop();
    bool stopped() const;
    // On the worker, when done: the session is let go.
    void close();

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<Session> m_session;
    bool m_stopped = false;
};

} // namespace korva::db
