#include "tdsconnection.h"

#include "platform/serverdirectory.h"

#include <QtCore/QFileInfo>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace korva::tds {

namespace {

constexpr quint8 kStatusEom = 0x01;
constexpr int kMaxMessage = 64 << 20;

// Closes a socket so that the peer sees a reset, not an orderly end.
void closeAbruptly(int fd)
{
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

} // namespace

// ---------------------------------------------------------------- StandIn

StandIn::StandIn(StandInOptions options) : d(std::make_unique<Impl>()) { d->options = std::move(options); }

StandIn::~StandIn() { stop(); }

bool StandIn::start(QString *error)
{
    if (d->listenFd >= 0)
        return true;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    d->listenFd = fd;
    d->port = ntohs(addr.sin_port);
    d->stopping = false;
    d->acceptThread = std::thread([this] { d->acceptLoop(); });
    return true;
}

quint16 StandIn::port() const { return d->port; }

void StandIn::stop()
{
    if (d->listenFd < 0)
        return;
    d->stopping = true;
    ::shutdown(d->listenFd, SHUT_RDWR);
    if (d->acceptThread.joinable())
        d->acceptThread.join();
    ::close(d->listenFd);
    d->listenFd = -1;
    std::list<std::unique_ptr<Impl::Client>> clients;
    {
        std::lock_guard lock(d->mutex);
        for (auto &c : d->clients)
            if (const int fd = c->fd.load(); fd >= 0)
                ::shutdown(fd, SHUT_RDWR);
        clients.swap(d->clients);
    }
    for (auto &c : clients)
        if (c->thread.joinable())
            c->thread.join();
}

void StandIn::setRoundTripDelay(int ms) { d->delayMs = ms; }

void StandIn::dropConnectionsAfter(int packets)
{
    d->dropAfter = packets;
    ++d->dropEpoch;
}

void StandIn::dropAllConnections() { ++d->dropAllEpoch; }

void StandIn::setRefuseConnections(bool refuse) { d->refuse = refuse; }
void StandIn::setStalled(bool stalled) { d->stalled = stalled; }
int StandIn::roundTrips() const { return d->roundTrips.load(); }
void StandIn::resetRoundTrips() { d->roundTrips = 0; }
int StandIn::loginsAccepted() const { return d->loginsAccepted.load(); }
int StandIn::loginsRefused() const { return d->loginsRefused.load(); }

QStringList StandIn::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->log;
}

void StandIn::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->log.clear();
}

void StandIn::Impl::acceptLoop()
{
    while (!stopping) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (stopping || refuse) {
            closeAbruptly(fd);
            continue;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex);
        // Threads of connections that ended are collected here, as new ones come.
        for (auto it = clients.begin(); it != clients.end();) {
            if ((*it)->finished) {
                (*it)->thread.join();
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
        auto client = std::make_unique<Client>();
        Client *c = client.get();
        c->fd = fd;
        c->thread = std::thread([this, c, fd] {
            if (options.yieldToClient)
                ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 19);
            {
                Connection connection(*this, fd);
                connection.serve();
            }
            {
                std::lock_guard lock(mutex);
                c->fd = -1;
            }
            ::close(fd);
            c->finished = true;
        });
        clients.push_back(std::move(client));
    }
}

// ---------------------------------------------------------------- transport

Connection::Connection(StandIn::Impl &server, int fd)
    : m_server(server), m_fd(fd), m_spid(server.nextSpid++), m_dropAllEpoch(server.dropAllEpoch.load())
{}

Connection::~Connection()
{
    if (m_session && m_tranCount > 0) {
        // A connection that goes away rolls back what it left open.
        std::lock_guard lock(m_session->mutex());
        sqlite3_exec(m_session->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool Connection::readExact(char *buffer, qsizetype n)
{
    qsizetype got = 0;
    while (got < n) {
        // Waits in short steps, so that a drop ordered by the test is seen at once.
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);
        if (m_server.dropAllEpoch.load() != m_dropAllEpoch || m_server.stopping) {
            dropNow();
            return false;
        }
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        const ssize_t r = ::recv(m_fd, buffer + got, size_t(n - got), 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        got += r;
    }
    return true;
}

void Connection::dropNow()
{
    m_dead = true;
    linger l{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

bool Connection::readPacket(quint8 *type, quint8 *status, QByteArray *payload)
{
    char header[8];
    if (m_dead || !readExact(header, 8))
        return false;
    const int epoch = m_server.dropEpoch.load();
    if (epoch != m_seenEpoch) {
        m_seenEpoch = epoch;
        m_packetsSinceEpoch = 0;
    }
    ++m_packetsSinceEpoch;
    const int dropAfter = m_server.dropAfter.load();
    if (dropAfter >= 0 && m_packetsSinceEpoch > dropAfter) {
        dropNow();
        return false;
    }
    *type = quint8(header[0]);
    *status = quint8(header[1]);
    const int length = (quint8(header[2]) << 8) | quint8(header[3]);
    // Before the login the client has agreed no size; after it, the agreed one binds.
    const int limit = m_loggedIn ? m_packetSize : 32767;
    if (length < 8 || length > limit || (*status & ~0x1F) != 0) {
        dropNow();
        return false;
    }
    payload->resize(length - 8);
    if (!readExact(payload->data(), length - 8)) {
        m_dead = true;
        return false;
    }
    return true;
}

bool Connection::readMessage(Message *m)
{
    m->data.clear();
    quint8 type = 0, status = 0;
    QByteArray payload;
    if (!readPacket(&type, &status, &payload))
        return false;
    m->type = type;
    m->data = payload;
    while (!(status & kStatusEom)) {
        if (!readPacket(&type, &status, &payload))
            return false;
        // An attention may cut a message short; anything else of another type is garbage.
        if (type == kPacketAttention) {
            m->type = type;
            m->data.clear();
            return true;
        }
        if (type != m->type || m->data.size() + payload.size() > kMaxMessage) {
            dropNow();
            return false;
        }
        m->data += payload;
    }
    return true;
}

bool Connection::sendPackets(bool final)
{
    if (m_dead)
        return false;
    const int room = m_packetSize - 8;
    qsizetype at = 0;
    const QByteArray &data = m_out.data;
    QByteArray wire;
    while (data.size() - at > room || (final && at <= data.size())) {
        const qsizetype n = std::min<qsizetype>(room, data.size() - at);
        const bool last = final && at + n == data.size();
        char header[8] = {char(kPacketReply), char(last ? kStatusEom : 0), char((n + 8) >> 8), char((n + 8) & 0xFF),
                          char(m_spid >> 8),  char(m_spid & 0xFF),         char(m_packetId++), 0};
        wire.append(header, 8);
        wire.append(data.constData() + at, n);
        at += n;
        if (last)
            break;
    }
    m_out.data.remove(0, at);
    qsizetype sent = 0;
    while (sent < wire.size()) {
        const ssize_t w = ::send(m_fd, wire.constData() + sent, size_t(wire.size() - sent), MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            m_dead = true;
            return false;
        }
        sent += w;
    }
    return true;
}

bool Connection::pollAttention()
{
    if (m_attention)
        return true;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
        return false;
    quint8 type = 0, status = 0;
    QByteArray payload;
    if (!readPacket(&type, &status, &payload))
        return m_attention = true; // gone: stop sending
    if (type != kPacketAttention) {
        // A client may not send a request while the answer to another is under way.
        dropNow();
        return m_attention = true;
    }
    m_server.record(QStringLiteral("ATTENTION"));
    return m_attention = true;
}

bool Connection::waitWhileStalled()
{
    while (m_server.stalled && !m_server.stopping && !m_dead) {
        pollfd p{m_fd, POLLIN, 20};
        if (::poll(&p, 1, 20) > 0 && pollAttention())
            return false;
    }
    const int delay = m_server.delayMs.load();
    if (delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    return !m_dead;
}

TokenWriter &Connection::out()
{
    if (m_held) {
        m_held = false;
        m_out.done(m_heldToken, m_heldStatus | kDoneMore, 0, m_heldCount);
    }
    if (m_out.data.size() >= m_packetSize)
        sendPackets(false);
    return m_out;
}

void Connection::done(quint8 token, quint16 status, quint64 count)
{
    out();
    m_held = true;
    m_heldToken = token;
    m_heldStatus = status;
    m_heldCount = count;
}

bool Connection::finish()
{
    if (m_attention) {
        // What was under way ends with the acknowledgement, whatever was held.
        m_held = false;
        m_out.done(kTokenDone, kDoneAttention, 0, 0);
        m_attention = false;
    } else if (m_held) {
        m_held = false;
        m_out.done(m_heldToken, m_heldStatus, 0, m_heldCount);
    } else {
        m_out.done(kTokenDone, kDoneFinal, 0, 0);
    }
    return sendPackets(true);
}

void Connection::serve()
{
    Message m;
    while (!m_dead && !m_server.stopping && readMessage(&m)) {
        if (m.type == kPacketAttention) {
            // An attention that arrives after the answer is acknowledged on its own.
            m_server.record(QStringLiteral("ATTENTION"));
            m_out.data.clear();
            m_out.done(kTokenDone, kDoneAttention, 0, 0);
            sendPackets(true);
            continue;
        }
        if (!waitWhileStalled()) {
            if (m_attention) {
                m_out.data.clear();
                finish();
            }
            continue;
        }
        m_out.data.clear();
        m_held = false;
        // Counted before the answer leaves, so a client that has it sees the count.
        ++m_server.roundTrips;
        switch (m.type) {
        case kPacketPrelogin:
            if (!handlePrelogin(m))
                return;
            break;
        case kPacketLogin7:
            if (!handleLogin(m))
                return;
            break;
        case kPacketBatch:
        case kPacketRpc:
        case kPacketTransaction: {
            if (!m_loggedIn) {
                dropNow();
                return;
            }
            Reader r(m.data);
            if (!skipAllHeaders(r)) {
                dropNow();
                return;
            }
            if (m.type == kPacketBatch) {
                if (r.remaining() % 2) {
                    dropNow();
                    return;
                }
                const QString text = r.utf16(r.remaining() / 2);
                m_server.record(QStringLiteral("BATCH ") + text);
                handleBatch(text);
            } else if (m.type == kPacketRpc) {
                handleRpc(m.data.mid(r.pos()));
            } else {
                handleTransaction(m.data.mid(r.pos()));
            }
            break;
        }
        default:
            handleUnexpected(m.type);
            return;
        }
        if (m_dead)
            return;
    }
}

// ---------------------------------------------------------------- login

bool Connection::handlePrelogin(const Message &m)
{
    if (m_prelogin || m_loggedIn) {
        dropNow();
        return false;
    }
    // Options: type, offset and length (big-endian) each, up to 0xFF.
    const QByteArray &p = m.data;
    quint8 encryption = 2;
    qsizetype i = 0;
    for (;; i += 5) {
        if (i >= p.size()) {
            dropNow();
            return false;
        }
        const quint8 type = quint8(p[i]);
        if (type == 0xFF)
            break;
        if (i + 5 > p.size()) {
            dropNow();
            return false;
        }
        const int off = (quint8(p[i + 1]) << 8) | quint8(p[i + 2]);
        const int len = (quint8(p[i + 3]) << 8) | quint8(p[i + 4]);
        if (off + len > p.size()) {
            dropNow();
            return false;
        }
        if (type == 1 && len >= 1)
            encryption = quint8(p[off]);
    }
    m_prelogin = true;
    TokenWriter w;
    const quint8 options[5][2] = {{0, 6}, {1, 1}, {2, 1}, {3, 4}, {4, 1}};
    int offset = 5 * 5 + 1;
    for (const auto &o : options) {
        w.u8(o[0]);
        w.u8(quint8(offset >> 8));
        w.u8(quint8(offset));
        w.u8(0);
        w.u8(o[1]);
        offset += o[1];
    }
    w.u8(0xFF);
    const quint8 version[6] = {11, 0, 0x0C, 0x38, 0, 0};
    w.data.append(reinterpret_cast<const char *>(version), 6);
    w.u8(2); // encryption not supported
    w.u8(0); // instance: matched
    w.u32(quint32(m_spid));
    w.u8(0); // no MARS
    m_out.data = w.data;
    sendPackets(true);
    // A client that insists on encryption cannot be served.
    if (encryption == 1 || encryption == 3) {
        dropNow();
        return false;
    }
    return true;
}

bool Connection::refuseLogin(int number, const QString &text)
{
    ++m_server.loginsRefused;
    m_out.data.clear();
    m_out.message(kTokenError, number, 1, 14, text, QStringLiteral("standin"), QString(), 1);
    m_out.done(kTokenDone, kDoneError, 0, 0);
    sendPackets(true);
    ::shutdown(m_fd, SHUT_RDWR);
    m_dead = true;
    return false;
}

bool Connection::handleLogin(const Message &m)
{
    if (!m_prelogin || m_loggedIn) {
        dropNow();
        return false;
    }
    const QByteArray &p = m.data;
    Reader r(p);
    const quint32 length = r.u32();
    const quint32 version = r.u32();
    const quint32 packetSize = r.u32();
    if (r.failed() || p.size() < 94 || length > quint32(p.size()) || length < 94) {
        dropNow();
        return false;
    }
    const quint8 flags2 = quint8(p[25]);
    auto field = [&](int at, QString *value) {
        Reader f(p, at);
        const quint16 off = f.u16();
        const quint16 chars = f.u16();
        if (off + chars * 2 > int(length))
            return false;
        Reader v(p, off);
        *value = v.utf16(chars);
        return true;
    };
    QString host, user, app, server, database;
    if (!field(36, &host) || !field(40, &user) || !field(48, &app) || !field(52, &server) || !field(68, &database)) {
        dropNow();
        return false;
    }
    const quint16 passOff = quint16(quint8(p[44]) | (quint8(p[45]) << 8));
    const quint16 passChars = quint16(quint8(p[46]) | (quint8(p[47]) << 8));
    const quint16 sspiLen = quint16(quint8(p[80]) | (quint8(p[81]) << 8));
    if (passOff + passChars * 2 > int(length)) {
        dropNow();
        return false;
    }
    QByteArray pass = p.mid(passOff, passChars * 2);
    for (char &c : pass) {
        // Each byte was nibble-swapped and then XORed with 0xA5.
        const quint8 x = quint8(c) ^ 0xA5;
        c = char(quint8((x << 4) | (x >> 4)));
    }
    const QString password = QString(reinterpret_cast<const QChar *>(pass.constData()), pass.size() / 2);
    m_server.record(QStringLiteral("LOGIN %1 database=%2").arg(user, database));
    if ((version >> 24) < 0x72) {
        dropNow();
        return false;
    }
    if ((flags2 & 0x80) || sspiLen > 0)
        return refuseLogin(18452,
                           QStringLiteral("Login failed. The login is from an untrusted domain and cannot be used "
                                          "with Integrated authentication."));
    if (user.compare(m_server.options.user, Qt::CaseInsensitive) != 0 || password != m_server.options.password)
        return refuseLogin(18456, QStringLiteral("Login failed for user '%1'.").arg(user));
    if (database.isEmpty())
        database = m_server.options.defaultDatabase;
    ServerError e;
    if (!openDatabase(database, &e))
        return refuseLogin(4060, QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                                     .arg(database));

    const int agreed = packetSize == 0 ? 4096 : int(qBound<quint32>(512, packetSize, 32767));
    m_out.data.clear();
    m_out.envChange(1, m_database, QStringLiteral("master"));
    m_out.message(kTokenInfo, 5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(m_database),
                  QStringLiteral("standin"), QString(), 1);
    m_out.envChangeBytes(7, QByteArray(reinterpret_cast<const char *>(kCollation), 5), QByteArray());
    m_out.envChange(2, QStringLiteral("us_english"), QString());
    m_out.envChange(4, QString::number(agreed), QStringLiteral("4096"));
    m_out.loginAck(QStringLiteral("KORVA TDS stand-in"));
    m_out.done(kTokenDone, kDoneFinal, 0, 0);
    sendPackets(true);
    m_packetSize = agreed;
    m_loggedIn = true;
    ++m_server.loginsAccepted;
    return !m_dead;
}

bool Connection::openDatabase(const QString &name, ServerError *error)
{
    const QString file = db::embeddedDatabaseFile(m_server.options.dataFolder, name);
    if (file.isEmpty()) {
        *error = {911, QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.")
                           .arg(name)};
        return false;
    }
    db::ConnectionTarget target;
    target.server = QStringLiteral("standin");
    target.database = QFileInfo(file).completeBaseName();
    target.valid = true;
    db::Error e;
    auto session = db::SqliteSession::open(target, m_server.options.dataFolder, &e);
    if (!session) {
        *error = {911, e.description};
        return false;
    }
    if (m_session && m_tranCount > 0) {
        std::lock_guard lock(m_session->mutex());
        sqlite3_exec(m_session->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        m_tranCount = 0;
    }
    m_session = std::move(session);
    m_database = target.database;
    installCatalogueViews();
    return true;
}

} // namespace korva::tds
