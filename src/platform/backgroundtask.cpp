#include "platform/backgroundtask.h"

#include <QtCore/QRunnable>
#include <QtCore/QThreadPool>

namespace korva {

namespace {

// Their own threads: a query that waits on a remote server must not hold up
// the program's other uses of Qt's global pool.
QThreadPool &pool()
{
    static QThreadPool *threads = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(4);
        p->setObjectName(QStringLiteral("databaseThreads"));
        return p;
    }();
    return *threads;
}

} // namespace

void runOnDatabaseThread(std::function<void()> work) { pool().start(std::move(work)); }

void waitForDatabaseThreads() { pool().waitForDone(); }

} // namespace korva
