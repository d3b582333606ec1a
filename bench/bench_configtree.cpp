// Opens the configuration viewer's folder tree on a demo configuration with
// thousands of extra folders, against a server 20 ms away (each query and
// each batch of rows waits), and compares it with what the server costs at
// the least (the one query the tree needs, read on its own) and with the
// tree read one query per folder.
//
//   bench_configtree [--root DIR] [--folders 5000]
//
// A root that already holds a demo installation with the folders is reused.
#include "benchsupport.h"
#include "common/recordingmessenger.h"
#include "config/configurationdata.h"
#include "config/frmorvexconfiguration.h"
#include "demo/demoinstallation.h"
#include "appcontext/windowcontext.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "platform/sqlquote.h"

#include <QtCore/QUuid>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeWidget>

#include <sqlite3.h>

#include <functional>

using namespace korva;

namespace {

const QString kBenchFolder = QStringLiteral("Bench");

QString guid(const QString &name)
{
    static const QUuid ns = QUuid::fromString(QStringLiteral("{5b0f2ad2-9a57-4c41-8f0e-6d1c2b7a9e31}"));
    return QUuid::createUuidV5(ns, name).toString(QUuid::WithoutBraces).toUpper();
}

int countRows(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return n;
}

// Adds `folders` folders below System.Bench: groups of groups of folders, the
// innermost with one setting each. Answers the ObjectID of the first inner group.
bool addFolders(const QString &dbFile, int folders, QString *sampleGroup, QString *error)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(dbFile).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return false;
    }
    const bool present = countRows(db, "SELECT count(*) FROM tbl_Configuration WHERE FullName LIKE 'System.Bench.%' "
                                       "AND HasChildNodes=1")
                         == folders - 1;
    QString rootId;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT ObjectID FROM tbl_Configuration WHERE Type=1", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            rootId = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    *sampleGroup = guid(QStringLiteral("System.Bench.G00.H0"));
    if (present || rootId.isEmpty()) {
        sqlite3_close(db);
        if (rootId.isEmpty())
            *error = QStringLiteral("no configuration root in %1").arg(dbFile);
        return !rootId.isEmpty();
    }
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO tbl_Configuration (ObjectID, ParentID, Type, HasChildNodes, FullName, Name, "
                       "RequiresRestart, "
                       "ValueLong) VALUES (?, ?, ?, ?, ?, ?, 0, ?)",
                       -1, &insert, nullptr);
    int made = 0;
    auto add = [&](const QString &parent, const QString &fullName, bool folder) {
        const QString id = guid(fullName);
        const QByteArray values[] = {id.toUtf8(), parent.toUtf8(), fullName.toUtf8(),
                                     fullName.mid(fullName.lastIndexOf(u'.') + 1).toUtf8()};
        sqlite3_reset(insert);
        sqlite3_bind_text(insert, 1, values[0].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, values[1].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, folder ? 0 : 3);
        sqlite3_bind_int(insert, 4, folder ? 1 : 0);
        sqlite3_bind_text(insert, 5, values[2].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, values[3].constData(), -1, SQLITE_TRANSIENT);
        if (folder)
            sqlite3_bind_null(insert, 7);
        else
            sqlite3_bind_int(insert, 7, 42);
        sqlite3_step(insert);
        made += folder ? 1 : 0;
        return id;
    };
    const QString bench = add(rootId, QStringLiteral("System.Bench"), true);
    // 1 + groups * (1 + inner * (1 + leaves)) folders.
    const int inner = 4;
    const int leaves = 30;
    for (int g = 0; made < folders; ++g) {
        const QString gName = QStringLiteral("System.Bench.G%1").arg(g, 2, 10, QLatin1Char('0'));
        const QString gId = add(bench, gName, true);
        for (int h = 0; h < inner && made < folders; ++h) {
            const QString hName = gName + QStringLiteral(".H%1").arg(h);
            const QString hId = add(gId, hName, true);
            for (int l = 0; l < leaves && made < folders; ++l) {
                const QString lName = hName + QStringLiteral(".F%1").arg(l, 2, 10, QLatin1Char('0'));
                const QString lId = add(hId, lName, true);
                add(lId, lName + QStringLiteral(".Value"), false);
            }
        }
    }
    sqlite3_finalize(insert);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        *error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}


} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    QString sizeText;
    const QString root = bench::parseDemoRoot(app, temp,
                                              {QStringLiteral("folders"), QStringLiteral("folders added"),
                                               QStringLiteral("n"), QStringLiteral("5000")},
                                              &sizeText);
    bench::isolate(root + QStringLiteral("-env"));
    const int folders = std::max(10, sizeText.toInt());
    const QString dbFile = root + QStringLiteral("/data/OrvexDirDB.sqlite");

    QElapsedTimer t;
    if (!QFile::exists(dbFile)) {
        t.start();
        demo::DemoOptions o;
        o.root = root;
        o.subscribers = 50;
        o.reportRows = 10;
        QString error;
        if (!demo::createDemoInstallation(o, &error)) {
            std::fprintf(stderr, "demo installation failed: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("demo installation built in %.1f s\n", t.elapsed() / 1000.0);
    }
    QString sampleGroup;
    QString error;
    if (!addFolders(dbFile, folders, &sampleGroup, &error)) {
        std::fprintf(stderr, "adding folders failed: %s\n", qPrintable(error));
        return 1;
    }
    const QString server = WorkStationInfo::instance().ComputerName();
    db::registerEmbeddedServer(server, QStringLiteral("zandelorvex"), root + QStringLiteral("/data"));
    const QString conn = QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=OrvexDirDB").arg(server);

    const auto delay = std::chrono::milliseconds(20);
    db::SessionMeter meter;
    db::installSessionPool(std::make_unique<db::SessionPool>([&](const db::ConnectionTarget &target, db::Error *e) {
        return db::withDelay(db::openEngineSession(target, e), delay, &meter);
    }));
    db::Error e;
    {
        // The session opens outside the measurements, as it stays open in the program.
        auto warm = db::openResultSet(conn, QStringLiteral("SELECT count(*) FROM vw_Configuration"), &e);
        if (!warm) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description));
            return 1;
        }
    }

    test::RecordingMessenger msg;
    WindowContext ctx(msg);
    ctx.ownerState().serverName = server;
    ctx.ownerState().connectionString = conn;
    ctx.ownerState().dictionaryFolder = root + QStringLiteral("/install/ConfigurationModules/DatabaseScripts/");

    // Each side five times, interleaved; medians compared.
    std::vector<qint64> bare, window;
    int treeFolders = 0;
    qint64 windowQueries = 0;
    qsizetype rowsRead = 0;
    for (int run = 0; run < 5; ++run) {
        t.restart();
        const config::FolderRead read = config::readFolders(conn);
        bare.push_back(t.nsecsElapsed());
        rowsRead = read.rows.size();
        if (read.error) {
            std::fprintf(stderr, "%s\n", qPrintable(read.error.description));
            return 1;
        }

        const qint64 callsBefore = meter.calls;
        t.restart();
        frmOrvexConfiguration w(ctx);
        while (w.isBusy())
            app.processEvents(QEventLoop::WaitForMoreEvents);
        window.push_back(t.nsecsElapsed());
        windowQueries = meter.calls - callsBefore;
        treeFolders = 0;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>(QStringLiteral("regTree"))); *it; ++it)
            ++treeFolders;
        --treeFolders; // the top node
    }
    if (!msg.messages.isEmpty()) {
        std::fprintf(stderr, "messages: %s\n", qPrintable(msg.messages.join(u'\n')));
        return 1;
    }

    // The tree as it was built before: a query for the sub-folders of every
    // folder and one more for each folder without sub-folders, measured on
    // one group of folders.
    qint64 perFolderQueries = 0;
    int perFolderFolders = 0;
    std::function<void(const QString &)> construct = [&](const QString &parent) {
        ++perFolderFolders;
        ++perFolderQueries;
        auto rs = db::openResultSet(conn,
                                    QStringLiteral("SELECT * FROM vw_Configuration WHERE ParentID=")
                                        + sql::quoteLiteral(parent) + QStringLiteral(" and HasChildNodes=1"),
                                    &e);
        QStringList children;
        for (rs ? rs->moveFirst() : void(); rs && !rs->eof(); rs->moveNext())
            children << rs->field(QStringLiteral("ObjectID")).toString();
        if (children.isEmpty()) {
            ++perFolderQueries;
            auto node = db::openResultSet(conn,
                                          QStringLiteral("SELECT * FROM vw_Configuration WHERE ObjectID=")
                                              + sql::quoteLiteral(parent),
                                          &e);
        }
        for (const QString &child : children)
            construct(child);
    };
    t.restart();
    construct(sampleGroup);
    const qint64 perFolderNs = t.nsecsElapsed();
    const double perFolderAll = bench::ms(perFolderNs) / perFolderFolders * treeFolders / 1000.0;

    const qint64 bareNs = bench::median(bare);
    const qint64 windowNs = bench::median(window);
    std::printf("folders in the tree                 %d (rows read %lld)\n", treeFolders,
                static_cast<long long>(rowsRead));
    std::printf("slow server: delay per query and per batch %lld ms\n", static_cast<long long>(delay.count()));
    std::printf("queries for the tree                %lld\n", static_cast<long long>(windowQueries));
    std::printf("baseline: the tree's query alone    %9.1f ms (median of 5; %.1f to %.1f)\n", bench::ms(bareNs),
                bench::ms(*std::min_element(bare.begin(), bare.end())),
                bench::ms(*std::max_element(bare.begin(), bare.end())));
    std::printf("window: opened to tree shown        %9.1f ms (median of 5; %.1f to %.1f; target <= 2 x %lld + 100 = "
                "%lld)\n",
                bench::ms(windowNs), bench::ms(*std::min_element(window.begin(), window.end())),
                bench::ms(*std::max_element(window.begin(), window.end())), static_cast<long long>(delay.count()),
                static_cast<long long>(2 * delay.count() + 100));
    std::printf("window beyond the baseline          %9.1f ms\n", bench::ms(windowNs - bareNs));
    std::printf("one query per folder (as before)    %9.1f ms for %d folders, %lld queries; about %.0f s for all %d\n",
                bench::ms(perFolderNs), perFolderFolders, static_cast<long long>(perFolderQueries), perFolderAll,
                treeFolders);
    return windowNs <= (2 * delay.count() + 100) * 1000000 ? 0 : 2;
}
