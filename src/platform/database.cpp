#include "platform/database.h"

#include "platform/odbcsession.h"
#include "platform/serverdirectory.h"
#include "platform/sessionpool.h"
#include "platform/sqlitesession.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

#include <future>

namespace korva::db {

bool onWindowThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

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
    return t.server.toLower() + u',' + QString::number(t.port) + u'\\' + t.instance.toLower() + u'|'
           + t.database.toLower();
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

// One opening of a connection under way: the callers that wait for it share
// its outcome. generation is the pool's when it began, so that an opening
// that outlives a clear() keeps nothing in the pool.
struct SessionPool::Opening
{
    struct Outcome
    {
        std::shared_ptr<Session> session;
        Error error;
    };

    explicit Opening(quint64 poolGeneration) : generation(poolGeneration) {}

    const quint64 generation;
    std::promise<Outcome> promise;
    const std::shared_future<Outcome> outcome = promise.get_future().share();
};

SessionPool::SessionPool(SessionOpener opener) : m_opener(std::move(opener)) {}

SessionPool::~SessionPool() = default;

std::shared_ptr<Session> SessionPool::sessionFor(const QString &connection, Error *error)
{
    const ConnectionTarget t = parseConnectionString(connection);
    if (!t.valid) {
        if (error)
            *error = {kErrGeneric,
                      QStringLiteral("[KORVA] The connection string names no server: \"%1\"").arg(connection)};
        return nullptr;
    }
    const QString key = poolKey(t);
    // The windows' thread may be needed to ask for a login: it never waits
    // for another thread's opening.
    const bool mayWait = !onWindowThread();
    std::shared_ptr<Opening> opening;
    std::shared_future<Opening::Outcome> underWay;
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_sessions.constFind(key); it != m_sessions.constEnd())
            return it.value();
        const auto running = m_openings.constFind(key);
        if (running != m_openings.constEnd() && mayWait) {
            underWay = running.value()->outcome;
        } else {
            opening = std::make_shared<Opening>(m_generation);
            if (running == m_openings.constEnd())
                m_openings.insert(key, opening);
        }
    }
    if (underWay.valid()) {
        const Opening::Outcome &outcome = underWay.get();
        if (!outcome.session && error)
            *error = outcome.error;
        return outcome.session;
    }

    // Opened outside the lock: a server that takes its time to answer, or a
    // login being asked for, keeps no other connection's callers waiting.
    Opening::Outcome outcome;
    try {
        outcome.session = m_opener(t, &outcome.error);
    } catch (...) {
        {
            std::lock_guard lock(m_mutex);
            if (m_openings.value(key) == opening)
                m_openings.remove(key);
        }
        opening->promise.set_exception(std::current_exception());
        throw;
    }
    // Let go after the lock: closing a session may take a trip to its server.
    std::shared_ptr<Session> surplus;
    {
        std::lock_guard lock(m_mutex);
        if (m_openings.value(key) == opening)
            m_openings.remove(key);
        // A session opened before the pool was cleared serves its callers only.
        if (outcome.session && opening->generation == m_generation) {
            // The windows' thread's own opening may have finished first: one
            // session serves both.
            if (auto it = m_sessions.constFind(key); it != m_sessions.constEnd())
                surplus = std::exchange(outcome.session, it.value());
            else
                m_sessions.insert(key, outcome.session);
        }
    }
    if (!surplus)
        remember(outcome.session);
    opening->promise.set_value(outcome);
    if (!outcome.session && error)
        *error = outcome.error;
    return outcome.session;
}

std::shared_ptr<Session> SessionPool::openOwn(const QString &connection, Error *error)
{
    const ConnectionTarget t = parseConnectionString(connection);
    if (!t.valid) {
        if (error)
            *error = {kErrGeneric,
                      QStringLiteral("[KORVA] The connection string names no server: \"%1\"").arg(connection)};
        return nullptr;
    }
    auto s = m_opener(t, error);
    remember(s);
    return s;
}

void SessionPool::clear()
{
    QHash<QString, std::shared_ptr<Session>> sessions;
    {
        std::lock_guard lock(m_mutex);
        sessions.swap(m_sessions);
        // Openings under way finish for their callers; the next caller opens anew.
        m_openings.clear();
        ++m_generation;
    }
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
                                         qsizetype firstRows, bool compactText,
                                         std::shared_ptr<const RowFilter> onlyMatching)
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
    set->setCompactText(compactText);
    set->keepOnlyMatching(std::move(onlyMatching));
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

ExecOutcome executeProcedure(const QString &connection, const QString &name, const QList<ProcedureArgument> &args,
                             Error *error)
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
