#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "common/gridinput.h"
#include "common/recordingmessenger.h"
#include "common/waitforrows.h"
#include "main/frmmain.h"
#include "navigation/findallmatches.h"
#include "navigation/searchdialogs.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "widgets/grid.h"

#include <QtCore/QScopeGuard>
#include <QtCore/QDir>
#include <QtCore/QTranslator>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeView>

using namespace korva;

// "Find all" in the search across tables, driven as a user drives it in the
// main window over the demo installation.
class tst_FindAllMatches : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;

    template<class T>
    static T *child(QObject *w, const char *name)
    {
        T *found = w->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    static Grid *tablesGrid(frmMain &w) { return child<Grid>(&w, "gridTables"); }
    static Grid *dataGrid(frmMain &w) { return child<Grid>(&w, "gridData"); }
    static QString currentTable(frmMain &w) { return tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1); }
    static QString currentCell(frmMain &w) { return dataGrid(w)->textMatrix(dataGrid(w)->row(), dataGrid(w)->col()); }
    static int columnOf(Grid *grid, const QString &name)
    {
        for (int c = 1; c < grid->cols(); ++c)
            if (grid->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    }
    static void selectTable(frmMain &w, const QString &name)
    {
        for (int r = 1; r < tablesGrid(w)->rows(); ++r)
            if (tablesGrid(w)->textMatrix(r, 1) == name)
                tablesGrid(w)->setCurrentCell(r, 1);
        QCOMPARE(currentTable(w), name);
        QVERIFY(test::waitForRows(w));
    }
    static QString listText(QTreeView *list, int row, int col)
    {
        return list->model()->index(row, col).data().toString();
    }
    static QPoint rowCentre(QTreeView *list, int row)
    {
        const QModelIndex index = list->model()->index(row, navigation::MatchListModel::ValueColumn);
        list->scrollTo(index);
        return list->visualRect(index).center();
    }
    // A double click as the window system delivers it: the first click, then
    // the double-click event in place of the second press.
    static void doubleClick(QTreeView *list, int row)
    {
        const QPoint at = rowCentre(list, row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    static QString firstLocationName(frmMain &w)
    {
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString, QStringLiteral("select DisplayName from tbl_Location"),
                                    &e);
        return rs ? rs->field(0).toString() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
    }
    void init() { fx.freshStart(); }

    // Typed into the search dialog, "Find all" lists every match with its
    // table, column, key and value; a double click shows the row, Back
    // returns, Enter on another match shows that one.
    void listsEveryMatchAndJumpsToIt()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        selectTable(w, QStringLiteral("tbl_UserSubscriber"));
        const int subscriberIdCol = columnOf(dataGrid(w), QStringLiteral("ObjectID"));
        const auto [view, at] = test::showCell(dataGrid(w), 2, dataGrid(w)->modelColumn(subscriberIdCol));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(dataGrid(w)->row(), 3);
        const QString subscriberId = currentCell(w);
        const QString name = firstLocationName(w);
        QVERIFY(!name.isEmpty());

        QMenu *file = child<QMenu>(&w, "mnuFile");
        file->popup(w.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(file->isVisible());
        QAction *item = child<QAction>(&w, "mnuFindValueinOrvexDirDB");
        // The menu item opens the dialog; the value is typed, "Find all" clicked.
        bool typed = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->objectName(), QStringLiteral("frmCrossTableSearchOptions"));
            QTest::keyClicks(child<QLineEdit>(dialog, "txtSearchString"), name.toUpper());
            QTest::mouseClick(child<QPushButton>(dialog, "cmdFindAll"), Qt::LeftButton);
            typed = true;
        });
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(item).center());
        QTRY_VERIFY(typed);

        auto *window = child<QWidget>(&w, "frmFindAllMatches");
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Find all matches"));
        QCOMPARE(child<QLineEdit>(window, "txtSearchString")->text(), name.toUpper());
        QVERIFY(!child<QCheckBox>(window, "chkPartialMatches")->isChecked());
        auto *list = child<QTreeView>(window, "lstMatches");
        auto *progress = child<QProgressBar>(window, "prgTables");
        auto *status = child<QLabel>(window, "lblMatchStatus");
        auto *findAll = child<QPushButton>(window, "cmdFindAll");
        auto *cancel = child<QPushButton>(window, "cmdCancel");
        // While the tables are read the list fills and Cancel is offered.
        QVERIFY(cancel->isEnabled());
        QVERIFY(!findAll->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(findAll->isEnabled(), 60000);
        QVERIFY(!cancel->isEnabled());
        const int tables = tablesGrid(w)->rows() - 1;
        QCOMPARE(progress->maximum(), tables);
        QCOMPARE(progress->value(), tables);
        QCOMPARE(progress->text(), QStringLiteral("%1 of %1 tables").arg(tables));
        const int found = list->model()->rowCount();
        QVERIFY(found >= 1);
        QCOMPARE(status->text(), QStringLiteral("Matches: %1. Tables searched: %2 of %2.").arg(found).arg(tables));
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Table"));
        QCOMPARE(list->header()->count(), 4);
        int locationRow = -1;
        for (int r = 0; r < found; ++r) {
            QCOMPARE(listText(list, r, 3).compare(name, Qt::CaseInsensitive), 0); // exact, without regard to case
            if (listText(list, r, 0) == u"tbl_Location" && listText(list, r, 1) == u"DisplayName")
                locationRow = r;
        }
        QVERIFY2(locationRow >= 0, "the location's own row is listed");
        QVERIFY(msg.messages.isEmpty());

        // A double click on the match shows its table, row and cell.
        const QString locationId = listText(list, locationRow, 2);
        doubleClick(list, locationRow);
        QCOMPARE(currentTable(w), QStringLiteral("tbl_Location"));
        QTRY_COMPARE(currentCell(w), name);
        QCOMPARE(dataGrid(w)->textMatrix(0, dataGrid(w)->col()), QStringLiteral("DisplayName"));
        QCOMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), columnOf(dataGrid(w), QStringLiteral("ObjectID"))),
                 locationId);
        QVERIFY(window->isVisible()); // the list stays for the next match

        // Back returns to the subscriber row the user was on.
        auto *back = child<QPushButton>(&w, "cmdBack");
        QVERIFY(back->isEnabled());
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(currentTable(w), QStringLiteral("tbl_UserSubscriber"));
        QTRY_COMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), subscriberIdCol), subscriberId);
        QVERIFY(!back->isEnabled());

        // From the keyboard: the list takes the focus, a row is chosen, Enter jumps.
        window->activateWindow();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home);
        for (int r = 0; r < locationRow; ++r)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), locationRow);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(currentTable(w), QStringLiteral("tbl_Location"));
        QTRY_COMPARE(currentCell(w), name);
        QVERIFY(back->isEnabled());
        QVERIFY(msg.messages.isEmpty());

        // Matches of another database are not jumped to.
        child<QAction>(&w, "mnuOrvexRptDb")->trigger();
        doubleClick(list, locationRow);
        QCOMPARE(status->text(), QStringLiteral("These matches are from another database. Search again."));
    }

    // Over a slow server: the window shows the table being read, Cancel
    // stops the scan and keeps what was found; typing a new text and Enter
    // searches again.
    void cancelStopsTheScan()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.navigator().listAllMatches(QString(), true); // the window alone, as opened before any search
        auto *window = child<QWidget>(&w, "frmFindAllMatches");
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *text = child<QLineEdit>(window, "txtSearchString");
        auto *status = child<QLabel>(window, "lblMatchStatus");
        auto *progress = child<QProgressBar>(window, "prgTables");
        auto *findAll = child<QPushButton>(window, "cmdFindAll");
        auto *cancel = child<QPushButton>(window, "cmdCancel");
        auto *list = child<QTreeView>(window, "lstMatches");

        // Nothing typed: the window says what it needs.
        QTest::mouseClick(findAll, Qt::LeftButton);
        QCOMPARE(status->text(), QStringLiteral("You must select a string to search for"));
        QVERIFY(!cancel->isEnabled());

        {
            auto previous = db::installSessionPool(
                std::make_unique<db::SessionPool>([](const db::ConnectionTarget &t, db::Error *err) {
                    return db::withDelay(db::openEngineSession(t, err), std::chrono::milliseconds(20));
                }));
            const auto restore = qScopeGuard([&] { db::installSessionPool(std::move(previous)); });
            QTest::keyClicks(text, QStringLiteral("a"));
            auto *partial = child<QCheckBox>(window, "chkPartialMatches");
            QTest::mouseClick(partial, Qt::LeftButton, {}, QPoint(8, partial->height() / 2)); // on the box itself
            QVERIFY(partial->isChecked());
            QTest::mouseClick(findAll, Qt::LeftButton);
            QVERIFY(cancel->isEnabled());
            // Partial matches of "a" come from the first tables while later ones are read.
            QTRY_VERIFY_WITH_TIMEOUT(list->model()->rowCount() > 0 && progress->value() >= 1, 60000);
            QVERIFY(status->text().startsWith(QStringLiteral("Searching ")));
            QTest::mouseClick(cancel, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(findAll->isEnabled(), 60000);
        }
        QVERIFY(!cancel->isEnabled());
        const int kept = list->model()->rowCount();
        QVERIFY(kept > 0);
        QVERIFY(progress->value() < progress->maximum());
        QCOMPARE(status->text(), QStringLiteral("Search stopped. Matches: %1. Tables searched: %2 of %3.")
                                     .arg(kept)
                                     .arg(progress->value())
                                     .arg(progress->maximum()));

        // A new text, Enter in the box: the list starts afresh; nothing found says so.
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("zq-nowhere-qz"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(list->model()->rowCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(findAll->isEnabled(), 60000);
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(status->text(),
                 QStringLiteral("No matches found for any row in any table on the currently selected database"));
        QCOMPARE(progress->value(), progress->maximum());

        // Esc closes the window when no scan runs.
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QVERIFY(msg.messages.isEmpty());
    }

    // The German language library has every text the window and the search dialog show.
    void germanTranslationCoversTheWindow()
    {
        QTranslator german;
        const QString program = qEnvironmentVariable("KORVA_PROGRAM_DIR");
        if (program.isEmpty() || !german.load(QDir(program).filePath(QStringLiteral("korva_DEU.dll"))))
            QSKIP("the language libraries are built beside the program (run through CTest)");
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.navigator().listAllMatches(QString(), true);
        frmCrossTableSearchOptions options(msg, &w);
        QStringList missing;
        const auto check = [&](const QString &text) {
            if (!text.trimmed().isEmpty() && german.translate("KORVA", text.toUtf8().constData()).isEmpty())
                missing << text;
        };
        for (QWidget *window : {child<QWidget>(&w, "frmFindAllMatches"), static_cast<QWidget *>(&options)}) {
            check(window->windowTitle());
            for (QLabel *l : window->findChildren<QLabel *>())
                if (!l->property("korvaNoTranslation").toBool())
                    check(l->text());
            for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
                check(b->text());
            for (QAbstractItemView *v : window->findChildren<QAbstractItemView *>())
                for (int c = 0; c < v->model()->columnCount(); ++c)
                    check(v->model()->headerData(c, Qt::Horizontal).toString());
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'|')));
    }
};

QTEST_MAIN(tst_FindAllMatches)
#include "tst_findallmatches.moc"
