#include "platform/xmldocument.h"

#include <QtCore/QStringEncoder>
#include <QtTest/QtTest>

using korva::xml::Document;
using korva::xml::kMaxElementDepth;

namespace {

// Elements nested `levels` deep in all, with `innermost` inside the deepest
// wrapper; one tag a line, so a line number tells the level.
QString nested(int levels, const QString &innermost = QString())
{
    return QStringLiteral("<n>\n").repeated(levels) + innermost + QStringLiteral("</n>").repeated(levels);
}

const QString kDecoded = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\r\n"
                                        "<d><t name=\"caf\u00e9\" description=\"\u20ac 5 \u2019ok\u2019\"/></d>");

QByteArray cp1252(const QString &text)
{
    QByteArray out = text.toLatin1();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\u20ac')
            out[i] = '\x80';
        else if (text.at(i) == u'\u2019')
            out[i] = '\x92';
    }
    return out;
}

QByteArray encoded(QStringConverter::Encoding encoding, const QString &text, bool bom)
{
    QStringEncoder encoder(encoding, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

} // namespace

class tst_XmlDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectsByAttributePredicates()
    {
        Document doc;
        QVERIFY(doc.loadFromText(
            QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE d SYSTEM \"http://example.invalid/d.dtd\">\n"
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
        QCOMPARE(table.selectSingleNode(QStringLiteral("columns")).firstChild().nextSibling().nextSibling().isNull(),
                 true);
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

    void refusesDeepNestingBeforeParsing()
    {
        // A dictionary whose notes nest 200,000 deep, 1.4 MB in all.
        const QString deep = QStringLiteral("<?xml version=\"1.0\"?>\n<d>\n<notes>")
                             + QStringLiteral("<n>").repeated(200000) + QStringLiteral("</n>").repeated(200000)
                             + QStringLiteral("</notes></d>");
        Document doc;
        QVERIFY(!doc.loadFromText(deep));
        QCOMPARE(doc.parseErrorCode(), korva::xml::kErrorNestedTooDeeply);
        QCOMPARE(doc.parseErrorReason(), QStringLiteral("elements nested too deeply"));
        QCOMPARE(doc.parseErrorLine(), 3);
        QVERIFY(doc.root().isNull());

        // The first element past the limit is the one reported.
        QVERIFY(!doc.loadFromText(QStringLiteral("<?xml version=\"1.0\"?>\n") + nested(kMaxElementDepth + 1)));
        QCOMPARE(doc.parseErrorLine(), kMaxElementDepth + 2);

        QVERIFY(doc.loadFromText(nested(kMaxElementDepth - 1, QStringLiteral("<m>deepest</m>"))));
        QCOMPARE(doc.root().text(), QStringLiteral("deepest"));
        QCOMPARE(doc.elementsByTagName(QStringLiteral("n")).size(), kMaxElementDepth - 1);
        QCOMPARE(doc.elementsByTagName(QStringLiteral("*")).last().name(), QStringLiteral("m"));
    }

    // Each document puts elements exactly at the limit; markup that only looks
    // like a start tag must not count as one more level.
    void nestingLimit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("loads");
        const int inner = kMaxElementDepth - 1;
        QTest::newRow("at-limit") << nested(inner, QStringLiteral("<m>x</m>")) << true;
        QTest::newRow("empty-element-below-limit") << nested(inner, QStringLiteral("<m><e/></m>")) << false;
        QTest::newRow("siblings-do-not-add-up")
            << QStringLiteral("<r>") + nested(inner - 1).repeated(3) + QStringLiteral("</r>") << true;
        QTest::newRow("comment") << nested(inner, QStringLiteral("<m><!-- > <x> --></m>")) << true;
        QTest::newRow("cdata") << nested(inner, QStringLiteral("<m><![CDATA[ > <x> ]]></m>")) << true;
        QTest::newRow("processing-instruction") << nested(inner, QStringLiteral("<m><?p <x> ?></m>")) << true;
        QTest::newRow("quoted-attribute-values")
            << nested(inner, QStringLiteral("<m a=\"x>y\" b='>' c=\"'\"/><m d='\"' e='/>'>z</m>")) << true;
        QTest::newRow("doctype-internal-subset")
            << QStringLiteral("<!DOCTYPE n [ <!ENTITY e \"a>b<c>\"> <!-- > <y> --> <?p > <z> ?> ]>\n")
                   + nested(inner, QStringLiteral("<m/>"))
            << true;
        QTest::newRow("doctype-with-external-id")
            << QStringLiteral("<!DOCTYPE n SYSTEM \"a>b<c>.dtd\">") + nested(inner, QStringLiteral("<m/>")) << true;
    }
    void nestingLimit()
    {
        QFETCH(QString, text);
        Document doc;
        QTEST(doc.loadFromText(text), "loads");
        if (!doc.isLoaded())
            QCOMPARE(doc.parseErrorCode(), korva::xml::kErrorNestedTooDeeply);
    }

    void literalSelectsExactlyItsElement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("matches");
        QTest::newRow("apostrophe") << "it's" << 1;
        QTest::newRow("double-quote") << "say \"hi\"" << 1;
        QTest::newRow("both") << "both ' and \"" << 1;
        QTest::newRow("both-at-the-ends") << "'\"'" << 1;
        QTest::newRow("crafted-apostrophe") << "x'] | //t[@name='other" << 0;
        QTest::newRow("crafted-double-quote") << "x\"] | //t[@name=\"other" << 0;
        QTest::newRow("crafted-both") << "x'\"] | //t[@name='other" << 0;
    }
    void literalSelectsExactlyItsElement()
    {
        QFETCH(QString, name);
        Document doc;
        QVERIFY(doc.loadFromText(QStringLiteral(
            "<d><t name=\"it's\"/><t name='say \"hi\"'/><t name=\"both ' and &quot;\"/><t name=\"'&quot;'\"/>"
            "<t name=\"other\"/></d>")));
        const auto found = doc.root().selectNodes(QStringLiteral("t[@name=") + korva::xml::literal(name) + u']');
        QTEST(int(found.size()), "matches");
        for (const auto &t : found)
            QCOMPARE(t.attributeText(QStringLiteral("name")), name);
    }

    void decodesByMarkOrDeclaration_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        using E = QStringConverter;
        const QString utf8 = kDecoded.arg(QStringLiteral("UTF-8"));
        const QString utf16 = kDecoded.arg(QStringLiteral("utf-16"));
        const QString utf32 = kDecoded.arg(QStringLiteral("utf-32"));
        QTest::newRow("utf-8") << encoded(E::Utf8, utf8, false) << utf8;
        QTest::newRow("utf-8-bom") << encoded(E::Utf8, utf8, true) << utf8;
        QTest::newRow("utf-16le-bom") << encoded(E::Utf16LE, utf16, true) << utf16;
        QTest::newRow("utf-16be-bom") << encoded(E::Utf16BE, utf16, true) << utf16;
        QTest::newRow("utf-16le-declared") << encoded(E::Utf16LE, utf16, false) << utf16;
        QTest::newRow("utf-16be-declared") << encoded(E::Utf16BE, utf16, false) << utf16;
        QTest::newRow("utf-32le-bom") << encoded(E::Utf32LE, utf32, true) << utf32;
        QTest::newRow("utf-32be-bom") << encoded(E::Utf32BE, utf32, true) << utf32;
        for (const char *name : {"windows-1252", "Windows-1252", "CP1252"}) {
            const QString text = kDecoded.arg(QLatin1StringView(name));
            QTest::addRow("declared-%s", name) << cp1252(text) << text;
        }
        const QString undeclared = kDecoded.section(u'\n', 1);
        QTest::newRow("undeclared-utf-8") << undeclared.toUtf8() << undeclared;
        QTest::newRow("undeclared-not-utf-8") << cp1252(undeclared) << undeclared;
        const QString wrong = kDecoded.arg(QStringLiteral("utf-8"));
        QTest::newRow("declared-utf-8-not-utf-8") << cp1252(wrong) << wrong;
        // Latin-1 keeps 0x80-0x9F as the controls they are there.
        const QString latin1 = QStringLiteral("<?xml version='1.0' encoding='ISO-8859-1'?><d n=\"caf\u00e9 \u0080\"/>");
        QTest::newRow("declared-latin-1") << latin1.toLatin1() << latin1;
        const QString ascii = QStringLiteral("<?xml version=\"1.0\" encoding=\"us-ascii\"?><d/>");
        QTest::newRow("declared-ascii") << ascii.toLatin1() << ascii;
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void decodesByMarkOrDeclaration()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString decoded = korva::xml::decodeDocument(bytes);
        QCOMPARE(decoded, text);
        if (decoded.isEmpty())
            return;
        // Lower-cased as the window does, the text parses whatever encoding it names.
        Document doc;
        QVERIFY2(doc.loadFromText(decoded.toLower()), qPrintable(doc.parseErrorReason()));
        QCOMPARE(doc.root().name(), QStringLiteral("d"));
    }
};

QTEST_GUILESS_MAIN(tst_XmlDocument)
#include "tst_xmldocument.moc"
