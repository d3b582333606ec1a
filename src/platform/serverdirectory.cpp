#include "platform/serverdirectory.h"

#include "platform/settings.h"
#include "platform/workstationinfo.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

namespace korva::db {

namespace {

QString canonicalServer(const QString &server)
{
    const QString s = server.trimmed();
    // "localhost" and loopback addresses are names like any other: a server
    // listening there (a tunnel, a container) is reached through ODBC unless
    // the settings map the name.
    if (s.isEmpty() || s == u"." || s.compare(u"(local)", Qt::CaseInsensitive) == 0)
        return WorkStationInfo::instance().ComputerName().toLower();
    return s.toLower();
}

QString canonicalInstance(const QString &instance)
{
    const QString i = instance.trimmed().toLower();
    return i.isEmpty() ? QStringLiteral("mssqlserver") : i;
}

QString groupFor(const QString &server, const QString &instance)
{
    return QStringLiteral("Servers/") + canonicalServer(server) + u'/' + canonicalInstance(instance);
}

} // namespace

void registerEmbeddedServer(const QString &server, const QString &instance, const QString &dataFolder)
{
    auto s = openSettings();
    s->setValue(groupFor(server, instance) + QStringLiteral("/Engine"), QStringLiteral("embedded"));
    s->setValue(groupFor(server, instance) + QStringLiteral("/DataFolder"), dataFolder);
    s->sync();
}

void registerOdbcServer(const QString &server, const QString &instance, const QString &driver, const QString &dsn,
                        const QString &dialect, const QString &dataFolder)
{
    auto s = openSettings();
    s->remove(groupFor(server, instance));
    s->setValue(groupFor(server, instance) + QStringLiteral("/Engine"), QStringLiteral("odbc"));
    if (!driver.isEmpty())
        s->setValue(groupFor(server, instance) + QStringLiteral("/Driver"), driver);
    if (!dsn.isEmpty())
        s->setValue(groupFor(server, instance) + QStringLiteral("/DSN"), dsn);
    if (!dialect.isEmpty())
        s->setValue(groupFor(server, instance) + QStringLiteral("/Dialect"), dialect);
    if (!dataFolder.isEmpty())
        s->setValue(groupFor(server, instance) + QStringLiteral("/DataFolder"), dataFolder);
    s->sync();
}

void unregisterServer(const QString &server, const QString &instance)
{
    auto s = openSettings();
    s->remove(groupFor(server, instance));
    s->sync();
}

ServerEntry lookupServer(const QString &server, const QString &instance)
{
    auto s = openSettings();
    QString group = groupFor(server, instance);
    if (instance.trimmed().isEmpty() && !s->contains(group + QStringLiteral("/Engine"))) {
        s->beginGroup(QStringLiteral("Servers/") + canonicalServer(server));
        const QStringList instances = s->childGroups();
        s->endGroup();
        if (instances.size() == 1)
            group = QStringLiteral("Servers/") + canonicalServer(server) + u'/' + instances.first();
    }
    ServerEntry e;
    if (s->value(group + QStringLiteral("/Engine")).toString() == u"embedded") {
        e.engine = ServerEntry::Engine::Embedded;
        e.dataFolder = s->value(group + QStringLiteral("/DataFolder")).toString();
    } else {
        e.driver = s->value(group + QStringLiteral("/Driver")).toString();
        e.dsn = s->value(group + QStringLiteral("/DSN")).toString();
        e.dialect = s->value(group + QStringLiteral("/Dialect")).toString();
        e.dataFolder = s->value(group + QStringLiteral("/DataFolder")).toString();
    }
    return e;
}

QString embeddedDatabaseFile(const QString &dataFolder, const QString &database)
{
    const QDir dir(dataFolder);
    const QString wanted = database + QStringLiteral(".sqlite");
    const QStringList files = dir.entryList({QStringLiteral("*.sqlite")}, QDir::Files);
    for (const QString &f : files)
        if (f.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(f);
    return {};
}

} // namespace korva::db
