// ObjectID navigation in the main window: hover descriptions, the jump and
// its history, Find Object ID and the search across tables.
#include "main/frmmain.h"

#include "main/databases.h"
#include "main/searchdialogs.h"
#include "main/stickywhere.h"
#include "navigation/references.h"
#include "navigation/tableviewmap.h"
#include "platform/paths.h"
#include "platform/resultset.h"
#include "support/ctooltip.h"
#include "support/busypointer.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QPointer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>

namespace korva {

namespace {

// Esc stops a running search across tables, wherever the focus is.
class EscapeWatcher : public QObject
{
public:
    explicit EscapeWatcher(std::function<void()> onEscape) : m_onEscape(std::move(onEscape)) { qApp->installEventFilter(this); }
    ~EscapeWatcher() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_onEscape();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_onEscape;
};

} // namespace

void frmMain::wireNavigation()
{
    connect(m_gridData, &Grid::mouseMoved, this, &frmMain::fg_MouseMove);
    connect(this, &frmMain::dataGridRightClicked, this, [this] {
        m_lastHoverRow = m_lastHoverCol = -1; // run the resolution for the cell under the mouse
        fg_MouseMove();
    });
    connect(mnuJump, &QAction::triggered, this, &frmMain::mnuJump_Click);
    connect(m_cmdBack, &QPushButton::clicked, this, &frmMain::cmdBack_Click);
    connect(mnuFindObjectID, &QAction::triggered, this, &frmMain::mnuFindObjectID_Click);
    connect(mnuFindValueinOrvexDirDB, &QAction::triggered, this, [this] { SearchCrossTables(false); });
    connect(mnuObjectView, &QAction::triggered, this, &frmMain::mnuObjectView_Click);
    for (QAction *a : {mnuJump, mnuFindObjectID, mnuFindValueinOrvexDirDB, mnuObjectView})
        a->setEnabled(true);
    mnuJump->setVisible(false);
}

int frmMain::dataColumn(const QString &name) const
{
    for (int c = 0; c < m_gridData->cols(); ++c)
        if (m_gridData->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

void frmMain::fg_MouseMove()
{
    // Nothing changes within the same cell.
    const int r = m_gridData->mouseRow();
    const int c = m_gridData->mouseCol();
    if (r == m_lastHoverRow && c == m_lastHoverCol)
        return;
    m_lastHoverRow = r;
    m_lastHoverCol = c;
    m_hoverTask.cancel();
    // The header row, or outside the rows.
    if (r < 1) {
        m_gridData->setToolTip(QString());
        m_tooltip->setToolText(m_gridData, QString());
        return;
    }
    const QString column = c >= 0 ? m_gridData->textMatrix(0, c) : QString();
    if (column.size() < 8) {
        m_referenceDescription.clear();
        showHover();
        return;
    }
    const int tableRow = m_gridTables->row();
    const QString listed = tableRow >= 0 ? m_gridTables->textMatrix(tableRow, 1) : QString();
    const int greetingCol = dataColumn(QStringLiteral("GreetingType"));
    const navigation::HoverTarget target = navigation::hoverTargetForCell(
        m_state.dictionary, listed, column, m_gridData->textMatrix(r, c),
        greetingCol >= 0 ? m_gridData->textMatrix(r, greetingCol) : QString());
    if (target.referencedTable.isEmpty()) {
        m_referenceDescription.clear();
        showHover();
        return;
    }
    // Described once per connection and object, then from the cache; the
    // first time on a database thread, so the mouse never waits on the server.
    const QString connection = m_state.connectionString;
    if (const auto known = m_navigation.descriptions().find(connection, target.referencedTable, target.objectId)) {
        applyHover(*known);
        return;
    }
    m_referenceDescription.clear();
    showHover();
    m_hoverTask.start(this,
                      [connection, target] { return navigation::describeObject(connection, target.referencedTable, target.objectId); },
                      [this, connection, target, r, c](navigation::ObjectDescription d) {
                          if (d.unexpected)
                              m_msg.message(navigation::ObjectDescriber::unexpectedErrorMessage(d.unexpected));
                          else
                              m_navigation.descriptions().insert(connection, target.referencedTable, target.objectId, d);
                          if (r == m_lastHoverRow && c == m_lastHoverCol)
                              applyHover(d);
                      });
}

void frmMain::applyHover(const navigation::ObjectDescription &d)
{
    m_referenceDescription = d.description;
    m_state.pendingJumpTable = d.jumpTable;
    m_state.pendingJumpObjectID = d.objectId;
    showHover();
}

void frmMain::showHover()
{
    m_gridData->setToolTip(QString());
    m_tooltip->setToolText(m_gridData, mnuShowObjectIDInToolTip->isChecked() ? m_referenceDescription : QString());
}

void frmMain::setJumpItem(const QString &description)
{
    QString caption = description;
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("  "));
    // An ampersand in the data is shown, not taken as a shortcut mark.
    caption.replace(u'&', QStringLiteral("&&"));
    mnuJump->setText(description.isEmpty() ? QStringLiteral("Jump to this object") : caption);
    mnuJump->setVisible(!description.isEmpty());
}

void frmMain::jumpToObject(const QString &table, const QString &objectId)
{
    m_state.pendingJumpTable = table;
    m_state.pendingJumpObjectID = objectId;
    mnuJump_Click();
    raise();
    activateWindow();
}

void frmMain::switchListingMode(bool tables)
{
    // A jump that changes the listing mode keeps its history.
    const navigation::JumpHistory keep = m_navigation.history();
    const bool backEnabled = m_cmdBack->isEnabled();
    mnuUseTables->setChecked(tables);
    mnuUseViews->setChecked(!tables);
    InitalizeDB();
    m_navigation.history() = keep;
    m_cmdBack->setEnabled(backEnabled);
}

void frmMain::mnuJump_Click()
{
    if (m_state.pendingJumpTable.isEmpty())
        return;
    // Back replays a jump without recording it again.
    if (m_replaying)
        m_replaying = false;
    else if (!recordJumpOrigin())
        return;
    const navigation::MappedName mapped = navigation::strMapTableToView(m_state.pendingJumpTable, useTables());
    if (mapped.change == navigation::ListingSwitch::ToViews)
        switchListingMode(false);
    else if (mapped.change == navigation::ListingSwitch::ToTables)
        switchListingMode(true);
    m_state.pendingJumpTable = mapped.name;
    selectTableAndRow(m_state.pendingJumpTable, m_state.pendingJumpObjectID);
}

bool frmMain::recordJumpOrigin()
{
    const int tableRow = m_gridTables->row();
    if (tableRow < 1)
        return false;
    const int idCol = dataColumn(QStringLiteral("ObjectID"));
    const int dataRow = m_gridData->row();
    m_navigation.history().push(m_gridTables->textMatrix(tableRow, 1),
                                idCol >= 0 && dataRow >= 0 ? m_gridData->textMatrix(dataRow, idCol) : QString());
    m_cmdBack->setEnabled(true);
    return true;
}

void frmMain::selectTableAndRow(const QString &table, const QString &objectId)
{
    for (int r = 1; r < m_gridTables->rows(); ++r) {
        if (m_gridTables->textMatrix(r, 1).compare(table, Qt::CaseInsensitive) == 0) {
            m_gridTables->setCurrentCell(r, 1);
            m_gridTables->setTopRow(r);
            break;
        }
    }
    if (objectId.isEmpty())
        return;
    // The row is looked for among every row of the table.
    finishRowLoad();
    const int idCol = dataColumn(QStringLiteral("ObjectID"));
    if (idCol < 0)
        return;
    for (int r = 1; r < m_gridData->rows(); ++r) {
        if (m_gridData->textMatrix(r, idCol).compare(objectId, Qt::CaseInsensitive) == 0) {
            m_gridData->setTopRow(r);
            m_gridData->setCurrentCell(r, idCol);
            m_gridData->gridModel()->setMarkedRow(m_gridData->modelRow(r));
            break;
        }
    }
}

void frmMain::cmdBack_Click()
{
    const auto entry = m_navigation.history().back();
    if (!entry)
        return;
    m_lastColumnRow = -1;
    m_replaying = true;
    m_state.pendingJumpTable = entry->table;
    m_state.pendingJumpObjectID = entry->objectId;
    mnuJump_Click();
    m_cmdBack->setEnabled(m_navigation.history().canGoBack());
    m_replaying = false;
}

void frmMain::mnuFindObjectID_Click()
{
    if (m_searching || m_findTask.isPending())
        return;
    const std::optional<QString> answer = m_msg.input(navigation::kFindObjectIdPrompt, navigation::kFindObjectIdTitle);
    if (!answer || answer->isEmpty())
        return;
    if (!navigation::isValidObjectIdInput(*answer)) {
        m_msg.message(navigation::kInvalidObjectIdMessage);
        return;
    }
    QStringList tables;
    for (int r = 1; r < m_gridTables->rows(); ++r)
        tables << m_gridTables->textMatrix(r, 1);
    // One query per table: on a database thread, with the busy pointer meanwhile.
    const QString connection = m_state.connectionString;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_findTask.start(this, [connection, tables, input = *answer] { return navigation::findObjectIdTable(connection, tables, input); },
                     [this](std::optional<navigation::ObjectIdMatch> match) {
                         QApplication::restoreOverrideCursor();
                         if (!match) {
                             m_msg.message(navigation::kNoObjectIdMatchMessage);
                             return;
                         }
                         m_state.pendingJumpTable = match->table;
                         m_state.pendingJumpObjectID = match->objectId;
                         mnuJump_Click();
                     });
}

void frmMain::SearchCrossTables(bool resume)
{
    if (m_searching)
        return;
    if (resume) {
        runSearch(QString(), false, true);
        return;
    }
    QString text;
    bool exact = true;
    {
        frmCrossTableSearchOptions options(m_msg, this);
        options.exec();
        text = options.searchText();
        exact = options.exactMatch();
    }
    if (text.isEmpty())
        return;
    runSearch(text, exact, false);
}

std::shared_ptr<navigation::TableScanSource> frmMain::searchSource()
{
    QStringList tables;
    for (int r = 1; r < m_gridTables->rows(); ++r)
        tables << m_gridTables->textMatrix(r, 1);
    // Each table is read as the row grid would show it: the same select list,
    // and its sticky WHERE clause when the WHERE tab is shown.
    TableRequest base;
    base.connection = m_state.connectionString;
    base.directoryConnection = composeConnectionString(m_state.serverName, m_state.instanceName, QStringLiteral("OrvexDirDB"));
    base.lockAlias = mnuLockAliasColumn->isChecked();
    base.lockUnique = mnuLockUniqueColumn->isChecked();
    base.overlapKeyLookup = false; // the search reads table after table; no thread per table
    base.firstRows = 5000;
    const bool whereShown = whereTabShown();
    const int checked = checkedDatabase();
    const QString prefix = checked >= 0 ? QString::fromUtf16(databases()[std::size_t(checked)].stickyPrefix) : QString();
    if (!m_sticky)
        m_sticky = std::make_unique<StickyWhereFiles>(runsInstalled() ? QString() : programFolder());
    const QString stickyFolder = m_sticky->folder();
    auto open = [base, whereShown, prefix, stickyFolder](const QString &listed) {
        TableRequest r = base;
        r.listed = listed;
        if (whereShown && !prefix.isEmpty()) {
            const StickyWhereFiles files(stickyFolder, StickyWhereFiles::InFolder);
            r.where = files.load(files.fileName(prefix, listed)).value_or(QString()).trimmed();
        }
        return browse::loadTable(r).rows;
    };
    // The status bar names the table being searched, at most ten times a second.
    QPointer<frmMain> self(this);
    auto progress = [self, shown = std::make_shared<QElapsedTimer>()](const QString &listed) {
        if (shown->isValid() && shown->elapsed() < 100)
            return;
        shown->start();
        QMetaObject::invokeMethod(self.data(), [self, listed] {
            if (self && self->m_searching)
                self->statusBar()->showMessage(QStringLiteral("Searching %1 ... (Esc stops)").arg(listed));
        }, Qt::QueuedConnection);
    };
    return std::make_shared<navigation::TableScanSource>(tables, open, progress);
}

void frmMain::runSearch(const QString &text, bool exact, bool resume)
{
    // One search at a time; the window stays usable while it runs.
    if (m_searching)
        return;
    if (!m_findNext) {
        m_findNext = new frmFindNextCrossTableMatch(this);
        connect(m_findNext, &frmFindNextCrossTableMatch::findNext, this, [this] { SearchCrossTables(true); });
    }
    if (!resume || !m_navigation.searchSource())
        m_navigation.setSearchSource(searchSource());
    const std::shared_ptr<navigation::TableScanSource> source = m_navigation.searchSource();
    const std::shared_ptr<navigation::CrossTableSearch> search = m_navigation.search();
    source->resetCancel();
    m_searching = true;
    mnuFindValueinOrvexDirDB->setEnabled(false);
    mnuFindObjectID->setEnabled(false);
    m_findNext->hide();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_escapeWatcher = std::make_unique<EscapeWatcher>([source] { source->cancel(); });
    m_searchTask.start(this,
                       [search, source, text, exact, resume] {
                           return resume ? search->resume(*source) : search->start(*source, text, exact);
                       },
                       [this](navigation::SearchOutcome outcome) { searchEnded(outcome); });
}

void frmMain::searchEnded(const navigation::SearchOutcome &outcome)
{
    m_escapeWatcher.reset();
    QApplication::restoreOverrideCursor();
    m_searching = false;
    mnuFindValueinOrvexDirDB->setEnabled(true);
    mnuFindObjectID->setEnabled(true);
    statusBar()->clearMessage();
    switch (outcome.kind) {
    case navigation::SearchOutcome::Kind::Match:
        // The table with the match is shown, as the grid shows any table, and its cell made current.
        m_gridTables->setCurrentCell(outcome.table, 1);
        m_gridTables->scrollToCell(outcome.table, 1);
        finishRowLoad();
        m_gridData->setCurrentCell(outcome.row, std::max(outcome.col, m_gridData->hasFixedColumn() ? 1 : 0));
        m_gridData->scrollToCell(outcome.row, outcome.col);
        m_findNext->placeOver(this);
        m_findNext->show();
        m_findNext->raise();
        break;
    case navigation::SearchOutcome::Kind::Finished:
        if (outcome.anyMatches) {
            m_findNext->close();
            m_msg.message(navigation::kNoMoreMatchesMessage);
        } else {
            m_msg.message(navigation::kNoMatchesAnywhereMessage);
        }
        break;
    case navigation::SearchOutcome::Kind::Cancelled:
        statusBar()->showMessage(QStringLiteral("Search stopped"), 5000);
        break;
    case navigation::SearchOutcome::Kind::Idle:
        break;
    }
}

void frmMain::mnuObjectView_Click()
{
    if (!mnuDatabases[0]->isChecked()) {
        m_msg.message(QStringLiteral("You must have the OrvexDirDB database selected to use the object view."));
        return;
    }
    m_context.openWindow(QStringLiteral("frmObjectView"));
}

} // namespace korva
