#pragma once

#include "platform/connectionstring.h"

#include <QtCore/QString>

namespace korva::db {

// How a server is reached through ODBC: a driver (FreeTDS unless the settings
// name another) or a data source name; the dialect says which SQL the server speaks.
struct OdbcEndpoint
{
    QString driver = QStringLiteral("FreeTDS");
    QString tdsVersion = QStringLiteral("7.4");
    QString dsn;           // when set, used instead of the driver
    QString dialect;       // empty: SQL Server; "sqlite": a SQLite file per database
    QString dataFolder;    // for the sqlite dialect: where the database files are
    int loginTimeout = 15; // seconds a connection may take to open (0: the driver's own)
    int queryTimeout = 0;  // seconds a statement may run (0: no limit; Stop and Cancel end long work)
};

// A login: integrated (the user's own credentials, Kerberos with FreeTDS) or a SQL Server login.
struct OdbcLogin
{
    bool integrated = true;
    QString user;
    QString password; // kept in memory only, never written anywhere
};

// The ODBC connection string for a target: both documented forms of the
// program's connection strings ("Driver={SQL Server};server=HOST\INST;
// database=DB" and "Provider=SQLOLEDB.1;...;Data Source=HOST") come here
// already parsed. Values are braced when they hold a separator.
// literalBraces leaves a closing brace in the user name or password single,
// as FreeTDS before 1.4 reads it; later versions want it doubled.
QString odbcConnectionString(const ConnectionTarget &target, const OdbcEndpoint &endpoint, const OdbcLogin &login,
                             bool literalBraces = false);

// The same with the password left out, for messages and logs.
QString odbcConnectionStringForDisplay(const ConnectionTarget &target, const OdbcEndpoint &endpoint,
                                       const OdbcLogin &login);

// The driver, TDS version, data source name and time-outs configured in the
// settings ("Config" group: OdbcDriver, TdsVersion, OdbcDsn, LoginTimeout, QueryTimeout).
OdbcEndpoint configuredOdbcEndpoint();

} // namespace korva::db
