#include "platform/rowedit.h"
#include "platform/sqlquote.h"

#include <QtTest/QtTest>

using namespace korva::db;

namespace {

QString doubleQuoted(const QString &name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

const EditDialect kNumbered{doubleQuoted, true};
const EditDialect kPositional{korva::sql::quoteBracketed, false};

// A lookup that knows the keys of a few tables and records what it was asked.
struct Keys
{
    QHash<QString, QStringList> byTable;
    QStringList asked;
    PrimaryKeyLookup lookup()
    {
        return [this](const ColumnOrigin &t) {
            asked << t.schema + u'/' + t.table;
            return byTable.value(t.table.toLower());
        };
    }
};

} // namespace

class tst_RowEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A column that no table holds is refused by its shown name before any
    // key is looked up; so is a column that is not there at all.
    void columnsOfNoTableAreRefused()
    {
        Keys keys;
        keys.byTable[QStringLiteral("t")] = {QStringLiteral("id")};
        const QList<ColumnOrigin> columns{{QStringLiteral("id"), {}, QStringLiteral("t"), QStringLiteral("id")},
                                          {QStringLiteral("total"), {}, {}, {}}};
        for (int column : {1, 5}) {
            Error e;
            QVERIFY(!planCellEdit(columns, column, kPositional, keys.lookup(), &e));
            QCOMPARE(e.number, kErrCommand);
            QCOMPARE(e.description,
                     QStringLiteral("The column \"%1\" is not a column of a table; it cannot be changed.")
                         .arg(column == 1 ? QStringLiteral("total") : QString()));
        }
        QVERIFY(keys.asked.isEmpty());
    }

    // Every key column must be shown, from the same table of the same schema;
    // a same-named column of another table does not stand in for it.
    void keysMustAllBeShownFromTheTargetTable_data()
    {
        QTest::addColumn<QStringList>("tableKeys");
        QTest::addColumn<QString>("otherSchema");
        QTest::newRow("no key") << QStringList() << QStringLiteral("main");
        QTest::newRow("key not shown") << QStringList{QStringLiteral("Code")} << QStringLiteral("main");
        QTest::newRow("one of two keys shown")
            << QStringList{QStringLiteral("Owner"), QStringLiteral("Slot")} << QStringLiteral("main");
        QTest::newRow("key of another schema") << QStringList{QStringLiteral("Ref")} << QStringLiteral("aux");
    }
    void keysMustAllBeShownFromTheTargetTable()
    {
        QFETCH(QStringList, tableKeys);
        QFETCH(QString, otherSchema);
        Keys keys;
        keys.byTable[QStringLiteral("pair")] = tableKeys;
        const QList<ColumnOrigin>
            columns{{QStringLiteral("Owner"), QStringLiteral("main"), QStringLiteral("Pair"), QStringLiteral("Owner")},
                    {QStringLiteral("Label"), QStringLiteral("main"), QStringLiteral("Pair"), QStringLiteral("Label")},
                    {QStringLiteral("Code"), QStringLiteral("main"), QStringLiteral("Other"), QStringLiteral("Code")},
                    {QStringLiteral("Slot"), QStringLiteral("main"), QStringLiteral("Other"), QStringLiteral("Slot")},
                    {QStringLiteral("Ref"), otherSchema, QStringLiteral("Pair"), QStringLiteral("Ref")}};
        Error e;
        QVERIFY(!planCellEdit(columns, 1, kNumbered, keys.lookup(), &e));
        QCOMPARE(e.number, kErrCommand);
        QCOMPARE(e.description,
                 QStringLiteral("The table \"Pair\" has no primary key among the columns shown; its rows "
                                "cannot be changed."));
        QCOMPARE(keys.asked, QStringList{QStringLiteral("main/Pair")});
    }

    // Keys are matched without regard to case and bound in the key's order,
    // whatever order the columns are shown in; the statement quotes every name
    // the engine's way and uses its kind of parameters.
    void statementFindsTheRowByItsWholeKey()
    {
        Keys keys;
        keys.byTable[QStringLiteral("tbl_pair")] = {QStringLiteral("slot"), QStringLiteral("OWNER")};
        const QList<ColumnOrigin> sqlite{{QStringLiteral("Owner"), QStringLiteral("main"), QStringLiteral("tbl_Pair"),
                                          QStringLiteral("Owner")},
                                         {QStringLiteral("Label"), QStringLiteral("main"), QStringLiteral("tbl_Pair"),
                                          QStringLiteral("La\"bel")},
                                         {QStringLiteral("Slot"), QStringLiteral("main"), QStringLiteral("tbl_Pair"),
                                          QStringLiteral("Slot")}};
        Error e;
        auto edit = planCellEdit(sqlite, 1, kNumbered, keys.lookup(), &e);
        QVERIFY(edit);
        QVERIFY(!e);
        QCOMPARE(edit->keyColumns, (QList<int>{2, 0}));
        QCOMPARE(edit->statement,
                 QStringLiteral(R"(UPDATE "main"."tbl_Pair" SET "La""bel" = ?1 WHERE "slot" IS ?2 AND "OWNER" IS ?3)"));

        QList<ColumnOrigin> odbc = sqlite;
        for (ColumnOrigin &c : odbc)
            c.schema.clear();
        odbc[1].column = QStringLiteral("La]bel");
        edit = planCellEdit(odbc, 1, kPositional, keys.lookup(), &e);
        QVERIFY(edit);
        QCOMPARE(edit->keyColumns, (QList<int>{2, 0}));
        QCOMPARE(edit->statement,
                 QStringLiteral("UPDATE [tbl_Pair] SET [La]]bel] = ? WHERE [slot] = ? AND [OWNER] = ?"));
        QCOMPARE(keys.asked, (QStringList{QStringLiteral("main/tbl_Pair"), QStringLiteral("/tbl_Pair")}));
    }

    // Only a change of exactly one row is kept; none means the row has gone,
    // more (or a count the engine cannot tell) means the key did not single it out.
    void countOfRowsChangedDecidesTheOutcome()
    {
        QVERIFY(!changedRowsError(1));
        const Error gone = changedRowsError(0);
        QCOMPARE(gone.number, kErrCommand);
        QCOMPARE(gone.description,
                 QStringLiteral("Row cannot be located for updating. Some values may have been changed "
                                "since it was last read."));
        for (qint64 changed : {qint64(2), qint64(-1)}) {
            const Error many = changedRowsError(changed);
            QCOMPARE(many.number, kErrGeneric);
            QCOMPARE(many.description,
                     QStringLiteral("Insufficient key column information for updating or refreshing."));
        }
    }
};

QTEST_GUILESS_MAIN(tst_RowEdit)
#include "tst_rowedit.moc"
