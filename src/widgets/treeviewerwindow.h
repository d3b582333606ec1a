#pragma once

#include "support/busypointer.h"

#include <QtCore/QHash>
#include <QtCore/QRect>
#include <QtWidgets/QMainWindow>

class QFrame;
class QMenu;
class QPushButton;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace korva {

class Grid;
namespace db {
class ResultSet;
}

// Where the controls of a tree viewer go, in twips, for an outer window of
// the given width and height with the vertical splitter bar's left edge at
// splitVer and the horizontal bar's top at splitHor. The client area starts
// at (0, 0) below the menu bar.
struct TreeViewerLayout
{
    QRect tree;
    QRect grid;
    QRect description;
    QRect exit;
    QRect splitterVer;
    QRect splitterHor;
};

inline constexpr int kViewerMinimumSize = 1000;
inline constexpr int kMinSplitHor = 2000; // also the least room below the horizontal bar
inline constexpr int kMinSplitVer = 2610; // also the least room right of the vertical bar
// Twips of the outer window beyond the client area: borders, caption and menu bar.
inline constexpr int kViewerNonClientWidth = 120;
inline constexpr int kViewerNonClientHeight = 690;
inline constexpr int kViewerExitWidth = 1000;
inline constexpr int kViewerExitHeight = 375;

// The least outer size for the splitter positions: at least 1000 each way,
// room for the description below the horizontal bar and for the grid right
// of the vertical one.
QSize treeViewerMinimumSize(int splitVer, int splitHor);
// A dragged bar's position: the horizontal bar's top from 2000 to height - 2000,
// the vertical bar's left from 2610 to width - 2610; the minimum wins.
int clampSplitHor(int top, int height);
int clampSplitVer(int left, int width);
TreeViewerLayout layoutTreeViewer(int width, int height, int splitVer, int splitHor);

// The keys of the tree nodes on the path c1 ... cn: c1 alone for the first
// level, then every component from c1 on each followed by the separator
// ("A", "A.B.", "A.B.C." for the separator ".").
QStringList treePathKeys(const QStringList &components, QChar separator);

// What a tree viewer keeps in the settings store, section "Settings", under
// its prefix: Left, Top, Width, Height, SplitVer and SplitHor, in twips.
struct TreeViewerSettings
{
    qint64 left = 1000;
    qint64 top = 1000;
    qint64 width = 12000;
    qint64 height = 7000;
    int splitVer = 4000;
    int splitHor = 3000;
};
// The placement is the window's own (keepStoredPlacement); the splitters are written apart.
TreeViewerSettings readTreeViewerSettings(const QString &prefix);
void writeTreeViewerSplitters(const QString &prefix, int splitVer, int splitHor);

// The window both settings viewers are built as: a tree of folders on the
// left, a grid of the selected folder's entries on the right with a
// description box below it, two splitter bars between them, an Exit button,
// "Expand all nodes", "Collapse all nodes" and "Always on top", and the
// placement kept in the settings store. The viewers fill the tree and answer
// its clicks and the grid's row changes.
class TreeViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    ~TreeViewerWindow() override;

    int splitVer() const { return m_splitVer; }
    int splitHor() const { return m_splitHor; }
    // As when a bar is dragged to that position: clamped, then laid out.
    void moveSplitVer(int left);
    void moveSplitHor(int top);
    void ResizeForm();

    // Saves the placement (unless minimised) and closes the window.
    void cmdExit_Click();

    // A folder's entries or the tree are still being read.
    bool isBusy() const { return m_busy.isActive(); }

    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

    // The tree's top node (key "Root") and its folder nodes, found by key.
    QTreeWidgetItem *topNode() const { return m_top; }
    QTreeWidgetItem *nodeByKey(const QString &key) const { return m_nodes.value(key); }
    static QString nodeKey(const QTreeWidgetItem *node);

protected:
    struct MenuNames
    {
        const char *expandAll;
        const char *collapseAll;
    };

    TreeViewerWindow(const QString &settingsPrefix, const MenuNames &names, QWidget *parent);

    // Reads the placement settings and applies them (the opening's first step).
    void applyStoredPlacement();

    virtual void nodeClicked(QTreeWidgetItem *node) = 0;
    virtual void currentRowChanged() = 0;

    // The tree: a top node (key "Root") and nothing below it.
    QTreeWidgetItem *resetTree(const QString &topText);
    // For each path c1 ... cn, creates the nodes of it still missing below
    // the top node (nodes are found by the keys of treePathKeys).
    void addTreePaths(const QList<QStringList> &paths, QChar separator);
    // The selected folder's entries in the grid, the first column (the
    // folder's path) hidden, the others as wide as their contents and a
    // little more, the first entry current.
    void showEntries(std::shared_ptr<db::ResultSet> rows);

    // The busy pointer from now until endBusy(), however often it is asked for.
    void beginBusy();
    void endBusy();

    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    QTreeWidget *tree() const { return m_regTree; }
    Grid *grid() const { return m_gridKeys; }
    QTextEdit *descriptionBox() const { return m_txtDescription; }

    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dragBar(QFrame *bar, const QPoint &mouse);
    void applyMinimumSize();
    int outerWidth() const;
    int outerHeight() const;

    const QString m_prefix;
    QMenu *m_fileMenu;
    QMenu *m_viewMenu;
    QTreeWidget *m_regTree;
    Grid *m_gridKeys;
    QTextEdit *m_txtDescription;
    QPushButton *m_cmdExit;
    QFrame *m_imgSplitterVertical;
    QFrame *m_imgSplitterHor;
    QTreeWidgetItem *m_top = nullptr;
    QHash<QString, QTreeWidgetItem *> m_nodes;
    BusySpan m_busy;
    int m_splitVer = 4000;
    int m_splitHor = 3000;
    bool m_draggingVer = false;
    bool m_draggingHor = false;
};

} // namespace korva
