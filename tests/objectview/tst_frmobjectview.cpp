#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "common/gridinput.h"
#include "objectview/frmobjectview.h"
#include "platform/database.h"
#include "platform/fileio.h"
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
        QVERIFY(objects->rows() > 1);
        QVERIFY(objects->isColumnHidden(0));
        // Greeting rules of a call handler are looked up by its own ObjectID.
        QCOMPARE(view.currentCallHandlerId(), view.currentObjectId());
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='") + view.currentObjectId() + u'\''));
        QVERIFY(dependent->rows() > 1);

        // Subscribers: rules by the subscriber's CallHandlerObjectID.
        types->setCurrentRow(2);
        QCOMPARE(refs->count(), 6);
        QVERIFY(objects->isColumnHidden(1));
        QVERIFY(view.lastObjectQuery().startsWith(QStringLiteral("SELECT ObjectID,CallHandlerObjectID,")));
        objects->setCurrentCell(3, 2);
        const QString sub = objects->textMatrix(3, 0);
        const QString handler = objects->textMatrix(3, 1);
        QCOMPARE(view.currentObjectId(), sub);
        QCOMPARE(view.currentCallHandlerId(), handler);
        refs->setCurrentRow(1); // Greeting Rules
        QVERIFY(view.lastReferenceQuery().endsWith(QStringLiteral("WHERE CallHandlerObjectID='") + handler + u'\''));
        QVERIFY(dependent->rows() > 1);
        QCOMPARE(dependent->textMatrix(0, 0), QStringLiteral("GreetingType"));
        refs->setCurrentRow(0); // Extensions
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
        auto *objects = child<Grid>(view, "gridData");
        int col = -1;
        for (int c = 0; c < objects->cols() && col < 0; ++c)
            if (objects->textMatrix(0, c) == u"CallHandlerObjectID" && !objects->isColumnHidden(c))
                col = c;
        if (col < 0) // the key column itself is hidden; any shown reference will do
            for (int c = 0; c < objects->cols() && col < 0; ++c)
                if (objects->textMatrix(0, c).endsWith(QStringLiteral("ObjectID")) && !objects->isColumnHidden(c)
                    && !objects->textMatrix(1, c).isEmpty())
                    col = c;
        QVERIFY(col >= 0);
        QAbstractItemView *shown = col < objects->frozenColumns() ? static_cast<QAbstractItemView *>(objects->frozenView()) : objects;
        const QModelIndex cell = objects->model()->index(0, col);
        shown->scrollTo(cell);
        const QPoint at = shown->visualRect(cell).center();
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
            QVERIFY(child<Grid>(view, "gridData")->frozenColumns() > 0);
            test::sweepGrid(child<Grid>(view, "gridData"), 2);
            test::sweepGrid(child<Grid>(view, "gridRef"), 2);
        }
        QVERIFY(view.isVisible());
    }
};

QTEST_MAIN(tst_frmObjectView)
#include "tst_frmobjectview.moc"
