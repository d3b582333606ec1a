// The ODBC engine's connections and logins: which login a server gets, the
// connections a session keeps, and what happens when one breaks.

#include "platform/odbcsession.h"

#include "platform/odbcinternal.h"
#include "platform/settings.h"
#include "platform/tsqlcompat.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QLoggingCategory>
#include <QtCore/QMetaObject>

#include <chrono>
#include <condition_variable>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcOdbc, "korva.odbc")

namespace korva::db {

namespace odbc {

SQLHENV environment()
{
    static SQLHENV env = [] {
        SQLHENV e = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e)))
            return SQLHENV(SQL_NULL_HENV);
        if (!SQL_SUCCEEDED(SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            SQLFreeHandle(SQL_HANDLE_ENV, e);
            return SQLHENV(SQL_NULL_HENV);
        }
        return e;
    }();
    return env;
}

bool isLinkFailure(const QString &sqlState)
{
    return sqlState.startsWith(u"08") || sqlState == u"HYT00" || sqlState == u"HYT01";
}

Diagnosis diagnoseAll(SQLSMALLINT handleType, SQLHANDLE handle, const QString &fallback)
{
    Diagnosis d;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[2048] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        const QString sqlState = fromWide(state, 5);
        const QString text = fromWide(message, std::clamp<qsizetype>(length, 0, qsizetype(std::size(message)) - 1));
        d.linkFailure = d.linkFailure || isLinkFailure(sqlState);
        // FreeTDS: 20009 "unavailable or does not exist", 20003 a time-out.
        d.unreachable = d.unreachable || native == 20009 || native == 20003 || sqlState == u"08S01"
                        || sqlState == u"HYT00" || sqlState == u"HYT01";
        d.loginRefused = d.loginRefused || native == 18456 || native == 18452 || native == 18470 || native == 18488
                         || sqlState == u"28000" || text.contains(QStringLiteral("Login failed"), Qt::CaseInsensitive);
        if (record == 1) {
            long number = kErrCommand;
            if (sqlState == u"42S02")
                number = kErrNoSuchObject;
            else if (isLinkFailure(sqlState) || sqlState == u"28000" || sqlState == u"IM002")
                number = kErrGeneric;
            d.error = {number, text};
            d.sqlState = sqlState;
            d.timedOut = sqlState == u"HYT00" || sqlState == u"HYT01";
        } else {
            // Only the first record is shown; the rest may say why.
            qCInfo(lcOdbc).noquote() << "further diagnostic" << sqlState << native << text;
        }
    }
    if (d.sqlState.isEmpty())
        d.error = {kErrCommand, fallback.isEmpty()
                                    ? QStringLiteral("The ODBC driver reported a failure it did not describe.")
                                    : fallback};
    return d;
}

bool connectionDead(SQLHDBC dbc)
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

Diagnosis diagnoseOn(OdbcSession &session, SQLHDBC dbc, SQLSMALLINT handleType, SQLHANDLE handle)
{
    Diagnosis d = diagnoseAll(handleType, handle);
    if (!d.linkFailure && connectionDead(dbc)) {
        d.linkFailure = true;
        d.error = {kErrGeneric, QStringLiteral("The connection to the server was lost (%1).").arg(d.error.description)};
    }
    if (d.linkFailure) {
        d.error.number = kErrGeneric;
        session.markBroken(dbc);
    }
    return d;
}

} // namespace odbc

using namespace odbc;

namespace {

struct Connected
{
    SQLHDBC dbc = SQL_NULL_HDBC;
    Diagnosis diagnosis;
};

Connected connect(const QString &connectionString, int loginTimeout)
{
    Connected c;
    if (!environment() || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &c.dbc))) {
        c.dbc = SQL_NULL_HDBC;
        c.diagnosis.error = {kErrGeneric,
                             QStringLiteral("The ODBC driver manager could not make a connection handle.")};
        return c;
    }
    if (loginTimeout > 0)
        SQLSetConnectAttr(c.dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeout)), 0);
    std::u16string text = wide(connectionString);
    const SQLRETURN rc = SQLDriverConnectW(c.dbc, nullptr, w(text), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    // The text held a password: it goes before anything else happens.
    std::fill(text.begin(), text.end(), u'\0');
    if (!SQL_SUCCEEDED(rc)) {
        c.diagnosis = diagnoseAll(SQL_HANDLE_DBC, c.dbc);
        // Whatever the driver's state, a connection that does not open is the
        // client's "does not exist or access denied".
        c.diagnosis.error.number = kErrGeneric;
        SQLFreeHandle(SQL_HANDLE_DBC, c.dbc);
        c.dbc = SQL_NULL_HDBC;
    }
    return c;
}

void disconnect(SQLHDBC dbc)
{
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}

// ---- logins ------------------------------------------------------------------

struct Logins
{
    std::mutex mutex;
    LoginPrompt prompt;
    ConnectionNotice notice;
    QHash<QString, OdbcLogin> byServer;
};

Logins &logins()
{
    static Logins l;
    return l;
}

// Logins are held per server: a port names the instance, otherwise the
// instance does.
QString serverKey(const ConnectionTarget &t)
{
    if (t.port > 0)
        return (t.server + u',' + QString::number(t.port)).toLower();
    return (t.server + u'\\' + t.instance).toLower();
}

QString serverLabel(const ConnectionTarget &t)
{
    QString label = t.server;
    if (!t.instance.isEmpty() && t.port <= 0)
        label += u'\\' + t.instance;
    if (t.port > 0)
        label += u',' + QString::number(t.port);
    return label;
}

// The scopes of this thread that allow asking; the innermost one's token
// says whether its work was abandoned meanwhile.
thread_local int t_promptAllowed = 0;
thread_local std::shared_ptr<const std::atomic<bool>> t_abandoned;

bool abandoned() { return t_abandoned && t_abandoned->load(); }

// Asks for a SQL Server login on the windows' thread: directly there, or from
// a thread whose work allows it, by waiting for the windows' thread's answer.
std::optional<OdbcLogin> askForLogin(const QString &server, const QString &refusal)
{
    LoginPrompt prompt;
    {
        std::lock_guard lock(logins().mutex);
        prompt = logins().prompt;
    }
    if (!prompt)
        return std::nullopt;
    if (onWindowThread())
        return prompt(server, refusal);
    if (!QCoreApplication::instance() || t_promptAllowed == 0 || abandoned())
        return std::nullopt;
    // The question is posted to the windows' thread and waited for here, a
    // little at a time: work abandoned meanwhile (the dialog cancelled) or a
    // program that stopped asking (at exit) gives up the wait, and a question
    // not yet shown is then never shown.
    struct Pending
    {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        bool dropped = false;
        std::optional<OdbcLogin> answer;
    };
    auto pending = std::make_shared<Pending>();
    const std::shared_ptr<const std::atomic<bool>> token = t_abandoned;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [pending, prompt, server, refusal, token] {
            {
                std::lock_guard lock(pending->mutex);
                if (pending->dropped || (token && token->load()))
                    return;
            }
            std::optional<OdbcLogin> answer = prompt(server, refusal);
            std::lock_guard lock(pending->mutex);
            pending->answer = std::move(answer);
            pending->done = true;
            pending->answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(pending->mutex);
    while (!pending->done) {
        pending->answered.wait_for(lock, std::chrono::milliseconds(100));
        bool stillAsking = false;
        {
            std::lock_guard promptLock(logins().mutex);
            stillAsking = bool(logins().prompt);
        }
        if (!pending->done && (!stillAsking || abandoned())) {
            pending->dropped = true;
            return std::nullopt;
        }
    }
    return std::move(pending->answer);
}

void notify(const QString &text)
{
    ConnectionNotice notice;
    {
        std::lock_guard lock(logins().mutex);
        notice = logins().notice;
    }
    if (notice)
        notice(text);
}

} // namespace

// ---- session ---------------------------------------------------------------------

void setLoginPrompt(LoginPrompt prompt)
{
    std::lock_guard lock(logins().mutex);
    logins().prompt = std::move(prompt);
}

void setConnectionNotice(ConnectionNotice notice)
{
    std::lock_guard lock(logins().mutex);
    logins().notice = std::move(notice);
}

void forgetLogins()
{
    std::lock_guard lock(logins().mutex);
    for (OdbcLogin &l : logins().byServer)
        l.password.fill(QChar(0));
    logins().byServer.clear();
}

LoginPromptScope::LoginPromptScope(std::shared_ptr<const std::atomic<bool>> abandoned)
    : m_outer(std::exchange(t_abandoned, std::move(abandoned)))
{
    ++t_promptAllowed;
}

LoginPromptScope::~LoginPromptScope()
{
    --t_promptAllowed;
    t_abandoned = std::move(m_outer);
}

bool integratedLoginFirst()
{
    auto s = openSettings();
    const QString setting = s->value(QStringLiteral("Config/IntegratedLogin")).toString().trimmed().toLower();
    if (setting == u"true" || setting == u"1" || setting == u"yes")
        return true;
    if (setting == u"false" || setting == u"0" || setting == u"no")
        return false;
    // Without a Kerberos ticket the driver cannot even send an integrated
    // login: a SQL Server login is asked for at once.
    const QByteArray cache = qgetenv("KRB5CCNAME");
    if (!cache.isEmpty()) {
        if (cache.startsWith("FILE:"))
            return QFileInfo::exists(QString::fromLocal8Bit(cache.mid(5)));
        if (cache.startsWith('/'))
            return QFileInfo::exists(QString::fromLocal8Bit(cache));
        // A keyring or credential-manager cache: it cannot be looked at here.
        return true;
    }
    return QFileInfo::exists(QStringLiteral("/tmp/krb5cc_%1").arg(::getuid()));
}

std::shared_ptr<OdbcSession> OdbcSession::open(const ConnectionTarget &target, const OdbcEndpoint &endpoint,
                                               Error *error)
{
    std::shared_ptr<OdbcSession> s(new OdbcSession);
    s->m_target = target;
    s->m_endpoint = endpoint;
    // Logins are a SQL Server matter; a data source or another dialect
    // carries its own.
    const bool sqlServer = endpoint.dialect.isEmpty();
    std::optional<OdbcLogin> login;
    {
        std::lock_guard lock(logins().mutex);
        // The login given for the server's default instance (as the attach
        // dialog tries it) is tried first for its other instances.
        ConnectionTarget host = target;
        host.instance.clear();
        for (const QString &key : {serverKey(target), serverKey(host)})
            if (auto it = logins().byServer.constFind(key); !login && it != logins().byServer.constEnd())
                login = *it;
    }
    if (!login && (!sqlServer || !endpoint.dsn.isEmpty() || integratedLoginFirst()))
        login = OdbcLogin{};
    bool asked = false;
    Connected c;
    for (;;) {
        if (!login) {
            // Asked once per server; asked again after a refused one.
            login = askForLogin(serverLabel(target),
                                c.diagnosis.loginRefused ? c.diagnosis.error.description : QString());
            if (!login) {
                if (!asked && c.diagnosis.error.description.isEmpty())
                    c.diagnosis.error = {kErrGeneric,
                                         QStringLiteral("The server %1 needs a SQL Server login, and none was given.")
                                             .arg(serverLabel(target))};
                break;
            }
            asked = true;
        }
        // A closing brace in the login is written as FreeTDS 1.3 reads it; a
        // later version refuses that form before sending anything, and
        // then gets the doubled one.
        const bool braces = !login->integrated && (login->user.contains(u'}') || login->password.contains(u'}'))
                            && (endpoint.driver.contains(QStringLiteral("FreeTDS"), Qt::CaseInsensitive)
                                || endpoint.driver.contains(QStringLiteral("tdsodbc"), Qt::CaseInsensitive));
        s->m_connectionString = odbcConnectionString(target, endpoint, *login, braces);
        c = connect(s->m_connectionString, endpoint.loginTimeout);
        if (!c.dbc && braces
            && c.diagnosis.error.description.contains(QStringLiteral("Syntax error in connection string"))) {
            std::fill(s->m_connectionString.begin(), s->m_connectionString.end(), QChar(0));
            s->m_connectionString = odbcConnectionString(target, endpoint, *login);
            c = connect(s->m_connectionString, endpoint.loginTimeout);
        }
        if (c.dbc) {
            if (sqlServer) {
                std::lock_guard lock(logins().mutex);
                logins().byServer.insert(serverKey(target), *login);
            }
            break;
        }
        std::fill(s->m_connectionString.begin(), s->m_connectionString.end(), QChar(0));
        // A server that cannot be reached is not a question of logins; one
        // that refused the login, or an integrated login the driver could
        // not make, is.
        if (!sqlServer || !endpoint.dsn.isEmpty())
            break;
        if (!c.diagnosis.loginRefused && (!login->integrated || c.diagnosis.unreachable))
            break;
        login->password.fill(QChar(0));
        login.reset();
    }
    if (!c.dbc) {
        if (error)
            *error = c.diagnosis.error;
        return nullptr;
    }
    s->m_idle.push_back(c.dbc);
    return s;
}

OdbcSession::~OdbcSession()
{
    for (void *dbc : m_idle)
        disconnect(static_cast<SQLHDBC>(dbc));
    std::fill(m_connectionString.begin(), m_connectionString.end(), QChar(0));
}

void *OdbcSession::takeConnection(Error *error, bool *reused)
{
    if (reused)
        *reused = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            void *dbc = m_idle.back();
            m_idle.pop_back();
            if (reused)
                *reused = true;
            return dbc;
        }
    }
    Connected c = connect(m_connectionString, m_endpoint.loginTimeout);
    if (!c.dbc) {
        if (error)
            *error = c.diagnosis.error;
        return nullptr;
    }
    bool wasLost = false;
    {
        std::lock_guard lock(m_mutex);
        wasLost = std::exchange(m_lost, false);
    }
    if (wasLost)
        notify(QStringLiteral("The connection to %1 was lost; it is open again.").arg(serverLabel(m_target)));
    return c.dbc;
}

void OdbcSession::giveBack(void *dbc)
{
    if (!dbc)
        return;
    const auto handle = static_cast<SQLHDBC>(dbc);
    std::unique_lock lock(m_mutex);
    if (std::erase(m_broken, dbc) > 0 || connectionDead(handle)) {
        lock.unlock();
        disconnect(handle);
        return;
    }
    // A few idle connections are kept; more are closed.
    if (m_idle.size() < 4) {
        m_idle.push_back(dbc);
        return;
    }
    lock.unlock();
    disconnect(handle);
}

void OdbcSession::markBroken(void *dbc)
{
    std::vector<void *> idle;
    {
        std::lock_guard lock(m_mutex);
        if (std::find(m_broken.begin(), m_broken.end(), dbc) == m_broken.end())
            m_broken.push_back(dbc);
        m_lost = true;
        // The idle ones went the same way as this one (a network drop, a
        // server restarted): the next use opens new ones.
        idle.swap(m_idle);
    }
    for (void *d : idle)
        disconnect(static_cast<SQLHDBC>(d));
}

QString OdbcSession::translate(const QString &sql) const
{
    if (m_endpoint.dialect == u"sqlite")
        return tsql::rewrite(sql, {m_target.database, {}, false});
    return sql;
}

bool OdbcSession::beginStatement(void *stmt)
{
    std::lock_guard lock(m_runningMutex);
    if (m_interrupted)
        return false;
    m_running.push_back(stmt);
    return true;
}

void OdbcSession::endStatement(void *stmt)
{
    std::lock_guard lock(m_runningMutex);
    std::erase(m_running, stmt);
}

void OdbcSession::interrupt()
{
    // The handles stay allocated while listed: freeing one waits for this lock.
    std::lock_guard lock(m_runningMutex);
    m_interrupted = true;
    // Not every driver takes a cancel from another thread; those of other
    // dialects are left to finish the statement under way.
    if (!m_endpoint.dialect.isEmpty())
        return;
    for (void *stmt : m_running)
        SQLCancel(static_cast<SQLHSTMT>(stmt));
}

} // namespace korva::db
