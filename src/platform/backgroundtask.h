#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace korva {

// Runs a function on one of the database threads.
void runOnDatabaseThread(std::function<void()> work);
// Waits until no database work is running or queued (tests, shutdown).
void waitForDatabaseThreads();

// A piece of work that runs on a database thread and whose result is handed
// to a callback on the receiver's thread, through its event loop. A window
// keeps one per kind of request: starting it again, or cancelling it, drops
// the result of the run before, which never reaches the callback. A step
// that cannot go on without the result takes it at once with finishNow().
template<class Result>
class BackgroundTask
{
public:
    BackgroundTask() = default;
    ~BackgroundTask() { cancel(); }
    BackgroundTask(const BackgroundTask &) = delete;
    BackgroundTask &operator=(const BackgroundTask &) = delete;

    void start(QObject *receiver, std::function<Result()> work, std::function<void(Result)> done)
    {
        cancel();
        auto run = std::make_shared<Run>();
        run->done = std::move(done);
        m_run = run;
        runOnDatabaseThread([run, work = std::move(work), receiver = QPointer<QObject>(receiver)]() mutable {
            {
                std::lock_guard lock(run->mutex);
                if (run->cancelled)
                    return;
            }
            Result result = work();
            {
                std::lock_guard lock(run->mutex);
                run->result = std::move(result);
                run->finished = true;
            }
            run->ready.notify_all();
            if (receiver)
                QMetaObject::invokeMethod(receiver.data(), [run] { deliver(run); }, Qt::QueuedConnection);
        });
    }

    // A run has been started and its result not yet handed over (nor dropped).
    bool isPending() const
    {
        if (!m_run)
            return false;
        std::lock_guard lock(m_run->mutex);
        return !m_run->delivered && !m_run->cancelled;
    }

    void cancel()
    {
        // Take the run out first: this may hold its last reference, and the
        // lock must be released before the run (and its mutex) goes away.
        const std::shared_ptr<Run> run = std::move(m_run);
        if (!run)
            return;
        std::lock_guard lock(run->mutex);
        run->cancelled = true;
    }

    // Waits for the result and hands it over here and now. False when no run was pending.
    bool finishNow()
    {
        const std::shared_ptr<Run> run = m_run;
        if (!run)
            return false;
        {
            std::unique_lock lock(run->mutex);
            if (run->delivered || run->cancelled)
                return false;
            run->ready.wait(lock, [&] { return run->finished; });
        }
        return deliver(run);
    }

private:
    struct Run
    {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<Result> result;
        std::function<void(Result)> done;
        bool finished = false;
        bool delivered = false;
        bool cancelled = false;
    };

    static bool deliver(const std::shared_ptr<Run> &run)
    {
        std::optional<Result> result;
        {
            std::lock_guard lock(run->mutex);
            if (run->delivered || run->cancelled || !run->finished)
                return false;
            run->delivered = true;
            result = std::move(run->result);
        }
        run->done(std::move(*result));
        return true;
    }

    std::shared_ptr<Run> m_run;
};

} // namespace korva
