#include "platform/database.h"

#include "platform/odbcsession.h"
#include "platform/serverdirectory.h"
#include "platform/sessionpool.h"
#include "platform/sqlitesession.h"

namespace korva::db {

std::shared_ptr<Session> openEngineSession(const ConnectionTarget &t, Error *error)
{
    const ServerEntry entry = lookupServer(t.server, t.instance);
    if (entry.engine == ServerEntry::Engine::Embedded)
        return SqliteSession::open(t, entry.dataFolder, error);
    // Any other server is reached through ODBC: the configured driver, or
    // what the server's own entry says.
    OdbcEndpoint endpoint = configuredOdbcEndpoint();
    if (!entry.driver.isEmpty())
        endpoint.driver = entry.driver;
    if (!entry.dsn.isEmpty())
        endpoint.dsn = entry.dsn;
    endpoint.dialect = entry.dialect;
    endpoint.dataFolder = entry.dataFolder;
    return OdbcSession::open(t, endpoint, error);
}

namespace {

QString poolKey(const ConnectionTarget &t)
{
    return t.server.toLower() + u'\\' + t.instance.toLower() + u'|' + t.database.toLower();
}

std::unique_ptr<SessionPool> &currentPool()
{
    static std::unique_ptr<SessionPool> pool = std::make_unique<SessionPool>();
    return pool;
}

} // namespace

SessionPool::SessionPool(SessionOpener opener) : m_opener(std::move(opener)) {}

SessionPool::~SessionPool() = default;

std::shared_ptr<Session> SessionPool::sessionFor(const QString &connection, Error *error)
{
    const ConnectionTarget t = parseConnectionString(connection);
    if (!t.valid) {
        if (error)
            *error = {kErrGeneric, QStringLiteral("[KORVA] The connection string names no server: \"%1\"").arg(connection)};
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    const QString key = poolKey(t);
    if (auto it = m_sessions.constFind(key); it != m_sessions.constEnd())
        return it.value();
    auto s = m_opener(t, error);
    if (s)
        m_sessions.insert(key, s);
    return s;
}

void SessionPool::clear()
{
    std::lock_guard lock(m_mutex);
    m_sessions.clear();
}

SessionPool &sessionPool() { return *currentPool(); }

std::unique_ptr<SessionPool> installSessionPool(std::unique_ptr<SessionPool> pool)
{
    if (!pool)
        pool = std::make_unique<SessionPool>();
    return std::exchange(currentPool(), std::move(pool));
}

std::shared_ptr<Session> sessionFor(const QString &connection, Error *error)
{
    return sessionPool().sessionFor(connection, error);
}

void resetConnectionPool() { sessionPool().clear(); }

std::unique_ptr<ResultSet> openResultSet(const QString &connection, const QString &sql, Error *error, Lock lock,
                                         qsizetype firstRows)
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
    // Fetch the first rows now so that a statement failing at its first step
    // fails here, as the client would when opening.
    set->fetchMore(std::max<qsizetype>(1, firstRows));
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
