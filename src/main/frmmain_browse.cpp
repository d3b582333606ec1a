// The main window's wiring of its browsing controls: the table list and the
// row grid to the table browser, the grid's menu and ObjectID navigation.
#include "main/frmmain.h"

#include "main/tablebrowser.h"
#include "navigation/navigator.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTabWidget>

namespace korva {

void frmMain::mnuShowWhereClause_Click()
{
    showWhereTab(mnuShowWhereClause->isChecked());
    if (mnuShowWhereClause->isChecked())
        m_tabInfo->setCurrentWidget(m_tabWhere);
    Form_Resize();
}

void frmMain::gridData_MouseDown(const QPoint &globalPos)
{
    // The hover resolution runs first (its failures are of no interest here),
    // and the menu waits for its description; the window does not.
    Q_EMIT dataGridRightClicked();
    const int r = m_gridData->mouseRow();
    const int c = m_gridData->mouseCol();
    if (r >= 1 && c >= 1)
        m_gridData->setCurrentCell(r, c);
    m_navigator->describeForMenu([this, globalPos] {
        setJumpItem(m_navigator->referenceDescription());
        mnuGridDataPopup->popup(globalPos);
    });
}

void frmMain::gridData_OtherButton() { m_gridData->gridModel()->setMarkedRow(-1); }

bool frmMain::whereTabShown() const { return m_tabInfo->indexOf(m_tabWhere) >= 0; }

void frmMain::wireBrowsing()
{
    const TableBrowser::Controls c{.tables = m_gridTables,
                                   .columns = m_gridColumns,
                                   .rows = m_gridData,
                                   .tableInfo = m_txtTableInfo,
                                   .columnInfo = m_txtColumnInfo,
                                   .where = m_txtWhere,
                                   .apply = m_cmdApply,
                                   .clear = m_cmdClear,
                                   .stick = m_chkStickWhere,
                                   .rowCount = m_txtRows,
                                   .status = statusBar(),
                                   .lockAlias = mnuLockAliasColumn,
                                   .lockUnique = mnuLockUniqueColumn,
                                   .showWhere = mnuShowWhereClause,
                                   .useTables = mnuUseTables,
                                   .checkedDatabase = [this] { return checkedDatabase(); },
                                   .whereTabShown = [this] { return whereTabShown(); }};
    m_browser = new TableBrowser(m_context, c, this);
    connect(m_gridTables, &Grid::currentCellChanged, this, [this](int row, int) {
        if (m_loaded && !m_initializing && row != m_lastTableRow) {
            m_lastTableRow = row;
            m_tableLoadedByRowChange = true;
            m_browser->UpdateTableInformation(true);
        }
    });
    // A click loads the table again, unless the click itself just changed the row.
    connect(m_gridTables, &Grid::otherButtonPressed, this, [this] { m_tableLoadedByRowChange = false; });
    connect(m_gridTables, &QAbstractItemView::clicked, this, [this] {
        if (m_loaded && !std::exchange(m_tableLoadedByRowChange, false))
            m_browser->UpdateTableInformation(true);
    });
    connect(m_gridData, &Grid::rightButtonPressed, this, &frmMain::gridData_MouseDown);
    connect(m_gridData, &Grid::otherButtonPressed, this, &frmMain::gridData_OtherButton);

    connect(mnuShowWhereClause, &QAction::triggered, this, &frmMain::mnuShowWhereClause_Click);
    TableBrowser *b = m_browser;
    connect(mnuRefresh, &QAction::triggered, b, &TableBrowser::mnuRefresh_Click);
    connect(mnuExportGridToCSVFile, &QAction::triggered, b, [b] { b->exportGrid(false, false); });
    connect(mnuExportEntireGrid, &QAction::triggered, b, [b] { b->exportGrid(false, true); });
    connect(mnuExportVisibleRowsToCSV, &QAction::triggered, b, [b] { b->exportGrid(true, false); });
    connect(mnuExportVisibleRows, &QAction::triggered, b, [b] { b->exportGrid(true, true); });
    connect(mnuCopy, &QAction::triggered, b, &TableBrowser::mnuCopy_Click);
    connect(mnuDumpTables, &QAction::triggered, b, &TableBrowser::mnuDumpTables_Click);
    connect(mnuCopyCSV, &QAction::triggered, m_gridData, [this] { m_gridData->copySelection(true); });
    connect(mnuFindInGrid, &QAction::triggered, m_gridData, &Grid::showFind);
    connect(mnuFilterRow, &QAction::toggled, m_gridData, &Grid::setFilterRowVisible);
    for (QAction *a : {mnuShowWhereClause, mnuRefresh, mnuExportGridToCSVFile, mnuExportEntireGrid,
                       mnuExportVisibleRowsToCSV, mnuExportVisibleRows, mnuCopy, mnuDumpTables})
        a->setEnabled(true);
}

// ObjectID navigation: the navigator does the work; the window wires it to
// its menus and answers what it asks of the window.

void frmMain::wireNavigation()
{
    const navigation::Navigator::Controls controls{.tables = m_gridTables,
                                                   .rows = m_gridData,
                                                   .back = m_cmdBack,
                                                   .tip = m_tooltip,
                                                   .showInTip = mnuShowObjectIDInToolTip};
    m_navigator = new navigation::Navigator(m_context, *this, controls, this);
    connect(m_browser, &TableBrowser::tableForgotten, m_navigator, &navigation::Navigator::forgetTable);
    connect(m_browser, &TableBrowser::refreshing, m_navigator, &navigation::Navigator::forgetDescriptions);
    connect(m_gridData, &Grid::mouseMoved, m_navigator, &navigation::Navigator::mouseMoved);
    connect(mnuJump, &QAction::triggered, m_navigator, &navigation::Navigator::jump);
    connect(m_cmdBack, &QPushButton::clicked, m_navigator, &navigation::Navigator::back);
    connect(mnuFindObjectID, &QAction::triggered, m_navigator, &navigation::Navigator::findObjectId);
    connect(mnuFindValueinOrvexDirDB, &QAction::triggered, m_navigator,
            [this] { m_navigator->searchAcrossTables(false); });
    connect(m_navigator, &navigation::Navigator::searchingChanged, this, [this](bool searching) {
        mnuFindValueinOrvexDirDB->setEnabled(!searching);
        mnuFindObjectID->setEnabled(!searching);
    });
    connect(mnuObjectView, &QAction::triggered, this, &frmMain::mnuObjectView_Click);
    for (QAction *a : {mnuJump, mnuFindObjectID, mnuFindValueinOrvexDirDB, mnuObjectView})
        a->setEnabled(true);
    mnuJump->setVisible(false);
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
    m_navigator->jumpTo(table, objectId);
    raise();
    activateWindow();
}

void frmMain::setListsTables(bool tables)
{
    mnuUseTables->setChecked(tables);
    mnuUseViews->setChecked(!tables);
    InitalizeDB();
}

void frmMain::whenRowsComplete(std::function<void()> then) { m_browser->whenRowsComplete(std::move(then)); }

navigation::TableScanSource::Opener frmMain::searchOpener() { return m_browser->searchOpener(); }

void frmMain::showStatus(const QString &text, int timeoutMs)
{
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text, timeoutMs);
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
