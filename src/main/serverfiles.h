#pragma once

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>

#include <functional>
#include <optional>

class QMenu;
class QObject;

namespace korva::serverfiles {

// A server whose files the program keeps: a copy of a registry export taken
// on that server and of its data dictionaries, under the user's data folder
// (servers/NAME/). The program runs on them as on an installation of its
// own, and reaches the server's SQL Server over ODBC.
struct KeptServer
{
    QString name;              // the folder under servers/
    QString server;            // the SQL Server as typed: host, host\instance, host,port
    QString folder;            // servers/NAME
    QString exportInstallPath; // the install folder the export names, as written there
    QString lastDatabase;      // the database last looked at (OrvexDirDB, ...), or empty
    QDateTime lastUsed;

    QString registryFile() const;     // the copy of the export
    QString installFolder() const;    // stands for the export's install folder
    QString dictionaryFolder() const; // where the copied dictionaries are, ending with "/"
};

// <user data folder>/KORVA/servers
QString serversFolder();

// The folder name a server is kept under: its name with anything a file
// name cannot hold replaced.
QString folderNameFor(const QString &server);

// The registry key and value that name the install folder.
QString installKey();
QString installValueName();

// What the files chosen for a server hold, before anything is kept: the
// install folder the export names and the dictionary files found. A reason in
// error when they cannot be used.
struct Inspection
{
    QString installPath;
    QString dictionaryFolder; // the folder the dictionaries are in
    QStringList dictionaries; // their file names
    QString computerName;     // the server's name when the export gives it
    QString error;
};
Inspection inspect(const QString &registryExport, const QString &dictionaryFolder);

// Keeps the files for the server: copied, never changed where they are. An
// earlier copy kept for the same server is replaced only once the new one is
// complete (its last database is kept). Fails with a reason, keeping nothing
// new and leaving what was kept before as it was.
std::optional<KeptServer> keep(const QString &server, const QString &registryExport, const QString &dictionaryFolder,
                               QString *error);

// The servers kept, most recently used first, at most `limit` of them.
QList<KeptServer> recent(int limit = 10);
std::optional<KeptServer> find(const QString &name);

// Notes that the server was just used, with the database looked at (an empty
// database keeps the one noted before).
void markUsed(const QString &name, const QString &database);

// The local folder for a path the server's registry names: the export's
// install folder and anything below it map into the kept copy; any other path
// comes back as it is.
QString mapPath(const KeptServer &kept, const QString &path);

// Fills File's "Recent servers" menu: newest first, "N server (database)",
// each opening that server's kept files (open is called in context).
void fillRecentMenu(QMenu *menu, QObject *context, std::function<void(const QString &name)> open);

} // namespace korva::serverfiles
