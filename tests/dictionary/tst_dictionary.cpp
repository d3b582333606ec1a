#include "dictionary/datadictionary.h"
#include "widgets/descriptioncolors.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtTest/QtTest>
#include <QtWidgets/QTextEdit>

using namespace korva;
using namespace korva::dictionary;

namespace {

// Written in mixed case as shipped; loaded lower-cased as the window does.
const char *kDictionary = R"(<?xml version="1.0"?>
<OrvexDataDictionary>
 <Tables>
  <Table Name="tbl_Subscriber" Description="Subscribers of the system">
   <Notes>One row per subscriber.</Notes>
   <Columns>
    <Column Name="DisplayName" DataType="nvarchar" Length="64" Description="Name Shown">
      <Notes>Free text.</Notes>
    </Column>
    <Column Name="Language" DataType="int" Length="4" Description="Language code" CustomType="LanguageCode"/>
    <Column Name="Pin" DataType="varchar" Length="20" Description="pin" CustomType="PinLength"/>
    <Column Name="Mail" DataType="varchar" Length="80" CustomType="MailAddress"/>
    <Column Name="Odd" DataType="int" CustomType="OddType"/>
    <Column Name="Bare" CustomType="NoRestrictions"/>
   </Columns>
  </Table>
  <Table Name="tbl_Phone" Description="Phones">
   <Columns><Column Name="Foo" DataType="int" Length="4" Description="foo of phone"/></Columns>
  </Table>
  <Table Name="tbl_CallHandler" Description="Handlers"/>
 </Tables>
 <Views>
  <View Name="vw_Subscriber">
   <Columns>
    <Column Name="PhoneFoo" TableColumnRef="tbl_Phone.Foo"/>
    <Column Name="NoRef" TableColumnRef="nodot"/>
   </Columns>
  </View>
 </Views>
 <CustomTypes>
  <CustomType Name="LanguageCode" Description="Languages">
   <Restrictions><Restriction Type="enumeration"><Values>
     <Value Value="0" Description="off"/><Value Value="1" Description="on"/>
   </Values></Restriction></Restrictions>
  </CustomType>
  <CustomType Name="PinLength" Description="Pin digits">
   <Restrictions><Restriction Type="LENGTH" Min="1" Max="64"/></Restrictions>
  </CustomType>
  <CustomType Name="MailAddress" Description="Mail">
   <Restrictions><Restriction Type="regex" Description="an address" Expression="^.+@.+$"/></Restrictions>
  </CustomType>
  <CustomType Name="OddType" Description="Odd"><Restrictions><Restriction Type="range"/></Restrictions></CustomType>
  <CustomType Name="NoRestrictions" Description="Nothing"/>
 </CustomTypes>
</OrvexDataDictionary>)";

// Names with quotes, and a table, column and type that crafted names would
// reach if a name could change the expression it is put into.
const char *kQuotedNames = R"(<?xml version="1.0"?>
<OrvexDataDictionary>
 <Tables>
  <Table Name="tbl_It's" Description="apostrophe"/>
  <Table Name="tbl_Plain" Description="plain">
   <Columns>
    <Column Name="O'Brien" Description="apostrophe column" CustomType="Q'Type"/>
    <Column Name='Say "Hi"' Description="quoted column" CustomType='Q"Type'/>
    <Column Name="Both '&quot;" Description="both column" CustomType="Q'&quot;Type"/>
   </Columns>
  </Table>
  <Table Name='tbl_Say "Hi"' Description="quoted"/>
  <Table Name="tbl_Both '&quot;" Description="both"/>
  <Table Name="tbl_Other" Description="other table">
   <Columns><Column Name="Foo" Description="other column"/></Columns>
  </Table>
 </Tables>
 <Views>
  <View Name="vw_It's"><Columns><Column Name="Via'View" TableColumnRef="tbl_Other.Foo"/></Columns></View>
 </Views>
 <CustomTypes>
  <CustomType Name="Q'Type" Description="apostrophe type">
   <Restrictions><Restriction Type="length" Min="1" Max="2"/></Restrictions>
  </CustomType>
  <CustomType Name='Q"Type' Description="quoted type">
   <Restrictions><Restriction Type="length" Min="3" Max="4"/></Restrictions>
  </CustomType>
  <CustomType Name="Q'&quot;Type" Description="both type">
   <Restrictions><Restriction Type="length" Min="5" Max="6"/></Restrictions>
  </CustomType>
  <CustomType Name="Other" Description="other type">
   <Restrictions><Restriction Type="length" Min="7" Max="8"/></Restrictions>
  </CustomType>
 </CustomTypes>
</OrvexDataDictionary>)";

xml::Document loadLowered(const char *text = kDictionary)
{
    xml::Document doc;
    doc.loadFromText(QString::fromUtf8(text).toLower());
    return doc;
}

} // namespace

class tst_Dictionary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dictionaryNames_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<bool>("views");
        QTest::addColumn<QString>("name");
        QTest::newRow("table-as-is") << "tbl_Foo" << false << "tbl_Foo";
        QTest::newRow("table-without-prefix") << "Foo" << false << "tbl_Foo";
        QTest::newRow("view-in-tables-mode") << "vw_callhandler" << false << "tbl_CallHandler";
        QTest::newRow("view-global-subscriber") << "vw_Subscriber_Global" << true << "tbl_GlobalSubscriber";
        QTest::newRow("view-global-location") << "vw_Location_Global" << true << "tbl_GlobalLocation";
        QTest::newRow("view-callhandler") << "vw_Callhandler" << true << "tbl_CallHandler";
        QTest::newRow("view-personal-dlist") << "vw_PersonalDList" << true << "tbl_PersonalDlist";
        QTest::newRow("view-personal-dlist-member") << "vw_PersonalDListMember" << true << "tbl_PersonalDlistMember";
        QTest::newRow("view-plain") << "vw_Subscriber" << true << "tbl_Subscriber";
    }
    void dictionaryNames()
    {
        QFETCH(QString, listed);
        QFETCH(bool, views);
        QTEST(dictionaryNameFor(listed, views), "name");
    }

    void tableDescriptionFromLowerCasedDocument()
    {
        const xml::Document doc = loadLowered();
        const xml::Node t = tableElement(doc, QStringLiteral("tbl_Subscriber"));
        QCOMPARE(tableDescription(QStringLiteral("tbl_Subscriber"), t),
                 QStringLiteral("Table: tbl_Subscriber\r\n\r\nDescription: subscribers of the system\r\n\r\nNotes: one "
                                "row per subscriber."));
        QCOMPARE(tableDescription(QStringLiteral("tbl_Nope"), tableElement(doc, QStringLiteral("tbl_Nope"))),
                 QStringLiteral("Table: tbl_Nope\r\n\r\n"));
        QCOMPARE(tableDescription(QStringLiteral("x"), tableElement(doc, QStringLiteral("TBL_CALLHANDLER"))),
                 QStringLiteral("Table: x\r\n\r\nDescription: handlers\r\n"));
    }

    void columnDescriptions_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("found-directly") << "DisplayName"
                                        << "Column: DisplayName\r\n\r\nColumn: displayname\r\nDatatype: "
                                           "nvarchar\r\nLength: 64\r\nDescription: name shown\r\n\r\nNotes: free "
                                           "text.\r\n";
        QTest::newRow("enumeration") << "Language"
                                     << "Column: Language\r\n\r\nColumn: language\r\nDatatype: int\r\nLength: "
                                        "4\r\nDescription: language code\r\n\r\nRestrictions: "
                                        "languages\r\n\r\nEnumeration:\r\n0, off\r\n1, on\r\n";
        QTest::newRow("length-any-case") << "Pin"
                                         << "Column: Pin\r\n\r\nColumn: pin\r\nDatatype: varchar\r\nLength: "
                                            "20\r\nDescription: pin\r\n\r\nRestrictions: pin digits\r\n\r\nmin=1, "
                                            "max=64";
        QTest::newRow("regex") << "Mail"
                               << "Column: Mail\r\n\r\nColumn: mail\r\nDatatype: varchar\r\nLength: "
                                  "80\r\n\r\nRestrictions: mail\r\n\r\nan address\r\nregex=^.+@.+$";
        QTest::newRow("other-type") << "Odd"
                                    << "Column: Odd\r\n\r\nColumn: odd\r\nDatatype: int\r\n\r\nRestrictions: "
                                       "odd\r\n\r\nrange";
        QTest::newRow("no-restrictions") << "Bare"
                                         << "Column: Bare\r\n\r\nColumn: bare\r\n\r\nRestrictions: ";
        QTest::newRow("through-view") << "PhoneFoo"
                                      << "Column: PhoneFoo\r\n\r\nColumn: foo\r\nDatatype: int\r\nLength: "
                                         "4\r\nDescription: foo of phone\r\n";
        QTest::newRow("view-ref-without-dot") << "NoRef"
                                              << "Column: NoRef\r\n\r\n";
        QTest::newRow("not-found") << "Nothing"
                                   << "Column: Nothing\r\n\r\n";
    }
    void columnDescriptions()
    {
        QFETCH(QString, column);
        const xml::Document doc = loadLowered();
        xml::Node current = tableElement(doc, QStringLiteral("tbl_subscriber"));
        QTEST(columnDescription(doc, current, QStringLiteral("tbl_Subscriber"), column).text, "text");
    }

    void viewTraceMovesTheCurrentTable()
    {
        const xml::Document doc = loadLowered();
        xml::Node current = tableElement(doc, QStringLiteral("tbl_subscriber"));
        QVERIFY(columnDescription(doc, current, QStringLiteral("tbl_Subscriber"), QStringLiteral("PhoneFoo")).found);
        QCOMPARE(current.attributeText(QStringLiteral("name")), QStringLiteral("tbl_phone"));
        // The next lookup of the same table starts from tbl_Phone: Foo is found there directly.
        const ColumnDescription d = columnDescription(doc, current, QStringLiteral("tbl_Subscriber"),
                                                      QStringLiteral("Foo"));
        QVERIFY(d.found);
        QVERIFY(
            !columnDescription(doc, current, QStringLiteral("tbl_Subscriber"), QStringLiteral("DisplayName")).found);
        // A document that did not load behaves as one without elements.
        xml::Document empty;
        xml::Node none;
        QCOMPARE(columnDescription(empty, none, QStringLiteral("t"), QStringLiteral("c")).text,
                 QStringLiteral("Column: c\r\n\r\n"));
        QCOMPARE(strFetchCustomData(empty, QStringLiteral("x")), QString());
        QCOMPARE(strFetchCustomData(loadLowered(), QString()), QString());
    }

    void quotedTableNames_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("description"); // empty: no such table
        QTest::newRow("apostrophe") << "tbl_It's"
                                    << "apostrophe";
        QTest::newRow("double-quote") << "tbl_Say \"Hi\""
                                      << "quoted";
        QTest::newRow("both") << "tbl_Both '\""
                              << "both";
        QTest::newRow("crafted") << "x'] | //table[@name='tbl_other"
                                 << "";
        QTest::newRow("crafted-any-element") << "x' or @name!='"
                                             << "";
    }
    void quotedTableNames()
    {
        QFETCH(QString, table);
        const xml::Document doc = loadLowered(kQuotedNames);
        QTEST(tableElement(doc, table).attributeText(QStringLiteral("description")), "description");
    }

    void quotedColumnNames_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("description"); // empty: not found
        QTest::addColumn<QString>("restrictions");
        QTest::newRow("apostrophe") << "O'Brien"
                                    << "apostrophe column"
                                    << "apostrophe type";
        QTest::newRow("double-quote") << "Say \"Hi\""
                                      << "quoted column"
                                      << "quoted type";
        QTest::newRow("both") << "Both '\""
                              << "both column"
                              << "both type";
        QTest::newRow("through-view-with-apostrophe") << "Via'View"
                                                      << "other column"
                                                      << "";
        QTest::newRow("crafted") << "x'] | //column[@name='foo"
                                 << ""
                                 << "";
    }
    void quotedColumnNames()
    {
        QFETCH(QString, column);
        QFETCH(QString, description);
        QFETCH(QString, restrictions);
        const xml::Document doc = loadLowered(kQuotedNames);
        // The columns are on tbl_Plain; only the view lookup uses the listed name.
        xml::Node current = tableElement(doc, QStringLiteral("tbl_Plain"));
        QVERIFY(current);
        const ColumnDescription d = columnDescription(doc, current, QStringLiteral("tbl_It's"), column);
        QCOMPARE(d.found, !description.isEmpty());
        if (d.found)
            QVERIFY2(d.text.contains(QStringLiteral("Description: ") + description + QStringLiteral("\r\n")),
                     qPrintable(d.text));
        if (!restrictions.isEmpty())
            QVERIFY2(d.text.contains(QStringLiteral("Restrictions: ") + restrictions + QStringLiteral("\r\n")),
                     qPrintable(d.text));
    }

    void quotedCustomTypeNames_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << "Q'Type"
                                    << "apostrophe type\r\n\r\nmin=1, max=2";
        QTest::newRow("double-quote") << "Q\"Type"
                                      << "quoted type\r\n\r\nmin=3, max=4";
        QTest::newRow("both") << "Q'\"Type"
                              << "both type\r\n\r\nmin=5, max=6";
        QTest::newRow("crafted") << "x'] | //customtype[@name='other"
                                 << "";
    }
    void quotedCustomTypeNames()
    {
        QFETCH(QString, type);
        QTEST(strFetchCustomData(loadLowered(kQuotedNames), type), "text");
    }

    void colourSpans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keywords");
        QTest::addColumn<QList<ColorSpan>>("spans");
        QTest::newRow("table-description") << "Table: tbl_x\r\n\r\nDescription: a"
                                           << " Table: Notes: Description: " << QList<ColorSpan>{{0, 6}, {16, 12}};
        QTest::newRow("label-inside-notes") << "Notes: see Notes: here"
                                            << " Table: Notes: Description: " << QList<ColorSpan>{{0, 6}, {11, 6}};
        QTest::newRow("ignores-case") << "NOTES: x"
                                      << " Table: Notes: Description: " << QList<ColorSpan>{{0, 6}};
        QTest::newRow("word-ending-a-keyword") << "type: int"
                                               << " Column: Datatype: " << QList<ColorSpan>{{0, 5}};
        QTest::newRow("double-blanks") << "a  Table:"
                                       << " Table: " << QList<ColorSpan>{{3, 6}};
        QTest::newRow("nothing") << ""
                                 << " Table: " << QList<ColorSpan>{};
    }
    void colourSpans()
    {
        QFETCH(QString, text);
        QFETCH(QString, keywords);
        QTEST(descriptionColorSpans(text, keywords), "spans");
    }

    void colouringABox()
    {
        QTextEdit box;
        box.setPlainText(QStringLiteral("Table: tbl_x\r\n\r\nDescription: a"));
        QTextCursor c = box.textCursor();
        c.setPosition(3);
        box.setTextCursor(c);
        SetDescriptionColors(&box, kTableKeywords);
        auto colourAt = [&](int pos) {
            QTextCursor k(box.document());
            k.setPosition(pos + 1);
            return k.charFormat().foreground().color();
        };
        QCOMPARE(colourAt(0), QColor(0, 0, 255));
        QCOMPARE(colourAt(5), QColor(0, 0, 255));
        QCOMPARE(colourAt(8), QColor(0, 0, 0));
        const int desc = int(box.toPlainText().indexOf(QStringLiteral("Description:")));
        QCOMPARE(colourAt(desc + 3), QColor(0, 0, 255));
        QCOMPARE(colourAt(desc + 13), QColor(0, 0, 0));
        QCOMPARE(box.textCursor().position(), 3);
        QVERIFY(box.updatesEnabled());
    }

    void writingColouredMatchesColouringAfterwards()
    {
        const QString text = QStringLiteral(
            "Column: Alias\r\n\r\nColumn: alias\r\nDatatype: nvarchar\r\nNotes: x Notes: y");
        QTextEdit a;
        a.setPlainText(text);
        SetDescriptionColors(&a, kColumnKeywords);
        QTextEdit b;
        setColouredDescription(&b, text, kColumnKeywords);
        QCOMPARE(b.toPlainText(), a.toPlainText());
        for (int pos = 1; pos <= a.toPlainText().size(); ++pos) {
            QTextCursor ka(a.document()), kb(b.document());
            ka.setPosition(pos);
            kb.setPosition(pos);
            QCOMPARE(kb.charFormat().foreground().color(), ka.charFormat().foreground().color());
        }
    }

    // On a dark palette labels and text stay readable against the box.
    void darkPaletteKeepsColoursReadable()
    {
        const QString text = QStringLiteral("Column: Alias\r\nDatatype: nvarchar");
        QTextEdit box;
        QPalette dark = box.palette();
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        box.setPalette(dark);
        setColouredDescription(&box, text, kColumnKeywords);
        const auto contrast = [](const QColor &a, const QColor &b) { return std::abs(a.lightness() - b.lightness()); };
        for (int pos : {2, 10}) {
            QTextCursor c(box.document());
            c.setPosition(pos);
            QVERIFY2(contrast(c.charFormat().foreground().color(), QColor(30, 30, 30)) > 100,
                     qPrintable(QString::number(pos)));
        }
        QTextCursor label(box.document()), value(box.document());
        label.setPosition(2);
        value.setPosition(10);
        QVERIFY(label.charFormat().foreground().color() != value.charFormat().foreground().color());
    }

    // The work done for a box (keyword spans found, format runs written)
    // grows with its text and no faster: ten times the lines, ten times the runs.
    void colouringWorkGrowsWithTheText()
    {
        auto colour = [](int lines) {
            QString text;
            for (int i = 0; i < lines; ++i)
                text += QStringLiteral("Description: line %1 Notes: x\r\n").arg(i);
            const qsizetype spans = descriptionColorSpans(text, kTableKeywords).size();
            QTextEdit box;
            box.setPlainText(text);
            SetDescriptionColors(&box, kTableKeywords);
            int runs = 0;
            for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it)
                    runs += it.fragment().charFormat().foreground().color() == QColor(0, 0, 255) ? 1 : 0;
            return std::pair{spans, runs};
        };
        const auto small = colour(1000);
        const auto large = colour(10000);
        QCOMPARE(small.first, 2000);
        QCOMPARE(large.first, 10 * small.first);
        QCOMPARE(small.second, small.first);
        QCOMPARE(large.second, 10 * small.second);
    }
};

QTEST_MAIN(tst_Dictionary)
#include "tst_dictionary.moc"
