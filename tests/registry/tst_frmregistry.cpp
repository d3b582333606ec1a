#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "platform/registryaccess/registryapi.h"
#include "registry/frmregistry.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtGui/QClipboard>
#include <QtTest/QtTest>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

using namespace korva;

namespace {

const QString kWindow = QStringLiteral("frmRegistry");

// Opens a menu of a menu bar and chooses an item, with the mouse.
void choose(QMenuBar *bar, QMenu *menu, QAction *item)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The registry viewer on the demo installation's registry, driven through a
// window context with a recording messenger.
class tst_frmRegistry : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;

    static Grid *grid(QWidget &w) { return w.findChild<Grid *>(QStringLiteral("gridKeys")); }
    static QTreeWidget *tree(QWidget &w) { return w.findChild<QTreeWidget *>(QStringLiteral("regTree")); }
    static QTextEdit *description(QWidget &w) { return w.findChild<QTextEdit *>(QStringLiteral("txtDescription")); }
    static QMenu *menu(QWidget &w, const char *name) { return w.findChild<QMenu *>(QString::fromLatin1(name)); }
    static QAction *action(QWidget &w, const char *name) { return w.findChild<QAction *>(QString::fromLatin1(name)); }

    static void click(frmRegistry &w, QTreeWidgetItem *node)
    {
        QVERIFY(node);
        tree(w)->scrollToItem(node);
        QTest::mouseClick(tree(w)->viewport(), Qt::LeftButton, {}, tree(w)->visualItemRect(node).center());
        QCOMPARE(tree(w)->currentItem(), node);
    }
    static QStringList column(Grid *g, int col)
    {
        QStringList texts;
        for (int r = 1; r < g->rows(); ++r)
            texts << g->textMatrix(r, col);
        return texts;
    }
    // Right-clicks a data row's value and chooses an item of the menu that opens.
    static void rightClickRow(frmRegistry &w, int row, const char *item)
    {
        Grid *g = grid(w);
        const QPoint at = g->visualRect(g->model()->index(g->modelRow(row), 2)).center();
        QTest::mouseMove(g->viewport(), at);
        QTest::mouseClick(g->viewport(), Qt::RightButton, {}, at);
        QMenu *popup = menu(w, "mnuRegDataPopup");
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(g->row(), row);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action(w, item)).center());
        QTRY_VERIFY(!popup->isVisible());
    }
    static void open(frmRegistry &w)
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.isBusy());
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The description file as shipped beside the program, in mixed case.
        test::DemoWindows::Options o;
        o.programFolder = true;
        o.registryDescription = true;
        QString error;
        QVERIFY2(fx.setUp(o, &error), qPrintable(error));
        fx.ctx().registerWindow(kWindow, WindowContext::Instances::One,
                                [](WindowContext &c) { return new frmRegistry(c); });
    }
    void init() { fx.msg.clear(); }
    void cleanup()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->inherits("QMenu"))
                top->close();
    }

    void opensFromTheViewMenuOnce()
    {
        QMainWindow host;
        QMenu *view = host.menuBar()->addMenu(QStringLiteral("&View"));
        QAction *item = view->addAction(QStringLiteral("Orvex Registry Tree"));
        item->setObjectName(QStringLiteral("mnuRegistry"));
        connect(item, &QAction::triggered, this, [this] { fx.ctx().openWindow(kWindow); });
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        choose(host.menuBar(), view, item);
        QPointer<QWidget> w = fx.ctx().openedWindow(kWindow);
        QVERIFY(w);
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Orvex Registry Explorer"));
        QTRY_VERIFY(tree(*w)->topLevelItem(0)->childCount() > 0);
        choose(host.menuBar(), view, item);
        QCOMPARE(fx.ctx().openedWindow(kWindow), w.data());
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    void keysValuesAndDescriptions()
    {
        frmRegistry w(fx.ctx());
        open(w);
        QTreeWidgetItem *top = w.topNode();
        QCOMPARE(top->text(0), QStringLiteral("Brisvane"));
        QCOMPARE(w.nodeKey(top), QStringLiteral("Root"));
        QVERIFY(top->isExpanded());
        QTreeWidgetItem *orvex = w.nodeByKey(QStringLiteral("Orvex"));
        QVERIFY(orvex && orvex->parent() == top);
        QCOMPARE(w.nodeByKey(QStringLiteral("Orvex\\Setup\\"))->text(0), QStringLiteral("Setup"));
        QCOMPARE(w.nodeByKey(QStringLiteral("Orvex\\Services\\Conversation Manager\\"))->parent(),
                 w.nodeByKey(QStringLiteral("Orvex\\Services\\")));

        // A key directly below the folder: its path ends with the separator,
        // the description is matched in lower case and shown so.
        click(w, orvex);
        Grid *g = grid(w);
        QVERIFY(g->isColumnHidden(0));
        QCOMPARE(column(g, 1), (QStringList{"ProductName", "ProductVersion", "BuildNumber", "Edition", "InstallDate"}));
        QCOMPARE(column(g, 0).first(), QStringLiteral("SOFTWARE\\Brisvane\\Orvex\\"));
        QCOMPARE(g->textMatrix(3, 2), QStringLiteral("114"));
        QCOMPARE(g->row(), 1);
        QCOMPARE(description(w)->toPlainText(),
                 QStringLiteral("Name: ProductName\nType: reg_sz\nDefault: orvex unified messaging\n"
                                "Description: name of the product as setup registered it."));

        w.findChild<QAction *>(QStringLiteral("mnuExpandAll"))->trigger();
        click(w, w.nodeByKey(QStringLiteral("Orvex\\Setup\\")));
        QCOMPARE(g->textMatrix(1, 2), QStringLiteral("1033"));
        QCOMPARE(g->textMatrix(4, 1), QStringLiteral("SetupState"));
        QCOMPARE(g->textMatrix(4, 2), QStringLiteral("01 00 00 00 05 00 00 00 "));

        // A key without values.
        click(w, w.nodeByKey(QStringLiteral("Orvex\\Services\\")));
        QCOMPARE(g->rows(), 1);
        QVERIFY(description(w)->toPlainText().isEmpty());

        // The list ends before the filter, which is longer than a read takes.
        click(w, w.nodeByKey(QStringLiteral("Orvex\\Services\\Directory Sync\\")));
        QCOMPARE(column(g, 1), (QStringList{"Enabled", "IntervalMinutes", "LastUsn"}));

        click(w, top);
        QCOMPARE(g->rows(), 1);
        QVERIFY(description(w)->toPlainText().isEmpty());
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    void popupMenusCopyToTheClipboard()
    {
        frmRegistry w(fx.ctx());
        open(w);
        click(w, w.nodeByKey(QStringLiteral("Orvex")));
        rightClickRow(w, 2, "mnuCopyKeyPath");
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("HKLM\\SOFTWARE\\Brisvane\\Orvex\\ProductVersion"));
        QVERIFY(description(w)->toPlainText().startsWith(u"Name: ProductVersion"));
        rightClickRow(w, 3, "mnuCopyValueToClipboard");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("114"));

        // Neither on the header row nor below the last row.
        Grid *g = grid(w);
        QTest::mouseClick(g->horizontalHeader()->viewport(), Qt::RightButton, {}, QPoint(20, 5));
        QTest::mouseClick(g->viewport(), Qt::RightButton, {}, QPoint(20, g->viewport()->height() - 2));
        QApplication::processEvents();
        QVERIFY(!menu(w, "mnuRegDataPopup")->isVisible());
        QCOMPARE(g->row(), 3);

        // The description's menu only over selected text.
        QTextEdit *box = description(w);
        QMenu *popup = menu(w, "mnuDescriptionPopup");
        const QPoint word = box->cursorRect(QTextCursor(box->document())).center() + QPoint(12, 0);
        QTest::mouseClick(box->viewport(), Qt::RightButton, {}, word);
        QApplication::processEvents();
        QVERIFY(!popup->isVisible());
        QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, word);
        QVERIFY(box->textCursor().hasSelection());
        QTest::mouseClick(box->viewport(), Qt::RightButton, {}, word);
        QTRY_VERIFY(popup->isVisible());
        QTest::mouseClick(popup, Qt::LeftButton, {},
                          popup->actionGeometry(action(w, "mnuCopyDescriptionText")).center());
        QCOMPARE(QGuiApplication::clipboard()->text(), box->textCursor().selectedText());
        QVERIFY(!box->textCursor().selectedText().isEmpty());
    }

    // A support engineer reads a customer's export with its descriptions;
    // neither the export nor this machine's registry is written.
    void registryExportFromTheFileMenu()
    {
        const QString customer = fx.filePath(QStringLiteral("customer.reg"));
        const QByteArray exported = "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Orvex]\r\n\"Edition\"="
                                    "\"Standard\"\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Orvex\\Telephony\\Integration]\r\n"
                                    "\"PortCount\"=dword:00000030\r\n";
        QVERIFY(writeFile(customer, exported));
        const QString bad = fx.filePath(QStringLiteral("bad.reg"));
        QVERIFY(writeFile(bad, "Windows Registry Editor Version "
                               "5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane]\n\"x\"=bogus\n"));
        const QString other = fx.filePath(QStringLiteral("other.reg"));
        QVERIFY(writeFile(other, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"));
        const QByteArray local = readFile(RegistryAPI::storeFilePath());

        frmRegistry w(fx.ctx());
        open(w);
        auto openFromMenu = [&](const QString &path) {
            fx.msg.openFileNames.enqueue(path);
            QSignalSpy read(&w, &frmRegistry::exportFileRead);
            choose(w.menuBar(), menu(w, "mnuFile"), action(w, "mnuOpenRegistryFile"));
            QVERIFY(read.wait());
            QTRY_VERIFY(!w.isBusy());
        };
        openFromMenu(customer);
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvex Registry Explorer - customer.reg"));
        QCOMPARE(w.exportFile(), customer);
        QCOMPARE(w.topNode()->childCount(), 1);
        QVERIFY(!w.nodeByKey(QStringLiteral("Shared Components")));
        click(w, w.nodeByKey(QStringLiteral("Orvex\\Telephony\\Integration\\")));
        QCOMPARE(grid(w)->textMatrix(1, 2), QStringLiteral("48"));
        QVERIFY(description(w)->toPlainText().endsWith(u"Description: voice ports licensed and configured."));

        // Files that cannot be used change nothing.
        openFromMenu(bad);
        openFromMenu(other);
        QCOMPARE(fx.msg.messages.size(), 2);
        QVERIFY2(fx.msg.messages[0].startsWith(u"bad.reg cannot be read as a registry export: line 4: "),
                 qPrintable(fx.msg.messages[0]));
        QCOMPARE(fx.msg.messages[1], QStringLiteral("other.reg holds no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvex Registry Explorer - customer.reg"));
        QCOMPARE(grid(w)->textMatrix(1, 2), QStringLiteral("48"));
        QCOMPARE(tree(w)->currentItem(), w.nodeByKey(QStringLiteral("Orvex\\Telephony\\Integration\\")));

        QCOMPARE(fx.msg.proposedPaths.last(), fx.path()); // the folder of the export shown
        QCOMPARE(readFile(customer), exported);
        QCOMPARE(readFile(RegistryAPI::storeFilePath()), local);
    }

    void failuresAreReported()
    {
        const QString registry = fx.filePath(QStringLiteral("small.reg"));
        QVERIFY(writeFile(registry, "Windows Registry Editor Version "
                                    "5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\A]\n\"V\"=\"1\"\n"));
        test::ScopedEnv useSmall("KORVA_HKLM", registry.toLocal8Bit());
        {
            frmRegistry w(fx.ctx());
            open(w);
            QVERIFY(fx.msg.messages.isEmpty());
            // The key goes away after the tree was read.
            QVERIFY(writeFile(registry,
                              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane]\n"));
            click(w, w.nodeByKey(QStringLiteral("A")));
            QCOMPARE(fx.msg.messages,
                     QStringList{QStringLiteral(
                         "(error):2 (Unable to open the registry key HKEY_LOCAL_MACHINE\\"
                         "SOFTWARE\\Brisvane\\A\\) in procedure regTree_NodeClick of Form frmRegistry")});
            QCOMPARE(grid(w)->rows(), 1);
        }

        // No settings folder, and a description file that does not parse.
        fx.msg.clear();
        QVERIFY(writeFile(registry, "Windows Registry Editor Version 5.00\n"));
        const QString program = fx.filePath(QStringLiteral("broken"));
        QVERIFY(QDir().mkpath(program));
        QVERIFY(writeFile(program + QStringLiteral("/OrvexRegistrySettings.xml"), "<RegKeys><RegKey>"));
        test::ScopedEnv useBroken("KORVA_PROGRAM_DIR", program.toLocal8Bit());
        frmRegistry w(fx.ctx());
        open(w);
        QCOMPARE(fx.msg.messages,
                 (QStringList{QStringLiteral("XML problem - can't open registry info"),
                              QStringLiteral("(error):2 (Unable to open the registry key HKEY_LOCAL_MACHINE\\"
                                             "SOFTWARE\\Brisvane\\) in procedure ConstructTreeFromRegistry of Form "
                                             "frmRegistry")}));
        QCOMPARE(w.topNode()->childCount(), 0);
    }
};

QTEST_MAIN(tst_frmRegistry)
#include "tst_frmregistry.moc"
