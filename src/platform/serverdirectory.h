#pragma once

#include <QtCore/QString>

namespace korva::db {

// Which engine serves a SQL Server name. A server (and instance) registered
// as embedded is served from a data folder holding one SQLite file per
// database ("<Database>.sqlite"); any other server goes to ODBC.
// Kept in the settings store, group "Servers".
struct ServerEntry
{
    enum class Engine { Embedded, Odbc };
    Engine engine = Engine::Odbc;
    QString dataFolder; // embedded: the folder of the database files (also ODBC's "sqlite" dialect)
    QString driver;     // ODBC: the driver to use instead of the configured default
    QString dsn;        // ODBC: a data source name to connect through instead of a driver
    QString dialect;    // ODBC: empty for SQL Server; "sqlite" for SQLite files through their ODBC driver
};

void registerEmbeddedServer(const QString &server, const QString &instance, const QString &dataFolder);
// An ODBC server reached through a driver (empty: the configured default) or a DSN.
void registerOdbcServer(const QString &server, const QString &instance, const QString &driver, const QString &dsn,
                        const QString &dialect = QString(), const QString &dataFolder = QString());
void unregisterServer(const QString &server, const QString &instance);
// Looks up server and instance (case-insensitive). An empty instance matches
// the server's only registered instance. "(local)" and "." stand for the
// local computer name.
ServerEntry lookupServer(const QString &server, const QString &instance);

// File of one database in an embedded data folder.
QString embeddedDatabaseFile(const QString &dataFolder, const QString &database);

} // namespace korva::db
