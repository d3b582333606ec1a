#include "common/testsupport.h"
#include "platform/settings.h"
#include "widgets/windowkit.h"

#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtTest/QtTest>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include <memory>

using namespace korva;

namespace {

// The depth of the application's pointer stack and the shape on top.
int pointerDepth()
{
    int depth = 0;
    QList<Qt::CursorShape> seen;
    while (QApplication::overrideCursor()) {
        seen.prepend(QApplication::overrideCursor()->shape());
        QApplication::restoreOverrideCursor();
        ++depth;
    }
    for (Qt::CursorShape s : std::as_const(seen))
        QApplication::setOverrideCursor(s);
    return depth;
}

Qt::CursorShape topPointer()
{
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
}

QSize twips(const QWidget &w, int width, int height)
{
    return QSize(placement::twipsToPixels(width, w.logicalDpiX()), placement::twipsToPixels(height, w.logicalDpiY()));
}

QSize frameSize(const QWidget &w)
{
    const QMargins f = placement::frameOf(&w);
    return QSize(f.left() + f.right(), f.top() + f.bottom());
}

// Opens a menu of the window's menu bar and chooses one of its items with the mouse.
void chooseWithMouse(QMainWindow &window, QMenu *menu, QAction *item)
{
    QMenuBar *bar = window.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
}

bool showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

} // namespace

class tst_WindowKit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        // A failed case must not leave its pointers to the next one.
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    // An item carries what tests and language files find it by, and its
    // shortcut reaches the slot from the keyboard while the window is active.
    void menuItems()
    {
        QMainWindow window;
        QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
        int refreshed = 0;
        int exported = 0;
        QAction *refresh = addMenuItem(
            file, QStringLiteral("Refresh"), "mnuRefresh", &window, [&] { ++refreshed; }, QKeySequence(Qt::Key_F5));
        QAction *exportAll = addMenuItem(file, QStringLiteral("Export"), "mnuExport", &window, [&] { ++exported; });
        QAction *plain = addMenuItem(file, QStringLiteral("Later"), "mnuLater");

        QCOMPARE(refresh->objectName(), QStringLiteral("mnuRefresh"));
        QCOMPARE(refresh->text(), QStringLiteral("Refresh"));
        QCOMPARE(refresh->shortcut(), QKeySequence(Qt::Key_F5));
        QVERIFY(exportAll->shortcut().isEmpty());
        QCOMPARE(file->actions(), (QList<QAction *>{refresh, exportAll, plain}));
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuLater")), plain);

        QVERIFY(showActive(window));
        QTest::keyClick(&window, Qt::Key_F5);
        QCOMPARE(refreshed, 1);
        chooseWithMouse(window, file, exportAll);
        QCOMPARE(exported, 1);
        QCOMPARE(refreshed, 1);
    }

    // A member function of the window as the slot, and no call once the
    // receiver has gone.
    void menuItemFollowsReceiver()
    {
        QMainWindow window;
        QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
        auto receiver = std::make_unique<QWidget>();
        int calls = 0;
        QAction *item = addMenuItem(file, QStringLiteral("Hide"), "mnuHide", receiver.get(), &QWidget::hide);
        QAction *counted = addMenuItem(file, QStringLiteral("Count"), "mnuCount", receiver.get(), [&] { ++calls; });
        receiver->show();
        item->trigger();
        QVERIFY(!receiver->isVisible());
        receiver.reset();
        counted->trigger();
        QCOMPARE(calls, 0);
    }

    // Choosing "Always on top" puts the window above the others where it
    // stands, at its size, still shown; choosing it again takes it back.
    void alwaysOnTop()
    {
        QMainWindow window;
        QMenu *options = window.menuBar()->addMenu(QStringLiteral("&Options"));
        QAction *onTop = addAlwaysOnTopItem(options, &window);
        QCOMPARE(onTop->objectName(), QStringLiteral("mnuAlwaysOnTop"));
        QVERIFY(onTop->isCheckable());
        window.setGeometry(QRect(120, 90, 420, 300));
        QVERIFY(showActive(window));
        const QRect before = window.geometry();

        chooseWithMouse(window, options, onTop);
        QVERIFY(onTop->isChecked());
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), before);

        QVERIFY(showActive(window));
        chooseWithMouse(window, options, onTop);
        QVERIFY(!onTop->isChecked());
        QVERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), before);
    }

    // A hidden window is not shown by the change.
    void alwaysOnTopKeepsHiddenWindowHidden()
    {
        QWidget window;
        window.setGeometry(QRect(50, 60, 300, 200));
        setAlwaysOnTop(&window, true);
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.geometry(), QRect(50, 60, 300, 200));
    }

    // Twips of the outer window: before it is shown no frame is known; once
    // shown the frame is taken off, so the whole window is never smaller
    // than asked, however small the user makes it.
    void sizeInTwipsCountsTheFrame()
    {
        QMainWindow window;
        placement::sizeInTwips(&window, QSize(4000, 3600), QSize(7000, 4500));
        QCOMPARE(window.minimumSize(), twips(window, 4000, 3600));
        QCOMPARE(window.size(), twips(window, 7000, 4500));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.minimumSize() + frameSize(window), twips(window, 4000, 3600));
        window.resize(10, 10);
        QTRY_COMPARE(window.frameGeometry().size(), twips(window, 4000, 3600));
    }

    // A least size larger than the screen is brought within it.
    void sizeInTwipsKeepsWithinTheScreen()
    {
        QWidget window;
        const QSize screen = window.screen()->availableGeometry().size();
        const int tooWide = int(placement::pixelsToTwips(screen.width() * 3, window.logicalDpiX()));
        placement::sizeInTwips(&window, QSize(tooWide, 1440));
        QCOMPARE(window.minimumWidth(), screen.width());
        QCOMPARE(window.minimumHeight(), twips(window, 0, 1440).height());
    }

    // Scoped pointers stack; the innermost shows, and leaving each scope
    // brings back the one before.
    void busyPointerNests()
    {
        QCOMPARE(pointerDepth(), 0);
        {
            const BusyPointer busy;
            QCOMPARE(topPointer(), Qt::WaitCursor);
            {
                const BusyPointer ask(Qt::ArrowCursor);
                QCOMPARE(topPointer(), Qt::ArrowCursor);
                QCOMPARE(pointerDepth(), 2);
            }
            QCOMPARE(topPointer(), Qt::WaitCursor);
            QCOMPARE(pointerDepth(), 1);
        }
        QCOMPARE(pointerDepth(), 0);
    }

    // A span is on the stack once however often it is started, and comes off
    // once however often it is finished, never taking another's pointer with it.
    void busySpanIsIdempotent()
    {
        BusySpan span(Qt::BusyCursor);
        QVERIFY(!span.isActive());
        span.finish(); // finishing what never started takes nothing off
        QCOMPARE(pointerDepth(), 0);

        const BusyPointer outer;
        span.start();
        span.start();
        QVERIFY(span.isActive());
        QCOMPARE(topPointer(), Qt::BusyCursor);
        QCOMPARE(pointerDepth(), 2);
        span.finish();
        span.finish();
        QVERIFY(!span.isActive());
        QCOMPARE(pointerDepth(), 1);
        QCOMPARE(topPointer(), Qt::WaitCursor);

        // Started again after finishing, and finished by going away.
        {
            BusySpan again;
            again.start();
            QCOMPARE(pointerDepth(), 2);
        }
        QCOMPARE(pointerDepth(), 1);
    }

    // The placement is read from the settings when kept and written when the
    // window closes, but not while it is minimised.
    void storedPlacement()
    {
        test::IsolatedEnvironment env;
        const QString prefix = QStringLiteral("Kit");
        const StoredPlacement given{1500, 1200, 6000, 4500};
        writeStoredPlacement(*openSettings(), prefix, given);
        auto stored = [&] { return readStoredPlacement(*openSettings(), prefix, {}); };

        // Opened and closed untouched: the settings hold what they held.
        auto window = std::make_unique<QWidget>();
        keepStoredPlacement(window.get(), prefix, {1000, 1000, 9000, 9000});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        writeStoredPlacement(*openSettings(), prefix, {}); // so that the close is seen to write
        QVERIFY(window->close());
        QCOMPARE(stored(), given);

        // Moved: the new place is written on closing.
        window = std::make_unique<QWidget>();
        keepStoredPlacement(window.get(), prefix, {});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->move(window->pos() + QPoint(48, 0));
        QVERIFY(window->close());
        QVERIFY(stored().left > given.left);
        QCOMPARE(stored().width, given.width);
        const StoredPlacement moved = stored();

        // Closed while minimised: what was there stays.
        window = std::make_unique<QWidget>();
        keepStoredPlacement(window.get(), prefix, {});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->move(window->pos() + QPoint(48, 0));
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());
        QVERIFY(window->close());
        QCOMPARE(stored(), moved);
    }

    // The layout follows each change of size, but not while minimised.
    void layoutFollowsSize()
    {
        QWidget window;
        QList<QSize> laidOut;
        layOutOnResize(&window, [&] { laidOut << window.size(); });
        window.resize(300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(laidOut.contains(QSize(300, 200)));
        window.resize(360, 240);
        QCOMPARE(laidOut.last(), QSize(360, 240));
        const qsizetype count = laidOut.size();
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.resize(400, 260);
        QCOMPARE(laidOut.size(), count);
    }
};

QTEST_MAIN(tst_WindowKit)
#include "tst_windowkit.moc"
