// Loads the demo's million-row report table through the row grid's own code
// path and, as the baseline, scans the same query with the raw SQLite C API.
//
//   bench_rowload [--root DIR] [--rows N]
//
// A root that already holds a demo installation with enough rows is reused.
#include "benchsupport.h"
#include "demo/demoinstallation.h"
#include "main/databases.h"
#include "main/rowquery.h"
#include "platform/database.h"
#include "platform/sqlquote.h"
#include "platform/tsqlcompat.h"
#include "widgets/gridmodel.h"
#include "common/recordingmessenger.h"
#include "main/frmmain.h"
#include "widgets/grid.h"

#include <QtGui/QAction>

#include <QtCore/QCommandLineParser>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <sqlite3.h>

using namespace korva;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    QString sizeText;
    const QString root = bench::parseDemoRoot(app, temp, {QStringLiteral("rows"), QStringLiteral("report rows"), QStringLiteral("n"), QStringLiteral("1000000")}, &sizeText);
    bench::isolate(root + QStringLiteral("-env"));
    const qint64 rows = sizeText.toLongLong();
    const QString table = QString::fromLatin1(demo::kReportCallHistoryTable);
    const QString dbFile = root + QStringLiteral("/data/OrvexRptDB.sqlite");

    bool reuse = false;
    if (QFile::exists(dbFile)) {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(dbFile).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt *st = nullptr;
            const QByteArray q = ("SELECT count(*) FROM " + table).toUtf8();
            if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                reuse = sqlite3_column_int64(st, 0) >= rows;
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
    }
    QElapsedTimer t;
    if (!reuse) {
        t.start();
        demo::DemoOptions o;
        o.root = root;
        o.subscribers = 50;
        o.reportRows = rows;
        QString error;
        if (!demo::createDemoInstallation(o, &error)) {
            std::fprintf(stderr, "demo installation failed: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("demo installation with %lld report rows built in %.1f s\n", static_cast<long long>(rows), t.elapsed() / 1000.0);
    }
    db::registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"), root + QStringLiteral("/data"));

    // The row query exactly as the main window composes it for this table.
    const QString conn = composeConnectionString(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"),
                                                 QStringLiteral("OrvexRptDB"));
    db::Error e;
    QStringList columns;
    {
        auto cols = db::openResultSet(conn, QStringLiteral("select name as 'Column Name' from syscolumns where id=object_id(")
                                                + sql::quoteLiteral(table) + QStringLiteral(") ORDER By name"), &e);
        if (!cols) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description));
            return 1;
        }
        for (cols->moveFirst(); !cols->eof(); cols->moveNext())
            columns << cols->field(0).toString();
    }
    const QString pk = db::sessionFor(conn, &e)->primaryKeyColumn(table, &e);
    const QString sql = composeRowQuery(composeSelectList(columns, pk, true, true), table, QString());
    std::printf("query: %s\n", qPrintable(sql));

    // Baseline: the raw C API, reading every cell's text.
    qint64 rawNs = 0;
    qint64 cellBytes = 0;
    qint64 rawRows = 0;
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(dbFile).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        const QByteArray q = db::tsql::rewrite(sql, {QStringLiteral("OrvexRptDB"), {}}).toUtf8();
        sqlite3_stmt *st = nullptr;
        t.start();
        sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr);
        const int n = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL)
                    continue;
                sqlite3_column_text(st, i);
                cellBytes += sqlite3_column_bytes(st, i);
            }
            ++rawRows;
        }
        rawNs = t.nsecsElapsed();
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    // The grid's path: open the result set, show the first batch, load the rest in batches.
    const qint64 rssBefore = bench::currentRss();
    GridModel model;
    t.start();
    std::shared_ptr<db::ResultSet> rs = db::openResultSet(conn, sql, &e);
    if (!rs) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description));
        return 1;
    }
    model.setResultSet(rs);
    const qint64 firstNs = t.nsecsElapsed();
    while (model.isLoading())
        app.processEvents(); // batches arrive from the event loop as they do in the window
    const qint64 fullNs = t.nsecsElapsed();
    const qint64 rssPeak = bench::peakRss();

    std::printf("rows                         %lld (raw scan %lld)\n", static_cast<long long>(model.rowCount()), static_cast<long long>(rawRows));
    std::printf("raw SQLite scan              %9.1f ms\n", bench::ms(rawNs));
    std::printf("grid load (all rows)         %9.1f ms\n", bench::ms(fullNs));
    std::printf("ratio grid / raw             %9.2f   (target <= 2.00)\n", double(fullNs) / double(rawNs));
    std::printf("first batch shown after      %9.1f ms (target <= 200)\n", bench::ms(firstNs));
    std::printf("cell text                    %9.1f MB\n", cellBytes / 1048576.0);
    std::printf("row store allocated          %9.1f MB  ratio %.2f (target <= 2.00)\n",
                rs->rows().allocatedBytes() / 1048576.0, double(rs->rows().allocatedBytes()) / double(cellBytes));
    std::printf("process RSS growth (peak)    %9.1f MB  ratio %.2f\n", (rssPeak - rssBefore) / 1048576.0,
                double(rssPeak - rssBefore) / double(cellBytes));
    rs.reset();
    model.clear();

    // The whole window: from choosing the table in the table list to its first screen of rows.
    test::RecordingMessenger msg;
    WindowContext ctx(msg);
    frmMain w(ctx);
    if (!w.Form_Load(QString()))
        return 1;
    w.show();
    app.processEvents();
    w.findChild<QAction *>(QStringLiteral("mnuOrvexRptDb"))->trigger();
    int reportRow = -1;
    for (int r = 1; r < w.tablesGrid()->rows(); ++r)
        if (w.tablesGrid()->textMatrix(r, 1).compare(table, Qt::CaseInsensitive) == 0)
            reportRow = r;
    if (reportRow < 0) {
        std::fprintf(stderr, "no %s in the table list\n", qPrintable(table));
        return 1;
    }
    t.start();
    w.tablesGrid()->setCurrentCell(reportRow, 1);
    w.dataGrid()->repaint();
    const qint64 screenNs = t.nsecsElapsed();
    qint64 longestGapNs = 0;
    QElapsedTimer gap;
    gap.start();
    while (w.dataGrid()->gridModel()->isLoading()) {
        app.processEvents();
        longestGapNs = std::max(longestGapNs, gap.nsecsElapsed());
        gap.restart();
    }
    const qint64 windowFullNs = t.nsecsElapsed();
    std::printf("window: first screen after   %9.1f ms (target <= 200)\n", bench::ms(screenNs));
    std::printf("window: all rows after       %9.1f ms, row count box \"%s\"\n", bench::ms(windowFullNs), qPrintable(w.findChild<QLineEdit *>(QStringLiteral("txtRows"))->text()));
    std::printf("window: longest event gap    %9.1f ms while loading\n", bench::ms(longestGapNs));
    return 0;
}
