#include "platform/workstationinfo.h"

#include <QtCore/QFile>

#include <pwd.h>
#include <unistd.h>

namespace korva {

namespace {

QString readTrimmed(const char *path)
{
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}

// The workgroup or DNS domain of this machine: the domain part of the fully
// qualified host name, else the NIS domain, else the "search" domain of the resolver.
QString localDomain(const QString &hostName)
{
    const qsizetype dot = hostName.indexOf(u'.');
    if (dot > 0)
        return hostName.mid(dot + 1);
    char buf[256] = {};
    if (getdomainname(buf, sizeof buf - 1) == 0) {
        const QString nis = QString::fromLocal8Bit(buf);
        if (!nis.isEmpty() && nis != u"(none)")
            return nis;
    }
    const QString conf = readTrimmed("/etc/resolv.conf");
    for (const QString &line : conf.split(u'\n')) {
        const QStringList words = line.simplified().split(u' ');
        if (words.size() >= 2 && (words[0] == u"search" || words[0] == u"domain"))
            return words[1];
    }
    return QStringLiteral("WORKGROUP");
}

} // namespace

WorkStationInfo::WorkStationInfo() { Refresh(); }

const WorkStationInfo &WorkStationInfo::instance()
{
    static const WorkStationInfo info;
    return info;
}

void WorkStationInfo::Refresh()
{
    char host[256] = {};
    QString fullHost;
    if (gethostname(host, sizeof host - 1) == 0)
        fullHost = QString::fromLocal8Bit(host);
    const qsizetype dot = fullHost.indexOf(u'.');
    m_computerName = (dot > 0 ? fullHost.left(dot) : fullHost).toUpper();
    m_domain = localDomain(fullHost).toUpper();
    if (const passwd *pw = getpwuid(geteuid()))
        m_userName = QString::fromLocal8Bit(pw->pw_name);
    else
        m_userName = qEnvironmentVariable("USER");
    m_logonDomain = m_domain;
    m_otherDomains.clear();
}

} // namespace korva
