#pragma once

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtNetwork/QHostAddress>

#include <functional>

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

    // How a replying machine's address becomes its DNS name, for its domain
    // (tests give their own; by default a reverse lookup that does not block).
    using NameLookup = std::function<QString(const QHostAddress &)>;
    void setNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }

Q_SIGNALS:
    // Every server found, sorted, each once (empty when none answered), with
    // the DNS domain of each where its name says it (empty where unknown).
    void finished(const QStringList &servers, const QHash<QString, QString> &domains);

private:
    void readReplies();
    void stop();
    void lookUpDomains();
    void finish();

    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    QHostAddress m_address = QHostAddress::Broadcast;
    quint16 m_port = 1434;
    int m_waitMs = 2000;
    QStringList m_found;
    QHash<QString, QHostAddress> m_senders; // server -> the address it answered from
    QHash<QString, QString> m_hostNames;    // address -> its DNS name, as found
    int m_lookups = 0;                      // reverse lookups still under way
    int m_run = 0;                          // which search the lookups answer for
    NameLookup m_lookup;
};

// The DNS domain of a host name ("alpha.corp.example" -> "corp.example"),
// empty for a bare name.
QString domainOfHostName(const QString &hostName);
// The servers of a domain: those whose domain is known and is the domain
// or lies within it, and those whose domain cannot be known. An empty
// domain keeps them all.
QStringList serversInDomain(const QStringList &servers, const QHash<QString, QString> &domains, const QString &domain);

} // namespace korva
