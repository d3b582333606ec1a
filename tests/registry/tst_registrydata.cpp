#include "common/testsupport.h"
#include "platform/registryaccess/registryapi.h"
#include "registry/registrydata.h"
#include "registry/registrysource.h"

#include <QtCore/QFile>
#include <QtTest/QtTest>

using namespace korva;
using namespace korva::registryview;

namespace {

QByteArray exportText()
{
    const QByteArray longText(4096, 'x'); // 4097 bytes with its null: more than a read takes
    const QByteArray longName(260, 'n');
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\A]\r\n"
           "\"Text\"=\"hello\"\r\n"
           "\"Number\"=dword:fffffffb\r\n"
           "\"Bytes\"=hex:01,ab\r\n"
           "\"Expand\"=hex(2):25,00,41,00,00,00\r\n"
           "@=\"default\"\r\n"
           "\"Long\"=\""
           + longText
           + "\"\r\n"
             "\"After\"=\"not listed\"\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\A\\B]\r\n"
             "\""
           + longName
           + "\"=\"x\"\r\n"
             "\"Fine\"=\"y\"\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Empty]\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\C]\r\n"
             "\"Max\"=\""
           + QByteArray(4095, 'm') + "\"\r\n";
}

const QByteArray kMixedCaseDescriptions = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE RegKeys>
<RegKeys><RegKey Name="SOFTWARE"><RegKey Name="BrisVane"><RegKey Name="A">
  <RegVal Name="Text" Type="REG_SZ" Default="Hello"><![CDATA[Greets <You>.]]></RegVal>
  <RegVal Name="O'Hara" Type="REG_SZ">Quoted.</RegVal>
</RegKey></RegKey></RegKey></RegKeys>)";

QStringList describe(const std::optional<QList<RegistryAPI::Entry>> &entries)
{
    if (!entries)
        return {QStringLiteral("<no list>")};
    QStringList out;
    for (const RegistryAPI::Entry &e : *entries)
        out << QStringLiteral("%1|%2|%3").arg(e.name.left(20)).arg(e.type).arg(valueText(e.value).left(20));
    return out;
}

} // namespace

// The registry viewer's rules without a window: value texts, descriptions,
// the key walk, and an export file listed exactly as the registry module lists.
class tst_RegistryData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("string") << QVariant(QStringLiteral("C:\\Orvex")) << "C:\\Orvex";
        QTest::newRow("negative-dword") << QVariant(qint32(-5)) << "-5";
        QTest::newRow("bytes-1-171") << QVariant(QByteArray("\x01\xab", 2)) << "01 AB ";
        QTest::newRow("bytes-10-31-0") << QVariant(QByteArray("\x0a\x1f\x00", 3)) << "0A 1F 00 ";
        QTest::newRow("no-bytes") << QVariant(QByteArray()) << "";
        QTest::newRow("nothing") << QVariant() << "";
    }
    void valueTexts()
    {
        QFETCH(QVariant, value);
        QTEST(valueText(value), "text");
    }

    void descriptionsMatchWithoutRegardToCase()
    {
        xml::Document doc;
        QVERIFY(loadDescriptions(kMixedCaseDescriptions, &doc));
        QCOMPARE(valueDescription(doc, QStringLiteral("TEXT"), QStringLiteral("SOFTWARE\\Brisvane\\a\\")),
                 QStringLiteral("Name: TEXT\r\nType: reg_sz\r\nDefault: hello\r\nDescription: greets <you>."));
        QCOMPARE(valueDescription(doc, QStringLiteral("Other"), QStringLiteral("SOFTWARE\\Brisvane\\A\\")),
                 QStringLiteral("Name: Other\r\nType: \r\nDefault: \r\nDescription: "));
        QVERIFY(valueDescription(doc, QStringLiteral("O'Hara"), QStringLiteral("SOFTWARE\\Brisvane\\A\\"))
                    .endsWith(u"quoted."));
        QVERIFY(!loadDescriptions("<RegKeys><RegKey></RegKeys>", &doc));
        QVERIFY(!loadDescriptions(QByteArray(), &doc));
        QVERIFY(valueDescription(doc, QStringLiteral("Text"), QStringLiteral("SOFTWARE\\Brisvane\\A\\"))
                    .endsWith(u"Description: "));
    }

    // The same file read as this machine's registry and as an export: the
    // same listings, limits included.
    void exportListsAsTheRegistryModuleDoes()
    {
        test::IsolatedEnvironment env;
        {
            QFile f(RegistryAPI::storeFilePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(exportText());
        }
        const ExportRead read = parseRegistryExport(exportText());
        QVERIFY2(read.source, qPrintable(read.error));
        const std::shared_ptr<const RegistrySource> local = localRegistry();
        for (const char *key : {"SOFTWARE\\Brisvane\\A\\", "SOFTWARE\\Brisvane\\\\A\\B", "SOFTWARE\\Brisvane\\Empty",
                                "SOFTWARE\\Brisvane\\C", "SOFTWARE\\Brisvane\\", "SOFTWARE\\Missing"}) {
            const QString path = QString::fromLatin1(key);
            QCOMPARE(describe(read.source->EnumValues(path)), describe(local->EnumValues(path)));
            QCOMPARE(read.source->EnumKeys(path), local->EnumKeys(path));
        }
        // The list ends before the text too long for a read, and before the name too long.
        QCOMPARE(describe(read.source->EnumValues(QStringLiteral("SOFTWARE\\Brisvane\\A"))),
                 (QStringList{"Text|1|hello", "Number|4|-5", "Bytes|3|01 AB ", "Expand|2|25 00 41 00 00 00 ",
                              "|1|default"}));
        QCOMPARE(describe(read.source->EnumValues(QStringLiteral("SOFTWARE\\Brisvane\\A\\B"))),
                 QStringList{QStringLiteral("|0|")});
        QCOMPARE(read.source->EnumValues(QStringLiteral("SOFTWARE\\Brisvane\\C"))->first().value.toString().size(),
                 4095);
        QCOMPARE(read.source->EnumKeys(QStringLiteral("SOFTWARE\\Brisvane\\Empty")), QStringList{QString()});

        const KeyTree tree = listKeyTree(*read.source);
        QCOMPARE(tree.leafPaths, (QStringList{"\\A\\B", "\\Empty", "\\C"}));
        QVERIFY(tree.failures.isEmpty());
    }

    void exportWithoutTheSettingsFolder()
    {
        const ExportRead read = parseRegistryExport(
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n");
        QVERIFY(read.source);
        const KeyTree tree = listKeyTree(*read.source);
        QVERIFY(tree.leafPaths.isEmpty());
        QCOMPARE(tree.failures.size(), 1);
        QCOMPARE(tree.failures[0].number, 2);
        QCOMPARE(tree.failures[0].description,
                 QStringLiteral("Unable to open the registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\"));
    }
};

QTEST_GUILESS_MAIN(tst_RegistryData)
#include "tst_registrydata.moc"
