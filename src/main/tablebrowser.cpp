// The browsing half of the main window: table and column lists, the row
// query with its WHERE clause and sticky files, export and clipboard.
#include "main/tablebrowser.h"

#include "dictionary/datadictionary.h"
#include "main/csvexport.h"
#include "support/localize.h"
#include "main/databases.h"
#include "main/rowquery.h"
#include "main/stickywhere.h"
#include "navigation/tableviewmap.h"
#include "platform/database.h"
#include "platform/paths.h"
#include "platform/sqlquote.h"
#include "support/busypointer.h"
#include "support/escapewatcher.h"
#include "support/messenger.h"
#include "widgets/descriptioncolors.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QDir>
#include <QtCore/QHash>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTextEdit>

#include <mutex>
#include <utility>

namespace korva {

namespace {

// A server attached with no installation here has no data dictionary.
const QString kNoDictionary = QStringLiteral(
    "\r\n\r\nNo data dictionary was found for this server, so there is no description. Use File, \"Use a server's "
    "files...\" with the dictionaries copied from the server to see them.");

} // namespace

TableBrowser::TableBrowser(WindowContext &context, const Controls &c, QObject *parent)
    : QObject(parent), m_context(context), m_state(context.state()), m_msg(context.messenger()),
      m_checkedDatabase(c.checkedDatabase), m_whereTabShown(c.whereTabShown), m_gridTables(c.tables),
      m_gridColumns(c.columns), m_gridData(c.rows), m_txtTableInfo(c.tableInfo), m_txtColumnInfo(c.columnInfo),
      m_txtWhere(c.where), m_cmdApply(c.apply), m_cmdClear(c.clear), m_chkStickWhere(c.stick), m_txtRows(c.rowCount),
      m_status(c.status), mnuLockAliasColumn(c.lockAlias), mnuLockUniqueColumn(c.lockUnique),
      mnuShowWhereClause(c.showWhere), m_useTables(c.useTables)
{
    connect(m_gridColumns, &QAbstractItemView::clicked, this, [this] {
        m_lastColumnRow = m_gridColumns->row();
        gridColumns_Click();
    });
    connect(m_gridColumns, &Grid::currentCellChanged, this, [this] { gridColumns_RowColChange(); });
    connect(m_gridData->gridModel(), &GridModel::loadingFinished, this, &TableBrowser::rowsLoaded);
    connect(m_gridData->gridModel(), &GridModel::editFailed, this, &TableBrowser::showEditFailure);
    connect(m_gridData->gridModel(), &GridModel::arranged, this, [this] {
        const GridModel *model = m_gridData->gridModel();
        if (model->isFiltered())
            m_status->showMessage(
                modLocalize::translated(QStringLiteral("%1 of %2 rows")).arg(model->rowCount()).arg(model->heldRows()));
        else
            m_status->clearMessage();
    });
    connect(m_gridData, &Grid::editRefused, this, [this](const QString &why) { m_msg.message(why); });
    connect(m_cmdApply, &QPushButton::clicked, this, &TableBrowser::cmdApply_Click);
    connect(m_cmdClear, &QPushButton::clicked, this, &TableBrowser::cmdClear_Click);
    connect(m_chkStickWhere, &QCheckBox::toggled, this, &TableBrowser::chkStickWhere_Click);
    connect(m_txtWhere, &QPlainTextEdit::textChanged, this, [this] { m_cmdApply->setEnabled(true); });
    m_cmdApply->setEnabled(false);
}

TableBrowser::~TableBrowser() = default;

void TableBrowser::stop()
{
    m_tableTask.cancel();
    if (m_busyRetry)
        m_busyRetry->stop();
    m_busyTable.clear();
    forgetPreviousTable();
}

void TableBrowser::dictionaryReplaced() { m_currentTable = xml::Node(); }

void TableBrowser::UpdateTableInformation(bool clearWhere)
{
    forgetPreviousTable();
    applyStickyWhere(clearWhere);
    const int tableRow = m_gridTables->row();
    if (m_busyRetry)
        m_busyRetry->stop();
    if (!m_busyTable.isEmpty()) {
        m_busyTable.clear();
        m_status->clearMessage();
    }
    if (tableRow < 1) {
        m_tableTask.cancel();
        m_currentTable = xml::Node();
        m_txtTableInfo->clear();
        m_txtColumnInfo->clear();
        m_gridColumns->setColumns({QStringLiteral("Column Name")});
        m_uniqueId.clear();
        return;
    }
    const QString listed = m_gridTables->textMatrix(tableRow, 1);
    describeTable(listed);

    // The server's part (columns, key, rows) is read on a database thread;
    // the window shows it when it comes, and stays responsive meanwhile.
    TableRequest request;
    request.connection = m_state.connectionString;
    request.directoryConnection = composeConnectionString(m_state.serverName, m_state.instanceName,
                                                          QStringLiteral("OrvexDirDB"));
    request.listed = listed;
    request.lockAlias = mnuLockAliasColumn->isChecked();
    request.lockUnique = mnuLockUniqueColumn->isChecked();
    request.editing = m_useTables->isChecked() && m_state.editMode;
    request.where = effectiveWhere(m_txtWhere->toPlainText(), m_whereTabShown());
    m_gridColumns->setColumns({QStringLiteral("Column Name")});
    startTableLoad(request);
}

void TableBrowser::startTableLoad(const TableRequest &request)
{
    m_lastTableRequest = request;
    m_gridData->viewport()->setCursor(Qt::BusyCursor);
    m_tableTask.start(
        this, [request](const StopToken &stop) { return browse::loadTable(request, &stop); },
        [this, listed = request.listed, hadWhere = !request.where.isEmpty()](TableLoad load) {
            showTable(listed, hadWhere, std::move(load));
        });
}

void TableBrowser::forgetPreviousTable()
{
    // Nothing of the previous table stays: its rows, count, query and key,
    // no tip describing one of its cells, and nothing waiting for its rows.
    abandonRowsWait(QStringLiteral("Another table was chosen before the rows came"));
    Q_EMIT tableForgotten();
    m_gridData->gridModel()->clear();
    m_gridData->setFrozenColumns(0);
    m_txtRows->clear();
    m_lastRowQuery.clear();
    m_rowLoadError = {};
}

void TableBrowser::applyStickyWhere(bool clearWhere)
{
    // The sticky box says whether a sticky file gave the clause, not merely that the box holds one.
    if (clearWhere && !m_txtWhere->toPlainText().isEmpty())
        m_txtWhere->setPlainText(QString());
    if (mnuShowWhereClause->isChecked()) {
        const bool loaded = LoadWHEREClauseFromFile();
        m_cmdApply->setEnabled(false);
        m_chkStickWhere->setChecked(loaded && !m_txtWhere->toPlainText().isEmpty());
    }
}

void TableBrowser::describeTable(const QString &listed)
{
    m_currentTable = dictionary::tableElement(m_state.dictionary,
                                              dictionary::dictionaryNameFor(listed, !m_useTables->isChecked()));
    m_txtTableInfo->clear();
    QFont plain = m_txtTableInfo->font();
    plain.setBold(false);
    m_txtTableInfo->setFont(plain);
    QString text = dictionary::tableDescription(listed, m_currentTable);
    if (m_state.dictionaryFolder.isEmpty())
        text += kNoDictionary;
    setColouredDescription(m_txtTableInfo, text, dictionary::kTableKeywords);
}

void TableBrowser::showTable(const QString &listed, bool hadWhere, TableLoad load)
{
    if (load.busy) {
        m_gridColumns->setColumns({QStringLiteral("Column Name")});
        m_gridData->viewport()->unsetCursor();
        retryWhenFree(listed, load.rowError);
        return;
    }
    if (!m_busyTable.isEmpty()) {
        m_busyTable.clear();
        m_status->clearMessage();
    }
    m_loadingColumns = true;
    if (load.columnRows) {
        m_gridColumns->setResultSet(load.columnRows);
        if (m_gridColumns->rows() > 1)
            m_gridColumns->setCurrentCell(1, 1);
    } else {
        m_gridColumns->setColumns({QStringLiteral("Column Name")});
    }
    m_loadingColumns = false;
    m_lastColumnRow = m_gridColumns->row();
    m_uniqueId = load.uniqueId;
    m_gridColumns->gridModel()->clearBoldRows();
    if (load.selectList.uniqueRow > 0)
        m_gridColumns->gridModel()->setBoldRow(m_gridColumns->modelRow(load.selectList.uniqueRow), true);
    if (!load.rowQuery.isEmpty())
        showRows(listed, hadWhere, load);
    else
        m_gridData->viewport()->unsetCursor();
    showColumnDescription();
    continueWhenRowsComplete();
}

void TableBrowser::retryWhenFree(const QString &listed, const Error &error)
{
    if (!m_busyRetry) {
        m_busyRetry = new QTimer(this);
        m_busyRetry->setSingleShot(true);
        m_busyRetry->setInterval(2000);
        connect(m_busyRetry, &QTimer::timeout, this, [this] {
            // Only while the user is still on that table; the same request
            // again, leaving the WHERE box and the sticky file as they are.
            const int row = m_gridTables->row();
            if (!m_busyTable.isEmpty() && row >= 1 && m_gridTables->textMatrix(row, 1) == m_busyTable
                && m_lastTableRequest.listed == m_busyTable)
                startTableLoad(m_lastTableRequest);
        });
    }
    m_busyTable = listed;
    m_status->showMessage(QStringLiteral("%1 cannot be read now: %2 It is shown as soon as the database is free.")
                              .arg(listed, error.description));
    m_busyRetry->start();
}

void TableBrowser::showRows(const QString &listed, bool hadWhere, const TableLoad &load)
{
    Q_UNUSED(listed);
    m_lastRowQuery = load.rowQuery;
    m_lockedCount = load.selectList.lockedCount;
    const auto userEdits = QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                           | QAbstractItemView::AnyKeyPressed;
    m_gridData->setEditRefusal(load.editRefusal);
    if (!load.rows) {
        m_gridData->viewport()->unsetCursor();
        m_rowLoadError = load.rowError;
        reportRowError(load.rowError, hadWhere);
        return;
    }
    GridModel *model = m_gridData->gridModel();
    model->setEditable(load.editable);
    m_gridData->setEditTriggers(load.editable || !load.editRefusal.isEmpty() ? userEdits
                                                                             : QAbstractItemView::NoEditTriggers);
    m_gridData->setResultSet(load.rows);
    m_gridData->fitColumns();
    m_gridData->setFrozenColumns(load.selectList.lockedCount);
}

void TableBrowser::reportRowError(const Error &error, bool hadWhere)
{
    // A server that cannot be reached is not a badly formed query, and the
    // WHERE clause is not to blame for it.
    if (error.number == db::kErrGeneric) {
        m_msg.message(QStringLiteral("The server cannot be reached: ") + error.description);
        return;
    }
    m_msg.message(QStringLiteral("Badly formed SQL query: ") + error.description);
    if (hadWhere)
        m_msg.message(QStringLiteral("Check the syntaxt of your WHERE clause and try again"));
}

void TableBrowser::rowsLoaded()
{
    m_gridData->viewport()->unsetCursor();
    const std::shared_ptr<db::ResultSet> &rs = m_gridData->gridModel()->resultSet();
    if (!rs)
        return;
    if (rs->lastError()) {
        // The query failed after its first rows: the rows read so far are not
        // the table, so nothing shows them as if they were.
        const Error e = rs->lastError();
        m_rowLoadError = e;
        m_gridData->clearRows();
        m_txtRows->clear();
        reportRowError(e, m_lastRowQuery.contains(QStringLiteral(" WHERE ")) && m_whereTabShown());
    } else {
        m_txtRows->setText(QString::number(rs->fetchedCount()));
    }
    continueWhenRowsComplete();
}

bool TableBrowser::rowsComplete() const { return !m_tableTask.isPending() && !m_gridData->gridModel()->isLoading(); }

void TableBrowser::whenRowsComplete(std::function<void()> then)
{
    m_rowsWanted = std::move(then);
    if (!m_rowsWait) {
        // The rows keep coming on their thread; the window waits for them
        // with the busy pointer, and Esc gives the wait up.
        m_rowsWait = std::make_unique<BusyWait>(
            [this] { abandonRowsWait(QStringLiteral("Stopped waiting for the rows")); });
    }
    continueWhenRowsComplete();
}

void TableBrowser::continueWhenRowsComplete()
{
    if (!m_rowsWanted || !rowsComplete())
        return;
    const std::function<void()> then = std::exchange(m_rowsWanted, {});
    m_rowsWait.reset();
    then();
}

void TableBrowser::abandonRowsWait(const QString &why)
{
    if (!m_rowsWanted)
        return;
    m_rowsWanted = {};
    m_rowsWait.reset();
    if (!why.isEmpty())
        m_status->showMessage(why, 5000);
}

void TableBrowser::showEditFailure(long number, const QString &description)
{
    m_msg.message(procedureError({number, description}, u"gridData_AfterEdit", u"frmMain"));
}

void TableBrowser::showColumnDescription()
{
    const int row = m_gridColumns->row();
    if (row < 1) {
        m_txtColumnInfo->clear();
        return;
    }
    const QString listed = m_gridTables->row() >= 1 ? m_gridTables->textMatrix(m_gridTables->row(), 1) : QString();
    const dictionary::ColumnDescription d = dictionary::columnDescription(m_state.dictionary, m_currentTable, listed,
                                                                          m_gridColumns->textMatrix(row, 1));
    if (d.found)
        setColouredDescription(m_txtColumnInfo, d.text, dictionary::kColumnKeywords);
    else if (m_state.dictionaryFolder.isEmpty())
        m_txtColumnInfo->setPlainText(d.text + kNoDictionary);
    else
        m_txtColumnInfo->setPlainText(d.text); // not found: left uncoloured
}

void TableBrowser::gridColumns_Click()
{
    showColumnDescription();
    const int row = m_gridColumns->row();
    if (row < 1)
        return;
    const QString name = m_gridColumns->textMatrix(row, 1);
    for (int c = 1; c < m_gridData->cols(); ++c)
        if (m_gridData->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0) {
            m_gridData->setLeftCol(c);
            break;
        }
}

void TableBrowser::gridColumns_RowColChange()
{
    if (m_loadingColumns)
        return;
    const int row = m_gridColumns->row();
    if (row == m_lastColumnRow)
        return;
    m_lastColumnRow = row;
    gridColumns_Click();
}

QString TableBrowser::strGetWHEREClauseFileName()
{
    const int checked = m_checkedDatabase();
    if (checked < 0) {
        m_msg.message(QStringLiteral("Invalid database selection configuration in strGetWhereClausefileName."));
        return {};
    }
    if (!m_sticky)
        m_sticky = std::make_unique<StickyWhereFiles>(runsInstalled() ? QString() : programFolder());
    const int row = m_gridTables->row();
    const QString listed = row >= 1 ? m_gridTables->textMatrix(row, 1) : QString();
    if (listed.isEmpty())
        return {};
    return m_sticky->fileName(QString::fromUtf16(databases()[std::size_t(checked)].stickyPrefix), listed);
}

void TableBrowser::SaveWHEREClauseToFile()
{
    const QString path = strGetWHEREClauseFileName();
    if (path.isEmpty())
        return;
    // The previous file stays when the new one cannot be written; the user is told,
    // since the clause would otherwise silently not come back.
    QString error;
    if (!m_sticky->save(path, m_txtWhere->toPlainText(), &error))
        m_msg.message(QStringLiteral("The sticky WHERE clause could not be saved to ") + QDir::toNativeSeparators(path)
                      + QStringLiteral(": ") + error);
}

void TableBrowser::RemoveWHEREClausefile()
{
    const QString path = strGetWHEREClauseFileName();
    if (!path.isEmpty())
        m_sticky->remove(path);
}

bool TableBrowser::LoadWHEREClauseFromFile()
{
    const QString path = strGetWHEREClauseFileName();
    if (path.isEmpty())
        return false;
    const auto text = m_sticky->load(path);
    if (!text)
        return false;
    if (*text != m_txtWhere->toPlainText())
        m_txtWhere->setPlainText(*text);
    return true;
}

void TableBrowser::cmdApply_Click()
{
    if (!m_chkStickWhere->isChecked() || m_txtWhere->toPlainText().trimmed().isEmpty()) {
        RemoveWHEREClausefile();
        m_chkStickWhere->setChecked(false);
    } else {
        SaveWHEREClauseToFile();
    }
    m_cmdApply->setEnabled(false);
    UpdateTableInformation(false);
}

void TableBrowser::cmdClear_Click()
{
    m_chkStickWhere->setChecked(false);
    m_cmdApply->setEnabled(false);
    RemoveWHEREClausefile();
    UpdateTableInformation(true);
}

void TableBrowser::chkStickWhere_Click()
{
    if (m_chkStickWhere->isChecked() && m_txtWhere->toPlainText().trimmed().isEmpty()) {
        m_msg.message(QStringLiteral("You must apply a WHERE clause before you can make it sticky"));
        m_chkStickWhere->setChecked(false);
    } else {
        m_cmdApply->setEnabled(true);
    }
}

void TableBrowser::mnuRefresh_Click()
{
    if (m_lastRowQuery.isEmpty())
        return;
    Q_EMIT refreshing(); // the objects may have changed too
    const bool editing = m_useTables->isChecked() && m_state.editMode && m_gridData->gridModel()->isEditable();
    const QString connection = m_state.connectionString;
    const QString sql = m_lastRowQuery;
    m_gridData->viewport()->setCursor(Qt::BusyCursor);
    m_tableTask.start(
        this,
        [connection, sql, editing] {
            TableLoad load;
            load.rows = browse::reopen(connection, sql, editing, 200, &load.rowError);
            return load;
        },
        [this](TableLoad load) {
            if (!load.rows) {
                m_gridData->viewport()->unsetCursor();
                m_msg.message(procedureError(load.rowError, u"mnuRefresh_Click", u"frmMain"));
                continueWhenRowsComplete();
                return;
            }
            m_txtRows->clear();
            m_gridData->setResultSet(load.rows);
            m_gridData->setFrozenColumns(m_lockedCount);
            continueWhenRowsComplete();
        });
}

void TableBrowser::exportGrid(bool visibleOnly, bool fromPopup)
{
    Q_UNUSED(fromPopup);
    const int tableRow = m_gridTables->row();
    const QString table = tableRow >= 1 ? m_gridTables->textMatrix(tableRow, 1) : QString();
    const QString title = visibleOnly ? QStringLiteral("Select CSV file name to save visible rows to")
                                      : QStringLiteral("Select CSV file name to save entire table to");
    // The proposed folder is the user's documents folder.
    const QString path = askCsvExportPath(m_msg, title, table + QStringLiteral("_Export.CSV"));
    if (path.isEmpty())
        return;
    const auto write = [this, visibleOnly, path] {
        QString error;
        int errorNumber = 0;
        bool ok = false;
        if (!visibleOnly && m_rowLoadError) {
            // The table could not be read to its end: no file is better than a short one.
            errorNumber = int(m_rowLoadError.number);
            error = m_rowLoadError.description;
        } else {
            BusyPointer busy;
            ok = writeGridCsv(*m_gridData, visibleOnly, path, &error, &errorNumber);
        }
        if (!ok) {
            // The file that was there is left as it was.
            m_msg.message(procedureError({errorNumber, error},
                                         visibleOnly ? u"mnuExportVisibleRows_Click" : u"mnuExportEntireGrid_Click",
                                         u"frmMain"));
            return;
        }
        m_msg.message(QStringLiteral("File saved"));
    };
    // The whole table is written once every row is in; the window goes on meanwhile.
    if (visibleOnly)
        write();
    else
        whenRowsComplete(write);
}

void TableBrowser::mnuCopy_Click()
{
    QClipboard *clip = QGuiApplication::clipboard();
    clip->clear();
    const int r = m_gridData->row();
    const int c = m_gridData->col();
    clip->setText(r >= 0 && c >= 0 ? m_gridData->textMatrix(r, c) : QString());
}

void TableBrowser::mnuDumpTables_Click()
{
    QString text;
    for (int r = 0; r < m_gridTables->rows(); ++r)
        text += m_gridTables->textMatrix(r, 1) + QStringLiteral("\r\n");
    QClipboard *clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setText(text);
    m_msg.message(QStringLiteral("Text on the clipboard"));
}


navigation::TableScanSource::Opener TableBrowser::searchOpener()
{
    // Each table is read as the row grid would show it: the same select list,
    // and its sticky WHERE clause when the WHERE tab is shown.
    TableRequest base;
    base.connection = m_state.connectionString;
    base.directoryConnection = composeConnectionString(m_state.serverName, m_state.instanceName,
                                                       QStringLiteral("OrvexDirDB"));
    base.lockAlias = mnuLockAliasColumn->isChecked();
    base.lockUnique = mnuLockUniqueColumn->isChecked();
    base.overlapKeyLookup = false; // the search reads table after table; no thread per table
    base.firstRows = 5000;
    base.compactText = false; // each table is read once and let go
    const bool whereShown = m_whereTabShown();
    const int checked = m_checkedDatabase();
    const QString prefix = checked >= 0 ? QString::fromUtf16(databases()[std::size_t(checked)].stickyPrefix)
                                        : QString();
    if (!m_sticky)
        m_sticky = std::make_unique<StickyWhereFiles>(runsInstalled() ? QString() : programFolder());
    const QString stickyFolder = m_sticky->folder();
    // What every table's select list needs is read once for the whole walk:
    // the column lists in one query, and each key table's key once.
    struct Catalogue
    {
        std::mutex mutex;
        bool read = false;
        bool ok = false;
        QHash<QString, QStringList> columns;
        QHash<QString, QString> keys; // by key table, in lower case
    };
    auto catalogue = std::make_shared<Catalogue>();
    QStringList listedTables;
    for (int r = 1; r < m_gridTables->rows(); ++r)
        listedTables << m_gridTables->textMatrix(r, 1);
    return [base, whereShown, prefix, stickyFolder, catalogue, listedTables](const QString &listed,
                                                               std::shared_ptr<const db::RowFilter> onlyMatching) {
        TableRequest r = base;
        r.listed = listed;
        r.onlyMatching = std::move(onlyMatching);
        {
            std::lock_guard lock(catalogue->mutex);
            if (!std::exchange(catalogue->read, true)) {
                catalogue->ok = browse::readColumnLists(base.connection, &catalogue->columns);
                catalogue->keys = browse::uniqueIdColumns(base.directoryConnection, listedTables);
            }
            if (catalogue->ok) {
                const auto it = catalogue->columns.constFind(listed.toLower());
                if (it != catalogue->columns.constEnd())
                    r.knownColumns = *it;
            }
            const QString keyTable = browse::keyTableFor(listed).toLower();
            auto key = catalogue->keys.constFind(keyTable);
            if (key == catalogue->keys.constEnd())
                key = catalogue->keys.insert(keyTable, browse::uniqueIdColumn(base.directoryConnection, listed));
            r.knownUniqueId = *key;
        }
        if (whereShown && !prefix.isEmpty()) {
            const StickyWhereFiles files(stickyFolder, StickyWhereFiles::InFolder);
            r.where = files.load(files.fileName(prefix, listed)).value_or(QString()).trimmed();
        }
        return browse::loadTable(r).rows;
    };
}

} // namespace korva
