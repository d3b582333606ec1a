#include "common/recordingmessenger.h"
#include "common/demowindows.h"
#include "common/waitforrows.h"
#include "appcontext/windowcontext.h"
#include "main/frmmain.h"
#include "main/tablebrowser.h"
#include "windows.h"
#include "main/mainlayout.h"
#include "navigation/searchdialogs.h"
#include "common/gridinput.h"
#include "support/ctooltip.h"
#include "support/localize.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "platform/settings.h"
#include "platform/sqlquote.h"
#include "platform/workstationinfo.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtGui/QClipboard>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtCore/QScopeGuard>
#include <QtCore/QTimer>
#include <QtCore/QTranslator>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTextEdit>

#include <QtCore/QDirIterator>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace korva;

class tst_frmMain : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;
    QString registryFile;
    QString builtProgramDir; // where the build put the files that ship beside the program
    QTemporaryDir pristine;  // the dictionary folder as the demo made it

    static QAction *action(QWidget &w, const char *name) { return w.findChild<QAction *>(QString::fromLatin1(name)); }
    // Controls are reached by the names they are given, as a user finds them by their captions.
    template<class T>
    static T *child(QObject &w, const char *name)
    {
        T *found = w.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    static Grid *tablesGrid(QObject &w) { return child<Grid>(w, "gridTables"); }
    static Grid *columnsGrid(QObject &w) { return child<Grid>(w, "gridColumns"); }
    static Grid *dataGrid(QObject &w) { return child<Grid>(w, "gridData"); }
    static int findTable(Grid *grid, const QString &name)
    {
        for (int r = 1; r < grid->rows(); ++r)
            if (grid->textMatrix(r, 1).compare(name, Qt::CaseInsensitive) == 0)
                return r;
        return -1;
    }
    static void selectTable(frmMain &w, const QString &name)
    {
        const int r = findTable(tablesGrid(w), name);
        QVERIFY2(r > 0, qPrintable(name));
        tablesGrid(w)->setCurrentCell(r, 1);
        QVERIFY(test::waitForRows(w));
    }
    static int columnOf(Grid *grid, const QString &name)
    {
        for (int c = 1; c < grid->cols(); ++c)
            if (grid->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    }
    void resetSettings() { test::forgetWindowSettings(); }

private Q_SLOTS:
    void initTestCase()
    {
        builtProgramDir = qEnvironmentVariable("KORVA_PROGRAM_DIR");
        test::DemoWindows::Options o;
        o.reportRows = 300;
        o.programFolder = true;
        o.registryDescription = true;
        QString error;
        QVERIFY2(fx.setUp(o, &error), qPrintable(error));
        registryFile = qEnvironmentVariable("KORVA_HKLM");
        QDir scripts(fx.dictionaryFolder());
        for (const QString &name : scripts.entryList(QDir::Files))
            QVERIFY(QFile::copy(scripts.filePath(name), pristine.filePath(name)));
    }
    void init()
    {
        resetSettings();
        db::resetConnectionPool();
    }
    // A test that fails half way must not leave its changes to the next one.
    void cleanup()
    {
        qputenv("KORVA_HKLM", registryFile.toLocal8Bit());
        QDir scripts(fx.dictionaryFolder());
        for (const QString &name : scripts.entryList(QDir::Files))
            if (!QFile::exists(pristine.filePath(name)))
                scripts.remove(name);
        for (const QString &name : QDir(pristine.path()).entryList(QDir::Files)) {
            scripts.remove(name);
            QVERIFY(QFile::copy(pristine.filePath(name), scripts.filePath(name)));
        }
        QDir(fx.filePath(QStringLiteral("program/WhereFiles"))).removeRecursively();
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->inherits("QMenu"))
                top->close();
    }

    void startsOnTheDirectoryDatabase()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QCOMPARE(w.windowTitle(), QStringLiteral("Zandel Orvex Talmu"));
        QCOMPARE(w.state().connectionString,
                 QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=OrvexDirDB")
                     .arg(WorkStationInfo::instance().ComputerName()));
        QVERIFY(action(w, "mnuOrvexDirDB")->isChecked());
        QVERIFY(action(w, "mnuUseTables")->isChecked());
        QVERIFY(!action(w, "mnuUseViews")->isChecked());
        QVERIFY(tablesGrid(w)->rows() > 100);
        QCOMPARE(tablesGrid(w)->textMatrix(0, 1), QStringLiteral("Table Name"));
        for (int r = 1; r < tablesGrid(w)->rows(); ++r)
            QVERIFY(!tablesGrid(w)->textMatrix(r, 1).startsWith(QStringLiteral("conflict_"), Qt::CaseInsensitive));
        QVERIFY(w.state().knownTableNames.contains(QStringLiteral("tbl_User ")));
        QVERIFY(w.state().knownViewNames.contains(QStringLiteral("vw_Subscriber ")));
        QVERIFY(w.state().dictionary.isLoaded());
        // The first table is loaded with its description and rows.
        QVERIFY(child<QTextEdit>(w, "txtTableInfo")->toPlainText().startsWith(QStringLiteral("Table: ")));
        QTRY_VERIFY(columnsGrid(w)->rows() > 1);
        QTRY_VERIFY(!dataGrid(w)->gridModel()->isLoading());
        QVERIFY(dataGrid(w)->rows() > 1);
    }

    void everyMenuItemIsThereInOrderWithItsName()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QStringList seen;
        for (QAction *top : w.menuBar()->actions()) {
            seen << top->text();
            for (QAction *a : top->menu()->actions())
                seen << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
        }
        const QStringList expected{"&File",
                                   "mnuFindObjectID=Find Object ID",
                                   "mnuFindValueinOrvexDirDB=Find value in current DB tables",
                                   "-",
                                   "mnuAttachRemote=Attach to remote Orvex server",
                                   "mnuServerFiles=Use a server's files...",
                                   "=Recent servers",
                                   "-",
                                   "mnuExportGridToCSVFile=Export entire grid data to CSV file",
                                   "mnuExportVisibleRowsToCSV=Export visible rows to CSV file ",
                                   "-",
                                   "mnuExit=Exit",
                                   "&View",
                                   "mnuStoredProcs=Stored Procedures",
                                   "mnuQueryBuilder=Query Builder",
                                   "mnuRegistry=Orvex Registry Tree",
                                   "mnuOrvexConfigurationTree=Orvex Configuration Tree",
                                   "mnuObjectView=Object View",
                                   "-",
                                   "mnuRefresh=Refresh",
                                   "mnuFindInGrid=Find in grid",
                                   "mnuFilterRow=Filter row",
                                   "&Database",
                                   "mnuOrvexDirDB=OrvexDirDB",
                                   "mnuOrvexRptDb=OrvexRptDb",
                                   "mnuOrvexDynDB=OrvexDynDB",
                                   "mnuOrvexMbxDb1=OrvexMbxDb1",
                                   "&Options",
                                   "mnuUseTables=Use Tables",
                                   "mnuUseViews=Use Views",
                                   "-",
                                   "mnuLockAliasColumn=Lock alias column to left",
                                   "mnuLockUniqueColumn=Lock unique ID column to left",
                                   "-",
                                   "mnuShowObjectIDInToolTip=Show ObjectID data in tooltip text",
                                   "mnuShowWhereClause=Show WHERE clause option",
                                   "-",
                                   "mnuAlwaysOnTop=Always on top",
                                   "mnuDumpTables=Dump Tables",
                                   "&Help",
                                   "mnuHelp=Help",
                                   "-",
                                   "mnuAbout=About",
                                   "mnuCheckForUpdatedVersion=Check for updated version"};
        QCOMPARE(seen, expected);
        QStringList popup;
        for (QAction *a : child<QMenu>(w, "mnuGridDataPopup")->actions())
            popup << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
        QCOMPARE(popup, (QStringList{"mnuCopy=Copy", "mnuCopyCSV=Copy selection as CSV", "mnuJump=Jump to this object",
                                     "-", "mnuExportEntireGrid=Export entire grid data to CSV file",
                                     "mnuExportVisibleRows=Export only visible rows to CSV file"}));
        for (const char *name :
             {"gridTables", "gridColumns", "tabInfo", "txtTableInfo", "txtColumnInfo", "txtWhere", "cmdApply",
              "cmdClear", "chkStickWhere", "imgSplitter", "gridData", "cmdBack", "lblRows", "txtRows"})
            QVERIFY2(w.findChild<QWidget *>(QString::fromLatin1(name)), name);
    }

    void mailboxDatabaseLoadsItsOwnDictionary()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuOrvexMbxDb1")->trigger();
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QVERIFY(w.state().connectionString.endsWith(QStringLiteral(";database=OrvexMbxDB1")));
        QCOMPARE(w.currentCatalogue(), QStringLiteral("OrvexMbxDB1.dbo.sysobjects"));
        QVERIFY(!action(w, "mnuOrvexDirDB")->isChecked());
        QVERIFY(w.state().dictionary.selectSingleNode(
            QStringLiteral("orvexdatadictionary/tables/table[@name='tbl_message']")));
        // Known names stay those of the directory database.
        QVERIFY(w.state().knownTableNames.contains(QStringLiteral("tbl_User ")));
        w.close();
        auto s = openSettings();
        QCOMPARE(s->value(QStringLiteral("Config/OrvexMbxDB1")).toString(), QStringLiteral("True"));
        QCOMPARE(s->value(QStringLiteral("Config/OrvexDirDB")).toString(), QStringLiteral("False"));
    }

    void listingModesShowTablesOrViews()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuUseViews")->trigger();
        QVERIFY(action(w, "mnuUseViews")->isChecked());
        QVERIFY(!action(w, "mnuUseTables")->isChecked());
        QVERIFY(tablesGrid(w)->rows() > 50);
        for (int r = 1; r < tablesGrid(w)->rows(); ++r)
            QVERIFY(tablesGrid(w)->textMatrix(r, 1).startsWith(QStringLiteral("vw_"), Qt::CaseInsensitive));
        // Described from the base table the view name maps to.
        selectTable(w, QStringLiteral("vw_Callhandler"));
        QVERIFY(child<QTextEdit>(w, "txtTableInfo")->toPlainText().contains(QStringLiteral("Description: ")));
        // Clicking "Use Views" again switches back to tables.
        action(w, "mnuUseViews")->trigger();
        QVERIFY(action(w, "mnuUseTables")->isChecked());
        QVERIFY(tablesGrid(w)->textMatrix(1, 1).startsWith(QStringLiteral("tbl_"), Qt::CaseInsensitive));
    }

    void unknownServerReportsAndLeavesAnEmptyList()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QStringLiteral("/named:nowhere")));
        QCOMPARE(msg.messages.size(), 2);
        const QString expectedEnd = QStringLiteral(") in procedure InitalizeDB of Form frmMain.  Using connection "
                                                   "string=Driver={SQL Server};server=%1\\nowhere;database=OrvexDirDB")
                                        .arg(WorkStationInfo::instance().ComputerName());
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("(error):-2147467259 (")));
        QVERIFY(msg.messages[0].endsWith(expectedEnd));
        QVERIFY(msg.messages[1].endsWith(expectedEnd));
        QCOMPARE(tablesGrid(w)->rows(), 1);
        // The dictionary is loaded all the same.
        QVERIFY(w.state().dictionary.isLoaded());
    }

    void brokenDictionariesAreReportedAndTheProgramGoesOn()
    {
        const QString dyn = fx.dictionaryFolder() + QStringLiteral("OrvexDynDB.xml");
        const QString rpt = fx.dictionaryFolder() + QStringLiteral("OrvexRptDB.xml");
        QVERIFY(QFile::rename(dyn, dyn + QStringLiteral(".away")));
        QVERIFY(QFile::copy(rpt, rpt + QStringLiteral(".keep")));
        {
            QFile f(rpt);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("<orvexdatadictionary><tables>");
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuOrvexDynDB")->trigger();
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("(error):53 (File not found) in procedure InitalizeDB of "
                                                          "Form frmMain.  Using connection string=")));
        QVERIFY(tablesGrid(w)->rows() > 1);
        msg.clear();
        action(w, "mnuOrvexRptDb")->trigger();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("XML problem at startup")});
        QVERIFY(tablesGrid(w)->rows() > 1);
    }

    // Dictionaries saved as UTF-16 load; one nested absurdly deep, or a link
    // to an endless device, is reported and the program goes on.
    void dictionariesInAnyEncodingOrShape()
    {
        const QString mbx = fx.dictionaryFolder() + QStringLiteral("OrvexMbxDB.xml");
        const QString dyn = fx.dictionaryFolder() + QStringLiteral("OrvexDynDB.xml");
        const QString rpt = fx.dictionaryFolder() + QStringLiteral("OrvexRptDB.xml");
        {
            QFile f(mbx);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            f.close();
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("\xFF\xFE");
            f.write(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        }
        {
            QFile f(dyn);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("<orvexdatadictionary><tables><table name='tbl_x'><notes>");
            f.write(QByteArray("<b>").repeated(200000));
            f.write(QByteArray("</b>").repeated(200000));
            f.write("</notes></table></tables></orvexdatadictionary>");
        }
        QFile::remove(rpt);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), rpt));
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuOrvexMbxDb1")->trigger();
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QVERIFY(w.state().dictionary.selectSingleNode(
            QStringLiteral("orvexdatadictionary/tables/table[@name='tbl_message']")));
        action(w, "mnuOrvexDynDB")->trigger();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("XML problem at startup")});
        QVERIFY(tablesGrid(w)->rows() > 1);
        msg.clear();
        action(w, "mnuOrvexRptDb")->trigger();
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("(error):53 (File not found) in procedure InitalizeDB")));
        QVERIFY(tablesGrid(w)->rows() > 1);
    }

    void missingInstallFolderShutsDownWithSettingsSaved()
    {
        const QString empty = fx.filePath(QStringLiteral("empty.reg"));
        {
            QFile f(empty);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(
                "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"x\"=\"y\"\r\n");
        }
        qputenv("KORVA_HKLM", empty.toLocal8Bit());
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/LockAlias"), QStringLiteral("False"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(!w.Form_Load(QString()));
        QVERIFY(w.hasShutDown());
        QCOMPARE(msg.messages, QStringList{QStringLiteral("Error, could not find install path for Orvex")});
        // Nothing was read yet, so the stored settings are kept as they were.
        auto s = openSettings();
        QCOMPARE(s->value(QStringLiteral("Config/LockAlias")).toString(), QStringLiteral("False"));
        QVERIFY(!s->contains(QStringLiteral("Config/UseTables")));
    }

    void corruptRegistryFileIsReportedAndLeftAlone()
    {
        const QString bad = fx.filePath(QStringLiteral("bad.reg"));
        const QByteArray content = "Windows Registry Editor Version "
                                   "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X\r\n\"a\"=dword:zz\r\n";
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        qputenv("KORVA_HKLM", bad.toLocal8Bit());
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(!w.Form_Load(QString()));
        QCOMPARE(msg.messages.size(), 2);
        QVERIFY(msg.messages[0].contains(QStringLiteral("line")));
        QCOMPARE(msg.messages[1], QStringLiteral("Error, could not find install path for Orvex"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }

    void storedSettingsAreApplied()
    {
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/UseTables"), QStringLiteral("true")); // not exactly "True": views
            s->setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("true"));
            s->setValue(QStringLiteral("Config/OrvexDirDB"), QStringLiteral("False"));
            s->setValue(QStringLiteral("Config/OrvexDynDB"), QStringLiteral("True"));
            s->setValue(QStringLiteral("Config/OrvexRptDB"), QStringLiteral("True"));
            s->setValue(QStringLiteral("Settings/SplitterPos"), QStringLiteral("3000"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        QVERIFY(action(w, "mnuUseViews")->isChecked());
        QVERIFY(action(w, "mnuShowWhereClause")->isChecked());
        // Several databases checked: the first in the fixed order wins.
        QVERIFY(w.state().connectionString.endsWith(QStringLiteral("database=OrvexDynDB")));
        QCOMPARE(w.splitterTop(), 3000);
        QVERIFY(w.findChild<QTabWidget *>(QStringLiteral("tabInfo"))->count() == 3);
    }

    void layoutAndSplitterKeepTheirLimits()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(100, 100);
        QVERIFY(w.pixelsToTwips(w.width()) >= kMinMainWidth - kNonClientWidth - 20);
        w.resize(w.twipsToPixels(12000), w.twipsToPixels(9000));
        w.setSplitterTop(2500);
        w.dragSplitterBy(-5000);
        QCOMPARE(w.splitterTop(), kMinSplitterTop);
        w.dragSplitterBy(100000);
        const int H = w.pixelsToTwips(w.centralWidget()->height()) + kNonClientHeight;
        QCOMPARE(w.splitterTop(), H - kSplitterBottomGap);
        // The WHERE controls lie wholly inside their page, at the default size too.
        action(w, "mnuShowWhereClause")->trigger();
        QApplication::processEvents();
        w.resize(w.twipsToPixels(10000), w.twipsToPixels(8500));
        w.setSplitterTop(2500);
        QApplication::processEvents();
        for (QWidget *c : {static_cast<QWidget *>(child<QPushButton>(w, "cmdApply")),
                           static_cast<QWidget *>(child<QCheckBox>(w, "chkStickWhere")),
                           w.findChild<QWidget *>(QStringLiteral("cmdClear")),
                           static_cast<QWidget *>(child<QPlainTextEdit>(w, "txtWhere"))})
            QVERIFY2(c->parentWidget()->rect().contains(c->geometry()),
                     qPrintable(c->objectName()
                                + QStringLiteral(" %1,%2 %3x%4 in %5x%6")
                                      .arg(c->x())
                                      .arg(c->y())
                                      .arg(c->width())
                                      .arg(c->height())
                                      .arg(c->parentWidget()->width())
                                      .arg(c->parentWidget()->height())));
        auto *splitter = w.findChild<QWidget *>(QStringLiteral("imgSplitter"));
        QCOMPARE(splitter->y(), w.twipsToPixels(w.splitterTop()));
        QVERIFY(dataGrid(w)->geometry().top() > splitter->geometry().bottom());
        // The upper pane ends above the strip with Back and the row count, which sits on the splitter bar.
        for (QWidget *upper : {static_cast<QWidget *>(tablesGrid(w)), static_cast<QWidget *>(columnsGrid(w)),
                               w.findChild<QWidget *>(QStringLiteral("tabInfo"))})
            QVERIFY(upper->geometry().bottom() < child<QPushButton>(w, "cmdBack")->geometry().top());
        for (QWidget *strip : {static_cast<QWidget *>(child<QPushButton>(w, "cmdBack")),
                               static_cast<QWidget *>(child<QLineEdit>(w, "txtRows")),
                               w.findChild<QWidget *>(QStringLiteral("lblRows"))}) {
            QVERIFY(strip->geometry().bottom() <= splitter->geometry().top() + 1);
            QVERIFY(strip->geometry().top() >= splitter->geometry().top() - w.twipsToPixels(330));
        }
        QVERIFY(dataGrid(w)->geometry().bottom() < w.centralWidget()->height());
        QVERIFY(dataGrid(w)->width() > w.centralWidget()->width() - w.twipsToPixels(200));
    }

    void clickingThroughTablesShowsTheirRows()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.resize(1200, 900);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Grid *tables = tablesGrid(w);
        for (const QString &name :
             {QStringLiteral("tbl_Location"), QStringLiteral("tbl_Alias"), QStringLiteral("tbl_CallHandler")}) {
            const int r = findTable(tables, name);
            tables->scrollToCell(r, 1);
            const QRect cell = tables->visualRect(tables->model()->index(tables->modelRow(r), 0));
            QTest::mouseClick(tables->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(tables->row(), r);
            QVERIFY(test::waitForRows(w));
            db::Error e;
            auto rs = db::openResultSet(w.state().connectionString, QStringLiteral("select count(*) from ") + name, &e);
            QCOMPARE(dataGrid(w)->rows() - 1, rs->field(0).toInt());
            QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), rs->field(0).toString());
            QVERIFY(child<QTextEdit>(w, "txtTableInfo")->toPlainText().startsWith(QStringLiteral("Table: ") + name));
            // Every column of the table is in the column list and in the row grid.
            auto cols = db::openResultSet(w.state().connectionString,
                                          QStringLiteral("select name from syscolumns where id=object_id('") + name
                                              + QStringLiteral("')"),
                                          &e);
            QCOMPARE(columnsGrid(w)->rows() - 1, int(cols->recordCount()));
            QCOMPARE(dataGrid(w)->cols() - 1, int(cols->recordCount()));
        }
        QVERIFY(msg.messages.isEmpty());
    }

    // Another program holds the database locked: the window says so instead
    // of showing nothing, keeps no headers of the table before, and shows the
    // table by itself once the lock is gone.
    void lockedDatabaseIsSaidAndShownWhenFree()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        selectTable(w, QStringLiteral("tbl_Location"));
        QVERIFY(dataGrid(w)->rows() > 1);

        QString file;
        QDirIterator it(fx.root(), {QStringLiteral("OrvexDirDB.sqlite")}, QDir::Files, QDirIterator::Subdirectories);
        if (it.hasNext())
            file = it.next();
        QVERIFY(!file.isEmpty());
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        auto release = qScopeGuard([&] {
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(other);
        });

        Grid *tables = tablesGrid(w);
        const int r = findTable(tables, QStringLiteral("tbl_Alias"));
        tables->scrollToCell(r, 1);
        QTest::mouseClick(tables->viewport(), Qt::LeftButton, {},
                          tables->visualRect(tables->model()->index(tables->modelRow(r), 0)).center());
        auto *status = child<QStatusBar>(w, "sbStatus");
        // The engine waits for the lock a few seconds before it gives up.
        QTRY_VERIFY_WITH_TIMEOUT(status->currentMessage().contains(QStringLiteral("tbl_Alias cannot be read now")),
                                 40000);
        QVERIFY(msg.messages.isEmpty());
        QCOMPARE(columnsGrid(w)->rows(), 1);
        QCOMPARE(dataGrid(w)->rows(), 1);

        release.dismiss();
        QCOMPARE(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        QTRY_VERIFY_WITH_TIMEOUT(dataGrid(w)->rows() > 1, 15000);
        QVERIFY(columnsGrid(w)->rows() > 1);
        QVERIFY(status->currentMessage().isEmpty());
        QVERIFY(msg.messages.isEmpty());
    }

    void rowsLockedColumnsAndDescriptions()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        selectTable(w, QStringLiteral("tbl_DistributionList"));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QCOMPARE(w.browser().uniqueIdColumn(), QStringLiteral("ObjectID"));
        Grid *data = dataGrid(w);
        QVERIFY(data->rows() > 5);
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QString::number(data->rows() - 1));
        // Alias first, then the unique ID column, frozen at the left.
        QCOMPARE(data->textMatrix(0, 1), QStringLiteral("Alias"));
        QVERIFY(w.browser().lastRowQuery().startsWith(QStringLiteral("SELECT Alias, ")));
        QVERIFY(w.browser().lastRowQuery().contains(QStringLiteral("[ObjectID], ")));
        QCOMPARE(data->frozenColumns(), w.browser().lockedColumnCount());
        QCOMPARE(w.browser().lockedColumnCount(), 2);
        QCOMPARE(data->textMatrix(0, 2), QStringLiteral("ObjectID"));
        // The unique ID row of the column list is bold.
        Grid *cols = columnsGrid(w);
        const int idRow = findTable(cols, QStringLiteral("ObjectID"));
        QVERIFY(cols->gridModel()
                    ->data(cols->gridModel()->index(cols->modelRow(idRow), 0), Qt::FontRole)
                    .value<QFont>()
                    .bold());
        // Column descriptions follow the column list.
        cols->setCurrentCell(idRow, 1);
        QVERIFY(child<QTextEdit>(w, "txtColumnInfo")
                    ->toPlainText()
                    .startsWith(QStringLiteral("Column: ObjectID\n\nColumn: objectid\nDatatype: ")));
        // Unlocked: columns in name order, nothing frozen.
        action(w, "mnuLockAliasColumn")->trigger();
        action(w, "mnuLockUniqueColumn")->trigger();
        QVERIFY(test::waitForRows(w));
        QCOMPARE(dataGrid(w)->frozenColumns(), 0);
        QVERIFY(w.browser().lastRowQuery().startsWith(QStringLiteral("SELECT [")));
    }

    void whereClauseAndStickyFiles()
    {
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("True"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        selectTable(w, QStringLiteral("tbl_Alias"));
        const int all = dataGrid(w)->rows() - 1;
        QVERIFY(all > 10);
        QVERIFY(!child<QPushButton>(w, "cmdApply")->isEnabled());

        // A sticky box with an empty WHERE box is refused.
        child<QCheckBox>(w, "chkStickWhere")->setChecked(true);
        QCOMPARE(msg.messages,
                 QStringList{QStringLiteral("You must apply a WHERE clause before you can make it sticky")});
        QVERIFY(!child<QCheckBox>(w, "chkStickWhere")->isChecked());
        msg.clear();

        const QString alias = dataGrid(w)->textMatrix(1, columnOf(dataGrid(w), QStringLiteral("Alias")));
        child<QPlainTextEdit>(w, "txtWhere")
            ->setPlainText(QStringLiteral("  Alias = '") + alias.toUpper() + QStringLiteral("'  "));
        QVERIFY(child<QPushButton>(w, "cmdApply")->isEnabled());
        child<QCheckBox>(w, "chkStickWhere")->setChecked(true);
        w.browser().cmdApply_Click();
        QVERIFY(test::waitForRows(w));
        QCOMPARE(dataGrid(w)->rows(), 2);
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QStringLiteral("1"));
        const QString file = fx.filePath(QStringLiteral("program/WhereFiles/OrvexDirDB_tbl_Alias.TXT"));
        QVERIFY(QFile::exists(file));

        // Another table clears the box; coming back brings the sticky clause again.
        selectTable(w, QStringLiteral("tbl_Location"));
        QVERIFY(child<QPlainTextEdit>(w, "txtWhere")->toPlainText().isEmpty());
        QVERIFY(!child<QCheckBox>(w, "chkStickWhere")->isChecked());
        selectTable(w, QStringLiteral("tbl_Alias"));
        QVERIFY(child<QCheckBox>(w, "chkStickWhere")->isChecked());
        QCOMPARE(dataGrid(w)->rows(), 2);

        // A clause that no longer parses gives both messages; Clear removes it.
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(QStringLiteral("Alias = = 'x'"));
        w.browser().cmdApply_Click();
        QTRY_COMPARE(msg.messages.size(), 2);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("Badly formed SQL query: ")));
        QCOMPARE(msg.messages[1], QStringLiteral("Check the syntaxt of your WHERE clause and try again"));
        msg.clear();
        selectTable(w, QStringLiteral("tbl_Location"));
        selectTable(w, QStringLiteral("tbl_Alias"));
        QCOMPARE(msg.messages.size(), 2);
        w.browser().cmdClear_Click();
        QVERIFY(test::waitForRows(w));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(dataGrid(w)->rows() - 1, all);

        // A query that fails after its first rows says so, and neither the rows
        // read so far nor the previous count pose as the table.
        msg.clear();
        QVERIFY(!child<QLineEdit>(w, "txtRows")->text().isEmpty());
        child<QPlainTextEdit>(w, "txtWhere")
            ->setPlainText(QStringLiteral("abs(-9223372036854775807 - (rowid > 20)) > 0"));
        w.browser().cmdApply_Click();
        QVERIFY(test::waitForRows(w));
        QCOMPARE(msg.messages.size(), 2);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("Badly formed SQL query: ")));
        QCOMPARE(dataGrid(w)->rows(), 1);
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QString());
        // The export says the table could not be read, and writes nothing.
        msg.clear();
        const QString exported = fx.filePath(QStringLiteral("partial.csv"));
        msg.fileNames.enqueue(exported);
        w.browser().exportGrid(false, false);
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("(error):")));
        QVERIFY(msg.messages[0].endsWith(QStringLiteral(") in procedure mnuExportEntireGrid_Click of Form frmMain")));
        QVERIFY(!QFile::exists(exported));

        // A blanks-only clause is no clause.
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(QStringLiteral("   "));
        w.browser().cmdApply_Click();
        QVERIFY(test::waitForRows(w));
        QVERIFY(!w.browser().lastRowQuery().isEmpty());
        QVERIFY(!w.browser().lastRowQuery().contains(QStringLiteral(" WHERE ")));

        // A clause applied without "sticky" stays unsticky, however often it is applied.
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(QStringLiteral("Alias = '") + alias + u'\'');
        child<QCheckBox>(w, "chkStickWhere")->setChecked(false);
        QTest::mouseClick(child<QPushButton>(w, "cmdApply"), Qt::LeftButton);
        QVERIFY(!child<QCheckBox>(w, "chkStickWhere")->isChecked());
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(child<QPlainTextEdit>(w, "txtWhere")->toPlainText() + u' ');
        QTest::mouseClick(child<QPushButton>(w, "cmdApply"), Qt::LeftButton);
        QVERIFY(!child<QCheckBox>(w, "chkStickWhere")->isChecked());
        QVERIFY(!QFile::exists(file));
        QVERIFY(test::waitForRows(w));
        QVERIFY(w.browser().lastRowQuery().contains(QStringLiteral(" WHERE ")));

        // With the tab hidden a clause in the box is not applied.
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(QStringLiteral("1=0"));
        action(w, "mnuShowWhereClause")->trigger();
        QVERIFY(!w.whereTabShown());
        w.browser().UpdateTableInformation(false);
        QVERIFY(test::waitForRows(w));
        QVERIFY(!w.browser().lastRowQuery().isEmpty());
        QVERIFY(!w.browser().lastRowQuery().contains(QStringLiteral(" WHERE ")));
    }

    void exportsDumpAndCopy()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        selectTable(w, QStringLiteral("tbl_Alias"));
        const QString path = fx.filePath(QStringLiteral("aliases.csv"));
        QFile::remove(path);
        msg.fileNames.enqueue(path);
        w.browser().exportGrid(false, true);
        QCOMPARE(msg.dialogTitles.last(), QStringLiteral("Select CSV file name to save entire table to"));
        QVERIFY(msg.proposedPaths.last().endsWith(QStringLiteral("/tbl_Alias_Export.CSV")));
        QCOMPARE(msg.messages, QStringList{QStringLiteral("File saved")});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        f.close();
        QCOMPARE(lines.size() - 1, dataGrid(w)->rows());
        QVERIFY(lines[0].startsWith(",Alias,"));
        QVERIFY(lines[0].endsWith("\r"));

        // Answering No keeps the file as it was.
        msg.clear();
        msg.fileNames.enqueue(path);
        msg.answers.enqueue(false);
        w.browser().exportGrid(true, false);
        QCOMPARE(msg.messages, QStringList{QStringLiteral("File name already exists, overwrite?")});
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().split('\n').size(), lines.size());
        f.close();

        // Visible rows only: the header and what the viewport shows.
        msg.clear();
        msg.fileNames.enqueue(path);
        msg.answers.enqueue(true);
        dataGrid(w)->setTopRow(5);
        w.browser().exportGrid(true, true);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> visible = f.readAll().split('\n');
        f.close();
        QVERIFY(visible.size() - 1 < lines.size() - 1);
        QVERIFY(visible[0].startsWith(",Alias,"));
        int shown = 0;
        for (int r = 1; r < dataGrid(w)->rows(); ++r)
            shown += dataGrid(w)->rowIsVisible(r) ? 1 : 0;
        QCOMPARE(visible.size() - 2, shown);

        // Cancelling the dialog writes nothing and says nothing.
        msg.clear();
        w.browser().exportGrid(true, false);
        QVERIFY(msg.messages.isEmpty());

        msg.clear();
        action(w, "mnuDumpTables")->trigger();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("Text on the clipboard")});
        const QStringList dumped = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
        QCOMPARE(dumped.first(), QStringLiteral("Table Name"));
        QCOMPARE(dumped.size() - 1, tablesGrid(w)->rows());

        dataGrid(w)->setCurrentCell(2, 1);
        w.browser().mnuCopy_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), dataGrid(w)->textMatrix(2, 1));
    }

    void hoverJumpAndBack()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.findChild<cTooltip *>()->setDelayTime(3, 10);
        selectTable(w, QStringLiteral("tbl_UserSubscriber"));
        Grid *data = dataGrid(w);
        const int chCol = columnOf(data, QStringLiteral("CallHandlerObjectID"));
        const int idCol = columnOf(data, QStringLiteral("ObjectID"));
        QVERIFY(chCol > 0 && idCol > 0);
        const int row = 3;
        const QString subscriberId = data->textMatrix(row, idCol);
        const QString handlerId = data->textMatrix(row, chCol);
        data->scrollToCell(row, chCol);
        data->setCurrentCell(row, idCol);
        const QPoint at =
            data->visualRect(data->model()->index(data->modelRow(row), data->modelColumn(chCol))).center();

        // Hovering the call handler reference describes it in the tooltip.
        QTest::mouseMove(data->viewport(), at);
        QCOMPARE(data->mouseRow(), row);
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString,
                                    QStringLiteral("select DisplayName from vw_CallHandler where ObjectID='")
                                        + handlerId + u'\'',
                                    &e);
        QVERIFY(rs);
        const QString expected = QStringLiteral("Call Handler\r\nDisplay Name=") + rs->field(0).toString()
                                 + QStringLiteral("\r\n");
        QTRY_VERIFY2(w.navigator().referenceDescription().startsWith(expected),
                     qPrintable(w.navigator().referenceDescription()));
        QTRY_VERIFY(w.findChild<cTooltip *>()->isTipVisible());
        QCOMPARE(w.findChild<cTooltip *>()->shownText(), w.navigator().referenceDescription());
        QCOMPARE(w.state().pendingJumpObjectID, handlerId);

        // Without the option the tooltip stays quiet but the jump item keeps the text.
        action(w, "mnuShowObjectIDInToolTip")->trigger();
        QTest::mouseMove(data->viewport(), at + QPoint(0, data->rowHeight(0)));
        QTest::mouseMove(data->viewport(), at);
        QVERIFY(!w.findChild<cTooltip *>()->isTipVisible());
        QVERIFY(!w.navigator().referenceDescription().isEmpty());
        action(w, "mnuShowObjectIDInToolTip")->trigger();

        // Right button: the menu offers the jump with the description as caption.
        QTest::mouseClick(data->viewport(), Qt::RightButton, {}, at);
        QTRY_VERIFY(child<QMenu>(w, "mnuGridDataPopup")->isVisible());
        QVERIFY(action(w, "mnuJump")->isVisible());
        QCOMPARE(action(w, "mnuJump")->text(),
                 QString(w.navigator().referenceDescription()).replace(QStringLiteral("\r\n"), QStringLiteral("  ")));
        QCOMPARE(data->row(), row);
        // The tip stays away while the menu is open, even after its delay has passed.
        QTest::qWait(100);
        QVERIFY(!w.findChild<cTooltip *>()->isTipVisible());
        child<QMenu>(w, "mnuGridDataPopup")->close();
        action(w, "mnuJump")->trigger();
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("tbl_CallHandler"));
        const int handlerIdCol = columnOf(dataGrid(w), QStringLiteral("ObjectID"));
        QTRY_COMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), handlerIdCol), handlerId);
        QCOMPARE(dataGrid(w)->gridModel()->markedRow(), dataGrid(w)->modelRow(dataGrid(w)->row()));
        QVERIFY(child<QPushButton>(w, "cmdBack")->isEnabled());

        // Back returns to the subscriber row.
        QTest::mouseClick(child<QPushButton>(w, "cmdBack"), Qt::LeftButton);
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("tbl_UserSubscriber"));
        QTRY_COMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), columnOf(dataGrid(w), QStringLiteral("ObjectID"))),
                     subscriberId);
        QVERIFY(!child<QPushButton>(w, "cmdBack")->isEnabled());

        // Over the header, no reference.
        QTest::mouseMove(dataGrid(w)->horizontalHeader()->viewport(),
                         QPoint(dataGrid(w)->frozenView()->width() + 20, 5));
        QTRY_COMPARE(dataGrid(w)->mouseRow(), 0);
        QCOMPARE(w.findChild<cTooltip *>()->ToolText(dataGrid(w)), QString());
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
    }

    void jumpsSwitchListingModesAndKeepHistory()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuUseViews")->trigger();
        selectTable(w, QStringLiteral("vw_Subscriber"));
        // A target with a view is looked up as that view; one without switches to tables.
        w.state().pendingJumpTable = QStringLiteral("tbl_UserSubscriber");
        w.state().pendingJumpObjectID.clear();
        w.navigator().jump();
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("vw_Subscriber"));
        w.state().pendingJumpTable = QStringLiteral("tbl_Location");
        w.navigator().jump();
        QVERIFY(action(w, "mnuUseTables")->isChecked());
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("tbl_Location"));
        QCOMPARE(w.navigator().state().history().index(), 2);
        QVERIFY(child<QPushButton>(w, "cmdBack")->isEnabled());
        w.navigator().back();
        QVERIFY(action(w, "mnuUseViews")->isChecked());
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("vw_Subscriber"));
        // Choosing a database again starts the history afresh.
        action(w, "mnuOrvexDirDB")->trigger();
        QCOMPARE(w.navigator().state().history().index(), 0);
        QVERIFY(!child<QPushButton>(w, "cmdBack")->isEnabled());
    }

    void findObjectIdJumpsToTheRow()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString,
                                    QStringLiteral("select ObjectID from tbl_DistributionList"), &e);
        const QString id = rs->field(0).toString();
        msg.inputs.enqueue(QStringLiteral("{") + id.toLower() + QStringLiteral("}"));
        w.navigator().findObjectId();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("Object ID to search for")});
        // The tables are searched on a database thread; the jump follows.
        QTRY_COMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("tbl_DistributionList"));
        QTRY_COMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), columnOf(dataGrid(w), QStringLiteral("ObjectID"))),
                     id);
        msg.clear();
        msg.inputs.enqueue(QStringLiteral("not-a-guid"));
        w.navigator().findObjectId();
        QCOMPARE(msg.messages.last(), QStringLiteral("Invalid ObjectID GUID value"));
        msg.clear();
        msg.inputs.enqueue(QStringLiteral("00000000-0000-0000-0000-000000000000"));
        w.navigator().findObjectId();
        QTRY_COMPARE(msg.messages.last(), QStringLiteral("No match found"));
        msg.clear();
        msg.inputs.enqueue(std::nullopt);
        w.navigator().findObjectId();
        QCOMPARE(msg.messages.size(), 1); // the prompt only
    }

    void searchAcrossTablesMatchByMatch()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString, QStringLiteral("select DisplayName from tbl_Location"),
                                    &e);
        const QString name = rs->field(0).toString();
        w.navigator().runSearch(name.toUpper(), true, false);
        QVERIFY(w.navigator().isSearching());
        QTRY_VERIFY(!w.navigator().isSearching());
        auto *findNext = child<QDialog>(w, "frmFindNextCrossTableMatch");
        QVERIFY(findNext);
        QTRY_VERIFY(findNext->isVisible());
        // The question stands over the middle of the main window.
        QVERIFY((findNext->frameGeometry().center() - w.frameGeometry().center()).manhattanLength() < 10);
        QCOMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), dataGrid(w)->col()).compare(name, Qt::CaseInsensitive), 0);
        // Walk on with "Yes" until the end: the question has the keyboard, Enter says yes.
        auto *yes = findNext->findChild<QPushButton *>(QStringLiteral("cmdYes"));
        int matches = 1;
        while (findNext->isVisible() && matches < 500) {
            QTRY_COMPARE(QApplication::focusWidget(), yes);
            if (matches % 2)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            else
                QTest::mouseClick(yes, Qt::LeftButton);
            // The next match shows once its table's rows are in; the end says so.
            QTRY_VERIFY(!w.navigator().isSearching() && (findNext->isVisible() || !msg.messages.isEmpty()));
            if (findNext->isVisible()) {
                QCOMPARE(dataGrid(w)
                             ->textMatrix(dataGrid(w)->row(), dataGrid(w)->col())
                             .compare(name, Qt::CaseInsensitive),
                         0);
                ++matches;
            }
        }
        QCOMPARE(msg.messages, QStringList{QStringLiteral("No more matches found.")});
        QCOMPARE(w.navigator().state().search()->matchCount(), matches);

        // Esc stops a walk over a slow server; the status bar says so and no end message is shown.
        msg.clear();
        {
            auto previous = db::installSessionPool(
                std::make_unique<db::SessionPool>([](const db::ConnectionTarget &t, db::Error *err) {
                    return db::withDelay(db::openEngineSession(t, err), std::chrono::milliseconds(20));
                }));
            const auto restore = qScopeGuard([&] { db::installSessionPool(std::move(previous)); });
            w.navigator().runSearch(QStringLiteral("zq-nowhere-qz"), false, false);
            QTRY_COMPARE(w.statusBar()->currentMessage().startsWith(QStringLiteral("Searching ")), true);
            QTest::keyClick(&w, Qt::Key_Escape);
            QTRY_VERIFY(!w.navigator().isSearching());
        }
        QVERIFY(msg.messages.isEmpty());
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Search stopped"));
        msg.clear();
        w.navigator().runSearch(QStringLiteral("zq-nowhere-qz"), false, false);
        QTRY_VERIFY(!w.navigator().isSearching());
        QCOMPARE(msg.messages, QStringList{QStringLiteral("No matches found for any row in any table on the currently "
                                                          "selected database")});

        // The options dialog refuses an empty text.
        msg.clear();
        frmCrossTableSearchOptions options(msg);
        options.cmdSearch_Click();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("You must select a string to search for")});
        options.searchBox()->setText(QStringLiteral("abc"));
        options.partialBox()->setChecked(true);
        options.cmdSearch_Click();
        QCOMPARE(options.searchText(), QStringLiteral("abc"));
        QVERIFY(!options.exactMatch());
    }

    // "Object View" opens the one object view through the window context.
    void objectViewOpensOnce()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuOrvexDynDB")->trigger();
        action(w, "mnuObjectView")->trigger();
        QCOMPARE(msg.messages,
                 QStringList{QStringLiteral("You must have the OrvexDirDB database selected to use the object view.")});
        QVERIFY(!ctx.openedWindow(QStringLiteral("frmObjectView")));
        action(w, "mnuOrvexDirDB")->trigger();
        action(w, "mnuObjectView")->trigger();
        QPointer<QWidget> view = ctx.openedWindow(QStringLiteral("frmObjectView"));
        QVERIFY(view);
        QVERIFY(view->isVisible());
        QCOMPARE(view->windowTitle(), QStringLiteral("KORVA - Object View"));
        action(w, "mnuObjectView")->trigger();
        QCOMPARE(ctx.openedWindow(QStringLiteral("frmObjectView")), view.data());
        int shown = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            shown += top->objectName() == u"frmObjectView" && top->isVisible() ? 1 : 0;
        QCOMPARE(shown, 1);
        view->close();
        QTRY_VERIFY(!view);
        action(w, "mnuObjectView")->trigger();
        QVERIFY(ctx.openedWindow(QStringLiteral("frmObjectView")));
    }

    // Every tool window of the View menu opens from its item, once, and again after it is closed.
    void viewMenuOpensEachToolWindowOnce()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // A small screen: a window placed for a larger one must still fit on it.
        const QRect screen = w.screen()->availableGeometry();
        auto store = openSettings();
        for (const char *key : {"Left", "Top", "Width", "Height"})
            store->setValue(QStringLiteral("Settings/Query%1").arg(QLatin1String(key)), 40000);
        store->sync();
        const std::pair<const char *, const char *> items[] = {
            {"mnuQueryBuilder", "frmQueryBuilder"},
            {"mnuStoredProcs", "frmStoredProcs"},
            {"mnuRegistry", "frmRegistry"},
            {"mnuOrvexConfigurationTree", "frmOrvexConfiguration"},
        };
        for (const auto &[item, name] : items) {
            const QString window = QString::fromLatin1(name);
            QAction *a = action(w, item);
            QVERIFY2(a->isEnabled(), item);
            a->trigger();
            QPointer<QWidget> opened = ctx.openedWindow(window);
            QVERIFY2(opened && opened->isVisible(), name);
            // It stays above the main window, on the screen.
            QVERIFY2(opened->windowHandle() && opened->windowHandle()->transientParent() == w.windowHandle(), name);
            QVERIFY2(screen.contains(opened->frameGeometry()), name);
            a->trigger();
            QCOMPARE(ctx.openedWindow(window), opened.data());
            opened->close();
            QTRY_VERIFY(!opened);
            a->trigger();
            QVERIFY2(ctx.openedWindow(window), name);
            ctx.openedWindow(window)->close();
        }
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'|')));
    }

    // Help > About > Change Language: the main window's menus in German, and back.
    void languageChosenInTheAboutWindow()
    {
        const QDir built(builtProgramDir);
        if (builtProgramDir.isEmpty() || !built.exists(QStringLiteral("korva_DEU.dll")))
            QSKIP("the language libraries are built beside the program (run through CTest)");
        const QDir program(fx.filePath(QStringLiteral("program")));
        for (const QString &name : {QStringLiteral("korva_DEU.dll"), QStringLiteral("korva_ENU.dll")}) {
            QFile::remove(program.filePath(name));
            QVERIFY(QFile::copy(built.filePath(name), program.filePath(name)));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto menuTitles = [&w] {
            QStringList titles;
            for (QAction *a : w.menuBar()->actions())
                titles << a->text();
            return titles;
        };
        const QStringList english = menuTitles();
        QCOMPARE(english.first(), QStringLiteral("&File"));

        const auto choose = [&](const QString &tag) {
            action(w, "mnuAbout")->trigger();
            auto *about = qobject_cast<QDialog *>(ctx.openedWindow(QStringLiteral("frmAbout")));
            QVERIFY(about && about->isVisible() && about->isModal());
            QVERIFY(QTest::qWaitForWindowExposed(about));
            QTest::mouseClick(about->findChild<QLabel *>(QStringLiteral("lblChangeLanguage")), Qt::LeftButton, {},
                              QPoint(4, 4));
            QMenu *menu = about->findChild<QMenu *>(QStringLiteral("mnuSelectLanguage"));
            QTRY_VERIFY(menu->isVisible());
            QAction *item = nullptr;
            for (QAction *a : menu->actions())
                item = a->data().toString() == tag ? a : item;
            QVERIFY2(item, qPrintable(tag));
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
            QTRY_VERIFY(!menu->isVisible());
            QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QVERIFY(!about->isVisible());
        };
        choose(QStringLiteral(" 1031"));
        // A failure below must not leave the next tests in German.
        const auto backToEnglish = qScopeGuard([] { modLocalize::programLanguages().choose(1033); });
        QCOMPARE(menuTitles(),
                 (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Ansicht"), QStringLiteral("Daten&bank"),
                              QStringLiteral("&Optionen"), QStringLiteral("&Hilfe")}));
        QCOMPARE(action(w, "mnuQueryBuilder")->text(), QStringLiteral("Abfrage-Editor"));
        // A window opened now comes up in German too.
        action(w, "mnuQueryBuilder")->trigger();
        QWidget *query = ctx.openedWindow(QStringLiteral("frmQueryBuilder"));
        QVERIFY(query);
        QCOMPARE(query->findChild<QPushButton *>(QStringLiteral("cmdExecute"))->text(), QStringLiteral("&Ausführen"));
        QPointer<QWidget> closing = query;
        query->close();
        QTRY_VERIFY(!closing);

        // Texts the program sets as it goes come in German as well: captions
        // with a server's name, the lists' headers, the history's placeholder.
        ctx.ownerState().remoteLabel = QStringLiteral("ELSEWHERE\\ORVEX2");
        action(w, "mnuQueryBuilder")->trigger();
        QTRY_VERIFY(ctx.openedWindow(QStringLiteral("frmQueryBuilder")));
        query = ctx.openedWindow(QStringLiteral("frmQueryBuilder"));
        QCOMPARE(query->windowTitle(), QStringLiteral("Abfrage-Editor - ELSEWHERE\\ORVEX2"));
        QTest::mouseClick(query->findChild<QPushButton *>(QStringLiteral("cmdPreviousQueries")), Qt::LeftButton);
        QMenu *history = query->findChild<QMenu *>(QStringLiteral("mnuPreviousQueriesPopup"));
        QTRY_VERIFY(history->isVisible());
        QCOMPARE(history->actions().first()->text(), QStringLiteral("Keine früheren Abfragen gespeichert"));
        history->close();
        selectTable(w, QStringLiteral("tbl_Alias"));
        QCOMPARE(tablesGrid(w)->textMatrix(0, 1), QStringLiteral("Tabellenname"));
        QCOMPARE(columnsGrid(w)->textMatrix(0, 1), QStringLiteral("Spaltenname"));
        // No text of any open window is English that the library has in German.
        QTranslator german;
        QVERIFY(german.load(built.filePath(QStringLiteral("korva_DEU.dll"))));
        QStringList untranslated;
        const auto check = [&](const QString &text) {
            const QString de = german.translate("KORVA", text.toUtf8().constData());
            if (!de.isEmpty() && de != text)
                untranslated << text;
        };
        for (QWidget *window : {static_cast<QWidget *>(&w), query}) {
            check(window->windowTitle().section(QStringLiteral(" - "), 0, 0));
            for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
                check(b->text());
            for (QLabel *l : window->findChildren<QLabel *>())
                check(l->text());
            for (QAction *a : window->findChildren<QAction *>())
                check(a->text());
        }
        for (Grid *g : {tablesGrid(w), columnsGrid(w)})
            check(g->textMatrix(0, 1));
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u'|')));

        choose(QStringLiteral(" 1033"));
        QCOMPARE(menuTitles(), english);
        QCOMPARE(action(w, "mnuQueryBuilder")->text(), QStringLiteral("Query Builder"));
        QCOMPARE(query->windowTitle(), QStringLiteral("Query Builder - ELSEWHERE\\ORVEX2"));
        QCOMPARE(tablesGrid(w)->textMatrix(0, 1), QStringLiteral("Table Name"));
        query->close();
        ctx.ownerState().remoteLabel.clear();
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'|')));
    }

    // The German library has every text of every window's menus, captions and controls.
    void germanTranslationCoversEveryWindow()
    {
        QTranslator german;
        if (builtProgramDir.isEmpty() || !german.load(QDir(builtProgramDir).filePath(QStringLiteral("korva_DEU.dll"))))
            QSKIP("the language libraries are built beside the program (run through CTest)");
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        QList<QWidget *> windows{&w};
        for (const char *name : {"frmObjectView", "frmQueryBuilder", "frmRegistry", "frmOrvexConfiguration",
                                 "frmRemoteConnection", "frmAbout", "frmHelp", "frmStoredProcs", "frmServerFiles"})
            if (QWidget *opened = ctx.openWindow(QLatin1String(name)))
                windows << opened;
        QStringList missing;
        const auto check = [&](QObject *o, const QString &text) {
            if (!text.trimmed().isEmpty() && !o->property("korvaNoTranslation").toBool()
                && german.translate("KORVA", text.toUtf8().constData()).isEmpty())
                missing << o->objectName() + QStringLiteral(": ") + text;
        };
        for (QWidget *window : windows) {
            QList<QWidget *> widgets = window->findChildren<QWidget *>();
            widgets.prepend(window);
            for (QWidget *c : widgets) {
                if (c->windowType() == Qt::ToolTip)
                    continue;
                if (c->isWindow() && c != &w) // the main window's caption names the server
                    check(c, c->windowTitle());
                if (auto *label = qobject_cast<QLabel *>(c); label && label->objectName() != u"lblVersion")
                    check(label, label->text());
                if (auto *button = qobject_cast<QAbstractButton *>(c))
                    check(button, button->text());
                if (auto *tabs = qobject_cast<QTabWidget *>(c))
                    for (int i = 0; i < tabs->count(); ++i)
                        check(tabs->widget(i), tabs->tabText(i));
            }
            for (QAction *a : window->findChildren<QAction *>())
                if (!a->isSeparator())
                    check(a, a->text());
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral("\n"))));
        for (QWidget *window : windows)
            if (window != &w)
                window->hide();
    }

    // Help > Help shows the guide beside the program, and its links work.
    void helpMenuShowsTheGuide()
    {
        const QDir program(fx.filePath(QStringLiteral("program")));
        QFile::remove(program.filePath(QStringLiteral("KORVA.htm")));
        QVERIFY(QFile::copy(QDir(builtProgramDir).filePath(QStringLiteral("KORVA.htm")),
                            program.filePath(QStringLiteral("KORVA.htm"))));
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        action(w, "mnuHelp")->trigger();
        QWidget *help = ctx.openedWindow(QStringLiteral("frmHelp"));
        QVERIFY(help && help->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(help));
        auto *browser = help->findChild<QTextBrowser *>();
        QVERIFY(browser->toPlainText().contains(QStringLiteral("KORVA user guide")));
        // The contents' links lead into the page.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        help->close();
    }

    // The jump asked for by another window: table, row, and the Back history.
    void jumpRequestedThroughTheContext()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        QCOMPARE(ctx.jumpTarget(), static_cast<JumpTarget *>(&w));
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString, QStringLiteral("select ObjectID from tbl_CallHandler"),
                                    &e);
        const QString id = rs->field(0).toString();
        ctx.jumpTarget()->jumpToObject(QStringLiteral("tbl_CallHandler"), id);
        QCOMPARE(tablesGrid(w)->textMatrix(tablesGrid(w)->row(), 1), QStringLiteral("tbl_CallHandler"));
        QTRY_COMPARE(dataGrid(w)->textMatrix(dataGrid(w)->row(), columnOf(dataGrid(w), QStringLiteral("ObjectID"))),
                     id);
        QVERIFY(child<QPushButton>(w, "cmdBack")->isEnabled());
    }

    // Every grid of both windows, every column, under the mouse: moved over,
    // clicked and right-clicked where the events really land (frozen columns
    // are an overlay with a viewport of its own).
    void mouseOverEveryGridOfBothWindows()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.resize(1100, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.findChild<cTooltip *>()->setDelayTime(3, 5);
        selectTable(w, QStringLiteral("tbl_UserSubscriber"));
        QVERIFY(dataGrid(w)->frozenColumns() > 0);
        test::sweepGrid(tablesGrid(w), 2);
        test::sweepGrid(columnsGrid(w), 2);
        test::sweepGrid(dataGrid(w), 2);

        QVERIFY(w.isVisible());
    }

    // A table that fails after its first screen of rows: the rows read so far
    // and the previous count do not pose as the table, and exports refuse.
    void partialLoadIsNotShownAsTheTable()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        db::Error e;
        db::executeText(w.state().connectionString,
                        QStringLiteral("CREATE TABLE tbl_Flaky(ObjectID TEXT PRIMARY KEY, Payload TEXT); "
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                       "INSERT INTO tbl_Flaky SELECT 'id-' || i, CASE WHEN i = 2500 THEN 'broken' ELSE "
                                       "'1' END FROM n"),
                        &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto drop = qScopeGuard([&] {
            db::Error ignored;
            db::executeText(w.state().connectionString, QStringLiteral("DROP TABLE tbl_Flaky"), &ignored);
        });
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("True"));
        }
        action(w, "mnuShowWhereClause")->trigger();
        action(w, "mnuOrvexDirDB")->trigger();
        selectTable(w, QStringLiteral("tbl_Location"));
        QVERIFY(!child<QLineEdit>(w, "txtRows")->text().isEmpty());
        selectTable(w, QStringLiteral("tbl_Flaky"));
        msg.clear();
        // json() of a text that is no JSON fails at row 2,500, long after the first screen.
        child<QPlainTextEdit>(w, "txtWhere")
            ->setPlainText(QStringLiteral("json(CASE WHEN Payload = 'broken' THEN 'x' ELSE '1' END) = 1"));
        QTest::mouseClick(child<QPushButton>(w, "cmdApply"), Qt::LeftButton);
        QVERIFY(test::waitForRows(w));
        QCOMPARE(msg.messages.size(), 2);
        QVERIFY(msg.messages[0].startsWith(QStringLiteral("Badly formed SQL query: ")));
        QCOMPARE(dataGrid(w)->rows(), 1);
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QString());
        msg.clear();
        const QString exported = fx.filePath(QStringLiteral("flaky.csv"));
        msg.fileNames.enqueue(exported);
        w.browser().exportGrid(false, false);
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(msg.messages[0].endsWith(QStringLiteral(") in procedure mnuExportEntireGrid_Click of Form frmMain")));
        QVERIFY(!QFile::exists(exported));
    }

    // Against a slow server the window paints and takes input while a large
    // table loads: the rows come from a loader thread in batches. The first
    // screen is painted once; the scroll bar shows the rows as they come.
    void windowRepaintsWhileASlowTableLoads()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        db::Error e;
        db::executeText(w.state().connectionString,
                        QStringLiteral(
                            "CREATE TABLE tbl_Big(ObjectID TEXT PRIMARY KEY, Alias TEXT, Note TEXT); "
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                            "INSERT INTO tbl_Big SELECT 'id-' || i, 'a' || i, 'note ' || i FROM n"),
                        &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto drop = qScopeGuard([&] {
            db::resetConnectionPool();
            db::Error ignored;
            db::executeText(w.state().connectionString, QStringLiteral("DROP TABLE tbl_Big"), &ignored);
        });
        action(w, "mnuOrvexDirDB")->trigger();
        w.resize(1000, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto previous = db::installSessionPool(
            std::make_unique<db::SessionPool>([](const db::ConnectionTarget &t, db::Error *err) {
                return db::withDelay(db::openEngineSession(t, err), std::chrono::milliseconds(20));
            }));
        const auto restore = qScopeGuard([&] { db::installSessionPool(std::move(previous)); });

        struct PaintCounter : QObject
        {
            QHash<QObject *, int> paintsWhileLoading;
            GridModel *model = nullptr;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Paint && model->isLoading() && model->rowCount() > 0)
                    ++paintsWhileLoading[watched];
                return false;
            }
        } counter;
        counter.model = dataGrid(w)->gridModel();
        dataGrid(w)->viewport()->installEventFilter(&counter);
        dataGrid(w)->verticalScrollBar()->installEventFilter(&counter);
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start();

        const int r = [&] {
            for (int row = 1; row < tablesGrid(w)->rows(); ++row)
                if (tablesGrid(w)->textMatrix(row, 1) == u"tbl_Big")
                    return row;
            return -1;
        }();
        QVERIFY(r > 0);
        tablesGrid(w)->scrollToCell(r, 1);
        QTest::mouseClick(tablesGrid(w)->viewport(), Qt::LeftButton, {},
                          tablesGrid(w)
                              ->visualRect(tablesGrid(w)->model()->index(tablesGrid(w)->modelRow(r), 0))
                              .center());
        const int ticksAtClick = ticks;
        QTRY_VERIFY(counter.model->rowCount() > 0); // the first screen, long before the last row
        QVERIFY(counter.model->isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!counter.model->isLoading(), 30000);
        QCOMPARE(counter.model->rowCount(), 40000);
        const int cellPaints = counter.paintsWhileLoading.value(dataGrid(w)->viewport());
        const int scrollPaints = counter.paintsWhileLoading.value(dataGrid(w)->verticalScrollBar());
        QVERIFY2(cellPaints >= 1 && scrollPaints >= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(cellPaints).arg(scrollPaints)));
        QVERIFY(ticks - ticksAtClick >= 10); // the event loop ran all along
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QStringLiteral("40000"));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
    }

    // Opening and closing the window leaves its stored placement as it was;
    // a placement off every screen brings the window onto one and is not kept.
    // Attaching to another server starts the window over; it stays where and
    // as large as the user has it.
    void startingOverKeepsTheWindowAsItIs()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(w.width() + 57, w.height() + 31);
        QTRY_VERIFY(w.isVisible());
        QTest::qWait(50);
        const QSize before = w.size();
        ctx.requestStartOver();
        QTest::qWait(200);
        QCOMPARE(w.size(), before);
        QVERIFY(tablesGrid(w)->rows() > 1);
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'|')));
    }

    void placementComesBackAsSavedRunAfterRun()
    {
        const QStringList keys{QStringLiteral("Settings/MainLeft"), QStringLiteral("Settings/MainTop"),
                               QStringLiteral("Settings/MainWidth"), QStringLiteral("Settings/MainHeight")};
        // A placement that fits the test's screen (800 by 800 pixels).
        const QStringList values{QStringLiteral("300"), QStringLiteral("1200"), QStringLiteral("11400"),
                                 QStringLiteral("9000")};
        {
            auto s = openSettings();
            for (int i = 0; i < keys.size(); ++i)
                s->setValue(keys[i], values[i]);
        }
        for (int run = 0; run < 3; ++run) {
            test::RecordingMessenger msg;
            WindowContext ctx(msg);
            frmMain w(ctx);
            QVERIFY(w.Form_Load(QString()));
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTest::qWait(200); // the frame arrives after the window is shown
            w.close();
            auto s = openSettings();
            for (int i = 0; i < keys.size(); ++i)
                QCOMPARE(s->value(keys[i]).toString(), values[i]);
        }
        {
            auto s = openSettings();
            s->setValue(keys[0], QStringLiteral("-99999999"));
            s->setValue(keys[1], QStringLiteral("99999999"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.screen()->availableGeometry().contains(w.frameGeometry()));
        w.close();
        auto s = openSettings();
        QVERIFY(s->value(keys[0]).toInt() > -99999999);
        QVERIFY(s->value(keys[1]).toInt() < 99999999);
    }

    // A cell typed over in edit mode changes that one row, found by its whole key.
    void editThroughTheKeyboardChangesOneRow()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QStringLiteral("/Edit")));
        db::Error e;
        db::executeText(w.state().connectionString,
                        QStringLiteral(
                            "CREATE TABLE tbl_Pair(Owner TEXT, Slot INTEGER, Label TEXT, PRIMARY KEY(Owner, Slot));"
                            "INSERT INTO tbl_Pair VALUES('x',1,'one'),('x',2,'two'),('y',2,'three')"),
                        &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto dropTable = qScopeGuard([&] {
            db::Error ignored;
            db::executeText(w.state().connectionString, QStringLiteral("DROP TABLE tbl_Pair"), &ignored);
        });
        action(w, "mnuOrvexDirDB")->trigger();
        w.resize(1000, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        selectTable(w, QStringLiteral("tbl_Pair"));
        Grid *data = dataGrid(w);
        QCOMPARE(w.browser().uniqueIdColumn(), QStringLiteral("Owner"));
        const int label = columnOf(data, QStringLiteral("Label"));
        QVERIFY(label > 0);
        data->scrollToCell(2, label);
        const QPoint at = data->visualRect(data->model()->index(1, data->modelColumn(label))).center();
        // Click the cell, F2 to edit, type over it, Enter.
        QTest::mouseClick(data->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(data->viewport(), Qt::Key_F2);
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = data->viewport()->findChild<QLineEdit *>()) && editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("TWO"));
        QTest::keyClick(editor, Qt::Key_Return);
        // Shown once the editor commits (through the event loop), then written on a database thread.
        QTRY_COMPARE(data->textMatrix(2, label), QStringLiteral("TWO"));
        QTRY_VERIFY(!data->gridModel()->hasPendingEdits());
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        auto rs = db::openResultSet(w.state().connectionString,
                                    QStringLiteral("SELECT Label FROM tbl_Pair ORDER BY Owner, Slot"), &e);
        QStringList labels;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            labels << rs->field(0).toString();
        QCOMPARE(labels, (QStringList{QStringLiteral("one"), QStringLiteral("TWO"), QStringLiteral("three")}));
        QCOMPARE(data->textMatrix(2, label), QStringLiteral("TWO"));
    }

    // Tables whose names hold brackets, quotes, dots and blanks are listed
    // with their columns and rows.
    void oddTableNamesBrowse()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        const QStringList names{QStringLiteral("tbl_odd]name"),  QStringLiteral("tbl_odd[name"),
                                QStringLiteral("tbl_odd'name"),  QStringLiteral("tbl_odd.name"),
                                QStringLiteral("tbl_odd\"name"), QStringLiteral("tbl_odd name")};
        db::Error e;
        for (const QString &n : names)
            db::executeText(w.state().connectionString,
                            QStringLiteral("CREATE TABLE %1([ObjectID] TEXT PRIMARY KEY, %2 TEXT); INSERT INTO %1 "
                                           "VALUES('id-1', 'v')")
                                .arg(sql::quoteBracketed(n), sql::quoteBracketed(QStringLiteral("col ") + n)),
                            &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto dropTables = qScopeGuard([&] {
            for (const QString &n : names) {
                db::Error ignored;
                db::executeText(w.state().connectionString, QStringLiteral("DROP TABLE ") + sql::quoteBracketed(n),
                                &ignored);
            }
        });
        action(w, "mnuOrvexDirDB")->trigger();
        for (const QString &n : names) {
            selectTable(w, n);
            QCOMPARE(columnsGrid(w)->rows(), 3);
            QCOMPARE(dataGrid(w)->rows(), 2);
            QCOMPARE(dataGrid(w)->textMatrix(1, columnOf(dataGrid(w), QStringLiteral("col ") + n)),
                     QStringLiteral("v"));
            QCOMPARE(w.browser().uniqueIdColumn(), QStringLiteral("ObjectID"));
            QVERIFY(child<QTextEdit>(w, "txtTableInfo")->toPlainText().startsWith(QStringLiteral("Table: ") + n));
        }
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
    }

    void stickyFileThatIsAFifoIsIgnored()
    {
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("True"));
        }
        const QString folder = fx.filePath(QStringLiteral("program/WhereFiles"));
        QDir().mkpath(folder);
        QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/OrvexDirDB_tbl_Alias.TXT")).constData(), 0600),
                 0);
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        selectTable(w, QStringLiteral("tbl_Alias"));
        QVERIFY(child<QPlainTextEdit>(w, "txtWhere")->toPlainText().isEmpty());
        QVERIFY(!child<QCheckBox>(w, "chkStickWhere")->isChecked());
        QVERIFY(dataGrid(w)->rows() > 1);
    }

    // In views mode the unique ID column is the view's base table's key, or
    // none: never the key of the table shown before.
    void uniqueIdColumnOfViews()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        selectTable(w, QStringLiteral("tbl_Alias"));
        QCOMPARE(w.browser().uniqueIdColumn(), QStringLiteral("Alias"));
        action(w, "mnuUseViews")->trigger();
        selectTable(w, QStringLiteral("vw_User"));
        QCOMPARE(w.browser().uniqueIdColumn(), QStringLiteral("ObjectID"));
        QCOMPARE(dataGrid(w)->textMatrix(0, 1), QStringLiteral("Alias"));
        QCOMPARE(dataGrid(w)->textMatrix(0, 2), QStringLiteral("ObjectID"));
        selectTable(w, QStringLiteral("vw_UserMailboxMap"));
        QCOMPARE(w.browser().uniqueIdColumn(), QString());
    }

    // A table that cannot be read, or an empty table list, shows nothing of
    // what was shown before.
    void nothingOfThePreviousTableStays()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        db::Error e;
        db::executeText(w.state().connectionString,
                        QStringLiteral("CREATE TABLE tbl_Doomed(ObjectID TEXT PRIMARY KEY)"), &e);
        action(w, "mnuOrvexDirDB")->trigger();
        selectTable(w, QStringLiteral("tbl_Location"));
        QVERIFY(dataGrid(w)->rows() > 1);
        db::executeText(w.state().connectionString, QStringLiteral("DROP TABLE tbl_Doomed"), &e);
        QVERIFY(!e);
        selectTable(w, QStringLiteral("tbl_Doomed"));
        QCOMPARE(columnsGrid(w)->rows(), 1);
        action(w, "mnuRefresh")->trigger();
        QVERIFY(test::waitForRows(w));
        QCOMPARE(dataGrid(w)->rows(), 1);
        QCOMPARE(child<QLineEdit>(w, "txtRows")->text(), QString());

        // A database that cannot be opened lists nothing and describes nothing.
        selectTable(w, QStringLiteral("tbl_Location"));
        QVERIFY(!child<QTextEdit>(w, "txtTableInfo")->toPlainText().isEmpty());
        const QString file = fx.root() + QStringLiteral("/data/OrvexRptDB.sqlite");
        QVERIFY(QFile::rename(file, file + QStringLiteral(".away")));
        const auto putBack = qScopeGuard([&] { QFile::rename(file + QStringLiteral(".away"), file); });
        action(w, "mnuOrvexRptDb")->trigger();
        QCOMPARE(tablesGrid(w)->rows(), 1);
        QCOMPARE(columnsGrid(w)->rows(), 1);
        QVERIFY(child<QTextEdit>(w, "txtTableInfo")->toPlainText().isEmpty());
        QVERIFY(child<QTextEdit>(w, "txtColumnInfo")->toPlainText().isEmpty());
        QCOMPARE(dataGrid(w)->rows(), 1);
    }

    void editModeWritesCellsBack()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QStringLiteral("/Edit")));
        QVERIFY(w.state().editMode);
        selectTable(w, QStringLiteral("tbl_User"));
        GridModel *model = dataGrid(w)->gridModel();
        QVERIFY(model->isEditable());
        const int col = dataGrid(w)->modelColumn(columnOf(dataGrid(w), QStringLiteral("DisplayName")));
        QVERIFY(model->setData(model->index(0, col), QStringLiteral("Edited Name"), Qt::EditRole));
        QTRY_VERIFY(!model->hasPendingEdits());
        const int idCol = dataGrid(w)->modelColumn(columnOf(dataGrid(w), QStringLiteral("ObjectID")));
        const QString id = model->text(0, idCol);
        db::Error e;
        auto rs = db::openResultSet(w.state().connectionString,
                                    QStringLiteral("select DisplayName from tbl_User where ObjectID='") + id + u'\'',
                                    &e);
        QVERIFY(rs);
        QCOMPARE(rs->field(0).toString(), QStringLiteral("Edited Name"));
        // A write the database refuses shows its error and keeps the old value.
        msg.clear();
        QVERIFY(model->setData(model->index(0, idCol), model->text(1, idCol), Qt::EditRole));
        QTRY_COMPARE(msg.messages.size(), 1);
        QVERIFY(!model->hasPendingEdits());
        QCOMPARE(model->text(0, idCol), id);
        // Views mode never edits.
        action(w, "mnuUseViews")->trigger();
        selectTable(w, QStringLiteral("vw_Subscriber"));
        QVERIFY(!dataGrid(w)->gridModel()->isEditable());
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
