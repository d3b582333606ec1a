#include "common/testsupport.h"
#include "platform/paths.h"
#include "support/appidentity.h"
#include "support/ctooltip.h"
#include "support/updatecheck.h"

#include <QtCore/QElapsedTimer>
#include <QtGui/QColor>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTableView>

using namespace korva;

class tst_Support : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tooltipTools()
    {
        QWidget owner;
        QTableView grid(&owner);
        QLabel other(&owner);
        QLabel third(&owner);
        cTooltip tip;
        // Nothing works before Create.
        QVERIFY(!tip.AddTool(&grid));
        QCOMPARE(tip.ToolCount(), qint16(0));
        QCOMPARE(tip.MaxTipWidth(), qint16(0));
        QVERIFY(tip.Create(&owner));
        QVERIFY(tip.Create(&owner));
        QVERIFY(tip.AddTool(&grid));
        QVERIFY(!tip.AddTool(&grid));
        QCOMPARE(tip.ToolCount(), qint16(1));
        QCOMPARE(tip.ToolText(&grid), QStringLiteral("Tool1"));
        QVERIFY(tip.AddTool(&other, QStringLiteral("given")));
        QVERIFY(tip.AddTool(&third));
        QCOMPARE(tip.ToolText(&third), QStringLiteral("Tool3"));
        tip.setToolText(&grid, QStringLiteral("abc") + QChar(0) + QStringLiteral("def"));
        QCOMPARE(tip.ToolText(&grid), QStringLiteral("abc"));
        QLabel stranger;
        QCOMPARE(tip.ToolText(&stranger), QString());
        tip.setToolText(&stranger, QStringLiteral("x"));
        QCOMPARE(tip.ToolCount(), qint16(3));
        QVERIFY(tip.RemoveTool(&other));
        QVERIFY(!tip.RemoveTool(&other));
        QCOMPARE(tip.ToolCount(), qint16(2));
    }

    // What the properties do to a shown tip: its colours, its width, its
    // delays; and it keeps out of the way of an open pop-up menu.
    void tooltipAppearanceAndMenus()
    {
        QWidget owner;
        owner.resize(400, 300);
        QTableView grid(&owner);
        grid.resize(400, 300);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        cTooltip tip;
        tip.Create(&owner);
        tip.setBackColor(QColor(1, 2, 3));
        tip.setForeColor(QColor(4, 5, 6));
        tip.setMaxTipWidth(120);
        tip.setDelayTime(0, 20); // automatic: the initial delay, the others follow from it
        QCOMPARE(tip.DelayTime(3), 20);
        QCOMPARE(tip.DelayTime(2), 200);
        const QString longText = QStringLiteral("Display Name=a rather long name that needs more room than that");
        tip.AddTool(&grid, longText);
        QTest::mouseMove(grid.viewport(), QPoint(30, 30));
        QTRY_VERIFY(tip.isTipVisible());
        QCOMPARE(tip.hWnd()->palette().color(tip.hWnd()->backgroundRole()), QColor(1, 2, 3));
        QCOMPARE(tip.hWnd()->palette().color(tip.hWnd()->foregroundRole()), QColor(4, 5, 6));
        QVERIFY(tip.hWnd()->width() <= 120);
        QTRY_VERIFY(!tip.isTipVisible()); // the auto-pop delay
        tip.setMaxTipWidth(0);            // no limit
        tip.setToolText(&grid, longText + u' ');
        QTRY_VERIFY(tip.isTipVisible());
        QVERIFY(tip.hWnd()->width() > 120);

        // A menu pops up over the control: the tip goes and does not come back while it is open.
        QMenu menu;
        menu.addAction(QStringLiteral("Jump"));
        menu.popup(grid.mapToGlobal(QPoint(30, 30)));
        QTRY_VERIFY(menu.isVisible());
        tip.setToolText(&grid, QStringLiteral("changed while the menu is open"));
        QTest::qWait(100);
        QVERIFY(!tip.isTipVisible());
        menu.close();
    }

    void tooltipFollowsTextChanges()
    {
        QWidget owner;
        owner.resize(300, 200);
        QTableView grid(&owner);
        grid.resize(300, 200);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        cTooltip tip;
        tip.Create(&owner);
        tip.setMaxTipWidth(400);
        tip.setDelayTime(3, 10);
        tip.AddTool(&grid, QStringLiteral("x"));
        tip.setToolText(&grid, QStringLiteral("Subscriber\r\nDisplay Name=Ann"));
        QTest::mouseMove(grid.viewport(), QPoint(20, 20));
        QTRY_VERIFY(tip.isTipVisible());
        QCOMPARE(tip.shownText(), QStringLiteral("Subscriber\r\nDisplay Name=Ann"));
        tip.setToolText(&grid, QStringLiteral("Location"));
        QCOMPARE(tip.shownText(), QStringLiteral("Location"));
        tip.setToolText(&grid, QString());
        QVERIFY(!tip.isTipVisible());
        QVERIFY(tip.hWnd()->maximumWidth() <= 400);
    }

    // Shipped files: beside the program first, then in ../share/korva of an installed program.
    void shippedFilesBesideOrInstalled()
    {
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = root.filePath(QStringLiteral("usr/share/korva"));
        QVERIFY(QDir().mkpath(bin));
        test::ScopedEnv program("KORVA_PROGRAM_DIR", bin.toLocal8Bit());
        // A build folder: everything beside the program, even what is missing.
        QVERIFY(!runsInstalled());
        QCOMPARE(programDataFolder(), bin);
        QCOMPARE(programFilePath(QStringLiteral("KORVA.htm")), bin + QStringLiteral("/KORVA.htm"));

        QVERIFY(QDir().mkpath(share));
        const QStringList files{share + QStringLiteral("/KORVA.htm"), share + QStringLiteral("/SQL.lng"),
                                bin + QStringLiteral("/SQL.lng")};
        for (const QString &path : files) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(runsInstalled());
        QCOMPARE(QFileInfo(programDataFolder()).canonicalFilePath(), QFileInfo(share).canonicalFilePath());
        QCOMPARE(QFileInfo(programFilePath(QStringLiteral("KORVA.htm"))).canonicalFilePath(),
                 QFileInfo(share + QStringLiteral("/KORVA.htm")).canonicalFilePath());
        // A file beside the program wins over the installed one.
        QCOMPARE(programFilePath(QStringLiteral("SQL.lng")), bin + QStringLiteral("/SQL.lng"));
        QCOMPARE(programFilePath(QStringLiteral("none.xml")), bin + QStringLiteral("/none.xml"));
    }

    // The running program names its desktop entry, and every window shows the
    // icon that entry installs, not the generic one.
    void programIdentityForTheDesktop()
    {
        setUpApplicationIdentity();
        QCOMPARE(QGuiApplication::desktopFileName(), desktopEntryName());
        QFile entry(QStringLiteral(KORVA_SOURCE_DIR "/packaging/") + desktopEntryName() + QStringLiteral(".desktop"));
        QVERIFY2(entry.open(QIODevice::ReadOnly), qPrintable(entry.fileName()));
        QVERIFY(entry.readAll().contains("\nIcon=korva\n"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("KORVA"));
        QCOMPARE(QCoreApplication::applicationVersion(), programVersion());

        QWidget later;
        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&later));
        const QImage shown = later.windowIcon().pixmap(QSize(48, 48)).toImage();
        const QImage shipped(QStringLiteral(KORVA_SOURCE_DIR "/packaging/icons/korva-48.png"));
        QVERIFY(!shipped.isNull());
        // Pixmaps hold premultiplied colours.
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 shipped.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void versionHookStartsScriptWithoutWaiting()
    {
        test::IsolatedEnvironment env;
        const QString folder = env.filePath(QStringLiteral("prog"));
        QDir().mkpath(folder);
        qputenv("KORVA_PROGRAM_DIR", folder.toLocal8Bit());
        const QString out = env.filePath(QStringLiteral("args.txt"));
        QVERIFY(!modUpdateCheck::runVersionHook(QStringLiteral("http://h/x"), QString())); // no script: ignored
        QFile script(folder + QStringLiteral("/test.bat"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("sleep 1; printf '%s|' \"$@\" > '%1'\n").arg(out).toLocal8Bit());
        script.close();
        QElapsedTimer t;
        t.start();
        QVERIFY(modUpdateCheck::runVersionHook(QStringLiteral("http://h/x"), QStringLiteral("ab")));
        QVERIFY(t.elapsed() < 900); // not waited for
        auto written = [&] {
            QFile f(out);
            return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(written(), programVersion() + QStringLiteral("|http://h/x|ab|"), 5000);
        QCOMPARE(modUpdateCheck::versionHookCommandLine(QStringLiteral("u"), QStringLiteral("z")),
                 folder + QStringLiteral("/test.bat ") + programVersion() + QStringLiteral(" u"));
        qunsetenv("KORVA_PROGRAM_DIR");
    }
};

QTEST_MAIN(tst_Support)
#include "tst_support.moc"
