// ObjectID navigation in the main window: hover descriptions, the jump and
// its history, Find Object ID and the search across tables.
#include "main/frmmain.h"

#include "main/searchdialogs.h"
#include "navigation/references.h"
#include "navigation/tableviewmap.h"
#include "platform/resultset.h"
#include "support/ctooltip.h"
#include "support/busypointer.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QElapsedTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>

namespace korva {

namespace {

// Esc stops a running search across tables.
class EscapeWatcher : public QObject
{
public:
    explicit EscapeWatcher(frmMain *window) : m_window(window) { qApp->installEventFilter(this); }
    ~EscapeWatcher() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_window->cancelSearch();
            return true;
        }
        return false;
    }

private:
    frmMain *m_window;
};

// The search walks the table list and the row grid of the main window.
class MainGridSource final : public navigation::SearchGridSource
{
public:
    MainGridSource(frmMain *window, bool *cancelled) : m_window(window), m_cancelled(cancelled) {}

    int tableListRows() const override { return m_window->tablesGrid()->rows(); }
    void selectTable(int row) override
    {
        Grid *tables = m_window->tablesGrid();
        const bool refresh = !m_sinceEvents.isValid() || m_sinceEvents.elapsed() > 100;
        if (refresh)
            m_window->statusBar()->showMessage(QStringLiteral("Searching %1 ... (Esc stops)").arg(tables->textMatrix(row, 1)));
        tables->setCurrentCell(row, 1);
        tables->scrollToCell(row, 1);
        // Let pending events run (the rows load meanwhile), but paint and look
        // for Esc only every so often: a repaint costs more than a small table.
        if (refresh) {
            QApplication::processEvents();
            m_sinceEvents.start();
        }
        m_window->finishRowLoad();
        Grid *data = m_window->dataGrid();
        m_rows = data->gridModel()->resultSet();
        if (data->rows() >= 2)
            data->setRow(1);
    }
    int rows() const override { return m_window->dataGrid()->rows(); }
    int cols() const override { return m_window->dataGrid()->cols(); }
    QString text(int row, int col) const override { return m_window->dataGrid()->textMatrix(row, col); }
    bool matches(int row, int col, const QString &searchText, bool exactMatch) const override
    {
        Grid *data = m_window->dataGrid();
        // The rows of the table this source loaded, unless the user has loaded another since.
        if (row < 1 || col < 1 || !m_rows || data->gridModel()->resultSet() != m_rows)
            return SearchGridSource::matches(row, col, searchText, exactMatch);
        const db::ResultSet *rs = m_rows.get();
        if (searchText != m_needle) {
            m_needle = searchText;
            m_lowerNeedle = searchText.toLower().toUtf8();
        }
        return rs->rows().textMatches(data->modelRow(row), data->modelColumn(col), m_lowerNeedle, searchText, exactMatch);
    }
    bool cancelled() const override { return *m_cancelled; }

private:
    frmMain *m_window;
    bool *m_cancelled;
    QElapsedTimer m_sinceEvents;
    std::shared_ptr<db::ResultSet> m_rows;
    mutable QString m_needle;
    mutable QByteArray m_lowerNeedle;
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
    // 1. Nothing changes within the same cell.
    const int r = m_gridData->mouseRow();
    const int c = m_gridData->mouseCol();
    if (r == m_lastHoverRow && c == m_lastHoverCol)
        return;
    m_lastHoverRow = r;
    m_lastHoverCol = c;
    // 2. Header row, or outside the rows.
    if (r < 1) {
        m_gridData->setToolTip(QString());
        m_tooltip->setToolText(m_gridData, QString());
        return;
    }
    // 3 to 7.
    const QString column = c >= 0 ? m_gridData->textMatrix(0, c) : QString();
    if (column.size() < 8) {
        m_referenceDescription.clear();
    } else {
        const int tableRow = m_gridTables->row();
        const QString listed = tableRow >= 0 ? m_gridTables->textMatrix(tableRow, 1) : QString();
        const int greetingCol = dataColumn(QStringLiteral("GreetingType"));
        const navigation::HoverTarget target = navigation::hoverTargetForCell(
            m_state.dictionary, listed, column, m_gridData->textMatrix(r, c),
            greetingCol >= 0 ? m_gridData->textMatrix(r, greetingCol) : QString());
        if (target.referencedTable.isEmpty()) {
            m_referenceDescription.clear();
        } else {
            m_state.pendingJumpObjectID = target.objectId;
            Error unexpected;
            m_referenceDescription = m_describer.strGetObjectIDData(target.referencedTable, m_state.pendingJumpObjectID,
                                                                    &m_state.pendingJumpTable, &unexpected);
            if (unexpected)
                m_msg.message(navigation::ObjectDescriber::unexpectedErrorMessage(unexpected));
        }
    }
    // 8. The hover display.
    m_gridData->setToolTip(QString());
    if (mnuShowObjectIDInToolTip->isChecked())
        m_tooltip->setToolText(m_gridData, m_referenceDescription);
    else
        m_tooltip->setToolText(m_gridData, QString());
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
    const navigation::JumpHistory keep = m_history;
    const bool backEnabled = m_cmdBack->isEnabled();
    mnuUseTables->setChecked(tables);
    mnuUseViews->setChecked(!tables);
    InitalizeDB();
    m_history = keep;
    m_cmdBack->setEnabled(backEnabled);
}

void frmMain::mnuJump_Click()
{
    // 1.
    if (m_state.pendingJumpTable.isEmpty())
        return;
    if (m_replaying) {
        // 2.
        m_replaying = false;
    } else {
        // 3.
        const int tableRow = m_gridTables->row();
        if (tableRow < 1)
            return;
        const int idCol = dataColumn(QStringLiteral("ObjectID"));
        const int dataRow = m_gridData->row();
        m_history.push(m_gridTables->textMatrix(tableRow, 1),
                       idCol >= 0 && dataRow >= 0 ? m_gridData->textMatrix(dataRow, idCol) : QString());
        // 4.
        m_cmdBack->setEnabled(true);
    }
    // 5.
    const navigation::MappedName mapped = navigation::strMapTableToView(m_state.pendingJumpTable, useTables());
    if (mapped.change == navigation::ListingSwitch::ToViews)
        switchListingMode(false);
    else if (mapped.change == navigation::ListingSwitch::ToTables)
        switchListingMode(true);
    m_state.pendingJumpTable = mapped.name;
    selectTableAndRow(m_state.pendingJumpTable, m_state.pendingJumpObjectID);
}

void frmMain::selectTableAndRow(const QString &table, const QString &objectId)
{
    // 6.
    for (int r = 1; r < m_gridTables->rows(); ++r) {
        if (m_gridTables->textMatrix(r, 1).compare(table, Qt::CaseInsensitive) == 0) {
            m_gridTables->setCurrentCell(r, 1);
            m_gridTables->setTopRow(r);
            break;
        }
    }
    // 7.
    if (objectId.isEmpty())
        return;
    const int idCol = dataColumn(QStringLiteral("ObjectID"));
    if (idCol < 0)
        return;
    // 8.
    finishRowLoad();
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
    const auto entry = m_history.back();
    if (!entry)
        return;
    m_lastColumnRow = -1;
    m_replaying = true;
    m_state.pendingJumpTable = entry->table;
    m_state.pendingJumpObjectID = entry->objectId;
    mnuJump_Click();
    m_cmdBack->setEnabled(m_history.canGoBack());
    m_replaying = false;
}

void frmMain::mnuFindObjectID_Click()
{
    if (m_searching)
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
    std::optional<navigation::ObjectIdMatch> match;
    {
        BusyPointer busy;
        match = navigation::findObjectIdTable(m_state.connectionString, tables, *answer);
    }
    if (!match) {
        m_msg.message(navigation::kNoObjectIdMatchMessage);
        return;
    }
    m_state.pendingJumpTable = match->table;
    m_state.pendingJumpObjectID = match->objectId;
    mnuJump_Click();
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

void frmMain::runSearch(const QString &text, bool exact, bool resume)
{
    // Events run while the search walks; a second search must not start inside it.
    if (m_searching)
        return;
    struct Searching
    {
        frmMain *w;
        explicit Searching(frmMain *window) : w(window)
        {
            w->m_searching = true;
            w->mnuFindValueinOrvexDirDB->setEnabled(false);
            w->mnuFindObjectID->setEnabled(false);
        }
        ~Searching()
        {
            w->m_searching = false;
            w->mnuFindValueinOrvexDirDB->setEnabled(true);
            w->mnuFindObjectID->setEnabled(true);
        }
    } searching(this);
    if (!m_findNext) {
        m_findNext = new frmFindNextCrossTableMatch(this);
        connect(m_findNext, &frmFindNextCrossTableMatch::findNext, this, [this] { SearchCrossTables(true); });
    }
    m_searchCancelled = false;
    MainGridSource source(this, &m_searchCancelled);
    navigation::SearchOutcome outcome;
    {
        BusyPointer busy;
        EscapeWatcher esc(this);
        m_findNext->hide();
        if (resume)
            outcome = m_search.resume(source);
        else
            outcome = m_search.start(source, text, exact);
    }
    statusBar()->clearMessage();
    switch (outcome.kind) {
    case navigation::SearchOutcome::Kind::Match:
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
