#include "remote/modservers.h"

#include "platform/workstationinfo.h"

#include <QtCore/QTimer>
#include <QtNetwork/QHostInfo>
#include <QtNetwork/QUdpSocket>

namespace korva {

QStringList ListDomains()
{
    const WorkStationInfo &info = WorkStationInfo::instance();
    QStringList names;
    const QStringList candidates = QStringList{info.Domain(), info.LogonDomain()}
                                   + info.OtherDomains().split(u' ', Qt::SkipEmptyParts);
    for (const QString &c : candidates) {
        const QString name = c.trimmed();
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QStringList parseServerResponse(const QByteArray &datagram)
{
    // SVR_RESP: 0x05, a little-endian length, then "key;value;...;;" per instance.
    if (datagram.size() < 3 || quint8(datagram.at(0)) != 0x05)
        return {};
    const int length = quint8(datagram.at(1)) | (quint8(datagram.at(2)) << 8);
    if (datagram.size() < 3 + length)
        return {}; // cut short on the way: no name in it can be trusted
    const QString text = QString::fromLatin1(datagram.mid(3, length));
    QStringList servers;
    for (const QString &record : text.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QStringList fields = record.split(u';');
        QString server, instance;
        for (int i = 0; i + 1 < fields.size(); i += 2) {
            if (fields[i].compare(u"ServerName", Qt::CaseInsensitive) == 0)
                server = fields[i + 1].trimmed();
            else if (fields[i].compare(u"InstanceName", Qt::CaseInsensitive) == 0)
                instance = fields[i + 1].trimmed();
        }
        if (server.isEmpty())
            continue;
        servers << (instance.isEmpty() || instance.compare(u"MSSQLSERVER", Qt::CaseInsensitive) == 0
                        ? server
                        : server + u'\\' + instance);
    }
    return servers;
}

ServerDiscovery::ServerDiscovery(QObject *parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_socket) {
            readReplies();
            lookUpDomains();
        } else {
            finish(); // the lookups took too long: what is known is enough
        }
    });
}

void ServerDiscovery::lookUpDomains()
{
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
    QList<QHostAddress> addresses;
    for (const QHostAddress &a : std::as_const(m_senders))
        if (!addresses.contains(a))
            addresses << a;
    if (m_lookup) {
        for (const QHostAddress &a : addresses)
            m_hostNames.insert(a.toString(), m_lookup(a));
        finish();
        return;
    }
    m_lookups = int(addresses.size());
    if (m_lookups == 0) {
        finish();
        return;
    }
    // Names come back through the event loop; a resolver that does not answer
    // within the wait leaves those domains unknown.
    m_timer->start(std::min(m_waitMs, 1000));
    for (const QHostAddress &a : addresses)
        QHostInfo::lookupHost(a.toString(), this, [this, run = m_run, key = a.toString()](const QHostInfo &info) {
            // An answer for a search that ended or was replaced changes nothing.
            if (run != m_run || m_lookups <= 0)
                return;
            if (info.error() == QHostInfo::NoError)
                m_hostNames.insert(key, info.hostName());
            if (--m_lookups == 0)
                finish();
        });
}

void ServerDiscovery::finish()
{
    m_timer->stop();
    m_lookups = 0;
    ++m_run;
    QStringList servers = m_found;
    servers.removeDuplicates();
    std::sort(servers.begin(), servers.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QHash<QString, QString> domains;
    for (const QString &s : std::as_const(servers))
        domains.insert(s, domainOfHostName(m_hostNames.value(m_senders.value(s).toString())));
    stop();
    Q_EMIT finished(servers, domains);
}

QString domainOfHostName(const QString &hostName)
{
    const QString name = hostName.trimmed();
    const qsizetype dot = name.indexOf(u'.');
    // An address written out is not a name.
    if (dot <= 0 || !QHostAddress(name).isNull())
        return {};
    return name.mid(dot + 1).toLower();
}

QStringList serversInDomain(const QStringList &servers, const QHash<QString, QString> &domains, const QString &domain)
{
    const QString wanted = domain.trimmed().toLower();
    if (wanted.isEmpty())
        return servers;
    QStringList kept;
    for (const QString &s : servers) {
        const QString d = domains.value(s);
        if (d.isEmpty() || d == wanted || d.endsWith(u'.' + wanted))
            kept << s;
    }
    return kept;
}

ServerDiscovery::~ServerDiscovery() = default;

void ServerDiscovery::setTarget(const QHostAddress &address, quint16 port)
{
    m_address = address;
    m_port = port;
}

bool ServerDiscovery::isRunning() const { return m_timer->isActive() || m_lookups > 0; }

void ServerDiscovery::start()
{
    stop();
    m_found.clear();
    m_senders.clear();
    m_hostNames.clear();
    m_lookups = 0;
    ++m_run;
    m_socket = new QUdpSocket(this);
    m_socket->bind(QHostAddress(m_address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                      : QHostAddress::AnyIPv4),
                   0);
    connect(m_socket, &QUdpSocket::readyRead, this, &ServerDiscovery::readReplies);
    // CLNT_BCAST_EX: every instance of every machine that hears it answers.
    m_socket->writeDatagram(QByteArray(1, char(0x02)), m_address, m_port);
    m_timer->start(m_waitMs);
}

void ServerDiscovery::readReplies()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        QByteArray datagram(qsizetype(m_socket->pendingDatagramSize()), Qt::Uninitialized);
        QHostAddress sender;
        m_socket->readDatagram(datagram.data(), datagram.size(), &sender);
        const QStringList servers = parseServerResponse(datagram);
        for (const QString &s : servers)
            m_senders.insert(s, sender);
        m_found += servers;
    }
}

void ServerDiscovery::stop()
{
    m_timer->stop();
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

} // namespace korva
