#include "navigation/navigator.h"

#include "appcontext/windowcontext.h"
#include "navigation/findallmatches.h"
#include "navigation/references.h"
#include "navigation/searchdialogs.h"
#include "navigation/tableviewmap.h"
#include "platform/resultset.h"
#include "support/ctooltip.h"
#include "support/escapewatcher.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <QtGui/QAction>
#include <QtWidgets/QWidget>

namespace korva::navigation {

namespace {

// How long the grid menu waits for a slow server to describe the cell; it
// then opens without the jump item.
constexpr int kMenuPatienceMs = 1500;

} // namespace

Navigator::Navigator(WindowContext &context, Window &window, const Controls &controls, QWidget *parent)
    : QObject(parent), m_context(context), m_window(window), m_controls(controls), m_parent(parent)
{
    m_menuPatience = new QTimer(this);
    m_menuPatience->setSingleShot(true);
    m_menuPatience->setInterval(kMenuPatienceMs);
    connect(m_menuPatience, &QTimer::timeout, this, &Navigator::describedForMenu);

    m_prefetchTimer = new QTimer(this);
    m_prefetchTimer->setSingleShot(true);
    m_prefetchTimer->setInterval(kPrefetchDelayMs);
    connect(m_prefetchTimer, &QTimer::timeout, this, &Navigator::prefetchShown);
    if (Grid *grid = m_controls.rows) {
        connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &Navigator::schedulePrefetch);
        connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, &Navigator::schedulePrefetch);
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, &Navigator::schedulePrefetch);
        QAbstractItemModel *model = grid->model();
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            // Sorted or filtered, or other rows: the cell under the mouse holds
            // another reference now, which the next move describes.
            m_lastHoverRow = m_lastHoverCol = -1;
            schedulePrefetch();
        });
        connect(model, &QAbstractItemModel::layoutChanged, this, &Navigator::schedulePrefetch);
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
            // Rows keep arriving while a table loads; only those that land in view
            // matter. (A row's position would cost a walk over every row above it.)
            if (!m_controls.rows->rowsOnlyAddedBelowView())
                schedulePrefetch();
        });
        m_rowsViewport = grid->viewport();
        m_rowsViewport->installEventFilter(this);
    }
}

Navigator::~Navigator()
{
    cancelPrefetch();
    // A scan nobody will see ends at once.
    if (m_findAllSource)
        m_findAllSource->cancel();
}

QString Navigator::currentListed() const
{
    const int row = m_controls.tables->row();
    return row >= 1 ? m_controls.tables->textMatrix(row, 1) : QString();
}

QStringList Navigator::listedTables() const
{
    QStringList tables;
    for (int r = 1; r < m_controls.tables->rows(); ++r)
        tables << m_controls.tables->textMatrix(r, 1);
    return tables;
}

int Navigator::dataColumn(const QString &name) const
{
    for (int c = 0; c < m_controls.rows->cols(); ++c)
        if (m_controls.rows->textMatrix(0, c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

void Navigator::mouseMoved()
{
    // The cell the menu is about to open for keeps its description.
    if (m_menuWaiting)
        return;
    // Nothing changes within the same cell.
    Grid *grid = m_controls.rows;
    const int r = grid->mouseRow();
    const int c = grid->mouseCol();
    if (r == m_lastHoverRow && c == m_lastHoverCol)
        return;
    m_lastHoverRow = r;
    m_lastHoverCol = c;
    m_hoverTask.cancel();
    m_hoverWaits.reset();
    // The header row, or outside the rows.
    if (r < 1) {
        grid->setToolTip(QString());
        m_controls.tip->setToolText(grid, QString());
        return;
    }
    const QString column = c >= 0 ? grid->textMatrix(0, c) : QString();
    if (column.size() < 8) {
        m_referenceDescription.clear();
        showHover();
        return;
    }
    const HoverTarget target = targetAt(r, c);
    if (target.referencedTable.isEmpty()) {
        m_referenceDescription.clear();
        showHover();
        return;
    }
    // Described once per connection and object, then from the cache; the
    // first time on a database thread, so the mouse never waits on the server.
    const QString connection = m_context.state().connectionString;
    if (const auto known = m_nav.descriptions().find(connection, target.referencedTable, target.objectId)) {
        applyHover(*known);
        return;
    }
    m_referenceDescription.clear();
    showHover();
    const WaitingHover hover{connection, target, r, c};
    // The shown rows' descriptions being read include this one: it comes with them.
    if (m_prefetching.contains(prefetchKey(connection, target)))
        m_hoverWaits = hover;
    else
        describeHover(hover);
}

QString Navigator::hoverListed() const
{
    const int tableRow = m_controls.tables->row();
    return tableRow >= 0 ? m_controls.tables->textMatrix(tableRow, 1) : QString();
}

HoverTarget Navigator::targetAt(int row, int col) const
{
    Grid *grid = m_controls.rows;
    const int greetingCol = dataColumn(QStringLiteral("GreetingType"));
    return hoverTargetForCell(m_context.state().dictionary, hoverListed(), grid->textMatrix(0, col),
                              grid->textMatrix(row, col),
                              greetingCol >= 0 ? grid->textMatrix(row, greetingCol) : QString());
}

void Navigator::describeHover(const WaitingHover &hover)
{
    m_hoverTask.start(
        this,
        [hover] { return describeObject(hover.connection, hover.target.referencedTable, hover.target.objectId); },
        [this, hover](ObjectDescription d) {
            if (d.unexpected)
                m_context.messenger().message(ObjectDescriber::unexpectedErrorMessage(d.unexpected));
            else
                m_nav.descriptions().insert(hover.connection, hover.target.referencedTable, hover.target.objectId, d);
            finishHover(hover, d);
        },
        Lane::Hover);
}

void Navigator::finishHover(const WaitingHover &hover, const ObjectDescription &d)
{
    // Shown only while the mouse is still over the same reference (the rows
    // may have been sorted or filtered under it meanwhile).
    if (hover.row == m_lastHoverRow && hover.col == m_lastHoverCol && hover.row < m_controls.rows->rows()) {
        const HoverTarget now = targetAt(hover.row, hover.col);
        if (now.referencedTable == hover.target.referencedTable && now.objectId == hover.target.objectId)
            applyHover(d);
    }
    if (m_menuWaiting)
        describedForMenu();
}

void Navigator::hoverWaitEnded()
{
    if (!m_hoverWaits)
        return;
    const WaitingHover hover = *std::exchange(m_hoverWaits, std::nullopt);
    if (const auto known =
            m_nav.descriptions().find(hover.connection, hover.target.referencedTable, hover.target.objectId))
        finishHover(hover, *known);
    else if (m_prefetching.contains(prefetchKey(hover.connection, hover.target)))
        m_hoverWaits = hover;
    else
        describeHover(hover); // the read left it out, or was given up
}

QString Navigator::prefetchKey(const QString &connection, const HoverTarget &target)
{
    return connection.toLower() + u'\n' + target.referencedTable.toLower() + u'\n' + target.objectId.toLower();
}

bool Navigator::isPrefetching() const { return m_prefetchTimer->isActive() || m_prefetchTask.isPending(); }

void Navigator::schedulePrefetch()
{
    if (m_prefetchEnabled)
        m_prefetchTimer->start();
}

void Navigator::setPrefetchEnabled(bool on)
{
    m_prefetchEnabled = on;
    if (on) {
        schedulePrefetch();
    } else {
        cancelPrefetch();
        hoverWaitEnded();
    }
}

void Navigator::cancelPrefetch()
{
    m_prefetchTimer->stop();
    m_prefetchTask.cancel();
    m_prefetching.clear();
}

bool Navigator::eventFilter(QObject *watched, QEvent *event)
{
    // The viewport is known by the pointer kept, not asked of the grid:
    // events still come while the grid is being destroyed.
    if (watched && watched == m_rowsViewport.data()
        && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        schedulePrefetch();
    return QObject::eventFilter(watched, event);
}

void Navigator::prefetchShown()
{
    Grid *grid = m_controls.rows;
    const QString connection = m_context.state().connectionString;
    const QString listed = hoverListed();
    // The columns in view (the frozen ones always) that reference a table
    // whose objects can be described together.
    QList<std::pair<int, QString>> referenceCols;
    const int width = grid->viewport()->width();
    for (int c = grid->hasFixedColumn() ? 1 : 0; c < grid->cols() && !listed.isEmpty(); ++c) {
        const int mc = grid->modelColumn(c);
        if (grid->isColumnHidden(mc))
            continue;
        const int x = grid->columnViewportPosition(mc);
        if (mc >= grid->frozenColumns() && (x + grid->columnWidth(mc) <= 0 || x >= width))
            continue;
        const QString referenced = referencedTableForCell(m_context.state().dictionary, listed, grid->textMatrix(0, c));
        if (!referenced.isEmpty() && ObjectDescriber::describesManyAtOnce(referenced))
            referenceCols.push_back({c, referenced});
    }
    const int greetingCol = dataColumn(QStringLiteral("GreetingType"));
    QHash<QString, QStringList> idsByTable;
    QSet<QString> keys;
    const int height = grid->viewport()->height();
    for (int r = grid->topRow(); r >= 1 && r < grid->rows() && !referenceCols.isEmpty(); ++r) {
        const int mr = grid->modelRow(r);
        if (grid->isRowHidden(mr))
            continue;
        if (grid->rowViewportPosition(mr) >= height)
            break;
        const QString greeting = greetingCol >= 0 ? grid->textMatrix(r, greetingCol) : QString();
        for (const auto &[c, referenced] : std::as_const(referenceCols)) {
            const HoverTarget target = hoverTargetForReference(referenced, grid->textMatrix(r, c), greeting);
            if (m_nav.descriptions().find(connection, target.referencedTable, target.objectId))
                continue;
            const QString key = prefetchKey(connection, target);
            if (!keys.contains(key)) {
                keys.insert(key);
                idsByTable[target.referencedTable] << target.objectId;
            }
        }
    }
    // A read for rows no longer shown is given up.
    m_prefetchTask.cancel();
    m_prefetching = keys;
    if (!keys.isEmpty())
        m_prefetchTask.start(
            this,
            [connection, idsByTable](const StopToken &stop) {
                return describeObjects(connection, idsByTable, [stop] { return stop.stopRequested(); });
            },
            [this, connection](QList<DescribedObject> described) {
                m_prefetching.clear();
                for (const DescribedObject &d : std::as_const(described))
                    m_nav.descriptions().insert(connection, d.table, d.askedId, d.description);
                hoverWaitEnded();
            },
            Lane::Hover);
    hoverWaitEnded();
}

void Navigator::describeForMenu(std::function<void()> then)
{
    m_menuWaiting = {};
    m_lastHoverRow = m_lastHoverCol = -1; // the resolution runs for the cell under the mouse
    mouseMoved();
    m_menuWaiting = std::move(then);
    if (isDescribing())
        m_menuPatience->start();
    else
        describedForMenu();
}

void Navigator::describedForMenu()
{
    m_menuPatience->stop();
    if (const std::function<void()> then = std::exchange(m_menuWaiting, {}))
        then();
}

void Navigator::applyHover(const ObjectDescription &d)
{
    m_referenceDescription = d.description;
    m_context.setPendingJump(d.jumpTable, d.objectId);
    showHover();
}

void Navigator::showHover()
{
    m_controls.rows->setToolTip(QString());
    m_controls.tip->setToolText(m_controls.rows,
                                m_controls.showInTip->isChecked() ? m_referenceDescription : QString());
}

void Navigator::forgetTable()
{
    m_hoverTask.cancel();
    m_hoverWaits.reset();
    m_menuPatience->stop();
    m_menuWaiting = {};
    m_lastHoverRow = m_lastHoverCol = -1;
    m_referenceDescription.clear();
    m_controls.tip->setToolText(m_controls.rows, QString());
}

void Navigator::forgetDescriptions()
{
    // What a read still running brings may be from before the change.
    cancelPrefetch();
    m_nav.descriptions().clear();
    hoverWaitEnded();
    schedulePrefetch();
}

void Navigator::forgetAll()
{
    cancelPrefetch();
    forgetTable();
    m_nav.history().reset();
    m_nav.descriptions().clear();
    m_controls.back->setEnabled(false);
}

void Navigator::jumpTo(const QString &table, const QString &objectId)
{
    m_context.setPendingJump(table, objectId);
    jump();
}

void Navigator::switchListingMode(bool tables)
{
    // A jump that changes the listing mode keeps its history.
    const JumpHistory keep = m_nav.history();
    const bool backEnabled = m_controls.back->isEnabled();
    m_window.setListsTables(tables);
    m_nav.history() = keep;
    m_controls.back->setEnabled(backEnabled);
}

void Navigator::jump()
{
    const SharedState &state = m_context.state();
    if (state.pendingJumpTable.isEmpty() || !recordJumpOrigin())
        return;
    showObject(state.pendingJumpTable, state.pendingJumpObjectID);
}

void Navigator::showObject(const QString &table, const QString &objectId)
{
    const MappedName mapped = strMapTableToView(table, m_window.listsTables());
    if (mapped.change == ListingSwitch::ToViews)
        switchListingMode(false);
    else if (mapped.change == ListingSwitch::ToTables)
        switchListingMode(true);
    m_context.setPendingJump(mapped.name, objectId);
    selectTableAndRow(mapped.name, objectId);
}

bool Navigator::recordJumpOrigin()
{
    const QString listed = currentListed();
    if (listed.isEmpty())
        return false;
    const int idCol = dataColumn(QStringLiteral("ObjectID"));
    const int dataRow = m_controls.rows->row();
    m_nav.history().push(listed, idCol >= 0 && dataRow >= 0 ? m_controls.rows->textMatrix(dataRow, idCol) : QString());
    m_controls.back->setEnabled(true);
    return true;
}

void Navigator::selectListed(const QString &table)
{
    Grid *tables = m_controls.tables;
    for (int r = 1; r < tables->rows(); ++r) {
        if (tables->textMatrix(r, 1).compare(table, Qt::CaseInsensitive) == 0) {
            tables->setCurrentCell(r, 1);
            tables->setTopRow(r);
            break;
        }
    }
}

void Navigator::selectTableAndRow(const QString &table, const QString &objectId)
{
    selectListed(table);
    if (objectId.isEmpty())
        return;
    // The row is looked for among every row of the table, once they are in.
    m_window.whenRowsComplete([this, objectId] {
        Grid *grid = m_controls.rows;
        const int idCol = dataColumn(QStringLiteral("ObjectID"));
        if (idCol < 0)
            return;
        for (int r = 1; r < grid->rows(); ++r) {
            if (grid->textMatrix(r, idCol).compare(objectId, Qt::CaseInsensitive) == 0) {
                grid->setTopRow(r);
                grid->setCurrentCell(r, idCol);
                grid->gridModel()->setMarkedRow(grid->modelRow(r));
                break;
            }
        }
    });
}

void Navigator::back()
{
    // Back replays a jump without recording it again.
    const auto entry = m_nav.history().back();
    if (!entry)
        return;
    showObject(entry->table, entry->objectId);
    m_controls.back->setEnabled(m_nav.history().canGoBack());
}

void Navigator::findObjectId()
{
    if (m_searching || m_findTask.isPending())
        return;
    Messenger &msg = m_context.messenger();
    const std::optional<QString> answer = msg.input(kFindObjectIdPrompt, kFindObjectIdTitle);
    if (!answer || answer->isEmpty())
        return;
    if (!isValidObjectIdInput(*answer)) {
        msg.message(kInvalidObjectIdMessage);
        return;
    }
    // One query per table: on a database thread, with the busy pointer meanwhile.
    const QString connection = m_context.state().connectionString;
    m_findWait = std::make_unique<BusyWait>([this] {
        m_findTask.cancel();
        m_findWait.reset();
    });
    m_findTask.start(
        this,
        [connection, tables = listedTables(), input = *answer] { return findObjectIdTable(connection, tables, input); },
        [this](std::optional<ObjectIdMatch> match) {
            m_findWait.reset();
            if (!match) {
                m_context.messenger().message(kNoObjectIdMatchMessage);
                return;
            }
            jumpTo(match->table, match->objectId);
        });
}

void Navigator::searchAcrossTables(bool resume)
{
    if (m_searching)
        return;
    if (resume) {
        runSearch(QString(), false, true);
        return;
    }
    QString text;
    bool exact = true;
    bool findAll = false;
    {
        frmCrossTableSearchOptions options(m_context.messenger(), m_parent);
        options.exec();
        text = options.searchText();
        exact = options.exactMatch();
        findAll = options.findAll();
    }
    if (text.isEmpty())
        return;
    if (findAll)
        listAllMatches(text, exact);
    else
        runSearch(text, exact, false);
}

void Navigator::runSearch(const QString &text, bool exact, bool resume)
{
    // One search at a time; the window stays usable while it runs.
    if (m_searching)
        return;
    if (!m_findNext) {
        m_findNext = new frmFindNextCrossTableMatch(m_parent);
        connect(m_findNext, &frmFindNextCrossTableMatch::findNext, this, [this] { searchAcrossTables(true); });
    }
    if (!resume || !m_nav.searchSource()) {
        // The status bar names the table being searched, at most ten times a second.
        QPointer<Navigator> self(this);
        auto progress = [self, shown = std::make_shared<QElapsedTimer>()](const QString &listed) {
            if (shown->isValid() && shown->elapsed() < 100)
                return;
            shown->start();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, listed] {
                    if (self && self->m_searching)
                        self->m_window.showStatus(QStringLiteral("Searching %1 ... (Esc stops)").arg(listed));
                },
                Qt::QueuedConnection);
        };
        m_nav.setSearchSource(std::make_shared<TableScanSource>(listedTables(), m_window.searchOpener(), progress));
    }
    const std::shared_ptr<TableScanSource> source = m_nav.searchSource();
    const std::shared_ptr<CrossTableSearch> search = m_nav.search();
    source->resetCancel();
    m_searching = true;
    Q_EMIT searchingChanged(true);
    m_findNext->hide();
    m_searchWait = std::make_unique<BusyWait>([source] { source->cancel(); });
    m_searchTask.start(
        this,
        [search, source, text, exact, resume] {
            return resume ? search->resume(*source) : search->start(*source, text, exact);
        },
        [this](SearchOutcome outcome) { searchEnded(outcome); });
}

void Navigator::searchEnded(const SearchOutcome &outcome)
{
    m_searchWait.reset();
    m_searching = false;
    Q_EMIT searchingChanged(false);
    m_window.showStatus(QString());
    Messenger &msg = m_context.messenger();
    switch (outcome.kind) {
    case SearchOutcome::Kind::Match: {
        // The table with the match is shown, as the grid shows any table, and
        // its cell made current once its rows are in.
        m_controls.tables->setCurrentCell(outcome.table, 1);
        m_controls.tables->scrollToCell(outcome.table, 1);
        m_window.whenRowsComplete([this, outcome] {
            Grid *grid = m_controls.rows;
            grid->setCurrentCell(outcome.row, std::max(outcome.col, grid->hasFixedColumn() ? 1 : 0));
            grid->scrollToCell(outcome.row, outcome.col);
            m_findNext->placeOver(m_parent);
            m_findNext->show();
            m_findNext->raise();
        });
        break;
    }
    case SearchOutcome::Kind::Finished:
        if (outcome.anyMatches) {
            m_findNext->close();
            msg.message(kNoMoreMatchesMessage);
        } else {
            msg.message(kNoMatchesAnywhereMessage);
        }
        break;
    case SearchOutcome::Kind::Cancelled:
        m_window.showStatus(QStringLiteral("Search stopped"), 5000);
        break;
    case SearchOutcome::Kind::Idle:
        break;
    }
}

void Navigator::listAllMatches(const QString &text, bool exact)
{
    if (!m_matchList) {
        m_matchList = new frmFindAllMatches(m_parent);
        connect(m_matchList, &frmFindAllMatches::findAllRequested, this, &Navigator::listAllMatches);
        connect(m_matchList, &frmFindAllMatches::cancelRequested, this, &Navigator::cancelListAllMatches);
        connect(m_matchList, &frmFindAllMatches::jumpRequested, this, &Navigator::jumpToMatch);
    }
    m_matchList->setSearch(text, exact);
    m_matchList->show();
    m_matchList->raise();
    m_matchList->activateWindow();
    if (text.isEmpty())
        return;
    cancelListAllMatches();
    const QStringList tables = listedTables();
    auto source = std::make_shared<TableScanSource>(tables, m_window.searchOpener());
    m_findAllSource = source;
    m_findAllConnection = m_context.state().connectionString;
    m_matchList->scanStarted(int(tables.size()));
    // The matches come to the list a table at a time, through the event loop;
    // those of a scan given up meanwhile are dropped.
    const auto list = std::make_shared<QPointer<frmFindAllMatches>>(m_matchList);
    m_findAllTask.start(
        this,
        [source, text, exact, list](const StopToken &stop) {
            return findAllMatches(*source, text, exact, kMaxListedMatches, [&](AllMatchesProgress progress) {
                if (stop.stopRequested())
                    source->cancel();
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [list, stop, progress = std::move(progress)]() mutable {
                        if (!stop.stopRequested() && *list)
                            (*list)->scanProgress(std::move(progress));
                    },
                    Qt::QueuedConnection);
            });
        },
        [this](AllMatchesOutcome outcome) {
            m_findAllSource.reset();
            if (m_matchList)
                m_matchList->scanEnded(outcome);
        },
        Lane::Rows);
}

frmFindAllMatches *Navigator::matchList() const { return m_matchList; }

void Navigator::cancelListAllMatches()
{
    // The scan stops after the rows it is reading; what it found so far stays listed.
    if (m_findAllSource)
        m_findAllSource->cancel();
}

void Navigator::jumpToMatch(const CellMatch &match)
{
    if (m_context.state().connectionString.compare(m_findAllConnection, Qt::CaseInsensitive) != 0) {
        if (m_matchList)
            m_matchList->showNote(QStringLiteral("These matches are from another database. Search again."));
        return;
    }
    if (!recordJumpOrigin())
        return;
    const MappedName mapped = strMapTableToView(match.table, m_window.listsTables());
    if (mapped.change == ListingSwitch::ToViews)
        switchListingMode(false);
    else if (mapped.change == ListingSwitch::ToTables)
        switchListingMode(true);
    m_context.setPendingJump(mapped.name, match.objectId);
    selectListed(mapped.name);
    CellMatch shown = match;
    shown.table = mapped.name;
    m_window.whenRowsComplete([this, shown] { selectMatchedCell(shown); });
}

void Navigator::selectMatchedCell(const CellMatch &match)
{
    Grid *grid = m_controls.rows;
    if (currentListed().compare(match.table, Qt::CaseInsensitive) != 0)
        return;
    const int idCol = dataColumn(QStringLiteral("ObjectID"));
    const auto rowOfMatch = [&](int r) {
        return r >= 1 && r < grid->rows()
               && (match.objectId.isEmpty() || idCol < 0
                   || grid->textMatrix(r, idCol).compare(match.objectId, Qt::CaseInsensitive) == 0);
    };
    // The row the scan found it in, unless the grid now holds the rows
    // otherwise (a view of the table, rows changed since): then by its ObjectID.
    int row = rowOfMatch(match.row) ? match.row : -1;
    if (row < 0 && !match.objectId.isEmpty() && idCol >= 0)
        for (int r = 1; r < grid->rows() && row < 0; ++r)
            if (rowOfMatch(r))
                row = r;
    if (row < 0)
        return;
    int col = dataColumn(match.column);
    if (col < 0)
        col = idCol >= 0 ? idCol : 0;
    col = std::max(col, grid->hasFixedColumn() ? 1 : 0);
    grid->setTopRow(row);
    grid->setCurrentCell(row, col);
    grid->scrollToCell(row, col);
    grid->gridModel()->setMarkedRow(grid->modelRow(row));
}

} // namespace korva::navigation
