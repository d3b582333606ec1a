#pragma once

#include "platform/connectionstring.h"
#include "platform/dberror.h"
#include "platform/resultset.h"

#include <QtCore/QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace korva::db {

struct ProcedureParameter
{
    QString name;     // with its leading "@"
    QString typeName; // as the server names it: int, nvarchar, ...
    int length = 0;
    bool output = false;
};

struct ProcedureInfo
{
    qint32 id = 0;
    QString name;
    QString source; // the full CREATE PROCEDURE text
    QList<ProcedureParameter> parameters;
};

// A parameter given to a stored procedure: name without "@", the client's
// type code, and the value (passed as text). An output parameter's value
// comes back in the outcome; it goes in as well when it is not null.
struct ProcedureArgument
{
    QString name;
    int typeCode = 0;
    QVariant value;
    bool output = false;
    int length = 0; // an output's declared length, when it has one
};

// A value a procedure handed back: an output parameter's, by its name with "@".
struct ProcedureValue
{
    QString name;
    QVariant value;
};

struct ExecOutcome
{
    long recordsAffected = -1;
    std::unique_ptr<ResultSet> rows; // the first result set; null when the statement yields none
    // A procedure's: the result sets after the first, in the order returned;
    // its output parameters in the order asked for; the value it returned.
    std::vector<std::unique_ptr<ResultSet>> laterRows;
    QList<ProcedureValue> outputs;
    std::optional<qint64> returnValue;
};

// One open connection to one database of one server. Engines implement it;
// the windows reach it through the functions of database.h.
class Session
{
public:
    virtual ~Session() = default;

    const ConnectionTarget &target() const { return m_target; }

    virtual std::unique_ptr<RowSource> query(const QString &sql, bool updatable, Error *error) = 0;
    virtual ExecOutcome execute(const QString &sql, Error *error) = 0;
    // As execute, but when the statement that yields the rows is the text's
    // last and changes nothing, only its first firstRows rows are read here
    // (a statement failing at its first step fails here); the rest stay on the
    // statement for a row loader (the result set is not complete). Engines
    // that cannot leave rows unread read them all, as execute does.
    virtual ExecOutcome executeRowsLater(const QString &sql, qsizetype firstRows, Error *error)
    {
        Q_UNUSED(firstRows);
        return execute(sql, error);
    }
    virtual ExecOutcome callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error) = 0;
    virtual QList<ProcedureInfo> procedures(Error *error) = 0;
    // The first column of the table, in column order, that is part of its primary key.
    virtual QString primaryKeyColumn(const QString &table, Error *error) = 0;
    // Every column of the table's primary key, in key order; empty when it has none.
    virtual QStringList primaryKeyColumns(const QString &table, Error *error) = 0;
    // primaryKeyColumn of each table, in order: empty for one without a key
    // or that cannot be read. A search asks it of every table at once; by
    // default the tables are asked one by one.
    virtual QStringList primaryKeyColumnOfEach(const QStringList &tables)
    {
        QStringList keys;
        for (const QString &table : tables) {
            Error e;
            const QString key = primaryKeyColumn(table, &e);
            keys << (e ? QString() : key);
        }
        return keys;
    }
    // Stops the statements running on this session now, and any started on it
    // later; callable from any thread. Each fails with "Operation cancelled
    // by the user.". For sessions about to be let go: a stopped run's, or at exit.
    virtual void interrupt() {}

protected:
    ConnectionTarget m_target;
};

// Whether the calling thread is the one that owns the windows (false before
// the application object exists).
bool onWindowThread();

} // namespace korva::db
