#include "support/windowplacement.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtTest/QtTest>
#include <QtWidgets/QWidget>

using namespace korva;

namespace {

// Stands in for a window manager that puts a frame around the window only
// some time after it is shown, as X11 window managers do.
class FramedPlacement : public WindowPlacement
{
public:
    FramedPlacement(QWidget *window, QMargins frame) : WindowPlacement(window), m_frame(frame), m_window(window) {}
    bool frameKnown = false;

protected:
    std::optional<QMargins> frameMargins() const override
    {
        if (!m_window->isVisible())
            return std::nullopt;
        return frameKnown ? m_frame : QMargins();
    }

private:
    QMargins m_frame;
    QWidget *m_window;
};

} // namespace

class tst_WindowPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversionsNeverOverflow_data()
    {
        QTest::addColumn<qint64>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("default-left") << qint64(1000) << 67;
        QTest::newRow("large-negative") << qint64(-99999999) << -1000000;
        QTest::newRow("int-min") << qint64(INT_MIN) << -1000000;
        QTest::newRow("beyond-int") << qint64(1) << 0;
        QTest::newRow("huge") << qint64(9e18) << 1000000;
    }
    void conversionsNeverOverflow()
    {
        QFETCH(qint64, twips);
        QFETCH(int, pixels);
        QCOMPARE(placement::twipsToPixels(twips, 96), pixels);
        QCOMPARE(placement::pixelsToTwips(1000, 96), qint64(15000));
    }

    void offScreenPlacementIsBroughtBack()
    {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        // Fully on a screen, or straddling the two screens: left alone.
        QCOMPARE(placement::keepOnScreen(QRect(100, 100, 800, 600), screens), QRect(100, 100, 800, 600));
        QCOMPARE(placement::keepOnScreen(QRect(1500, 100, 800, 600), screens), QRect(1500, 100, 800, 600));
        // Far away, above the top, with only a sliver of title bar left, or
        // just past an edge: wholly back on a screen.
        for (const QRect &lost : {QRect(-1000000, -1000000, 800, 600), QRect(200, -300, 800, 600),
                                  QRect(1900, 1050, 800, 600), QRect(5000, 5000, 640, 480), QRect(1300, 600, 800, 600),
                                  QRect(-20, 100, 800, 600), QRect(2500, 500, 800, 600)}) {
            const QRect r = placement::keepOnScreen(lost, screens);
            QVERIFY2(std::any_of(screens.begin(), screens.end(), [&](const QRect &s) { return s.contains(r); }),
                     qPrintable(QStringLiteral("%1,%2").arg(r.x()).arg(r.y())));
            QCOMPARE(r.size(), lost.size());
        }
        // Larger than any screen: no larger than the one it lands on.
        QCOMPARE(placement::keepOnScreen(QRect(0, 0, 5000, 4000), screens), QRect(0, 0, 1920, 1080));
    }

    // Opening and closing a window without touching it stores what was read,
    // whatever frame the window manager adds and however late it adds it.
    void placementComesBackExactlyAsSaved()
    {
        StoredPlacement stored{1000, 1000, 10000, 8500};
        for (int run = 0; run < 5; ++run) {
            QWidget window;
            FramedPlacement p(&window, QMargins(4, 25, 4, 4));
            p.restore(stored);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            p.frameKnown = true; // the frame arrives after the window is shown
            QTRY_COMPARE(window.geometry().height(), placement::twipsToPixels(8500, p.dpi()) - 29);
            QCOMPARE(window.geometry().width(), placement::twipsToPixels(10000, p.dpi()) - 8);
            const StoredPlacement saved = p.current();
            QCOMPARE(saved, stored);
            stored = saved;
        }
    }

    void userChangesAndRescuesAreSaved()
    {
        QWidget window;
        WindowPlacement p(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // An off-screen position is not saved back: where the window really is, is.
        p.restore({-99999999, -99999999, 6000, 4500});
        QVERIFY(screen.intersects(window.geometry()));
        const StoredPlacement rescued = p.current();
        QVERIFY(rescued.left > -99999999);
        QCOMPARE(placement::twipsToPixels(rescued.left, p.dpi()), window.frameGeometry().left());
        // A window the user resized stores its new size.
        p.restore({1500, 1500, 6000, 4500});
        window.resize(window.width() + 30, window.height());
        QCOMPARE(placement::twipsToPixels(p.current().width, p.dpi()), window.frameGeometry().width());
    }
};

QTEST_MAIN(tst_WindowPlacement)
#include "tst_windowplacement.moc"
