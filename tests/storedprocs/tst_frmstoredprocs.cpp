#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "demo/directory.h"
#include "platform/database.h"
#include "platform/resultset.h"
#include "platform/sessionpool.h"
#include "platform/settings.h"
#include "platform/workstationinfo.h"
#include "storedprocs/codeeditor.h"
#include "storedprocs/frmstoredprocexecute.h"
#include "storedprocs/frmstoredprocs.h"
#include "storedprocs/frmstoredprocsource.h"
#include "storedprocs/storedprocwindows.h"
#include "support/frmsplashscreen.h"
#include "support/windowplacement.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QScopeGuard>
#include <QtGui/QAccessible>
#include <QtGui/QScreen>
#include <QtGui/QTextBlock>
#include <QtGui/QWindow>
#include <QtGui/QTextLayout>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTextEdit>

using namespace korva;
using namespace korva::storedprocs;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

// Opens a menu of a menu bar and chooses an item, with the mouse.
void choose(QMenuBar *bar, QMenu *menu, QAction *item)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

void clickCell(Grid *g, int row, int col)
{
    const QModelIndex i = g->model()->index(g->modelRow(row), g->modelColumn(col));
    g->scrollTo(i);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(i).center());
}

int rowWith(Grid *g, int col, const QString &text)
{
    for (int r = 1; r < g->rows(); ++r)
        if (g->textMatrix(r, col) == text)
            return r;
    return -1;
}

QStringList column(Grid *g, int col)
{
    QStringList texts;
    for (int r = 1; r < g->rows(); ++r)
        texts << g->textMatrix(r, col);
    return texts;
}

QStringList tableColumn(QTableWidget *t, int col)
{
    QStringList texts;
    for (int r = 0; r < t->rowCount(); ++r)
        texts << t->item(r, col)->text();
    return texts;
}

QColor colourAt(QTextEdit *box, int position)
{
    QTextCursor c(box->document());
    c.setPosition(position + 1);
    return c.charFormat().foreground().color();
}

QString plain(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// A server with a procedure list of the test's own.
class ListingSession final : public db::Session
{
public:
    explicit ListingSession(QList<db::ProcedureInfo> list) : m_list(std::move(list)) {}
    std::unique_ptr<db::RowSource> query(const QString &, bool, db::Error *e) override { return refuse(e), nullptr; }
    db::ExecOutcome execute(const QString &, db::Error *e) override { return refuse(e), db::ExecOutcome{}; }
    db::ExecOutcome callProcedure(const QString &, const QList<db::ProcedureArgument> &, db::Error *e) override
    {
        return refuse(e), db::ExecOutcome{};
    }
    QList<db::ProcedureInfo> procedures(db::Error *) override { return m_list; }
    QString primaryKeyColumn(const QString &, db::Error *) override { return {}; }
    QStringList primaryKeyColumns(const QString &, db::Error *) override { return {}; }

private:
    static void refuse(db::Error *e) { *e = {db::kErrCommand, QStringLiteral("not here")}; }
    QList<db::ProcedureInfo> m_list;
};

// Stands in for the main window that the splash window is placed over.
class MainWindowStandIn final : public QMainWindow, public JumpTarget
{
public:
    void jumpToObject(const QString &, const QString &) override {}
};

} // namespace

// The stored procedure windows on the demo installation, driven through a
// window context with a recording messenger.
class tst_frmStoredProcs : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;
    QString directory; // the directory database's connection string
    QString dictionaryFolder;

    template<class T>
    static T *child(QObject *w, const char *name)
    {
        return w->findChild<T *>(QString::fromLatin1(name));
    }
    static Grid *procs(QObject *w) { return child<Grid>(w, "gridSPs"); }
    static Grid *params(QObject *w) { return child<Grid>(w, "gridParams"); }

    frmStoredProcs *openBrowser()
    {
        auto *w = qobject_cast<frmStoredProcs *>(fx.ctx().openWindow(kBrowserWindow));
        if (w && !QTest::qWaitFor([w] { return !w->isLoading(); }, 10000))
            return nullptr;
        return w;
    }
    static void selectProcedure(frmStoredProcs *w, const QString &name)
    {
        const int row = rowWith(procs(w), 1, name);
        QVERIFY2(row > 0, qPrintable(name));
        clickCell(procs(w), row, 1);
        QCOMPARE(procs(w)->row(), row);
    }
    frmStoredProcExecute *executeWindow()
    {
        return qobject_cast<frmStoredProcExecute *>(fx.ctx().openedWindow(kExecuteWindow));
    }
    static QTableWidget *valueGrid(frmStoredProcExecute *w) { return child<QTableWidget>(w, "gridParams"); }

    // Types a value into a Value cell as a user does: click, F2, type, Enter.
    static void typeValue(frmStoredProcExecute *w, const QString &parameter, const QString &text)
    {
        QTableWidget *t = valueGrid(w);
        const int row = int(tableColumn(t, 0).indexOf(parameter));
        QVERIFY2(row >= 0, qPrintable(parameter));
        QTableWidgetItem *item = t->item(row, 3);
        t->scrollToItem(item);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(item).center());
        QTest::keyClick(t, Qt::Key_F2);
        QLineEdit *editor = t->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!t->viewport()->findChild<QLineEdit *>() || !t->viewport()->findChild<QLineEdit *>()->isVisible());
    }
    static void runAndWait(frmStoredProcExecute *w)
    {
        QSignalSpy finished(w, &frmStoredProcExecute::executionFinished);
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
    }
    QString scalar(const QString &sql)
    {
        db::Error e;
        auto rs = db::openResultSet(directory, sql, &e);
        if (!rs || rs->eof())
            return QStringLiteral("<none: %1>").arg(e.description);
        return rs->field(0).toString();
    }
    // The question asked before a procedure that changes data, as a user reads it.
    static QString changeQuestion(const QString &procedure, const QString &database = QStringLiteral("OrvexDirDB"))
    {
        return QStringLiteral("The stored procedure %1 changes data.\n\nRun it on server %2\\zandelorvex, "
                              "database %3?")
            .arg(procedure, WorkStationInfo::instance().ComputerName(), database);
    }
    QString auditAlias() const
    {
        return WorkStationInfo::instance().Domain() + u'\\' + WorkStationInfo::instance().UserName();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
        registerStoredProcedureWindows(fx.ctx());
        SharedState &s = fx.ctx().ownerState();
        s.serverName = WorkStationInfo::instance().ComputerName();
        directory = fx.connectionString();
        dictionaryFolder = fx.dictionaryFolder();
    }
    void init()
    {
        fx.msg.clear();
        SharedState &s = fx.ctx().ownerState();
        s.connectionString = directory;
        s.dictionaryFolder = dictionaryFolder;
        s.serverName = WorkStationInfo::instance().ComputerName();
        s.remoteLabel.clear();
    }
    void cleanup()
    {
        for (QWidget *w : fx.ctx().openedWindows())
            w->close();
        QTRY_VERIFY(fx.ctx().openedWindows().isEmpty());
    }

    void fromTheViewMenuToARun()
    {
        QMainWindow host;
        QMenu *view = host.menuBar()->addMenu(QStringLiteral("&View"));
        QAction *item = view->addAction(QStringLiteral("Stored Procedures"));
        item->setObjectName(QStringLiteral("mnuStoredProcs"));
        connect(item, &QAction::triggered, this, [this] { fx.ctx().openWindow(kBrowserWindow); });
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        choose(host.menuBar(), view, item);
        auto *w = qobject_cast<frmStoredProcs *>(fx.ctx().openedWindow(kBrowserWindow));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Orvex Stored Procedures"));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isLoading(), 10000);
        QVERIFY(!w->splash()->isVisible());

        // The product's procedures only, in any case; the first one shown.
        const QStringList names = column(procs(w), 1);
        QCOMPARE(names.size(), demo::directoryProcedures().size() - 2);
        for (const char *name : {"csp_SubscriberModifyName", "sp_FindObject", "SP_OrvexVersion", "csp_AgencySetRate"})
            QVERIFY2(names.contains(QString::fromLatin1(name)), name);
        QVERIFY(!names.contains(QStringLiteral("spRebuildDirectoryIndexes")));
        QVERIFY(!names.contains(QStringLiteral("xsp_PurgeTombstones")));
        QCOMPARE(procs(w)->row(), 1);
        // A screen reader going through the list hears names, never whole procedure texts.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(procs(w));
        QVERIFY(list && list->tableInterface());
        for (int r = 0; r < list->tableInterface()->rowCount(); ++r)
            for (int c = 0; c < list->tableInterface()->columnCount(); ++c)
                if (QAccessibleInterface *cell = list->tableInterface()->cellAt(r, c))
                    QVERIFY2(!cell->text(QAccessible::Name).contains(u"CREATE PROCEDURE", Qt::CaseInsensitive),
                             qPrintable(QStringLiteral("%1,%2").arg(r).arg(c)));
        QVERIFY(child<QTextEdit>(w, "txtSPInfo")->toPlainText().startsWith(u"Stored_Procedure: " + names[0].toLower()));

        selectProcedure(w, QStringLiteral("csp_SubscriberModifyName"));
        Grid *p = params(w);
        QCOMPARE(p->textMatrix(0, 1), QStringLiteral("Name"));
        QCOMPARE(p->textMatrix(0, 2), QStringLiteral("Type"));
        QCOMPARE(p->textMatrix(0, 3), QStringLiteral("Length"));
        QCOMPARE(p->textMatrix(0, 5), QStringLiteral("Output"));
        QVERIFY(p->isColumnHidden(p->modelColumn(4)));
        QCOMPARE(column(p, 1), (QStringList{"@ObjectID", "@FirstName", "@LastName", "@DisplayName", "@AuditComponent",
                                            "@AuditAlias"}));
        QCOMPARE(p->textMatrix(2, 2), QStringLiteral("nvarchar"));
        QCOMPARE(p->textMatrix(2, 3), QStringLiteral("64"));
        QCOMPARE(column(p, 5), QStringList(6, QStringLiteral("0")));
        QCOMPARE(p->row(), 1);
        auto *paramInfo = child<QTextEdit>(w, "txtParamInfo");
        QVERIFY(paramInfo->toPlainText().startsWith(u"Parameter: @ObjectID\n\nDatatype: uniqueidentifier"));

        // A parameter described by a column with a length restriction.
        clickCell(p, 4, 1);
        QVERIFY2(paramInfo->toPlainText().endsWith(
                     u"\nRestrictions: a display name as the administration console accepts it.\n\nmin=1, max=64\n"),
                 qPrintable(paramInfo->toPlainText()));
        QCOMPARE(colourAt(paramInfo, 0), kBlue);

        // The source, then another procedure's in the same view.
        QTest::mouseClick(child<QPushButton>(w, "cmdViewSource"), Qt::LeftButton);
        auto *source = qobject_cast<frmStoredProcSource *>(fx.ctx().openedWindow(kSourceWindow));
        QVERIFY(source);
        QCOMPARE(source->windowTitle(), QStringLiteral("csp_SubscriberModifyName"));
        QVERIFY(source->editor()->toPlainText().startsWith(u"CREATE PROCEDURE csp_SubscriberModifyName\n"));
        QVERIFY(source->isColoured());
        QVERIFY(!source->editor()->document()->firstBlock().layout()->formats().isEmpty());
        selectProcedure(w, QStringLiteral("sp_FindObject"));
        QTest::mouseClick(child<QPushButton>(w, "cmdViewSource"), Qt::LeftButton);
        QCOMPARE(fx.ctx().openedWindow(kSourceWindow), source);
        QCOMPARE(source->windowTitle(), QStringLiteral("sp_FindObject"));
        QVERIFY(source->editor()->toPlainText().startsWith(u"CREATE PROCEDURE sp_FindObject\n"));
        QVERIFY(!source->editor()->toPlainText().contains(u"csp_SubscriberModifyName"));

        // Run it with typed values: the subscriber is renamed and the change audited.
        selectProcedure(w, QStringLiteral("csp_SubscriberModifyName"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        frmStoredProcExecute *run = executeWindow();
        QVERIFY(run);
        QCOMPARE(run->windowTitle(), QStringLiteral("Execute Stored Procedure: csp_SubscriberModifyName"));
        QTableWidget *t = valueGrid(run);
        QCOMPARE(tableColumn(t, 0), column(p, 1));
        QCOMPARE(tableColumn(t, 3), (QStringList{"", "", "", "", "KORVA", auditAlias()}));
        const QString subscriber = scalar(QStringLiteral("SELECT ObjectID FROM tbl_UserSubscriber ORDER BY ObjectID"));
        typeValue(run, QStringLiteral("@ObjectID"), subscriber);
        typeValue(run, QStringLiteral("@FirstName"), QStringLiteral("Zelda"));
        QTRY_COMPARE(t->item(1, 3)->text(), QStringLiteral("Zelda"));
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
        // Its name says it changes data: it runs once the user agrees.
        fx.msg.answers.enqueue(true);
        runAndWait(run);
        QCOMPARE(fx.msg.messages, (QStringList{changeQuestion(QStringLiteral("csp_SubscriberModifyName")),
                                               QStringLiteral("Stored procedure complete")}));
        // Three updates and the audit row; no rows, no outputs, the return value 0.
        QVERIFY(child<QWidget>(run, "fraResults")->isVisible());
        QCOMPARE(child<QLabel>(run, "lblRecordsAffected")->text(), QStringLiteral("4"));
        QCOMPARE(child<QLabel>(run, "lblReturnValue")->text(), QStringLiteral("0"));
        QVERIFY(!child<QTabWidget>(run, "tabResults")->isVisible());
        QCOMPARE(scalar(QStringLiteral("SELECT FirstName FROM tbl_User WHERE ObjectID='%1'").arg(subscriber)),
                 QStringLiteral("Zelda"));
        QCOMPARE(scalar(
                     QStringLiteral("SELECT Component || '|' || AuditAlias FROM tbl_AuditLog WHERE TargetObjectID='%1' "
                                    "AND Operation='csp_SubscriberModifyName'")
                         .arg(subscriber)),
                 QStringLiteral("KORVA|") + auditAlias());
    }

    void descriptionsOnTheDemo()
    {
        frmStoredProcs *w = openBrowser();
        QVERIFY(w);
        auto *spInfo = child<QTextEdit>(w, "txtSPInfo");
        auto *paramInfo = child<QTextEdit>(w, "txtParamInfo");

        // On the server, not in the dictionary.
        selectProcedure(w, QStringLiteral("csp_DtmfAccessIdAssign"));
        QCOMPARE(spInfo->toPlainText(), QStringLiteral("Stored_Procedure: \nDescription: Exceptions:\n"));
        QCOMPARE(colourAt(spInfo, 0), kBlue);
        QCOMPARE(colourAt(spInfo, 19), kBlue); // "Description:"
        QCOMPARE(colourAt(spInfo, 32), kBlue); // "Exceptions:"
        QCOMPARE(paramInfo->toPlainText(), QStringLiteral("Parameter: @ParentObjectID\n\n"));
        QCOMPARE(colourAt(paramInfo, 0), kBlack);

        // Notes are the procedure's own words, not its parameters'; exceptions listed.
        selectProcedure(w, QStringLiteral("csp_CredentialResetPin"));
        QCOMPARE(plain(spInfo->toPlainText()),
                 QStringLiteral(
                     "Stored_Procedure: csp_credentialresetpin\n\nDescription: sets a new phone pin for a user.\n\n"
                     "Notes: also clears the failed sign-in count. the old pin goes to the credential history.\n\n"
                     "Exceptions:\n50120: the pin is shorter or longer than the credential policy allows.\n"
                     "50121: the pin was used recently.\n"));
        QCOMPARE(colourAt(spInfo, int(spInfo->toPlainText().indexOf(u"Notes:"))), kBlue);

        // A procedure without parameters leaves the parameter box as it was.
        const QString before = paramInfo->toPlainText();
        selectProcedure(w, QStringLiteral("SP_OrvexVersion"));
        QCOMPARE(params(w)->rows(), 1);
        QCOMPARE(paramInfo->toPlainText(), before);
        QVERIFY(spInfo->toPlainText().startsWith(u"Stored_Procedure: sp_orvexversion\n"));
        QVERIFY2(fx.msg.messages.isEmpty(), qPrintable(fx.msg.messages.join(u'\n')));
    }

    void valuesAreCheckedAsTheyAreTyped()
    {
        frmStoredProcs *w = openBrowser();
        QVERIFY(w);
        selectProcedure(w, QStringLiteral("csp_NotificationDeviceSetActive"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        frmStoredProcExecute *run = executeWindow();
        QTableWidget *t = valueGrid(run);
        QCOMPARE(tableColumn(t, 1), (QStringList{"uniqueidentifier", "bit", "tinyint", "nvarchar", "nvarchar"}));

        typeValue(run, QStringLiteral("@Active"), QStringLiteral("2"));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Value is a Bit - it can be only 0 or 1")});
        QTRY_COMPARE(t->item(1, 3)->text(), QString());
        typeValue(run, QStringLiteral("@Active"), QStringLiteral("1"));
        typeValue(run, QStringLiteral("@MaxRetries"), QStringLiteral("256"));
        QCOMPARE(fx.msg.messages.size(), 2);
        QCOMPARE(fx.msg.messages[1], QStringLiteral("Value must be a number between 0 and 255"));
        QCOMPARE(t->item(1, 3)->text(), QStringLiteral("1"));
        QCOMPARE(t->item(2, 3)->text(), QString());

        // Names and the audit values cannot be edited.
        for (const auto &[row, col] : {std::pair{3, 3}, std::pair{4, 3}, std::pair{0, 0}, std::pair{1, 1}}) {
            QTableWidgetItem *item = t->item(row, col);
            const QString was = item->text();
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(item).center());
            QTest::keyClick(t, Qt::Key_F2);
            QTest::keyClicks(t, QStringLiteral("zz"));
            QLineEdit *editor = t->viewport()->findChild<QLineEdit *>();
            QVERIFY(!editor || !editor->isVisible());
            QCOMPARE(item->text(), was);
        }

        // Opened again for a procedure of outputs only: an empty grid, run without values.
        selectProcedure(w, QStringLiteral("sp_DirectoryStatistics"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        QCOMPARE(executeWindow(), run);
        QCOMPARE(run->windowTitle(), QStringLiteral("Execute Stored Procedure: sp_DirectoryStatistics"));
        QCOMPARE(t->rowCount(), 0);
        fx.msg.clear();
        runAndWait(run);
        // Its name says nothing of changes: no question. Its row and its
        // output parameters (which it leaves null) are shown.
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("Stored procedure complete")});
        auto *tabs = child<QTabWidget>(run, "tabResults");
        QCOMPARE(tabs->count(), 1);
        Grid *counts = child<Grid>(run, "gridResults1");
        QCOMPARE(counts->textMatrix(0, 0), QStringLiteral("SubscriberCount"));
        QCOMPARE(counts->textMatrix(1, 0), scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_UserSubscriber")));
        Grid *outputs = child<Grid>(run, "gridOutputs");
        QVERIFY(outputs->isVisible());
        QCOMPARE(column(outputs, 0), (QStringList{"@SubscriberCount", "@HandlerCount", "@ListCount"}));
        QCOMPARE(child<QLabel>(run, "lblRecordsAffected")->text(), QStringLiteral("none reported"));

        // No procedure at all.
        fx.msg.clear();
        run->setProcedureName(QString());
        run->LoadGridData();
        QCOMPARE(fx.msg.messages,
                 QStringList{QStringLiteral("No stored procedure name passed into LoadGridDataRoutine - exiting")});
        QTRY_VERIFY(!executeWindow());
    }

    void refusedRunsAreReported()
    {
        frmStoredProcs *w = openBrowser();
        QVERIFY(w);
        selectProcedure(w, QStringLiteral("csp_SubscriberCreate"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        frmStoredProcExecute *run = executeWindow();
        // Output parameters are not offered.
        QVERIFY(!tableColumn(valueGrid(run), 0).contains(QStringLiteral("@ObjectID")));
        const QString users = scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_User"));
        typeValue(run, QStringLiteral("@Alias"), scalar(QStringLiteral("SELECT Alias FROM tbl_Alias ORDER BY Alias")));
        typeValue(run, QStringLiteral("@FirstName"), QStringLiteral("Ann"));
        typeValue(run, QStringLiteral("@LastName"), QStringLiteral("Other"));
        typeValue(run, QStringLiteral("@DTMFAccessID"), QStringLiteral("98765"));
        fx.msg.answers.enqueue(true);
        runAndWait(run);
        QCOMPARE(fx.msg.messages.size(), 2);
        QVERIFY2(fx.msg.messages[1].startsWith(u"Error -") && fx.msg.messages[1].contains(u"UNIQUE")
                     && fx.msg.messages[1].endsWith(u") in procedure cmdExecute_Click of Form frmStoredProcExecute"),
                 qPrintable(fx.msg.messages[1]));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_User")), users);
        QVERIFY(!child<QWidget>(run, "fraResults")->isVisible());

        // The run goes to the main window's database, which may not have the
        // procedure; the question names that database.
        fx.msg.clear();
        fx.ctx().ownerState().connectionString = QString(directory).replace(QStringLiteral("OrvexDirDB"),
                                                                            QStringLiteral("OrvexDynDB"));
        fx.msg.answers.enqueue(true);
        runAndWait(run);
        QCOMPARE(fx.msg.messages,
                 (QStringList{changeQuestion(QStringLiteral("csp_SubscriberCreate"), QStringLiteral("OrvexDynDB")),
                              QStringLiteral("Error -2147217900 (Could not find stored procedure "
                                             "'csp_SubscriberCreate'.) in procedure "
                                             "cmdExecute_Click of Form frmStoredProcExecute")}));
    }

    void loadFailuresCloseTheBrowser_data()
    {
        QTest::addColumn<QString>("dictionary");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("first");
        QTest::newRow("dictionary-missing")
            << "nowhere/"
            << ""
            << "(error):53 (File not found) in procedure Form_Load of Form frmStoredProcs";
        QTest::newRow("server-unreachable") << ""
                                            << "nosuchserver"
                                            << "";
    }
    void loadFailuresCloseTheBrowser()
    {
        QFETCH(QString, dictionary);
        QFETCH(QString, server);
        QFETCH(QString, first);
        test::keepOffline();
        if (!dictionary.isEmpty())
            fx.ctx().ownerState().dictionaryFolder = fx.filePath(dictionary);
        if (!server.isEmpty())
            fx.ctx().ownerState().serverName = server;
        QPointer<frmStoredProcs> w = qobject_cast<frmStoredProcs *>(fx.ctx().openWindow(kBrowserWindow));
        QVERIFY(w);
        QPointer<frmSplashScreen> splash = w->splash();
        QTRY_VERIFY_WITH_TIMEOUT(!w, 10000);
        QCOMPARE(fx.msg.messages.size(), 2);
        if (!first.isEmpty())
            QCOMPARE(fx.msg.messages[0], first);
        QVERIFY2(fx.msg.messages[0].startsWith(u"(error):")
                     && fx.msg.messages[0].endsWith(u") in procedure Form_Load of Form frmStoredProcs"),
                 qPrintable(fx.msg.messages[0]));
        QCOMPARE(fx.msg.messages[1],
                 QStringLiteral("The local server may not have SQLDMO libraries installed.  Exiting"));
        QVERIFY(!splash || !splash->isVisible());
    }

    // The window does not wait for the list: the splash window stands over
    // the main window and the busy pointer shows until the list arrives.
    void listIsReadOffTheWindowThread()
    {
        MainWindowStandIn main;
        main.setGeometry(100, 80, 900, 700);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        fx.ctx().setJumpTarget(&main);
        fx.ctx().ownerState().remoteLabel = QStringLiteral("CORP\\ORVEX02");
        {
            frmStoredProcs w(fx.ctx());
            QVERIFY(w.isLoading());
            QCOMPARE(procs(&w)->rows(), 1);
            QVERIFY(w.splash()->isVisible());
            const QRect m = main.frameGeometry();
            QCOMPARE(w.splash()->x(), m.x() + m.width() / 2 - w.splash()->width() / 2);
            QCOMPARE(w.splash()->y(), m.y() + 1700 * main.logicalDpiY() / 1440);
            QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
            QCOMPARE(w.windowTitle(), QStringLiteral("Orvex Stored Procedures - CORP\\ORVEX02"));
            QSignalSpy loaded(&w, &frmStoredProcs::loaded);
            QVERIFY(loaded.wait(10000));
            QVERIFY(!w.splash()->isVisible());
            QVERIFY(!QApplication::overrideCursor());
            QVERIFY(procs(&w)->rows() > 2);
        }
        fx.ctx().setJumpTarget(nullptr);
    }

    // A lone procedure is shown; a server reporting Unicode lengths in bytes
    // shows them in characters, and the value check counts characters.
    void loneProcedureOnAnotherServer()
    {
        db::ProcedureInfo lone;
        lone.id = 7;
        lone.name = QStringLiteral("SP_Only");
        lone.source = QStringLiteral("CREATE PROCEDURE SP_Only @Name nvarchar(8), @Big nvarchar(max) AS SELECT 1");
        lone.parameters = {{QStringLiteral("@Name"), QStringLiteral("nvarchar"), 16, false},
                           {QStringLiteral("@Big"), QStringLiteral("nvarchar"), -1, false}};
        db::ProcedureInfo hidden;
        hidden.id = 8;
        hidden.name = QStringLiteral("spOther");
        const QList<db::ProcedureInfo> list{hidden, lone};
        std::unique_ptr<db::SessionPool> previous = db::installSessionPool(std::make_unique<db::SessionPool>(
            [list](const db::ConnectionTarget &, db::Error *) { return std::make_shared<ListingSession>(list); }));
        frmStoredProcs *w = openBrowser();
        db::installSessionPool(std::move(previous));
        QVERIFY(w);
        QCOMPARE(column(procs(w), 1), QStringList{QStringLiteral("SP_Only")});
        QCOMPARE(column(params(w), 1), (QStringList{"@Name", "@Big"}));
        QCOMPARE(column(params(w), 3), (QStringList{"8", "-1"}));
        QCOMPARE(child<QTextEdit>(w, "txtParamInfo")->toPlainText(), QStringLiteral("Parameter: @Name\n\n"));

        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        frmStoredProcExecute *run = executeWindow();
        typeValue(run, QStringLiteral("@Name"), QStringLiteral("ninechars"));
        QCOMPARE(fx.msg.messages, QStringList{QStringLiteral("String exceeds max length for this field")});
        typeValue(run, QStringLiteral("@Name"), QStringLiteral("eight ch"));
        typeValue(run, QStringLiteral("@Big"), QString(300, u'x'));
        QCOMPARE(fx.msg.messages.size(), 1);
        QCOMPARE(valueGrid(run)->item(0, 3)->text(), QStringLiteral("eight ch"));
    }

    void placementKeptWhenClosedMinimised_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("browser") << "SP";
        QTest::newRow("source-view") << "SPSource";
    }
    void placementKeptWhenClosedMinimised()
    {
        QFETCH(QString, prefix);
        const QStringList keys{prefix + "Left", prefix + "Top", prefix + "Width", prefix + "Height"};
        auto storedNow = [&] {
            QStringList values;
            auto s = openSettings();
            for (const QString &key : keys)
                values << s->value(QStringLiteral("Settings/") + key).toString();
            return values;
        };
        {
            auto s = openSettings();
            for (const QString &key : keys)
                s->remove(QStringLiteral("Settings/") + key);
        }
        auto open = [&]() -> QWidget * {
            if (prefix == u"SP")
                return openBrowser();
            return fx.ctx().openWindow(kSourceWindow);
        };
        auto openAndClose = [&](const std::function<void(QWidget *)> &change) {
            QPointer<QWidget> w = open();
            QVERIFY(w);
            QVERIFY(QTest::qWaitForWindowExposed(w));
            change(w);
            w->close();
            QTRY_VERIFY(!w);
        };
        // The defaults, as far as the screen holds them, then exactly what was stored.
        openAndClose([](QWidget *) {});
        const QStringList first = storedNow();
        // Whole pixels: a twentieth of a pixel's worth either way.
        auto near = [](const QString &stored, qint64 twips) { return qAbs(stored.toLongLong() - twips) <= 15; };
        // A window wider than the room right of its default place moves left, onto the screen.
        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        const qint64 screenWidth = placement::pixelsToTwips(screen.width(),
                                                            QApplication::primaryScreen()->logicalDotsPerInchX());
        QVERIFY2(near(first[1], 1000), qPrintable(first.join(u' ')));
        QVERIFY2(near(first[0], 1000)
                     || near(QString::number(first[0].toLongLong() + first[2].toLongLong()), screenWidth),
                 qPrintable(first.join(u' ')));
        QVERIFY2(first[0].toLongLong() + first[2].toLongLong() <= screenWidth + 15, qPrintable(first.join(u' ')));
        openAndClose([](QWidget *) {});
        QCOMPARE(storedNow(), first);

        openAndClose([](QWidget *w) {
            w->resize(w->width() - 40, w->height() - 30);
            w->showMinimized();
            QTRY_VERIFY(w->isMinimized());
        });
        QCOMPARE(storedNow(), first);

        openAndClose([](QWidget *w) {
            if (auto *browser = qobject_cast<frmStoredProcs *>(w)) {
                const QRect before = browser->geometry();
                child<QAction>(browser, "mnuAlwaysOnTop")->trigger();
                QVERIFY(browser->windowFlags() & Qt::WindowStaysOnTopHint);
                QCOMPARE(browser->geometry(), before);
            }
            w->resize(w->width() + 96, w->height() - 48);
        });
        QVERIFY2(near(storedNow()[2], first[2].toLongLong() + 1440), qPrintable(storedNow().join(u' ')));
        QVERIFY2(near(storedNow()[3], first[3].toLongLong() - 720), qPrintable(storedNow().join(u' ')));
    }

    // Both windows are laid out by their fixed distances from the edges, and
    // the execution window's smallest size is that of the whole window.
    void fixedLayouts()
    {
        const int dpi = QApplication::primaryScreen()->logicalDotsPerInchX();
        const auto px = [dpi](int twips) { return placement::twipsToPixels(twips, dpi); };
        frmStoredProcExecute run(fx.ctx());
        run.show();
        QVERIFY(QTest::qWaitForWindowExposed(&run));
        const QMargins f = run.windowHandle()->frameMargins();
        QCOMPARE(run.minimumWidth() + f.left() + f.right(), px(5760));
        QCOMPARE(run.minimumHeight() + f.top() + f.bottom(), px(2730));
        run.resize(px(9000) - f.left() - f.right(), px(6000) - f.top() - f.bottom());
        QTRY_COMPARE(run.width() + f.left() + f.right(), px(9000));
        auto *exit = child<QPushButton>(&run, "cmdExit");
        QVERIFY(std::abs(exit->x() - px(9000 - 1110)) <= 1);
        QVERIFY(std::abs(exit->y() - px(6000 - 840)) <= 1);
        QVERIFY(std::abs(valueGrid(&run)->width() - px(9000 - 195)) <= 1);
        QVERIFY(std::abs(valueGrid(&run)->height() - px(6000 - 1245)) <= 1);
        QVERIFY(child<QPushButton>(&run, "cmdExecute")->geometry().right() < exit->x());

        frmStoredProcSource view(fx.ctx());
        view.resize(px(8000), px(6000));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(std::abs(view.editor()->width() - (view.width() - px(100))) <= 1);
        const QPoint bottom = view.editor()->mapTo(&view, QPoint(0, view.editor()->height()));
        QVERIFY(std::abs(bottom.y() - (view.height() - px(400))) <= 1);
    }

    void sourceWithoutLanguageDefinition()
    {
        test::ScopedEnv folder("KORVA_PROGRAM_DIR", fx.filePath(QStringLiteral("empty")).toUtf8());
        frmStoredProcSource view(fx.ctx());
        view.showSource(QStringLiteral("csp_X"), QStringLiteral("SELECT 1"));
        QVERIFY(!view.isColoured());
        QCOMPARE(view.statusBar()->currentMessage(),
                 QStringLiteral("SQL.lng was not found: the text is shown without colours."));
        QCOMPARE(view.editor()->toPlainText(), QStringLiteral("SELECT 1"));
        QVERIFY(fx.msg.messages.isEmpty());
    }

    // A procedure of the test's own that returns two result sets, sets two
    // outputs and returns a value: the user is asked first (No runs
    // nothing), then sees each result in its grid, the outputs, the value
    // and the records changed below the buttons, which keep their places.
    void everyResultOfARunIsShown()
    {
        db::Error e;
        db::executeText(directory,
                        QStringLiteral(
                            "INSERT INTO korva_procedures VALUES(990001, 'csp_AliasTotalsSet', 'CREATE PROCEDURE "
                            "csp_AliasTotalsSet @Prefix nvarchar(10), @Matches int OUTPUT, @Note nvarchar(40) OUTPUT "
                            "AS\nSELECT ''alpha'' AS Word, 1 AS n UNION ALL SELECT ''beta'', 2;\n"
                            "SET @Matches = (SELECT COUNT(*) FROM tbl_Alias WHERE Alias LIKE @Prefix || ''%'');\n"
                            "SELECT @Prefix AS Prefix, @Matches AS Matches;\n"
                            "UPDATE tbl_Location SET DisplayName = DisplayName;\n"
                            "SET @Note = ''seen '' || @Matches;\nRETURN 3;');"
                            "INSERT INTO korva_procedure_parameters VALUES(990001, 1, '@Prefix', 'nvarchar', 10, 0),"
                            "(990001, 2, '@Matches', 'int', 4, 1), (990001, 3, '@Note', 'nvarchar', 40, 1);"),
                        &e);
        QVERIFY2(!e, qPrintable(e.description));
        const auto forget = qScopeGuard([this] {
            db::Error ignored;
            db::executeText(directory,
                            QStringLiteral("DELETE FROM korva_procedure_parameters WHERE procedure_id = 990001;"
                                           "DELETE FROM korva_procedures WHERE id = 990001;"),
                            &ignored);
        });
        const QString matches = scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Alias WHERE Alias LIKE 'a%'"));
        const QString locations = scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Location"));
        QVERIFY(matches.toInt() > 0);

        frmStoredProcs *w = openBrowser();
        QVERIFY(w);
        selectProcedure(w, QStringLiteral("csp_AliasTotalsSet"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        frmStoredProcExecute *run = executeWindow();
        QVERIFY(run);
        QVERIFY(QTest::qWaitForWindowExposed(run));
        QCOMPARE(tableColumn(valueGrid(run), 0), QStringList{QStringLiteral("@Prefix")});
        typeValue(run, QStringLiteral("@Prefix"), QStringLiteral("a"));
        auto *execute = child<QPushButton>(run, "cmdExecute");
        auto *results = child<QWidget>(run, "fraResults");
        const int heightBefore = run->height();

        // No: nothing runs.
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(fx.msg.messages, QStringList{changeQuestion(QStringLiteral("csp_AliasTotalsSet"))});
        QVERIFY(!run->isRunning());
        QVERIFY(!results->isVisible());

        fx.msg.clear();
        fx.msg.answers.enqueue(true);
        runAndWait(run);
        QCOMPARE(fx.msg.messages, (QStringList{changeQuestion(QStringLiteral("csp_AliasTotalsSet")),
                                               QStringLiteral("Stored procedure complete")}));
        QVERIFY(results->isVisible());
        auto *tabs = child<QTabWidget>(run, "tabResults");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Result set 1"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Result set 2"));
        Grid *first = child<Grid>(run, "gridResults1");
        QCOMPARE(first->textMatrix(0, 0), QStringLiteral("Word"));
        QCOMPARE(column(first, 0), (QStringList{"alpha", "beta"}));
        QCOMPARE(column(first, 1), (QStringList{"1", "2"}));
        QVERIFY(first->isVisible());
        // The second result set, a click on its tab away.
        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        Grid *second = child<Grid>(run, "gridResults2");
        QTRY_VERIFY(second->isVisible());
        QCOMPARE(second->textMatrix(0, 1), QStringLiteral("Matches"));
        QCOMPARE(second->textMatrix(1, 0), QStringLiteral("a"));
        QCOMPARE(second->textMatrix(1, 1), matches);
        Grid *outputs = child<Grid>(run, "gridOutputs");
        QVERIFY(outputs->isVisible());
        QCOMPARE(outputs->textMatrix(0, 0), QStringLiteral("Name"));
        QCOMPARE(outputs->textMatrix(0, 1), QStringLiteral("Value"));
        QCOMPARE(column(outputs, 0), (QStringList{"@Matches", "@Note"}));
        QCOMPARE(column(outputs, 1), (QStringList{matches, QStringLiteral("seen ") + matches}));
        QCOMPARE(child<QLabel>(run, "lblReturnValue")->text(), QStringLiteral("3"));
        QCOMPARE(child<QLabel>(run, "lblRecordsAffected")->text(), locations);

        // The results are below the buttons; the parameters and buttons keep their places.
        QTRY_VERIFY(run->height() > heightBefore);
        QVERIFY(results->geometry().top() > execute->geometry().bottom());
        QVERIFY(valueGrid(run)->geometry().bottom() < execute->geometry().top());
        QVERIFY(results->geometry().bottom() <= run->height());

        // Opened for another procedure, the window shows none of them.
        selectProcedure(w, QStringLiteral("SP_OrvexVersion"));
        QTest::mouseClick(child<QPushButton>(w, "cmdExecute"), Qt::LeftButton);
        QCOMPARE(executeWindow(), run);
        QVERIFY(!results->isVisible());
        QCOMPARE(tabs->count(), 0);
        QTRY_COMPARE(run->height(), heightBefore);
    }
};

QTEST_MAIN(tst_frmStoredProcs)
#include "tst_frmstoredprocs.moc"
