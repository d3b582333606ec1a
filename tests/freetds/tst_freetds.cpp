// The program's windows and its ODBC engine against a server that speaks
// the protocol real servers speak: FreeTDS's ODBC driver (tdsodbc) talking
// TDS 7.4 to the stand-in on 127.0.0.1, which answers from a demo
// installation. Nothing here goes through the embedded engine's own
// session: every query crosses the wire.

#include "appcontext/windowcontext.h"
#include "common/recordingmessenger.h"
#include "common/waitforrows.h"
#include "common/testsupport.h"
#include "demo/demoinstallation.h"
#include "main/frmmain.h"
#include "navigation/searchdialogs.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "platform/settings.h"
#include "remote/frmlogin.h"
#include "remote/frmremoteconnection.h"
#include "storedprocs/frmstoredprocexecute.h"
#include "storedprocs/frmstoredprocs.h"
#include "storedprocs/frmstoredprocsource.h"
#include "storedprocs/codeeditor.h"
#include "config/frmorvexconfiguration.h"
#include "query/frmquerybuilder.h"
#include "storedprocs/storedprocwindows.h"
#include "tds/tdsstandin.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"
#include "windows.h"

#include <QtCore/QDirIterator>
#include <QtCore/QScopeGuard>
#include <QtCore/QElapsedTimer>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTreeWidget>

#include <sqlite3.h>

using namespace korva;

namespace {

const QString kDriverLibrary = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
const QString kUser = QStringLiteral("korva_support");
const QString kPassword = QStringLiteral("Pw-3f9!kq#Lz");

struct Login
{
    QString user, password; // an empty user cancels the dialog
};

// Answers the SQL Server login dialogs as they come up, one answer each, the
// way a user does: types into the boxes and presses the button. Records
// what each dialog said.
class LoginAnswers : public QObject
{
public:
    explicit LoginAnswers(QList<Login> answers) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, &LoginAnswers::look);
        m_timer.start(20);
    }
    QStringList asked;
    QStringList prefilled; // the user name each dialog came up with
    int unexpected = 0;    // dialogs that came up after the last answer
    bool done() const { return m_answers.isEmpty(); }

private:
    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != u"frmLogin" || !modal->isVisible())
            return;
        if (m_answers.isEmpty()) {
            // A question nobody expected: noted, and cancelled.
            ++unexpected;
            QTest::mouseClick(modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return;
        }
        asked << modal->findChild<QLabel *>(QStringLiteral("lblLogin"))->text();
        auto *user = modal->findChild<QLineEdit *>(QStringLiteral("txtUser"));
        prefilled << user->text();
        const Login answer = m_answers.takeFirst();
        auto *buttons = modal->findChild<QDialogButtonBox *>();
        if (answer.user.isEmpty()) {
            QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return;
        }
        user->selectAll();
        QTest::keyClicks(user, answer.user);
        QTest::keyClicks(modal->findChild<QLineEdit *>(QStringLiteral("txtPassword")), answer.password);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    QList<Login> m_answers;
    QTimer m_timer;
};

int rowWith(Grid *g, int col, const QString &text)
{
    for (int r = 1; r < g->rows(); ++r)
        if (g->textMatrix(r, col).compare(text, Qt::CaseInsensitive) == 0)
            return r;
    return -1;
}

int columnOf(Grid *g, const QString &name)
{
    for (int c = 1; c < g->cols(); ++c)
        if (g->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QString headers(Grid *g)
{
    QStringList h;
    for (int c = 0; c < g->cols(); ++c)
        h << g->textMatrix(0, c);
    return h.join(u',');
}

void clickCell(Grid *g, int row, int col)
{
    const QModelIndex i = g->model()->index(g->modelRow(row), g->modelColumn(col));
    g->scrollTo(i);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(i).center());
}

} // namespace

class tst_FreeTds : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    std::unique_ptr<test::ScopedEnv> noTicket;
    std::unique_ptr<tds::StandIn> server;
    QString root;

    QString serverName() const { return QStringLiteral("127.0.0.1,%1").arg(server->port()); }
    QString directory() const
    {
        return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=OrvexDirDB").arg(serverName());
    }
    QString scalar(const QString &sql)
    {
        db::Error e;
        auto rs = db::openResultSet(directory(), sql, &e);
        if (!rs || rs->eof())
            return QStringLiteral("<none: %1>").arg(e.description);
        return rs->field(0).toString();
    }
    bool sent(const QString &fragment) const
    {
        for (const QString &r : server->requests())
            if (r.contains(fragment, Qt::CaseInsensitive))
                return true;
        return false;
    }
    template<class T>
    static T *child(QObject &w, const char *name)
    {
        return w.findChild<T *>(QString::fromLatin1(name));
    }
    // The main window on the stand-in, as after an attach to it.
    void startOnTheStandIn(frmMain &w, const QString &commandLine = QString())
    {
        SharedState &s = w.state();
        s.serverName = serverName();
        s.connectionString = QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                            "Initial Catalog=OrvexDirDB;Data Source=")
                             + serverName();
        QVERIFY(w.Form_Load(commandLine));
    }
    static void selectTable(frmMain &w, const QString &name)
    {
        Grid *tables = child<Grid>(w, "gridTables");
        const int r = rowWith(tables, 1, name);
        QVERIFY2(r > 0, qPrintable(name));
        tables->setCurrentCell(r, 1);
        QVERIFY(test::waitForRows(w));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kDriverLibrary))
            QSKIP("FreeTDS's ODBC driver (tdsodbc) is not installed");
        env = std::make_unique<test::IsolatedEnvironment>();
        // The driver registered in files of the test's own; no freetds.conf of the user's is read.
        const QString odbc = env->filePath(QStringLiteral("odbc"));
        QDir().mkpath(odbc);
        {
            QFile ini(odbc + QStringLiteral("/odbcinst.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[KORVA FreeTDS]\nDescription=FreeTDS for the tests\nDriver=" + kDriverLibrary.toUtf8() + "\n");
        }
        QFile(odbc + QStringLiteral("/odbc.ini")).open(QIODevice::WriteOnly);
        QFile(odbc + QStringLiteral("/freetds.conf")).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINI", (odbc + QStringLiteral("/odbc.ini")).toLocal8Bit());
        qputenv("FREETDSCONF", (odbc + QStringLiteral("/freetds.conf")).toLocal8Bit());
        // A desktop without a Kerberos ticket, the usual case.
        noTicket = std::make_unique<test::ScopedEnv>("KRB5CCNAME",
                                                     "FILE:"
                                                         + env->filePath(QStringLiteral("no-ticket")).toLocal8Bit());

        root = env->filePath(QStringLiteral("demo"));
        demo::DemoOptions o;
        o.root = root;
        o.subscribers = 30;
        o.reportRows = 300;
        QString error;
        QVERIFY2(demo::createDemoInstallation(o, &error), qPrintable(error));
        qputenv("KORVA_PROGRAM_DIR", env->filePath(QStringLiteral("program")).toLocal8Bit());
        QDir().mkpath(env->filePath(QStringLiteral("program")));

        tds::StandInOptions so;
        so.dataFolder = root + QStringLiteral("/data");
        so.user = kUser;
        so.password = kPassword;
        server = std::make_unique<tds::StandIn>(so);
        QVERIFY2(server->start(&error), qPrintable(error));
    }
    void init()
    {
        auto s = openSettings();
        s->remove(QStringLiteral("Config"));
        s->setValue(QStringLiteral("Config/OdbcDriver"), QStringLiteral("KORVA FreeTDS"));
        s->sync();
        db::resetConnectionPool();
        server->clearRequests();
        // The login a user would give, for tests that are not about logins.
        db::setLoginPrompt([](const QString &, const QString &) {
            return std::optional<db::OdbcLogin>(db::OdbcLogin{false, kUser, kPassword});
        });
    }
    // A test that fails half way leaves no fault switched on.
    void cleanup()
    {
        server->setRefuseConnections(false);
        server->setStalled(false);
        server->setRoundTripDelay(0);
        server->dropConnectionsAfter(-1);
    }
    void cleanupTestCase()
    {
        db::resetConnectionPool();
        db::setLoginPrompt({});
        db::setConnectionNotice({});
    }

    // The attach dialog with a typed loopback address and port: the login is
    // asked on the window's thread while the test runs off it; Cancel, then a
    // wrong password, leave the main window where it was; the right one moves
    // it to the stand-in, port and all.
    void attachAsksForTheLoginAndMovesOnlyOnceItWorks()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        installDatabaseDialogs(&w);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString before = w.state().connectionString;
        const QString beforeServer = w.state().serverName;
        child<QAction>(w, "mnuAttachRemote")->trigger();
        auto *dialog = qobject_cast<frmRemoteConnection *>(ctx.openedWindow(QStringLiteral("frmRemoteConnection")));
        QVERIFY(dialog);
        auto *box = child<QLineEdit>(*dialog, "txtServer");
        QTest::keyClicks(box, serverName());
        auto *connect = child<QPushButton>(*dialog, "cmdConnect");

        {
            // Cancel in the login dialog: the server refused nothing, nothing moves.
            LoginAnswers answers({Login{}});
            msg.clear();
            QTest::mouseClick(connect, Qt::LeftButton);
            QTRY_VERIFY(answers.done());
            QTRY_VERIFY(!dialog->isBusy());
            QCOMPARE(answers.asked.size(), 1);
            QVERIFY(answers.asked[0].contains(serverName()));
            QCOMPARE(msg.messages.size(), 1);
            QVERIFY(msg.messages[0].startsWith(serverName() + QStringLiteral(" does not appear to be a Orvex server")));
            QCOMPARE(w.state().connectionString, before);
            QCOMPARE(w.state().serverName, beforeServer);
        }
        {
            // A wrong password is refused by the server and asked again.
            const int refused = server->loginsRefused();
            LoginAnswers answers({Login{kUser, QStringLiteral("not-the-password")}, Login{kUser, kPassword}});
            msg.clear();
            QTest::mouseClick(connect, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 20000);
            QCOMPARE(answers.asked.size(), 2);
            QVERIFY2(answers.asked[1].contains(QStringLiteral("Login failed for user '%1'.").arg(kUser)),
                     qPrintable(answers.asked[1]));
            QCOMPARE(server->loginsRefused(), refused + 1);
            // Asked again, the user name refused is there to correct; never a password.
            QCOMPARE(answers.prefilled, (QStringList{QString(), kUser}));
            QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        }
        // The main window started over on the stand-in, on the port typed.
        QCOMPARE(w.state().serverName, serverName());
        QCOMPARE(child<QLabel>(w, "lblConnection")->text(), serverName() + QStringLiteral("  OrvexDirDB"));
        QVERIFY(child<Grid>(w, "gridTables")->rows() > 10);
        QVERIFY(sent(QStringLiteral("OrvexDirDB.dbo.sysobjects")));
        QVERIFY(rowWith(child<Grid>(w, "gridTables"), 1, QStringLiteral("tbl_User")) > 0);

        // Cancel while the test still waits on a server: when the server
        // answers later, nothing moves. "localhost" reaches the stand-in too,
        // not the embedded demo.
        const QString attached = w.state().connectionString;
        const int accepted = server->loginsAccepted();
        child<QAction>(w, "mnuAttachRemote")->trigger();
        QTRY_VERIFY(dialog->isVisible());
        box->clear();
        QTest::keyClicks(box, QStringLiteral("localhost,%1").arg(server->port()));
        server->setStalled(true);
        {
            LoginAnswers answers({Login{kUser, kPassword}});
            QTest::mouseClick(connect, Qt::LeftButton);
            QTRY_VERIFY(answers.done());
        }
        QTest::qWait(100);
        QVERIFY(dialog->isBusy());
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdCancel"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->isBusy());
        server->setStalled(false);
        QTRY_VERIFY_WITH_TIMEOUT(server->loginsAccepted() > accepted, 20000);
        QTest::qWait(300);
        QCOMPARE(w.state().connectionString, attached);
        QCOMPARE(w.state().serverName, serverName());
    }

    // Cancel while the server is still judging a wrong password: the dialog
    // asks nothing more, and nothing moves.
    void abandonedAttachAsksNothingMore()
    {
        db::forgetLogins();
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        installDatabaseDialogs(&w);
        QVERIFY(w.Form_Load(QString()));
        const QString before = w.state().connectionString;
        child<QAction>(w, "mnuAttachRemote")->trigger();
        auto *dialog = qobject_cast<frmRemoteConnection *>(ctx.openedWindow(QStringLiteral("frmRemoteConnection")));
        QVERIFY(dialog);
        QTest::keyClicks(child<QLineEdit>(*dialog, "txtServer"), serverName());
        server->setRoundTripDelay(1500);
        const int refused = server->loginsRefused();
        LoginAnswers answers({Login{kUser, QStringLiteral("not-the-password")}});
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdConnect"), Qt::LeftButton);
        QTRY_VERIFY(answers.done());
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdCancel"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        // The refusal comes; no second question follows it.
        QTRY_VERIFY_WITH_TIMEOUT(server->loginsRefused() > refused, 15000);
        QTest::qWait(1000);
        QCOMPARE(answers.unexpected, 0);
        QCOMPARE(w.state().connectionString, before);
        server->setRoundTripDelay(0);
    }

    // Browsing over the wire: tables, rows, a WHERE clause, an edit with /Edit.
    void browseFilterAndEditOverTheWire()
    {
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("True"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        startOnTheStandIn(w, QStringLiteral("/Edit"));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        w.resize(1000, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        selectTable(w, QStringLiteral("tbl_User"));
        Grid *data = child<Grid>(w, "gridData");
        QTRY_VERIFY(!data->gridModel()->isLoading());
        QCOMPARE(int(data->rows()) - 1, scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_User")).toInt());
        QVERIFY(sent(QStringLiteral("tbl_User")));
        const int alias = columnOf(data, QStringLiteral("ObjectID"));
        const int first = columnOf(data, QStringLiteral("FirstName"));
        QVERIFY2(alias > 0 && first > 0, qPrintable(headers(data) + u' ' + msg.messages.join(u'|')));
        const QString someone = data->textMatrix(2, alias);

        // A WHERE clause narrows the rows to one.
        child<QPlainTextEdit>(w, "txtWhere")->setPlainText(QStringLiteral("ObjectID = '") + someone + u'\'');
        QTest::mouseClick(child<QPushButton>(w, "cmdApply"), Qt::LeftButton);
        QVERIFY(test::waitForRows(w));
        QTRY_VERIFY(!data->gridModel()->isLoading());
        QCOMPARE(data->rows(), 2);
        QCOMPARE(data->textMatrix(1, alias), someone);

        // An edit: click, F2, type, Enter; the one row changes on the server.
        data->scrollToCell(1, first);
        const QPoint at = data->visualRect(data->model()->index(0, data->modelColumn(first))).center();
        QTest::mouseClick(data->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(data->viewport(), Qt::Key_F2);
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = data->viewport()->findChild<QLineEdit *>()) && editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Zo"));
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("ë"), Qt::NoModifier);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY2(data->textMatrix(1, first) == u"Zoë",
                     qPrintable(data->textMatrix(1, first) + u' ' + msg.messages.join(u'|')));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        // The grid shows the new text while the server is still writing it.
        QTRY_COMPARE(scalar(QStringLiteral("SELECT FirstName FROM tbl_User WHERE ObjectID = '%1'").arg(someone)),
                     QStringLiteral("Zoë"));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_User WHERE FirstName = 'Zoë'")), QStringLiteral("1"));
    }

    // The other windows over the wire: database choice, views, hover, jump
    // and Back, Find ObjectID, the search across tables, the object view, the
    // query builder, the configuration tree, a procedure's source.
    void everyOtherWindowOverTheWire()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        startOnTheStandIn(w);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Grid *tables = child<Grid>(w, "gridTables");
        Grid *data = child<Grid>(w, "gridData");
        const auto listed = [&] { return tables->textMatrix(tables->row(), 1); };

        // Another database, then views, then back.
        server->clearRequests();
        child<QAction>(w, "mnuOrvexRptDb")->trigger();
        QVERIFY(w.state().connectionString.endsWith(QStringLiteral(";database=OrvexRptDB")));
        QVERIFY(rowWith(tables, 1, QString::fromLatin1(demo::kReportCallHistoryTable)) > 0);
        QVERIFY(sent(QStringLiteral("OrvexRptDB.dbo.sysobjects")));
        child<QAction>(w, "mnuOrvexDirDB")->trigger();
        child<QAction>(w, "mnuUseViews")->trigger();
        for (int r = 1; r < tables->rows(); ++r)
            QVERIFY(tables->textMatrix(r, 1).startsWith(QStringLiteral("vw_"), Qt::CaseInsensitive));
        selectTable(w, QStringLiteral("vw_Subscriber"));
        QTRY_VERIFY(!data->gridModel()->isLoading());
        QVERIFY(data->rows() > 10);
        child<QAction>(w, "mnuUseTables")->trigger();

        // Hover a call handler reference: described from the server; jump; Back.
        selectTable(w, QStringLiteral("tbl_UserSubscriber"));
        const int chCol = columnOf(data, QStringLiteral("CallHandlerObjectID"));
        const int idCol = columnOf(data, QStringLiteral("ObjectID"));
        QVERIFY(chCol > 0 && idCol > 0);
        const int row = 3;
        const QString subscriberId = data->textMatrix(row, idCol);
        const QString handlerId = data->textMatrix(row, chCol);
        data->scrollToCell(row, chCol);
        data->setCurrentCell(row, idCol);
        QTest::mouseMove(data->viewport(),
                         data->visualRect(data->model()->index(data->modelRow(row), data->modelColumn(chCol)))
                             .center());
        const QString handlerName = scalar(
            QStringLiteral("select DisplayName from vw_CallHandler where ObjectID='%1'").arg(handlerId));
        QTRY_VERIFY2(w.navigator().referenceDescription().startsWith(QStringLiteral("Call Handler\r\nDisplay Name=")
                                                                     + handlerName),
                     qPrintable(w.navigator().referenceDescription()));
        child<QAction>(w, "mnuJump")->trigger();
        QCOMPARE(listed(), QStringLiteral("tbl_CallHandler"));
        QTRY_COMPARE(data->textMatrix(data->row(), columnOf(data, QStringLiteral("ObjectID"))), handlerId);
        QTest::mouseClick(child<QPushButton>(w, "cmdBack"), Qt::LeftButton);
        QCOMPARE(listed(), QStringLiteral("tbl_UserSubscriber"));
        QTRY_COMPARE(data->textMatrix(data->row(), columnOf(data, QStringLiteral("ObjectID"))), subscriberId);

        // Find ObjectID: the tables are searched on the server.
        const QString listId = scalar(QStringLiteral("select ObjectID from tbl_DistributionList"));
        msg.inputs.enqueue(listId);
        w.navigator().findObjectId();
        QTRY_COMPARE(listed(), QStringLiteral("tbl_DistributionList"));
        QTRY_COMPARE(data->textMatrix(data->row(), columnOf(data, QStringLiteral("ObjectID"))), listId);

        // The search across tables finds a location's name.
        msg.clear();
        const QString place = scalar(QStringLiteral("select DisplayName from tbl_Location"));
        w.navigator().runSearch(place.toUpper(), true, false);
        QTRY_VERIFY_WITH_TIMEOUT(!w.navigator().isSearching(), 20000);
        auto *findNext = child<QDialog>(w, "frmFindNextCrossTableMatch");
        QVERIFY(findNext);
        QTRY_VERIFY(findNext->isVisible());
        QCOMPARE(data->textMatrix(data->row(), data->col()).compare(place, Qt::CaseInsensitive), 0);
        QTest::keyClick(findNext, Qt::Key_Escape);
        QTRY_VERIFY(!findNext->isVisible());
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));

        // The object view: call handlers and their dependent rows.
        child<QAction>(w, "mnuObjectView")->trigger();
        QWidget *view = ctx.openedWindow(QStringLiteral("frmObjectView"));
        QVERIFY(view);
        QTRY_VERIFY(child<Grid>(*view, "gridData")->rows() > 1);
        QTRY_VERIFY(child<Grid>(*view, "gridRef")->rows() > 1);
        view->close();

        // The query builder runs free SQL on the server.
        child<QAction>(w, "mnuQueryBuilder")->trigger();
        auto *query = qobject_cast<frmQueryBuilder *>(ctx.openedWindow(QStringLiteral("frmQueryBuilder")));
        QVERIFY(query);
        auto *text = child<QPlainTextEdit>(*query, "txtSQL");
        text->setFocus();
        QTest::keyClicks(text, QStringLiteral("select top 3 FirstName from tbl_User order by ObjectID"));
        server->clearRequests();
        QTest::mouseClick(child<QPushButton>(*query, "cmdExecute"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!query->isRunning(), 20000);
        QCOMPARE(child<Grid>(*query, "gridSQL")->rows(), 4);
        QVERIFY(sent(QStringLiteral("order by ObjectID")));
        query->close();

        // The configuration tree.
        child<QAction>(w, "mnuOrvexConfigurationTree")->trigger();
        auto *tree = qobject_cast<frmOrvexConfiguration *>(ctx.openedWindow(QStringLiteral("frmOrvexConfiguration")));
        QVERIFY(tree);
        QTRY_VERIFY_WITH_TIMEOUT(!tree->isBusy(), 20000);
        QTreeWidget *folders = child<QTreeWidget>(*tree, "regTree");
        QVERIFY(folders->topLevelItemCount() > 0);
        QVERIFY(folders->topLevelItem(0)->childCount() > 0);
        tree->close();

        // A procedure's source, from the server's catalogue.
        child<QAction>(w, "mnuStoredProcs")->trigger();
        auto *procs = qobject_cast<frmStoredProcs *>(ctx.openedWindow(storedprocs::kBrowserWindow));
        QVERIFY(procs);
        QVERIFY(QTest::qWaitFor([procs] { return !procs->isLoading(); }, 20000));
        const int sp = rowWith(child<Grid>(*procs, "gridSPs"), 1, QStringLiteral("csp_SubscriberModifyName"));
        QVERIFY(sp > 0);
        clickCell(child<Grid>(*procs, "gridSPs"), sp, 1);
        QTest::mouseClick(child<QPushButton>(*procs, "cmdViewSource"), Qt::LeftButton);
        auto *source = qobject_cast<frmStoredProcSource *>(ctx.openedWindow(storedprocs::kSourceWindow));
        QVERIFY(source);
        QVERIFY(source->editor()->toPlainText().startsWith(u"CREATE PROCEDURE csp_SubscriberModifyName"));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        for (QWidget *window : ctx.openedWindows())
            window->close();
    }

    // A procedure run from the execution window with several values left
    // empty: each value reaches the parameter it was typed for (a driver that
    // passes bound values by position would have put the audit values in
    // @LastName and @DisplayName).
    void procedureValuesReachTheirOwnParameters()
    {
        const QString objectId = scalar(
            QStringLiteral("SELECT TOP 1 ObjectID FROM tbl_UserSubscriber ORDER BY ObjectID"));
        QVERIFY2(objectId.startsWith(u'{') || objectId.size() == 36, qPrintable(objectId));
        const QString lastName = scalar(
            QStringLiteral("SELECT LastName FROM tbl_User WHERE ObjectID = '%1'").arg(objectId));
        const QString displayName = scalar(
            QStringLiteral("SELECT DisplayName FROM tbl_User WHERE ObjectID = '%1'").arg(objectId));

        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        storedprocs::registerStoredProcedureWindows(ctx);
        SharedState &s = ctx.ownerState();
        s.serverName = serverName();
        s.connectionString = directory();
        s.dictionaryFolder = root + QStringLiteral("/install/ConfigurationModules/DatabaseScripts/");
        auto *browser = qobject_cast<frmStoredProcs *>(ctx.openWindow(storedprocs::kBrowserWindow));
        QVERIFY(browser);
        QVERIFY(QTest::qWaitFor([browser] { return !browser->isLoading(); }, 20000));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        Grid *procs = child<Grid>(*browser, "gridSPs");
        const int row = rowWith(procs, 1, QStringLiteral("csp_SubscriberModifyName"));
        QVERIFY(row > 0);
        clickCell(procs, row, 1);
        QTest::mouseClick(child<QPushButton>(*browser, "cmdExecute"), Qt::LeftButton);
        auto *run = qobject_cast<frmStoredProcExecute *>(ctx.openedWindow(storedprocs::kExecuteWindow));
        QVERIFY(run);
        auto *values = child<QTableWidget>(*run, "gridParams");
        auto type = [&](const QString &parameter, const QString &text) {
            int r = -1;
            for (int i = 0; i < values->rowCount(); ++i)
                if (values->item(i, 0)->text() == parameter)
                    r = i;
            QVERIFY2(r >= 0, qPrintable(parameter));
            QTableWidgetItem *item = values->item(r, 3);
            values->scrollToItem(item);
            QTest::mouseClick(values->viewport(), Qt::LeftButton, {}, values->visualItemRect(item).center());
            QTest::keyClick(values, Qt::Key_F2);
            QLineEdit *editor = nullptr;
            QTRY_VERIFY((editor = values->viewport()->findChild<QLineEdit *>()) && editor->isVisible());
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
        };
        type(QStringLiteral("@ObjectID"), objectId);
        type(QStringLiteral("@FirstName"), QStringLiteral("Brunhild"));
        QSignalSpy finished(run, &frmStoredProcExecute::executionFinished);
        msg.answers.enqueue(true); // it changes data, on the stand-in
        QTest::mouseClick(child<QPushButton>(*run, "cmdExecute"), Qt::LeftButton);
        QVERIFY(finished.wait(20000));
        QCOMPARE(msg.messages,
                 (QStringList{QStringLiteral("The stored procedure csp_SubscriberModifyName changes data.\n\nRun it on "
                                             "server %1\\zandelorvex, database OrvexDirDB?")
                                  .arg(serverName()),
                              QStringLiteral("Stored procedure complete")}));
        // What came back over the wire: three updates and the audit row, status 0.
        QCOMPARE(child<QLabel>(*run, "lblRecordsAffected")->text(), QStringLiteral("4"));
        QCOMPARE(child<QLabel>(*run, "lblReturnValue")->text(), QStringLiteral("0"));
        QCOMPARE(scalar(QStringLiteral("SELECT FirstName FROM tbl_User WHERE ObjectID = '%1'").arg(objectId)),
                 QStringLiteral("Brunhild"));
        QCOMPARE(scalar(QStringLiteral("SELECT LastName FROM tbl_User WHERE ObjectID = '%1'").arg(objectId)), lastName);
        QCOMPARE(scalar(QStringLiteral("SELECT DisplayName FROM tbl_User WHERE ObjectID = '%1'").arg(objectId)),
                 displayName);
        // The audit values went where they belong.
        QCOMPARE(scalar(QStringLiteral("SELECT TOP 1 Component FROM tbl_AuditLog WHERE Operation = "
                                       "'csp_SubscriberModifyName'")),
                 QStringLiteral("KORVA"));
        for (QWidget *window : ctx.openedWindows())
            window->close();
    }

    // The ODBC engine hands back what a procedure returns over the wire:
    // every result set, each output parameter of the types the window asks
    // for, the value it returned and the records it changed, whatever the
    // order the arguments were given in.
    void proceduresHandBackEverythingOverTheWire()
    {
        const QString file = root + QStringLiteral("/data/OrvexDirDB.sqlite");
        const auto run = [&](const char *sql) {
            sqlite3 *db = nullptr;
            QVERIFY(sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK);
            char *message = nullptr;
            const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
            const QString text = QString::fromUtf8(message);
            sqlite3_free(message);
            sqlite3_close(db);
            QVERIFY2(rc == SQLITE_OK, qPrintable(text));
        };
        run("INSERT INTO korva_procedures VALUES(990002, 'csp_WireTotalsSet', 'CREATE PROCEDURE csp_WireTotalsSet "
            "@Prefix nvarchar(10), @Count int OUTPUT, @Label nvarchar(40) OUTPUT, @Stamp datetime OUTPUT, "
            "@Id uniqueidentifier OUTPUT, @Untouched int OUTPUT AS\n"
            "SELECT ''first'' AS Which, 1 AS n;\n"
            "SET @Count = (SELECT COUNT(*) FROM tbl_Alias WHERE Alias LIKE @Prefix || ''%'');\n"
            "SELECT ''second'' AS Which UNION ALL SELECT ''third'';\n"
            "SET @Label = @Prefix || ''-label'';\n"
            "SET @Stamp = ''2024-02-29 13:14:15.000'';\n"
            "SET @Id = ''6F9619FF-8B86-D011-B42D-00C04FC964FF'';\n"
            "RETURN 7;');"
            "INSERT INTO korva_procedure_parameters VALUES(990002, 1, '@Prefix', 'nvarchar', 10, 0),"
            "(990002, 2, '@Count', 'int', 4, 1), (990002, 3, '@Label', 'nvarchar', 40, 1),"
            "(990002, 4, '@Stamp', 'datetime', 8, 1), (990002, 5, '@Id', 'uniqueidentifier', 16, 1),"
            "(990002, 6, '@Untouched', 'int', 4, 1);");
        const auto forget = qScopeGuard([&] {
            run("DELETE FROM korva_procedure_parameters WHERE procedure_id = 990002;"
                "DELETE FROM korva_procedures WHERE id = 990002;");
        });
        const QString aliases = scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Alias WHERE Alias LIKE 'a%'"));

        db::Error e;
        db::ExecOutcome out = db::executeProcedure(directory(), QStringLiteral("csp_WireTotalsSet"),
                                                   {{QStringLiteral("Label"), 200, QVariant(), true, 40},
                                                    {QStringLiteral("Prefix"), 200, QStringLiteral("a")},
                                                    {QStringLiteral("Count"), 3, QVariant(), true},
                                                    {QStringLiteral("Stamp"), 7, QVariant(), true},
                                                    {QStringLiteral("Id"), 72, QVariant(), true},
                                                    {QStringLiteral("Untouched"), 3, QVariant(), true}},
                                                   &e);
        QVERIFY2(!e, qPrintable(e.description));
        // A call by RPC, its values in the procedure's own order.
        QVERIFY(sent(QStringLiteral("RPC [csp_WireTotalsSet] a, ")));
        QVERIFY(out.rows);
        QCOMPARE(out.rows->field(QStringLiteral("Which")).toString(), QStringLiteral("first"));
        QCOMPARE(out.laterRows.size(), std::size_t(1));
        db::ResultSet &second = *out.laterRows[0];
        QCOMPARE(second.recordCount(), 2);
        second.moveLast();
        QCOMPARE(second.field(0).toString(), QStringLiteral("third"));
        QCOMPARE(out.outputs.size(), 5);
        QCOMPARE(out.outputs[0].name, QStringLiteral("@Label"));
        QCOMPARE(out.outputs[0].value.toString(), QStringLiteral("a-label"));
        QCOMPARE(out.outputs[1].name, QStringLiteral("@Count"));
        QCOMPARE(out.outputs[1].value.toString(), aliases);
        QCOMPARE(out.outputs[2].value.toString(), QStringLiteral("2024-02-29 13:14:15.000"));
        QCOMPARE(out.outputs[3].value.toString().toUpper(), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
        QCOMPARE(out.outputs[4].name, QStringLiteral("@Untouched"));
        QVERIFY(out.outputs[4].value.isNull());
        QCOMPARE(out.returnValue, std::optional<qint64>(7));

        // A procedure the server refuses an output of reports the server's words.
        out = db::executeProcedure(directory(), QStringLiteral("csp_WireTotalsSet"),
                                   {{QStringLiteral("Prefix"), 200, QStringLiteral("a"), true}}, &e);
        QVERIFY2(e.description.contains(u"was not declared as an OUTPUT parameter"), qPrintable(e.description));
        QVERIFY(out.outputs.isEmpty());
    }

    // A connection the network dropped is closed and opened again, with the
    // login held in memory, and the status bar says so; a server that went
    // away and came back is used again without a restart.
    void lostConnectionsAreOpenedAgain()
    {
        QMainWindow host;
        installDatabaseDialogs(&host);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Location")).toInt() > 0, true);
        const int logins = server->loginsAccepted();
        server->dropAllConnections();
        // A reading query on a connection that broke while idle runs again on a new one.
        QVERIFY(scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Location")).toInt() > 0);
        QVERIFY(server->loginsAccepted() > logins);
        QTRY_VERIFY(host.statusBar()->currentMessage().contains(QStringLiteral("was lost; it is open again")));

        // Gone: a clear failure; back: used again.
        server->dropAllConnections();
        server->setRefuseConnections(true);
        db::Error e;
        db::executeText(directory(), QStringLiteral("UPDATE tbl_Location SET DisplayName = DisplayName WHERE 1 = 0"),
                        &e);
        QVERIFY(e);
        QCOMPARE(e.number, db::kErrGeneric);
        QVERIFY(!db::openResultSet(directory(), QStringLiteral("SELECT 1"), &e));
        QCOMPARE(e.number, db::kErrGeneric);
        server->setRefuseConnections(false);
        QVERIFY(scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Location")).toInt() > 0);
    }

    // An export of a whole table of a million rows, asked for while the rows
    // still come from a server 20 ms away: the window waits for them with
    // its event loop running (the grid grows, timers fire), then writes
    // every row.
    void exportOfAMillionRowsWaitsWithTheWindowResponsive()
    {
        const QString bigRoot = env->filePath(QStringLiteral("bigdemo"));
        demo::DemoOptions o;
        o.root = bigRoot;
        o.subscribers = 5;
        o.reportRows = 1000000;
        QString error;
        QVERIFY2(demo::createDemoInstallation(o, &error), qPrintable(error));
        tds::StandInOptions so;
        so.dataFolder = bigRoot + QStringLiteral("/data");
        so.user = kUser;
        so.password = kPassword;
        tds::StandIn big(so);
        QVERIFY2(big.start(&error), qPrintable(error));
        big.setRoundTripDelay(20);

        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        w.state().serverName = QStringLiteral("127.0.0.1,%1").arg(big.port());
        w.state().connectionString = QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial "
                                                    "Catalog=OrvexDirDB;Data Source=")
                                     + w.state().serverName;
        QVERIFY(w.Form_Load(QString()));
        child<QAction>(w, "mnuOrvexRptDb")->trigger();
        Grid *tables = child<Grid>(w, "gridTables");
        Grid *data = child<Grid>(w, "gridData");
        const int r = rowWith(tables, 1, QString::fromLatin1(demo::kReportCallHistoryTable));
        QVERIFY(r > 0);
        const QString path = env->filePath(QStringLiteral("million.csv"));
        msg.fileNames.enqueue(path);

        // What the window's event loop does while the export waits.
        QList<int> seen;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] { seen << data->rows(); });
        tables->setCurrentCell(r, 1);
        probe.start(10);
        child<QAction>(w, "mnuExportGridToCSVFile")->trigger();
        QVERIFY(msg.messages.isEmpty()); // nothing written yet: the rows are still coming
        QTRY_VERIFY_WITH_TIMEOUT(!msg.messages.isEmpty(), 600000);
        probe.stop();
        QCOMPARE(msg.messages, QStringList{QStringLiteral("File saved")});
        QCOMPARE(data->rows(), 1000001);
        QList<int> distinct = seen;
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        QVERIFY2(distinct.size() >= 5,
                 qPrintable(QStringLiteral("%1 ticks, %2 row counts seen").arg(seen.size()).arg(distinct.size())));

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        qint64 lines = 0;
        while (!f.atEnd())
            lines += f.read(1 << 20).count('\n');
        QCOMPARE(lines, 1000001); // the header and every row
        f.close();
        QFile::remove(path);
    }

    // A table clicked while the server is gone: the message says the server
    // cannot be reached, not that the query is badly formed; once it is
    // back, the next click shows the rows.
    void unreachableServerIsNotABadQuery()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        startOnTheStandIn(w);
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        server->dropAllConnections();
        server->setRefuseConnections(true);
        selectTable(w, QStringLiteral("tbl_Location"));
        QTRY_VERIFY(!msg.messages.isEmpty());
        QVERIFY2(msg.messages.last().startsWith(QStringLiteral("The server cannot be reached: ")),
                 qPrintable(msg.messages.join(u'\n')));
        for (const QString &m : std::as_const(msg.messages))
            QVERIFY2(!m.startsWith(QStringLiteral("Badly formed")), qPrintable(m));
        server->setRefuseConnections(false);
        msg.clear();
        selectTable(w, QStringLiteral("tbl_Alias"));
        QTRY_VERIFY(!child<Grid>(w, "gridData")->gridModel()->isLoading());
        QVERIFY(child<Grid>(w, "gridData")->rows() > 1);
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
    }

    // The time-outs of the settings reach the driver: a stalled server ends a
    // query after QueryTimeout seconds and a new connection after
    // LoginTimeout; the program goes on once the server answers again.
    void timeOutsOfTheSettingsReachTheDriver()
    {
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/QueryTimeout"), QStringLiteral("1"));
            s->setValue(QStringLiteral("Config/LoginTimeout"), QStringLiteral("2"));
        }
        QCOMPARE(scalar(QStringLiteral("SELECT 1")), QStringLiteral("1"));
        server->setStalled(true);
        const auto unstall = qScopeGuard([&] { server->setStalled(false); });
        QElapsedTimer clock;
        clock.start();
        db::Error e;
        QVERIFY(!db::executeText(directory(), QStringLiteral("SELECT COUNT(*) FROM tbl_User"), &e).rows);
        QVERIFY(e);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        db::resetConnectionPool();
        clock.restart();
        e = db::testConnection(directory());
        QCOMPARE(e.number, db::kErrGeneric);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        server->setStalled(false);
        QCOMPARE(scalar(QStringLiteral("SELECT 1")), QStringLiteral("1"));
    }

    // A password with the characters that end a value in a connection
    // string, or open or close a braced one, still logs in.
    void passwordWithSeparatorsLogsIn()
    {
        const QString odd = QStringLiteral(" a;b{c}d=e ");
        tds::StandInOptions so;
        so.dataFolder = root + QStringLiteral("/data");
        so.user = QStringLiteral("odd");
        so.password = odd;
        tds::StandIn other(so);
        QString error;
        QVERIFY2(other.start(&error), qPrintable(error));
        int asked = 0;
        db::setLoginPrompt([&](const QString &, const QString &) {
            // Once: a refused login asks again, and a second answer would be the same.
            return ++asked == 1 ? std::optional<db::OdbcLogin>(db::OdbcLogin{false, QStringLiteral("odd"), odd})
                                : std::nullopt;
        });
        const db::Error e = db::testConnection(
            QStringLiteral("Driver={SQL Server};server=127.0.0.1,%1;database=OrvexDirDB").arg(other.port()));
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(asked, 1);
        QTRY_COMPARE(other.loginsAccepted(), 1);
    }

    // The password given lives in memory only: no file the program wrote
    // holds it, in any encoding.
    void passwordIsInNoFile()
    {
        const QByteArray utf8 = kPassword.toUtf8();
        const QByteArray utf16(reinterpret_cast<const char *>(kPassword.utf16()), kPassword.size() * 2);
        int files = 0;
        QDirIterator it(env->path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QByteArray content = f.readAll();
            ++files;
            QVERIFY2(!content.contains(utf8) && !content.contains(utf16), qPrintable(f.fileName()));
        }
        QVERIFY(files > 10);
    }
};

QTEST_MAIN(tst_FreeTds)
#include "tst_freetds.moc"
