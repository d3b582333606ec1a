#include "objectview/objectviewqueries.h"

#include <QtTest/QtTest>

using namespace korva::objectview;

class tst_ObjectViewQueries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesAndTheirReferenceTables()
    {
        QCOMPARE(objectTypes().size(), 3);
        QCOMPARE(objectTypes()[0].caption, QStringLiteral("Call Handlers"));
        const ObjectTypeInfo *subs = objectTypeByCaption(QStringLiteral("SUBSCRIBERS"));
        QVERIFY(subs);
        QCOMPARE(subs->view, QStringLiteral("vw_Subscriber"));
        QCOMPARE(subs->referenceTables, (QStringList{"Extensions", "Greeting Rules", "Notification Devices",
                                                     "Primary Call Handler", "Transfer Rules", "User Input Rules"}));
        QCOMPARE(objectTypeByCaption(QStringLiteral("interviewers"))->referenceTables,
                 QStringList{QStringLiteral("Interview Questions")});
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
        QCOMPARE(q.sql, QStringLiteral("SELECT ObjectID,CallHandlerObjectID,Alias, DisplayName, [CallHandlerObjectID], "
                                       "[Extra], [ObjectID] FROM [vw_Subscriber]"));
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
        QCOMPARE(q.sql, QStringLiteral(
                            "SELECT GreetingType, DisplayName, [CallHandlerObjectID], [TimeExpires] FROM [vw_Greeting] "
                            "WHERE CallHandlerObjectID='AB-1'"));
        QCOMPARE(q.fixedColumns, 2);
        const ObjectQuery m = referenceGridQuery(*referenceByCaption(QStringLiteral("User Input Rules")),
                                                 {"TouchtoneKey", "Action"}, QStringLiteral("it's"));
        // The view is aliased by the WHERE text; the ObjectID cannot end the literal early.
        QCOMPARE(m.sql, QStringLiteral("SELECT TouchToneKey, [Action] FROM [vw_MenuEntry] vw_Menuentry WHERE "
                                       "CallHandlerObjectID='it''s'"));
        QCOMPARE(columnDiscoveryQuery(QStringLiteral("vw_Greeting")),
                 QStringLiteral("select name as 'Column Name' from syscolumns where id=object_id('vw_Greeting') ORDER "
                                "BY name ASC"));
    }
};

QTEST_GUILESS_MAIN(tst_ObjectViewQueries)
#include "tst_objectviewqueries.moc"
