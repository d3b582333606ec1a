#include "common/testsupport.h"
#include "platform/connectionstring.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "platform/serverdirectory.h"
#include "platform/sqlquote.h"
#include "platform/tsqlcompat.h"
#include "platform/workstationinfo.h"

#include <QtCore/QScopeGuard>
#include <QtTest/QtTest>

#include <future>
#include <thread>

#include <sqlite3.h>

using namespace korva;
using namespace korva::db;

namespace {

// A session of a stand-in engine: every query answers one row, the database
// name and the SQL text.
class EchoSource final : public RowSource
{
public:
    explicit EchoSource(QString text) : m_text(std::move(text)) {}
    QStringList columns() const override { return {QStringLiteral("sql")}; }
    qsizetype fetch(RowStore &store, qsizetype, Error *) override
    {
        if (m_done)
            return 0;
        m_done = true;
        store.appendRow({m_text});
        return 1;
    }
    bool atEnd() const override { return m_done; }

private:
    QString m_text;
    bool m_done = false;
};

class EchoSession final : public Session
{
public:
    explicit EchoSession(const ConnectionTarget &t) { m_target = t; }
    std::unique_ptr<RowSource> query(const QString &sql, bool, Error *) override
    {
        return std::make_unique<EchoSource>(m_target.database + u':' + sql);
    }
    ExecOutcome execute(const QString &, Error *) override { return {}; }
    ExecOutcome callProcedure(const QString &, const QList<ProcedureArgument> &, Error *) override { return {}; }
    QList<ProcedureInfo> procedures(Error *) override { return {}; }
    QString primaryKeyColumn(const QString &, Error *) override { return {}; }
    QStringList primaryKeyColumns(const QString &, Error *) override { return {}; }
};

// While it lives, the pool opens EchoSessions. The first opening of the
// database "Held" waits until let go, as against a server slow to answer;
// while refuse is set, every opening of it fails.
struct HeldOpener
{
    using Answer = std::future<std::pair<std::shared_ptr<Session>, Error>>;

    std::atomic<int> heldOpenings = 0;
    std::atomic<bool> refuse = false;
    std::promise<void> begun; // the first opening of "Held" is under way
    std::promise<void> release;
    std::weak_ptr<Session> firstHeld;
    std::unique_ptr<SessionPool> previous = installSessionPool(std::make_unique<SessionPool>(opener()));

    ~HeldOpener() { installSessionPool(std::move(previous)); }

    static QString connection(const QString &db) { return QStringLiteral("server=pooltest;database=") + db; }

    // Asks for "Held" on a thread of its own and waits until it is being opened.
    Answer startHeld()
    {
        Answer answer = ask(QStringLiteral("Held"));
        begun.get_future().wait();
        return answer;
    }

    SessionOpener opener()
    {
        return [this, released = release.get_future().share()](const ConnectionTarget &t, Error *e) {
            std::shared_ptr<Session> s = std::make_shared<EchoSession>(t);
            if (t.database != u"Held")
                return s;
            if (++heldOpenings == 1) {
                firstHeld = s;
                begun.set_value();
                released.wait_for(std::chrono::seconds(30)); // bounded: a failed check must not hang
            }
            if (!refuse)
                return s;
            *e = {kErrGeneric, QStringLiteral("refused")};
            return std::shared_ptr<Session>();
        };
    }

    // Asks the pool for a database on a thread of its own (not the windows').
    static Answer ask(const QString &db)
    {
        return std::async(std::launch::async, [db] {
            Error e;
            auto s = sessionFor(connection(db), &e);
            return std::pair{s, e};
        });
    }
};

} // namespace

class tst_Database : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    QString dataFolder;
    QString conn(const QString &db = QStringLiteral("OrvexDirDB")) const
    {
        return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=%2")
            .arg(WorkStationInfo::instance().ComputerName(), db);
    }
    static void exec(const QString &file, const char *sql)
    {
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK);
        char *msg = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
        if (rc != SQLITE_OK)
            qWarning() << msg;
        sqlite3_free(msg);
        sqlite3_close(db);
        QCOMPARE(rc, SQLITE_OK);
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<test::IsolatedEnvironment>();
        dataFolder = env->filePath(QStringLiteral("data"));
        QDir().mkpath(dataFolder);
        exec(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"),
             "CREATE TABLE tbl_User(ObjectID TEXT COLLATE NOCASE PRIMARY KEY, Alias TEXT COLLATE NOCASE, "
             "DisplayName TEXT COLLATE NOCASE, Extension INTEGER);"
             "INSERT INTO tbl_User VALUES('AAAA-1','jsmith','John Smith',1001),('BBBB-2','mjones',NULL,1002),"
             "('CCCC-3','Avery','Avery Quinn',-5);"
             "CREATE TABLE conflict_tbl_User(ObjectID TEXT);"
             "CREATE TABLE tbl_NoKey(Name TEXT COLLATE NOCASE, Value TEXT);"
             "INSERT INTO tbl_NoKey VALUES('a','1');"
             "CREATE VIEW vw_User AS SELECT ObjectID, Alias, DisplayName FROM tbl_User;"
             "CREATE VIEW OtherView AS SELECT 1 AS x;"
             "CREATE TABLE korva_procedures(id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE UNIQUE NOT NULL, "
             "definition TEXT NOT NULL);"
             "CREATE TABLE korva_procedure_parameters(procedure_id INTEGER NOT NULL, ordinal INTEGER NOT NULL, "
             "name TEXT COLLATE NOCASE NOT NULL, type_name TEXT NOT NULL, length INTEGER NOT NULL, "
             "is_output INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(procedure_id, ordinal));"
             "INSERT INTO korva_procedures VALUES(7,'csp_UserRename','CREATE PROCEDURE csp_UserRename "
             "@ObjectID uniqueidentifier, @Name nvarchar(64) AS UPDATE tbl_User SET DisplayName=@Name "
             "WHERE ObjectID=@objectid; UPDATE tbl_User SET Extension = Extension WHERE ObjectID=@ObjectID');"
             "INSERT INTO korva_procedures VALUES(11,'csp_Commented','CREATE PROCEDURE csp_Commented -- lists users as "
             "rows\n"
             "@As nvarchar(10) /* named as a keyword */ AS SELECT ''as-is'' AS Tag, @As AS Given');"
             "INSERT INTO korva_procedures VALUES(9,'csp_Broken','CREATE PROCEDURE csp_Broken @Name nvarchar(64) AS "
             "UPDATE tbl_User SET DisplayName=@Name; SELECT * FROM tbl_Missing');"
             "INSERT INTO korva_procedure_parameters VALUES(7,1,'@ObjectID','uniqueidentifier',16,0),"
             "(7,2,'@Name','nvarchar',64,0);");
        exec(dataFolder + QStringLiteral("/OrvexDynDB.sqlite"),
             "CREATE TABLE tbl_Session(ObjectID TEXT COLLATE NOCASE PRIMARY KEY, Port INTEGER);"
             "INSERT INTO tbl_Session VALUES('S1', 4);");
        // A copy with a name that is no database name must not get in the way.
        exec(dataFolder + QStringLiteral("/OrvexDirDB-backup.sqlite"), "CREATE TABLE x(a)");
        registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"), dataFolder);
        resetConnectionPool();
    }

    void cleanupTestCase()
    {
        resetConnectionPool();
        env.reset();
    }

    void parsesBothConnectionStringForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("database");
        QTest::addColumn<int>("port");
        QTest::newRow("odbc") << "Driver={SQL Server};server=HOST\\zandelorvex;database=OrvexMbxDB1"
                              << "HOST"
                              << "zandelorvex"
                              << "OrvexMbxDB1" << 0;
        QTest::newRow("odbc-braced-driver-with-semicolon") << "Driver={SQL; Server};SERVER=h2;Database=x"
                                                           << "h2"
                                                           << ""
                                                           << "x" << 0;
        QTest::newRow("oledb") << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                  "Initial Catalog=OrvexDirDB;Data Source=REMOTE"
                               << "REMOTE"
                               << ""
                               << "OrvexDirDB" << 0;
        QTest::newRow("oledb-instance-port") << "Data Source=tcp:r1\\inst,1433;Initial Catalog=d"
                                             << "r1"
                                             << "inst"
                                             << "d" << 1433;
        // A typed "host,port" that the program then gives its instance.
        QTest::newRow("port-before-instance") << "Driver={SQL Server};server=10.1.2.3,1533\\zandelorvex;database=d"
                                              << "10.1.2.3"
                                              << "zandelorvex"
                                              << "d" << 1533;
    }
    void parsesBothConnectionStringForms()
    {
        QFETCH(QString, text);
        const ConnectionTarget t = parseConnectionString(text);
        QVERIFY(t.valid);
        QTEST(t.server, "server");
        QTEST(t.instance, "instance");
        QTEST(t.database, "database");
        QTEST(t.port, "port");
        QVERIFY(!parseConnectionString(QStringLiteral("database=x")).valid);
        // A port that is not one reaches no server, rather than the default port.
        QVERIFY(!parseConnectionString(QStringLiteral("server=h,15x3\\i;database=x")).valid);
    }

    void rewritesTransactSql_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("catalogue-own-db") << "select name from OrvexDirDB.dbo.sysobjects where type ='u'"
                                          << "select name from temp.sysobjects_main where type ='u'";
        QTest::newRow("catalogue-other-db") << "select name from OrvexDynDB.dbo.sysobjects"
                                            << "select name from temp.sysobjects_orvexdyndb";
        QTest::newRow("plain-syscolumns-left-to-the-temp-view")
            << "select name from syscolumns where id=object_id('x')"
            << "select name from syscolumns where id=object_id('x')";
        QTest::newRow("three-part-table") << "SELECT * FROM OrvexDynDB.dbo.[tbl_Session]"
                                          << "SELECT * FROM OrvexDynDB.[tbl_Session]";
        QTest::newRow("double-dot") << "SELECT * FROM OrvexDirDB..tbl_User"
                                    << "SELECT * FROM main.tbl_User";
        QTest::newRow("dbo-prefix") << "SELECT * FROM dbo.tbl_User"
                                    << "SELECT * FROM tbl_User";
        QTest::newRow("table-dot-column-untouched") << "select tbl_user.DisplayName from tbl_User"
                                                    << "select tbl_user.DisplayName from tbl_User";
        QTest::newRow("strings-untouched") << "select 'OrvexDirDB.dbo.sysobjects'"
                                           << "select 'OrvexDirDB.dbo.sysobjects'";
        QTest::newRow("top") << "SELECT TOP 5 * FROM t ORDER BY a;"
                             << "SELECT  * FROM t ORDER BY a LIMIT 5;";
        QTest::newRow("national-string") << "select N'abc'"
                                         << "select 'abc'";
        QTest::newRow("top-in-subquery") << "SELECT * FROM t WHERE id IN (SELECT TOP 1 id FROM u ORDER BY x) ORDER BY y"
                                         << "SELECT * FROM t WHERE id IN (SELECT  id FROM u ORDER BY x LIMIT 1) ORDER "
                                            "BY y";
        QTest::newRow("top-distinct-parenthesised") << "select distinct top (3) a from t"
                                                    << "select distinct  a from t LIMIT 3";
        QTest::newRow("doubled-bracket-as-quoted-name") << "SELECT [a]]b], [c] FROM OrvexDynDB.dbo.[t]]\"x]"
                                                        << "SELECT \"a]b\", [c] FROM OrvexDynDB.\"t]\"\"x\"";
        QTest::newRow("top-as-a-column-is-not-a-limit") << "select a, top from t"
                                                        << "select a, top from t";
    }
    void rewritesTransactSql()
    {
        QFETCH(QString, in);
        const tsql::Context ctx{QStringLiteral("OrvexDirDB"), {QStringLiteral("OrvexDynDB")}};
        QTEST(tsql::rewrite(in, ctx), "out");
    }

    void listsTablesAndViewsAsTheWindowsAsk()
    {
        Error e;
        auto tables = openResultSet(conn(),
                                    QStringLiteral("select name as 'Table Name' from OrvexDirDB.dbo.sysobjects "
                                                   "where type ='u' and name not like 'conflict_%' order by name"),
                                    &e);
        QVERIFY2(tables, qPrintable(e.description));
        QCOMPARE(tables->columns(), QStringList{QStringLiteral("Table Name")});
        QCOMPARE(tables->recordCount(), 2);
        QCOMPARE(tables->field(QStringLiteral("table name")).toString(), QStringLiteral("tbl_NoKey"));
        tables->moveNext();
        QCOMPARE(tables->field(0).toString(), QStringLiteral("tbl_User"));
        tables->moveNext();
        QVERIFY(tables->eof());
        QCOMPARE(tables->field(0, &e), QVariant());
        QCOMPARE(e.number, kErrNoCurrentRecord);

        auto views = openResultSet(conn(),
                                   QStringLiteral("select name as 'Table Name' from OrvexDirDB.dbo.sysobjects "
                                                  "where type ='v' and name like 'vw_%' order by name"),
                                   &e);
        QVERIFY(views);
        QCOMPARE(views->recordCount(), 1);
        QCOMPARE(views->field(0).toString(), QStringLiteral("vw_User"));

        // Another database's catalogue over the same connection.
        auto dyn = openResultSet(conn(), QStringLiteral("select name from OrvexDynDB.dbo.sysobjects where type='U'"),
                                 &e);
        QVERIFY(dyn);
        QCOMPARE(dyn->recordCount(), 1);
        QCOMPARE(dyn->field(0).toString(), QStringLiteral("tbl_Session"));
    }

    void listsColumnsThroughObjectId()
    {
        Error e;
        auto cols = openResultSet(conn(),
                                  QStringLiteral("select name as 'Column Name' from syscolumns where "
                                                 "id=object_id('TBL_USER') ORDER By name"),
                                  &e);
        QVERIFY2(cols, qPrintable(e.description));
        QStringList names;
        for (cols->moveFirst(); !cols->eof(); cols->moveNext())
            names << cols->field(QStringLiteral("Column Name")).toString();
        QCOMPARE(names, (QStringList{"Alias", "DisplayName", "Extension", "ObjectID"}));
        auto none = openResultSet(conn(), QStringLiteral("select name from syscolumns where id=object_id('nope')"), &e);
        QVERIFY(none);
        QCOMPARE(none->recordCount(), 0);
        QVERIFY(none->eof());
    }

    void catalogueFollowsSchemaChangesAndQualifiedNames()
    {
        Error e;
        // Columns qualified by the catalogue's own names.
        auto joined = openResultSet(conn(),
                                    QStringLiteral(
                                        "select sysobjects.name, syscolumns.name from sysobjects join syscolumns "
                                        "on sysobjects.id = syscolumns.id where sysobjects.name = 'tbl_NoKey' "
                                        "order by syscolumns.name"),
                                    &e);
        QVERIFY2(joined, qPrintable(e.description));
        QCOMPARE(joined->recordCount(), 2);
        // A table added by another connection shows with its columns.
        exec(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"), "CREATE TABLE tbl_Added(ObjectID TEXT, Extra INTEGER)");
        auto cols = openResultSet(conn(), QStringLiteral("select name from syscolumns where id=object_id('tbl_Added')"),
                                  &e);
        QVERIFY(cols);
        QCOMPARE(cols->recordCount(), 2);
        exec(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"), "DROP TABLE tbl_Added");
        cols = openResultSet(conn(), QStringLiteral("select name from syscolumns where id=object_id('tbl_Added')"), &e);
        QCOMPARE(cols->recordCount(), 0);
    }

    void comparesTextWithoutCaseAndKeepsTypes()
    {
        Error e;
        auto rs = openResultSet(conn(),
                                QStringLiteral("SELECT [Alias], DisplayName, Extension FROM [tbl_User] "
                                               "WHERE ObjectID='bbbb-2'"),
                                &e);
        QVERIFY(rs);
        QCOMPARE(rs->recordCount(), 1);
        QCOMPARE(rs->field(QStringLiteral("alias")).toString(), QStringLiteral("mjones"));
        QVERIFY(rs->field(QStringLiteral("DisplayName")).isNull());
        QCOMPARE(rs->field(QStringLiteral("Extension")).typeId(), QMetaType::LongLong);
        QCOMPARE(rs->rows().text(0, 2), QStringLiteral("1002"));
        auto like = openResultSet(conn(),
                                  QStringLiteral("SELECT Alias FROM tbl_User WHERE Alias like 'A%' ORDER BY Alias"),
                                  &e);
        QCOMPARE(like->recordCount(), 1);
    }

    void reportsErrorsWithNumbers()
    {
        Error e;
        QVERIFY(!openResultSet(conn(), QStringLiteral("select * from tbl_Missing"), &e));
        QCOMPARE(e.number, kErrNoSuchObject);
        QCOMPARE(e.description, QStringLiteral("Invalid object name 'tbl_Missing'."));
        e = {};
        QVERIFY(!openResultSet(conn(), QStringLiteral("select Nope from tbl_User"), &e));
        QCOMPARE(e.description, QStringLiteral("Invalid column name 'Nope'."));
        e = {};
        QVERIFY(!openResultSet(conn(), QStringLiteral("select from where"), &e));
        QCOMPARE(e.number, kErrCommand);
        QVERIFY(e.description.startsWith(QStringLiteral("Incorrect syntax near")));
    }

    void unknownServerAndDatabaseFailClearly()
    {
        Error e;
        QVERIFY(!openResultSet(QStringLiteral("Driver={SQL Server};server=NOSUCHHOST\\zandelorvex;database=OrvexDirDB"),
                               QStringLiteral("select 1"), &e));
        // An unregistered server goes to ODBC, whose driver manager says why it cannot connect.
        QCOMPARE(e.number, kErrGeneric);
        QVERIFY(!e.description.isEmpty());
        e = testConnection(conn(QStringLiteral("OrvexNoDB")));
        QCOMPARE(e.number, kErrGeneric);
        QVERIFY(e.description.contains(QStringLiteral("OrvexNoDB")));
        // The test connection of a remote attach names the server only.
        QVERIFY(
            !testConnection(QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                           "Initial Catalog=OrvexDirDB;Data Source=")
                            + WorkStationInfo::instance().ComputerName())
                 .isSet());
    }

    void executesTextAndCountsAffectedRows()
    {
        Error e;
        ExecOutcome out = executeText(conn(QStringLiteral("OrvexDynDB")),
                                      QStringLiteral("UPDATE tbl_Session SET Port = Port + 1; UPDATE tbl_Session SET "
                                                     "Port = Port - 1"),
                                      &e);
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(out.recordsAffected, 2);
        QVERIFY(!out.rows);
        out = executeText(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("SELECT TOP 1 * FROM tbl_Session"), &e);
        QVERIFY(out.rows);
        QCOMPARE(out.rows->recordCount(), 1);
    }

    void runsProceduresWithBoundParameters()
    {
        auto session = sessionFor(conn(), nullptr);
        QVERIFY(session);
        const QList<ProcedureInfo> procs = session->procedures(nullptr);
        QCOMPARE(procs.size(), 3);
        QCOMPARE(procs[0].id, 7);
        QCOMPARE(procs[0].parameters.size(), 2);
        QCOMPARE(procs[0].parameters[1].name, QStringLiteral("@Name"));
        QCOMPARE(procs[0].parameters[1].length, 64);

        Error e;
        executeProcedure(conn(), QStringLiteral("CSP_USERRENAME"),
                         {{QStringLiteral("objectid"), 72, QStringLiteral("cccc-3")},
                          {QStringLiteral("Name"), 200, QStringLiteral("Renamed")}},
                         &e);
        QVERIFY2(!e, qPrintable(e.description));
        auto rs = openResultSet(conn(), QStringLiteral("select DisplayName from tbl_User where ObjectID='CCCC-3'"), &e);
        QCOMPARE(rs->field(0).toString(), QStringLiteral("Renamed"));

        // A failing procedure leaves nothing half done.
        executeProcedure(conn(), QStringLiteral("csp_Broken"), {{QStringLiteral("Name"), 200, QStringLiteral("X")}},
                         &e);
        QCOMPARE(e.number, kErrNoSuchObject);
        rs = openResultSet(conn(), QStringLiteral("select count(*) from tbl_User where DisplayName='X'"), &e);
        QCOMPARE(rs->field(0).toInt(), 0);
        e = {};
        executeProcedure(conn(), QStringLiteral("csp_Nothing"), {}, &e);
        QVERIFY(e.isSet());
        // The body starts at the first real AS: not in a comment, a string or a parameter name.
        e = {};
        ExecOutcome tagged = executeProcedure(conn(), QStringLiteral("csp_Commented"),
                                              {{QStringLiteral("As"), 200, QStringLiteral("x")}}, &e);
        QVERIFY2(!e, qPrintable(e.description));
        QVERIFY(tagged.rows);
        QCOMPARE(tagged.rows->field(QStringLiteral("Tag")).toString(), QStringLiteral("as-is"));
        QCOMPARE(tagged.rows->field(QStringLiteral("Given")).toString(), QStringLiteral("x"));
    }

    // A procedure's every result set, its output parameters as it last set
    // them, the value it returned and the records it changed; nothing after
    // its RETURN runs, and outputs are given only to parameters declared so.
    void proceduresHandBackResultSetsOutputsAndReturnValue()
    {
        exec(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"),
             "INSERT INTO korva_procedures VALUES(21,'csp_UserTotalsSet','CREATE PROCEDURE csp_UserTotalsSet "
             "@Prefix nvarchar(10), @Total int OUTPUT, @Label nvarchar(20) OUTPUT AS\n"
             "SET NOCOUNT ON;\n"
             "SELECT ObjectID FROM tbl_User WHERE Alias LIKE @Prefix || ''%'' ORDER BY ObjectID;\n"
             "SET @Total = (SELECT COUNT(*) FROM tbl_User);\n"
             "SELECT @Total AS Total, ''a;b'' AS Semi;\n"
             "UPDATE tbl_User SET Extension = Extension WHERE Extension > 1000;\n"
             "SET @Label = ''users: '' || @Total; -- the last value set is the one returned\n"
             "RETURN (@Total * 2);\n"
             "UPDATE tbl_User SET DisplayName = ''after return'';');"
             "INSERT INTO korva_procedure_parameters VALUES(21,1,'@Prefix','nvarchar',10,0),"
             "(21,2,'@Total','int',4,1),(21,3,'@Label','nvarchar',20,1);");
        Error e;
        ExecOutcome out = executeProcedure(conn(), QStringLiteral("csp_UserTotalsSet"),
                                           {{QStringLiteral("Prefix"), 200, QStringLiteral("j")},
                                            {QStringLiteral("Label"), 200, QVariant(), true, 20},
                                            {QStringLiteral("Total"), 3, QVariant(), true}},
                                           &e);
        QVERIFY2(!e, qPrintable(e.description));
        QVERIFY(out.rows);
        QCOMPARE(out.rows->columns(), QStringList{QStringLiteral("ObjectID")});
        QCOMPARE(out.rows->recordCount(), 1);
        QCOMPARE(out.rows->field(0).toString(), QStringLiteral("AAAA-1"));
        QCOMPARE(out.laterRows.size(), std::size_t(1));
        ResultSet &totals = *out.laterRows[0];
        QCOMPARE(totals.field(QStringLiteral("Total")).toInt(), 3);
        QCOMPARE(totals.field(QStringLiteral("Semi")).toString(), QStringLiteral("a;b"));
        // In the order asked for.
        QCOMPARE(out.outputs.size(), 2);
        QCOMPARE(out.outputs[0].name, QStringLiteral("@Label"));
        QCOMPARE(out.outputs[0].value.toString(), QStringLiteral("users: 3"));
        QCOMPARE(out.outputs[1].name, QStringLiteral("@Total"));
        QCOMPARE(out.outputs[1].value.toInt(), 3);
        QCOMPARE(out.returnValue, std::optional<qint64>(6));
        QCOMPARE(out.recordsAffected, 2);
        auto rs = openResultSet(conn(),
                                QStringLiteral("SELECT COUNT(*) FROM tbl_User WHERE DisplayName = 'after "
                                               "return'"),
                                &e);
        QCOMPARE(rs->field(0).toInt(), 0);

        // An output the procedure does not declare is refused, and nothing runs.
        e = {};
        out = executeProcedure(conn(), QStringLiteral("csp_UserTotalsSet"),
                               {{QStringLiteral("Prefix"), 200, QStringLiteral("j"), true}}, &e);
        QVERIFY(e.description.startsWith(u"The formal parameter \"@Prefix\" was not declared as an OUTPUT"));
        QVERIFY(!out.rows);

        // Without RETURN a procedure returns 0; with no outputs asked, none come back.
        e = {};
        out = executeProcedure(conn(), QStringLiteral("csp_Commented"),
                               {{QStringLiteral("As"), 200, QStringLiteral("x")}}, &e);
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(out.returnValue, std::optional<qint64>(0));
        QVERIFY(out.outputs.isEmpty());
        QVERIFY(out.laterRows.empty());

        // Over a slow server each further result set is another wait.
        SessionMeter meter;
        auto slow = withDelay(sessionFor(conn(), nullptr), std::chrono::milliseconds(0), &meter);
        out = slow->callProcedure(QStringLiteral("csp_UserTotalsSet"),
                                  {{QStringLiteral("Prefix"), 200, QStringLiteral("m")}}, &e);
        QCOMPARE(meter.calls.load(), 2);
        QCOMPARE(out.rows->field(0).toString(), QStringLiteral("BBBB-2"));
    }

    void findsPrimaryKeysAndWritesCellsBack()
    {
        auto session = sessionFor(conn(), nullptr);
        QCOMPARE(session->primaryKeyColumn(QStringLiteral("tbl_user"), nullptr), QStringLiteral("ObjectID"));
        QCOMPARE(session->primaryKeyColumn(QStringLiteral("vw_User"), nullptr), QString());
        QCOMPARE(session->primaryKeyColumn(QStringLiteral("OrvexDynDB.dbo.tbl_Session"), nullptr),
                 QStringLiteral("ObjectID"));
        // A view has no key but is there; a missing table or database is an error.
        Error missing;
        QCOMPARE(session->primaryKeyColumn(QStringLiteral("vw_User"), &missing), QString());
        QVERIFY(!missing);
        for (const QString &name : {QStringLiteral("tbl_NoSuch"), QStringLiteral("NoSuchDB.dbo.tbl_User")}) {
            missing = {};
            QCOMPARE(session->primaryKeyColumn(name, &missing), QString());
            QCOMPARE(missing.number, kErrNoSuchObject);
        }

        Error e;
        auto rs = openResultSet(conn(), QStringLiteral("SELECT Alias, [ObjectID] FROM [tbl_User] ORDER BY Alias"), &e,
                                Lock::Pessimistic);
        QVERIFY(rs);
        rs->fetchAll();
        QVERIFY(rs->updateCell(0, 0, QStringLiteral("avery2"), &e));
        QCOMPARE(rs->rows().text(0, 0), QStringLiteral("avery2"));
        auto check = openResultSet(conn(), QStringLiteral("SELECT Alias FROM tbl_User WHERE ObjectID='CCCC-3'"), &e);
        QCOMPARE(check->field(0).toString(), QStringLiteral("avery2"));

        auto noKey = openResultSet(conn(), QStringLiteral("SELECT Name FROM tbl_NoKey"), &e, Lock::Pessimistic);
        noKey->fetchAll();
        e = {};
        QVERIFY(!noKey->updateCell(0, 0, QStringLiteral("b"), &e));
        QVERIFY(e.description.contains(QStringLiteral("no primary key")));
        QCOMPARE(noKey->rows().text(0, 0), QStringLiteral("a"));

        auto readOnly = openResultSet(conn(), QStringLiteral("SELECT Alias, ObjectID FROM tbl_User"), &e);
        QVERIFY(!readOnly->updateCell(0, 0, QStringLiteral("x"), &e));
    }

    // An edit finds its row by the whole key, and changes that row or nothing.
    void editsKeyOnEveryKeyColumn()
    {
        Error made;
        executeText(conn(),
                    QStringLiteral("CREATE TABLE tbl_Pair(Owner TEXT COLLATE NOCASE, Slot INTEGER, Label TEXT, "
                                   "PRIMARY KEY(Owner, Slot)); INSERT INTO tbl_Pair VALUES('x',1,'one'),"
                                   "('x',2,'two'),('y',1,'three')"),
                    &made);
        QVERIFY2(!made, qPrintable(made.description));
        auto session = sessionFor(conn(), nullptr);
        QCOMPARE(session->primaryKeyColumns(QStringLiteral("tbl_Pair"), nullptr),
                 (QStringList{QStringLiteral("Owner"), QStringLiteral("Slot")}));
        Error e;
        auto rs = openResultSet(conn(), QStringLiteral("SELECT Owner, Slot, Label FROM tbl_Pair ORDER BY Owner, Slot"),
                                &e, Lock::Pessimistic);
        QVERIFY(rs);
        rs->fetchAll();
        QVERIFY2(rs->updateCell(1, 2, QStringLiteral("TWO"), &e), qPrintable(e.description));
        auto labels = [&] {
            QStringList out;
            auto check = openResultSet(conn(), QStringLiteral("SELECT Label FROM tbl_Pair ORDER BY Owner, Slot"), &e);
            for (check->moveFirst(); !check->eof(); check->moveNext())
                out << check->field(0).toString();
            return out;
        };
        QCOMPARE(labels(), (QStringList{QStringLiteral("one"), QStringLiteral("TWO"), QStringLiteral("three")}));
        // A row deleted behind the grid's back: nothing is written, the old value stays shown.
        Error ignored;
        executeText(conn(), QStringLiteral("DELETE FROM tbl_Pair WHERE Owner='y'"), &ignored);
        e = {};
        QVERIFY(!rs->updateCell(2, 2, QStringLiteral("gone"), &e));
        QVERIFY(e.description.startsWith(QStringLiteral("Row cannot be located for updating")));
        QCOMPARE(rs->rows().text(2, 2), QStringLiteral("three"));
        QCOMPARE(labels(), (QStringList{QStringLiteral("one"), QStringLiteral("TWO")}));
        // A result without every key column cannot be edited at all.
        auto partial = openResultSet(conn(), QStringLiteral("SELECT Owner, Label FROM tbl_Pair"), &e,
                                     Lock::Pessimistic);
        partial->fetchAll();
        QVERIFY(!partial->updateCell(0, 1, QStringLiteral("z"), &e));
        QCOMPARE(labels(), (QStringList{QStringLiteral("one"), QStringLiteral("TWO")}));
    }

    // Tables and columns whose names hold brackets, quotes, dots and blanks
    // are listed, read and edited like any other.
    void oddNamesAreUsable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("closing-bracket") << QStringLiteral("odd]name");
        QTest::newRow("opening-bracket") << QStringLiteral("odd[name");
        QTest::newRow("apostrophe") << QStringLiteral("odd'name");
        QTest::newRow("dot") << QStringLiteral("odd.name");
        QTest::newRow("double-quote") << QStringLiteral("odd\"name");
        QTest::newRow("blanks") << QStringLiteral("odd name ");
    }
    void oddNamesAreUsable()
    {
        QFETCH(QString, name);
        Error e;
        const QString table = sql::quoteBracketed(name);
        const QString column = sql::quoteBracketed(QStringLiteral("c") + name);
        executeText(conn(),
                    QStringLiteral("CREATE TABLE %1(%2 TEXT PRIMARY KEY, [v] TEXT); INSERT INTO %1 VALUES('k','old')")
                        .arg(table, column),
                    &e);
        QVERIFY2(!e, qPrintable(e.description));
        auto cols = openResultSet(conn(),
                                  QStringLiteral("select name as 'Column Name' from syscolumns where id=object_id(")
                                      + sql::quoteLiteral(sql::objectIdName(name)) + QStringLiteral(") ORDER By name"),
                                  &e);
        QVERIFY2(cols, qPrintable(e.description));
        QCOMPARE(cols->recordCount(), 2);
        QCOMPARE(cols->field(0).toString(), QStringLiteral("c") + name);
        auto rs = openResultSet(conn(), QStringLiteral("SELECT %1, [v] FROM %2").arg(column, table), &e,
                                Lock::Pessimistic);
        QVERIFY2(rs, qPrintable(e.description));
        rs->fetchAll();
        QCOMPARE(rs->columns().first(), QStringLiteral("c") + name);
        QVERIFY2(rs->updateCell(0, 1, QStringLiteral("new"), &e), qPrintable(e.description));
        auto check = openResultSet(conn(), QStringLiteral("SELECT v FROM %1").arg(table), &e);
        QCOMPARE(check->field(0).toString(), QStringLiteral("new"));
        // A name that is not there is an error, never a text.
        e = {};
        QVERIFY(!openResultSet(conn(), QStringLiteral("SELECT [no]]such] FROM %1").arg(table), &e));
        QCOMPARE(e.number, kErrCommand);
        QVERIFY(!openResultSet(conn(), QStringLiteral("SELECT \"nosuch\" FROM %1").arg(table), &e));
    }

    void badConnectionStringsNeverGiveAnEmptyDatabase()
    {
        const QString computer = WorkStationInfo::instance().ComputerName();
        for (const QString &text : {QStringLiteral("Driver={SQL Server;server=%1\\zandelorvex;database=OrvexDirDB"),
                                    QStringLiteral("Driver={SQL Server};server={%1\\zandelorvex;database=OrvexDirDB"),
                                    QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex")}) {
            Error e;
            QVERIFY2(!openResultSet(text.arg(computer), QStringLiteral("select * from tbl_User"), &e),
                     qPrintable(text));
            QVERIFY(e.isSet());
        }
    }

    void cellTextKeepsEveryCharacter()
    {
        Error e;
        const QString text = QString(QChar(0xFEFF)) + QStringLiteral("Zoë ") + QString(QChar(0xFEFF));
        auto rs = openResultSet(conn(),
                                QStringLiteral("SELECT ") + sql::quoteLiteral(text) + QStringLiteral(" AS t, LEN(")
                                    + sql::quoteLiteral(text) + QStringLiteral(") AS n"),
                                &e);
        QVERIFY(rs);
        QCOMPARE(rs->field(0).toString(), text);
        QCOMPARE(rs->rows().text(0, 0), text);
        QCOMPARE(rs->field(1).toInt(), 6);
    }

    // A large result is read in pieces handed to another thread: every row
    // arrives, in order, with each cell as SQLite holds it.
    void largeResultsArriveWholeAndInOrder()
    {
        const QString file = dataFolder + QStringLiteral("/OrvexDynDB.sqlite");
        exec(file, "CREATE TABLE tbl_Pieces(n INTEGER, t TEXT, r REAL, b BLOB, d TEXT);"
                   "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 10000) "
                   "INSERT INTO tbl_Pieces SELECT x, CASE WHEN x % 5 = 0 THEN NULL ELSE 'row ' || x END, x / 4.0, "
                   "CASE WHEN x % 7 = 0 THEN x'01ff' END, printf('2005-06-%02d %02d:%02d:00.000', 1 + x % 28, "
                   "x % 24, x % 60) FROM c;");
        const auto dropped = qScopeGuard([&] { exec(file, "DROP TABLE tbl_Pieces;"); });
        Error e;
        auto rs = openResultSet(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("SELECT * FROM tbl_Pieces"), &e);
        QVERIFY2(rs, qPrintable(e.description));
        rs->fetchAll();
        QVERIFY(!rs->lastError().isSet());
        QCOMPARE(rs->fetchedCount(), 10000);
        const RowStore &rows = rs->rows();
        for (int x : {1, 2047, 2048, 2049, 4096, 4097, 5000, 9999, 10000}) {
            const int r = x - 1;
            QCOMPARE(rows.value(r, 0).toLongLong(), x);
            QCOMPARE(rows.isNull(r, 1), x % 5 == 0);
            if (x % 5)
                QCOMPARE(rows.text(r, 1), QStringLiteral("row %1").arg(x));
            QCOMPARE(rows.value(r, 2).toDouble(), x / 4.0);
            QCOMPARE(rows.text(r, 3), x % 7 == 0 ? QStringLiteral("0x01FF") : QString());
            QCOMPARE(rows.text(r, 4), QStringLiteral("2005-06-%1 %2:%3:00.000")
                                          .arg(1 + x % 28, 2, 10, QChar(u'0'))
                                          .arg(x % 24, 2, 10, QChar(u'0'))
                                          .arg(x % 60, 2, 10, QChar(u'0')));
        }
    }

    // A row too large for the row store is reported, not stored cut short.
    void oversizedRowIsAnError()
    {
        Error e;
        auto rs = openResultSet(conn(),
                                QStringLiteral("SELECT 1 AS a, NULL AS b UNION ALL SELECT 2, zeroblob(300000000) || "
                                               "zeroblob(300000000)"),
                                &e);
        QVERIFY2(rs, qPrintable(e.description));
        rs->fetchAll();
        QVERIFY(rs->lastError().isSet());
        QVERIFY(rs->lastError().description.contains(QStringLiteral("512 MB")));
        QCOMPARE(rs->fetchedCount(), 1);
        QCOMPARE(rs->rows().text(0, 0), QStringLiteral("1"));
    }

    // The pool is a seam: another engine can stand behind every query.
    void poolTakesAnotherEngine()
    {
        int opened = 0;
        auto previous = installSessionPool(std::make_unique<SessionPool>([&](const ConnectionTarget &t, Error *) {
            ++opened;
            return std::make_shared<EchoSession>(t);
        }));
        const auto restore = qScopeGuard([&] { installSessionPool(std::move(previous)); });
        Error e;
        auto rs = openResultSet(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("select 1"), &e);
        QVERIFY(rs);
        QCOMPARE(rs->field(0).toString(), QStringLiteral("OrvexDynDB:select 1"));
        openResultSet(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("select 2"), &e);
        QCOMPARE(opened, 1); // one session per database, reused
    }

    // An opening holds up neither the pool nor the callers of other
    // connections; callers of the same connection meanwhile share it.
    void poolOpensEachConnectionOnceOutsideItsLock()
    {
        HeldOpener held;
        auto first = held.startHeld();
        auto other = HeldOpener::ask(QStringLiteral("Other"));
        QCOMPARE(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        QVERIFY(other.get().first);
        std::vector<HeldOpener::Answer> same;
        for (int i = 0; i < 3; ++i)
            same.push_back(HeldOpener::ask(QStringLiteral("Held")));
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let them reach the wait
        held.release.set_value();
        const std::shared_ptr<Session> s = first.get().first;
        QVERIFY(s);
        for (auto &f : same)
            QCOMPARE(f.get().first, s);
        QCOMPARE(held.heldOpenings.load(), 1);
    }

    // Every caller waiting for an opening that fails is told why; nothing is
    // kept, so the next call opens again.
    void failedOpeningIsToldToEveryCallerAndTriedAgain()
    {
        HeldOpener held;
        held.refuse = true;
        auto first = held.startHeld();
        auto second = HeldOpener::ask(QStringLiteral("Held"));
        held.release.set_value();
        for (auto *f : {&first, &second}) {
            const auto [s, e] = f->get();
            QVERIFY(!s);
            QCOMPARE(e.description, QStringLiteral("refused"));
        }
        held.refuse = false;
        const int before = held.heldOpenings;
        QVERIFY(HeldOpener::ask(QStringLiteral("Held")).get().first);
        QCOMPARE(held.heldOpenings.load(), before + 1);
    }

    // The windows' thread never waits for another thread's opening (which
    // may need it for a login): it opens its own, the first one opened is
    // kept and the other let go. An opening that outlives a reset is not kept.
    void windowThreadOpensItsOwnAndOneSessionIsKept()
    {
        HeldOpener held;
        auto first = held.startHeld();
        Error e;
        const std::shared_ptr<Session> own = sessionFor(HeldOpener::connection(QStringLiteral("Held")), &e);
        QVERIFY(own);
        held.release.set_value();
        QCOMPARE(first.get().first, own);
        QVERIFY(held.firstHeld.expired());

        HeldOpener again;
        auto cleared = again.startHeld();
        resetConnectionPool();
        again.release.set_value();
        const std::shared_ptr<Session> unkept = cleared.get().first;
        QVERIFY(unkept);
        QVERIFY(HeldOpener::ask(QStringLiteral("Held")).get().first != unkept);
    }

    // A slow server: every query and every batch waits; the rows are the same.
    void delayedSessionWaitsBeforeEachCall()
    {
        auto previous = installSessionPool(std::make_unique<SessionPool>([](const ConnectionTarget &t, Error *e) {
            return withDelay(openEngineSession(t, e), std::chrono::milliseconds(30));
        }));
        const auto restore = qScopeGuard([&] { installSessionPool(std::move(previous)); });
        Error e;
        QElapsedTimer clock;
        clock.start();
        auto rs = openResultSet(conn(), QStringLiteral("SELECT ObjectID FROM tbl_User ORDER BY ObjectID"), &e);
        QVERIFY2(rs, qPrintable(e.description));
        QVERIFY(clock.elapsed() >= 60); // the query, then the first row's batch
        QCOMPARE(rs->recordCount(), 3);
        QCOMPARE(rs->rows().text(0, 0), QStringLiteral("AAAA-1"));
    }

    // A loader thread fetches while this thread queries the same connection.
    void oneConnectionServesTwoThreads()
    {
        Error e;
        executeText(conn(QStringLiteral("OrvexDynDB")),
                    QStringLiteral("CREATE TABLE tbl_Many(n INTEGER); WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL "
                                   "SELECT n + 1 FROM c "
                                   "WHERE n < 50000) INSERT INTO tbl_Many SELECT n FROM c"),
                    &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto drop = qScopeGuard([&] {
            Error ignored;
            executeText(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("DROP TABLE tbl_Many"), &ignored);
        });
        std::shared_ptr<ResultSet> many = openResultSet(conn(QStringLiteral("OrvexDynDB")),
                                                        QStringLiteral("SELECT n FROM tbl_Many"), &e);
        QVERIFY(many);
        std::thread loader([many] {
            while (!many->isComplete())
                many->fetchMore(500);
        });
        int answered = 0;
        for (int i = 0; i < 300; ++i) {
            auto one = openResultSet(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("SELECT Port FROM tbl_Session"),
                                     &e);
            answered += one && one->field(0).toInt() == 4 ? 1 : 0;
        }
        loader.join();
        QCOMPARE(answered, 300);
        QCOMPARE(many->fetchedCount(), 50000);
        QCOMPARE(many->rows().text(49999, 0), QStringLiteral("50000"));
    }

    void inMemoryResultSetsAndBatches()
    {
        auto mem = ResultSet::inMemory({QStringLiteral("Name"), QStringLiteral("Type")});
        mem->addRow({QStringLiteral("@a"), QStringLiteral("int")});
        mem->addRow({QStringLiteral("@b"), QVariant()});
        QCOMPARE(mem->recordCount(), 2);
        mem->moveLast();
        QVERIFY(mem->field(QStringLiteral("type")).isNull());

        Error e;
        auto rs = openResultSet(conn(), QStringLiteral("SELECT * FROM tbl_User"), &e);
        QCOMPARE(rs->fetchedCount(), 1); // the first row arrives with the open
        QVERIFY(!rs->isComplete());
        rs->fetchMore(1);
        QCOMPARE(rs->fetchedCount(), 2);
        QCOMPARE(rs->recordCount(), 3);
        QVERIFY(rs->isComplete());
    }
};

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_database.moc"
