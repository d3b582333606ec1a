#include "common/testsupport.h"
#include "platform/paths.h"
#include "storedprocs/sqllanguage.h"

#include <QtCore/QDir>
#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <QtGui/QTextLayout>
#include <QtTest/QtTest>

using namespace korva;
using namespace korva::storedprocs;

namespace {

const char kDefinition[] = R"(; a small definition
[Language]
CaseSensitive=no
[Styles]
Keywords=#0000FF bold
Functions=#FF00FF
Comment=#008000 italic
String=#FF0000
Number=#008080
[Comments]
Line=--
Block=/* */
[Strings]
Delimiter='
[Keywords]
SELECT FROM
WHERE
[Functions]
getdate @@ROWCOUNT
)";

// The colour given to each character of a line, as one letter: k keyword,
// f function, c comment, s string, n number, . none.
QString colourMap(const QTextBlock &block)
{
    QString map(block.text().size(), u'.');
    const QHash<QRgb, QChar> letters{{QColor(0, 0, 255).rgb(), u'k'},
                                     {QColor(255, 0, 255).rgb(), u'f'},
                                     {QColor(0, 128, 0).rgb(), u'c'},
                                     {QColor(255, 0, 0).rgb(), u's'},
                                     {QColor(0, 128, 128).rgb(), u'n'}};
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        for (int i = r.start; i < r.start + r.length; ++i)
            map[i] = letters.value(r.format.foreground().color().rgb(), u'?');
    return map;
}

} // namespace

class tst_SqlLanguage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void definitionIsRead()
    {
        QStringList problems;
        const LanguageDefinition d = parseLanguageDefinition(QString::fromUtf8(kDefinition), &problems);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QVERIFY(!d.caseSensitive);
        QCOMPARE(d.wordGroups.value(QStringLiteral("select")), QStringLiteral("keywords"));
        QCOMPARE(d.wordGroups.value(QStringLiteral("where")), QStringLiteral("keywords"));
        QCOMPARE(d.wordGroups.value(QStringLiteral("@@rowcount")), QStringLiteral("functions"));
        QCOMPARE(d.styles.value(QStringLiteral("keywords")).colour, QColor(0, 0, 255));
        QVERIFY(d.styles.value(QStringLiteral("keywords")).bold);
        QVERIFY(d.styles.value(QStringLiteral("comment")).italic);
        QCOMPARE(d.lineComments, QStringList{QStringLiteral("--")});
        QCOMPARE(d.blockComments.size(), 1);
        QCOMPARE(d.stringDelimiters, QList<QChar>{u'\''});
    }

    void problemsAreReportedAndSkipped()
    {
        QStringList problems;
        const LanguageDefinition d =
            parseLanguageDefinition(QStringLiteral("select\n[Styles]\nKeywords=blue\nString=#FF0000 "
                                                   "underline\n[Comments]\nBlock=/*\nLine=--\n[Strings]\n"
                                                   "Delimiter=''\nQuote=\"\n[Language\n[Keywords]\nFROM\n"),
                                    &problems);
        QCOMPARE(problems.size(), 7);
        QVERIFY(problems[0].startsWith(u"line 1: "));
        QVERIFY(problems[1].startsWith(u"line 3: "));
        QVERIFY(problems[6].startsWith(u"line 11: "));
        // What could be used still is.
        QCOMPARE(d.lineComments, QStringList{QStringLiteral("--")});
        QVERIFY(d.wordGroups.contains(QStringLiteral("from")));
        QVERIFY(d.styles.isEmpty());
    }

    void colouring_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("maps");
        QTest::newRow("keywords-any-case-numbers")
            << "select x From t where n=42" << QStringList{"kkkkkk...kkkk...kkkkk...nn"};
        QTest::newRow("string-with-doubled-quote")
            << "SELECT 'it''s -- no' AS a" << QStringList{"kkkkkk.sssssssssssss....."};
        QTest::newRow("line-comment") << "SELECT 1 -- from here" << QStringList{"kkkkkk.n.cccccccccccc"};
        QTest::newRow("block-comment-over-lines")
            << "x /* from\nstill select\nend */ FROM" << QStringList{"..ccccccc", "cccccccccccc", "cccccc.kkkk"};
        QTest::newRow("string-over-lines") << "'a\nselect' getdate()" << QStringList{"ss", "sssssss.fffffff.."};
        QTest::newRow("words-inside-words")
            << "selected fromage @@ROWCOUNT" << QStringList{".................ffffffffff"};
    }
    void colouring()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, maps);
        QTextDocument doc;
        doc.documentLayout(); // a document reports its changes only once it has a layout, as an editor's has
        SqlHighlighter highlighter(parseLanguageDefinition(QString::fromUtf8(kDefinition)), &doc);
        doc.setPlainText(text);
        QStringList got;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            got << colourMap(b);
        QCOMPARE(got, maps);
    }

    // Editing a line that opens a comment recolours the lines after it.
    void followingLinesFollowAnEdit()
    {
        QTextDocument doc;
        doc.documentLayout();
        SqlHighlighter highlighter(parseLanguageDefinition(QString::fromUtf8(kDefinition)), &doc);
        doc.setPlainText(QStringLiteral("a\nselect"));
        QCOMPARE(colourMap(doc.lastBlock()), QStringLiteral("kkkkkk"));
        QTextCursor c(doc.firstBlock());
        c.insertText(QStringLiteral("/* "));
        QCOMPARE(colourMap(doc.lastBlock()), QStringLiteral("cccccc"));
    }

    void shippedDefinition()
    {
        QString problem;
        const std::optional<LanguageDefinition> d =
            loadLanguageDefinition(QDir(programFolder()).filePath(QStringLiteral("SQL.lng")), &problem);
        QVERIFY2(d, qPrintable(problem));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        for (const char *word : {"create", "procedure", "select", "nvarchar", "coalesce", "@@rowcount"})
            QVERIFY2(d->wordGroups.contains(QString::fromLatin1(word)), word);
        for (const auto &group : d->wordGroups)
            QVERIFY2(d->styles.contains(group), qPrintable(group));
        QVERIFY(d->styles.contains(QStringLiteral("comment")));
        QVERIFY(d->styles.contains(QStringLiteral("string")));
    }

    void unreadableDefinition()
    {
        test::IsolatedEnvironment env;
        QString problem;
        QVERIFY(!loadLanguageDefinition(env.filePath(QStringLiteral("SQL.lng")), &problem));
        QCOMPARE(problem, QStringLiteral("SQL.lng was not found"));
        QDir(env.path()).mkdir(QStringLiteral("SQL.lng"));
        QVERIFY(!loadLanguageDefinition(env.filePath(QStringLiteral("SQL.lng")), &problem));
        QVERIFY2(problem.startsWith(u"SQL.lng could not be read: "), qPrintable(problem));
    }
};

QTEST_MAIN(tst_SqlLanguage)
#include "tst_sqllanguage.moc"
