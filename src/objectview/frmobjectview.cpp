#include "objectview/frmobjectview.h"

#include "appcontext/windowcontext.h"
#include "navigation/references.h"
#include "objectview/objectviewqueries.h"
#include "platform/resultset.h"
#include "support/ctooltip.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"
#include "widgets/windowkit.h"

#include <QtCore/QScopeGuard>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QVBoxLayout>

namespace korva {

using namespace objectview;

frmObjectView::frmObjectView(WindowContext &context, QWidget *parent) : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmObjectView"));
    setWindowTitle(QStringLiteral("KORVA - Object View"));

    m_listObjectType = new QListWidget(this);
    m_listObjectType->setObjectName(QStringLiteral("listObjectType"));
    m_listObjectType->setAccessibleName(QStringLiteral("Object type"));
    for (const ObjectTypeInfo &t : objectTypes())
        m_listObjectType->addItem(t.caption);
    m_listReferenceTables = new QListWidget(this);
    m_listReferenceTables->setObjectName(QStringLiteral("listReferenceTables"));
    m_listReferenceTables->setAccessibleName(QStringLiteral("Reference tables"));
    m_gridData = new Grid(this, false);
    m_gridData->setObjectName(QStringLiteral("gridData"));
    m_gridData->setAccessibleName(QStringLiteral("Objects"));
    m_gridData->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_gridRef = new Grid(this, false);
    m_gridRef->setObjectName(QStringLiteral("gridRef"));
    m_gridRef->setAccessibleName(QStringLiteral("Dependent rows"));
    m_cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    // The grids' menu offers the jump alone, as the main window's menu does when
    // it is shown over this window.
    m_gridPopup = new QMenu(this);
    m_gridPopup->setObjectName(QStringLiteral("mnuGridDataPopup"));
    m_jumpItem = addMenuItem(m_gridPopup, QStringLiteral("Jump to this object"), "mnuJump", this,
                             &frmObjectView::mnuJump_Click);

    auto *lists = new QVBoxLayout;
    auto *typeLabel = new QLabel(QStringLiteral("Object type:"), this);
    typeLabel->setBuddy(m_listObjectType);
    auto *refLabel = new QLabel(QStringLiteral("Reference tables:"), this);
    refLabel->setBuddy(m_listReferenceTables);
    lists->addWidget(typeLabel);
    lists->addWidget(m_listObjectType, 1);
    lists->addWidget(refLabel);
    lists->addWidget(m_listReferenceTables, 2);
    lists->addWidget(m_cmdExit);
    auto *grids = new QSplitter(Qt::Vertical, this);
    grids->setObjectName(QStringLiteral("splitGrids"));
    grids->addWidget(m_gridData);
    grids->addWidget(m_gridRef);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(grids, 1);
    resize(1000, 640);

    // Opening: the tooltip on both grids, then the first object type, whose
    // choice loads its grid.
    m_tooltip = new cTooltip(this);
    m_tooltip->setObjectName(QStringLiteral("hoverTip"));
    m_tooltip->Create(this);
    m_tooltip->setMaxTipWidth(400);
    m_tooltip->AddTool(m_gridData);
    m_tooltip->AddTool(m_gridRef);
    m_tooltip->setToolText(m_gridData, QString());
    m_tooltip->setToolText(m_gridRef, QString());

    connect(m_listObjectType, &QListWidget::currentRowChanged, this, [this] { listObjectType_Click(); });
    connect(m_listReferenceTables, &QListWidget::currentRowChanged, this, [this] {
        if (!m_loading)
            LoadReferenceTable();
    });
    connect(m_gridData, &Grid::currentCellChanged, this, [this](int row, int) {
        if (!m_loading && row >= 1)
            gridData_RowColChange();
    });
    connect(m_gridData, &Grid::mouseMoved, this, [this] { grid_MouseMove(m_gridData); });
    connect(m_gridRef, &Grid::mouseMoved, this, [this] { grid_MouseMove(m_gridRef); });
    connect(m_gridData, &Grid::rightButtonPressed, this, [this](const QPoint &p) { grid_MouseDown(m_gridData, p); });
    connect(m_gridRef, &Grid::rightButtonPressed, this, [this](const QPoint &p) { grid_MouseDown(m_gridRef, p); });
    connect(m_cmdExit, &QPushButton::clicked, this, &QWidget::close);

    m_listObjectType->setCurrentRow(0);
}

frmObjectView::~frmObjectView() = default;

void frmObjectView::report(const QString &routine, long number, const QString &description)
{
    m_context.messenger().message(procedureError({number, description}, routine, u"frmObjectView", ErrorStyle::Word));
}

const ObjectTypeInfo *frmObjectView::currentType() const
{
    const QListWidgetItem *item = m_listObjectType->currentItem();
    return item ? objectTypeByCaption(item->text()) : nullptr;
}

const ReferenceInfo *frmObjectView::currentReference() const
{
    const QListWidgetItem *item = m_listReferenceTables->currentItem();
    return item ? referenceByCaption(item->text()) : nullptr;
}

bool frmObjectView::isLoading() const
{
    return m_objectTask.isPending() || m_referenceTask.isPending() || m_referenceWaits;
}

void frmObjectView::updateBusy()
{
    if (isLoading())
        m_busy.start();
    else
        m_busy.finish();
}

void frmObjectView::listObjectType_Click()
{
    const ObjectTypeInfo *type = currentType();
    if (!type)
        return;
    m_loading = true;
    m_listReferenceTables->clear();
    m_listReferenceTables->addItems(type->referenceTables);
    m_loading = false;
    LoadObjectGrid();
    m_listReferenceTables->setCurrentRow(0);
}

void frmObjectView::LoadObjectGrid()
{
    const ObjectTypeInfo *type = currentType();
    if (!type)
        return;
    m_loading = true;
    m_gridData->gridModel()->clear();
    m_gridData->setFrozenColumns(0);
    m_loading = false;
    // A type chosen while another's objects are on their way replaces them.
    m_objectTask.start(
        this,
        [connection = m_context.state().connectionString, t = *type](const StopToken &stop) {
            return readObjectGrid(connection, t, stop);
        },
        [this](ObjectGridRows read) { showObjects(std::move(read)); });
    updateBusy();
}

void frmObjectView::showObjects(ObjectGridRows read)
{
    m_lastObjectQuery = read.query.sql;
    if (read.firstObjectId)
        m_objectId = *read.firstObjectId;
    if (read.firstCallHandlerId)
        m_callHandlerId = *read.firstCallHandlerId;
    if (read.rows) {
        m_loading = true;
        m_gridData->setResultSet(read.rows);
        for (int c = 0; c < m_gridData->gridModel()->columnCount(); ++c)
            m_gridData->setColumnHidden(c, c < read.query.hiddenColumns);
        m_gridData->resizeColumnsToContents();
        m_gridData->setFrozenColumns(read.query.fixedColumns);
        m_loading = false;
    }
    if (std::exchange(m_referenceWaits, false))
        LoadReferenceTable();
    updateBusy();
}

void frmObjectView::gridData_RowColChange()
{
    const ObjectTypeInfo *type = currentType();
    const int row = m_gridData->row();
    m_objectId = m_gridData->textMatrix(row, 0);
    if (type && type->type == ObjectType::Subscribers)
        m_callHandlerId = m_gridData->textMatrix(row, 1);
    LoadReferenceTable();
}

void frmObjectView::LoadReferenceTable()
{
    const auto busy = qScopeGuard([this] { updateBusy(); });
    // Nothing of an earlier object or table stays, nor comes later.
    m_referenceTask.cancel();
    m_referenceWaits = false;
    m_gridRef->gridModel()->clear();
    m_gridRef->setFrozenColumns(0);
    // The rows depend on the object grid's first object: they wait for it.
    if (m_objectTask.isPending()) {
        m_referenceWaits = true;
        return;
    }
    if (m_objectId.isEmpty())
        return;
    const ObjectTypeInfo *type = currentType();
    if (type && type->type == ObjectType::CallHandlers)
        m_callHandlerId = m_objectId;
    const ReferenceInfo *ref = currentReference();
    if (!ref)
        return;
    m_referenceTask.start(
        this,
        [connection = m_context.state().connectionString, r = *ref,
         id = ref->byCallHandler ? m_callHandlerId : m_objectId](const StopToken &stop) {
            return readReferenceGrid(connection, r, id, stop);
        },
        [this](GridRows read) { showReferences(std::move(read)); });
}

void frmObjectView::showReferences(GridRows read)
{
    m_lastReferenceQuery = read.query.sql;
    if (!read.rows) {
        report(QStringLiteral("LoadReferenceTable"), read.error.number, read.error.description);
    } else {
        m_gridRef->setResultSet(read.rows);
        m_gridRef->resizeColumnsToContents();
        m_gridRef->setFrozenColumns(read.query.fixedColumns);
    }
    updateBusy();
}

QString frmObjectView::description(Grid *grid) const
{
    return grid == m_gridData ? m_hoverData.description : m_hoverRef.description;
}

void frmObjectView::grid_MouseMove(Grid *grid)
{
    HoverState &h = hoverFor(grid);
    const int r = grid->mouseRow();
    const int c = grid->mouseCol();
    if (r == h.row && c == h.col)
        return;
    h.row = r;
    h.col = c;
    // What was on its way for the cell before is not wanted any more, nor its menu.
    h.describing.cancel();
    h.menuAt.reset();
    if (r < 1) {
        m_tooltip->setToolText(grid, QString());
        return;
    }
    h.description.clear();
    QString sourceView;
    if (grid == m_gridData) {
        if (const ObjectTypeInfo *type = currentType())
            sourceView = type->hoverView;
    } else if (const ReferenceInfo *ref = currentReference()) {
        sourceView = ref->hoverView;
    }
    const QString column = c >= 0 ? grid->textMatrix(0, c) : QString();
    const navigation::HoverTarget target = navigation::hoverTargetForCell(m_context.state().dictionary, sourceView,
                                                                          column, grid->textMatrix(r, c), QString(),
                                                                          navigation::ReferenceRules::ObjectView);
    if (!target.referencedTable.isEmpty()) {
        h.objectId = target.objectId;
        // Each object is described once, on a database thread; moving back
        // over it asks the server nothing.
        const QString connection = m_context.state().connectionString;
        if (const auto known = m_descriptions.find(connection, target.referencedTable, target.objectId)) {
            applyDescription(grid, *known);
            return;
        }
        h.describing.start(
            this,
            [connection, target] {
                return navigation::describeObject(connection, target.referencedTable, target.objectId);
            },
            [this, grid, connection, target](navigation::ObjectDescription d) {
                if (d.unexpected)
                    m_context.messenger().message(navigation::ObjectDescriber::unexpectedErrorMessage(d.unexpected));
                else
                    m_descriptions.insert(connection, target.referencedTable, target.objectId, d);
                applyDescription(grid, d);
            },
            Lane::Hover);
    }
    showTip(grid);
}

void frmObjectView::applyDescription(Grid *grid, const navigation::ObjectDescription &d)
{
    HoverState &h = hoverFor(grid);
    h.description = d.description;
    m_context.setPendingJump(d.jumpTable, m_context.state().pendingJumpObjectID);
    showTip(grid);
    if (const std::optional<QPoint> at = std::exchange(h.menuAt, std::nullopt))
        openMenu(grid, *at);
}

void frmObjectView::showTip(Grid *grid)
{
    // Always shown here, whatever the main window's tooltip option says.
    grid->setToolTip(QString());
    m_tooltip->setToolText(grid, hoverFor(grid).description);
}

void frmObjectView::grid_MouseDown(Grid *grid, const QPoint &globalPos)
{
    HoverState &h = hoverFor(grid);
    h.row = h.col = -1; // describe the cell under the mouse now
    grid_MouseMove(grid);
    const int r = grid->mouseRow();
    const int c = grid->mouseCol();
    if (r >= 1 && c >= 0)
        grid->setCurrentCell(r, c);
    // A cell not described yet gets its menu when the description comes,
    // unless the mouse leaves it first.
    if (h.describing.isPending())
        h.menuAt = globalPos;
    else
        openMenu(grid, globalPos);
}

void frmObjectView::openMenu(Grid *grid, const QPoint &globalPos)
{
    const HoverState &h = hoverFor(grid);
    if (h.description.isEmpty())
        return;
    QString caption = h.description;
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("  "));
    caption.replace(u'&', QStringLiteral("&&")); // shown, not taken as a shortcut mark
    m_jumpItem->setText(caption);
    m_context.setPendingJump(m_context.state().pendingJumpTable, h.objectId);
    m_jumpTable = m_context.state().pendingJumpTable;
    m_jumpObjectId = h.objectId;
    m_gridPopup->popup(globalPos);
}

void frmObjectView::forgetHover(Grid *grid)
{
    HoverState &h = hoverFor(grid);
    h.describing.cancel();
    h.menuAt.reset();
    h.row = h.col = -1;
    h.objectId.clear();
    h.description.clear();
    m_tooltip->setToolText(grid, QString());
}

void frmObjectView::mnuJump_Click()
{
    // The tip describing the cell would stay over the main window otherwise.
    for (Grid *grid : {m_gridData, m_gridRef})
        forgetHover(grid);
    if (JumpTarget *target = m_context.jumpTarget())
        target->jumpToObject(m_jumpTable, m_jumpObjectId);
}

} // namespace korva
