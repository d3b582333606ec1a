#include "platform/backgroundtask.h"

#include <QtCore/QThreadPool>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace korva {

namespace {

// Their own threads: a query that waits on a remote server must not hold up
// the program's other uses of Qt's global pool. They mostly wait on the
// network, so there are more of them than processors: a table load and its
// key lookup, both waiting on a server slow to answer, leave room for the
// windows' other requests.
constexpr int kQueryThreads = 8;

QThreadPool &queryPool()
{
    static QThreadPool *threads = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(kQueryThreads);
        p->setObjectName(QStringLiteral("databaseThreads"));
        return p;
    }();
    return *threads;
}

// One thread per result set being read; they come and go with the loads.
QThreadPool &rowPool()
{
    static QThreadPool *threads = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(16);
        p->setObjectName(QStringLiteral("rowThreads"));
        return p;
    }();
    return *threads;
}

// Niceness of the row threads, above the windows' thread's own: where both
// want the one processor that is free, the windows answer the user first
// (three to one). Not more: a busy machine would starve the loading itself.
constexpr int kRowThreadNice = 5;

constexpr int kQueryPriority = 1;
constexpr int kHoverPriority = 0;

} // namespace

void runOnDatabaseThread(std::function<void()> work, Lane lane)
{
    switch (lane) {
    case Lane::Query:
        queryPool().start(std::move(work), kQueryPriority);
        break;
    case Lane::Hover:
        queryPool().start(std::move(work), kHoverPriority);
        break;
    case Lane::Rows:
        rowPool().start([work = std::move(work)] {
            // Only ever raised, and these threads run nothing else.
            ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), kRowThreadNice);
            work();
        });
        break;
    }
}

int queryThreadCount() { return kQueryThreads; }

bool tryRunOnDatabaseThread(const std::function<void()> &work) { return queryPool().tryStart(work); }

void waitForDatabaseThreads()
{
    queryPool().waitForDone();
    rowPool().waitForDone();
}

} // namespace korva
