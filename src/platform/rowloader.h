#pragma once

#include <QtCore/QObject>

#include <memory>

namespace korva::db {

class ResultSet;

// Reads the rest of a result set on a row thread and hands the rows
// over in batches, through the event loop of the thread that owns the loader,
// so a window stays responsive while a large or remote table loads. Each
// load has a generation: batches of a load that was stopped or replaced are
// dropped, never added to a later result set.
class RowLoader : public QObject
{
    Q_OBJECT

public:
    explicit RowLoader(QObject *parent = nullptr);
    ~RowLoader() override; // stops the load and waits for the thread

    // Starts reading rows (in batches of up to batchRows, handed over at
    // least every few tens of milliseconds or when a batch fills its
    // chunk); stops any earlier load.
    void start(std::shared_ptr<ResultSet> rows, qsizetype batchRows = 200000);
    // Stops the current load; what it has not handed over is dropped.
    void stop();
    bool isRunning() const;
    quint64 generation() const;

Q_SIGNALS:
    void rowsAdded(); // a batch joined the result set
    void finished();  // the result set is complete, or failed (its lastError says)

private:
    void drain();

    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace korva::db
