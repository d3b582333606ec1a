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
    SessionOpener m_opener;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Session>> m_sessions;
};

// The pool every window's queries go through.
SessionPool &sessionPool();
// Puts another pool in its place; answers the one it replaces.
std::unique_ptr<SessionPool> installSessionPool(std::unique_ptr<SessionPool> pool);

} // namespace korva::db
