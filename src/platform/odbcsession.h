#pragma once

#include "platform/odbcconnection.h"
#include "platform/session.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace korva::db {

// Asked for a SQL Server login when a server needs one; runs on the thread
// that owns the windows only. refusal is the server's answer to the login
// tried before, empty on the first question. Nothing when the user cancels.
using LoginPrompt = std::function<std::optional<OdbcLogin>(const QString &server, const QString &refusal)>;
void setLoginPrompt(LoginPrompt prompt);
// Logins given for this session of the program, by server; forgotten at exit.
void forgetLogins();

// Told (on any thread) when a lost connection was opened again, so that the
// windows can say so.
using ConnectionNotice = std::function<void(const QString &text)>;
void setConnectionNotice(ConnectionNotice notice);

// While one lives on a thread other than the windows', a login asked for on
// that thread is asked on the windows' thread, and the thread waits for the
// answer. Only for work the windows' thread never waits on. Once abandoned
// is set (the work was cancelled), nothing more is asked and a wait for an
// answer ends; so does it when the prompt is taken away (at exit).
class LoginPromptScope
{
public:
    explicit LoginPromptScope(std::shared_ptr<const std::atomic<bool>> abandoned = {});
    ~LoginPromptScope();
    LoginPromptScope(const LoginPromptScope &) = delete;
    LoginPromptScope &operator=(const LoginPromptScope &) = delete;

private:
    std::shared_ptr<const std::atomic<bool>> m_outer;
};

// Whether a server is first tried with the user's own (integrated) login:
// the setting Config/IntegratedLogin when given, otherwise when a Kerberos
// ticket cache is there.
bool integratedLoginFirst();

// A server reached through ODBC (unixODBC; FreeTDS by default). Every result
// set reads on a connection of its own, taken from the session's idle ones,
// so a grid loading a table never keeps the windows' other queries waiting;
// rows come in blocks into bound column buffers. A connection the driver
// reports broken is closed, never used again; the next use opens a new one
// with the login held in memory.
class OdbcSession final : public Session, public std::enable_shared_from_this<OdbcSession>
{
public:
    static std::shared_ptr<OdbcSession> open(const ConnectionTarget &target, const OdbcEndpoint &endpoint,
                                             Error *error);
    ~OdbcSession() override;

    std::unique_ptr<RowSource> query(const QString &sql, bool updatable, Error *error) override;
    ExecOutcome execute(const QString &sql, Error *error) override;
    ExecOutcome callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error) override;
    QList<ProcedureInfo> procedures(Error *error) override;
    QString primaryKeyColumn(const QString &table, Error *error) override;
    QStringList primaryKeyColumns(const QString &table, Error *error) override;
    void interrupt() override;

    // Statements of commands and procedures under way, which interrupt()
    // cancels; false once the session was interrupted (nothing more runs).
    bool beginStatement(void *stmt);
    void endStatement(void *stmt);

    // The SQL sent to the driver for a text of the program's.
    QString translate(const QString &sql) const;
    const OdbcEndpoint &endpoint() const { return m_endpoint; }

    // A connected ODBC connection handle, given back when done with; reused
    // tells whether it had been idle (and may have broken meanwhile).
    void *takeConnection(Error *error, bool *reused = nullptr);
    void giveBack(void *dbc);
    // The connection broke: it is closed when given back, and so are the idle ones.
    void markBroken(void *dbc);

private:
    OdbcSession() = default;

    QString m_connectionString; // holds a password when a SQL Server login is used
    OdbcEndpoint m_endpoint;
    std::mutex m_mutex;
    std::vector<void *> m_idle;
    std::vector<void *> m_broken;
    bool m_lost = false; // a connection broke; the next one opened says so
    std::mutex m_runningMutex;
    std::vector<void *> m_running;
    bool m_interrupted = false; // under m_runningMutex
};

// The call of a procedure through the call escape, "{? = call name(...)}",
// whose first marker takes the value it returns. Drivers pass the markers by
// position (FreeTDS ignores SQL_DESC_NAME), so the markers stand in the
// order the procedure declares its parameters (declared: their names with
// "@"): one for each parameter given, an empty place for one not given
// before the last one given (it keeps its default). *order receives, for
// each marker after the first, the index of its argument. An argument for
// no declared parameter is named in *unknown, and the text is empty. With
// no parameters known the arguments go in the order given.
QString procedureCallText(const QString &name, const QList<ProcedureArgument> &args, const QStringList &declared,
                          QList<int> *order, QString *unknown = nullptr);
// The names of a procedure's parameters in declaration order, on SQL Server.
QString sqlServerProcedureParametersQuery(const QString &procedure);

// The catalogue queries used on SQL Server for the procedure list.
QString sqlServerProceduresQuery();
QString sqlServerParametersQuery();

} // namespace korva::db
