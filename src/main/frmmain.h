#pragma once

#include "appcontext/windowcontext.h"
#include "main/mainsettings.h"
#include "navigation/navigator.h"

#include <QtWidgets/QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimer;

namespace korva {

class Grid;
class SplitterBar;
class TableBrowser;
struct OpenedDatabase;
class Messenger;
class cTooltip;
class frmSplashScreen;
class WindowPlacement;
namespace db {
class ResultSet;
}
namespace modUpdateCheck {
class UpdateCheck;
}
namespace serverfiles {
struct KeptServer;
}

// What the user chose to do when no installation was found.
enum class StartChoice {
    Quit,     // the program ends
    Ready,    // an installation is there now, or the state names kept server files
    Attached, // the state holds an attached server: browse it without dictionaries
};

// The main browser window: start-up, settings, layout, database choice, the
// table list and the rows of the current table.
class frmMain : public QMainWindow, public JumpTarget, private navigation::Navigator::Window
{
    Q_OBJECT

public:
    // The main window becomes the context's jump target.
    frmMain(WindowContext &context, frmSplashScreen *splash = nullptr, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start sequence. False when the program has shut down in it.
    bool Form_Load(const QString &commandLine);
    bool hasShutDown() const { return m_shutDown; }
    void shutdown();
    // Asked when no installation is found, with the instance the command line
    // names; without it the start sequence reports the missing install folder
    // and shuts down.
    using NoInstallChoice = std::function<StartChoice(const QString &instance)>;
    void setNoInstallChoice(NoInstallChoice choice) { m_noInstallChoice = std::move(choice); }
    // Runs the start sequence again on the kept files of that server.
    void openKeptServer(const QString &name);

    SharedState &state() { return m_state; }
    const SharedState &state() const { return m_state; }
    WindowContext &context() { return m_context; }

    // Shows the table and selects the row of the ObjectID, as "Jump to this object" does.
    void jumpToObject(const QString &table, const QString &objectId) override;

    void InitalizeDB();
    void Form_Resize();
    int splitterTop() const { return m_splitterTop; } // twips
    void setSplitterTop(int twips);
    void dragSplitterBy(int mouseYTwips); // one mouse move while dragging

    // The connection string of the checked database and its catalogue.
    QString currentCatalogue() const { return m_catalogue; }
    int checkedDatabase() const; // index into databases(), -1 when none
    bool useTables() const;

    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

    // The rows of the chosen table, and what is done with them.
    TableBrowser &browser() { return *m_browser; }
    // ObjectID navigation: hover, jump and Back, the searches.
    navigation::Navigator &navigator() { return *m_navigator; }
    void mnuShowWhereClause_Click();
    // The Help menu's update check (made on first use).
    modUpdateCheck::UpdateCheck &updateCheck();
    void mnuObjectView_Click();
    // Prepares the grid menu's jump item from a description (empty hides it).
    void setJumpItem(const QString &description);

    bool whereTabShown() const;
    // Calls then once every row of the current table is in the grid.
    void whenRowsComplete(std::function<void()> then) override;

Q_SIGNALS:
    // The right button went down over the row grid, before its menu opens.
    void dataGridRightClicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setCaption();
    bool readInstallFolder();
    bool startWithoutInstall(const QString &commandLine);
    void applyKeptServer();
    void fillRecentServers();
    void readSettings();
    void readCommandLine(const QString &commandLine);
    void chooseServer();
    QString connectToCheckedDatabase(); // answers the path of its data dictionary
    void showConnection();
    void buildMenus();
    void layoutWherePage();
    void showWhereTab(bool show);
    void buildControls();
    void applyMinimumSize();
    void applySettings();
    MainSettings currentSettings() const;
    SettingsMenu settingsMenu() const;
    void saveSettings();
    void showOpenedDatabase(OpenedDatabase &opened);
    void reportInitError(const Error &error);
    void chooseDatabase(int index);
    void closeResultSets();

    void wireBrowsing();
    void gridData_MouseDown(const QPoint &globalPos);
    void gridData_OtherButton();
    void mnuUseTables_Click();
    void mnuUseViews_Click();
    // What the navigator asks of the window.
    bool listsTables() const override { return useTables(); }
    void setListsTables(bool tables) override;
    navigation::TableScanSource::Opener searchOpener() override;
    void showStatus(const QString &text, int timeoutMs) override;

    WindowContext &m_context;
    QString m_commandLine;
    Messenger &m_msg;
    frmSplashScreen *m_splash;
    SharedState &m_state;
    MainSettings m_settings;
    modUpdateCheck::UpdateCheck *m_updateCheck = nullptr;
    QString m_catalogue;
    bool m_shutDown = false;
    bool m_starting = false;       // in the start sequence
    bool m_withoutInstall = false; // attached with no installation: no dictionaries
    NoInstallChoice m_noInstallChoice;
    std::unique_ptr<serverfiles::KeptServer> m_kept; // the kept server files in use
    QMenu *mnuRecentServers = nullptr;
    QAction *mnuServerFiles = nullptr;
    bool m_localMode = true;
    bool m_loaded = false;
    bool m_settingsRead = false;
    int m_splitterTop = 2500;
    TableBrowser *m_browser = nullptr;
    navigation::Navigator *m_navigator = nullptr;
    bool m_initializing = false;
    bool m_wantKnownNames = false; // the next opening reads the directory's names too
    int m_lastTableRow = -1;
    bool m_tableLoadedByRowChange = false;
    void wireNavigation();
    void wireWindows();

    // Menus and commands.
    QAction *mnuFindObjectID = nullptr;
    QAction *mnuFindValueinOrvexDirDB = nullptr;
    QAction *mnuAttachRemote = nullptr;
    QAction *mnuExportGridToCSVFile = nullptr;
    QAction *mnuExportVisibleRowsToCSV = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuStoredProcs = nullptr;
    QAction *mnuQueryBuilder = nullptr;
    QAction *mnuRegistry = nullptr;
    QAction *mnuOrvexConfigurationTree = nullptr;
    QAction *mnuObjectView = nullptr;
    QAction *mnuRefresh = nullptr;
    QAction *mnuFindInGrid = nullptr;
    QAction *mnuFilterRow = nullptr;
    QAction *mnuDatabases[4] = {};
    QAction *mnuUseTables = nullptr;
    QAction *mnuUseViews = nullptr;
    QAction *mnuLockAliasColumn = nullptr;
    QAction *mnuLockUniqueColumn = nullptr;
    QAction *mnuShowObjectIDInToolTip = nullptr;
    QAction *mnuShowWhereClause = nullptr;
    QAction *mnuAlwaysOnTop = nullptr;
    QAction *mnuDumpTables = nullptr;
    QAction *mnuHelp = nullptr;
    QAction *mnuAbout = nullptr;
    QAction *mnuCheckForUpdatedVersion = nullptr;
    QMenu *mnuGridDataPopup = nullptr;
    QAction *mnuCopy = nullptr;
    QAction *mnuCopyCSV = nullptr;
    QAction *mnuJump = nullptr;
    QAction *mnuPopupSeparator = nullptr;
    QAction *mnuExportEntireGrid = nullptr;
    QAction *mnuExportVisibleRows = nullptr;

    // Controls.
    Grid *m_gridTables = nullptr;
    Grid *m_gridColumns = nullptr;
    QTabWidget *m_tabInfo = nullptr;
    QWidget *m_tabTable = nullptr;
    QWidget *m_tabColumn = nullptr;
    QWidget *m_tabWhere = nullptr;
    QTextEdit *m_txtTableInfo = nullptr;
    QTextEdit *m_txtColumnInfo = nullptr;
    QLabel *m_lblWhere = nullptr;
    QPlainTextEdit *m_txtWhere = nullptr;
    QPushButton *m_cmdApply = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QCheckBox *m_chkStickWhere = nullptr;
    SplitterBar *m_imgSplitter = nullptr;
    Grid *m_gridData = nullptr;
    QPushButton *m_cmdBack = nullptr;
    QLabel *m_lblRows = nullptr;
    QLineEdit *m_txtRows = nullptr;
    QLabel *m_lblConnection = nullptr;

    cTooltip *m_tooltip = nullptr; // a child, so it goes with the window
    WindowPlacement *m_placement = nullptr;
};

} // namespace korva
