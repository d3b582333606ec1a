#include "platform/rowloader.h"

#include "platform/backgroundtask.h"
#include "platform/resultset.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QPointer>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace korva::db {

namespace {

// How long the thread reads before it hands a batch over: short enough for
// the first rows to show at once, long enough that the window does little work.
constexpr qint64 kHandOverMs = 40;
constexpr qsizetype kStepRows = 1000;
// Every batch is read into one chunk of the size stores reuse,
// and handed over when that is full: a load that replaces another writes
// into the memory the other let go, instead of memory new from the system,
// which costs a page fault per 4 KB (microseconds each in a virtual machine).
constexpr qsizetype kBatchChunk = RowStore::kReusedChunk;

} // namespace

struct RowLoader::Shared : std::enable_shared_from_this<RowLoader::Shared>
{
    struct Batch
    {
        quint64 generation = 0;
        std::shared_ptr<ResultSet> target;
        RowStore rows;
        Error error;
        bool last = false;
    };

    std::mutex mutex;
    std::condition_variable readerDone;
    std::shared_ptr<ResultSet> job; // the result set being read, null when none
    quint64 generation = 0;         // of the current load
    qsizetype batchRows = 20000;
    bool readerActive = false; // a row thread is reading for this loader
    bool reading = false;      // the reader is inside a fetch
    bool quit = false;
    bool drainPosted = false;
    std::deque<Batch> ready;
    QPointer<RowLoader> owner; // read only on the owner's thread

    // Called with the mutex held, on the owner's thread.
    void wakeReader(const std::shared_ptr<Shared> &self)
    {
        if (readerActive)
            return;
        readerActive = true;
        runOnDatabaseThread([self] { self->read(); }, Lane::Rows);
    }

    // Reads batches on a row thread for as long as there is a load.
    void read()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            if (quit || !job) {
                readerActive = false;
                readerDone.notify_all();
                return;
            }
            const std::shared_ptr<ResultSet> rows = job;
            const quint64 gen = generation;
            const qsizetype limit = batchRows;
            reading = true;
            lock.unlock();

            Batch batch;
            batch.generation = gen;
            batch.target = rows;
            // Even the first: a small result gives the chunk back when the
            // batch is cut to its size, and its pages untouched cost nothing.
            batch.rows.setFirstChunkSize(kBatchChunk);
            QElapsedTimer clock;
            clock.start();
            qsizetype read = 0;
            for (;;) {
                const qsizetype n = rows->fetchBatch(batch.rows, std::min(kStepRows, limit - read), &batch.error);
                read += n;
                if (batch.error || rows->sourceAtEnd()) {
                    batch.last = true;
                    break;
                }
                if (read >= limit || clock.elapsed() >= kHandOverMs || n == 0)
                    break;
                // Full: another step might not fit (rows' sizes vary, so twice an average step).
                if (batch.rows.roomLeft() < batch.rows.contentBytes() / read * kStepRows * 2)
                    break;
                std::lock_guard check(mutex);
                if (generation != gen)
                    break;
            }
            batch.rows.shrinkToFit();

            lock.lock();
            reading = false;
            const bool current = generation == gen;
            if (current) {
                if (batch.last)
                    job.reset();
                ready.push_back(std::move(batch));
                if (!drainPosted) {
                    drainPosted = true;
                    // The owner is looked at on its own thread only.
                    if (QCoreApplication *app = QCoreApplication::instance())
                        QMetaObject::invokeMethod(
                            app,
                            [self = shared_from_this()] {
                                if (self->owner)
                                    self->owner->drain();
                            },
                            Qt::QueuedConnection);
                }
            }
        }
    }
};

RowLoader::RowLoader(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

RowLoader::~RowLoader()
{
    // What the reader is reading is cancelled, so it ends at its next step;
    // it is waited for, so that nothing it reads outlives the loader's owner
    // (or the program, at exit).
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->job)
        m_shared->job->cancel();
    m_shared->quit = true;
    m_shared->owner = nullptr;
    ++m_shared->generation;
    m_shared->readerDone.wait(lock, [this] { return !m_shared->readerActive; });
}

void RowLoader::start(std::shared_ptr<ResultSet> rows, qsizetype batchRows)
{
    stop();
    if (!rows || rows->sourceAtEnd())
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->job = std::move(rows);
        m_shared->batchRows = std::max<qsizetype>(1, batchRows);
        m_shared->wakeReader(m_shared);
    }
}

void RowLoader::stop()
{
    std::lock_guard lock(m_shared->mutex);
    ++m_shared->generation;
    if (m_shared->job) {
        // Whatever it is reading now is no longer wanted; a statement on a
        // remote server stops there instead of running to its end.
        if (m_shared->reading)
            m_shared->job->cancel();
        m_shared->job.reset();
    }
    m_shared->ready.clear();
}

bool RowLoader::isRunning() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->job != nullptr || !m_shared->ready.empty();
}

quint64 RowLoader::generation() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->generation;
}

void RowLoader::drain()
{
    std::deque<Shared::Batch> batches;
    quint64 current = 0;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->drainPosted = false;
        batches.swap(m_shared->ready);
        current = m_shared->generation;
    }
    bool added = false;
    bool done = false;
    for (Shared::Batch &b : batches) {
        if (b.generation != current || !b.target)
            continue; // a load that was stopped or replaced meanwhile
        if (b.rows.rowCount() > 0) {
            b.target->appendBatch(std::move(b.rows));
            added = true;
        }
        if (b.error)
            b.target->fail(b.error);
        done = done || b.last;
    }
    if (added)
        Q_EMIT rowsAdded();
    if (done)
        Q_EMIT finished();
}

} // namespace korva::db
