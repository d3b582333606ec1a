#include "common/recordingmessenger.h"
#include "common/testsupport.h"
#include "platform/paths.h"
#include "support/frmabout.h"
#include "support/frmhelp.h"
#include "support/localize.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>

using namespace korva;
using namespace korva::modLocalize;

namespace {

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

// A window as the program builds them, with the hook a language change calls.
class frmSample : public QMainWindow
{
    Q_OBJECT

public:
    int hookCalls = 0;
    QMenu *file;
    QLabel *label;
    QPushButton *button;

    frmSample()
    {
        setObjectName(QStringLiteral("frmSample"));
        setWindowTitle(QStringLiteral("Query Builder"));
        file = menuBar()->addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("Exit"));
        label = new QLabel(QStringLiteral("Rows in table:"), this);
        button = new QPushButton(QStringLiteral("Apply"), this);
    }

public Q_SLOTS:
    void frmSample_Auto_Init() { ++hookCalls; }
};

// The language libraries the build made beside the program.
QString builtLibraries() { return programFolder(); }

} // namespace

class tst_Localize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codeTableBothWays()
    {
        QCOMPARE(lcidForCode(QStringLiteral("DEU")), 1031);
        QCOMPARE(lcidForCode(QStringLiteral("PTG")), 2070);
        QCOMPARE(lcidForCode(QStringLiteral("ESN")), 3082);
        // Codes compare exactly; anything else is 1033.
        QCOMPARE(lcidForCode(QStringLiteral("deu")), 1033);
        QCOMPARE(lcidForCode(QStringLiteral("_FR")), 1033);
        QCOMPARE(lcidForCode(QString()), 1033);
        QCOMPARE(codeForLcid(1036), QStringLiteral("FRA"));
        QCOMPARE(codeForLcid(20490), QStringLiteral("ESU"));
        QCOMPARE(codeForLcid(1042), QStringLiteral("ERROR"));
        QCOMPARE(codeForLcid(0), QStringLiteral("ERROR"));
        QCOMPARE(languageName(QStringLiteral("DEU")), QStringLiteral("German (Germany)"));
        QCOMPARE(languageName(QStringLiteral("FRA")), QStringLiteral("French (France)"));
        QCOMPARE(languageName(QStringLiteral("ESP")), QStringLiteral("Spanish (Spain, traditional sort)"));
        QCOMPARE(languageName(QStringLiteral("xyz")), QStringLiteral("(error)"));
        // Every code of the table comes back from its identifier.
        for (const char *code : {"ENU", "ENG", "DEC", "ESO", "ITS", "JPN", "NLB", "NON", "PTB"})
            QCOMPARE(codeForLcid(lcidForCode(QLatin1String(code))), QLatin1String(code));
    }

    void librariesFoundByNameInAnyCase()
    {
        QTemporaryDir dir;
        for (const char *name : {"korva_DEU.dll", "KORVA_fra.DLL", "korva_FR.dll", "Korva_deu.Dll", "korva.dll",
                                 "other_ITA.dll", "korva_ENU.txt", "korvaXNLD.dll"})
            QVERIFY(touch(dir.filePath(QLatin1String(name))));
        Languages languages(dir.path(), QStringLiteral("korva"));
        languages.setCurrent(3079); // German (Austria): no library of its own
        QCOMPARE(languages.InitalizeLanguages(), QString());
        QStringList codes = languages.available();
        codes.sort();
        QCOMPARE(codes, (QStringList{QStringLiteral("DEU"), QStringLiteral("_FR"), QStringLiteral("deu"), QStringLiteral("fra")}));
        QVERIFY(languages.loadedLibrary().isEmpty());
        QCOMPARE(lcidForCode(QStringLiteral("_FR")), 1033);

        // The current language's library, whatever the case of its name; not a
        // translation, but kept open all the same.
        languages.setCurrent(1036);
        languages.InitalizeLanguages();
        QCOMPARE(QFileInfo(languages.loadedLibrary()).fileName(), QStringLiteral("KORVA_fra.DLL"));
        QVERIFY(!languages.hasTranslations());
        // A language outside the table looks for korva_ERROR.dll and finds none.
        languages.setCurrent(1042);
        languages.InitalizeLanguages();
        QVERIFY(languages.loadedLibrary().isEmpty());

        QTemporaryDir empty;
        Languages none(empty.path(), QStringLiteral("korva"));
        none.InitalizeLanguages();
        QCOMPARE(none.available(), QStringList{QString()});
        QVERIFY(none.current() != 0); // the user's own language once initialised
    }

    void fontsFollowTheLanguage()
    {
        QTemporaryDir dir;
        Languages languages(dir.path(), QStringLiteral("korva"));
        frmSample window;
        const QString original = window.label->font().family();
        languages.setCurrent(1042);
        languages.InitalizeLanguages();
        const QString korean = QString::fromUtf16(u"\uAD74\uB9BC");
        QCOMPARE(window.label->font().family(), korean);
        QCOMPARE(window.button->font().family(), korean);
        QCOMPARE(fontFor(1041).charset, 128);
        languages.choose(1033);
        QCOMPARE(window.label->font().family(), original);
        QCOMPARE(window.hookCalls, 2);
    }

    void translationsChangeTheTextsAndBack()
    {
        if (!QFileInfo::exists(QDir(builtLibraries()).filePath(QStringLiteral("korva_DEU.dll"))))
            QSKIP("the language libraries are built beside the program (run through CTest)");
        Languages languages(builtLibraries(), QStringLiteral("korva"));
        frmSample window;
        window.show();
        languages.choose(1031);
        QVERIFY(languages.hasTranslations());
        QCOMPARE(window.file->title(), QStringLiteral("&Datei"));
        QCOMPARE(window.file->actions().first()->text(), QStringLiteral("Beenden"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Abfrage-Editor"));
        QCOMPARE(window.label->text(), QStringLiteral("Zeilen:"));
        QCOMPARE(window.button->text(), QStringLiteral("Anwenden"));
        QCOMPARE(window.hookCalls, 1);

        // A text the program sets meanwhile is its new English text.
        window.button->setText(QStringLiteral("Clear"));
        // A window shown later comes up in the chosen language.
        frmSample later;
        later.show();
        QCOMPARE(later.file->title(), QStringLiteral("&Datei"));

        languages.choose(1033);
        QCOMPARE(window.file->title(), QStringLiteral("&File"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Query Builder"));
        QCOMPARE(window.button->text(), QStringLiteral("Clear"));
        QCOMPARE(later.label->text(), QStringLiteral("Rows in table:"));
        languages.choose(1031);
        QCOMPARE(window.button->text(), QStringLiteral("Leeren"));
        languages.choose(1033);
    }

    void aboutWindow()
    {
        QCOMPARE(aboutVersionText(QStringLiteral("2.0.15")), QStringLiteral(" 2.0 Build  15"));
        QCOMPARE(aboutVersionText(QStringLiteral("10.3.0")), QStringLiteral(" 10.3 Build  0"));

        test::RecordingMessenger msg;
        QTemporaryDir empty;
        Languages none(empty.path(), QStringLiteral("korva"));
        frmAbout bare(msg, &none);
        QCOMPARE(bare.windowTitle(), QStringLiteral("Zandel Orvex Talmu"));
        QCOMPARE(bare.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), aboutVersionText(programVersion()));
        QList<QAction *> items = bare.languageMenu()->actions();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first()->text(), QStringLiteral("no languages loaded"));
        QCOMPARE(items.first()->data().toString(), QStringLiteral("1033"));

        QTemporaryDir dir;
        QVERIFY(touch(dir.filePath(QStringLiteral("korva_DEU.dll"))));
        QVERIFY(touch(dir.filePath(QStringLiteral("korva_FRA.dll"))));
        Languages two(dir.path(), QStringLiteral("korva"));
        frmAbout about(msg, &two);
        QStringList listed;
        for (QAction *a : about.languageMenu()->actions())
            listed << a->text() + u'=' + a->data().toString();
        listed.sort();
        QCOMPARE(listed, (QStringList{QStringLiteral("French (France)= 1036"), QStringLiteral("German (Germany)= 1031")}));
        QVERIFY(msg.messages.isEmpty());

        // The label opens the menu at the mouse, and from the keyboard too.
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *change = about.findChild<QLabel *>(QStringLiteral("lblChangeLanguage"));
        QTest::mouseClick(change, Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(QApplication::activePopupWidget(), about.languageMenu());
        // Choosing an item sets that language.
        QMenu *menu = about.languageMenu();
        QAction *french = nullptr;
        for (QAction *a : menu->actions())
            french = a->data().toString() == u" 1036" ? a : french;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(french).center());
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(two.current(), 1036);
        change->setFocus();
        QTest::keyClick(change, Qt::Key_Space);
        QTRY_COMPARE(QApplication::activePopupWidget(), about.languageMenu());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());

        // OK only hides it; so does closing it.
        QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(about.isHidden());
        about.show();
        about.close();
        QVERIFY(about.isHidden());
    }

    void helpWindowShowsThePageAndFollowsItsLinks()
    {
        QTemporaryDir dir;
        {
            QFile page(dir.filePath(QStringLiteral("KORVA.htm")));
            QVERIFY(page.open(QIODevice::WriteOnly));
            QByteArray html = "<html><body><p><a href=\"#far\">Far down</a> <a href=\"other.htm\">Other page</a></p>";
            for (int i = 0; i < 200; ++i)
                html += "<p>line " + QByteArray::number(i) + "</p>";
            html += "<h2><a name=\"far\"></a>Far</h2><p>end</p></body></html>";
            page.write(html);
            QFile other(dir.filePath(QStringLiteral("other.htm")));
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("<html><body><p>The other page</p></body></html>");
        }
        test::ScopedEnv programDir("KORVA_PROGRAM_DIR", dir.path().toLocal8Bit());
        frmHelp help;
        help.resize(700, 500);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTextBrowser *browser = help.browser();
        QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("KORVA.htm"))));
        // The first link, from the keyboard: the page scrolls to its anchor.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        // The second, with the mouse: the other page opens in the window.
        browser->verticalScrollBar()->setValue(0);
        const QTextBlock first = browser->document()->begin();
        QTextCursor at(first);
        at.setPosition(first.position() + first.text().indexOf(QStringLiteral("Other")) + 2);
        const QPoint point = browser->cursorRect(at).center();
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, point);
        QTRY_COMPARE(browser->source().fileName(), QStringLiteral("other.htm"));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("The other page")));

        // Never smaller than its limits; the browser keeps its margins.
        help.resize(10, 10);
        QVERIFY(help.width() >= help.minimumWidth() && help.minimumWidth() > 100);
        QVERIFY(help.height() >= help.minimumHeight() && help.minimumHeight() > 100);
        QCOMPARE(helpBrowserGeometry(QSize(6000, 5000)), QRect(100, 1, 5800, 4899));
    }

    // The guide shipped beside the program: every link inside it leads somewhere.
    void shippedGuideLinksResolve()
    {
        QFile file(QStringLiteral(KORVA_SOURCE_DIR "/data/KORVA.htm"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(file.readAll()));
        QSet<QString> anchors;
        QStringList links;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                for (const QString &name : f.anchorNames())
                    anchors.insert(name);
                if (!f.anchorHref().isEmpty())
                    links << f.anchorHref();
            }
        QVERIFY(links.size() > 10);
        for (const QString &link : links) {
            QVERIFY2(link.startsWith(u'#'), qPrintable(link));
            QVERIFY2(anchors.contains(link.mid(1)), qPrintable(link));
        }
    }
};

QTEST_MAIN(tst_Localize)
#include "tst_localize.moc"
