#pragma once

#include "platform/odbcconnection.h"
#include "platform/session.h"

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace korva::db {

// Asked for a SQL Server login when the integrated one is refused; runs on
// the thread that owns the windows only. Nothing when the user cancels.
using LoginPrompt = std::function<std::optional<OdbcLogin>(const QString &server)>;
void setLoginPrompt(LoginPrompt prompt);
// Logins given for this session of the program, by server; forgotten at exit.
void forgetLogins();

// A server reached through ODBC (unixODBC; FreeTDS by default). Every result
// set reads on a connection of its own, taken from the session's idle ones,
// so a grid loading a table never keeps the windows' other queries waiting;
// rows come in blocks into bound column buffers.
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

    // A connected ODBC connection handle, given back when done with.
    void *takeConnection(Error *error);
    void giveBack(void *dbc);

private:
    OdbcSession() = default;

    QString m_connectionString; // holds a password when a SQL Server login is used
    OdbcEndpoint m_endpoint;
    std::mutex m_mutex;
    std::vector<void *> m_idle;
    std::mutex m_runningMutex;
    std::vector<void *> m_running;
    bool m_interrupted = false; // under m_runningMutex
};

// The call text of a procedure with named input parameters.
QString procedureCallText(const QString &name, int argumentCount);

// The catalogue queries used on SQL Server for the procedure list.
QString sqlServerProceduresQuery();
QString sqlServerParametersQuery();

} // namespace korva::db
