#pragma once

#include "platform/session.h"
#include "platform/tsqlcompat.h"

#include <QtCore/QHash>

#include <atomic>
#include <mutex>

struct sqlite3;
struct sqlite3_stmt;

namespace korva::db {

// The embedded engine: one SQLite file per database in a data folder; the
// connection's database is "main", the others are attached under their names.
class SqliteSession final : public Session, public std::enable_shared_from_this<SqliteSession>
{
public:
    static std::shared_ptr<SqliteSession> open(const ConnectionTarget &target, const QString &dataFolder, Error *error);
    ~SqliteSession() override;

    std::unique_ptr<RowSource> query(const QString &sql, bool updatable, Error *error) override;
    ExecOutcome execute(const QString &sql, Error *error) override;
    ExecOutcome executeRowsLater(const QString &sql, qsizetype firstRows, Error *error) override;
    ExecOutcome callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error) override;
    QList<ProcedureInfo> procedures(Error *error) override;
    QString primaryKeyColumn(const QString &table, Error *error) override;
    QStringList primaryKeyColumns(const QString &table, Error *error) override;
    QStringList primaryKeyColumnOfEach(const QStringList &tables) override;
    void interrupt() override;
    bool interrupted() const { return m_interrupted.load(); }

    // While set, the statement being stepped stops as soon as the flag is
    // raised; other statements of the connection go on. Set under mutex().
    void setStepCancel(const std::atomic<bool> *flag) { m_stepCancel.store(flag); }

    // The SQL actually run for a Transact-SQL text.
    QString translate(const QString &sql) const;
    sqlite3 *handle() const { return m_db; }

    // Error of the last failed call on the handle, in the client's terms.
    Error lastError() const;

    // Held by every use of the connection, so that a row loader on another
    // thread and the windows' own queries take turns.
    std::recursive_mutex &mutex() const { return m_mutex; }

    // A prepared statement kept for the session's own repeated lookups,
    // reset and with its bindings cleared; null when it does not prepare.
    // Reset it again once read, so it holds no lock.
    sqlite3_stmt *cachedStatement(const QString &sql);

private:
    SqliteSession() = default;
    bool installCatalogue(Error *error);
    // Refills the column catalogue when any database's schema has changed.
    void refreshCatalogue(bool ownOnly = false);
    QString schemaVersions(bool ownOnly) const;
    // The schema and bare name of a table named as "name" or "Db.name" (brackets allowed);
    // false with an error when no such table or view exists.
    bool locateTable(const QString &table, QString *schema, QString *name, Error *error);
    // The schema and name of a table as given, without asking the database.
    bool splitTableName(const QString &table, QString *schema, QString *name, Error *error) const;

    mutable std::recursive_mutex m_mutex;
    sqlite3 *m_db = nullptr;
    tsql::Context m_context;
    QStringList m_schemas;
    QString m_catalogueVersions;
    QHash<QString, sqlite3_stmt *> m_statements;
    std::atomic<const std::atomic<bool> *> m_stepCancel{nullptr};
    std::atomic<bool> m_interrupted{false};
    friend int stepProgress(void *session);
};

// Maps SQLite's error text to the numbers and wording the windows expect.
Error translateSqliteError(int code, const QString &message);

} // namespace korva::db
