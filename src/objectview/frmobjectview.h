#pragma once

#include "navigation/navigationcontroller.h"
#include "objectview/objectviewqueries.h"
#include "platform/backgroundtask.h"
#include "support/busypointer.h"

#include <QtWidgets/QWidget>

#include <memory>
#include <optional>

class QAction;
class QListWidget;
class QMenu;
class QPushButton;

namespace korva {

class Grid;
class cTooltip;
class WindowContext;

// Call handlers, interviewers or subscribers with the rows of a chosen
// dependent table, with hover descriptions and jumps into the main window
// (through the window context's jump target). Every query runs on a database
// thread; the grids fill when their rows come, the latest request winning.
class frmObjectView : public QWidget
{
    Q_OBJECT

public:
    explicit frmObjectView(WindowContext &context, QWidget *parent = nullptr);
    ~frmObjectView() override;

    void listObjectType_Click();
    void LoadObjectGrid();
    void LoadReferenceTable();
    void gridData_RowColChange();
    void grid_MouseMove(Grid *grid);
    void grid_MouseDown(Grid *grid, const QPoint &globalPos);

    QString currentObjectId() const { return m_objectId; }
    QString currentCallHandlerId() const { return m_callHandlerId; }
    QString lastObjectQuery() const { return m_lastObjectQuery; }
    QString lastReferenceQuery() const { return m_lastReferenceQuery; }
    QString description(Grid *grid) const;
    // Objects or their dependent rows are still to come from the database.
    bool isLoading() const;

private:
    struct HoverState
    {
        int row = -1;
        int col = -1;
        QString objectId;
        QString description;
        BackgroundTask<navigation::ObjectDescription> describing;
        std::optional<QPoint> menuAt; // the right button went down there: the menu waits for the description
    };
    HoverState &hoverFor(Grid *grid) { return grid == m_gridData ? m_hoverData : m_hoverRef; }
    const objectview::ObjectTypeInfo *currentType() const;
    const objectview::ReferenceInfo *currentReference() const;
    void report(const QString &routine, long number, const QString &description);
    void showObjects(objectview::ObjectGridRows read);
    void showReferences(objectview::GridRows read);
    void updateBusy();
    void applyDescription(Grid *grid, const navigation::ObjectDescription &d);
    void showTip(Grid *grid);
    void openMenu(Grid *grid, const QPoint &globalPos);
    void forgetHover(Grid *grid);

    void mnuJump_Click();

    WindowContext &m_context;
    QListWidget *m_listObjectType;
    QListWidget *m_listReferenceTables;
    Grid *m_gridData;
    Grid *m_gridRef;
    QPushButton *m_cmdExit;
    QMenu *m_gridPopup;
    QAction *m_jumpItem;
    QString m_jumpTable;
    QString m_jumpObjectId;
    cTooltip *m_tooltip = nullptr; // a child, so it goes with the window
    navigation::DescriptionCache m_descriptions;
    QString m_objectId;
    QString m_callHandlerId;
    QString m_lastObjectQuery;
    QString m_lastReferenceQuery;
    HoverState m_hoverData;
    HoverState m_hoverRef;
    BackgroundTask<objectview::ObjectGridRows> m_objectTask;
    BackgroundTask<objectview::GridRows> m_referenceTask;
    bool m_referenceWaits = false; // the dependent rows follow the objects still to come
    BusySpan m_busy;
    bool m_loading = false;
};

} // namespace korva
