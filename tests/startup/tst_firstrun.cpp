#include "common/demowindows.h"
#include "common/recordingmessenger.h"
#include "appcontext/windowcontext.h"
#include "main/frmmain.h"
#include "main/programoptions.h"
#include "main/serverfiles.h"
#include "platform/database.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/serverdirectory.h"
#include "platform/settings.h"
#include "startup/firstrun.h"
#include "startup/frmserverfiles.h"
#include "widgets/grid.h"
#include "windows.h"

#include <QtCore/QProcess>
#include <QtCore/QStringDecoder>
#include <QtCore/QTimer>
#include <QtTest/QtTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>

using namespace korva;

namespace {

// Acts on the program's windows as they come up, one step after the other,
// while the code under test waits in their modal loops.
class Script : public QObject
{
public:
    struct Step
    {
        QString window;              // object name of the top-level window
        std::function<bool()> ready; // acted on once this holds (if given)
        std::function<void(QWidget *)> act;
    };

    explicit Script(QList<Step> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &Script::poll);
        m_timer.start(20);
        m_clock.start();
    }
    bool done() const { return m_next == m_steps.size(); }
    QString waitingFor() const { return done() ? QString() : m_steps[m_next].window; }

private:
    void poll()
    {
        if (done() || m_busy)
            return;
        const Step &step = m_steps[m_next];
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() != step.window || !w->isVisible() || (step.ready && !step.ready()))
                continue;
            m_busy = true;
            ++m_next;
            step.act(w);
            m_busy = false;
            return;
        }
        // A window that never comes: give up rather than hang the test run.
        if (m_clock.elapsed() > 60000)
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->inherits("QDialog"))
                    w->close();
    }

    QList<Step> m_steps;
    qsizetype m_next = 0;
    bool m_busy = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

template<class T>
T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

void click(QWidget *w, const char *button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }

void type(QWidget *w, const char *edit, const QString &text)
{
    QLineEdit *line = child<QLineEdit>(w, edit);
    line->clear();
    QTest::keyClicks(line, text);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A registry export as the registry editor writes it: UTF-16 with its mark.
QByteArray windowsExport(const QString &text)
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QByteArray bytes("\xFF\xFE", 2);
    bytes += QByteArray(reinterpret_cast<const char *>(crlf.utf16()), crlf.size() * 2);
    return bytes;
}

QByteArray serverExport(const QString &computer)
{
    return windowsExport(
        QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zandel Systems\\Zandel Orvex]\n"
                       "\"InstalledFolderPath\"=\"C:\\\\Program Files\\\\Zandel\\\\Orvex\"\n"
                       "\"Version\"=\"5.0.2.114\"\n\n"
                       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\n"
                       "\"ComputerName\"=\"%1\"\n\n")
            .arg(computer));
}

} // namespace

class tst_FirstRun : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx; // the demo the servers' databases come from
    QString dictionaries; // its dictionary folder
    int registries = 0;

    // No installation on this computer: a registry file of its own, not there yet.
    void noInstallation()
    {
        qputenv("KORVA_HKLM", fx.filePath(QStringLiteral("none%1.reg").arg(++registries)).toLocal8Bit());
    }

    // A server's install folder as copied from it, its dictionaries in their usual place.
    QString copiedInstallFolder(const QString &name, const QString &tableDescription)
    {
        const QString folder = fx.filePath(QStringLiteral("copied/") + name);
        const QString scripts = folder + QStringLiteral("/ConfigurationModules/DatabaseScripts");
        QDir().mkpath(scripts);
        for (const QString &file : QDir(dictionaries).entryList(QDir::Files)) {
            QByteArray bytes = readAll(QDir(dictionaries).filePath(file));
            if (file == QLatin1String("OrvexDirDB.xml"))
                bytes.replace("Accounts locked after failed sign-ins.", tableDescription.toUtf8());
            // Copied from Windows, names may come in another case.
            const QString as = file == QLatin1String("OrvexRptDB.xml") ? QStringLiteral("orvexrptdb.XML") : file;
            writeAll(scripts + u'/' + as, bytes);
        }
        return folder;
    }

    static QString tableInfo(frmMain &w)
    {
        return w.findChild<QTextEdit *>(QStringLiteral("txtTableInfo"))->toPlainText();
    }
    static int tableRows(frmMain &w) { return w.findChild<Grid *>(QStringLiteral("gridTables"))->rows(); }

    static void installChoices(frmMain &w, WindowContext &ctx, const startup::FirstRunOptions &options = {})
    {
        w.setNoInstallChoice(
            [&ctx, options](const QString &instance) { return startup::offerStart(ctx, nullptr, instance, options); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        test::DemoWindows::Options o;
        o.subscribers = 20;
        o.reportRows = 50;
        o.programFolder = true;
        QString error;
        QVERIFY2(fx.setUp(o, &error), qPrintable(error));
        dictionaries = fx.dictionaryFolder().chopped(1);
        // The servers of these tests are the demo's databases, on the embedded engine.
        db::registerEmbeddedServer(QStringLiteral("orvexsrv"), QStringLiteral("zandelorvex"),
                                   fx.root() + QStringLiteral("/data"));
        db::registerEmbeddedServer(QStringLiteral("othersrv"), QStringLiteral("zandelorvex"),
                                   fx.root() + QStringLiteral("/data"));
    }
    void init()
    {
        test::forgetWindowSettings();
        QDir(serverfiles::serversFolder()).removeRecursively();
        RegistryAPI::setStoreFile({});
        db::resetConnectionPool();
        noInstallation();
    }

    void commandLineOptions()
    {
        using A = ProgramOptions::Action;
        QCOMPARE(parseProgramOptions({}).action, A::Run);
        const ProgramOptions both = parseProgramOptions({QStringLiteral("--edit"), QStringLiteral("--named=OTHER")});
        QCOMPARE(both.action, A::Run);
        QCOMPARE(both.commandLine, QStringLiteral("/Edit /named:OTHER"));
        QCOMPARE(parseProgramOptions({QStringLiteral("--named"), QStringLiteral("X")}).commandLine,
                 QStringLiteral("/named:X"));
        // The start sequence's own forms pass as they are, and so does what it ignores.
        QCOMPARE(parseProgramOptions({QStringLiteral("/named:A"), QStringLiteral("/EDIT"), QStringLiteral("junk")})
                     .commandLine,
                 QStringLiteral("/named:A /EDIT junk"));
        // The toolkit's options are its own, with their values.
        const ProgramOptions toolkit = parseProgramOptions({QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                                            QStringLiteral("-reverse"),
                                                            QStringLiteral("--style=fusion"), QStringLiteral("/Edit")});
        QCOMPARE(toolkit.action, A::Run);
        QCOMPARE(toolkit.commandLine, QStringLiteral("/Edit"));
        QCOMPARE(parseProgramOptions({QStringLiteral("/Edit"), QStringLiteral("--help")}).action, A::Help);
        QCOMPARE(parseProgramOptions({QStringLiteral("-h")}).action, A::Help);
        QCOMPARE(parseProgramOptions({QStringLiteral("--version")}).action, A::Version);
        const ProgramOptions bad = parseProgramOptions({QStringLiteral("--edti")});
        QCOMPARE(bad.action, A::Error);
        QVERIFY(bad.error.contains(QStringLiteral("'--edti'")));
        QCOMPARE(parseProgramOptions({QStringLiteral("--named")}).action, A::Error);
    }

    // The program itself, with no display at all: it prints and ends.
    void commandLineAsProcess_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                              << QStringLiteral("/named:NAME, --named=NAME") << QString();
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("korva " KORVA_VERSION "\n") << QString();
        QTest::newRow("bad") << QStringList{QStringLiteral("--nonsense")} << 2 << QString()
                             << QStringLiteral(
                                    "korva: unknown option '--nonsense'\nTry 'korva --help' for more information.\n");
    }
    void commandLineAsProcess()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("DISPLAY"));
        e.remove(QStringLiteral("WAYLAND_DISPLAY"));
        e.remove(QStringLiteral("QT_QPA_PLATFORM"));
        e.insert(QStringLiteral("HOME"), fx.filePath(QStringLiteral("processhome")));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(KORVA_PROGRAM), args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        const QString stdoutText = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString stderrText = QString::fromLocal8Bit(p.readAllStandardError());
        if (out.isEmpty() || out.endsWith(u'\n'))
            QCOMPARE(stdoutText, out);
        else
            QVERIFY2(stdoutText.contains(out) && stdoutText.contains(QStringLiteral("/Edit, --edit")),
                     qPrintable(stdoutText));
        QCOMPARE(stderrText, err);
        // Nothing was made in the home folder.
        QVERIFY(!QFileInfo::exists(fx.filePath(QStringLiteral("processhome/.config/KORVA"))));
    }

    void keptFilesAreCopiesAndMapTheInstallFolder()
    {
        const QString exportFile = fx.filePath(QStringLiteral("keep/server.reg"));
        QVERIFY(writeAll(exportFile, serverExport(QStringLiteral("ORVEXSRV"))));
        const QString folder = copiedInstallFolder(QStringLiteral("keep"), QStringLiteral("first copy"));
        const QByteArray exportBytes = readAll(exportFile);

        // The install folder, its modules folder or the dictionary folder itself will do.
        const serverfiles::Inspection seen = serverfiles::inspect(exportFile,
                                                                  folder + QStringLiteral("/ConfigurationModules"));
        QVERIFY2(seen.error.isEmpty(), qPrintable(seen.error));
        QCOMPARE(seen.installPath, QStringLiteral("C:\\Program Files\\Zandel\\Orvex"));
        QCOMPARE(seen.computerName, QStringLiteral("ORVEXSRV"));
        QCOMPARE(seen.dictionaries.size(), 4);

        QString error;
        std::optional<serverfiles::KeptServer> kept = serverfiles::keep(QStringLiteral("orvexsrv\\inst,1533"),
                                                                        exportFile, folder, &error);
        QVERIFY2(kept, qPrintable(error));
        QCOMPARE(kept->name, QStringLiteral("orvexsrv_inst_1533"));
        QCOMPARE(readAll(kept->registryFile()), exportBytes);
        // Known dictionaries under the names the program opens, whatever their case was.
        QVERIFY(QFileInfo(kept->dictionaryFolder() + QStringLiteral("OrvexRptDB.xml")).isFile());
        QVERIFY(readAll(kept->dictionaryFolder() + QStringLiteral("OrvexDirDB.xml")).contains("first copy"));
        QCOMPARE(readAll(exportFile), exportBytes);

        QCOMPARE(serverfiles::mapPath(*kept, QStringLiteral("c:\\program files\\zandel\\orvex\\")),
                 kept->installFolder());
        QCOMPARE(serverfiles::mapPath(*kept, QStringLiteral("C:\\Program Files\\Zandel\\Orvex\\Logs\\a.txt")),
                 kept->installFolder() + QStringLiteral("/Logs/a.txt"));
        QCOMPARE(serverfiles::mapPath(*kept, QStringLiteral("C:\\Program Files\\Zandel\\OrvexOther")),
                 QStringLiteral("C:\\Program Files\\Zandel\\OrvexOther"));

        // Kept again: the new copy replaces the old one, the last database stays.
        serverfiles::markUsed(kept->name, QStringLiteral("OrvexRptDB"));
        const QString second = copiedInstallFolder(QStringLiteral("keep2"), QStringLiteral("second copy"));
        kept = serverfiles::keep(QStringLiteral("orvexsrv\\inst,1533"), exportFile, second, &error);
        QVERIFY2(kept, qPrintable(error));
        QCOMPARE(kept->lastDatabase, QStringLiteral("OrvexRptDB"));
        QVERIFY(readAll(kept->dictionaryFolder() + QStringLiteral("OrvexDirDB.xml")).contains("second copy"));
        QCOMPARE(QDir(serverfiles::serversFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{kept->name});

        // What cannot be used leaves what was kept as it was.
        const QByteArray keptDictionary = readAll(kept->dictionaryFolder() + QStringLiteral("OrvexDirDB.xml"));
        const QString broken = fx.filePath(QStringLiteral("keep/broken.reg"));
        QVERIFY(writeAll(broken, "Windows Registry Editor Version "
                                 "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X\r\n\"a\"=dword:zz\r\n"));
        QVERIFY(!serverfiles::keep(QStringLiteral("orvexsrv\\inst,1533"), broken, second, &error));
        QVERIFY2(error.contains(QStringLiteral("line")), qPrintable(error));
        const QString other = fx.filePath(QStringLiteral("keep/other.reg"));
        QVERIFY(writeAll(other, windowsExport(QStringLiteral("Windows Registry Editor Version "
                                                             "5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"x\"="
                                                             "\"y\"\n"))));
        QVERIFY(!serverfiles::keep(QStringLiteral("orvexsrv\\inst,1533"), other, second, &error));
        QVERIFY2(error.contains(QStringLiteral("InstalledFolderPath")), qPrintable(error));
        const QString badXml = fx.filePath(QStringLiteral("badxml"));
        QVERIFY(writeAll(badXml + QStringLiteral("/OrvexDirDB.xml"), "<orvexdatadictionary><tables>"));
        QVERIFY(!serverfiles::keep(QStringLiteral("orvexsrv\\inst,1533"), exportFile, badXml, &error));
        QVERIFY2(error.contains(QStringLiteral("not a data dictionary")), qPrintable(error));
        QCOMPARE(readAll(kept->dictionaryFolder() + QStringLiteral("OrvexDirDB.xml")), keptDictionary);
        QCOMPARE(QDir(serverfiles::serversFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{kept->name});
        // A name that is not one the program made finds nothing.
        QVERIFY(!serverfiles::find(QStringLiteral("../") + kept->name));
    }

    void recentServersAreNewestFirstAndAtMostTen()
    {
        const QString exportFile = fx.filePath(QStringLiteral("recent/server.reg"));
        QVERIFY(writeAll(exportFile, serverExport(QStringLiteral("X"))));
        QString error;
        for (int i = 0; i < 12; ++i) {
            QVERIFY2(serverfiles::keep(QStringLiteral("srv%1").arg(i), exportFile, dictionaries, &error),
                     qPrintable(error));
            QThread::msleep(3); // each its own moment
        }
        serverfiles::markUsed(QStringLiteral("srv3"), QString());
        const QList<serverfiles::KeptServer> list = serverfiles::recent();
        QCOMPARE(list.size(), 10);
        QCOMPARE(list[0].name, QStringLiteral("srv3"));
        QCOMPARE(list[1].name, QStringLiteral("srv11"));
        QCOMPARE(list[8].name, QStringLiteral("srv4"));
        QCOMPARE(list[9].name, QStringLiteral("srv2"));
    }

    // From nothing installed to the demo's rows, by keyboard.
    void demoCreatedFromTheFirstStartChoices()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        startup::FirstRunOptions options;
        options.demoRoot = fx.filePath(QStringLiteral("firstdemo"));
        options.subscribers = 15;
        options.reportRows = 40;
        installChoices(w, ctx, options);
        bool progressSeen = false;
        Script script({{QStringLiteral("frmFirstRun"),
                        {},
                        [&](QWidget *d) {
                            // The demo is the default: Enter chooses it.
                            QVERIFY(d->accessibleDescription().startsWith(
                                QStringLiteral("Error, could not find install path for Orvex")));
                            QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Return);
                        }},
                       {QStringLiteral("dlgDemoProgress"), {}, [&](QWidget *) { progressSeen = true; }}});
        QVERIFY(w.Form_Load(QString()));
        QVERIFY2(script.done(), qPrintable(script.waitingFor()));
        QVERIFY(progressSeen);
        QCOMPARE(w.state().installFolder, options.demoRoot + QStringLiteral("/install"));
        QVERIFY(tableRows(w) > 10);
        QVERIFY(tableInfo(w).contains(QStringLiteral("Description:")));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QVERIFY(QFileInfo::exists(options.demoRoot + QStringLiteral("/data/OrvexDirDB.sqlite")));
    }

    // A server's files: its dictionaries, its registry, its SQL Server; then
    // the next start goes back to it, on the database last looked at.
    void serverFilesStartTheProgramOnThatServer()
    {
        const QString exportFile = fx.filePath(QStringLiteral("picked/orvexsrv.reg"));
        QVERIFY(writeAll(exportFile, serverExport(QStringLiteral("ORVEXSRV"))));
        const QString folder = copiedInstallFolder(QStringLiteral("orvexsrv"),
                                                   QStringLiteral("accounts on the kept copy."));
        const QByteArray exportBytes = readAll(exportFile);
        const QByteArray dictionaryBytes = readAll(
            folder + QStringLiteral("/ConfigurationModules/DatabaseScripts/OrvexDirDB.xml"));
        {
            test::RecordingMessenger msg;
            WindowContext ctx(msg);
            registerWindows(ctx);
            frmMain w(ctx);
            installChoices(w, ctx);
            Script script({{QStringLiteral("frmFirstRun"), {}, [](QWidget *d) { click(d, "cmdServerFiles"); }},
                           {QStringLiteral("frmServerFiles"), {}, [&](QWidget *d) {
                                type(d, "txtExport", exportFile);
                                type(d, "txtDictionaries", folder);
                                type(d, "txtServer", QStringLiteral("orvexsrv"));
                                click(d, "cmdOK");
                            }}});
            QVERIFY(w.Form_Load(QString()));
            QVERIFY2(script.done(), qPrintable(script.waitingFor()));
            QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
            const std::optional<serverfiles::KeptServer> kept = serverfiles::find(QStringLiteral("orvexsrv"));
            QVERIFY(kept);
            QCOMPARE(w.state().installFolder, kept->installFolder());
            QCOMPARE(RegistryAPI::storeFilePath(), kept->registryFile());
            QVERIFY(w.windowTitle().endsWith(QStringLiteral(" - orvexsrv")));
            QVERIFY(tableRows(w) > 10);
            QVERIFY2(tableInfo(w).contains(QStringLiteral("accounts on the kept copy.")), qPrintable(tableInfo(w)));
            QVERIFY(w.findChild<QAction *>(QStringLiteral("mnuRegistry"))->isEnabled());
            // The report database, chosen from the menu, is noted for the next time.
            w.findChild<QAction *>(QStringLiteral("mnuOrvexRptDb"))->trigger();
            QCOMPARE(serverfiles::find(QStringLiteral("orvexsrv"))->lastDatabase, QStringLiteral("OrvexRptDB"));
            w.shutdown();
        }
        QCOMPARE(readAll(exportFile), exportBytes);
        QCOMPARE(readAll(folder + QStringLiteral("/ConfigurationModules/DatabaseScripts/OrvexDirDB.xml")),
                 dictionaryBytes);

        // The next start finds no installation and opens the server used last, asking nothing.
        QString error;
        QVERIFY2(serverfiles::keep(QStringLiteral("othersrv"), exportFile,
                                   copiedInstallFolder(QStringLiteral("othersrv"), QStringLiteral("the other copy.")),
                                   &error),
                 qPrintable(error));
        serverfiles::markUsed(QStringLiteral("orvexsrv"), QString());
        RegistryAPI::setStoreFile({});
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        installChoices(w, ctx);
        Script none({{QStringLiteral("frmFirstRun"), {}, [](QWidget *d) { click(d, "cmdQuit"); }}});
        QVERIFY(w.Form_Load(QString()));
        QVERIFY(!none.done());
        QVERIFY(w.windowTitle().endsWith(QStringLiteral(" - orvexsrv")));
        QVERIFY(w.findChild<QAction *>(QStringLiteral("mnuOrvexRptDb"))->isChecked());
        QVERIFY(w.state().connectionString.contains(QStringLiteral("database=OrvexRptDB")));

        // File, Recent servers: the other one, by mouse.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMenuBar *bar = w.menuBar();
        auto *file = w.findChild<QMenu *>(QStringLiteral("mnuFile"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        QTRY_VERIFY(file->isVisible());
        auto *recent = w.findChild<QMenu *>(QStringLiteral("mnuRecentServers"));
        QCOMPARE(recent->actions().size(), 2);
        QVERIFY(recent->actions()[0]->text().contains(QStringLiteral("orvexsrv (OrvexRptDB)")));
        const QPoint at = file->actionGeometry(recent->menuAction()).center();
        QTest::mouseMove(file, at);
        QTest::mouseClick(file, Qt::LeftButton, {}, at);
        QTRY_VERIFY(recent->isVisible());
        QAction *other = recent->findChild<QAction *>(QStringLiteral("mnuRecentServer_othersrv"));
        QVERIFY(other);
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(other).center());
        QTRY_VERIFY(w.windowTitle().endsWith(QStringLiteral(" - othersrv")));
        QVERIFY2(tableInfo(w).contains(QStringLiteral("the other copy."))
                     || !w.findChild<QAction *>(QStringLiteral("mnuOrvexDirDB"))->isChecked(),
                 qPrintable(tableInfo(w)));
        QCOMPARE(w.state().installFolder, serverfiles::find(QStringLiteral("othersrv"))->installFolder());
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        w.shutdown();
    }

    // A broken export, then an empty folder: each said clearly, nothing kept;
    // then Cancel and Quit end the program with its settings saved.
    void unusableFilesChangeNothing()
    {
        const QString broken = fx.filePath(QStringLiteral("unusable/broken.reg"));
        QVERIFY(writeAll(broken, "this is not a registry export\r\n[HKEY_LOCAL_MACHINE\r\n"));
        const QString good = fx.filePath(QStringLiteral("unusable/good.reg"));
        QVERIFY(writeAll(good, serverExport(QStringLiteral("ORVEXSRV"))));
        const QString empty = fx.filePath(QStringLiteral("unusable/empty"));
        QDir().mkpath(empty);
        {
            auto s = openSettings();
            s->setValue(QStringLiteral("Config/LockAlias"), QStringLiteral("False"));
        }
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        installChoices(w, ctx);
        QPointer<frmServerFiles> files;
        const auto idle = [&] { return files && !files->isBusy(); };
        Script script({{QStringLiteral("frmFirstRun"), {}, [](QWidget *d) { click(d, "cmdServerFiles"); }},
                       {QStringLiteral("frmServerFiles"),
                        {},
                        [&](QWidget *d) {
                            files = qobject_cast<frmServerFiles *>(d);
                            type(d, "txtExport", broken);
                            type(d, "txtDictionaries", dictionaries);
                            type(d, "txtServer", QStringLiteral("orvexsrv"));
                            click(d, "cmdOK");
                        }},
                       {QStringLiteral("frmServerFiles"), [&] { return idle() && msg.messages.size() == 1; },
                        [&](QWidget *d) {
                            type(d, "txtExport", good);
                            type(d, "txtDictionaries", empty);
                            // Enter opens, as the default button does.
                            QTest::keyClick(child<QLineEdit>(d, "txtServer"), Qt::Key_Return);
                        }},
                       {QStringLiteral("frmServerFiles"), [&] { return idle() && msg.messages.size() == 2; },
                        [](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); }},
                       {QStringLiteral("frmFirstRun"), {}, [](QWidget *d) { click(d, "cmdQuit"); }}});
        QVERIFY(!w.Form_Load(QString()));
        QVERIFY2(script.done(), qPrintable(script.waitingFor() + u'\n' + msg.messages.join(u'\n')));
        QVERIFY(w.hasShutDown());
        QCOMPARE(msg.messages.size(), 2);
        QVERIFY2(msg.messages[0].contains(QStringLiteral("is not a registry export that can be read")),
                 qPrintable(msg.messages[0]));
        QVERIFY2(msg.messages[1].contains(QStringLiteral("holds no data dictionary")), qPrintable(msg.messages[1]));
        QVERIFY(serverfiles::recent().isEmpty());
        QVERIFY(QDir(serverfiles::serversFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        auto s = openSettings();
        QCOMPARE(s->value(QStringLiteral("Config/LockAlias")).toString(), QStringLiteral("False"));
    }

    // Attached with nothing installed: rows can be browsed, the descriptions
    // say why there are none, and nothing is reported as an error.
    void attachedWithoutAnyInstallation()
    {
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        installChoices(w, ctx);
        Script script({{QStringLiteral("frmFirstRun"), {}, [](QWidget *d) { click(d, "cmdAttach"); }},
                       {QStringLiteral("frmRemoteConnection"), {}, [&](QWidget *d) {
                            type(d, "txtServer", QStringLiteral("orvexsrv"));
                            click(d, "cmdConnect");
                        }}});
        QVERIFY(w.Form_Load(QString()));
        QVERIFY2(script.done(), qPrintable(script.waitingFor()));
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QVERIFY(w.state().dictionaryFolder.isEmpty());
        QVERIFY2(w.windowTitle().endsWith(QStringLiteral("orvexsrv")), qPrintable(w.windowTitle()));
        QVERIFY(tableRows(w) > 10);
        QVERIFY2(tableInfo(w).contains(QStringLiteral("No data dictionary was found for this server")),
                 qPrintable(tableInfo(w)));
        QTRY_VERIFY(w.findChild<Grid *>(QStringLiteral("gridData"))->rows() > 1);
        // Another database: no dictionary to miss there either.
        w.findChild<QAction *>(QStringLiteral("mnuOrvexDynDB"))->trigger();
        QVERIFY2(msg.messages.isEmpty(), qPrintable(msg.messages.join(u'\n')));
        QVERIFY(tableRows(w) > 1);
        w.shutdown();
    }
};

QTEST_MAIN(tst_FirstRun)
#include "tst_firstrun.moc"
