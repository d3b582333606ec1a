#include "platform/backgroundtask.h"

#include <QtTest/QTest>

#include <atomic>
#include <future>
#include <mutex>

using namespace korva;

namespace {

// Every Query thread taken by work that waits until release().
struct ThreadsTaken
{
    std::promise<void> gate;
    std::atomic<int> busy{0};
    ThreadsTaken()
    {
        const std::shared_future<void> open = gate.get_future().share();
        for (int i = 0; i < queryThreadCount(); ++i)
            runOnDatabaseThread([open, this] {
                ++busy;
                open.wait();
            });
    }
    // A test that fails half way must not leave the threads taken.
    ~ThreadsTaken()
    {
        if (!released)
            release();
    }
    void release()
    {
        released = true;
        gate.set_value();
        waitForDatabaseThreads();
    }
    bool released = false;
};

} // namespace

// The window-side contract of a background task: results reach the callback
// through the event loop, a later start or a cancel drops the earlier result,
// and a run cancelled before a thread took it never runs. Run under the
// address sanitizer these also catch the task touching a run it freed.
class tst_BackgroundTask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resultReachesCallbackThroughEventLoop()
    {
        QObject receiver;
        BackgroundTask<int> task;
        int got = 0;
        task.start(
            &receiver, [] { return 42; }, [&](int r) { got = r; });
        QTRY_COMPARE(got, 42);
        QVERIFY(!task.isPending());
    }

    void cancelAfterDeliveryAndAfterFinish()
    {
        // The delivered run is held by the task alone: cancelling it then
        // must not unlock a mutex it has just freed.
        QObject receiver;
        BackgroundTask<int> task;
        int got = 0;
        task.start(
            &receiver, [] { return 7; }, [&](int r) { got = r; });
        QTRY_COMPARE(got, 7);
        waitForDatabaseThreads();
        task.cancel();
        task.cancel();

        // Finished but not yet delivered: the result is dropped.
        int late = 0;
        task.start(
            &receiver, [] { return 8; }, [&](int r) { late = r; });
        waitForDatabaseThreads();
        task.cancel();
        QCoreApplication::processEvents();
        QTest::qWait(20);
        QCOMPARE(late, 0);
    }

    void restartDropsEarlierResult()
    {
        QObject receiver;
        BackgroundTask<int> task;
        std::promise<void> gate;
        std::shared_future<void> open = gate.get_future().share();
        QList<int> got;
        task.start(
            &receiver,
            [open] {
                open.wait();
                return 1;
            },
            [&](int r) { got << r; });
        task.start(
            &receiver, [] { return 2; }, [&](int r) { got << r; });
        gate.set_value();
        QTRY_COMPARE(got, QList<int>{2});
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QCOMPARE(got, QList<int>{2});
    }

    void cancelledBeforeStartNeverRuns()
    {
        // Fill every database thread so the next run has to queue.
        std::promise<void> gate;
        std::shared_future<void> open = gate.get_future().share();
        std::atomic<int> busy{0};
        for (int i = 0; i < 2 * queryThreadCount(); ++i)
            runOnDatabaseThread([open, &busy] {
                ++busy;
                open.wait();
            });
        QTRY_VERIFY(busy.load() >= 1);

        QObject receiver;
        std::atomic<bool> ran{false};
        {
            BackgroundTask<int> task;
            task.start(
                &receiver,
                [&ran] {
                    ran = true;
                    return 1;
                },
                [](int) {});
            task.cancel();
        }
        gate.set_value();
        waitForDatabaseThreads();
        QVERIFY(!ran.load());
    }

    // The receiver goes while its task runs: first with the task outliving it,
    // then with the task one of its members. Neither callback may run; under
    // the address sanitizer a run touching the freed window fails here.
    void receiverDestroyedWhileItsTaskRuns()
    {
        std::promise<void> gate;
        std::shared_future<void> open = gate.get_future().share();
        std::atomic<bool> started{false};
        int never = 0;
        BackgroundTask<int> outliving;
        {
            auto *gone = new QObject;
            outliving.start(
                gone,
                [open, &started] {
                    started = true;
                    open.wait();
                    return 9;
                },
                [&](int r) { never = r; });
            QTRY_VERIFY(started.load());
            delete gone;
        }
        gate.set_value();
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QCOMPARE(never, 0);

        struct Window : QObject
        {
            BackgroundTask<QString> task;
            QString shown;
        };
        std::promise<void> gate2;
        std::shared_future<void> open2 = gate2.get_future().share();
        started = false;
        auto *w = new Window;
        w->task.start(
            w,
            [open2, &started] {
                started = true;
                open2.wait();
                return QStringLiteral("late");
            },
            [w](QString s) { w->shown = s; });
        QTRY_VERIFY(started.load());
        delete w;
        gate2.set_value();
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
    }

    // A started run is told that nobody wants its result any more, and work of
    // several steps stops early.
    void startedRunIsToldToStop()
    {
        QObject receiver;
        BackgroundTask<int> task;
        std::atomic<int> steps{0};
        std::atomic<bool> started{false};
        int got = -1;
        task.start(
            &receiver,
            [&](const StopToken &stop) {
                started = true;
                while (!stop.stopRequested() && steps < 1000) {
                    ++steps;
                    QThread::msleep(2);
                }
                return int(steps);
            },
            [&](int r) { got = r; });
        QTRY_VERIFY(started.load());
        task.cancel();
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QVERIFY(steps.load() < 1000);
        QCOMPARE(got, -1);
        QVERIFY(!task.isPending());
    }

    // Hover work waits behind the windows' requests: a queued table load goes
    // first even when it was asked for after a crowd of hovers.
    void queryWorkGoesBeforeWaitingHoverWork()
    {
        std::mutex m;
        QStringList order;
        // Every thread taken; then a single one freed, which takes the
        // waiting work one piece after another, in the order the pool hands
        // it out. (Freeing them all at once would let a hover piece taken
        // second note itself first.)
        struct Blocked
        {
            std::promise<void> oneGate, restGate;
            std::shared_future<void> one = oneGate.get_future().share();
            std::shared_future<void> rest = restGate.get_future().share();
            bool oneOpen = false, restOpen = false;
            void openOne()
            {
                if (!std::exchange(oneOpen, true))
                    oneGate.set_value();
            }
            void openRest()
            {
                if (!std::exchange(restOpen, true))
                    restGate.set_value();
            }
            ~Blocked() // also when the test fails half way
            {
                openOne();
                openRest();
                waitForDatabaseThreads();
            }
        } blocked;
        std::atomic<int> busy{0};
        for (int i = 0; i < queryThreadCount(); ++i)
            runOnDatabaseThread([gate = i == 0 ? blocked.one : blocked.rest, &busy] {
                ++busy;
                gate.wait();
            });
        QTRY_COMPARE(busy.load(), queryThreadCount());
        for (int i = 0; i < 6; ++i)
            runOnDatabaseThread(
                [&] {
                    std::lock_guard l(m);
                    order << QStringLiteral("hover");
                },
                Lane::Hover);
        runOnDatabaseThread(
            [&] {
                std::lock_guard l(m);
                order << QStringLiteral("query");
            },
            Lane::Query);
        blocked.openOne();
        const auto done = [&] {
            std::lock_guard l(m);
            return order.size();
        };
        QTRY_COMPARE(done(), qsizetype(7));
        blocked.openRest();
        std::lock_guard l(m);
        QCOMPARE(order.first(), QStringLiteral("query"));
    }

    // Work that needs a helper's result never deadlocks, even with every
    // thread taken by work of the same kind.
    void alongsideWorkRunsHereWhenNoThreadIsFree()
    {
        ThreadsTaken taken;
        QTRY_COMPARE(taken.busy.load(), queryThreadCount());
        std::future<QString> f = runAlongside([] { return QStringLiteral("key"); });
        QCOMPARE(f.get(), QStringLiteral("key"));
        taken.release();
        QCOMPARE(runAlongside([] { return QStringLiteral("pooled"); }).get(), QStringLiteral("pooled"));
    }
};

QTEST_GUILESS_MAIN(tst_BackgroundTask)
#include "tst_backgroundtask.moc"
