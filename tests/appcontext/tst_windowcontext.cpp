#include "appcontext/windowcontext.h"
#include "common/recordingmessenger.h"

#include <QtGui/QScreen>
#include <QtTest/QtTest>
#include <QtWidgets/QWidget>

using namespace korva;

namespace {

// Makes plain windows and remembers the contexts it was asked from.
struct Maker
{
    int made = 0;
    QList<WindowContext *> askedBy;
    QSize size; // given to each window made, when set
    QSize minimumSize;

    WindowContext::Factory factory()
    {
        return [this](WindowContext &c) {
            ++made;
            askedBy << &c;
            auto *w = new QWidget;
            if (size.isValid())
                w->resize(size);
            if (minimumSize.isValid())
                w->setMinimumSize(minimumSize);
            return w;
        };
    }
};

struct JumpRecorder final : JumpTarget
{
    QStringList jumps;
    void jumpToObject(const QString &table, const QString &objectId) override { jumps << table + u'/' + objectId; }
};

// Closes a window opened through the context and lets it be deleted.
bool closeAndForget(QWidget *w)
{
    QPointer<QWidget> watched(w);
    w->close();
    return QTest::qWaitFor([&] { return watched.isNull(); });
}

} // namespace

class tst_WindowContext : public QObject
{
    Q_OBJECT

private:
    test::RecordingMessenger msg;

private Q_SLOTS:
    // What every window reads through the context is the context's own: one
    // state for all, the messenger and jump target it was given, and the
    // request to start over reaches whoever listens.
    // The named changes: each sets what it names, leaves the rest, and says
    // so once; the same jump again is no change.
    void namedChangesSayWhatChanged()
    {
        WindowContext ctx(msg);
        QSignalSpy jumps(&ctx, &WindowContext::pendingJumpChanged);
        QSignalSpy servers(&ctx, &WindowContext::serverChanged);
        QSignalSpy databases(&ctx, &WindowContext::databaseChanged);
        ctx.setPendingJump(QStringLiteral("tbl_Location"), QStringLiteral("AAAA-1"));
        ctx.setPendingJump(QStringLiteral("tbl_Location"), QStringLiteral("AAAA-1"));
        QCOMPARE(jumps.size(), 1);
        QCOMPARE(ctx.state().pendingJumpTable, QStringLiteral("tbl_Location"));
        QCOMPARE(ctx.state().pendingJumpObjectID, QStringLiteral("AAAA-1"));

        ctx.ownerState().keptServer = QStringLiteral("kept");
        ctx.attachServer(QStringLiteral("server=far,1533"), QStringLiteral("far,1533"), QString(),
                         QStringLiteral("DOM\\far,1533"));
        QCOMPARE(servers.size(), 1);
        QCOMPARE(ctx.state().connectionString, QStringLiteral("server=far,1533"));
        QCOMPARE(ctx.state().remoteLabel, QStringLiteral("DOM\\far,1533"));
        QCOMPARE(ctx.state().pendingJumpObjectID, QStringLiteral("AAAA-1"));

        // Kept files replace the attached server, not the jump.
        ctx.useKeptServer(QStringLiteral("other"));
        QCOMPARE(servers.size(), 2);
        QCOMPARE(ctx.state().keptServer, QStringLiteral("other"));
        QVERIFY(ctx.state().connectionString.isEmpty());
        QVERIFY(ctx.state().remoteLabel.isEmpty());
        QCOMPARE(ctx.state().pendingJumpTable, QStringLiteral("tbl_Location"));
        QCOMPARE(jumps.size(), 1);

        ctx.databaseOpened();
        QCOMPARE(databases.size(), 1);
    }

    void sharesStateMessengerAndJumps()
    {
        WindowContext ctx(msg);
        QCOMPARE(&ctx.messenger(), static_cast<Messenger *>(&msg));
        ctx.ownerState().connectionString = QStringLiteral("server=a");
        const WindowContext &readOnly = ctx;
        QCOMPARE(readOnly.state().connectionString, QStringLiteral("server=a"));
        QCOMPARE(readOnly.state().instanceName, QStringLiteral("zandelorvex"));

        QVERIFY(!ctx.jumpTarget());
        JumpRecorder target;
        ctx.setJumpTarget(&target);
        ctx.jumpTarget()->jumpToObject(QStringLiteral("tbl_User"), QStringLiteral("CCCC-3"));
        QCOMPARE(target.jumps, QStringList{QStringLiteral("tbl_User/CCCC-3")});

        QSignalSpy startOver(&ctx, &WindowContext::startOverRequested);
        ctx.requestStartOver();
        QCOMPARE(startOver.size(), 1);
    }

    // Only registered windows open; a factory that makes nothing leaves
    // nothing open.
    void opensOnlyWhatIsRegistered()
    {
        WindowContext ctx(msg);
        QVERIFY(!ctx.isRegistered(QStringLiteral("frmNone")));
        QVERIFY(!ctx.openWindow(QStringLiteral("frmNone")));
        QVERIFY(!ctx.openedWindow(QStringLiteral("frmNone")));
        ctx.registerWindow(QStringLiteral("frmRefused"), WindowContext::Instances::One,
                           [](WindowContext &) { return nullptr; });
        QVERIFY(ctx.isRegistered(QStringLiteral("frmRefused")));
        QVERIFY(!ctx.openWindow(QStringLiteral("frmRefused")));
        QVERIFY(!ctx.openedWindow(QStringLiteral("frmRefused")));
        QVERIFY(ctx.openedWindows().isEmpty());
    }

    // A window of which there is one is made once, shown, and brought back
    // (restored when minimised) when opened again; once closed it is gone
    // and the next open makes a new one.
    void singleWindowComesBackUntilClosed()
    {
        WindowContext ctx(msg);
        Maker maker;
        ctx.registerWindow(QStringLiteral("frmOne"), WindowContext::Instances::One, maker.factory());
        QWidget *first = ctx.openWindow(QStringLiteral("frmOne"));
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!first->parentWidget()); // no main window to belong to
        QCOMPARE(maker.askedBy, QList<WindowContext *>{&ctx});
        QCOMPARE(ctx.openedWindow(QStringLiteral("frmOne")), first);

        first->showMinimized();
        QCOMPARE(ctx.openWindow(QStringLiteral("frmOne")), first);
        QVERIFY(!first->isMinimized());
        QCOMPARE(maker.made, 1);
        QCOMPARE(ctx.openedWindows(), QList<QWidget *>{first});

        QVERIFY(closeAndForget(first));
        QVERIFY(!ctx.openedWindow(QStringLiteral("frmOne")));
        QVERIFY(ctx.openedWindows().isEmpty());
        QWidget *second = ctx.openWindow(QStringLiteral("frmOne"));
        QVERIFY(second);
        QCOMPARE(maker.made, 2);
        QVERIFY(closeAndForget(second));
    }

    // Each open of a window of which there may be many makes another; the
    // context lists those still open, of every name.
    void manyWindowsOpenSideBySide()
    {
        WindowContext ctx(msg);
        Maker maker;
        ctx.registerWindow(QStringLiteral("frmMany"), WindowContext::Instances::Many, maker.factory());
        ctx.registerWindow(QStringLiteral("frmOne"), WindowContext::Instances::One, maker.factory());
        QWidget *a = ctx.openWindow(QStringLiteral("frmMany"));
        QWidget *b = ctx.openWindow(QStringLiteral("frmMany"));
        QWidget *one = ctx.openWindow(QStringLiteral("frmOne"));
        QVERIFY(a && b && one && a != b);
        QCOMPARE(maker.made, 3);
        QList<QWidget *> open = ctx.openedWindows();
        std::sort(open.begin(), open.end());
        QList<QWidget *> expected{a, b, one};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(open, expected);
        QCOMPARE(ctx.openedWindow(QStringLiteral("frmMany")), a);
        QVERIFY(closeAndForget(a));
        QCOMPARE(ctx.openedWindow(QStringLiteral("frmMany")), b);
        QCOMPARE(ctx.openedWindows().size(), 2);
        QVERIFY(closeAndForget(b));
        QVERIFY(closeAndForget(one));
    }

    // With a main window set, the windows opened belong to it as dialogs that
    // keep their own title-bar buttons; the main window itself and a window
    // made with a parent of its own are left as they are.
    void windowsBelongToTheMainWindow()
    {
        WindowContext ctx(msg);
        QWidget main;
        QWidget otherParent;
        ctx.setMainWindow(&main);
        Maker maker;
        ctx.registerWindow(QStringLiteral("frmTool"), WindowContext::Instances::Many, maker.factory());
        ctx.registerWindow(QStringLiteral("frmMain"), WindowContext::Instances::One,
                           [&](WindowContext &) { return &main; });
        ctx.registerWindow(QStringLiteral("frmChild"), WindowContext::Instances::One,
                           [&](WindowContext &) { return new QWidget(&otherParent, Qt::Window); });

        QWidget *tool = ctx.openWindow(QStringLiteral("frmTool"));
        QCOMPARE(tool->parentWidget(), &main);
        QCOMPARE(tool->windowType(), Qt::Dialog);
        const Qt::WindowFlags buttons = Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint;
        QCOMPARE(tool->windowFlags() & buttons, buttons);

        QWidget *self = ctx.openWindow(QStringLiteral("frmMain"));
        QCOMPARE(self, &main);
        QVERIFY(!main.parentWidget());
        QCOMPARE(main.windowType(), Qt::Window);

        QWidget *child = ctx.openWindow(QStringLiteral("frmChild"));
        QCOMPARE(child->parentWidget(), &otherParent);
        QCOMPARE(child->windowType(), Qt::Window);

        // Opening marked it to go when closed; it lives on the stack here.
        main.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(closeAndForget(tool));
        QVERIFY(closeAndForget(child));
    }

    // A new window larger than the screen is brought within it, its smallest
    // size giving way; a window already open is left where the user put it.
    void newWindowsAreFittedToTheScreen()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QRect room = screen->availableGeometry();
        WindowContext ctx(msg);
        Maker maker;
        maker.size = room.size() * 3;
        maker.minimumSize = room.size() * 2;
        ctx.registerWindow(QStringLiteral("frmHuge"), WindowContext::Instances::One, maker.factory());
        QWidget *w = ctx.openWindow(QStringLiteral("frmHuge"));
        QVERIFY(w);
        QVERIFY2(room.contains(w->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(w->frameGeometry().x())
                                                                   .arg(w->frameGeometry().y())
                                                                   .arg(w->frameGeometry().width())
                                                                   .arg(w->frameGeometry().height())));
        QVERIFY(w->minimumWidth() <= room.width() && w->minimumHeight() <= room.height());

        const QPoint placed = room.topLeft() + QPoint(room.width() / 2, room.height() / 2);
        w->move(placed);
        QCOMPARE(ctx.openWindow(QStringLiteral("frmHuge")), w);
        QCOMPARE(w->pos(), placed);
        QVERIFY(closeAndForget(w));
    }
};

QTEST_MAIN(tst_WindowContext)
#include "tst_windowcontext.moc"
