#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "common/gridinput.h"
#include "objectview/frmobjectview.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/fileio.h"
#include "platform/resultset.h"
#include "platform/sessionpool.h"
#include "platform/workstationinfo.h"
#include "support/ctooltip.h"

#include <QtTest/QtTest>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>

using namespace korva;

namespace {

// Stands in for the main window: records what it was asked to show.
class RecordingJumpTarget final : public JumpTarget
{
public:
    QList<std::pair<QString, QString>> jumps;
    void jumpToObject(const QString &table, const QString &objectId) override { jumps.append({table, objectId}); }
};

// Every call to the database waits as a remote server's answer would.
struct SlowServer
{
    explicit SlowServer(int ms)
        : previous(db::installSessionPool(
            std::make_unique<db::SessionPool>([ms](const db::ConnectionTarget &t, db::Error *err) {
                return db::withDelay(db::openEngineSession(t, err), std::chrono::milliseconds(ms));
            })))
    {}
    ~SlowServer() { db::installSessionPool(std::move(previous)); }
    std::unique_ptr<db::SessionPool> previous;
};

int columnNamed(Grid *grid, const QString &name)
{
    for (int c = 0; c < grid->cols(); ++c)
        if (grid->textMatrix(0, c) == name && !grid->isColumnHidden(c))
            return c;
    return -1;
}

// A shown column of the subscribers' grid whose cells reference other objects.
int referenceColumn(Grid *objects)
{
    int col = columnNamed(objects, QStringLiteral("CallHandlerObjectID"));
    if (col < 0) // the key column itself is hidden; any shown reference will do
        for (int c = 0; c < objects->cols() && col < 0; ++c)
            if (objects->textMatrix(0, c).endsWith(QStringLiteral("ObjectID")) && !objects->isColumnHidden(c)
                && !objects->textMatrix(1, c).isEmpty())
                col = c;
    return col;
}

void clickItem(QListWidget *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

} // namespace

// The object view on its own, driven through a window context, with a fake
// main window behind the jump.
class tst_frmObjectView : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;
    RecordingJumpTarget target;

    template<class T>
    static T *child(QObject &w, const char *name)
    {
        return w.findChild<T *>(QString::fromLatin1(name));
    }

    // Everything asked of the database has come and is shown.
    static bool settled(frmObjectView &view)
    {
        return QTest::qWaitFor([&] { return !view.isLoading(); }, 30000);
    }
    int countOf(const QString &sql)
    {
        db::Error e;
        const std::unique_ptr<db::ResultSet> rs = db::openResultSet(fx.ctx().state().connectionString, sql, &e);
        return rs && !rs->eof() ? rs->field(0).toInt() : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
        fx.ctx().setJumpTarget(&target);
        SharedState &s = fx.ctx().ownerState();
        s.serverName = WorkStationInfo::instance().ComputerName();
        s.connectionString = fx.connectionString();
        QByteArray bytes;
        QCOMPARE(readRegularFile(fx.dictionaryFolder() + QStringLiteral("OrvexDirDB.xml"), 1 << 28, &bytes),
                 ReadStatus::Ok);
        QVERIFY(s.dictionary.loadFromText(xml::decodeDocument(bytes).toLower()));
    }
    void init()
    {
        fx.msg.clear();
        target.jumps.clear();
    }

    void showsDependentRows()
    {
        frmObjectView view(fx.ctx());
        auto *types = child<QListWidget>(view, "listObjectType");
        auto *refs = child<QListWidget>(view, "listReferenceTables");
        auto *objects = child<Grid>(view, "gridData");
        auto *dependent = child<Grid>(view, "gridRef");
        QCOMPARE(view.windowTitle(), QStringLiteral("KORVA - Object View"));
        QCOMPARE(types->currentItem()->text(), QStringLiteral("Call Handlers"));
        QCOMPARE(refs->count(), 3);
        QVERIFY(settled(view));
        QVERIFY(objects->rows() > 1);
        QVERIFY(objects->isColumnHidden(0));
        // Greeting rules of a call handler are looked up by its own ObjectID.
        QCOMPARE(view.currentCallHandlerId(), view.currentObjectId());
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='")
                                                   + view.currentObjectId() + u'\''));
        QVERIFY(dependent->rows() > 1);

        // Subscribers: rules by the subscriber's CallHandlerObjectID.
        types->setCurrentRow(2);
        QCOMPARE(refs->count(), 6);
        QVERIFY(settled(view));
        QVERIFY(objects->isColumnHidden(1));
        QVERIFY(view.lastObjectQuery().startsWith(QStringLiteral("SELECT ObjectID,CallHandlerObjectID,")));
        objects->setCurrentCell(3, 2);
        const QString sub = objects->textMatrix(3, 0);
        const QString handler = objects->textMatrix(3, 1);
        QCOMPARE(view.currentObjectId(), sub);
        QCOMPARE(view.currentCallHandlerId(), handler);
        refs->setCurrentRow(1); // Greeting Rules
        QVERIFY(settled(view));
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='") + handler + u'\''));
        QVERIFY(dependent->rows() > 1);
        QCOMPARE(dependent->textMatrix(0, 0), QStringLiteral("GreetingType"));
        refs->setCurrentRow(0); // Extensions
        QVERIFY(settled(view));
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE Parent_SubscriberObjectID='") + sub + u'\''));
    }

    // Hover a reference, right-click it, choose the jump: the main window is
    // asked to show the referenced object.
    void hoverAndJumpGoThroughTheContext()
    {
        frmObjectView view(fx.ctx());
        view.resize(1100, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        child<QListWidget>(view, "listObjectType")->setCurrentRow(2); // subscribers
        QVERIFY(settled(view));
        auto *objects = child<Grid>(view, "gridData");
        const int col = referenceColumn(objects);
        QVERIFY(col >= 0);
        const auto [shown, at] = test::showCell(objects, 0, col);
        QTest::mouseMove(shown->viewport(), at);
        QTRY_VERIFY(!view.description(objects).isEmpty());
        QTest::mouseClick(shown->viewport(), Qt::RightButton, {}, at);
        auto *menu = child<QMenu>(view, "mnuGridDataPopup");
        QTRY_VERIFY(menu->isVisible());
        QAction *jump = child<QAction>(view, "mnuJump");
        QCOMPARE(jump->text(),
                 QString(view.description(objects)).replace(QStringLiteral("\r\n"), QStringLiteral("  ")));
        menu->close();
        jump->trigger();
        QCOMPARE(target.jumps.size(), 1);
        QCOMPARE(target.jumps[0].second, objects->textMatrix(1, col));
        QVERIFY(!target.jumps[0].first.isEmpty());
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    void mouseOverEveryGrid()
    {
        frmObjectView view(fx.ctx());
        view.resize(1000, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto *types = child<QListWidget>(view, "listObjectType");
        for (int type = 0; type < types->count(); ++type) {
            types->setCurrentRow(type);
            QVERIFY(settled(view));
            QVERIFY(child<Grid>(view, "gridData")->frozenColumns() > 0);
            test::sweepGrid(child<Grid>(view, "gridData"), 2);
            QVERIFY(settled(view)); // the rows of the object clicked last
            test::sweepGrid(child<Grid>(view, "gridRef"), 2);
        }
        QVERIFY(view.isVisible());
    }

    // A server 300 ms away: the window's event loop runs, under the busy
    // pointer, until every row is in; the rows are the server's.
    void windowRunsWhileTheServerAnswers()
    {
        const int handlers = countOf(QStringLiteral("SELECT COUNT(*) FROM vw_CallHandler"));
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        SlowServer slow(300);
        frmObjectView view(fx.ctx());
        QVERIFY(view.isLoading());
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        QVERIFY(settled(view));
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QVERIFY(!QApplication::overrideCursor());
        auto *dependent = child<Grid>(view, "gridRef");
        QCOMPARE(child<Grid>(view, "gridData")->rows() - 1, handlers);
        const int handlerCol = columnNamed(dependent, QStringLiteral("CallHandlerObjectID"));
        QVERIFY(handlerCol >= 0 && dependent->rows() > 1);
        for (int r = 1; r < dependent->rows(); ++r)
            QCOMPARE(dependent->textMatrix(r, handlerCol), view.currentObjectId());
    }

    // Choices made faster than the server answers: only the last one's rows show.
    void latestRequestWins()
    {
        SlowServer slow(150);
        frmObjectView view(fx.ctx());
        QVERIFY(settled(view));
        auto *types = child<QListWidget>(view, "listObjectType");
        auto *objects = child<Grid>(view, "gridData");
        QStringList shown;
        connect(objects->gridModel(), &QAbstractItemModel::modelReset, &view, [&] { shown << view.lastObjectQuery(); });
        clickItem(types, 2); // Subscribers
        QVERIFY(view.isLoading());
        clickItem(types, 1); // Interviewers, before the subscribers come
        QVERIFY(settled(view));
        QVERIFY(!shown.join(u' ').contains(QStringLiteral("vw_Subscriber")));
        QVERIFY(view.lastObjectQuery().endsWith(QStringLiteral("FROM [vw_InterviewHandler]")));
        QCOMPARE(objects->rows() - 1, countOf(QStringLiteral("SELECT COUNT(*) FROM vw_InterviewHandler")));
    }

    // Over a slow server a description shows only over the cell it was asked
    // for, and a right click before it comes opens the menu when it does.
    void hoverWaitsForItsCell()
    {
        SlowServer slow(150);
        frmObjectView view(fx.ctx());
        view.resize(1100, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        clickItem(child<QListWidget>(view, "listObjectType"), 2); // subscribers
        QVERIFY(settled(view));
        auto *objects = child<Grid>(view, "gridData");
        const int col = referenceColumn(objects);
        const int plain = columnNamed(objects, QStringLiteral("Alias"));
        QVERIFY(col >= 0 && plain >= 0 && objects->rows() > 3);
        const test::GridSpot cell = test::showCell(objects, 0, col);
        QTest::mouseMove(cell.view->viewport(), cell.at);
        const test::GridSpot away = test::showCell(objects, 0, plain);
        QTest::mouseMove(away.view->viewport(), away.at);
        waitForDatabaseThreads();
        QTest::qWait(50);
        QVERIFY(view.description(objects).isEmpty());
        QVERIFY(child<cTooltip>(view, "hoverTip")->ToolText(objects).isEmpty());

        const test::GridSpot third = test::showCell(objects, 2, col);
        QTest::mouseClick(third.view->viewport(), Qt::RightButton, {}, third.at);
        auto *menu = child<QMenu>(view, "mnuGridDataPopup");
        QVERIFY(!menu->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 20000);
        QCOMPARE(fx.ctx().state().pendingJumpObjectID, objects->textMatrix(3, col));
        menu->close();
    }
};

QTEST_MAIN(tst_frmObjectView)
#include "tst_frmobjectview.moc"
