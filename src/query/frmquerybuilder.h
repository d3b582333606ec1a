#pragma once

#include "platform/backgroundtask.h"
#include "platform/error.h"
#include "query/querycolors.h"
#include "query/querystatus.h"
#include "support/busypointer.h"

#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtWidgets/QMainWindow>

#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class QTimer;
class QPlainTextEdit;

namespace korva {

class Grid;
class WindowContext;
struct StoredPlacement;
namespace db {
class ResultSet;
class StoppableRun;
} // namespace db

// The query window's placement settings ("Settings" group, twips).
StoredPlacement readQueryPlacement(QSettings &store);
void saveQueryPlacement(QSettings &store, const StoredPlacement &placement);

// Whether a failed run empties the results grid ("Settings/QueryClearOnFailure",
// "True" or "False"). Off unless chosen: the grid then keeps what it showed.
bool readClearOnFailure(QSettings &store);
void saveClearOnFailure(QSettings &store, bool on);

// Runs any SQL text against the main window's connection, shows its rows or
// the records it changed, colours the text as it is typed and keeps the
// queries that ran in a history shared by the machine's users.
class frmQueryBuilder : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmQueryBuilder(WindowContext &context, QWidget *parent = nullptr);
    ~frmQueryBuilder() override;

    // Also F5 and Ctrl+Enter, wherever the focus is in the window.
    void cmdExecute_Click();
    // Stops the query that is running (Stop, Esc); what it changed stays changed.
    void cmdStop_Click();
    void cmdPreviousQueries_Click();
    void mnuPreviousQuery_Click(int index);
    void SetQueryColors();
    // A key going down in the query box, before it takes effect; true when
    // the key has been dealt with here.
    bool txtSQL_KeyDown(int key, Qt::KeyboardModifiers modifiers, bool insertsText);

    // A query is running on a database thread, its rows are still coming
    // into the grid, or it is still being added to the history.
    bool isRunning() const { return m_run.isPending() || m_rowsComing || m_savingHistory; }
    // Colours off the screen not yet put on.
    bool coloursPending() const { return !m_pendingColours.empty(); }

    // The address "Transact SQL Reference" opens ("Settings/TSQLReference").
    static QString tsqlReferenceAddress();

public Q_SLOTS:
    // After a language change: the status line in the new language.
    void frmQueryBuilder_Auto_Init();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct QueryRun
    {
        std::shared_ptr<db::ResultSet> rows;
        long recordsAffected = -1;
        korva::Error error;
        bool stopped = false;
        qint64 elapsedMs = 0;
        // Rows left for the grid's loader: the run's clock goes on until they
        // are in, and the query joins the history only then.
        QElapsedTimer took;
        QDateTime startedAt;
    };

    void buildMenus();
    void buildControls();
    void showRun(QueryRun run);
    void rowsLoaded();
    void saveHistory(const QString &text, const QDateTime &startedAt, qint64 elapsedMs);
    void showStatus();
    void setBusy(bool busy);
    void replaceText(const QString &text);
    void applyPendingColours();
    std::pair<qsizetype, qsizetype> shownRange() const;

    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuClear_Click();
    void mnuTSQLHelp_Click();
    void mnuAbout_Click();
    void exportGrid(bool visibleOnly);

    WindowContext &m_context;
    QPlainTextEdit *m_txtSQL = nullptr;
    Grid *m_gridSQL = nullptr;
    QPushButton *m_cmdExecute = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdPreviousQueries = nullptr;
    QMenu *m_gridPopup = nullptr;
    QMenu *m_historyPopup = nullptr;
    QMenu *m_mnuEdit = nullptr;
    QAction *m_mnuClearOnFailure = nullptr;
    QLabel *m_lblStatus = nullptr;
    // The last run, as the status line tells it; none before the first.
    std::optional<query::RunSummary> m_lastRun;
    QList<QAction *> m_historyItems; // mnuPreviousQuery(0), (1), ...
    query::KnownNames m_knownNames;
    // Colours of the text off the screen, put on while the window is idle.
    std::vector<query::ColourRange> m_pendingColours;
    QTimer *m_colourTimer = nullptr;
    int m_colouring = 0; // the text box changes by the colouring itself
    BackgroundTask<QueryRun> m_run;
    // The run whose rows the grid's loader is reading.
    bool m_rowsComing = false;
    bool m_stopAsked = false;
    bool m_savingHistory = false;
    QString m_comingText;
    QString m_comingDatabase;
    QDateTime m_comingStartedAt;
    QElapsedTimer m_comingTook;
    std::shared_ptr<db::StoppableRun> m_stopper;
    BusySpan m_busy{Qt::BusyCursor};
};

} // namespace korva
