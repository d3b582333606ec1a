#include "platform/odbcconnection.h"

#include "platform/serverdirectory.h"
#include "platform/settings.h"

#include <QtCore/QDir>

namespace korva::db {

namespace {

// An ODBC attribute value: braced when it holds a character that ends a
// value, a closing brace in it doubled (or, for drivers that read braces
// literally, left single).
QString value(const QString &v, bool literalBraces = false)
{
    if (!v.contains(u';') && !v.contains(u'{') && !v.contains(u'}') && !v.contains(u'=') && v.trimmed() == v)
        return v;
    QString braced = v;
    if (!literalBraces)
        braced.replace(u'}', QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

QString compose(const ConnectionTarget &t, const OdbcEndpoint &e, const OdbcLogin &login, bool showPassword,
                bool literalBraces = false)
{
    QStringList parts;
    if (e.dialect == u"sqlite") {
        parts << QStringLiteral("Driver=") + value(e.driver);
        const QString file = embeddedDatabaseFile(e.dataFolder, t.database);
        parts << QStringLiteral("Database=")
                     + value(file.isEmpty() ? QDir(e.dataFolder).filePath(t.database + QStringLiteral(".sqlite"))
                                            : file);
        return parts.join(u';');
    }
    if (!e.dsn.isEmpty()) {
        parts << QStringLiteral("DSN=") + value(e.dsn);
    } else {
        parts << QStringLiteral("Driver=") + value(e.driver);
        // FreeTDS finds a named instance through the server's browser service
        // itself; a port given names the instance already.
        QString server = t.instance.isEmpty() || t.port > 0 ? t.server : t.server + u'\\' + t.instance;
        parts << QStringLiteral("Server=") + value(server);
        if (t.port > 0)
            parts << QStringLiteral("Port=") + QString::number(t.port);
        if (!e.tdsVersion.isEmpty())
            parts << QStringLiteral("TDS_Version=") + value(e.tdsVersion);
        parts << QStringLiteral("ClientCharset=UTF-8");
    }
    if (!t.database.isEmpty())
        parts << QStringLiteral("Database=") + value(t.database);
    if (login.integrated) {
        parts << QStringLiteral("Trusted_Connection=Yes");
    } else {
        parts << QStringLiteral("UID=") + value(login.user, literalBraces);
        parts << QStringLiteral("PWD=")
                     + (showPassword ? value(login.password, literalBraces) : QStringLiteral("********"));
        // FreeTDS 1.3 ends a braced value only at "};": a closing brace at
        // the very end would stay in the password.
        parts << QString();
    }
    return parts.join(u';');
}

} // namespace

QString odbcConnectionString(const ConnectionTarget &target, const OdbcEndpoint &endpoint, const OdbcLogin &login,
                             bool literalBraces)
{
    return compose(target, endpoint, login, true, literalBraces);
}

QString odbcConnectionStringForDisplay(const ConnectionTarget &target, const OdbcEndpoint &endpoint,
                                       const OdbcLogin &login)
{
    return compose(target, endpoint, login, false);
}

OdbcEndpoint configuredOdbcEndpoint()
{
    OdbcEndpoint e;
    auto s = openSettings();
    const QString driver = s->value(QStringLiteral("Config/OdbcDriver")).toString().trimmed();
    if (!driver.isEmpty())
        e.driver = driver;
    const QVariant tds = s->value(QStringLiteral("Config/TdsVersion"));
    if (tds.isValid())
        e.tdsVersion = tds.toString().trimmed();
    e.dsn = s->value(QStringLiteral("Config/OdbcDsn")).toString().trimmed();
    // Seconds; what is not a number of them leaves the default.
    bool ok = false;
    const int login = s->value(QStringLiteral("Config/LoginTimeout")).toString().trimmed().toInt(&ok);
    if (ok && login >= 0)
        e.loginTimeout = login;
    const int query = s->value(QStringLiteral("Config/QueryTimeout")).toString().trimmed().toInt(&ok);
    if (ok && query >= 0)
        e.queryTimeout = query;
    return e;
}

} // namespace korva::db
