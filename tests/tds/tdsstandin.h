#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>

namespace korva::tds {

struct StandInOptions
{
    QString dataFolder;     // embedded data folder: one "<Database>.sqlite" per database
    QString user, password; // the one SQL login accepted
    QString defaultDatabase = QStringLiteral("OrvexDirDB");
    // The stand-in's threads run at the lowest priority, so that on a small
    // machine it takes the client's processors as little as a server
    // elsewhere would (for benchmarks of the client).
    bool yieldToClient = false;
};

// A database server for tests and benchmarks: speaks TDS 7.4 on 127.0.0.1
// and answers from the embedded engine over a data folder. Each connection
// is served by a thread of its own, never by the caller's event loop.
class StandIn
{
public:
    explicit StandIn(StandInOptions options);
    ~StandIn(); // stops
    StandIn(const StandIn &) = delete;
    StandIn &operator=(const StandIn &) = delete;

    // Listens on 127.0.0.1 on a port the system picks.
    bool start(QString *error);
    quint16 port() const;
    void stop();

    // Faults, settable at any time from any thread.
    void setRoundTripDelay(int ms); // waited before answering each request
    // Every open and new connection is closed abruptly on the first packet it
    // sends after n more; -1 turns it off.
    void dropConnectionsAfter(int packets);
    void dropAllConnections();              // closes every open connection now
    void setRefuseConnections(bool refuse); // new connections are closed at once
    void setStalled(bool stalled);          // requests are read but not answered until unstalled

    // Figures for tests and benchmarks.
    int roundTrips() const; // request messages answered, the login's included
    void resetRoundTrips();
    int loginsAccepted() const;
    int loginsRefused() const;
    // One line per request: "BATCH <sql>", "RPC <name> @a=<v>, <v>" (positional
    // parameters without a name), "TRAN BEGIN|COMMIT|ROLLBACK", "ATTENTION".
    QStringList requests() const;
    void clearRequests();

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace korva::tds
