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

// Every call to the database waits as long as a remote server would answer,
// for as long as the object lives.
class SlowServer
{
public:
    explicit SlowServer(std::chrono::milliseconds delay)
        : m_previous(db::installSessionPool(std::make_unique<db::SessionPool>([delay](const db::ConnectionTarget &t, db::Error *err) {
              return db::withDelay(db::openEngineSession(t, err), delay);
          })))
    {
    }
    ~SlowServer() { db::installSessionPool(std::move(m_previous)); }

private:
    std::unique_ptr<db::SessionPool> m_previous;
};

int countOf(const QString &connection, const QString &sql)
{
    db::Error e;
    const std::unique_ptr<db::ResultSet> rs = db::openResultSet(connection, sql, &e);
    return rs && !rs->eof() ? rs->field(0).toInt() : -1;
}

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
    static bool settled(frmObjectView &view) { return QTest::qWaitFor([&] { return !view.isLoading(); }, 30000); }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
        fx.ctx().setJumpTarget(&target);
        SharedState &s = fx.ctx().state();
        s.serverName = WorkStationInfo::instance().ComputerName();
        s.connectionString = fx.connectionString();
        QByteArray bytes;
        QCOMPARE(readRegularFile(fx.dictionaryFolder() + QStringLiteral("OrvexDirDB.xml"), 1 << 28, &bytes), ReadStatus::Ok);
        QVERIFY(s.dictionary.loadFromText(xml::decodeDocument(bytes).toLower()));
    }
    void init() { fx.msg.clear(); target.jumps.clear(); }

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
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='") + view.currentObjectId() + u'\''));
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
        QCOMPARE(jump->text(), QString(view.description(objects)).replace(QStringLiteral("\r\n"), QStringLiteral("  ")));
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

    // A server 300 ms away: the window opens at once and its event loop keeps
    // running under the busy pointer until every row is in; the rows are the
    // server's, the dependent ones those of the first object.
    void windowRunsWhileTheServerAnswers()
    {
        const QString connection = fx.ctx().state().connectionString;
        const int handlers = countOf(connection, QStringLiteral("SELECT COUNT(*) FROM vw_CallHandler"));
        QVERIFY(handlers > 1);
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(20);
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start();
        QString first;
        int greetings = -1;
        {
            SlowServer slow(std::chrono::milliseconds(300));
            frmObjectView view(fx.ctx());
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            auto *objects = child<Grid>(view, "gridData");
            auto *dependent = child<Grid>(view, "gridRef");
            QVERIFY(view.isLoading());
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            QCOMPARE(objects->gridModel()->rowCount(), 0);
            const int ticksAtOpen = ticks;
            QVERIFY(settled(view));
            QVERIFY2(ticks - ticksAtOpen >= 20, qPrintable(QString::number(ticks - ticksAtOpen)));
            QVERIFY(!QApplication::overrideCursor());

            QCOMPARE(objects->rows() - 1, handlers);
            QVERIFY(!objects->gridModel()->isLoading());
            first = objects->textMatrix(1, 0);
            QCOMPARE(view.currentObjectId(), first);
            const int handlerCol = columnNamed(dependent, QStringLiteral("CallHandlerObjectID"));
            QVERIFY(handlerCol >= 0);
            for (int r = 1; r < dependent->rows(); ++r)
                QCOMPARE(dependent->textMatrix(r, handlerCol), first);
            greetings = dependent->rows() - 1;
        }
        QVERIFY(greetings > 0);
        QCOMPARE(countOf(connection, QStringLiteral("SELECT COUNT(*) FROM vw_Greeting WHERE CallHandlerObjectID='%1'").arg(first)),
                 greetings);
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    // Requests made faster than the server answers: what the user chose last
    // is shown, and nothing of what came before it ever is.
    void latestRequestWins()
    {
        const QString connection = fx.ctx().state().connectionString;
        SlowServer slow(std::chrono::milliseconds(150));
        frmObjectView view(fx.ctx());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(settled(view));
        auto *types = child<QListWidget>(view, "listObjectType");
        auto *refs = child<QListWidget>(view, "listReferenceTables");
        auto *objects = child<Grid>(view, "gridData");
        auto *dependent = child<Grid>(view, "gridRef");
        QStringList objectsShown;
        QStringList dependentShown;
        QObject::connect(objects->gridModel(), &QAbstractItemModel::modelReset, &view, [&] {
            if (objects->gridModel()->rowCount() > 0)
                objectsShown << view.lastObjectQuery();
        });
        QObject::connect(dependent->gridModel(), &QAbstractItemModel::modelReset, &view, [&] {
            if (dependent->gridModel()->rowCount() > 0)
                dependentShown << view.lastReferenceQuery();
        });

        clickItem(types, 2); // Subscribers
        QVERIFY(view.isLoading());
        clickItem(types, 1); // Interviewers, before the subscribers come
        QVERIFY(settled(view));
        QCOMPARE(types->currentItem()->text(), QStringLiteral("Interviewers"));
        QCOMPARE(refs->count(), 1);
        QVERIFY(view.lastObjectQuery().endsWith(QStringLiteral("FROM [vw_InterviewHandler]")));
        QCOMPARE(objects->rows() - 1, countOf(connection, QStringLiteral("SELECT COUNT(*) FROM vw_InterviewHandler")));
        for (const QString &q : std::as_const(objectsShown))
            QVERIFY2(!q.contains(QStringLiteral("vw_Subscriber")), qPrintable(q));

        // The greeting rules of one call handler after another, by mouse and arrow keys.
        clickItem(types, 0);
        QVERIFY(settled(view));
        QVERIFY(objects->rows() > 4);
        const int col = 1; // the first shown, after the key
        QVERIFY(!objects->isColumnHidden(col));
        const auto [shown, at] = test::showCell(objects, 1, col); // grid row 2
        dependentShown.clear();
        QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(objects->row(), 2);
        QVERIFY(view.isLoading());
        QTest::keyClick(objects, Qt::Key_Down);
        QTest::keyClick(objects, Qt::Key_Down);
        QCOMPARE(objects->row(), 4);
        const QString passed = objects->textMatrix(2, 0);
        const QString chosen = objects->textMatrix(4, 0);
        QCOMPARE(view.currentObjectId(), chosen);
        QVERIFY(settled(view));
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='") + chosen + u'\''));
        QCOMPARE(dependent->rows() - 1,
                 countOf(connection, QStringLiteral("SELECT COUNT(*) FROM vw_Greeting WHERE CallHandlerObjectID='%1'").arg(chosen)));
        for (const QString &q : std::as_const(dependentShown))
            QVERIFY2(!q.contains(passed), qPrintable(q));
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    // The hover over a slow server: a description shows only over the cell it
    // was asked for, comes from the cache the second time, and a right click
    // on a cell not yet described opens its menu once the description comes.
    void hoverWaitsForItsCell()
    {
        SlowServer slow(std::chrono::milliseconds(150));
        frmObjectView view(fx.ctx());
        view.resize(1100, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        clickItem(child<QListWidget>(view, "listObjectType"), 2); // subscribers
        QVERIFY(settled(view));
        auto *objects = child<Grid>(view, "gridData");
        auto *tip = child<cTooltip>(view, "hoverTip");
        auto *menu = child<QMenu>(view, "mnuGridDataPopup");
        const int col = referenceColumn(objects);
        const int plain = columnNamed(objects, QStringLiteral("Alias"));
        QVERIFY(col >= 0 && plain >= 0);
        QVERIFY(objects->rows() > 3);
        QVERIFY(objects->textMatrix(1, col) != objects->textMatrix(3, col));
        const test::GridSpot first = test::showCell(objects, 0, col);
        const test::GridSpot other = test::showCell(objects, 0, plain);

        // Off the cell before its description comes: nothing shows, later either.
        QTest::mouseMove(first.view->viewport(), first.at);
        QVERIFY(view.description(objects).isEmpty());
        QTest::mouseMove(other.view->viewport(), other.at);
        waitForDatabaseThreads();
        QTest::qWait(50);
        QVERIFY(view.description(objects).isEmpty());
        QVERIFY(tip->ToolText(objects).isEmpty());

        // Back over it: described when it comes, then at once from the cache.
        QTest::mouseMove(first.view->viewport(), first.at);
        QTRY_VERIFY_WITH_TIMEOUT(!view.description(objects).isEmpty(), 20000);
        const QString described = view.description(objects);
        QCOMPARE(tip->ToolText(objects), described);
        QTest::mouseMove(other.view->viewport(), other.at);
        QTest::mouseMove(first.view->viewport(), first.at);
        QCOMPARE(view.description(objects), described);

        // A right click before the description: the menu follows it.
        const test::GridSpot third = test::showCell(objects, 2, col);
        QTest::mouseClick(third.view->viewport(), Qt::RightButton, {}, third.at);
        QVERIFY(!menu->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), 20000);
        QCOMPARE(child<QAction>(view, "mnuJump")->text(), QString(view.description(objects)).replace(QStringLiteral("\r\n"), QStringLiteral("  ")));
        QCOMPARE(fx.ctx().state().pendingJumpObjectID, objects->textMatrix(3, col));
        menu->close();
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }
};

QTEST_MAIN(tst_frmObjectView)
#include "tst_frmobjectview.moc"
