#include "platform/resultset.h"
#include "storedprocs/procedurecatalogue.h"

#include <QtTest/QtTest>

using namespace korva;
using namespace korva::storedprocs;

namespace {

// Rows as the enumeration separates them: character 2 between rows, 1 between cells.
QString enumeration(const QList<QStringList> &rows)
{
    QStringList lines;
    for (const QStringList &r : rows)
        lines << r.join(QChar(1));
    return lines.join(QChar(2));
}

QList<QStringList> records(db::ResultSet &set)
{
    QList<QStringList> out;
    for (set.moveFirst(); !set.eof(); set.moveNext()) {
        QStringList row;
        for (int c = 0; c < set.fieldCount(); ++c)
            row << set.field(c).toString();
        out << row;
    }
    return out;
}

db::ProcedureParameter param(const QString &name, const QString &type, int length, bool output = false)
{
    return {name, type, length, output};
}

} // namespace

class tst_ProcedureCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("listed");
        QTest::newRow("upper-sp") << "SP_Foo" << true;
        QTest::newRow("mixed-csp") << "Csp_Bar" << true;
        QTest::newRow("lower-sp") << "sp_x" << true;
        QTest::newRow("prefix-alone") << "csp_" << true;
        QTest::newRow("no-underscore") << "spFoo" << false;
        QTest::newRow("letter-before") << "xsp_Foo" << false;
        QTest::newRow("cs-underscore") << "cs_Foo" << false;
        QTest::newRow("too-short") << "sp" << false;
        QTest::newRow("empty") << "" << false;
    }
    void listedNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, listed);
        QCOMPARE(isListedProcedure(name), listed);
        db::ProcedureInfo p;
        p.name = name;
        QCOMPARE(listedProcedures({p}).size(), listed ? 1 : 0);
    }

    void enumerationToRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("padded-cells-and-width-row-skipped")
            << enumeration({{"Name  ", "Type"}, {"6", "4"}, {"@A    ", "int "}, {"@Bcdef", "bit "}})
            << QStringList{"Name", "Type"} << QList<QStringList>{{"@A", "int"}, {"@Bcdef", "bit"}};
        QTest::newRow("leading-blanks-kept")
            << enumeration({{"Name"}, {"4"}, {"  x "}}) << QStringList{"Name"} << QList<QStringList>{{"  x"}};
        QTest::newRow("missing-cells-empty-extra-ignored")
            << enumeration({{"A", "B"}, {"1", "1"}, {"a"}, {"a", "b", "c"}}) << QStringList{"A", "B"}
            << QList<QStringList>{{"a", ""}, {"a", "b"}};
        QTest::newRow("header-only") << enumeration({{"Name", "Type"}}) << QStringList{"Name", "Type"}
                                     << QList<QStringList>{};
        QTest::newRow("second-row-is-never-data")
            << enumeration({{"Name"}, {"@NotAParameter"}}) << QStringList{"Name"} << QList<QStringList>{};
        QTest::newRow("separator-at-the-end")
            << enumeration({{"Name"}, {"2"}, {"@a"}}) + QChar(2) << QStringList{"Name"} << QList<QStringList>{{"@a"}};
        QTest::newRow("empty-text") << QString() << QStringList{} << QList<QStringList>{};
    }
    void enumerationToRecords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QFETCH(QList<QStringList>, rows);
        const std::unique_ptr<db::ResultSet> set = enumerationToResultSet(text);
        QCOMPARE(set->columns(), fields);
        QCOMPARE(records(*set), rows);
    }

    // A procedure's parameters survive the trip through the enumeration text.
    void parametersThroughTheEnumeration()
    {
        db::ProcedureInfo p;
        p.source = QStringLiteral(
            "CREATE PROCEDURE csp_X @Name nvarchar(64), @Count int, @Id uniqueidentifier OUTPUT AS SELECT 1");
        p.parameters = {param("@Name", "nvarchar", 64), param("@Count", "int", 4),
                        param("@Id", "uniqueidentifier", 16, true)};
        const QString text = parameterEnumeration(p);
        const QStringList lines = text.split(QChar(2));
        QCOMPARE(lines.size(), 5);
        // Row 1 holds each column's width, and every cell is padded to it.
        QCOMPARE(lines[1].split(QChar(1)), (QStringList{"6", "16", "6", "8", "6"}));
        QCOMPARE(lines[3].split(QChar(1))[0], QStringLiteral("@Count"));
        QCOMPARE(lines[3].split(QChar(1))[1], QStringLiteral("int             "));

        const std::unique_ptr<db::ResultSet> set = enumerationToResultSet(text);
        QCOMPARE(set->columns(), (QStringList{"Name", "Type", "Length", "Position", "Output"}));
        QCOMPARE(records(*set), (QList<QStringList>{{"@Name", "nvarchar", "64", "1", "0"},
                                                    {"@Count", "int", "4", "2", "0"},
                                                    {"@Id", "uniqueidentifier", "16", "3", "1"}}));

        db::ProcedureInfo none;
        QCOMPARE(enumerationToResultSet(parameterEnumeration(none))->recordCount(), 0);
    }

    void lengthsInCharacters_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("shown");
        const QString decl = QStringLiteral(
            "CREATE PROCEDURE p\n    @Alias %1,\n    @AliasFull nvarchar(200)\nAS\nSELECT @Alias");
        QTest::newRow("unicode-reported-in-bytes") << decl.arg("nvarchar(64)") << "nvarchar" << 128 << 64;
        QTest::newRow("declared-max") << decl.arg("nvarchar(max)") << "nvarchar" << -1 << -1;
        QTest::newRow("bracketed-type-and-schema") << decl.arg("[sys].[nvarchar](32)") << "nvarchar" << 64 << 32;
        QTest::newRow("as-before-type") << QStringLiteral("CREATE PROC p @Alias AS nvarchar(12) AS SELECT 1")
                                        << "nvarchar" << 24 << 12;
        QTest::newRow("not-declared-keeps-reported")
            << QStringLiteral("(text not available)") << "nvarchar" << 40 << 40;
        QTest::newRow("longer-name-not-taken")
            << QStringLiteral("CREATE PROC p @AliasFull nvarchar(200), @Alias nvarchar(8) AS") << "nvarchar" << 16 << 8;
        QTest::newRow("single-byte-type-unchanged") << decl.arg("varchar(64)") << "varchar" << 64 << 64;
    }
    void lengthsInCharacters()
    {
        QFETCH(QString, source);
        QFETCH(QString, type);
        QFETCH(int, reported);
        QFETCH(int, shown);
        db::ProcedureInfo p;
        p.source = source;
        QCOMPARE(parameterLength(p, param("@Alias", type, reported)), shown);
    }
};

QTEST_GUILESS_MAIN(tst_ProcedureCatalogue)
#include "tst_procedurecatalogue.moc"
