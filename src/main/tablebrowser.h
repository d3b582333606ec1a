#pragma once

#include "appcontext/windowcontext.h"
#include "main/browsecontroller.h"
#include "navigation/navigationcontroller.h"
#include "platform/backgroundtask.h"

#include <QtCore/QObject>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QTimer;

namespace korva {

class Grid;
class Messenger;
class StickyWhereFiles;

// The table chosen in the main window's table list: its description, its
// columns, its rows under the WHERE clause (sticky or not), and what is done
// with them (refresh, export, copy). The rows are read off the window's
// thread; whatever needs all of them waits for them with whenRowsComplete.
class TableBrowser : public QObject
{
    Q_OBJECT

public:
    // The main window's controls it works on.
    struct Controls
    {
        Grid *tables = nullptr;
        Grid *columns = nullptr;
        Grid *rows = nullptr;
        QTextEdit *tableInfo = nullptr;
        QTextEdit *columnInfo = nullptr;
        QPlainTextEdit *where = nullptr;
        QPushButton *apply = nullptr;
        QPushButton *clear = nullptr;
        QCheckBox *stick = nullptr;
        QLineEdit *rowCount = nullptr;
        QStatusBar *status = nullptr;
        QAction *lockAlias = nullptr;
        QAction *lockUnique = nullptr;
        QAction *showWhere = nullptr;
        QAction *useTables = nullptr;
        std::function<int()> checkedDatabase; // index into databases(), -1 when none
        std::function<bool()> whereTabShown;
    };

    TableBrowser(WindowContext &context, const Controls &controls, QObject *parent);
    ~TableBrowser() override;

    // Shows the table that is current in the table list (none: an empty grid).
    void UpdateTableInformation(bool clearWhere);
    // Another database is being opened: nothing of this one's table stays
    // or is still being read.
    void stop();
    // The dictionary was replaced: the table's node in it is gone.
    void dictionaryReplaced();

    QString lastRowQuery() const { return m_lastRowQuery; }
    QString uniqueIdColumn() const { return m_uniqueId; }
    int lockedColumnCount() const { return m_lockedCount; }

    // Calls then once every row of the current table is in the grid (or its
    // load failed): at once when they are, else when the last batch comes,
    // with the busy pointer meanwhile. Esc, another table or a later call
    // gives the wait up. The window never blocks for it.
    void whenRowsComplete(std::function<void()> then);
    bool rowsComplete() const;

    // Sticky WHERE files.
    QString strGetWHEREClauseFileName();
    void SaveWHEREClauseToFile();
    void RemoveWHEREClausefile();
    bool LoadWHEREClauseFromFile(); // true when a sticky file filled the box

    // Commands.
    void cmdApply_Click();
    void cmdClear_Click();
    void chkStickWhere_Click();
    void mnuRefresh_Click();
    void exportGrid(bool visibleOnly, bool fromPopup);
    void mnuCopy_Click();
    void mnuDumpTables_Click();
    void showColumnDescription();
    void gridColumns_Click();

    // Opens a listed table as the row grid would show it; the opener runs on any thread.
    navigation::TableScanSource::Opener searchOpener();

Q_SIGNALS:
    // Nothing of the table shown before stays.
    void tableForgotten();
    // The rows are read again: what was known of their objects may have changed.
    void refreshing();

private:
    void forgetPreviousTable();
    void applyStickyWhere(bool clearWhere);
    void describeTable(const QString &listed);
    void startTableLoad(const TableRequest &request);
    void showTable(const QString &listed, bool hadWhere, TableLoad load);
    // The database was locked by another program: say so, and ask again shortly.
    void retryWhenFree(const QString &listed, const Error &error);
    void showRows(const QString &listed, bool hadWhere, const TableLoad &load);
    void rowsLoaded();
    void reportRowError(const Error &error, bool hadWhere);
    void continueWhenRowsComplete();
    void abandonRowsWait(const QString &why);
    void showEditFailure(long number, const QString &description);
    void gridColumns_RowColChange();

    WindowContext &m_context;
    const SharedState &m_state;
    Messenger &m_msg;
    std::function<int()> m_checkedDatabase;
    std::function<bool()> m_whereTabShown;
    Grid *m_gridTables;
    Grid *m_gridColumns;
    Grid *m_gridData;
    QTextEdit *m_txtTableInfo;
    QTextEdit *m_txtColumnInfo;
    QPlainTextEdit *m_txtWhere;
    QPushButton *m_cmdApply;
    QPushButton *m_cmdClear;
    QCheckBox *m_chkStickWhere;
    QLineEdit *m_txtRows;
    QStatusBar *m_status;
    QAction *mnuLockAliasColumn;
    QAction *mnuLockUniqueColumn;
    QAction *mnuShowWhereClause;
    QAction *m_useTables;

    BackgroundTask<TableLoad> m_tableTask;
    std::function<void()> m_rowsWanted; // waiting for every row of the table
    std::unique_ptr<QObject> m_rowsWait;
    Error m_rowLoadError; // the last row load broke off: its rows are not the table
    xml::Node m_currentTable;
    std::unique_ptr<StickyWhereFiles> m_sticky;
    QTimer *m_busyRetry = nullptr;
    QString m_busyTable; // the table waiting for the database to be free
    TableRequest m_lastTableRequest;
    QString m_lastRowQuery;
    QString m_uniqueId;
    int m_lockedCount = 0;
    int m_lastColumnRow = -1;
    bool m_loadingColumns = false;
};

} // namespace korva
