#pragma once

#include "platform/session.h"

#include <QtCore/QHash>

#include <functional>
#include <mutex>

namespace korva::db {

using SessionOpener = std::function<std::shared_ptr<Session>(const ConnectionTarget &target, Error *error)>;

// Opens a session with the engine that the server directory names for the
// target's server: the embedded engine or ODBC.
std::shared_ptr<Session> openEngineSession(const ConnectionTarget &target, Error *error);

// One session per server, instance and database, shared by every caller and
// every thread (sessions serialise their own use). Tests and benchmarks
// install a pool with another opener: a fake engine, or a slow one.
//
// The pool's lock is held only to look up and to keep: a session is opened
// outside it, so a server slow to answer or a login being asked for keeps no
// other connection's callers waiting. One opening per connection runs at a
// time; callers asking for the same connection meanwhile wait for its
// outcome (the session, or the error each of them is told) without the
// lock. A failed opening is not kept: the next call tries again. The
// windows' thread never waits for another thread's opening, which may need
// it to ask for a login: it opens one of its own, and the first session to
// be opened is kept while the other is let go.
class SessionPool
{
public:
    explicit SessionPool(SessionOpener opener = openEngineSession);
    virtual ~SessionPool();

    std::shared_ptr<Session> sessionFor(const QString &connection, Error *error);
    // A session of the same engine that the pool does not keep or share.
    std::shared_ptr<Session> openOwn(const QString &connection, Error *error);
    void clear();

private:
    struct Opening;

    SessionOpener m_opener;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Session>> m_sessions;
    QHash<QString, std::shared_ptr<Opening>> m_openings; // under way, by key
    quint64 m_generation = 0;                            // counts clear()
};

// The pool every window's queries go through.
SessionPool &sessionPool();
// Puts another pool in its place; answers the one it replaces.
std::unique_ptr<SessionPool> installSessionPool(std::unique_ptr<SessionPool> pool);

} // namespace korva::db
