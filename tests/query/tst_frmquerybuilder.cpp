#include "appcontext/windowcontext.h"
#include "colourmap.h"
#include "common/demowindows.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/sessionpool.h"
#include "platform/settings.h"
#include "query/frmquerybuilder.h"
#include "query/queryhistory.h"
#include "support/localize.h"
#include "support/windowplacement.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QTranslator>
#include <QtGui/QClipboard>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>

#include <future>

using namespace korva;
using test::colourMap;
namespace history = korva::query::history;

namespace {

const QString kWindow = QStringLiteral("frmQueryBuilder");
const QString kUpdateThree = QStringLiteral("UPDATE tbl_User SET FirstName = FirstName WHERE ObjectID IN (SELECT TOP 3 "
                                            "ObjectID FROM tbl_User ORDER BY ObjectID)");

template<class T>
T *child(QObject &w, const char *name)
{
    return w.findChild<T *>(QString::fromLatin1(name));
}
QPlainTextEdit *text(QWidget &w) { return child<QPlainTextEdit>(w, "txtSQL"); }
Grid *grid(QWidget &w) { return child<Grid>(w, "gridSQL"); }
QString statusLine(QWidget &w) { return child<QLabel>(w, "lblStatus")->text(); }

// The status line after a run: what it says before the time, and a time.
bool saysWithTime(const QString &status, const QString &before)
{
    static const QRegularExpression time(QStringLiteral("^ \\| Time: \\d+\\.\\d{3} s$"));
    return status.startsWith(before) && time.match(status.mid(before.size())).hasMatch();
}

// Puts the focus into the window's query box as a click would, and says
// whether it is there: keys sent to the window then reach it as typed ones do.
bool focusQueryBox(frmQueryBuilder &w)
{
    w.activateWindow();
    text(w)->setFocus(Qt::MouseFocusReason);
    return QTest::qWaitFor([&] { return QApplication::focusWidget() == text(w) && w.isActiveWindow(); });
}

// Puts a query into the box, as a paste would, and runs it to its end.
bool run(frmQueryBuilder &w, const QString &sql)
{
    text(w)->setPlainText(sql);
    QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
    return QTest::qWaitFor([&] { return !w.isRunning(); }, 20000);
}

QMenu *shownPopup(const char *name)
{
    QMenu *menu = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        return menu && menu->objectName() == QLatin1String(name);
    });
    return shown ? menu : nullptr;
}

void choose(QMenu *menu, QAction *item)
{
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

QStringList shownItems(QMenu *menu)
{
    QStringList items;
    for (QAction *a : menu->actions())
        if (a->isVisible())
            items << a->text();
    return items;
}

// A language with a few of the window's texts, for a language change.
class FewTexts final : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char *, int) const override
    {
        static const QHash<QString, QString> texts{
            {QStringLiteral("Rows: %1"), QStringLiteral("Zeilen: %1")},
            {QStringLiteral("Records affected: %1"), QStringLiteral("Betroffene Datensätze: %1")},
            {QStringLiteral("Time: %1"), QStringLiteral("Dauer: %1")},
            {QStringLiteral("&Query"), QStringLiteral("Ab&frage")},
        };
        return texts.value(QString::fromUtf8(source));
    }
};

} // namespace

// The query window on a demo installation, opened through a window context
// as the main window's View menu does, driven with real keys and clicks.
class tst_frmQueryBuilder : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;

    frmQueryBuilder *open()
    {
        auto *w = qobject_cast<frmQueryBuilder *>(fx.ctx().openWindow(kWindow));
        return w && QTest::qWaitForWindowExposed(w) ? w : nullptr;
    }
    bool closeWindow()
    {
        if (QWidget *w = fx.ctx().openedWindow(kWindow))
            w->close();
        return QTest::qWaitFor([&] { return !fx.ctx().openedWindow(kWindow); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
        fx.ctx().registerWindow(kWindow, WindowContext::Instances::One,
                                [](WindowContext &c) { return new frmQueryBuilder(c); });
        SharedState &s = fx.ctx().ownerState();
        s.connectionString = fx.connectionString();
        s.knownTableNames = QStringLiteral("tbl_Alias tbl_User ");
        s.knownViewNames = QStringLiteral("vw_Subscriber vw_User ");
    }
    void init()
    {
        saveClearOnFailure(*openSettings(), false);
        fx.msg.clear();
        fx.msg.answers.clear();
        fx.msg.fileNames.clear();
        fx.msg.dialogTitles.clear();
        fx.msg.proposedPaths.clear();
    }
    void cleanup()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        QVERIFY(closeWindow());
        waitForDatabaseThreads();
    }

    // A user's session: type, run, see the rows, recall the query from the history.
    void typeRunAndRecall()
    {
        fx.ctx().ownerState().remoteLabel = QStringLiteral("ELSEWHERE\\ORVEX2");
        frmQueryBuilder *w = open();
        fx.ctx().ownerState().remoteLabel.clear();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Query Builder - ELSEWHERE\\ORVEX2"));
        QPlainTextEdit *txt = text(*w);
        txt->setFocus();
        QTest::keyClicks(txt, QStringLiteral("select top 3 firstname, 'a&b' as x"));
        QTest::keyClick(txt, Qt::Key_Return);
        QTest::keyClicks(txt, QStringLiteral("from tbl_user order by objectid desc"));
        // The colours show the text as it was before each key: the last word after one more.
        QVERIFY(txt->toPlainText().endsWith(QStringLiteral("ORDER BY objectid desc")));
        QTest::keyClick(txt, Qt::Key_End);
        const QString query = QStringLiteral(
            "SELECT TOP 3 firstname, 'a&b' AS x\nFROM tbl_user ORDER BY objectid DESC");
        const QString colours = QStringLiteral(
            "KKKKKK.KKK..............SSSSS.KK..\nKKKK.NNNNNNNN.KKKKK.KK..........KKKK");
        QCOMPARE(txt->toPlainText(), query);
        QCOMPARE(colourMap(*txt->document()), colours);
        QCOMPARE(txt->textCursor().position(), query.size());

        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
        Grid *g = grid(*w);
        QCOMPARE(g->rows(), 4);
        QCOMPARE(g->cols(), 2);
        QCOMPARE(g->textMatrix(0, 0).toLower(), QStringLiteral("firstname"));
        QCOMPARE(g->textMatrix(1, 1), QStringLiteral("a&b"));
        QCOMPARE(txt->toPlainText(), query);

        child<QAction>(*w, "mnuClear")->trigger();
        QTest::mouseClick(child<QPushButton>(*w, "cmdPreviousQueries"), Qt::LeftButton);
        QMenu *menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QAction *newest = menu->actions().first();
        QCOMPARE(newest->objectName(), QStringLiteral("mnuPreviousQuery"));
        QCOMPARE(newest->text(),
                 QStringLiteral("SELECT TOP 3 firstname, 'a&&b' AS x FROM tbl_user ORDER BY objectid DESC"));
        choose(menu, newest);
        QCOMPARE(txt->toPlainText(), query);
        QCOMPARE(colourMap(*txt->document()), colours);
        txt->undo(); // the text that was there comes back
        QVERIFY(txt->toPlainText().isEmpty());
    }

    // Ctrl+Enter (either Enter key) and F5 pressed in the query box that has
    // the focus run the text as it stands: no line break, no recolouring. The
    // status line then says the rows, the records affected and the time.
    void keysRunTheQuery_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("ctrl-return") << int(Qt::Key_Return) << int(Qt::ControlModifier);
        QTest::newRow("ctrl-keypad-enter") << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier);
        QTest::newRow("f5") << int(Qt::Key_F5) << 0;
    }
    void keysRunTheQuery()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        frmQueryBuilder *w = open();
        QVERIFY(w);
        QVERIFY(focusQueryBox(*w));
        QPlainTextEdit *txt = text(*w);
        QTest::keyClicks(QApplication::focusWidget(),
                         QStringLiteral("select firstname from tbl_user where objectid in (select top 2 objectid "
                                        "from tbl_user) and 'from' = 'from'"));
        const QString typed = txt->toPlainText();
        const QString colours = colourMap(*txt->document());
        QVERIFY(typed.startsWith(QStringLiteral("SELECT firstname FROM tbl_user WHERE")));
        QCOMPARE(statusLine(*w), QString());

        QTest::keyClick(w->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(w->isRunning());
        QCOMPARE(txt->toPlainText(), typed);
        QCOMPARE(colourMap(*txt->document()), colours);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
        Grid *g = grid(*w);
        QCOMPARE(g->rows(), 3);
        QCOMPARE(g->textMatrix(0, 0).toLower(), QStringLiteral("firstname"));
        QVERIFY(!g->textMatrix(1, 0).isEmpty());
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Rows: 2 | Records affected: 0")),
                 qPrintable(statusLine(*w)));
        QCOMPARE(txt->toPlainText(), typed);
        QCOMPARE(QApplication::focusWidget(), txt);

        // Wherever the focus is in the window.
        g->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), g);
        txt->setPlainText(kUpdateThree);
        QTest::keyClick(w->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Records affected=3")});
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Rows: none | Records affected: 3")),
                 qPrintable(statusLine(*w)));
        QCOMPARE(g->rows(), 3); // the grid keeps what it showed
    }

    // A language chosen while the window is open says the last run in it.
    void statusLineFollowsTheLanguage()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        QVERIFY(run(*w, QStringLiteral("SELECT TOP 2 FirstName FROM tbl_User")));
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Rows: 2 | Records affected: 0")),
                 qPrintable(statusLine(*w)));
        FewTexts german;
        QCoreApplication::installTranslator(&german);
        modLocalize::programLanguages().applyTo(w);
        const QString shown = statusLine(*w);
        const QString menu = child<QMenu>(*w, "mnuQuery")->title();
        QCoreApplication::removeTranslator(&german);
        modLocalize::programLanguages().applyTo(w);
        QVERIFY2(shown.startsWith(QStringLiteral("Zeilen: 2 | Betroffene Datensätze: 0 | Dauer: ")), qPrintable(shown));
        QCOMPARE(menu, QStringLiteral("Ab&frage"));
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Rows: 2 | Records affected: 0")),
                 qPrintable(statusLine(*w)));
    }

    // The Edit menu's caption gives it Alt+E, and so it stays, whatever the
    // Execute button's caption says: every time, from the query box too.
    void altEOpensTheEditMenu()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        text(*w)->setPlainText(QStringLiteral("SELECT 1"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(focusQueryBox(*w));
            QTest::keyClick(w->windowHandle(), Qt::Key_E, Qt::AltModifier);
            QMenu *menu = shownPopup("mnuEdit");
            QVERIFY2(menu, qPrintable(QStringLiteral("press %1").arg(i + 1)));
            QVERIFY(!w->isRunning());
            // Esc closes the menu, leaving its title highlighted; Esc again goes
            // back to the query box (the button never took the focus).
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QCOMPARE(w->menuBar()->activeAction(), child<QMenu>(*w, "mnuEdit")->menuAction());
            QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
            QTRY_COMPARE(QApplication::focusWidget(), text(*w));
            QCOMPARE(text(*w)->toPlainText(), QStringLiteral("SELECT 1"));
        }
        QVERIFY(fx.msg.messages.isEmpty());
        QCOMPARE(statusLine(*w), QString());
        QCOMPARE(grid(*w)->cols(), 0);
        // The Query menu has its own key, and shows the keys that run the query.
        QTest::keyClick(w->windowHandle(), Qt::Key_Q, Qt::AltModifier);
        QMenu *menu = shownPopup("mnuQuery");
        QVERIFY(menu);
        QAction *execute = child<QAction>(*w, "mnuExecute");
        QCOMPARE(execute->shortcut(), QKeySequence(Qt::Key_F5));
        choose(menu, execute);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QCOMPARE(grid(*w)->rows(), 2);
    }

    // A failed run leaves no rows of its own. By default the grid keeps what
    // it showed (failuresAndChangedRecords); chosen in the Query menu, the
    // failure empties it. The choice is kept for the next window.
    void failureClearsTheResultWhenChosen()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        Grid *g = grid(*w);
        QVERIFY(focusQueryBox(*w));
        QTest::keyClick(w->windowHandle(), Qt::Key_Q, Qt::AltModifier);
        QMenu *menu = shownPopup("mnuQuery");
        QVERIFY(menu);
        QAction *clear = child<QAction>(*w, "mnuClearOnFailure");
        QVERIFY(clear->isCheckable() && !clear->isChecked());
        choose(menu, clear);
        QVERIFY(clear->isChecked());

        QVERIFY(run(*w, QStringLiteral("SELECT FirstName, LastName FROM tbl_User")));
        QVERIFY(g->rows() > 3);
        fx.msg.clear();
        text(*w)->setPlainText(QStringLiteral("SELECT Missing FROM tbl_NoSuchTable"));
        QVERIFY(focusQueryBox(*w));
        QTest::keyClick(w->windowHandle(), Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY(fx.msg.messages[0].startsWith(QStringLiteral("Invalid SQL entry:\r\n")));
        QCOMPARE(g->rows(), 1);
        QCOMPARE(g->cols(), 0);
        QCOMPARE(g->textMatrix(1, 0), QString());
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Query failed | Records affected: 0")),
                 qPrintable(statusLine(*w)));

        // What ran before the failure is said, and the grid is empty still.
        fx.msg.clear();
        QVERIFY(run(*w, kUpdateThree + QStringLiteral("; SELECT * FROM tbl_NotThere")));
        QVERIFY(fx.msg.messages.value(0).endsWith(QStringLiteral("Records affected=3")));
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Query failed | Records affected: 3")),
                 qPrintable(statusLine(*w)));
        QCOMPARE(g->cols(), 0);

        QVERIFY(closeWindow());
        w = open();
        QVERIFY(w);
        QVERIFY(child<QAction>(*w, "mnuClearOnFailure")->isChecked());
    }

    void failuresAndChangedRecords()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        Grid *g = grid(*w);
        QVERIFY(run(*w, QStringLiteral("SELECT FirstName, LastName FROM tbl_User")));
        const int rows = g->rows();
        QVERIFY(rows > 3);
        QVERIFY(run(*w, QString()));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Invalid SQL query")});

        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("SELECT Missing FROM tbl_NoSuchTable")));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(QStringLiteral("Invalid SQL entry:\r\n")),
                 qPrintable(fx.msg.messages[0]));
        QVERIFY(fx.msg.messages[0].contains(QStringLiteral("tbl_NoSuchTable"), Qt::CaseInsensitive));
        QCOMPARE(g->rows(), rows);
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Query failed | Records affected: 0")),
                 qPrintable(statusLine(*w)));
        QCOMPARE(history::list().value(0).caption, QStringLiteral("SELECT FirstName, LastName FROM tbl_User"));

        fx.msg.clear();
        QVERIFY(run(*w, kUpdateThree));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Records affected=3")});
        QCOMPARE(g->rows(), rows);
        QCOMPARE(g->textMatrix(0, 1), QStringLiteral("LastName"));
        QCOMPARE(history::list().value(0).caption, kUpdateThree.left(90));
    }

    // A batch with a syntax error anywhere runs none of it; a failure at run
    // time says what the statements before it changed.
    void batchesCompileBeforeAnyStatementRuns()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        const auto count = [&](const QString &sql) {
            db::Error e;
            auto rows = db::openResultSet(fx.ctx().ownerState().connectionString, sql, &e);
            return rows && !e ? rows->field(0).toInt() : -1;
        };
        const int aliases = count(QStringLiteral("SELECT COUNT(*) FROM tbl_Alias"));
        QVERIFY(aliases > 0);

        QVERIFY(run(*w, QStringLiteral("UPDATE tbl_User SET FirstName = 'X' WHERE ObjectID IN "
                                       "(SELECT TOP 3 ObjectID FROM tbl_User ORDER BY ObjectID); SELEC 1")));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Invalid SQL entry:\r\nIncorrect syntax near 'SELEC'.")});
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM tbl_User WHERE FirstName = 'X'")), 0);

        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("DELETE FROM tbl_Alias WHERE 1=1; SELECT * FROM tbl_User WHERE (")));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(QStringLiteral("Invalid SQL entry:\r\nIncorrect syntax")),
                 qPrintable(fx.msg.messages[0]));
        QVERIFY(!fx.msg.messages[0].contains(QStringLiteral("Records affected")));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM tbl_Alias")), aliases);

        fx.msg.clear();
        QVERIFY(run(*w, kUpdateThree + QStringLiteral("; SELECT * FROM tbl_NotThere")));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(
                     QStringLiteral("Invalid SQL entry:\r\nInvalid object name 'tbl_NotThere'.")),
                 qPrintable(fx.msg.messages[0]));
        QVERIFY2(fx.msg.messages[0].endsWith(QStringLiteral("\r\n\r\nRecords affected=3")),
                 qPrintable(fx.msg.messages[0]));

        // A table made by the batch itself is found when its statement runs.
        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("CREATE TABLE tbl_Scratch (a int); INSERT INTO tbl_Scratch VALUES (1); "
                                       "INSERT INTO tbl_Scratch VALUES (2); DROP TABLE tbl_Scratch")));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Records affected=2")});

        // The engine stops inside a statement that names a table the batch
        // makes (ALTER TABLE): the rest waits, and is not taken for a syntax error.
        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("CREATE TABLE tbl_Scratch (a int); ALTER TABLE tbl_Scratch ADD b int; "
                                       "INSERT INTO tbl_Scratch (b) VALUES (1); DROP TABLE tbl_Scratch")));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Records affected=1")});

        // A transaction the batch leaves open is rolled back and said, not
        // reported as done and lost when the window's connection closes.
        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("BEGIN TRANSACTION; DELETE FROM tbl_Alias")));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].contains(QStringLiteral("did not commit")), qPrintable(fx.msg.messages[0]));
        QVERIFY2(fx.msg.messages[0].endsWith(QStringLiteral("Records affected=0"))
                     || !fx.msg.messages[0].contains(u"Records"),
                 qPrintable(fx.msg.messages[0]));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM tbl_Alias")), aliases);
    }

    // A query that never ends: Stop and Esc interrupt it, the other windows'
    // queries on the same database go on meanwhile, closing the window stops
    // it, and so does the program's exit.
    void endlessQueryStops()
    {
        const QString endless = QStringLiteral(
            "WITH c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT MAX(x) FROM c");
        const auto threadsIdleWithin = [](int ms) {
            auto idle = std::async(std::launch::async, [] { waitForDatabaseThreads(); });
            return idle.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
        };
        frmQueryBuilder *w = open();
        QVERIFY(w);
        auto *stop = child<QPushButton>(*w, "cmdStop");
        QVERIFY(stop && !stop->isEnabled());

        text(*w)->setPlainText(endless);
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTest::qWait(200);
        QVERIFY(w->isRunning());
        QVERIFY(stop->isEnabled());
        // Another window's query on the same database does not wait for it.
        QElapsedTimer other;
        other.start();
        db::Error e;
        auto rows = db::openResultSet(fx.ctx().ownerState().connectionString,
                                      QStringLiteral("SELECT COUNT(*) FROM tbl_User"), &e);
        QVERIFY2(rows && !e, qPrintable(e.description));
        QVERIFY(other.elapsed() < 2000);
        rows.reset(); // an open read would hold off the writes below
        QTest::mouseClick(stop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 5000);
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Operation cancelled by the user.")});
        QVERIFY(!stop->isEnabled());

        fx.msg.clear();
        text(*w)->setPlainText(endless);
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTest::qWait(100);
        QVERIFY(w->isRunning());
        QTest::keyClick(text(*w), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 5000);
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Operation cancelled by the user.")});

        text(*w)->setPlainText(endless);
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTest::qWait(100);
        QVERIFY(closeWindow());
        QVERIFY(threadsIdleWithin(5000));

        w = open();
        QVERIFY(w);
        text(*w)->setPlainText(endless);
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTest::qWait(100);
        db::interruptAll();
        QVERIFY(threadsIdleWithin(5000));
        QTRY_VERIFY(!w->isRunning());

        // A long batch of short statements stops between them too: what ran
        // before the stop is said, nothing after it runs.
        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("CREATE TABLE tbl_Many (n int)")));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Records affected=0")});
        QString many;
        for (int i = 0; i < 20000; ++i)
            many += QStringLiteral("INSERT INTO tbl_Many VALUES (%1);\n").arg(i);
        text(*w)->setPlainText(many);
        fx.msg.clear();
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTest::qWait(50);
        QTest::mouseClick(child<QPushButton>(*w, "cmdStop"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 10000);
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(QStringLiteral("Operation cancelled by the user.")),
                 qPrintable(fx.msg.messages[0]));
        db::Error e2;
        auto inserted = db::openResultSet(fx.ctx().ownerState().connectionString,
                                          QStringLiteral("SELECT COUNT(*) FROM tbl_Many"), &e2);
        QVERIFY2(inserted && !e2, qPrintable(e2.description));
        const int done = inserted->field(0).toInt();
        QVERIFY2(done < 20000, qPrintable(QString::number(done)));
        if (done > 0)
            QVERIFY2(fx.msg.messages[0].endsWith(QStringLiteral("Records affected=%1").arg(done)),
                     qPrintable(fx.msg.messages[0]));
        inserted.reset();
        fx.msg.clear();
        QVERIFY(run(*w, QStringLiteral("DROP TABLE tbl_Many")));
    }

    // A large result comes into the grid in batches while the window's event
    // loop runs: every row once and in order, the run said done only when the
    // last is in. Stop ends a result that never ends, keeping the rows read;
    // a statement failing midway is a failed run, not kept in the history.
    void rowsArriveWhileTheWindowRuns()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        Grid *g = grid(*w);
        const QString counting = QStringLiteral(
            "WITH c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %1) SELECT n, 'row ' || n AS t FROM c");
        const int many = 60000;
        QVERIFY(run(*w, counting.arg(many)));
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
        QCOMPARE(g->rows(), many + 1);
        for (int row : {1, 200, 201, 20000, 20201, many}) {
            QCOMPARE(g->textMatrix(row, 0), QString::number(row));
            QCOMPARE(g->textMatrix(row, 1), QStringLiteral("row %1").arg(row));
        }
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Rows: %1 | Records affected: 0").arg(many)),
                 qPrintable(statusLine(*w)));
        QCOMPARE(history::list().value(0).caption, counting.arg(many).left(90));
        QVERIFY(child<QPushButton>(*w, "cmdExecute")->isEnabled());

        // Rows without end: they show while the statement runs, Stop ends it.
        const QString endless = QStringLiteral(
            "WITH c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) SELECT n FROM c");
        text(*w)->setPlainText(endless);
        QTest::mouseClick(child<QPushButton>(*w, "cmdExecute"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(g->rows() > 1000, 20000);
        QVERIFY(w->isRunning());
        QVERIFY(!child<QPushButton>(*w, "cmdExecute")->isEnabled());
        QTest::mouseClick(child<QPushButton>(*w, "cmdStop"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 10000);
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Operation cancelled by the user.")});
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Query stopped | Records affected: 0")),
                 qPrintable(statusLine(*w)));
        const int kept = g->rows();
        QVERIFY(kept > 1000);
        QCOMPARE(g->textMatrix(kept - 1, 0), QString::number(kept - 1));
        QCOMPARE(history::list().value(0).caption, counting.arg(many).left(90));
        QVERIFY(child<QPushButton>(*w, "cmdExecute")->isEnabled());

        // A failure after the first rows (an overflow at row 30,000).
        fx.msg.clear();
        const QString failing = QStringLiteral(
            "WITH c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %1) "
            "SELECT CASE WHEN n < 30000 THEN n ELSE ABS(-9223372036854775807 - 1 - 0 * n) END FROM c").arg(many);
        QVERIFY(run(*w, failing));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(QStringLiteral("Invalid SQL entry:\r\n")), qPrintable(fx.msg.messages[0]));
        QVERIFY2(saysWithTime(statusLine(*w), QStringLiteral("Query failed | Records affected: 0")),
                 qPrintable(statusLine(*w)));
        QVERIFY(g->rows() <= 30000);
        QCOMPARE(history::list().value(0).caption, counting.arg(many).left(90));
    }

    void keyTable_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("map");
        QTest::addColumn<QString>("clipboard");
        const int ctrl = Qt::ControlModifier;
        // clang-format off
        QTest::newRow("ctrl-x-cuts-without-recolouring")      << "select abc from t" << 7 << 10 << int(Qt::Key_X) << ctrl << "select  from t" << ".............." << "abc";
        QTest::newRow("ctrl-x-without-selection")             << "select" << 6 << 6 << int(Qt::Key_X) << ctrl << "select" << "......" << "before";
        QTest::newRow("x-alone-recolours-then-types")         << "select abc from t" << 17 << 17 << int(Qt::Key_X) << 0 << "SELECT abc FROM tx" << "KKKKKK.....KKKK..." << "before";
        QTest::newRow("ctrl-c-copies-plain-text")             << "select abc" << 0 << 10 << int(Qt::Key_C) << ctrl << "select abc" << ".........." << "select abc";
        QTest::newRow("ctrl-v-pastes-without-recolouring")    << "select " << 7 << 7 << int(Qt::Key_V) << ctrl << "select before" << "............." << "before";
        QTest::newRow("backspace-deletes-the-selection-only") << "select abc from" << 7 << 10 << int(Qt::Key_Backspace) << 0 << "select  from" << "............" << "before";
        QTest::newRow("arrow-keys-do-not-recolour")           << "select" << 6 << 6 << int(Qt::Key_Left) << 0 << "select" << "......" << "before";
        QTest::newRow("any-other-key-recolours")              << "select from" << 6 << 6 << int(Qt::Key_Home) << 0 << "SELECT FROM" << "KKKKKK.KKKK" << "before";
        QTest::newRow("typing-over-a-selection-replaces-it")  << "select abc from" << 7 << 10 << int(Qt::Key_Z) << 0 << "SELECT z FROM" << "KKKKKK...KKKK" << "before";
        // clang-format on
    }
    void keyTable()
    {
        QFETCH(QString, before);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        frmQueryBuilder *w = open();
        QVERIFY(w);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QPlainTextEdit *txt = text(*w);
        txt->setPlainText(before);
        QTextCursor c = txt->textCursor();
        c.setPosition(selStart);
        c.setPosition(selEnd, QTextCursor::KeepAnchor);
        txt->setTextCursor(c);
        QTest::keyClick(txt, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTEST(txt->toPlainText(), "after");
        QTEST(colourMap(*txt->document()), "map");
        QTEST(QGuiApplication::clipboard()->text(), "clipboard");
    }

    // The lines on the screen are coloured before the key takes effect, the
    // rest while the window is idle, moved along by the key.
    void longScriptColouredOffTheScreenToo()
    {
        frmQueryBuilder *w = open();
        QVERIFY(w);
        QString script;
        for (int i = 0; i < 400; ++i)
            script += QStringLiteral("select a from tbl_user where b = 'c%1'\n").arg(i);
        QTextDocument reference;
        QTextCursor(&reference).insertText(script);
        query::KnownNames names;
        names.update(fx.ctx().ownerState().knownTableNames, fx.ctx().ownerState().knownViewNames);
        query::applyQueryColouring(reference, query::colourQuery(script, names));

        QPlainTextEdit *txt = text(*w);
        txt->setPlainText(script);
        QTest::keyClick(txt, Qt::Key_X);
        QVERIFY(w->coloursPending());
        QCOMPARE(colourMap(*txt->document()).left(300), u'.' + colourMap(reference).left(299));
        QTRY_VERIFY(!w->coloursPending());
        QCOMPARE(txt->toPlainText(), u'x' + reference.toPlainText());
        QCOMPARE(colourMap(*txt->document()), u'.' + colourMap(reference));
    }

    void historyMenu()
    {
        const test::ScopedEnv fresh("KORVA_HKLM", fx.filePath(QStringLiteral("history.reg")).toLocal8Bit());
        frmQueryBuilder *w = open();
        QVERIFY(w);
        QPlainTextEdit *txt = text(*w);
        auto *button = child<QPushButton>(*w, "cmdPreviousQueries");
        txt->setPlainText(QStringLiteral("typed, not run"));
        QTest::mouseClick(button, Qt::LeftButton);
        QMenu *menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QCOMPARE(shownItems(menu), QStringList{QStringLiteral("No previous queries stored")});
        choose(menu, menu->actions().first()); // cannot wipe what was typed
        menu->close();
        QCOMPARE(txt->toPlainText(), QStringLiteral("typed, not run"));
        // A key without queries lists one entry without a caption.
        korva::Error created;
        RegistryAPI::CreateKey(RegistryAPI::HKEY_LOCAL_MACHINE, history::kQueriesKey.toString(), &created);
        QVERIFY(!created.isSet());
        QTest::mouseClick(button, Qt::LeftButton);
        menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QCOMPARE(shownItems(menu), QStringList{QString()});
        menu->close();

        const QString longQuery = QStringLiteral("SELECT ObjectID FROM tbl_User WHERE FirstName <> '")
                                  + QString(150, u'z') + u'\'';
        for (const QString &sql : {QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2"), longQuery})
            history::save(sql, QDateTime::currentDateTime());
        QTest::mouseClick(button, Qt::LeftButton);
        menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QCOMPARE(shownItems(menu), (QStringList{longQuery.left(90), "SELECT 2", "SELECT 1"}));
        menu->close();

        // Items of a longer listing are not offered once their queries are gone,
        // and a query deleted after the menu was filled leaves the text alone.
        const QString key = history::kQueriesKey.toString();
        for (const history::Entry &e : history::list().mid(1))
            RegistryAPI::DeleteValue(RegistryAPI::HKEY_LOCAL_MACHINE, key, e.name);
        QTest::mouseClick(button, Qt::LeftButton);
        menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QCOMPARE(shownItems(menu), QStringList{longQuery.left(90)});
        RegistryAPI::DeleteValue(RegistryAPI::HKEY_LOCAL_MACHINE, key, history::list().value(0).name);
        choose(menu, menu->actions().first());
        QCOMPARE(txt->toPlainText(), QStringLiteral("typed, not run"));
    }

    // Each query the history keeps says when and on which database it ran,
    // also in a window opened again later; a query an older version saved
    // says when it was saved.
    void historyKeepsTimeAndDatabase()
    {
        const test::ScopedEnv fresh("KORVA_HKLM", fx.filePath(QStringLiteral("details.reg")).toLocal8Bit());
        const QString key = history::kQueriesKey.toString();
        RegistryAPI::CreateKey(RegistryAPI::HKEY_LOCAL_MACHINE, key);
        RegistryAPI::SetValue(RegistryAPI::HKEY_LOCAL_MACHINE, key, QStringLiteral("20240102030405"),
                              RegistryAPI::REG_SZ, QStringLiteral("SELECT 'older'"));

        frmQueryBuilder *w = open();
        QVERIFY(w);
        QVERIFY(focusQueryBox(*w));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("select count(*) from tbl_user"));
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        QTest::keyClick(w->windowHandle(), Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        const QDateTime after = QDateTime::currentDateTime();
        const QString query = text(*w)->toPlainText();
        QVERIFY(closeWindow());

        w = open();
        QVERIFY(w);
        QCOMPARE(statusLine(*w), QString());
        QTest::mouseClick(child<QPushButton>(*w, "cmdPreviousQueries"), Qt::LeftButton);
        QMenu *menu = shownPopup("mnuPreviousQueriesPopup");
        QVERIFY(menu);
        QCOMPARE(shownItems(menu), (QStringList{query, QStringLiteral("SELECT 'older'")}));
        QAction *newest = menu->actions().at(0);
        const QStringList parts = newest->toolTip().split(QStringLiteral(" | "));
        QCOMPARE(parts.size(), 3);
        QVERIFY2(parts[0].startsWith(QStringLiteral("Ran ")), qPrintable(parts[0]));
        const QDateTime ran = QDateTime::fromString(parts[0].mid(4), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(ran >= before && ran <= after, qPrintable(parts[0]));
        QCOMPARE(parts[1], QStringLiteral("Database: OrvexDirDB"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Time: \\d+\\.\\d{3} s$")).match(parts[2]).hasMatch(),
                 qPrintable(parts[2]));
        QCOMPARE(menu->actions().at(1)->toolTip(), QStringLiteral("Saved 2024-01-02 03:04:05"));

        // Highlighted, an item says it in the status line too, for as long as it is.
        QTest::mouseMove(menu, menu->actionGeometry(newest).center());
        QTRY_COMPARE(w->statusBar()->currentMessage(), newest->toolTip());
        QTest::mouseMove(menu, menu->actionGeometry(menu->actions().at(1)).center());
        QTRY_COMPARE(w->statusBar()->currentMessage(), QStringLiteral("Saved 2024-01-02 03:04:05"));
        choose(menu, menu->actions().at(1));
        QCOMPARE(text(*w)->toPlainText(), QStringLiteral("SELECT 'older'"));
        QTRY_COMPARE(w->statusBar()->currentMessage(), QString());
    }

    void exports_data()
    {
        QTest::addColumn<bool>("visibleOnly");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::newRow("entire-grid") << false << "SQLQueryBuilder_Export.CSV"
                                     << "Select CSV file name to save table data to";
        QTest::newRow("visible-rows") << true << "SQLQuery_Export.CSV"
                                      << "Select CSV file name to save visible rows to";
    }
    void exports()
    {
        QFETCH(bool, visibleOnly);
        QFETCH(QString, title);
        frmQueryBuilder *w = open();
        QVERIFY(w);
        w->resize(700, 500);
        QVERIFY(run(*w, QStringLiteral("SELECT u.FirstName, 'x,y' AS Pair, 'say \"hi\"' AS Quote FROM tbl_User u, "
                                       "tbl_User v")));
        Grid *g = grid(*w);
        QVERIFY(g->rows() > 200);
        g->setTopRow(40);
        QAction *item = child<QAction>(*w, visibleOnly ? "mnuExportVisibleRows" : "mnuExportGridToCSV");
        const QPoint at = g->visualRect(g->model()->index(g->modelRow(45), 0)).center();
        auto exportTo = [&](const QString &path) {
            fx.msg.fileNames.enqueue(path);
            QTest::mouseClick(g->viewport(), Qt::RightButton, {}, at);
            if (QMenu *popup = shownPopup("mnuGridSQLPopup"))
                choose(popup, item);
        };
        const QString path = fx.filePath(QStringLiteral("export.csv"));
        QFile::remove(path);
        exportTo(path);
        QCOMPARE(fx.msg.dialogTitles, QStringList{title});
        QTEST(QFileInfo(fx.msg.proposedPaths.value(0)).fileName(), "fileName");
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("File saved")});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().chopped(2).split('\n');
        QCOMPARE(lines.first(), QByteArray("FirstName,Pair,Quote\r"));
        QVERIFY(lines.at(1).endsWith(",\"x,y\",\"say \"\"hi\"\"\"\r"));
        int shown = 0;
        for (int r = 1; r < g->rows(); ++r)
            shown += g->rowIsVisible(r) ? 1 : 0;
        QVERIFY(shown > 3 && shown < 40);
        QCOMPARE(lines.size(), 1 + (visibleOnly ? shown : g->rows() - 1));
        QCOMPARE(QString::fromLocal8Bit(lines.at(1).split(',').first()),
                 g->textMatrix(visibleOnly ? g->topRow() : 1, 0));

        // A file that cannot be written is reported, not announced as saved.
        fx.msg.clear();
        exportTo(fx.filePath(QStringLiteral("no/such/folder/x.csv")));
        QCOMPARE(fx.msg.messages.size(), 1);
        QVERIFY2(fx.msg.messages[0].startsWith(QStringLiteral("(error):")), qPrintable(fx.msg.messages[0]));
        QVERIFY(fx.msg.messages[0].endsWith(
            QStringLiteral(") in procedure %1 of Form frmQueryBuilder")
                .arg(visibleOnly ? u"mnuExportVisibleRows_Click" : u"mnuExportGridToCSV_Click")));
    }

    void placement()
    {
        const StoredPlacement given{1500, 1200, 9000, 7000};
        saveQueryPlacement(*openSettings(), given);
        auto stored = [] { return readQueryPlacement(*openSettings()); };
        QVERIFY(open());
        QVERIFY(closeWindow());
        QCOMPARE(stored(), given);

        // Moved, then closed while minimised: the placement saved before stays.
        frmQueryBuilder *w = open();
        w->move(w->pos() + QPoint(40, 30));
        w->showMinimized();
        QVERIFY(closeWindow());
        QCOMPARE(stored(), given);

        // Never smaller than 4000 by 3600 twips, frame included.
        w = open();
        w->move(w->pos() + QPoint(40, 30));
        w->resize(20, 20);
        QCOMPARE(w->frameGeometry().size(), QSize(placement::twipsToPixels(4000, w->logicalDpiX()),
                                                  placement::twipsToPixels(3600, w->logicalDpiX())));
        QVERIFY(closeWindow());
        QVERIFY(stored().left > given.left);
        QVERIFY(stored().width < given.width);
    }

    // Against a slow server the window goes on handling events while the
    // query runs; closed meanwhile, it drops the answer and the busy pointer.
    void slowServer()
    {
        auto previous = db::installSessionPool(std::make_unique<db::SessionPool>(
            [](const db::ConnectionTarget &t, db::Error *e) -> std::shared_ptr<db::Session> {
                auto s = db::openEngineSession(t, e);
                return s ? db::withDelay(s, std::chrono::milliseconds(500)) : nullptr;
            }));
        frmQueryBuilder *w = open();
        QVERIFY(w);
        auto *execute = child<QPushButton>(*w, "cmdExecute");
        text(*w)->setPlainText(QStringLiteral("SELECT FirstName FROM tbl_User"));
        QTest::mouseClick(execute, Qt::LeftButton);
        QVERIFY(w->isRunning());
        QVERIFY(!execute->isEnabled());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        bool ticked = false;
        QTimer::singleShot(0, this, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QVERIFY(w->isRunning());
        QTest::keyClicks(text(*w), QStringLiteral(" x")); // typing goes on meanwhile
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(grid(*w)->rows() > 1);
        QCOMPARE(history::list().value(0).caption, QStringLiteral("SELECT FirstName FROM tbl_User"));

        // The rows counted are those of the whole result, whatever the grid shows at first.
        text(*w)->setPlainText(QStringLiteral("SELECT u.FirstName FROM tbl_User u, tbl_User v, tbl_User x"));
        QTest::mouseClick(execute, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isRunning(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!grid(*w)->gridModel()->isLoading(), 60000);
        QVERIFY2(saysWithTime(statusLine(*w),
                              QStringLiteral("Rows: %1 | Records affected: 0").arg(grid(*w)->rows() - 1)),
                 qPrintable(statusLine(*w)));
        QVERIFY(grid(*w)->rows() > 10000);

        text(*w)->setPlainText(kUpdateThree);
        QTest::mouseClick(execute, Qt::LeftButton);
        QVERIFY(w->isRunning());
        QVERIFY(closeWindow());
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(fx.msg.messages.isEmpty());
        db::installSessionPool(std::move(previous));
    }
};

QTEST_MAIN(tst_frmQueryBuilder)
#include "tst_frmquerybuilder.moc"
