#include "common/testsupport.h"
#include "main/browsecontroller.h"
#include "platform/database.h"
#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtTest/QtTest>

#include <sqlite3.h>

using namespace korva;

// Everything a table load asks of the server, without a window.
class tst_BrowseController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;

    static QString conn(const QString &db)
    {
        return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=%2")
            .arg(WorkStationInfo::instance().ComputerName(), db);
    }
    static TableRequest request(const QString &listed, const QString &db = QStringLiteral("OrvexDirDB"))
    {
        TableRequest r;
        r.connection = conn(db);
        r.directoryConnection = conn(QStringLiteral("OrvexDirDB"));
        r.listed = listed;
        return r;
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<test::IsolatedEnvironment>();
        const QString folder = env->filePath(QStringLiteral("data"));
        QDir().mkpath(folder);
        auto exec = [](const QString &file, const char *sql) {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(file).constData(), &db);
            char *msg = nullptr;
            const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
            if (rc != SQLITE_OK)
                qWarning() << msg;
            sqlite3_free(msg);
            sqlite3_close(db);
            return rc == SQLITE_OK;
        };
        QVERIFY(exec(folder + QStringLiteral("/OrvexDirDB.sqlite"),
                     "CREATE TABLE tbl_User(DisplayName TEXT, ObjectID TEXT PRIMARY KEY, Alias TEXT, Component TEXT);"
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                     "INSERT INTO tbl_User SELECT 'User ' || i, 'id-' || i, 'u' || i, 'c' FROM n;"
                     "CREATE VIEW vw_User AS SELECT ObjectID, Alias FROM tbl_User;"
                     "CREATE TABLE tbl_Log(Line TEXT); INSERT INTO tbl_Log VALUES('a'),('b');"));
        QVERIFY(exec(folder + QStringLiteral("/OrvexDynDB.sqlite"),
                     "CREATE TABLE tbl_User(ObjectID TEXT, Extra TEXT); INSERT INTO tbl_User VALUES('x', 'y');"));
        db::registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"), folder);
        db::resetConnectionPool();
    }

    void aTableWithItsKeyAndLockedColumns()
    {
        TableRequest r = request(QStringLiteral("tbl_User"));
        r.firstRows = 120;
        const TableLoad load = browse::loadTable(r);
        QCOMPARE(load.columns, (QStringList{"Alias", "Component", "DisplayName", "ObjectID"}));
        QCOMPARE(load.uniqueId, QStringLiteral("ObjectID"));
        QCOMPARE(load.rowQuery, QStringLiteral("SELECT Alias, Component, [ObjectID], [DisplayName] FROM [tbl_User]"));
        QCOMPARE(load.selectList.lockedCount, 3);
        QCOMPARE(load.selectList.uniqueRow, 4);
        QVERIFY(load.rows);
        QCOMPARE(load.rows->fetchedCount(), 120); // the first screen comes with the query
        QVERIFY(!load.rows->isComplete());
        QVERIFY(!load.editable);
        QCOMPARE(load.rows->recordCount(), 500);
    }

    // The unique ID always comes from the directory database, for views from their base table.
    void keysOfViewsAndOtherDatabases()
    {
        QCOMPARE(browse::keyTableFor(QStringLiteral("vw_User")), QStringLiteral("tbl_User"));
        QCOMPARE(browse::keyTableFor(QStringLiteral("vw_Subscriber_Global")), QStringLiteral("tbl_GlobalSubscriber"));
        QCOMPARE(browse::keyTableFor(QStringLiteral("tbl_Log")), QStringLiteral("tbl_Log"));
        TableRequest view = request(QStringLiteral("vw_User"));
        view.lockAlias = false;
        TableLoad load = browse::loadTable(view);
        QCOMPARE(load.uniqueId, QStringLiteral("ObjectID"));
        QCOMPARE(load.rowQuery, QStringLiteral("SELECT [ObjectID], [Alias] FROM [vw_User]"));
        // The dynamic database's table has no key of its own; the directory's tbl_User gives it one.
        load = browse::loadTable(request(QStringLiteral("tbl_User"), QStringLiteral("OrvexDynDB")));
        QCOMPARE(load.uniqueId, QStringLiteral("ObjectID"));
        QCOMPARE(load.columns, (QStringList{"Extra", "ObjectID"}));
    }

    // The search's one catalogue query gives each object the list its own query gives.
    void columnListsReadAtOnce()
    {
        for (const QString &db : {QStringLiteral("OrvexDirDB"), QStringLiteral("OrvexDynDB")}) {
            QHash<QString, QStringList> lists;
            QVERIFY(browse::readColumnLists(conn(db), &lists));
            QVERIFY(!lists.isEmpty());
            for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
                Error e;
                const auto own = db::openResultSet(conn(db), browse::columnListQuery(it.key()), &e);
                QVERIFY(own);
                own->fetchAll();
                QStringList expected;
                for (qsizetype i = 0; i < own->fetchedCount(); ++i)
                    expected << own->rows().text(i, 0);
                QCOMPARE(it.value(), expected);
            }
            QCOMPARE(lists.contains(QStringLiteral("vw_user")), db == u"OrvexDirDB");
            // Every key in one request, as each table's own lookup finds it:
            // views by their table, tables without a key or not there at all.
            QStringList listed = lists.keys();
            listed << QStringLiteral("tbl_NoSuchTable") << QStringLiteral("tbl_Log");
            const QString dir = conn(QStringLiteral("OrvexDirDB"));
            const QHash<QString, QString> keys = browse::uniqueIdColumns(dir, listed);
            for (const QString &name : listed)
                QCOMPARE(keys.value(browse::keyTableFor(name).toLower(), QStringLiteral("(not asked)")),
                         browse::uniqueIdColumn(dir, name));
            QCOMPARE(keys.value(QStringLiteral("tbl_user")), QStringLiteral("ObjectID"));
        }
        // A load told the columns and key asks nothing more and composes the same query.
        TableRequest told = request(QStringLiteral("vw_User"));
        told.knownColumns = QStringList{"Alias", "ObjectID"};
        told.knownUniqueId = QStringLiteral("ObjectID");
        told.directoryConnection = conn(QStringLiteral("NoSuchDB")); // would fail if asked
        const TableLoad load = browse::loadTable(told);
        QCOMPARE(load.rowQuery, browse::loadTable(request(QStringLiteral("vw_User"))).rowQuery);
        QVERIFY(load.rows);
    }

    void editingNeedsAPrimaryKey()
    {
        TableRequest r = request(QStringLiteral("tbl_User"));
        r.editing = true;
        QVERIFY(browse::loadTable(r).editable);
        QVERIFY(browse::loadTable(r).rows->isUpdatable());
        r.listed = QStringLiteral("tbl_Log");
        const TableLoad load = browse::loadTable(r);
        QVERIFY(!load.editable);
        QCOMPARE(load.editRefusal,
                 QStringLiteral("The table tbl_Log has no primary key, so its rows cannot be edited."));
        QVERIFY(load.rows);
    }

    void failuresComeBackAsTheyAre()
    {
        TableRequest r = request(QStringLiteral("tbl_User"));
        r.where = QStringLiteral("Alias = = 'x'");
        TableLoad load = browse::loadTable(r);
        QVERIFY(load.rowQuery.endsWith(QStringLiteral(" WHERE Alias = = 'x'")));
        QVERIFY(!load.rows);
        QVERIFY(load.rowError.isSet());
        // A table that is not there has no columns: the query composed from
        // none is malformed, and fails like any other.
        load = browse::loadTable(request(QStringLiteral("tbl_Gone")));
        QVERIFY(load.columns.isEmpty());
        QCOMPARE(load.rowQuery, QStringLiteral("SELEC FROM [tbl_Gone]"));
        QVERIFY(!load.rows);
        QVERIFY(load.rowError.isSet());
        QVERIFY(!load.busy);
    }
};

QTEST_GUILESS_MAIN(tst_BrowseController)
#include "tst_browsecontroller.moc"
