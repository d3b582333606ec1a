#pragma once

#include <QtCore/QString>

namespace korva::db {

// Which engine serves a SQL Server name. A server (and instance) registered
// here is served by the embedded engine from a data folder holding one SQLite
// file per database ("<Database>.sqlite"); any other server goes to ODBC.
// Kept in the settings store, group "Servers".
struct ServerEntry
{
    QString dataFolder; // embedded engine data folder; empty when not embedded
};

void registerEmbeddedServer(const QString &server, const QString &instance, const QString &dataFolder);
void unregisterServer(const QString &server, const QString &instance);
// Looks up server and instance (case-insensitive). An empty instance matches
// the server's only registered instance. "(local)", "." and "localhost" stand
// for the local computer name.
ServerEntry lookupServer(const QString &server, const QString &instance);

// File of one database in an embedded data folder.
QString embeddedDatabaseFile(const QString &dataFolder, const QString &database);

} // namespace korva::db
