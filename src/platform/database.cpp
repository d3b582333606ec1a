#include "platform/database.h"

#include "platform/serverdirectory.h"
#include "platform/sqlitesession.h"

#include <QtCore/QHash>

#include <mutex>

namespace korva::db {

namespace {

struct Pool
{
    std::mutex mutex;
    QHash<QString, std::shared_ptr<Session>> sessions;
};

Pool &pool()
{
    static Pool p;
    return p;
}

QString poolKey(const ConnectionTarget &t)
{
    return t.server.toLower() + u'\\' + t.instance.toLower() + u'|' + t.database.toLower();
}

std::shared_ptr<Session> openSession(const ConnectionTarget &t, Error *error)
{
    const ServerEntry entry = lookupServer(t.server, t.instance);
    if (!entry.dataFolder.isEmpty())
        return SqliteSession::open(t, entry.dataFolder, error);
    if (error)
        *error = {kErrGeneric,
                  QStringLiteral("[KORVA] Server \"%1\" does not exist or access denied: no embedded data "
                                 "folder is registered for it and no ODBC engine is available.")
                      .arg(t.instance.isEmpty() ? t.server : t.server + u'\\' + t.instance)};
    return nullptr;
}

} // namespace

std::shared_ptr<Session> sessionFor(const QString &connection, Error *error)
{
    const ConnectionTarget t = parseConnectionString(connection);
    if (!t.valid) {
        if (error)
            *error = {kErrGeneric, QStringLiteral("[KORVA] The connection string names no server: \"%1\"").arg(connection)};
        return nullptr;
    }
    Pool &p = pool();
    std::lock_guard lock(p.mutex);
    const QString key = poolKey(t);
    if (auto it = p.sessions.constFind(key); it != p.sessions.constEnd())
        return it.value();
    auto s = openSession(t, error);
    if (s)
        p.sessions.insert(key, s);
    return s;
}

void resetConnectionPool()
{
    Pool &p = pool();
    std::lock_guard lock(p.mutex);
    p.sessions.clear();
}

std::unique_ptr<ResultSet> openResultSet(const QString &connection, const QString &sql, Error *error, Lock lock)
{
    Error e;
    auto session = sessionFor(connection, &e);
    if (!session) {
        if (error)
            *error = e;
        return nullptr;
    }
    auto source = session->query(sql, lock == Lock::Pessimistic, &e);
    if (!source) {
        if (error)
            *error = e;
        return nullptr;
    }
    auto set = std::make_unique<ResultSet>(std::move(source));
    set->setUpdatable(lock == Lock::Pessimistic);
    // Fetch the first row now so that a statement failing at its first step
    // fails here, as the client would when opening.
    set->fetchMore(1);
    if (set->lastError()) {
        if (error)
            *error = set->lastError();
        return nullptr;
    }
    return set;
}

ExecOutcome executeText(const QString &connection, const QString &sql, Error *error)
{
    Error e;
    auto session = sessionFor(connection, &e);
    if (!session) {
        if (error)
            *error = e;
        return {};
    }
    return session->execute(sql, error);
}

ExecOutcome executeProcedure(const QString &connection, const QString &name,
                             const QList<ProcedureArgument> &args, Error *error)
{
    Error e;
    auto session = sessionFor(connection, &e);
    if (!session) {
        if (error)
            *error = e;
        return {};
    }
    return session->callProcedure(name, args, error);
}

Error testConnection(const QString &connection)
{
    Error e;
    sessionFor(connection, &e);
    return e;
}

} // namespace korva::db
