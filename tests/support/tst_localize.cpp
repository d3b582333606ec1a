#include "common/recordingmessenger.h"
#include "common/testsupport.h"
#include "platform/paths.h"
#include "support/frmabout.h"
#include "support/frmhelp.h"
#include "support/localize.h"

#include <QtCore/QRandomGenerator>
#include <QtCore/QXmlStreamReader>
#include <QtGui/QAccessible>
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

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QByteArray kQmMagic = QByteArray::fromHex("3cb86418caef9c95cd211cbf60a1bddd");

// A compiled translation with no messages: only its language.
QByteArray emptyTranslation(const QByteArray &language)
{
    QByteArray qm = kQmMagic;
    qm += char(0xa7);
    const quint32 size = quint32(language.size());
    for (int shift : {24, 16, 8, 0})
        qm += char(size >> shift & 0xff);
    return qm + language;
}

// Every source text of a translation source, in its file's order.
QStringList sourceTexts(const QString &tsPath)
{
    QFile file(tsPath);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"source")
            texts << xml.readElementText();
    return texts;
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
        QCOMPARE(codes, (QStringList{QStringLiteral("DEU"), QStringLiteral("_FR"), QStringLiteral("deu"),
                                     QStringLiteral("fra")}));
        QVERIFY(languages.loadedLibrary().isEmpty());
        QCOMPARE(lcidForCode(QStringLiteral("_FR")), 1033);

        // The current language's library, whatever the case of its name; this
        // one is no translation: refused, and the texts stay in English.
        languages.setCurrent(1036);
        const QString error = languages.InitalizeLanguages();
        QVERIFY2(error.contains(QStringLiteral("KORVA_fra.DLL")), qPrintable(error));
        QVERIFY(languages.loadedLibrary().isEmpty());
        QVERIFY(!languages.hasTranslations());
        QCOMPARE(languages.current(), 1033);
        QVERIFY(write(dir.filePath(QStringLiteral("KORVA_fra.DLL")), emptyTranslation("fr_FR")));
        languages.setCurrent(1036);
        QCOMPARE(languages.InitalizeLanguages(), QString());
        QCOMPARE(QFileInfo(languages.loadedLibrary()).fileName(), QStringLiteral("KORVA_fra.DLL"));
        QVERIFY(languages.hasTranslations());
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

    // Damaged copies of the built library: every one is either refused, the
    // texts staying in English, or looks up without reading outside the file.
    // A crash here is the failure.
    void damagedLibrariesNeverCrash()
    {
        QFile built(QDir(builtLibraries()).filePath(QStringLiteral("korva_DEU.dll")));
        if (!built.open(QIODevice::ReadOnly))
            QSKIP("the language libraries are built beside the program (run through CTest)");
        const QByteArray good = built.readAll();
        const QStringList sources = sourceTexts(QStringLiteral(KORVA_SOURCE_DIR "/data/translations/korva_DEU.ts"));
        QVERIFY(sources.size() > 50);

        QList<QByteArray> damaged;
        QRandomGenerator random(20240611);
        for (int i = 0; i < 600; ++i) {
            QByteArray bytes = good;
            for (int flips = 1 + i % 3; flips > 0; --flips)
                bytes[random.bounded(int(bytes.size()))] ^= char(1 << random.bounded(8));
            damaged << bytes;
        }
        // Each bit of the section headers and the first hash entries.
        for (int at = 16; at < 64; ++at)
            for (int bit = 0; bit < 8; ++bit) {
                QByteArray bytes = good;
                bytes[at] ^= char(1 << bit);
                damaged << bytes;
            }
        for (qsizetype size = 0; size < good.size(); size += 1 + size / 8)
            damaged << good.left(size);
        for (int size : {1, 16, 17, 21, 100, 5000}) {
            QByteArray noise(size, Qt::Uninitialized);
            for (char &c : noise)
                c = char(random.bounded(256));
            damaged << noise << kQmMagic + noise;
        }
        damaged << QByteArray(good.size(), '\0');
        // Sections that claim more than there is, or point far away.
        damaged << kQmMagic + QByteArray::fromHex("69ffffffff01")
                << kQmMagic + QByteArray::fromHex("4200000008ffffff00ffffff00");
        damaged << kQmMagic + QByteArray::fromHex("2f00000004000100ff")
                << kQmMagic + QByteArray::fromHex("2f000000020000");
        damaged << emptyTranslation("de_DE") + QByteArray::fromHex("9600000004000000ff");

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("korva_DEU.dll"));
        Languages languages(dir.path(), QStringLiteral("korva"));
        int refused = 0;
        for (const QByteArray &bytes : std::as_const(damaged)) {
            QVERIFY(write(path, bytes));
            languages.setCurrent(1031);
            const QString error = languages.InitalizeLanguages();
            if (!languages.hasTranslations()) {
                ++refused;
                QVERIFY2(error.contains(QStringLiteral("korva_DEU.dll")), qPrintable(error));
                QCOMPARE(languages.current(), 1033);
                QCOMPARE(translated(QStringLiteral("&File")), QStringLiteral("&File"));
            } else {
                QCOMPARE(error, QString());
                QCOMPARE(languages.current(), 1031);
            }
            for (const QString &source : sources)
                translated(source);
            QCoreApplication::translate("KORVA", "%n row(s)", nullptr, 2);
            QCoreApplication::translate("QLineEdit", "&Copy");
        }
        // Truncation alone refuses dozens; flips inside the texts are harmless and pass.
        QVERIFY2(refused > damaged.size() / 4, qPrintable(QString::number(refused)));
        QVERIFY(refused < damaged.size());

        QVERIFY(write(path, good));
        languages.setCurrent(1031);
        QCOMPARE(languages.InitalizeLanguages(), QString());
        QCOMPARE(translated(QStringLiteral("&File")), QStringLiteral("&Datei"));
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
        QVERIFY(touch(dir.filePath(QStringLiteral("korva_DEU.dll")))); // damaged
        QVERIFY(write(dir.filePath(QStringLiteral("korva_FRA.dll")), emptyTranslation("fr_FR")));
        Languages two(dir.path(), QStringLiteral("korva"));
        two.setCurrent(1033);
        frmAbout about(msg, &two);
        QStringList listed;
        for (QAction *a : about.languageMenu()->actions())
            listed << a->text() + u'=' + a->data().toString();
        listed.sort();
        QCOMPARE(listed,
                 (QStringList{QStringLiteral("French (France)= 1036"), QStringLiteral("German (Germany)= 1031")}));
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
        QVERIFY(msg.messages.isEmpty());
        change->setFocus();
        QTest::keyClick(change, Qt::Key_Space);
        QTRY_COMPARE(QApplication::activePopupWidget(), about.languageMenu());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        // A damaged library: the user is told, and the texts are English.
        QTest::mouseClick(change, Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(QApplication::activePopupWidget(), about.languageMenu());
        QAction *german = nullptr;
        for (QAction *a : menu->actions())
            german = a->data().toString() == u" 1031" ? a : german;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(german).center());
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(two.current(), 1033);
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY2(msg.messages.first().contains(QStringLiteral("korva_DEU.dll")), qPrintable(msg.messages.first()));

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
        help.resize(700, 500);
        QTRY_COMPARE(browser->height(), help.height() - browser->y() - browser->x());
        QVERIFY(browser->x() > 0 && browser->width() == help.width() - 2 * browser->x());
        QCOMPARE(helpBrowserGeometry(QSize(6000, 5000)), QRect(100, 1, 5800, 4899));
    }

    // What a screen reader finds: a window named by its title, and the guide's
    // text in it.
    void helpWindowIsReadable()
    {
        test::ScopedEnv programDir("KORVA_PROGRAM_DIR", KORVA_SOURCE_DIR "/data");
        frmHelp help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&help);
        QVERIFY(window && window->isValid());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), help.windowTitle());

        QList<QAccessibleInterface *> pending{window};
        QAccessibleInterface *page = nullptr;
        while (!pending.isEmpty() && !page) {
            QAccessibleInterface *node = pending.takeFirst();
            if (node->textInterface())
                page = node;
            for (int i = 0; i < node->childCount(); ++i)
                pending << node->child(i);
        }
        QVERIFY(page);
        QCOMPARE(page->text(QAccessible::Name), QStringLiteral("Help"));
        QVERIFY(!page->state().invisible);
        QAccessibleTextInterface *text = page->textInterface();
        const QString read = text->text(0, text->characterCount());
        for (const char *heading : {"KORVA user guide", "The main window", "Following ObjectID references"})
            QVERIFY2(read.contains(QLatin1String(heading)), heading);
    }

    // The box is made without a parent; shown, it belongs to the window the
    // user works in, each time it is shown.
    void aboutBoxBelongsToTheWorkingWindow()
    {
        test::RecordingMessenger msg;
        QTemporaryDir empty;
        Languages none(empty.path(), QStringLiteral("korva"));
        none.setCurrent(1033);
        QMainWindow first;
        first.setWindowTitle(QStringLiteral("first"));
        QMainWindow second;
        second.setWindowTitle(QStringLiteral("second"));
        first.show();
        first.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&first));

        QPointer<frmAbout> about = new frmAbout(msg, &none);
        QVERIFY(!about->parentWidget());
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->parentWidget(), &first);
        QVERIFY(about->isWindow());
        // The window system hangs it off that shown window.
        QCOMPARE(about->windowHandle()->transientParent(), first.windowHandle());
        QVERIFY(first.windowHandle()->isVisible());

        QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(about->isHidden());
        first.hide();
        second.show();
        second.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&second));
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->parentWidget(), &second);
        QCOMPARE(about->windowHandle()->transientParent(), second.windowHandle());
        delete about;
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
