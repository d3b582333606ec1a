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
    return t.server.toLower() + u',' + QString::number(t.port) + u'\\' + t.instance.toLower() + u'|' + t.database.toLower();
}

// Every session opened and still alive, so that exit can stop their work.
struct LiveSessions
{
    std::mutex mutex;
    std::vector<std::weak_ptr<Session>> sessions;
};

LiveSessions &liveSessions()
{
    static LiveSessions live;
    return live;
}

void remember(const std::shared_ptr<Session> &session)
{
    if (!session)
        return;
    LiveSessions &live = liveSessions();
    std::lock_guard lock(live.mutex);
    std::erase_if(live.sessions, [](const std::weak_ptr<Session> &w) { return w.expired(); });
    live.sessions.push_back(session);
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
    const QString key = poolKey(t);
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_sessions.constFind(key); it != m_sessions.constEnd())
            return it.value();
    }
    // Opened outside the lock: a server that takes its time to answer, or a
    // login being asked for, keeps no other database's work waiting.
    auto s = m_opener(t, error);
    if (!s)
        return s;
    std::lock_guard lock(m_mutex);
    // Another thread may have opened the same meanwhile: one session serves both.
    if (auto it = m_sessions.constFind(key); it != m_sessions.constEnd())
        return it.value();
    m_sessions.insert(key, s);
    remember(s);
    return s;
}

std::shared_ptr<Session> SessionPool::openOwn(const QString &connection, Error *error)
{
    const ConnectionTarget t = parseConnectionString(connection);
    if (!t.valid) {
        if (error)
            *error = {kErrGeneric, QStringLiteral("[KORVA] The connection string names no server: \"%1\"").arg(connection)};
        return nullptr;
    }
    auto s = m_opener(t, error);
    remember(s);
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

std::shared_ptr<Session> openOwnSession(const QString &connection, Error *error)
{
    return sessionPool().openOwn(connection, error);
}

void interruptAll()
{
    std::vector<std::shared_ptr<Session>> running;
    {
        LiveSessions &live = liveSessions();
        std::lock_guard lock(live.mutex);
        for (const std::weak_ptr<Session> &w : live.sessions)
            if (auto s = w.lock())
                running.push_back(std::move(s));
    }
    for (const auto &s : running)
        s->interrupt();
    // An interrupted session runs nothing more: whatever comes later opens anew.
    sessionPool().clear();
}

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

std::shared_ptr<Session> StoppableRun::open(const QString &connection, Error *error)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            if (error)
                *error = {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
            return nullptr;
        }
    }
    // Connecting may take long; a stop meanwhile interrupts once it is made.
    std::shared_ptr<Session> session = openOwnSession(connection, error);
    std::lock_guard lock(m_mutex);
    if (m_stopped) {
        if (error)
            *error = {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
        return nullptr;
    }
    m_session = session;
    return session;
}

void StoppableRun::stop()
{
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        session = m_session;
    }
    if (session)
        session->interrupt();
}

bool StoppableRun::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

void StoppableRun::close()
{
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(m_mutex);
        session = std::exchange(m_session, nullptr);
    }
}

Error testConnection(const QString &connection)
{
    // A connection of its own: a pooled session says nothing about whether
    // the server answers now.
    Error e;
    openOwnSession(connection, &e);
    return e;
}

} // namespace korva::db
