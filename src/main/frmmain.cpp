#include "main/frmmain.h"
#include "main/tablebrowser.h"

#include "main/databaseopening.h"
#include "main/databases.h"
#include "main/serverfiles.h"
#include "platform/connectionstring.h"
#include "support/frmsplashscreen.h"
#include "main/mainlayout.h"
#include "main/stickywhere.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/settings.h"
#include "platform/workstationinfo.h"
#include "support/busypointer.h"
#include "support/escapewatcher.h"
#include "support/ctooltip.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "support/updatecheck.h"
#include "support/windowplacement.h"
#include "widgets/grid.h"
#include "widgets/splitterbar.h"
#include "widgets/windowkit.h"
#include "widgets/gridmodel.h"

#include <QtCore/QDir>
#include <QtCore/QScopeGuard>
#include <QtGui/QCloseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTextEdit>

namespace korva {

namespace {

const QString kCaption = QStringLiteral("Zandel Orvex Talmu");
const QString kNoInstallMessage = QStringLiteral("Error, could not find install path for Orvex");

} // namespace

frmMain::frmMain(WindowContext &context, frmSplashScreen *splash, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_msg(context.messenger()), m_splash(splash),
      m_state(context.ownerState())
{
    context.setJumpTarget(this);
    context.setMainWindow(this);
    // A remote attach has the start sequence run again on the new server.
    // (One asked for while the start sequence runs, from its choices when no
    // installation was found, is that sequence's to finish.)
    connect(&context, &WindowContext::startOverRequested, this, [this] {
        if (!m_starting)
            Form_Load(m_commandLine);
    });
    setObjectName(QStringLiteral("frmMain"));
    modLocalize::setComposedTitle(this, kCaption);
    m_placement = new WindowPlacement(this);
    buildMenus();
    buildControls();
    layOutOnResize(this, [this] { Form_Resize(); });
    wireBrowsing();
    wireNavigation();
    wireWindows();
}

void frmMain::wireWindows()
{
    // Each command that opens another window works once that window is registered.
    const std::pair<QAction *, const char *> commands[] = {
        {mnuAttachRemote, "frmRemoteConnection"},
        {mnuServerFiles, "frmServerFiles"},
        {mnuOrvexConfigurationTree, "frmOrvexConfiguration"},
        {mnuRegistry, "frmRegistry"},
        {mnuQueryBuilder, "frmQueryBuilder"},
        {mnuStoredProcs, "frmStoredProcs"},
        {mnuHelp, "frmHelp"},
        {mnuAbout, "frmAbout"},
    };
    for (const auto &[action, name] : commands) {
        const QString window = QString::fromLatin1(name);
        action->setEnabled(m_context.isRegistered(window));
        connect(action, &QAction::triggered, this, [this, window] { m_context.openWindow(window); });
    }
    mnuCheckForUpdatedVersion->setEnabled(true);
    connect(mnuCheckForUpdatedVersion, &QAction::triggered, this,
            [this] { updateCheck().checkForUpdatedVersion_Foreground(modUpdateCheck::homePageUrl(), QString()); });
}

modUpdateCheck::UpdateCheck &frmMain::updateCheck()
{
    if (!m_updateCheck)
        m_updateCheck = new modUpdateCheck::UpdateCheck(m_msg, this, this);
    return *m_updateCheck;
}

frmMain::~frmMain()
{
    if (m_context.jumpTarget() == this)
        m_context.setJumpTarget(nullptr);
}

void frmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuFindObjectID = addMenuItem(file, QStringLiteral("Find Object ID"), "mnuFindObjectID");
    mnuFindValueinOrvexDirDB = addMenuItem(file, QStringLiteral("Find value in current DB tables"),
                                           "mnuFindValueinOrvexDirDB");
    file->addSeparator();
    mnuAttachRemote = addMenuItem(file, QStringLiteral("Attach to remote Orvex server"), "mnuAttachRemote");
    mnuServerFiles = addMenuItem(file, QStringLiteral("Use a server's files..."), "mnuServerFiles");
    mnuRecentServers = file->addMenu(QStringLiteral("Recent servers"));
    mnuRecentServers->setObjectName(QStringLiteral("mnuRecentServers"));
    connect(file, &QMenu::aboutToShow, this, &frmMain::fillRecentServers);
    fillRecentServers();
    file->addSeparator();
    mnuExportGridToCSVFile = addMenuItem(file, QStringLiteral("Export entire grid data to CSV file"),
                                         "mnuExportGridToCSVFile");
    mnuExportVisibleRowsToCSV = addMenuItem(file, QStringLiteral("Export visible rows to CSV file "),
                                            "mnuExportVisibleRowsToCSV");
    file->addSeparator();
    mnuExit = addMenuItem(file, QStringLiteral("Exit"), "mnuExit");
    connect(mnuExit, &QAction::triggered, this, [this] { close(); });

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    mnuStoredProcs = addMenuItem(view, QStringLiteral("Stored Procedures"), "mnuStoredProcs");
    mnuQueryBuilder = addMenuItem(view, QStringLiteral("Query Builder"), "mnuQueryBuilder");
    mnuRegistry = addMenuItem(view, QStringLiteral("Orvex Registry Tree"), "mnuRegistry");
    mnuOrvexConfigurationTree = addMenuItem(view, QStringLiteral("Orvex Configuration Tree"),
                                            "mnuOrvexConfigurationTree");
    mnuObjectView = addMenuItem(view, QStringLiteral("Object View"), "mnuObjectView");
    view->addSeparator();
    mnuRefresh = addMenuItem(view, QStringLiteral("Refresh"), "mnuRefresh", QKeySequence::Refresh);
    mnuFindInGrid = addMenuItem(view, QStringLiteral("Find in grid"), "mnuFindInGrid", QKeySequence::Find);
    mnuFilterRow = addMenuItem(view, QStringLiteral("Filter row"), "mnuFilterRow");
    mnuFilterRow->setCheckable(true);

    QMenu *dbMenu = menuBar()->addMenu(QStringLiteral("&Database"));
    dbMenu->setObjectName(QStringLiteral("mnuDatabase"));
    for (Db db : kMenuOrder) {
        const DatabaseInfo &info = database(db);
        QAction *a = dbMenu->addAction(QString::fromUtf16(info.menuCaption));
        a->setObjectName(QString::fromUtf16(info.menuObject));
        a->setCheckable(true);
        const int index = int(db);
        mnuDatabases[index] = a;
        connect(a, &QAction::triggered, this, [this, index] { chooseDatabase(index); });
    }

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    mnuUseTables = addMenuItem(options, QStringLiteral("Use Tables"), "mnuUseTables");
    mnuUseViews = addMenuItem(options, QStringLiteral("Use Views"), "mnuUseViews");
    connect(mnuUseTables, &QAction::triggered, this, &frmMain::mnuUseTables_Click);
    connect(mnuUseViews, &QAction::triggered, this, &frmMain::mnuUseViews_Click);
    options->addSeparator();
    mnuLockAliasColumn = addMenuItem(options, QStringLiteral("Lock alias column to left"), "mnuLockAliasColumn");
    mnuLockUniqueColumn = addMenuItem(options, QStringLiteral("Lock unique ID column to left"), "mnuLockUniqueColumn");
    connect(mnuLockAliasColumn, &QAction::triggered, this, [this] { m_browser->UpdateTableInformation(true); });
    connect(mnuLockUniqueColumn, &QAction::triggered, this, [this] { m_browser->UpdateTableInformation(true); });
    options->addSeparator();
    mnuShowObjectIDInToolTip = addMenuItem(options, QStringLiteral("Show ObjectID data in tooltip text"),
                                           "mnuShowObjectIDInToolTip");
    mnuShowWhereClause = addMenuItem(options, QStringLiteral("Show WHERE clause option"), "mnuShowWhereClause");
    options->addSeparator();
    mnuAlwaysOnTop = addAlwaysOnTopItem(options, this);
    mnuDumpTables = addMenuItem(options, QStringLiteral("Dump Tables"), "mnuDumpTables");

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelpMenu"));
    mnuHelp = addMenuItem(help, QStringLiteral("Help"), "mnuHelp");
    help->addSeparator();
    mnuAbout = addMenuItem(help, QStringLiteral("About"), "mnuAbout");
    mnuCheckForUpdatedVersion = addMenuItem(help, QStringLiteral("Check for updated version"),
                                            "mnuCheckForUpdatedVersion");

    mnuGridDataPopup = new QMenu(this);
    mnuGridDataPopup->setObjectName(QStringLiteral("mnuGridDataPopup"));
    mnuCopy = addMenuItem(mnuGridDataPopup, QStringLiteral("Copy"), "mnuCopy");
    mnuCopyCSV = addMenuItem(mnuGridDataPopup, QStringLiteral("Copy selection as CSV"), "mnuCopyCSV");
    mnuJump = addMenuItem(mnuGridDataPopup, QStringLiteral("Jump to this object"), "mnuJump");
    mnuPopupSeparator = mnuGridDataPopup->addSeparator();
    mnuPopupSeparator->setObjectName(QStringLiteral("mnuPopupSeparator"));
    mnuExportEntireGrid = addMenuItem(mnuGridDataPopup, QStringLiteral("Export entire grid data to CSV file"),
                                      "mnuExportEntireGrid");
    mnuExportVisibleRows = addMenuItem(mnuGridDataPopup, QStringLiteral("Export only visible rows to CSV file"),
                                       "mnuExportVisibleRows");

    for (QAction *a : {mnuUseTables, mnuUseViews, mnuLockAliasColumn, mnuLockUniqueColumn, mnuShowObjectIDInToolTip,
                       mnuShowWhereClause})
        a->setCheckable(true);
    // The check marks the window opens with, before any settings are read.
    mnuUseTables->setChecked(true);
    mnuLockAliasColumn->setChecked(true);
    mnuLockUniqueColumn->setChecked(true);
    mnuShowObjectIDInToolTip->setChecked(true);

    for (QAction *a : {mnuFindObjectID,
                       mnuFindValueinOrvexDirDB,
                       mnuAttachRemote,
                       mnuExportGridToCSVFile,
                       mnuExportVisibleRowsToCSV,
                       mnuStoredProcs,
                       mnuQueryBuilder,
                       mnuRegistry,
                       mnuOrvexConfigurationTree,
                       mnuObjectView,
                       mnuRefresh,
                       mnuShowWhereClause,
                       mnuDumpTables,
                       mnuHelp,
                       mnuAbout,
                       mnuCheckForUpdatedVersion,
                       mnuCopy,
                       mnuJump,
                       mnuExportEntireGrid,
                       mnuExportVisibleRows})
        a->setEnabled(false); // until the part of the window that answers it is wired
    connect(mnuShowObjectIDInToolTip, &QAction::triggered, this, [] {});
}

void frmMain::buildControls()
{
    QWidget *central = addCentralArea(this);

    m_gridTables = new Grid(central);
    m_gridTables->gridModel()->setTranslatedCaptions(true);
    m_gridTables->setObjectName(QStringLiteral("gridTables"));
    m_gridTables->setAccessibleName(QStringLiteral("Tables"));
    m_gridTables->setColumns({QStringLiteral("Table Name")});
    m_gridTables->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_gridTables->horizontalHeader()->setStretchLastSection(true);

    m_gridColumns = new Grid(central);
    m_gridColumns->gridModel()->setTranslatedCaptions(true);
    m_gridColumns->setObjectName(QStringLiteral("gridColumns"));
    m_gridColumns->setAccessibleName(QStringLiteral("Columns"));
    m_gridColumns->setColumns({QStringLiteral("Column Name")});
    m_gridColumns->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_gridColumns->horizontalHeader()->setStretchLastSection(true);

    m_tabInfo = new QTabWidget(central);
    m_tabInfo->setObjectName(QStringLiteral("tabInfo"));
    m_tabTable = new QWidget;
    m_tabTable->setObjectName(QStringLiteral("tabTableInfo"));
    m_txtTableInfo = new QTextEdit(m_tabTable);
    m_txtTableInfo->setObjectName(QStringLiteral("txtTableInfo"));
    m_txtTableInfo->setAccessibleName(QStringLiteral("Table Info"));
    m_txtTableInfo->setReadOnly(true);
    m_tabColumn = new QWidget;
    m_tabColumn->setObjectName(QStringLiteral("tabColumnInfo"));
    m_txtColumnInfo = new QTextEdit(m_tabColumn);
    m_txtColumnInfo->setObjectName(QStringLiteral("txtColumnInfo"));
    m_txtColumnInfo->setAccessibleName(QStringLiteral("Column Info"));
    m_txtColumnInfo->setReadOnly(true);
    m_tabWhere = new QWidget(m_tabInfo);
    m_tabWhere->hide();
    m_tabWhere->installEventFilter(this);
    m_tabWhere->setObjectName(QStringLiteral("tabWhere"));
    m_lblWhere = new QLabel(QStringLiteral("WHERE:"), m_tabWhere);
    m_lblWhere->setObjectName(QStringLiteral("lblWhere"));
    m_txtWhere = new QPlainTextEdit(m_tabWhere);
    m_txtWhere->setObjectName(QStringLiteral("txtWhere"));
    m_txtWhere->setAccessibleName(QStringLiteral("WHERE clause"));
    m_txtWhere->setTabChangesFocus(true);
    m_lblWhere->setBuddy(m_txtWhere);
    m_chkStickWhere = new QCheckBox(QStringLiteral("Make WHERE clause for this table \"sticky\""), m_tabWhere);
    m_chkStickWhere->setObjectName(QStringLiteral("chkStickWhere"));
    m_cmdApply = new QPushButton(QStringLiteral("Apply"), m_tabWhere);
    m_cmdApply->setObjectName(QStringLiteral("cmdApply"));
    m_cmdClear = new QPushButton(QStringLiteral("Clear"), m_tabWhere);
    m_cmdClear->setObjectName(QStringLiteral("cmdClear"));
    m_tabInfo->addTab(m_tabTable, QStringLiteral("Table Info"));
    m_tabInfo->addTab(m_tabColumn, QStringLiteral("Column Info"));

    m_cmdBack = new QPushButton(QStringLiteral("<< Back"), central);
    m_cmdBack->setObjectName(QStringLiteral("cmdBack"));
    m_cmdBack->setEnabled(false);
    m_lblRows = new QLabel(QStringLiteral("Rows in table:"), central);
    m_lblRows->setObjectName(QStringLiteral("lblRows"));
    m_txtRows = new QLineEdit(central);
    m_txtRows->setObjectName(QStringLiteral("txtRows"));
    m_txtRows->setReadOnly(true);
    m_txtRows->setAccessibleName(QStringLiteral("Rows in table"));
    m_lblRows->setBuddy(m_txtRows);

    m_imgSplitter = new SplitterBar(central);
    m_imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    m_imgSplitter->setAccessibleName(QStringLiteral("Splitter"));
    m_imgSplitter->setAccessibleDescription(QStringLiteral("Drag, or use the Up and Down keys, to resize the panes"));
    connect(m_imgSplitter, &SplitterBar::dragged, this, [this](int dy) { dragSplitterBy(pixelsToTwips(dy)); });
    connect(m_imgSplitter, &SplitterBar::stepped, this, [this](int direction) { dragSplitterBy(direction * 120); });

    m_gridData = new Grid(central);
    m_gridData->setObjectName(QStringLiteral("gridData"));
    m_gridData->setAccessibleName(QStringLiteral("Rows"));

    statusBar()->setObjectName(QStringLiteral("sbStatus"));
    m_lblConnection = new QLabel(this);
    m_lblConnection->setObjectName(QStringLiteral("lblConnection"));
    m_lblConnection->setProperty("korvaNoTranslation", true); // the server and database, in any language
    statusBar()->addPermanentWidget(m_lblConnection);

    m_tooltip = new cTooltip(this);
    m_tooltip->setObjectName(QStringLiteral("hoverTip"));
}

int frmMain::twipsToPixels(int twips) const { return placement::twipsToPixels(twips, this); }

int frmMain::pixelsToTwips(int pixels) const { return int(placement::pixelsToTwips(pixels, logicalDpiX())); }

int frmMain::checkedDatabase() const
{
    for (int i = 0; i < 4; ++i)
        if (mnuDatabases[i]->isChecked())
            return i;
    return -1;
}

bool frmMain::useTables() const { return mnuUseTables->isChecked(); }

bool frmMain::Form_Load(const QString &commandLine)
{
    m_shutDown = false;
    m_starting = true;
    const auto started = qScopeGuard([this] { m_starting = false; });
    applyKeptServer();
    setCaption();
    if (!readInstallFolder() && !startWithoutInstall(commandLine)) {
        shutdown();
        return false;
    }
    m_state.dictionaryFolder =
        m_state.installFolder.isEmpty()
            ? QString()
            : QDir(m_state.installFolder).filePath(QStringLiteral("ConfigurationModules/DatabaseScripts")) + u'/';
    readSettings();
    // A server's kept files reopen on the database last looked at there.
    if (m_kept && !m_kept->lastDatabase.isEmpty()) {
        const auto &list = databases();
        const auto last = std::find_if(list.begin(), list.end(), [this](const DatabaseInfo &info) {
            return m_kept->lastDatabase.compare(QString::fromUtf16(info.name), Qt::CaseInsensitive) == 0;
        });
        if (last != list.end())
            for (std::size_t i = 0; i < list.size(); ++i)
                mnuDatabases[i]->setChecked(&list[i] == &*last);
    }
    readCommandLine(commandLine);
    chooseServer();
    m_wantKnownNames = true;
    // Starting over, the opening shows the first table itself.
    const bool showsTable = m_loaded;
    InitalizeDB();
    // The start-up version hook runs on the local server only.
    if (m_localMode)
        modUpdateCheck::runVersionHook(modUpdateCheck::homePageUrl(), QString());
    if (m_splash)
        m_splash->hide();
    m_loaded = true;
    Form_Resize();
    if (!showsTable)
        m_browser->UpdateTableInformation(true);
    return true;
}

void frmMain::setCaption() { modLocalize::setComposedTitle(this, kCaption, m_state.remoteLabel); }

bool frmMain::readInstallFolder()
{
    const QString problem = RegistryAPI::storeProblem();
    if (!problem.isEmpty())
        m_msg.message(problem);
    m_state.installFolder = RegistryAPI::GetValue(RegistryAPI::HKEY_LOCAL_MACHINE, serverfiles::installKey(),
                                                  serverfiles::installValueName(), RegistryAPI::REG_SZ, QString())
                                .toString();
    // A server's export names the folder on the server: its kept copy stands for it.
    if (m_kept && !m_state.installFolder.isEmpty())
        m_state.installFolder = serverfiles::mapPath(*m_kept, m_state.installFolder);
    return !m_state.installFolder.isEmpty();
}

bool frmMain::startWithoutInstall(const QString &commandLine)
{
    // Attached to a server with no installation here: it is browsed without dictionaries.
    if (m_withoutInstall && !m_state.connectionString.isEmpty())
        return true;
    if (!m_noInstallChoice) {
        m_msg.message(kNoInstallMessage);
        return false;
    }
    // The server whose files were used last opens again by itself.
    if (!m_kept) {
        const QList<serverfiles::KeptServer> last = serverfiles::recent(1);
        if (!last.isEmpty()) {
            m_state.keptServer = last.first().name;
            applyKeptServer();
            setCaption();
            if (readInstallFolder())
                return true;
        }
    }
    if (m_splash)
        m_splash->hide();
    for (;;) {
        switch (m_noInstallChoice(parseCommandLine(commandLine).instance)) {
        case StartChoice::Quit:
            return false;
        case StartChoice::Attached:
            m_withoutInstall = true;
            m_state.installFolder.clear();
            setCaption();
            return true;
        case StartChoice::Ready:
            applyKeptServer();
            setCaption();
            if (readInstallFolder())
                return true;
            m_msg.message(kNoInstallMessage);
            break;
        }
    }
}

void frmMain::applyKeptServer()
{
    const std::optional<serverfiles::KeptServer> kept = serverfiles::find(m_state.keptServer);
    if (!kept) {
        m_kept.reset();
        m_state.keptServer.clear();
        RegistryAPI::setStoreFile({});
        return;
    }
    m_kept = std::make_unique<serverfiles::KeptServer>(*kept);
    m_withoutInstall = false;
    // The registry is the one exported on that server.
    RegistryAPI::setStoreFile(m_kept->registryFile());
    // Unless a server was attached since, the one the files came from is used.
    if (m_state.connectionString.isEmpty()) {
        m_state.remoteLabel = m_kept->server;
        m_state.remoteInstance = db::parseConnectionString(QStringLiteral("server=") + m_kept->server).instance;
    }
}

void frmMain::openKeptServer(const QString &name)
{
    if (!serverfiles::find(name)) {
        m_msg.message(QStringLiteral("The files kept for %1 are no longer there.").arg(name));
        return;
    }
    m_state.keptServer = name;
    m_state.connectionString.clear();
    m_state.remoteLabel.clear();
    m_state.remoteInstance.clear();
    Form_Load(m_commandLine);
}

void frmMain::fillRecentServers()
{
    serverfiles::fillRecentMenu(mnuRecentServers, this, [this](const QString &name) { openKeptServer(name); });
}

void frmMain::readSettings()
{
    // "Use Views" is what the menu shows until the settings say otherwise; the
    // stored values go over the documented defaults. The database marks of a
    // window that is already running stay as they are when none is stored.
    mnuUseViews->setChecked(true);
    mnuUseTables->setChecked(false);
    const MainSettings running = currentSettings();
    const MainSettings s = readMainSettings(*openSettings(), m_loaded ? &running : nullptr);
    m_settings = s;
    m_settingsRead = true;
    applySettings();
    if (checkedDatabase() < 0)
        mnuDatabases[int(Db::Dir)]->setChecked(true);
}

void frmMain::readCommandLine(const QString &commandLine)
{
    m_commandLine = commandLine;
    const CommandLine cl = parseCommandLine(commandLine);
    m_state.editMode = cl.editMode;
    // An attached server found as "host\instance" keeps that instance.
    m_state.instanceName = m_state.remoteInstance.isEmpty() ? cl.instance : m_state.remoteInstance;
}

void frmMain::chooseServer()
{
    // A connection string already set comes from a remote attach: the registry
    // viewer reads the local machine only. A server's kept files: its SQL
    // Server, and its exported registry to look into.
    m_localMode = m_state.connectionString.isEmpty() && !m_kept;
    if (!m_state.connectionString.isEmpty()) {
        mnuRegistry->setEnabled(false);
        return;
    }
    if (m_kept)
        mnuRegistry->setEnabled(m_context.isRegistered(QStringLiteral("frmRegistry")));
    const QString typed = m_kept ? m_kept->server : WorkStationInfo::instance().ComputerName();
    m_state.serverName = serverNameOf(typed);
    m_state.connectionString = composeConnectionString(m_state.serverName, m_state.instanceName,
                                                       QStringLiteral("OrvexDirDB"));
}

void frmMain::applySettings()
{
    const MainSettings &s = m_settings;
    showInMenu(s, settingsMenu());
    showWhereTab(s.showWhereClause);

    // Geometry: the stored values are the outer window in twips, placed with
    // the minimum size already in force so that the placement knows the real size.
    applyMinimumSize();
    if (!isMinimized() && !m_loaded)
        m_placement->restore({s.left, s.top, s.width, s.height});
    m_splitterTop = s.splitterPos;
}

MainSettings frmMain::currentSettings() const
{
    MainSettings s = m_settings;
    const StoredPlacement g = m_placement->current();
    auto toInt = [](qint64 v) { return int(std::clamp<qint64>(v, INT_MIN, INT_MAX)); };
    s.left = toInt(g.left);
    s.top = toInt(g.top);
    s.width = toInt(g.width);
    s.height = toInt(g.height);
    s.splitterPos = m_splitterTop;
    takeFromMenu(s, settingsMenu());
    return s;
}

SettingsMenu frmMain::settingsMenu() const
{
    SettingsMenu m{mnuUseTables,      mnuUseViews, mnuLockAliasColumn, mnuLockUniqueColumn, mnuShowObjectIDInToolTip,
                   mnuShowWhereClause};
    std::copy(std::begin(mnuDatabases), std::end(mnuDatabases), std::begin(m.databases));
    return m;
}

void frmMain::saveSettings()
{
    auto store = openSettings();
    saveMainSettings(*store, currentSettings(), isMinimized());
}

void frmMain::closeResultSets()
{
    // Failures while closing are of no interest at this point.
    m_gridTables->gridModel()->setColumns({QStringLiteral("Table Name")});
    m_gridColumns->gridModel()->setColumns({QStringLiteral("Column Name")});
    m_gridData->gridModel()->setColumns({});
}

void frmMain::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // Settings that were never read are not overwritten with the window's defaults.
    if (m_settingsRead)
        saveSettings();
    // Queries still running anywhere (a load, a window's free SQL) stop now
    // instead of keeping the exit waiting for them.
    db::interruptAll();
    closeResultSets();
    if (m_splash)
        m_splash->hide();
    // Ending the program closes every window.
    QApplication::closeAllWindows();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    shutdown();
    event->accept();
}

void frmMain::reportInitError(const Error &error)
{
    m_msg.message(procedureError(error, u"InitalizeDB", u"frmMain") + QStringLiteral(".  Using connection string=")
                  + m_state.connectionString);
}

void frmMain::InitalizeDB()
{
    if (isVisible() && m_splash)
        m_splash->showOver(this);
    // Another database: no way back to the previous one's rows, and no description of its objects.
    m_navigator->forgetAll();
    m_browser->stop();
    closeResultSets();
    if (m_state.connectionString.isEmpty())
        m_state.serverName = WorkStationInfo::instance().ComputerName();
    OpeningRequest request;
    request.dictionaryPath = connectToCheckedDatabase();
    request.connection = m_state.connectionString;
    request.tableListQuery = tableListQuery(useTables(), m_catalogue);
    request.withDictionary = !m_state.dictionaryFolder.isEmpty();
    request.withKnownNames = std::exchange(m_wantKnownNames, false);
    showConnection();
    m_browser->dictionaryReplaced(); // its table node points into the document that is replaced now
    OpenedDatabase opened;
    {
        // The server is asked on a database thread (which may ask for a SQL
        // Server login); the window paints meanwhile but takes no input that
        // could start another opening.
        const InputHold hold(this);
        const BusyPointer busy;
        opened = awaitOnDatabaseThread([request] {
            const db::LoginPromptScope mayAsk;
            return openDatabase(request);
        });
    }
    showOpenedDatabase(opened);
    m_context.databaseOpened();
    m_tooltip->Create(this);
    m_tooltip->setMaxTipWidth(400);
    if (m_tooltip->AddTool(m_gridData))
        m_tooltip->setToolText(m_gridData, QString());
    if (m_loaded)
        m_browser->UpdateTableInformation(true);
    if (m_splash)
        m_splash->hide();
}

void frmMain::showOpenedDatabase(OpenedDatabase &opened)
{
    for (const Error &e : opened.tableErrors)
        reportInitError(e);
    m_initializing = true;
    if (opened.tables) {
        m_gridTables->setResultSet(opened.tables);
        if (m_gridTables->rows() > 1)
            m_gridTables->setCurrentCell(1, 1);
    } else {
        m_gridTables->setColumns({QStringLiteral("Table Name")});
    }
    m_lastTableRow = m_gridTables->row();
    m_initializing = false;
    m_state.dictionary = std::move(opened.dictionary);
    if (opened.dictionaryState == OpenedDatabase::Dictionary::Missing)
        reportInitError({53, QStringLiteral("File not found")});
    else if (opened.dictionaryState == OpenedDatabase::Dictionary::Broken)
        m_msg.message(QStringLiteral("XML problem at startup"));
    if (!opened.knownTableNames.isEmpty() || !opened.knownViewNames.isEmpty()) {
        m_state.knownTableNames = opened.knownTableNames;
        m_state.knownViewNames = opened.knownViewNames;
    }
}

QString frmMain::connectToCheckedDatabase()
{
    const int checked = checkedDatabase();
    if (checked < 0) {
        m_msg.message(QStringLiteral("Invalid database selection value"));
        m_catalogue.clear();
        return {};
    }
    const DatabaseInfo &info = databases()[std::size_t(checked)];
    m_catalogue = QString::fromUtf16(info.catalogue);
    m_state.connectionString = composeConnectionString(m_state.serverName, m_state.instanceName,
                                                       QString::fromUtf16(info.name));
    if (m_kept)
        serverfiles::markUsed(m_kept->name, QString::fromUtf16(info.name));
    if (m_state.dictionaryFolder.isEmpty())
        return {};
    return m_state.dictionaryFolder + QString::fromUtf16(info.dictionary);
}

void frmMain::showConnection()
{
    // A port names the instance on its own: it is shown instead.
    const db::ConnectionTarget target = db::parseConnectionString(m_state.connectionString);
    const QString where = target.port > 0             ? u',' + QString::number(target.port)
                          : target.instance.isEmpty() ? QString()
                                                      : u'\\' + target.instance;
    m_lblConnection->setText(target.server + where + QStringLiteral("  ") + target.database);
}

void frmMain::chooseDatabase(int index)
{
    for (int i = 0; i < 4; ++i)
        mnuDatabases[i]->setChecked(i == index);
    InitalizeDB();
}

void frmMain::mnuUseTables_Click()
{
    // The action has flipped its own mark already; the other takes the opposite.
    mnuUseViews->setChecked(!mnuUseTables->isChecked());
    InitalizeDB();
}

void frmMain::mnuUseViews_Click()
{
    mnuUseTables->setChecked(!mnuUseViews->isChecked());
    InitalizeDB();
}

void frmMain::setSplitterTop(int twips)
{
    m_splitterTop = twips;
    Form_Resize();
}

void frmMain::dragSplitterBy(int mouseYTwips)
{
    const int H = pixelsToTwips(centralWidget()->height()) + kNonClientHeight;
    const int top = clampSplitterTop(m_splitterTop + mouseYTwips, H);
    if (top != m_splitterTop) {
        m_splitterTop = top;
        Form_Resize();
    }
}

void frmMain::applyMinimumSize()
{
    // The central area's minimum plus the menu and status bars.
    const QSize minCentral(twipsToPixels(kMinMainWidth - kNonClientWidth),
                           twipsToPixels(kMinMainHeight - kNonClientHeight));
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    QSize least(minCentral.width(), minCentral.height() + bars);
    // On a screen smaller than that (or at a large scale factor) the window
    // must still fit, frame and all.
    if (const QScreen *s = screen()) {
        const QMargins frame = placement::frameOf(this);
        least = least.boundedTo(s->availableGeometry().size()
                                - QSize(frame.left() + frame.right(), frame.top() + frame.bottom()));
    }
    setMinimumSize(least);
}

void frmMain::Form_Resize()
{
    if (isMinimized() || !centralWidget())
        return;
    // Before the window is first shown its children have no geometry yet.
    if (layout())
        layout()->activate();
    applyMinimumSize();

    const QWidget *c = centralWidget();
    const int W = pixelsToTwips(c->width()) + kNonClientWidth;
    const int H = pixelsToTwips(c->height()) + kNonClientHeight;
    const MainLayout l = layoutMainWindow(W, H, m_splitterTop);
    m_splitterTop = l.splitterTop;
    auto px = [this](const QRect &r) {
        return QRect(twipsToPixels(r.x()), twipsToPixels(r.y()), twipsToPixels(r.width()), twipsToPixels(r.height()));
    };
    m_imgSplitter->setGeometry(px(l.splitter));
    m_gridTables->setGeometry(px(l.tables));
    m_gridColumns->setGeometry(px(l.columns));
    m_tabInfo->setGeometry(px(l.tabs));
    m_cmdBack->setGeometry(px(l.back));
    m_lblRows->setGeometry(px(l.rowsLabel));
    m_txtRows->setGeometry(px(l.rowsBox));
    m_gridData->setGeometry(px(l.data));
    // Tab pages: the boxes fill the page, less the margins, and never pass its edge.
    const QRect page = m_tabInfo->currentWidget() ? m_tabInfo->currentWidget()->rect() : m_tabTable->rect();
    const QRect desc = px(l.description);
    const QRect inPage(desc.x(), desc.y(), std::min(desc.width(), page.width() - 2 * desc.x()),
                       std::max(0, page.height() - 2 * desc.y()));
    m_txtTableInfo->setGeometry(inPage);
    m_txtColumnInfo->setGeometry(inPage);
    layoutWherePage();
    showWhereTab(mnuShowWhereClause->isChecked());
}

void frmMain::showWhereTab(bool show)
{
    const int at = m_tabInfo->indexOf(m_tabWhere);
    if (show && at < 0)
        m_tabInfo->addTab(m_tabWhere, QStringLiteral("WHERE filter"));
    else if (!show && at >= 0)
        m_tabInfo->removeTab(at);
}

void frmMain::layoutWherePage()
{
    // The WHERE controls are placed from the tab box's edges; the page starts
    // below the tab bar, so its own height tells where the box ends.
    const int W = pixelsToTwips(centralWidget()->width()) + kNonClientWidth;
    const int H = pixelsToTwips(centralWidget()->height()) + kNonClientHeight;
    const MainLayout l = layoutMainWindow(W, H, m_splitterTop);
    const QRect page = m_tabWhere->rect();
    const int pageOffset = std::max(0, m_tabInfo->height() - page.height());
    auto place = [&](const QRect &r, bool fromTop) {
        QRect p(twipsToPixels(r.x()), twipsToPixels(r.y()), twipsToPixels(r.width()), twipsToPixels(r.height()));
        if (!fromTop)
            p.translate(0, -pageOffset);
        p.setWidth(std::max(0, std::min(p.width(), page.width() - 2 * p.x())));
        return p;
    };
    m_lblWhere->setGeometry(place(l.whereLabel, true));
    m_txtWhere->setGeometry(place(l.where, true));
    m_chkStickWhere->setGeometry(place(l.sticky, false));
    m_cmdApply->setGeometry(place(l.apply, false));
    m_cmdClear->setGeometry(place(l.clear, false));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tabWhere && event->type() == QEvent::Resize)
        layoutWherePage();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace korva
