#include "platform/xmldocument.h"

#include <QtTest/QtTest>

using korva::xml::Document;

class tst_XmlDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectsByAttributePredicates()
    {
        Document doc;
        QVERIFY(doc.loadFromText(QStringLiteral(
            "<?xml version=\"1.0\"?>\n<!DOCTYPE d SYSTEM \"http://example.invalid/d.dtd\">\n"
            "<d><tables><table name='tbl_a' description='A'><notes>n1 <b>bold</b> tail</notes>"
            "<columns><column name='x'/><column name='y' length='4'/></columns></table>"
            "<table name='tbl_b'/></tables></d>")));
        const auto table = doc.selectSingleNode(QStringLiteral("d/tables/table[@name='tbl_a']"));
        QVERIFY(!table.isNull());
        QCOMPARE(table.attributeText(QStringLiteral("description")), QStringLiteral("A"));
        QVERIFY(!table.attribute(QStringLiteral("missing")).has_value());
        QCOMPARE(table.selectSingleNode(QStringLiteral("notes")).text(), QStringLiteral("n1 bold tail"));
        const auto y = table.selectSingleNode(QStringLiteral("columns/column[@name='y']"));
        QCOMPARE(y.attributeText(QStringLiteral("length")), QStringLiteral("4"));
        QCOMPARE(table.selectSingleNode(QStringLiteral("columns")).firstChild().attributeText(QStringLiteral("name")),
                 QStringLiteral("x"));
        QCOMPARE(table.selectSingleNode(QStringLiteral("columns")).firstChild().nextSibling().nextSibling().isNull(), true);
        QCOMPARE(doc.elementsByTagName(QStringLiteral("table")).size(), 2);
        // A value with a quote makes a bad expression: it finds nothing instead of failing.
        QVERIFY(doc.selectSingleNode(QStringLiteral("d/tables/table[@name='it's']")).isNull());
        QVERIFY(doc.selectSingleNode(QStringLiteral("d/nothing")).isNull());
        QVERIFY(doc.selectSingleNode(QStringLiteral("d/nothing")).selectSingleNode(QStringLiteral("x")).isNull());
    }

    void reportsParseErrorsWithLine()
    {
        Document doc;
        QVERIFY(!doc.loadFromText(QStringLiteral("<a>\n<b>\n</a>")));
        QVERIFY(doc.parseErrorCode() != 0);
        QCOMPARE(doc.parseErrorLine(), 3);
        QVERIFY(!doc.parseErrorReason().isEmpty());
        QVERIFY(doc.root().isNull());
        QVERIFY(!doc.loadFromText(QString()));
        QVERIFY(doc.parseErrorCode() != 0);
        QVERIFY(doc.loadFromText(QStringLiteral("<ok/>")));
        QCOMPARE(doc.parseErrorCode(), 0);
        QCOMPARE(doc.root().name(), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(tst_XmlDocument)
#include "tst_xmldocument.moc"
