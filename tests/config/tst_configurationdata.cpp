#include "config/configurationdata.h"

#include <QtTest/QtTest>

using namespace korva;
using namespace korva::config;

namespace {

FolderRow folder(const QString &id, const QString &parent, const QString &fullName, bool root = false)
{
    return {id, parent, fullName, root, true};
}

const QByteArray kDescriptions = R"(<OrvexConfigurationData>
  <Product name="Orvex4.0"><Node name="A"><Node name="V" type="Long" default="1">old</Node></Node></Product>
  <Product name="Orvex5.0">
    <Node name="A">
      <Node name="V" type="Long" default="5" min="1" max="9">Seconds to wait.</Node>
      <Node name="O'Brien" type="String">Quoted.</Node>
    </Node>
  </Product>
</OrvexConfigurationData>)";

} // namespace

// The configuration viewer's rules without a window: the folder walk, the
// tree keys, the value display rules and the setting descriptions.
class tst_ConfigurationData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void walkReachesEveryFolderWithoutSubFoldersOnce()
    {
        const QList<FolderRow> rows{
            folder(QStringLiteral("r"), {}, QStringLiteral("System"), true),
            folder(QStringLiteral("a"), QStringLiteral("R"), QStringLiteral("System.A")), // identifiers ignore case
            folder(QStringLiteral("d"), QStringLiteral("r"), QStringLiteral("System.D")),
            folder(QStringLiteral("ab"), QStringLiteral("a"), QStringLiteral("System.A.B")),
            folder(QStringLiteral("ac"), QStringLiteral("a"), QStringLiteral("System.A.C")),
            folder(QStringLiteral("x"), QStringLiteral("elsewhere"), QStringLiteral("System.X")),
        };
        const TreePlan plan = planTree(rows);
        QVERIFY(!plan.noData);
        QCOMPARE(plan.leafFolders,
                 (QStringList{QStringLiteral("System.A.B"), QStringLiteral("System.A.C"), QStringLiteral("System.D")}));
    }

    void rootThatIsItsOwnDescendantEndsTheWalk()
    {
        // The root's ParentID names one of its folders: the walk must not go round.
        const QList<FolderRow> rows{
            folder(QStringLiteral("r"), QStringLiteral("a"), QStringLiteral("System"), true),
            folder(QStringLiteral("a"), QStringLiteral("r"), QStringLiteral("System.A")),
            folder(QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("System.A.B")),
        };
        QCOMPARE(planTree(rows).leafFolders, QStringList{QStringLiteral("System.A.B")});
    }

    void noConfigurationData()
    {
        QVERIFY(planTree({}).noData);
        QVERIFY(planTree({folder(QStringLiteral("a"), QStringLiteral("r"), QStringLiteral("System.A"))}).noData);
        QVERIFY(planTree({folder(QStringLiteral("r"), {}, QStringLiteral("System"), true)}).noData);
        // A leaf below the root is not a folder.
        FolderRow leaf = folder(QStringLiteral("l"), QStringLiteral("r"), QStringLiteral("System.L"));
        leaf.folder = false;
        QVERIFY(planTree({folder(QStringLiteral("r"), {}, QStringLiteral("System"), true), leaf}).noData);
    }

    void valueDisplayRules_data()
    {
        QTest::addColumn<QStringList>("values"); // six columns, "<null>" for null
        QTest::addColumn<QVariant>("typeCode");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        const QString n = QStringLiteral("<null>");
        QTest::newRow("string-typed-long") << QStringList{n, n, n, n, n, QStringLiteral("3")} << QVariant(3) << "Long"
                                           << "3";
        QTest::newRow("all-null-type-5") << QStringList{n, n, n, n, n, n} << QVariant(5) << "(none)"
                                         << "";
        QTest::newRow("all-null-type-88") << QStringList{n, n, n, n, n, n} << QVariant(88) << "GUID"
                                          << "";
        QTest::newRow("type-72-overrides-nothing")
            << QStringList{n, n, n, QStringLiteral("{1}"), n, n} << QVariant(72) << "GUID"
            << "{1}";
        QTest::newRow("first-not-null-wins")
            << QStringList{QStringLiteral("1"), n, n, n, n, QStringLiteral("x")} << QVariant(7) << "Bool"
            << "1";
        QTest::newRow("empty-text-is-a-value") << QStringList{n, n, n, n, n, QString()} << QVariant() << "String"
                                               << "";
        QTest::newRow("float-bool-override")
            << QStringList{n, n, QStringLiteral("85.5"), n, n, n} << QVariant(11) << "Bool"
            << "85.5";
        QTest::newRow("string-override") << QStringList{n, n, n, n, QStringLiteral("7"), n} << QVariant(8) << "String"
                                         << "7";
    }
    void valueDisplayRules()
    {
        QFETCH(QStringList, values);
        QFETCH(QVariant, typeCode);
        std::array<std::optional<QString>, 6> columns;
        for (int i = 0; i < 6; ++i)
            if (values[i] != u"<null>")
                columns[size_t(i)] = values[i];
        const SettingValue v = settingValue(columns, typeCode);
        QTEST(v.type, "type");
        QTEST(v.value, "value");
    }

    void descriptionOfASetting()
    {
        xml::Document doc;
        QVERIFY(!loadDescriptions(kDescriptions, &doc));
        QCOMPARE(settingDescription(doc, QStringLiteral("V"), QStringLiteral("System.A.V")),
                 QStringLiteral("Name: V\r\nFull Path: System.A.V\r\nType: Long\r\nDefault: 5\r\nMin: 1\r\nMax: 9\r\n"
                                "Description: Seconds to wait."));
        // No node: every label is still written.
        QCOMPARE(settingDescription(doc, QStringLiteral("W"), QStringLiteral("System.A.W")),
                 QStringLiteral(
                     "Name: W\r\nFull Path: System.A.W\r\nType: \r\nDefault: \r\nMin: \r\nMax: \r\nDescription: "));
        // A quote in a name belongs to the name, not to the expression.
        QVERIFY(settingDescription(doc, QStringLiteral("O'Brien"), QStringLiteral("System.A.O'Brien"))
                    .endsWith(u"Description: Quoted."));
        QVERIFY(settingDescription(xml::Document(), QStringLiteral("V"), QStringLiteral("System.A.V"))
                    .endsWith(u"Description: "));
    }

    void documentTypeDeclarationInAnyCase_data()
    {
        QTest::addColumn<QByteArray>("declaration");
        QTest::newRow("as-shipped") << QByteArray(
            "<!DOCTYPE OrvexConfigurationData SYSTEM \"OrvexConfigurationData.dtd\"[]>");
        QTest::newRow("lower-case") << QByteArray(
            "<!doctype orvexconfigurationdata system \"orvexconfigurationdata.dtd\"[]>");
        QTest::newRow("mixed-case") << QByteArray(
            "<!DocType OrvexCONFIGURATIONData System \"OrvexConfigurationData.DTD\"[]>");
    }
    void documentTypeDeclarationInAnyCase()
    {
        QFETCH(QByteArray, declaration);
        QVERIFY(!removeDocumentType(QString::fromLatin1(declaration)).contains(u"DTD", Qt::CaseInsensitive));
        xml::Document doc;
        const std::optional<QString> problem = loadDescriptions(declaration + "\r\n" + declaration + '\n'
                                                                    + kDescriptions,
                                                                &doc);
        QVERIFY2(!problem, qPrintable(problem.value_or(QString())));
        QVERIFY(
            settingDescription(doc, QStringLiteral("V"), QStringLiteral("System.A.V")).endsWith(u"Seconds to wait."));
    }

    void unreadableDescriptionFile()
    {
        xml::Document doc;
        const std::optional<QString> problem = loadDescriptions("<OrvexConfigurationData>\n<Product>\n</Node>", &doc);
        QVERIFY(problem);
        QVERIFY2(problem->startsWith(u"XML problem - can't open Orvex configuration data dictionary.  Error Reason="),
                 qPrintable(*problem));
        QVERIFY2(problem->endsWith(u"\non line 3"), qPrintable(*problem));
        QVERIFY(loadDescriptions(QByteArray(), &doc)); // no file: empty text
    }
};

QTEST_GUILESS_MAIN(tst_ConfigurationData)
#include "tst_configurationdata.moc"
