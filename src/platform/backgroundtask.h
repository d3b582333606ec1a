#pragma once

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace korva {

// Which threads run a piece of work. Every thread the program starts for
// work of its own is one of these.
enum class Lane {
    Query, // the windows' requests to a database (a few threads)
    Hover, // the same threads, taken only when no Query work waits
    Rows,  // reading whole result sets: long, so on threads of their own, below the windows' priority
};

// Runs a function on a thread of the lane.
void runOnDatabaseThread(std::function<void()> work, Lane lane = Lane::Query);
// How many Query (and Hover) threads there are at the most.
int queryThreadCount();
// Waits until no work is running or queued on any lane (tests, shutdown).
void waitForDatabaseThreads();
// Starts work on a Query thread when one is free at once; otherwise it runs
// on the caller's thread when its result is asked for, so that work waiting
// for its own helper can never hold every thread.
bool tryRunOnDatabaseThread(const std::function<void()> &work);

template<class F>
auto runAlongside(F work) -> std::future<std::invoke_result_t<F>>
{
    using R = std::invoke_result_t<F>;
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(work));
    std::future<R> result = task->get_future();
    if (!tryRunOnDatabaseThread([task] { (*task)(); }))
        return std::async(std::launch::deferred, [task, r = std::move(result)]() mutable {
            (*task)();
            return r.get();
        });
    return result;
}

// What a started run reads to learn that its result is no longer wanted;
// work of several steps looks at it between them and ends early.
class StopToken
{
public:
    StopToken() : m_flag(std::make_shared<std::atomic<bool>>(false)) {}
    bool stopRequested() const { return m_flag->load(std::memory_order_relaxed); }
    void requestStop() const { m_flag->store(true, std::memory_order_relaxed); }

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};

// A piece of work that runs on a database thread and whose result is handed
// to a callback on the receiver's thread (the windows' thread), through its
// event loop. A window keeps one per kind of request. Starting it again, or
// cancelling it, drops the result of the run before: a run that has not
// begun never runs, a running one is told through its StopToken, and its
// result never reaches the callback. Nor does it when the receiver is gone.
// The work may take a `const StopToken &` or nothing.
template<class Result>
class BackgroundTask
{
public:
    BackgroundTask() = default;
    ~BackgroundTask() { cancel(); }
    BackgroundTask(const BackgroundTask &) = delete;
    BackgroundTask &operator=(const BackgroundTask &) = delete;

    template<class Work>
    void start(QObject *receiver, Work work, std::function<void(Result)> done, Lane lane = Lane::Query)
    {
        cancel();
        auto run = std::make_shared<Run>();
        run->done = std::move(done);
        run->receiver = receiver;
        m_run = run;
        runOnDatabaseThread(
            [run, work = std::move(work)]() mutable {
                if (run->stop.stopRequested())
                    return;
                std::optional<Result> result;
                if constexpr (std::is_invocable_v<Work &, const StopToken &>)
                    result.emplace(work(run->stop));
                else
                    result.emplace(work());
                if (run->stop.stopRequested())
                    return;
                {
                    std::lock_guard lock(run->mutex);
                    run->result = std::move(result);
                }
                // Delivered by the application object, which outlives every
                // window: whether the receiver still exists is asked on the
                // receiver's own thread, never here.
                if (QCoreApplication *app = QCoreApplication::instance())
                    QMetaObject::invokeMethod(
                        app, [run] { deliver(run); }, Qt::QueuedConnection);
            },
            lane);
    }

    // A run has been started and its result not yet handed over (nor dropped).
    bool isPending() const { return m_run && !m_run->delivered && !m_run->stop.stopRequested(); }

    void cancel()
    {
        const std::shared_ptr<Run> run = std::move(m_run);
        if (run)
            run->stop.requestStop();
    }

private:
    struct Run
    {
        std::mutex mutex; // the result, written on the worker, taken on the receiver's thread
        std::optional<Result> result;
        std::function<void(Result)> done;
        QPointer<QObject> receiver; // read only on the receiver's thread
        StopToken stop;
        bool delivered = false; // the receiver's thread only
    };

    static void deliver(const std::shared_ptr<Run> &run)
    {
        if (run->delivered || run->stop.stopRequested() || !run->receiver)
            return;
        std::optional<Result> result;
        {
            std::lock_guard lock(run->mutex);
            result = std::move(run->result);
        }
        if (!result)
            return;
        run->delivered = true;
        // The callback may start this task again, which releases the run.
        const std::function<void(Result)> done = std::move(run->done);
        done(std::move(*result));
    }

    std::shared_ptr<Run> m_run;
};

// Runs work on a database thread and answers its result, running the event
// loop meanwhile: the program paints and answers while a remote server is
// asked. What could re-enter the caller (its window's input) the caller
// holds off for the length of the call. When the program is told to quit
// meanwhile, the result is a default one.
template<class Work>
auto awaitOnDatabaseThread(Work work) -> std::invoke_result_t<Work>
{
    using Result = std::invoke_result_t<Work>;
    QEventLoop loop;
    std::optional<Result> result;
    BackgroundTask<Result> task;
    task.start(&loop, std::move(work), [&](Result r) {
        result.emplace(std::move(r));
        loop.quit();
    });
    loop.exec();
    return result ? std::move(*result) : Result{};
}

} // namespace korva
