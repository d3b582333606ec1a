// The program against a server that speaks TDS: FreeTDS's ODBC driver
// talking to the TDS stand-in on 127.0.0.1, which answers from a demo
// installation.
//
//  - the report table through the ODBC engine into the grid, against a plain
//    loop that fetches the rows in blocks into bound character buffers over
//    the same driver and stand-in (five runs of each, taking turns);
//  - with a delay per round trip added by the stand-in: the first screen of
//    a table after the click, the longest pause of the event loop while
//    100,000 rows load, the configuration tree, and hovering over 1,000
//    ObjectID cells twice.
//
// Each figure says how many round trips it took.
//
//   bench_freetds [--root DIR] [--rows N] [--delay MS]
#include "platform/allocator.h"
#include "benchdata.h"
#include "common/recordingmessenger.h"
#include "common/waitforrows.h"
#include "appcontext/windowcontext.h"
#include "config/frmorvexconfiguration.h"
#include "demo/demoinstallation.h"
#include "main/frmmain.h"
#include "navigation/references.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "platform/settings.h"
#include "tds/tdsstandin.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTableView>
#include <QtWidgets/QTreeWidget>

#include <sql.h>
#include <sqlext.h>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace korva;

namespace {

const QString kDriver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench-pw-1");


bool execFile(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK
              && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    korva::setUpAllocator(); // as the program does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    QString sizeText;
    const QString root = bench::parseDemoRoot(app, temp,
                                              {QStringLiteral("rows"), QStringLiteral("report rows"),
                                               QStringLiteral("n"), QStringLiteral("1000000")},
                                              &sizeText);
    const qint64 rows = sizeText.toLongLong();
    const QString envFolder = root + QStringLiteral("-env");
    bench::isolate(envFolder);
    if (!QFile::exists(kDriver)) {
        std::fprintf(stderr, "FreeTDS's ODBC driver (tdsodbc) is not installed\n");
        return 1;
    }
    QDir().mkpath(envFolder);
    {
        QFile ini(envFolder + QStringLiteral("/odbcinst.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[KORVA FreeTDS]\nDriver=" + kDriver.toUtf8() + "\n");
        QFile(envFolder + QStringLiteral("/odbc.ini")).open(QIODevice::WriteOnly);
        QFile(envFolder + QStringLiteral("/freetds.conf")).open(QIODevice::WriteOnly);
    }
    qputenv("ODBCSYSINI", envFolder.toLocal8Bit());
    qputenv("ODBCINI", (envFolder + QStringLiteral("/odbc.ini")).toLocal8Bit());
    qputenv("FREETDSCONF", (envFolder + QStringLiteral("/freetds.conf")).toLocal8Bit());
    qputenv("KORVA_PROGRAM_DIR", envFolder.toLocal8Bit());

    const QString table = QString::fromLatin1(demo::kReportCallHistoryTable);
    const QString reportFile = root + QStringLiteral("/data/OrvexRptDB.sqlite");
    if (bench::countRows(reportFile, table) < rows) {
        QElapsedTimer t;
        t.start();
        demo::DemoOptions o;
        o.root = root;
        o.subscribers = 300;
        o.reportRows = rows;
        QString error;
        if (!demo::createDemoInstallation(o, &error)) {
            std::fprintf(stderr, "demo installation failed: %s\n", qPrintable(error));
            return 1;
        }
        std::fprintf(stderr, "demo installation with %lld report rows built in %.1f s\n", static_cast<long long>(rows),
                     t.elapsed() / 1000.0);
    }
    if (bench::countRows(reportFile, QStringLiteral("tbl_ZBench100k")) < 0
        && !execFile(reportFile, QStringLiteral("CREATE TABLE tbl_ZBench100k AS SELECT * FROM ") + table
                                     + QStringLiteral(" LIMIT 100000"))) {
        std::fprintf(stderr, "cannot make tbl_ZBench100k\n");
        return 1;
    }

    tds::StandInOptions so;
    so.dataFolder = root + QStringLiteral("/data");
    so.user = kUser;
    so.password = kPassword;
    so.yieldToClient = true; // a server elsewhere does not take this machine's processors
    tds::StandIn server(so);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "stand-in: %s\n", qPrintable(error));
        return 1;
    }
    const QString serverName = QStringLiteral("127.0.0.1,%1").arg(server.port());
    {
        auto s = openSettings();
        s->setValue(QStringLiteral("Config/OdbcDriver"), QStringLiteral("KORVA FreeTDS"));
        s->setValue(QStringLiteral("Config/IntegratedLogin"), QStringLiteral("false"));
        s->sync();
    }
    db::setLoginPrompt([](const QString &, const QString &) {
        return std::optional<db::OdbcLogin>(db::OdbcLogin{false, kUser, kPassword});
    });
    const QString report =
        QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=OrvexRptDB").arg(serverName);
    const QString sql = QStringLiteral("SELECT * FROM [%1]").arg(table);

    // Baseline: the rows fetched in blocks into bound character buffers over
    // the same driver, every cell read; the block size the fastest of a few.
    qint64 plainRows = 0;
    quint64 plainChecksum = 0;
    const QByteArray baseline = QStringLiteral("Driver=KORVA FreeTDS;Server=127.0.0.1;Port=%1;TDS_Version=7.4;"
                                               "ClientCharset=UTF-8;Database=OrvexRptDB;UID=%2;PWD=%3")
                                    .arg(server.port())
                                    .arg(kUser, kPassword)
                                    .toUtf8();
    auto plainWith = [&](SQLULEN blockRows) -> qint64 {
        const bench::FetchLoopResult r = bench::boundFetchLoop(baseline, sql.toUtf8(), 1024, blockRows);
        if (r.ns < 0) {
            std::fprintf(stderr, "baseline cannot connect\n");
            std::exit(1);
        }
        plainRows = r.rows;
        plainChecksum ^= r.checksum;
        return r.ns;
    };
    QString blockSizesTried;
    const SQLULEN plainBlockRows = bench::fastestBlockRows(plainWith, 1, &blockSizesTried);
    auto plain = [&]() -> qint64 { return plainWith(plainBlockRows); };

    // The grid's path, while the event loop runs.
    using bench::longestPause;
    db::Error e;
    {
        // The session opens outside the measurements, as it stays open in the program.
        auto warm = db::openResultSet(report, QStringLiteral("SELECT 1"), &e);
        if (!warm) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description));
            return 1;
        }
    }
    GridModel model;
    std::shared_ptr<db::ResultSet> rs;
    std::vector<qint64> plains, grids;
    qint64 gridRows = 0;
    const int runs = 3;
    const int gridRuns = 5;
    const double loadBeforeGrid = bench::oneMinuteLoad();
    const int tripsBeforeGrid = server.roundTrips();
    for (int run = 0; run < gridRuns; ++run) {
        plains.push_back(plain());
        qint64 fullNs = 0;
        rs.reset();
        model.clear();
        longestPause([&] { return !rs || model.isLoading(); },
                     [&] {
                         rs = db::openResultSet(report, sql, &e);
                         model.setResultSet(rs);
                     },
                     &fullNs);
        if (!rs) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description));
            return 1;
        }
        grids.push_back(fullNs);
        gridRows = model.rowCount();
    }
    const int gridTrips = server.roundTrips() - tripsBeforeGrid;
    const double loadAfterGrid = bench::oneMinuteLoad();
    rs.reset();
    model.clear();

    // The windows against a server 20 ms away.
    const int delay = qEnvironmentVariableIntValue("KORVA_BENCH_DELAY") > 0
                          ? qEnvironmentVariableIntValue("KORVA_BENCH_DELAY")
                          : 20;
    server.setRoundTripDelay(delay);
    test::RecordingMessenger msg;
    WindowContext ctx(msg);
    frmMain w(ctx);
    ctx.ownerState().serverName = serverName;
    ctx.ownerState().connectionString = QStringLiteral(
                                            "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                            "Initial Catalog=OrvexDirDB;Data Source=")
                                        + serverName;
    if (!w.Form_Load(QString())) {
        std::fprintf(stderr, "start failed: %s\n", qPrintable(msg.messages.join(u'\n')));
        return 1;
    }
    w.resize(1200, 900);
    w.show();
    app.processEvents();
    w.findChild<QAction *>(QStringLiteral("mnuOrvexRptDb"))->trigger();
    if (!test::waitForRows(w))
        qFatal("the rows never came");
    app.processEvents();
    Grid *tables = w.findChild<Grid *>(QStringLiteral("gridTables"));
    Grid *data = w.findChild<Grid *>(QStringLiteral("gridData"));
    auto rowOf = [&](const QString &name) {
        for (int r = 1; r < tables->rows(); ++r)
            if (tables->textMatrix(r, 1).compare(name, Qt::CaseInsensitive) == 0)
                return r;
        return -1;
    };
    const int benchRow = rowOf(QStringLiteral("tbl_ZBench100k"));
    const int otherRow = rowOf(table);
    if (benchRow < 0 || otherRow < 0) {
        std::fprintf(stderr, "tables missing from the list\n");
        return 1;
    }
    std::vector<qint64> firstScreens;
    bench::Pauses pauses;
    std::vector<int> firstScreenTrips;
    qint64 windowFullNs = 0;
    for (int run = 0; run < runs; ++run) {
        tables->setCurrentCell(otherRow, 1);
        if (!test::waitForRows(w))
            qFatal("the rows never came");
        app.processEvents();
        qint64 firstScreenNs = -1;
        int tripsAtFirstScreen = 0;
        QElapsedTimer fromClick;
        const int tripsBefore = server.roundTrips();
        pauses.measure(
            [&] {
                if (firstScreenNs < 0 && data->gridModel()->rowCount() > 0) {
                    data->viewport()->repaint();
                    firstScreenNs = fromClick.nsecsElapsed();
                    tripsAtFirstScreen = server.roundTrips() - tripsBefore;
                }
                return firstScreenNs < 0 || data->gridModel()->isLoading();
            },
            [&] {
                fromClick.start();
                tables->setCurrentCell(benchRow, 1);
            },
            &windowFullNs);
        firstScreens.push_back(firstScreenNs);
        firstScreenTrips.push_back(tripsAtFirstScreen);
    }

    // What one paint of that screen costs at the least: a plain table view
    // of the same size showing the same cells, repainted.
    qint64 plainPaint = 0;
    {
        QStandardItemModel cells(std::min(data->rows(), 200), data->cols());
        for (int r = 0; r < cells.rowCount(); ++r)
            for (int c = 0; c < cells.columnCount(); ++c)
                cells.setItem(r, c, new QStandardItem(data->textMatrix(r, c)));
        QTableView plainView;
        plainView.setModel(&cells);
        plainView.setWordWrap(false);
        plainView.verticalHeader()->setDefaultSectionSize(data->verticalHeader()->defaultSectionSize());
        plainView.resize(data->size());
        plainView.show();
        app.processEvents();
        std::vector<qint64> paints;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer t;
            t.start();
            plainView.viewport()->repaint();
            paints.push_back(t.nsecsElapsed());
        }
        plainPaint = bench::median(paints);
    }

    // The configuration tree.
    ctx.ownerState().connectionString =
        QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=OrvexDirDB").arg(serverName);
    ctx.ownerState().dictionaryFolder = root + QStringLiteral("/install/ConfigurationModules/DatabaseScripts/");
    std::vector<qint64> trees;
    int treeTrips = 0;
    for (int run = 0; run < runs; ++run) {
        const int before = server.roundTrips();
        QElapsedTimer t;
        t.start();
        frmOrvexConfiguration tree(ctx);
        while (tree.isBusy())
            app.processEvents(QEventLoop::WaitForMoreEvents);
        trees.push_back(t.nsecsElapsed());
        treeTrips = server.roundTrips() - before;
    }

    // Hover: 1,000 ObjectID cells of the directory database, twice.
    w.findChild<QAction *>(QStringLiteral("mnuOrvexDirDB"))->trigger();
    if (!test::waitForRows(w))
        qFatal("the rows never came");
    server.setRoundTripDelay(0); // finding the cells is not measured
    struct Cell
    {
        int table, row, col;
    };
    std::vector<Cell> cells;
    for (int tr = 1; tr < tables->rows() && cells.size() < 1000; ++tr) {
        tables->setCurrentCell(tr, 1);
        if (!test::waitForRows(w))
            qFatal("the rows never came");
        const QString listed = tables->textMatrix(tr, 1);
        QList<int> refCols;
        for (int c = 1; c < data->cols(); ++c)
            if (!navigation::referencedTableForCell(w.state().dictionary, listed, data->textMatrix(0, c)).isEmpty())
                refCols << c;
        for (int r = 1; r < data->rows() && !refCols.isEmpty() && cells.size() < 1000; ++r)
            for (int c : refCols)
                if (!data->textMatrix(r, c).isEmpty() && cells.size() < 1000)
                    cells.push_back({tr, r, c});
    }
    server.setRoundTripDelay(delay);
    auto hoverPass = [&](int *described) {
        int trips = 0;
        int shown = -1;
        *described = 0;
        for (const Cell &cell : cells) {
            if (cell.table != shown) {
                tables->setCurrentCell(cell.table, 1);
                if (!test::waitForRows(w))
                    qFatal("the rows never came");
                shown = cell.table;
            }
            data->scrollToCell(cell.row, cell.col);
            const QRect rect = data->visualRect(
                data->model()->index(data->modelRow(cell.row), data->modelColumn(cell.col)));
            data->setMousePosition(rect.center());
            if (data->mouseRow() != cell.row || data->mouseCol() != cell.col)
                continue;
            const int before = server.roundTrips();
            w.navigator().mouseMoved();
            while (w.navigator().isDescribing())
                app.processEvents(QEventLoop::WaitForMoreEvents);
            trips += server.roundTrips() - before;
            if (!w.navigator().referenceDescription().isEmpty())
                ++*described;
        }
        return trips;
    };
    int describedFirst = 0, describedSecond = 0;
    const int firstHoverTrips = hoverPass(&describedFirst);
    const int secondHoverTrips = hoverPass(&describedSecond);
    w.close();

    const qint64 firstScreen = bench::median(firstScreens);
    const int screenTrips = *std::max_element(firstScreenTrips.begin(), firstScreenTrips.end());
    const qint64 pause = pauses.longest();
    std::printf("ratio grid / bound fetch loop  %9.2f   (target <= 1.10; %lld rows, medians of %d taking turns; "
                "load average %.2f, %.2f after)\n",
                double(bench::median(grids)) / double(bench::median(plains)), static_cast<long long>(gridRows),
                gridRuns, loadBeforeGrid, loadAfterGrid);
    std::printf("first screen after             %9.1f ms (at %d ms per round trip, %d round trips; target <= %d)\n",
                bench::ms(firstScreen), delay, screenTrips, 3 * delay + 50);
    std::printf("longest event-loop pause       %9.1f ms while 100,000 rows load (longest of %d; target <= 16)%s\n",
                bench::ms(pause), runs, qPrintable(pauses.waitedInLongest()));
    std::printf("one paint of that screen       %9.1f ms at the least (a plain table view of the same cells, median of "
                "7)\n",
                bench::ms(plainPaint));
    std::printf("plain bound block-fetch loop   %9.1f ms (median of %d; %lld rows, %lld a block, the fastest of %s; "
                "cells' sum %llx)\n",
                bench::ms(bench::median(plains)), gridRuns, static_cast<long long>(plainRows),
                static_cast<long long>(plainBlockRows), qPrintable(blockSizesTried),
                static_cast<unsigned long long>(plainChecksum));
    std::printf("grid load (all rows)           %9.1f ms (median of %d; %d round trips for %d loads)\n",
                bench::ms(bench::median(grids)), gridRuns, gridTrips, gridRuns);
    std::printf("100,000 rows in the window     %9.1f ms (last load)\n", bench::ms(windowFullNs));
    std::printf("configuration tree             %9.1f ms (median; %d round trips; target <= %d)\n",
                bench::ms(bench::median(trees)), treeTrips, 2 * delay + 100);
    std::printf("hover over %zu ObjectID cells   first pass %d round trips, second pass %d (target 0); described %d "
                "and %d\n",
                cells.size(), firstHoverTrips, secondHoverTrips, describedFirst, describedSecond);
    if (!msg.messages.isEmpty())
        std::printf("messages: %s\n", qPrintable(msg.messages.join(u" | ")));
    korva::waitForDatabaseThreads();
    return 0;
}
