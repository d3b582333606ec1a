#include "remote/modservers.h"

#include "platform/workstationinfo.h"

#include <QtCore/QTimer>
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
        readReplies();
        QStringList servers = m_found;
        servers.removeDuplicates();
        std::sort(servers.begin(), servers.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        stop();
        Q_EMIT finished(servers);
    });
}

ServerDiscovery::~ServerDiscovery() = default;

void ServerDiscovery::setTarget(const QHostAddress &address, quint16 port)
{
    m_address = address;
    m_port = port;
}

bool ServerDiscovery::isRunning() const { return m_timer->isActive(); }

void ServerDiscovery::start()
{
    stop();
    m_found.clear();
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
        m_socket->readDatagram(datagram.data(), datagram.size());
        m_found += parseServerResponse(datagram);
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
