#include "../../bench/benchdata.h"
#include "common/testsupport.h"
#include "demo/demoinstallation.h"
#include "main/databases.h"
#include "platform/database.h"
#include "platform/odbcconnection.h"
#include "platform/odbcsession.h"
#include "platform/serverdirectory.h"
#include "platform/settings.h"
#include "platform/workstationinfo.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QScopeGuard>
#include <sqlite3.h>
#include <QtTest/QtTest>

#include <thread>

using namespace korva;
using namespace korva::db;

namespace {

const QString kDriverLibrary = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");

} // namespace

// The ODBC engine against a real driver: unixODBC with the SQLite ODBC
// driver, registered in an odbcinst.ini of the test's own, over a copy of
// the demo's directory database.
class tst_Odbc : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    QString folder;

    static QString conn(const QString &db = QStringLiteral("OrvexDirDB"))
    {
        return QStringLiteral("Driver={SQL Server};server=odbchost\\inst;database=%1").arg(db);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kDriverLibrary))
            QSKIP("the SQLite ODBC driver (libsqliteodbc) is not installed");
        env = std::make_unique<test::IsolatedEnvironment>();
        const QString odbc = env->filePath(QStringLiteral("odbc"));
        QDir().mkpath(odbc);
        {
            QFile ini(odbc + QStringLiteral("/odbcinst.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[KORVA SQLite]\nDescription=SQLite through ODBC, for the tests\nDriver="
                      + kDriverLibrary.toUtf8() + "\n");
        }
        QFile(odbc + QStringLiteral("/odbc.ini")).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINI", (odbc + QStringLiteral("/odbc.ini")).toLocal8Bit());

        demo::DemoOptions o;
        o.root = env->filePath(QStringLiteral("demo"));
        o.subscribers = 20;
        o.reportRows = 10;
        QString error;
        QVERIFY2(demo::createDemoInstallation(o, &error), qPrintable(error));
        folder = env->filePath(QStringLiteral("served"));
        QDir().mkpath(folder);
        QVERIFY(QFile::copy(o.root + QStringLiteral("/data/OrvexDirDB.sqlite"),
                            folder + QStringLiteral("/OrvexDirDB.sqlite")));
        // The catalogue the program's queries read, as views of the file's own.
        registerEmbeddedServer(QStringLiteral("setup"), QString(), folder);
        Error e;
        executeText(QStringLiteral("Driver={SQL Server};server=setup;database=OrvexDirDB"),
                    QStringLiteral(
                        "CREATE VIEW sysobjects AS SELECT name COLLATE NOCASE AS name, "
                        "(CASE type WHEN 'table' THEN 'U' ELSE 'V' END) COLLATE NOCASE AS type "
                        "FROM sqlite_master WHERE type IN ('table','view') AND name NOT LIKE 'sqlite_%' "
                        "AND name NOT LIKE 'korva_%';"
                        "CREATE TABLE tbl_Kinds(Id INTEGER PRIMARY KEY, Whole INTEGER, Part REAL, Words NVARCHAR(40), "
                        "Raw VARBINARY(8), Stamp DATETIME, Maybe NVARCHAR(10));"
                        "INSERT INTO tbl_Kinds VALUES(1, -9000000000, 2.5, 'Zoë 許志明', x'00ff10', '2004-09-17 "
                        "10:11:22', NULL);"
                        "CREATE TABLE tbl_Pair(Owner NVARCHAR(10), Slot INTEGER, Label NVARCHAR(20), PRIMARY "
                        "KEY(Owner, Slot));"
                        "INSERT INTO tbl_Pair VALUES('x',1,'one'),('x',2,'two'),('y',2,'three');"
                        "CREATE TABLE tbl_Many(n INTEGER PRIMARY KEY, Word NVARCHAR(20));"
                        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100000) "
                        "INSERT INTO tbl_Many SELECT n, 'w' || n FROM c"),
                    &e);
        QVERIFY2(!e, qPrintable(e.description));
        resetConnectionPool();
        registerOdbcServer(QStringLiteral("odbchost"), QStringLiteral("inst"), QStringLiteral("KORVA SQLite"),
                           QString(), QStringLiteral("sqlite"), folder);
    }

    void listsTablesWithTheWindowsQuery()
    {
        Error e;
        auto tables = openResultSet(conn(), tableListQuery(true, QStringLiteral("OrvexDirDB.dbo.sysobjects")), &e);
        QVERIFY2(tables, qPrintable(e.description));
        QStringList names;
        for (tables->moveFirst(); !tables->eof(); tables->moveNext())
            names << tables->field(QStringLiteral("Table Name")).toString();
        QVERIFY(names.contains(QStringLiteral("tbl_User")));
        QVERIFY(names.contains(QStringLiteral("tbl_Kinds")));
        QVERIFY(!names.contains(QStringLiteral("conflict_tbl_User")));
        QVERIFY(std::is_sorted(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }));
    }

    void valuesOfEveryKindAndNulls()
    {
        Error e;
        auto rs = openResultSet(conn(),
                                QStringLiteral("SELECT Id, Whole, Part, Words, Raw, Stamp, Maybe FROM [tbl_Kinds]"),
                                &e);
        QVERIFY2(rs, qPrintable(e.description));
        QCOMPARE(rs->columns(), (QStringList{"Id", "Whole", "Part", "Words", "Raw", "Stamp", "Maybe"}));
        QCOMPARE(rs->recordCount(), 1);
        QCOMPARE(rs->field(QStringLiteral("Whole")).toLongLong(), -9000000000LL);
        QCOMPARE(rs->field(QStringLiteral("Part")).toDouble(), 2.5);
        QCOMPARE(rs->field(QStringLiteral("Words")).toString(), QStringLiteral("Zoë 許志明"));
        QCOMPARE(rs->field(QStringLiteral("Raw")).toByteArray(), QByteArray("\x00\xff\x10", 3));
        QVERIFY(rs->field(QStringLiteral("Stamp")).toString().startsWith(QStringLiteral("2004-09-17 10:11:22")));
        QVERIFY(rs->field(QStringLiteral("Maybe")).isNull());
        QVERIFY(rs->rows().isNull(0, 6));
    }

    void aHundredThousandRowsInBlocks()
    {
        Error e;
        auto rs = openResultSet(conn(), QStringLiteral("SELECT n, Word FROM tbl_Many ORDER BY n"), &e);
        QVERIFY2(rs, qPrintable(e.description));
        QCOMPARE(rs->recordCount(), 100000);
        QVERIFY(!rs->lastError());
        for (qsizetype r : {0, 255, 256, 99999})
            QCOMPARE(rs->rows().text(r, 1), QStringLiteral("w%1").arg(r + 1));
        // Shown in a grid, as the main window shows a table.
        Grid grid;
        grid.setResultSet(
            std::shared_ptr<ResultSet>(openResultSet(conn(), QStringLiteral("SELECT n, Word FROM tbl_Many"), &e)));
        QTRY_VERIFY_WITH_TIMEOUT(!grid.gridModel()->isLoading(), 30000);
        QCOMPARE(grid.rows(), 100001);
        QCOMPARE(grid.textMatrix(100000, 2), QStringLiteral("w100000"));
    }

    void commandsCountTheirRowsAndFailuresSpeakTheDriversWords()
    {
        Error e;
        ExecOutcome out = executeText(conn(), QStringLiteral("UPDATE tbl_Many SET Word = Word WHERE n <= 42"), &e);
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(out.recordsAffected, 42);
        QVERIFY(!out.rows);
        out = executeText(conn(), QStringLiteral("SELECT count(*) FROM tbl_Many"), &e);
        QVERIFY(out.rows);
        QCOMPARE(out.rows->field(0).toInt(), 100000);
        e = {};
        QVERIFY(!openResultSet(conn(), QStringLiteral("SELECT * FROM tbl_Missing"), &e));
        QCOMPARE(e.number, kErrCommand);
        QVERIFY2(e.description.contains(QStringLiteral("no such table"), Qt::CaseInsensitive),
                 qPrintable(e.description));
    }

    void keysAndAnEditOfOneRow()
    {
        auto session = sessionFor(conn(), nullptr);
        QVERIFY(session);
        QCOMPARE(session->primaryKeyColumns(QStringLiteral("tbl_Pair"), nullptr), (QStringList{"Owner", "Slot"}));
        QCOMPARE(session->primaryKeyColumn(QStringLiteral("tbl_User"), nullptr), QStringLiteral("ObjectID"));
        Error e;
        auto rs = openResultSet(conn(), QStringLiteral("SELECT Owner, Slot, Label FROM tbl_Pair ORDER BY Owner, Slot"),
                                &e, Lock::Pessimistic);
        QVERIFY2(rs, qPrintable(e.description));
        rs->fetchAll();
        // The grid's rows are still being read on their own connection; the edit takes another.
        QVERIFY2(rs->updateCell(1, 2, QStringLiteral("TWO"), &e), qPrintable(e.description));
        auto check = openResultSet(conn(), QStringLiteral("SELECT Label FROM tbl_Pair ORDER BY Owner, Slot"), &e);
        QStringList labels;
        for (check->moveFirst(); !check->eof(); check->moveNext())
            labels << check->field(0).toString();
        QCOMPARE(labels, (QStringList{"one", "TWO", "three"}));
    }

    // The benchmarks' baseline: every row and every cell read whatever the
    // block size, each cell's bytes summed as stored (whole words, the bytes
    // left, no more than the buffer holds). A loop that skipped some would
    // make any engine look slow beside it.
    void baselineFetchLoopReadsEveryCell()
    {
        const QByteArray file = QFile::encodeName(folder + QStringLiteral("/OrvexDirDB.sqlite"));
        const QByteArray cs = "Driver=KORVA SQLite;Database=" + file;
        for (const char *sql : {"SELECT n, Word FROM tbl_Many", "SELECT * FROM tbl_Kinds"}) {
            const bench::FetchLoopResult single = bench::boundFetchLoop(cs, sql, 256, 1);
            QVERIFY(single.ns >= 0);
            for (const SQLULEN block : {SQLULEN(7), SQLULEN(4096)}) {
                const bench::FetchLoopResult r = bench::boundFetchLoop(cs, sql, 256, block);
                QCOMPARE(r.rows, single.rows);
                QCOMPARE(r.checksum, single.checksum);
            }
        }
        QCOMPARE(bench::boundFetchLoop(cs, "SELECT n FROM tbl_Many", 256, 4096).rows, qint64(100000));
        // Worked out by hand: lengths 10 - 1 (null) + 2, then "abcdefgh" as
        // one little-endian word, "ij" and "12" byte by byte.
        quint64 word;
        std::memcpy(&word, "abcdefgh", 8);
        const quint64 expected = 10 - 1 + 2 + word + 'i' + 'j' + '1' + '2';
        const auto cells = bench::boundFetchLoop(cs, "SELECT 'abcdefghij', NULL, 12", 256, 16);
        QCOMPARE(cells.rows, qint64(1));
        QCOMPARE(cells.checksum, expected);
        // A cut value: its whole length, but only the bytes the buffer holds.
        QCOMPARE(bench::boundFetchLoop(cs, "SELECT 'abcdefghij'", 4, 16).checksum, quint64(10 + 'a' + 'b' + 'c'));
    }

    // Stopping a statement that is being read (from another thread, as the
    // window does when another table is chosen): the reading ends with a
    // failure, not as if the rows had run out.
    void cancelStopsReading()
    {
        Error e;
        std::shared_ptr<ResultSet> rs = openResultSet(conn(), QStringLiteral("SELECT n, Word FROM tbl_Many"), &e);
        QVERIFY2(rs, qPrintable(e.description));
        std::atomic<bool> reading = false;
        std::thread stopper([&] {
            while (!reading)
                std::this_thread::yield();
            rs->cancel();
        });
        while (!rs->isComplete()) {
            rs->fetchMore(500);
            reading = true;
        }
        stopper.join();
        QVERIFY(rs->lastError().isSet());
        QVERIFY(rs->fetchedCount() < 100000);
    }

    // The two documented forms of connection string, as FreeTDS or a DSN takes them.
    void connectionStringsForTheDriver_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<bool>("integrated");
        QTest::addColumn<QString>("odbc");
        QTest::newRow("odbc-form-instance") << "Driver={SQL Server};server=HOST\\zandelorvex;database=OrvexDirDB"
                                            << "" << true
                                            << "Driver=FreeTDS;Server=HOST\\zandelorvex;TDS_Version=7.4;ClientCharset="
                                               "UTF-8;Database=OrvexDirDB;Trusted_Connection=Yes";
        QTest::newRow("oledb-form") << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                                       "Info=False;Initial Catalog=OrvexDirDB;Data Source=REMOTE"
                                    << "" << true
                                    << "Driver=FreeTDS;Server=REMOTE;TDS_Version=7.4;ClientCharset=UTF-8;Database="
                                       "OrvexDirDB;Trusted_Connection=Yes";
        QTest::newRow("tcp-and-port") << "server=tcp:10.0.0.5,1533;database=OrvexRptDB"
                                      << "" << true
                                      << "Driver=FreeTDS;Server=10.0.0.5;Port=1533;TDS_Version=7.4;ClientCharset=UTF-8;"
                                         "Database=OrvexRptDB;Trusted_Connection=Yes";
        // A typed "host,port" the main window composes with its instance: the port names the instance.
        QTest::newRow("port-then-instance")
            << "Driver={SQL Server};server=127.0.0.1,1533\\zandelorvex;database=OrvexDirDB"
            << "" << true
            << "Driver=FreeTDS;Server=127.0.0.1;Port=1533;TDS_Version=7.4;ClientCharset=UTF-8;Database=OrvexDirDB;"
               "Trusted_Connection=Yes";
        QTest::newRow("sql-login-with-separators")
            << "server=H;database=D"
            << "" << false
            << "Driver=FreeTDS;Server=H;TDS_Version=7.4;ClientCharset=UTF-8;Database=D;UID=sa;PWD={p;w}}d};";
        QTest::newRow("dsn") << "server=H;database=OrvexDynDB"
                             << "orvex prod" << true << "DSN=orvex prod;Database=OrvexDynDB;Trusted_Connection=Yes";
    }
    void connectionStringsForTheDriver()
    {
        QFETCH(QString, given);
        QFETCH(QString, dsn);
        QFETCH(bool, integrated);
        OdbcEndpoint endpoint;
        endpoint.dsn = dsn;
        OdbcLogin login;
        login.integrated = integrated;
        login.user = QStringLiteral("sa");
        login.password = QStringLiteral("p;w}d");
        QTEST(odbcConnectionString(parseConnectionString(given), endpoint, login), "odbc");
        // The password never shows.
        QVERIFY(!odbcConnectionStringForDisplay(parseConnectionString(given), endpoint, login)
                     .contains(QStringLiteral("p;w")));
    }

    // The procedure list's catalogue queries, run over a catalogue shaped as
    // the server's (sys.procedures, sys.sql_modules, sys.parameters,
    // sys.types): procedures in id order with their text, parameters in
    // their order with lengths in characters.
    void serverCatalogueQueriesRun()
    {
        const QString catalogue = env->filePath(QStringLiteral("catalogue"));
        QDir().mkpath(catalogue);
        QVERIFY(QFile::copy(folder + QStringLiteral("/OrvexDirDB.sqlite"),
                            catalogue + QStringLiteral("/OrvexDirDB.sqlite")));
        sqlite3 *sys = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(catalogue + QStringLiteral("/sys.sqlite")).constData(), &sys),
                 SQLITE_OK);
        const auto closeSys = qScopeGuard([&] { sqlite3_close(sys); });
        QCOMPARE(sqlite3_exec(sys,
                              "CREATE TABLE procedures(object_id INT, name TEXT);"
                              "CREATE TABLE sql_modules(object_id INT, definition TEXT);"
                              "CREATE TABLE parameters(object_id INT, name TEXT, parameter_id INT, user_type_id INT, "
                              "max_length INT, is_output INT);"
                              "CREATE TABLE types(user_type_id INT, name TEXT);"
                              "INSERT INTO types VALUES (56,'int'),(231,'nvarchar'),(239,'nchar'),(167,'varchar');"
                              "INSERT INTO procedures VALUES (205,'csp_B'),(117,'csp_A'),(300,'sp_NoParams');"
                              "INSERT INTO sql_modules VALUES (117,'CREATE PROCEDURE csp_A'),(205,'CREATE PROCEDURE "
                              "csp_B'),"
                              "(300,'CREATE PROCEDURE sp_NoParams'),(999,'CREATE FUNCTION f');"
                              "INSERT INTO parameters VALUES (205,'@Memo',3,231,-1,0),(205,'@Name',1,231,100,0),"
                              "(205,'@Count',2,56,4,1),(117,'@Raw',2,167,30,0),(117,'@Code',1,239,20,0),"
                              "(999,'@x',1,56,4,0);",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        registerEmbeddedServer(QStringLiteral("catalogue"), QString(), catalogue);
        const QString server = QStringLiteral("Driver={SQL Server};server=catalogue;database=OrvexDirDB");
        Error e;
        ExecOutcome procs = executeText(server, sqlServerProceduresQuery(), &e);
        QVERIFY2(!e && procs.rows, qPrintable(e.description));
        QStringList got;
        for (procs.rows->moveFirst(); !procs.rows->eof(); procs.rows->moveNext())
            got << QStringLiteral("%1 %2 %3")
                       .arg(procs.rows->field(0).toString(), procs.rows->field(1).toString(),
                            procs.rows->field(2).toString());
        QCOMPARE(got, (QStringList{"117 csp_A CREATE PROCEDURE csp_A", "205 csp_B CREATE PROCEDURE csp_B",
                                   "300 sp_NoParams CREATE PROCEDURE sp_NoParams"}));

        ExecOutcome params = executeText(server, sqlServerParametersQuery(), &e);
        QVERIFY2(!e && params.rows, qPrintable(e.description));
        got.clear();
        for (params.rows->moveFirst(); !params.rows->eof(); params.rows->moveNext()) {
            QStringList row;
            for (int c = 0; c < 5; ++c)
                row << params.rows->field(c).toString();
            got << row.join(u' ');
        }
        QCOMPARE(got, (QStringList{"117 @Code nchar 10 0", "117 @Raw varchar 30 0", "205 @Name nvarchar 50 0",
                                   "205 @Count int 4 1", "205 @Memo nvarchar -1 0"}));
    }

    // The settings choose the driver and TDS version; a server's own entry may name a DSN.
    void endpointFromTheSettings()
    {
        auto s = openSettings();
        s->setValue(QStringLiteral("Config/OdbcDriver"), QStringLiteral("ODBC Driver 18"));
        s->setValue(QStringLiteral("Config/TdsVersion"), QStringLiteral("7.3"));
        s->sync();
        const auto restore = qScopeGuard([] { test::keepOffline(); });
        const OdbcEndpoint e = configuredOdbcEndpoint();
        QCOMPARE(e.driver, QStringLiteral("ODBC Driver 18"));
        QCOMPARE(e.tdsVersion, QStringLiteral("7.3"));
        registerOdbcServer(QStringLiteral("prod"), QString(), QString(), QStringLiteral("orvexdsn"));
        QCOMPARE(lookupServer(QStringLiteral("PROD"), QString()).dsn, QStringLiteral("orvexdsn"));
        QCOMPARE(lookupServer(QStringLiteral("PROD"), QString()).engine, ServerEntry::Engine::Odbc);
        QCOMPARE(lookupServer(QStringLiteral("setup"), QString()).engine, ServerEntry::Engine::Embedded);
        // Loopback names are servers like any other (a tunnel, a container), not the embedded engine.
        registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"), folder);
        QCOMPARE(lookupServer(QStringLiteral("(local)"), QStringLiteral("zandelorvex")).engine,
                 ServerEntry::Engine::Embedded);
        QCOMPARE(lookupServer(QStringLiteral("localhost"), QStringLiteral("zandelorvex")).engine,
                 ServerEntry::Engine::Odbc);
        QCOMPARE(lookupServer(QStringLiteral("127.0.0.1"), QStringLiteral("zandelorvex")).engine,
                 ServerEntry::Engine::Odbc);
        unregisterServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"));
        // Time-outs in seconds; what is not a number leaves the default.
        s->setValue(QStringLiteral("Config/LoginTimeout"), QStringLiteral("4"));
        s->setValue(QStringLiteral("Config/QueryTimeout"), QStringLiteral("soon"));
        s->sync();
        QCOMPARE(configuredOdbcEndpoint().loginTimeout, 4);
        QCOMPARE(configuredOdbcEndpoint().queryTimeout, 0);
    }
};

QTEST_MAIN(tst_Odbc)
#include "tst_odbc.moc"
