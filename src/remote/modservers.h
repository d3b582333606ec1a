#pragma once

#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtNetwork/QHostAddress>

class QTimer;
class QUdpSocket;

namespace korva {

// The names of the domains servers are looked for in: the workstation's DNS
// domain and workgroup and any others it knows, each once, in that order.
QStringList ListDomains();

// The SQL Server instances of one reply of the resolution service (UDP
// port 1434): "server" for a default instance, "server\instance" otherwise.
QStringList parseServerResponse(const QByteArray &datagram);

// Looks for SQL Servers on the local network: one request to the resolution
// service of every machine (a broadcast, or the address given), then the
// replies that arrive within a bounded time. Answers through the event loop;
// the window stays responsive meanwhile.
class ServerDiscovery : public QObject
{
    Q_OBJECT

public:
    explicit ServerDiscovery(QObject *parent = nullptr);
    ~ServerDiscovery() override;

    // Where the request goes: the broadcast address and port 1434 unless set.
    void setTarget(const QHostAddress &address, quint16 port);
    void setWaitMilliseconds(int ms) { m_waitMs = ms; }

    void start();
    bool isRunning() const;

Q_SIGNALS:
    // Every server found, sorted, each once (empty when none answered).
    void finished(const QStringList &servers);

private:
    void readReplies();
    void stop();

    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    QHostAddress m_address = QHostAddress::Broadcast;
    quint16 m_port = 1434;
    int m_waitMs = 2000;
    QStringList m_found;
};

} // namespace korva
