#include "platform/backgroundtask.h"

#include <QtTest/QTest>

#include <atomic>
#include <future>

using namespace korva;

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
        task.start(&receiver, [] { return 42; }, [&](int r) { got = r; });
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
        task.start(&receiver, [] { return 7; }, [&](int r) { got = r; });
        QTRY_COMPARE(got, 7);
        waitForDatabaseThreads();
        task.cancel();
        task.cancel();

        // Finished but not yet delivered: the result is dropped.
        int late = 0;
        task.start(&receiver, [] { return 8; }, [&](int r) { late = r; });
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
        task.start(&receiver, [open] { open.wait(); return 1; }, [&](int r) { got << r; });
        task.start(&receiver, [] { return 2; }, [&](int r) { got << r; });
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
        for (int i = 0; i < 8; ++i)
            runOnDatabaseThread([open, &busy] { ++busy; open.wait(); });
        QTRY_VERIFY(busy.load() >= 1);

        QObject receiver;
        std::atomic<bool> ran{false};
        {
            BackgroundTask<int> task;
            task.start(&receiver, [&ran] { ran = true; return 1; }, [](int) {});
            task.cancel();
        }
        gate.set_value();
        waitForDatabaseThreads();
        QVERIFY(!ran.load());
    }

    void finishNowTakesResultAndReceiverGoneDropsIt()
    {
        QObject receiver;
        BackgroundTask<int> task;
        int got = 0;
        task.start(&receiver, [] { QThread::msleep(20); return 5; }, [&](int r) { got = r; });
        QVERIFY(task.finishNow());
        QCOMPARE(got, 5);
        QVERIFY(!task.finishNow());

        int never = 0;
        {
            auto *gone = new QObject;
            BackgroundTask<int> other;
            other.start(gone, [] { return 9; }, [&](int r) { never = r; });
            delete gone;
            waitForDatabaseThreads();
        }
        QCoreApplication::processEvents();
        QCOMPARE(never, 0);
    }
};

QTEST_GUILESS_MAIN(tst_BackgroundTask)
#include "tst_backgroundtask.moc"
