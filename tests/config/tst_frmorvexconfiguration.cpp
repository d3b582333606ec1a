#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "config/frmorvexconfiguration.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "platform/settings.h"
#include "platform/workstationinfo.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtTest/QtTest>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

using namespace korva;

namespace {

const QString kWindow = QStringLiteral("frmOrvexConfiguration");

// Opens a menu of a menu bar and chooses an item, with the mouse.
void choose(QMenuBar *bar, QMenu *menu, QAction *item)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

QTreeWidgetItem *childNamed(QTreeWidgetItem *parent, const QString &text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

} // namespace

// The configuration viewer on the demo installation, driven through a window
// context with a recording messenger.
class tst_frmOrvexConfiguration : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;
    QString directory; // the directory database's connection string

    static Grid *grid(QWidget &w) { return w.findChild<Grid *>(QStringLiteral("gridKeys")); }
    static QTreeWidget *tree(QWidget &w) { return w.findChild<QTreeWidget *>(QStringLiteral("regTree")); }
    static QTextEdit *description(QWidget &w) { return w.findChild<QTextEdit *>(QStringLiteral("txtDescription")); }

    // The tree is all the window reads after it opens.
    static void waitForTree(frmOrvexConfiguration &w) { QTRY_VERIFY(!w.isBusy()); }
    static void click(frmOrvexConfiguration &w, QTreeWidgetItem *node)
    {
        QSignalSpy loaded(&w, &frmOrvexConfiguration::settingsLoaded);
        tree(w)->scrollToItem(node);
        QTest::mouseClick(tree(w)->viewport(), Qt::LeftButton, {}, tree(w)->visualItemRect(node).center());
        QCOMPARE(tree(w)->currentItem(), node);
        if (node != w.topNode())
            QVERIFY(loaded.wait());
    }
    static QStringList column(Grid *g, int col)
    {
        QStringList texts;
        for (int r = 1; r < g->rows(); ++r)
            texts << g->textMatrix(r, col);
        return texts;
    }
    void execute(const QString &sql)
    {
        db::Error e;
        db::executeText(directory, sql, &e);
        QVERIFY2(!e, qPrintable(e.description));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
        fx.ctx().registerWindow(kWindow, WindowContext::Instances::One,
                                [](WindowContext &c) { return new frmOrvexConfiguration(c); });
        SharedState &s = fx.ctx().ownerState();
        s.serverName = WorkStationInfo::instance().ComputerName();
        directory = fx.connectionString();
        s.connectionString = directory;
        s.dictionaryFolder = fx.dictionaryFolder();
    }
    void init()
    {
        fx.msg.clear();
        fx.ctx().ownerState().connectionString = directory;
    }

    void opensFromTheViewMenuOnce()
    {
        // The main window's View menu as the program wires it.
        QMainWindow host;
        QMenu *view = host.menuBar()->addMenu(QStringLiteral("&View"));
        QAction *item = view->addAction(QStringLiteral("Orvex Configuration Tree"));
        connect(item, &QAction::triggered, this, [this] { fx.ctx().openWindow(kWindow); });
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        choose(host.menuBar(), view, item);
        QPointer<QWidget> w = fx.ctx().openedWindow(kWindow);
        QVERIFY(w);
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Orvex Configuration Data Explorer"));
        QTRY_VERIFY(tree(*w)->topLevelItem(0)->childCount() > 0);
        // Chosen again, the same window comes forward as it is.
        tree(*w)->setCurrentItem(tree(*w)->topLevelItem(0)->child(1));
        choose(host.menuBar(), view, item);
        QCOMPARE(fx.ctx().openedWindow(kWindow), w.data());
        QCOMPARE(tree(*w)->currentItem(), tree(*w)->topLevelItem(0)->child(1));
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    void foldersSettingsAndDescriptions()
    {
        frmOrvexConfiguration w(fx.ctx());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        waitForTree(w);
        QTreeWidgetItem *top = w.topNode();
        QCOMPARE(top->text(0), QStringLiteral("System"));
        QCOMPARE(w.nodeKey(top), QStringLiteral("Root"));
        QVERIFY(top->isExpanded());
        QStringList firstLevel;
        for (int i = 0; i < top->childCount(); ++i)
            firstLevel << top->child(i)->text(0);
        // In the order read, and folders with several sub-folders only once.
        QCOMPARE(firstLevel, (QStringList{"Conversations", "Messaging", "Telephony", "Directory", "Diagnostics",
                                          "Reports", "Licensing", "Network"}));
        QTreeWidgetItem *messaging = childNamed(top, QStringLiteral("Messaging"));
        QCOMPARE(w.nodeKey(messaging), QStringLiteral("Messaging"));
        QTreeWidgetItem *delivery = childNamed(messaging, QStringLiteral("Delivery"));
        QCOMPARE(w.nodeKey(delivery), QStringLiteral("Messaging.Delivery."));

        // A two-component folder: its own settings only, the first one described.
        click(w, messaging);
        Grid *g = grid(w);
        QVERIFY(g->isColumnHidden(0));
        QCOMPARE(column(g, 1), (QStringList{"MaxMessageLengthSeconds", "DefaultWaveFormat", "SilenceTrimming"}));
        QCOMPARE(g->textMatrix(1, 0), QStringLiteral("System.Messaging.MaxMessageLengthSeconds"));
        QCOMPARE(column(g, 2), (QStringList{"Long", "GUID", "Bool"}));
        QCOMPARE(g->row(), 1);
        QCOMPARE(description(w)->toPlainText(),
                 QStringLiteral(
                     "Name: MaxMessageLengthSeconds\nFull Path: System.Messaging.MaxMessageLengthSeconds\nType: Long\n"
                     "Default: 300\nMin: 30\nMax: 3600\nDescription: Longest message any caller can leave, "
                     "whatever the class of service allows."));
        QTextCursor c(description(w)->document());
        c.setPosition(1);
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 255)); // "Name:"
        c.setPosition(8);
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 0));

        // A three-component folder, then the value display rules and a setting not in the file.
        w.findChild<QAction *>(QStringLiteral("mnuExpandAllNodes"))->trigger();
        click(w, delivery);
        QCOMPARE(g->textMatrix(1, 0), QStringLiteral("System.Messaging.Delivery.RetryIntervalMinutes"));
        click(w, childNamed(top, QStringLiteral("Diagnostics")));
        const int verbose = int(column(g, 1).indexOf(QStringLiteral("VerboseConversations"))) + 1;
        const int dumps = int(column(g, 1).indexOf(QStringLiteral("CrashDumpFolder"))) + 1;
        const int crash = int(column(g, 1).indexOf(QStringLiteral("LastCrashID"))) + 1;
        QCOMPARE(g->textMatrix(verbose, 2), QStringLiteral("Long"));
        QCOMPARE(g->textMatrix(verbose, 3), QStringLiteral("3"));
        QCOMPARE(g->textMatrix(dumps, 2), QStringLiteral("(none)"));
        QCOMPARE(g->textMatrix(dumps, 3), QString());
        QCOMPARE(g->textMatrix(crash, 2), QStringLiteral("GUID"));
        const QModelIndex cell = g->model()->index(g->modelRow(dumps), 1);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(cell).center());
        QVERIFY(description(w)->toPlainText().startsWith(
            u"Name: CrashDumpFolder\nFull Path: System.Diagnostics.CrashDumpFolder\nType: \n"));

        // The top node only empties the grid and the description.
        click(w, top);
        QCOMPARE(g->rows(), 1);
        QCOMPARE(g->cols(), 4);
        QVERIFY(description(w)->toPlainText().isEmpty());

        w.findChild<QAction *>(QStringLiteral("mnuCollapseAllNodes"))->trigger();
        QVERIFY(top->isExpanded());
        QVERIFY(!messaging->isExpanded());
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    // However many folders there are, the server is asked once, and the
    // window does not wait for the answer.
    void treeIsReadInOneQueryOffTheWindowThread()
    {
        db::SessionMeter meter;
        std::unique_ptr<db::SessionPool> previous = db::installSessionPool(
            std::make_unique<db::SessionPool>([&meter](const db::ConnectionTarget &t, db::Error *e) {
                return db::withDelay(db::openEngineSession(t, e), std::chrono::milliseconds(0), &meter);
            }));
        {
            frmOrvexConfiguration w(fx.ctx());
            QCOMPARE(w.topNode()->childCount(), 0);
            QVERIFY(w.isBusy());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            waitForTree(w);
            QVERIFY(!w.isBusy());
            QVERIFY(!QApplication::overrideCursor());
            QVERIFY(w.topNode()->childCount() > 0);
            QCOMPARE(meter.calls.load(), 1);
        }
        db::installSessionPool(std::move(previous));
    }

    void failuresAreReported()
    {
        // A database the server does not have.
        fx.ctx().ownerState().connectionString = QString(directory).replace(QStringLiteral("OrvexDirDB"),
                                                                            QStringLiteral("NoSuchDB"));
        {
            frmOrvexConfiguration w(fx.ctx());
            waitForTree(w);
            QCOMPARE(fx.msg.messages.size(), 1);
            QVERIFY2(fx.msg.messages[0].startsWith(u"(error):-2147467259 (Cannot open database \"NoSuchDB\"")
                         && fx.msg.messages[0].endsWith(
                             u") in procedure ConstructTreeFromConfigurationTable of Form frmOrvexConfiguration"),
                     qPrintable(fx.msg.messages[0]));
            QCOMPARE(w.topNode()->childCount(), 0);
        }
        fx.ctx().ownerState().connectionString = directory;

        // A folder gone since the tree was read.
        fx.msg.clear();
        {
            frmOrvexConfiguration w(fx.ctx());
            w.show();
            waitForTree(w);
            execute(QStringLiteral(
                "UPDATE tbl_Configuration SET FullName='System.Gone' WHERE FullName='System.Licensing'"));
            click(w, childNamed(w.topNode(), QStringLiteral("Licensing")));
            execute(QStringLiteral(
                "UPDATE tbl_Configuration SET FullName='System.Licensing' WHERE FullName='System.Gone'"));
            QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Error, could not find node in configuration table by "
                                                                 "FullName=System.Licensing")});
            QCOMPARE(grid(w)->rows(), 1);
        }

        // No root, and no description file.
        fx.msg.clear();
        execute(QStringLiteral("UPDATE tbl_Configuration SET Type=-1 WHERE Type=1"));
        const QString folder = fx.ctx().ownerState().dictionaryFolder;
        fx.ctx().ownerState().dictionaryFolder = fx.filePath(QStringLiteral("nowhere/"));
        {
            frmOrvexConfiguration w(fx.ctx());
            waitForTree(w);
        }
        fx.ctx().ownerState().dictionaryFolder = folder;
        execute(QStringLiteral("UPDATE tbl_Configuration SET Type=1 WHERE Type=-1"));
        QCOMPARE(fx.msg.messages.size(), 2);
        QVERIFY2(fx.msg.messages[0].startsWith(
                     u"XML problem - can't open Orvex configuration data dictionary.  Error Reason="),
                 qPrintable(fx.msg.messages[0]));
        QVERIFY(fx.msg.messages[0].contains(u"\non line "));
        QCOMPARE(fx.msg.messages[1], QStringLiteral("No configuration data in the local SQL database"));
    }

    void placementSplittersAndAlwaysOnTop()
    {
        const QStringList keys{"configLeft",   "configTop",      "configWidth",
                               "configHeight", "configSplitVer", "configSplitHor"};
        const QStringList stored{"1500", "1200", "9000", "6500", "3500", "2500"};
        auto storedNow = [&] {
            QStringList values;
            auto s = openSettings();
            for (const QString &key : keys)
                values << s->value(QStringLiteral("Settings/") + key).toString();
            return values;
        };
        {
            auto s = openSettings();
            for (int i = 0; i < keys.size(); ++i)
                s->setValue(QStringLiteral("Settings/") + keys[i], stored[i]);
        }
        // Opened and closed untouched, or closed while minimised: stored as it was.
        for (bool minimised : {false, true}) {
            frmOrvexConfiguration w(fx.ctx());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            if (minimised) {
                w.moveSplitVer(5000);
                w.showMinimized();
                QTRY_VERIFY(w.isMinimized());
            }
            w.close();
            QCOMPARE(storedNow(), stored);
        }

        frmOrvexConfiguration w(fx.ctx());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        waitForTree(w);
        QCOMPARE(w.splitVer(), 3500);
        QCOMPARE(w.splitHor(), 2500);
        auto *bar = w.findChild<QFrame *>(QStringLiteral("imgSplitterHor"));
        QCOMPARE(bar->y(), w.twipsToPixels(2500));
        QVERIFY(grid(w)->geometry().bottom() < bar->geometry().top());
        QVERIFY(description(w)->geometry().top() >= bar->geometry().bottom());

        // Dragged by the offset of the mouse within the bar; never above 2000.
        const QPoint at(bar->width() / 2, 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        QTest::mouseMove(bar, at + QPoint(0, 30));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at + QPoint(0, 30));
        QCOMPARE(w.splitHor(), 2500 + w.pixelsToTwips(32));
        QCOMPARE(bar->y(), w.twipsToPixels(w.splitHor()));
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        QTest::mouseMove(bar, at - QPoint(0, 400));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at - QPoint(0, 400));
        QCOMPARE(w.splitHor(), 2000);
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Down); // the keyboard moves it too
        QCOMPARE(w.splitHor(), 2120);

        // Too small a window grows to hold both panes.
        w.resize(40, 40);
        QVERIFY(w.pixelsToTwips(w.centralWidget()->height()) + kViewerNonClientHeight >= 2120 + kMinSplitHor - 20);

        const QRect before = w.geometry();
        w.findChild<QAction *>(QStringLiteral("mnuAlwaysOnTop"))->trigger();
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.geometry(), before);

        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdExit")), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(storedNow().mid(4), (QStringList{"3500", "2120"}));
        QCOMPARE(storedNow()[2].toInt(), w.pixelsToTwips(w.frameGeometry().width()));
    }
};

QTEST_MAIN(tst_frmOrvexConfiguration)
#include "tst_frmorvexconfiguration.moc"
