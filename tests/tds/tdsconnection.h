#pragma once

// The stand-in's inside: the server state shared by the connections, and one
// client connection with its embedded-engine session.

#include "tdsstandin.h"
#include "tdswire.h"

#include "platform/sqlitesession.h"

#include <QtCore/QHash>
#include <QtCore/QVariant>

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

struct sqlite3_stmt;

namespace korva::tds {

struct StandIn::Impl
{
    StandInOptions options;
    int listenFd = -1;
    quint16 port = 0;
    std::thread acceptThread;
    std::atomic<bool> stopping{false};

    struct Client
    {
        std::thread thread;
        std::atomic<int> fd{-1};
        std::atomic<bool> finished{false};
    };
    mutable std::mutex mutex; // guards clients and log
    std::list<std::unique_ptr<Client>> clients;
    QStringList log;

    std::atomic<int> delayMs{0};
    std::atomic<int> dropAfter{-1};
    std::atomic<int> dropEpoch{0};
    std::atomic<int> dropAllEpoch{0};
    std::atomic<bool> refuse{false};
    std::atomic<bool> stalled{false};
    std::atomic<int> roundTrips{0};
    std::atomic<int> loginsAccepted{0};
    std::atomic<int> loginsRefused{0};
    std::atomic<int> nextSpid{51};

    void acceptLoop();
    void record(const QString &line)
    {
        std::lock_guard lock(mutex);
        log << line;
    }
};

// A failure to report to the client as an ERROR token.
struct ServerError
{
    ServerError() = default;
    ServerError(int n, QString text, int sev = 16, int st = 1, QString proc = {})
        : number(n), message(std::move(text)), severity(sev), state(st), procedure(std::move(proc))
    {}
    int number = 0;
    QString message;
    int severity = 16;
    int state = 1;
    QString procedure;
};

// A value bound to a name of a statement (sp_executesql and the like).
struct Bound
{
    Bound() = default;
    Bound(QString n, QVariant v, bool out = false, QString type = {})
        : name(std::move(n)), value(std::move(v)), output(out), declaredType(std::move(type))
    {}
    QString name; // without "@"
    QVariant value;
    bool output = false;    // an OUTPUT parameter of the request (its value goes back)
    bool byDefault = false; // a place left empty in an RPC: the parameter keeps its default
    QString declaredType;   // as the statement's parameter declaration gives it
};

class Connection
{
public:
    Connection(StandIn::Impl &server, int fd);
    ~Connection();
    void serve();

private:
    // --- transport (tdsstandin.cpp)
    struct Message
    {
        quint8 type = 0;
        QByteArray data;
    };
    bool readExact(char *buffer, qsizetype n);
    bool readPacket(quint8 *type, quint8 *status, QByteArray *payload);
    bool readMessage(Message *m);
    bool sendPackets(bool final);
    bool waitWhileStalled();
    void dropNow();

    // --- login (tdsstandin.cpp)
    bool handlePrelogin(const Message &m);
    bool handleLogin(const Message &m);
    bool refuseLogin(int number, const QString &text);

    // --- requests (tdsrequests.cpp)
    bool skipAllHeaders(Reader &r);
    void handleBatch(const QString &text);
    void handleRpc(const QByteArray &data);
    void handleTransaction(const QByteArray &data);
    void handleUnexpected(quint8 type);

    bool openDatabase(const QString &name, ServerError *error);
    void installCatalogueViews();
    // Runs a Transact-SQL text statement by statement; false on the first error
    // (already sent). inProc marks statements run inside a procedure call.
    // The bound values are the statement's variables: EXEC ... OUTPUT and
    // EXEC @status = ... set them.
    bool runBatch(const QString &text, QList<Bound> &bound, bool inProc);
    bool runSql(const QString &sql, const QList<Bound> &bound, bool inProc);
    bool streamStatement(sqlite3_stmt *stmt, bool inProc, const QStringList &declaredTypes = {});
    // Runs a procedure; args flagged output come back in the outcome's outputs.
    bool callProcedure(const QString &name, const QList<Bound> &args, bool inProc, db::ExecOutcome *result = nullptr);
    bool runExec(const QString &text, QList<Bound> &bound, bool inProc);
    bool catalogueProcedure(const QString &name, const QList<Bound> &args);
    void sendRows(const QList<Column> &columns, const QList<QList<Cell>> &rows, bool inProc);
    bool beginTransaction(bool announce);
    bool endTransaction(bool commit, ServerError *error);
    bool implicitBegin();
    QString prepareText(const QString &sql) const;

    // --- responses
    TokenWriter &out(); // writes a held DONE first, with DONE_MORE
    void done(quint8 token, quint16 status, quint64 count);
    void sendError(const ServerError &e, quint8 doneToken, bool inProc = false);
    bool finish();        // the held DONE as the last token, then the last packet
    bool pollAttention(); // true when the client asked to stop the request under way
    ServerError fromEngine(const db::Error &e) const;

    StandIn::Impl &m_server;
    int m_fd;
    int m_spid;
    int m_packetSize = 4096;
    quint8 m_packetId = 1;
    int m_dropAllEpoch = 0;
    int m_seenEpoch = -1;
    int m_packetsSinceEpoch = 0;
    bool m_prelogin = false;
    bool m_loggedIn = false;
    bool m_dead = false;
    bool m_attention = false;

    TokenWriter m_out;
    bool m_held = false;
    quint8 m_heldToken = 0;
    quint16 m_heldStatus = 0;
    quint64 m_heldCount = 0;

    std::shared_ptr<db::SqliteSession> m_session;
    QString m_database;
    bool m_noCount = false;
    bool m_implicit = false;
    int m_tranCount = 0;
    quint64 m_transactionId = 0;
    QHash<int, QPair<QString, QString>> m_prepared; // handle -> (parameter declaration, text)
    int m_nextHandle = 1;
};

} // namespace korva::tds
