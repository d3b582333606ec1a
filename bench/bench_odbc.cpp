// 100,000 rows of the demo's report table through the ODBC engine (unixODBC
// and the SQLite ODBC driver), against the same rows read in the same run by a
// plain loop that fetches them in blocks into bound character buffers. Five
// runs of each, taking turns; the medians, and the load average beside them.
//
//   bench_odbc [--root DIR] [--rows N]
#include "platform/allocator.h"
#include "benchdata.h"
#include "demo/demoinstallation.h"
#include "platform/database.h"
#include "platform/serverdirectory.h"

#include <QtCore/QCoreApplication>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <vector>

using namespace korva;

int main(int argc, char **argv)
{
    korva::setUpAllocator(); // as the program does
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    QString sizeText;
    const QString root = bench::parseDemoRoot(app, temp,
                                              {QStringLiteral("rows"), QStringLiteral("report rows"),
                                               QStringLiteral("n"), QStringLiteral("100000")},
                                              &sizeText);
    const QString envFolder = root + QStringLiteral("-env");
    bench::isolate(envFolder);
    const QString driver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");
    if (!QFile::exists(driver)) {
        std::fprintf(stderr, "the SQLite ODBC driver (libsqliteodbc) is not installed\n");
        return 1;
    }
    QDir().mkpath(envFolder);
    {
        QFile ini(envFolder + QStringLiteral("/odbcinst.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[KORVA SQLite]\nDriver=" + driver.toUtf8() + "\n");
    }
    qputenv("ODBCSYSINI", envFolder.toLocal8Bit());
    const qint64 rows = sizeText.toLongLong();
    if (!QFile::exists(root + QStringLiteral("/data/OrvexRptDB.sqlite"))) {
        demo::DemoOptions o;
        o.root = root;
        o.subscribers = 50;
        o.reportRows = rows;
        QString error;
        if (!demo::createDemoInstallation(o, &error)) {
            std::fprintf(stderr, "demo installation failed: %s\n", qPrintable(error));
            return 1;
        }
    }
    db::registerOdbcServer(QStringLiteral("odbcbench"), QString(), QStringLiteral("KORVA SQLite"), QString(),
                           QStringLiteral("sqlite"), root + QStringLiteral("/data"));
    const QString table = QString::fromLatin1(demo::kReportCallHistoryTable);
    const QString sql = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" LIMIT %1").arg(rows);
    const QString conn = QStringLiteral("Driver={SQL Server};server=odbcbench;database=OrvexRptDB");

    // Baseline: the rows fetched in blocks into bound character buffers,
    // every cell read. The block size is the fastest of a few, tried first.
    const QByteArray plainConnection =
        "Driver=KORVA SQLite;Database=" + QFile::encodeName(root + QStringLiteral("/data/OrvexRptDB.sqlite"));
    auto plainWith = [&](SQLULEN blockRows) {
        const bench::FetchLoopResult r = bench::boundFetchLoop(plainConnection, sql.toUtf8(), 256, blockRows);
        if (r.ns < 0) {
            std::fprintf(stderr, "the baseline cannot connect\n");
            std::exit(1);
        }
        return r;
    };
    QString tried;
    const SQLULEN blockRows = bench::fastestBlockRows([&](SQLULEN n) { return plainWith(n).ns; }, 3, &tried);
    quint64 checksum = 0;
    auto plain = [&](qint64 *count) {
        const bench::FetchLoopResult r = plainWith(blockRows);
        *count = r.rows;
        checksum ^= r.checksum;
        return r.ns;
    };
    auto engine = [&](qint64 *count) {
        db::Error e;
        QElapsedTimer t;
        t.start();
        auto rs = db::openResultSet(conn, sql, &e);
        if (!rs) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description));
            std::exit(1);
        }
        rs->fetchAll();
        const qint64 ns = t.nsecsElapsed();
        *count = rs->fetchedCount();
        return ns;
    };
    std::vector<qint64> plains, engines;
    qint64 plainRows = 0, engineRows = 0;
    const double loadBefore = bench::oneMinuteLoad();
    for (int run = 0; run < 5; ++run) {
        plains.push_back(plain(&plainRows));
        engines.push_back(engine(&engineRows));
    }
    const double loadAfter = bench::oneMinuteLoad();
    std::sort(plains.begin(), plains.end());
    std::sort(engines.begin(), engines.end());
    std::printf("rows                         %lld (plain loop %lld)\n", static_cast<long long>(engineRows),
                static_cast<long long>(plainRows));
    std::printf("block size of the plain loop %lld rows, the fastest of %s (medians of 3)\n",
                static_cast<long long>(blockRows), qPrintable(tried));
    std::printf("plain bound block-fetch loop %9.1f ms (median of 5; %.1f to %.1f; cells' sum %llx)\n",
                bench::ms(plains[2]), bench::ms(plains.front()), bench::ms(plains.back()),
                static_cast<unsigned long long>(checksum));
    std::printf("ODBC engine into row store   %9.1f ms (median of 5; %.1f to %.1f)\n", bench::ms(engines[2]),
                bench::ms(engines.front()), bench::ms(engines.back()));
    std::printf("ratio engine / plain         %9.2f   (target <= 1.10; load average %.2f, %.2f after)\n",
                double(engines[2]) / double(plains[2]), loadBefore, loadAfter);
    return 0;
}
