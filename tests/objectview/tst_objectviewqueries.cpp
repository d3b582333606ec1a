#include "common/testsupport.h"
#include "objectview/objectviewqueries.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/resultset.h"
#include "platform/serverdirectory.h"
#include "platform/sessionpool.h"
#include "platform/workstationinfo.h"

#include <QtTest/QtTest>

using namespace korva;
using namespace korva::objectview;

class tst_ObjectViewQueries : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    QString connection;

private Q_SLOTS:
    // A directory database of its own with a few subscribers, more rows than
    // one trip to the server brings, and their greetings.
    void initTestCase()
    {
        env = std::make_unique<test::IsolatedEnvironment>();
        const QString folder = env->filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/OrvexDirDB.sqlite"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        db::registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("objview"), folder);
        db::resetConnectionPool();
        connection = QStringLiteral("Driver={SQL Server};server=%1\\objview;database=OrvexDirDB")
                         .arg(WorkStationInfo::instance().ComputerName());
        db::Error e;
        db::executeText(connection,
                        QStringLiteral("CREATE TABLE tbl_Subscriber(ObjectID TEXT, CallHandlerObjectID TEXT, Alias TEXT, Extra TEXT);"
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 700) "
                                       "INSERT INTO tbl_Subscriber SELECT 'sub-' || i, 'ch-' || i, 'a' || i, 'x' FROM n;"
                                       "CREATE VIEW vw_Subscriber AS SELECT * FROM tbl_Subscriber;"
                                       "CREATE TABLE tbl_Interviewer(ObjectID TEXT, DisplayName TEXT);"
                                       "CREATE VIEW vw_InterviewHandler AS SELECT * FROM tbl_Interviewer;"
                                       "CREATE TABLE tbl_Greeting(CallHandlerObjectID TEXT, GreetingType TEXT, Note TEXT);"
                                       "INSERT INTO tbl_Greeting VALUES('ch-2','Standard','n1'),('ch-2','Off Hours','n2'),"
                                       "('it''s','Alternate','quoted'),('ch-3','Busy','other');"
                                       "CREATE VIEW vw_Greeting AS SELECT * FROM tbl_Greeting;"),
                        &e);
        QVERIFY2(!e, qPrintable(e.description));
    }

    void cleanupTestCase()
    {
        db::resetConnectionPool();
        env.reset();
    }

    void typesAndTheirReferenceTables()
    {
        QCOMPARE(objectTypes().size(), 3);
        QCOMPARE(objectTypes()[0].caption, QStringLiteral("Call Handlers"));
        const ObjectTypeInfo *subs = objectTypeByCaption(QStringLiteral("SUBSCRIBERS"));
        QVERIFY(subs);
        QCOMPARE(subs->view, QStringLiteral("vw_Subscriber"));
        QCOMPARE(subs->referenceTables, (QStringList{"Extensions", "Greeting Rules", "Notification Devices",
                                                     "Primary Call Handler", "Transfer Rules", "User Input Rules"}));
        QCOMPARE(objectTypeByCaption(QStringLiteral("interviewers"))->referenceTables, QStringList{QStringLiteral("Interview Questions")});
        QVERIFY(!objectTypeByCaption(QStringLiteral("Locations")));
        // Greeting, transfer and user input rules follow the call handler; the rest the object.
        QVERIFY(referenceByCaption(QStringLiteral("Greeting Rules"))->byCallHandler);
        QVERIFY(referenceByCaption(QStringLiteral("USER INPUT RULES"))->byCallHandler);
        QVERIFY(!referenceByCaption(QStringLiteral("Extensions"))->byCallHandler);
        QVERIFY(!referenceByCaption(QStringLiteral("Primary Call Handler"))->byCallHandler);
    }

    void objectQueryPutsKeysThenPreferredNames()
    {
        const ObjectQuery q = objectGridQuery(*objectTypeByCaption(QStringLiteral("Subscribers")),
                                              {"Alias", "CallHandlerObjectID", "DisplayName", "Extra", "ObjectID"});
        QCOMPARE(q.sql, QStringLiteral("SELECT ObjectID,CallHandlerObjectID,Alias, DisplayName, [CallHandlerObjectID], [Extra], [ObjectID] FROM [vw_Subscriber]"));
        QCOMPARE(q.hiddenColumns, 2);
        QCOMPARE(q.fixedColumns, 4);
        const ObjectQuery h = objectGridQuery(*objectTypeByCaption(QStringLiteral("Call Handlers")),
                                              {"displayname", "ObjectID", "lastname"});
        QCOMPARE(h.sql, QStringLiteral("SELECT ObjectID,displayname, lastname, [ObjectID] FROM [vw_CallHandler]"));
        QCOMPARE(h.hiddenColumns, 1);
        QCOMPARE(h.fixedColumns, 3);
    }

    void referenceQueryPutsPreferredNamesDescending()
    {
        const ObjectQuery q = referenceGridQuery(*referenceByCaption(QStringLiteral("Greeting Rules")),
                                                 {"CallHandlerObjectID", "displayname", "GreetingType", "TimeExpires"},
                                                 QStringLiteral("AB-1"));
        QCOMPARE(q.sql, QStringLiteral("SELECT GreetingType, DisplayName, [CallHandlerObjectID], [TimeExpires] FROM [vw_Greeting] "
                                       "WHERE CallHandlerObjectID='AB-1'"));
        QCOMPARE(q.fixedColumns, 2);
        const ObjectQuery m = referenceGridQuery(*referenceByCaption(QStringLiteral("User Input Rules")),
                                                 {"TouchtoneKey", "Action"}, QStringLiteral("it's"));
        // The view is aliased by the WHERE text; the ObjectID cannot end the literal early.
        QCOMPARE(m.sql, QStringLiteral("SELECT TouchToneKey, [Action] FROM [vw_MenuEntry] vw_Menuentry WHERE CallHandlerObjectID='it''s'"));
        QCOMPARE(columnDiscoveryQuery(QStringLiteral("vw_Greeting")),
                 QStringLiteral("select name as 'Column Name' from syscolumns where id=object_id('vw_Greeting') ORDER BY name ASC"));
    }

    // What the window shows comes whole from the database thread: the query
    // from the discovered columns, every row, and the first object's keys.
    void objectGridIsReadWhole()
    {
        const ObjectTypeInfo &subscribers = *objectTypeByCaption(QStringLiteral("Subscribers"));
        QCOMPARE(readColumns(connection, subscribers.view), (QStringList{"Alias", "CallHandlerObjectID", "Extra", "ObjectID"}));
        const ObjectGridRows read = readObjectGrid(connection, subscribers, StopToken());
        QVERIFY2(!read.error, qPrintable(read.error.description));
        QCOMPARE(read.query.sql, objectGridQuery(subscribers, readColumns(connection, subscribers.view)).sql);
        QVERIFY(read.rows);
        QVERIFY(read.rows->isComplete());
        QCOMPARE(read.rows->fetchedCount(), 700);
        QCOMPARE(read.firstObjectId, std::optional<QString>(QStringLiteral("sub-1")));
        QCOMPARE(read.firstCallHandlerId, std::optional<QString>(QStringLiteral("ch-1")));

        // No first object when the view is empty (the window keeps the one it had);
        // only subscribers carry a call handler of their own.
        const ObjectGridRows none = readObjectGrid(connection, *objectTypeByCaption(QStringLiteral("Interviewers")), StopToken());
        QVERIFY(none.rows);
        QCOMPARE(none.rows->fetchedCount(), 0);
        QVERIFY(!none.firstObjectId);
        QVERIFY(!none.firstCallHandlerId);
    }

    void referenceGridIsReadWholeOrSaysWhyNot()
    {
        const ReferenceInfo &greetings = *referenceByCaption(QStringLiteral("Greeting Rules"));
        const GridRows read = readReferenceGrid(connection, greetings, QStringLiteral("ch-2"), StopToken());
        QVERIFY(read.rows);
        QVERIFY(read.rows->isComplete());
        QCOMPARE(read.rows->fetchedCount(), 2);
        QCOMPARE(read.rows->columns().first(), QStringLiteral("GreetingType"));
        QCOMPARE(read.query.fixedColumns, 1);
        const GridRows quoted = readReferenceGrid(connection, greetings, QStringLiteral("it's"), StopToken());
        QVERIFY(quoted.rows);
        QCOMPARE(quoted.rows->fetchedCount(), 1);

        // A view the database lacks: no rows, the server's reason, and the query that failed.
        const GridRows missing = readReferenceGrid(connection, *referenceByCaption(QStringLiteral("Extensions")),
                                                   QStringLiteral("sub-1"), StopToken());
        QVERIFY(!missing.rows);
        QVERIFY(missing.error);
        QVERIFY(missing.query.sql.endsWith(QStringLiteral("WHERE Parent_SubscriberObjectID='sub-1'")));
    }

    // A request superseded while its columns are read asks the server nothing more.
    void stoppedReadEndsAfterTheColumns()
    {
        db::SessionMeter meter;
        auto previous = db::installSessionPool(std::make_unique<db::SessionPool>([&meter](const db::ConnectionTarget &t, db::Error *err) {
            return db::withDelay(db::openEngineSession(t, err), std::chrono::milliseconds(0), &meter);
        }));
        const auto restore = qScopeGuard([&] { db::installSessionPool(std::move(previous)); });
        StopToken stop;
        stop.requestStop();
        const ObjectGridRows objects = readObjectGrid(connection, *objectTypeByCaption(QStringLiteral("Subscribers")), stop);
        QVERIFY(!objects.rows);
        QVERIFY(!objects.firstObjectId);
        const GridRows refs = readReferenceGrid(connection, *referenceByCaption(QStringLiteral("Greeting Rules")),
                                                QStringLiteral("ch-2"), stop);
        QVERIFY(!refs.rows);
        QCOMPARE(meter.calls.load(), 2); // one column list each

        meter.calls = 0;
        QVERIFY(readReferenceGrid(connection, *referenceByCaption(QStringLiteral("Greeting Rules")), QStringLiteral("ch-2"),
                                  StopToken())
                    .rows);
        QCOMPARE(meter.calls.load(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_ObjectViewQueries)
#include "tst_objectviewqueries.moc"
