#include "colourmap.h"
#include "query/querycolors.h"

#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtTest/QtTest>

using namespace korva;
using namespace korva::query;
using korva::test::colourMap;

namespace {

KnownNames names()
{
    KnownNames n;
    // As the shared state keeps them: appended to, never emptied.
    n.update(QStringLiteral("tbl_x tbl_User tbl_x "), QStringLiteral("vw_Subscriber vw_x "));
    return n;
}

ApplyStats colour(QTextDocument &doc, const KnownNames &n = names())
{
    return applyQueryColouring(doc, colourQuery(doc.toPlainText(), n));
}

} // namespace

// The colouring on documents without a window: K keyword, N known name,
// S string, "." black (see colourMap).
class tst_QueryColors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colouring_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("map");
        // clang-format off
        QTest::newRow("keywords-names-and-points") << "select name from tbl_x where a.b=1" << "SELECT name FROM tbl_x WHERE a.b=1" << "KKKKKK......KKKK.NNNNN.KKKKK......";
        QTest::newRow("names-before-points")       << "tbl_x.ObjectID=vw_x.x" << "tbl_x.ObjectID=vw_x.x" << "NNNNN..........NNNN..";
        QTest::newRow("ends-of-the-keyword-list")  << "add x writetext" << "ADD x WRITETEXT" << "KKK...KKKKKKKKK";
        QTest::newRow("first-names-any-case")      << "TBL_X Vw_Subscriber tbl_user" << "TBL_X Vw_Subscriber tbl_user" << "NNNNN.NNNNNNNNNNNNN.NNNNNNNN";
        QTest::newRow("names-are-whole-words")     << "tbl_xy selection xtbl_x" << "tbl_xy selection xtbl_x" << ".......................";
        QTest::newRow("keyword-in-quotes")         << "where x = 'a from b'" << "WHERE x = 'a FROM b'" << "KKKKK.....SSSSSSSSSS";
        QTest::newRow("doubled-quotes")            << "'it''s'" << "'it''s'" << "SSSSSSS";
        QTest::newRow("unmatched-quote")           << "select 'x from" << "SELECT 'x FROM" << "KKKKKK....KKKK";
        QTest::newRow("third-quote-opens-again")   << "'a' b 'c" << "'a' b 'c" << "SSS.....";
        QTest::newRow("punctuation-attached")      << "select a, b from, (select c)" << "SELECT a, b from, (select c)" << "KKKKKK......................";
        QTest::newRow("line-breaks-double-blanks") << "select\r\nfrom  tbl_x\ninto" << "SELECT\nFROM  tbl_x\nINTO" << "KKKKKK\nKKKK..NNNNN\nKKKK";
        QTest::newRow("string-over-a-line-break")  << "x 'a\r\nselect' y" << "x 'a\nselect' y" << "..SS\nSSSSSSS..";
        QTest::newRow("tab-inside-a-word")         << "select\tname" << "select\tname" << "...........";
        QTest::newRow("mixed-case-underscores")    << "SeLeCt current_timestamp Identity_Insert" << "SELECT CURRENT_TIMESTAMP IDENTITY_INSERT" << "KKKKKK.KKKKKKKKKKKKKKKKK.KKKKKKKKKKKKKKK";
        // clang-format on
    }
    void colouring()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(QString, map);
        QTextDocument doc;
        QTextCursor(&doc).insertText(typed);
        colour(doc);
        QCOMPARE(doc.toPlainText(), text);
        QCOMPARE(colourMap(doc), map);
    }

    void everyKeywordOfTheList()
    {
        QCOMPARE(keywords().size(), 169);
        QTextDocument doc;
        QTextCursor(&doc).insertText(keywords().join(u' ').toLower());
        colour(doc, KnownNames());
        QCOMPARE(doc.toPlainText(), keywords().join(u' '));
        QCOMPARE(colourMap(doc).count(u'K'), keywords().join(QString()).size());
        QVERIFY(!isKeyword(u"ſelect")); // no case folding beyond ASCII
    }

    // Recolouring a document that is up to date changes nothing, not even the
    // undo history; a colouring that changes something is one undo step.
    void undoSteps()
    {
        QTextDocument doc;
        QTextCursor(&doc).insertText(QStringLiteral("select a from tbl_x where b = 'c'"));
        const QString plain = colourMap(doc);
        QCOMPARE(colour(doc).replaced, 3);
        const int steps = doc.availableUndoSteps();
        const ApplyStats again = colour(doc);
        QCOMPARE(again.replaced + again.recoloured, 0);
        QCOMPARE(doc.availableUndoSteps(), steps);
        doc.undo();
        QCOMPARE(doc.toPlainText(), QStringLiteral("select a from tbl_x where b = 'c'"));
        QCOMPARE(colourMap(doc), plain);
    }

    // Colours that no longer fit the text (a word typed on after a keyword, a
    // colour from elsewhere) come right, and only there.
    void staleColoursAreCorrected()
    {
        QTextDocument doc;
        QTextCursor(&doc).insertText(QStringLiteral("select a from tbl_x"));
        colour(doc);
        QTextCursor c(&doc);
        c.setPosition(6);
        c.insertText(QStringLiteral("ed")); // takes the blue of the keyword before it
        c.setPosition(16);
        c.setPosition(18, QTextCursor::KeepAnchor);
        QTextCharFormat grey;
        grey.setForeground(Qt::gray);
        c.mergeCharFormat(grey);
        QCOMPARE(colourMap(doc), QStringLiteral("KKKKKKKK...KKKK.??NNN"));
        QCOMPARE(colour(doc).recoloured, 2);
        QCOMPARE(colourMap(doc), QStringLiteral("...........KKKK.NNNNN"));

        // One key in a long script touches the colours around it only.
        QString script;
        for (int i = 0; i < 2000; ++i)
            script += QStringLiteral("select a, b from tbl_x where c = 'd' and e.f=%1\n").arg(i);
        QTextDocument big;
        QTextCursor(&big).insertText(script);
        colour(big);
        QTextCursor k(&big);
        k.setPosition(int(script.size() / 2));
        k.movePosition(QTextCursor::StartOfBlock);
        k.insertText(QStringLiteral("x")); // "xSELECT": no longer a keyword
        const ApplyStats s = colour(big);
        QCOMPARE(s.replaced, 0);
        QCOMPARE(s.recoloured, 1);
    }

    // Colouring the lines on the screen first and the rest later, with an
    // edit in between, ends where colouring all at once does.
    void deferredRangesEndTheSame()
    {
        QString script;
        for (int i = 0; i < 200; ++i)
            script += QStringLiteral("select a from tbl_x where b = 'c%1'\n").arg(i);
        QTextDocument whole;
        QTextCursor(&whole).insertText(script);
        colour(whole);

        QTextDocument split;
        QTextCursor(&split).insertText(script);
        std::vector<ColourRange> later;
        const ApplyStats now = applyQueryColouring(split, colourQuery(split.toPlainText(), names()), 1000, 2000,
                                                   &later);
        QVERIFY(now.recoloured > 0);
        QVERIFY(later.size() > 100);
        QCOMPARE(now.replaced, 600); // the text is never left half done
        QCOMPARE(split.toPlainText(), whole.toPlainText());
        // Text typed at 1500 (on the screen) moves what is still to come after it.
        QTextCursor typing(&split);
        typing.setPosition(1500);
        typing.insertText(QStringLiteral("zz"));
        shiftColourRanges(later, 1500, 0, 2);
        QTextCursor c(&split);
        for (const ColourRange &r : later)
            applyColourRange(c, r);
        QString expected = colourMap(whole);
        expected.insert(1500, colourMap(split).mid(1500, 2));
        QCOMPARE(colourMap(split), expected);
    }
};

QTEST_MAIN(tst_QueryColors)
#include "tst_querycolors.moc"
