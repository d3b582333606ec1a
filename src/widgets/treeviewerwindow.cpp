#include "widgets/treeviewerwindow.h"

#include "platform/resultset.h"
#include "platform/settings.h"
#include "widgets/grid.h"
#include "widgets/windowkit.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QFrame>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLayout>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

#include <cmath>
#include <limits>

namespace korva {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kKeyboardStep = 120;
// Bars thinner than this cannot be grabbed with the mouse.
constexpr int kMinBarPixels = 5;

// A splitter position from the settings; one that is no int leaves the default.
void readSplitter(const QSettings &store, const QString &key, int &target)
{
    qint64 value = target;
    if (readSettingNumber(store, key, value) && value >= std::numeric_limits<int>::min()
        && value <= std::numeric_limits<int>::max())
        target = int(value);
}

} // namespace

QSize treeViewerMinimumSize(int splitVer, int splitHor)
{
    const qint64 width = std::max<qint64>(kViewerMinimumSize, qint64(splitVer) + kMinSplitVer);
    const qint64 height = std::max<qint64>(kViewerMinimumSize, qint64(splitHor) + kMinSplitHor);
    return QSize(int(std::min<qint64>(width, INT_MAX)), int(std::min<qint64>(height, INT_MAX)));
}

int clampSplitHor(int top, int height) { return std::max(kMinSplitHor, std::min(top, height - kMinSplitHor)); }

int clampSplitVer(int left, int width) { return std::max(kMinSplitVer, std::min(left, width - kMinSplitVer)); }

TreeViewerLayout layoutTreeViewer(int width, int height, int splitVer, int splitHor)
{
    TreeViewerLayout l;
    const int top = 50;
    l.tree = QRect(50, top, splitVer - 100, height - 800);
    const int right = splitVer + 50;
    const int rightWidth = width - splitVer - 200;
    l.grid = QRect(right, top, rightWidth, splitHor - 100 - top);
    l.description = QRect(right, splitHor + 100, rightWidth, height - splitHor - kViewerExitHeight - 950);
    l.exit = QRect(width - 1130, height - 1150, kViewerExitWidth, kViewerExitHeight);
    l.splitterHor = QRect(splitVer, splitHor, width - splitVer, 100);
    l.splitterVer = QRect(splitVer, 0, 50, height);
    return l;
}

QStringList treePathKeys(const QStringList &components, QChar separator)
{
    QStringList keys;
    keys.reserve(components.size());
    QString path;
    for (qsizetype i = 0; i < components.size(); ++i) {
        path += components.at(i) + separator;
        keys << (i == 0 ? components.at(0) : path);
    }
    return keys;
}

TreeViewerSettings readTreeViewerSettings(const QString &prefix)
{
    TreeViewerSettings s;
    const std::unique_ptr<QSettings> store = openSettings();
    const StoredPlacement p = readStoredPlacement(*store, prefix, {s.left, s.top, s.width, s.height});
    s.left = p.left;
    s.top = p.top;
    s.width = p.width;
    s.height = p.height;
    readSplitter(*store, QStringLiteral("Settings/") + prefix + QStringLiteral("SplitVer"), s.splitVer);
    readSplitter(*store, QStringLiteral("Settings/") + prefix + QStringLiteral("SplitHor"), s.splitHor);
    return s;
}

void writeTreeViewerSplitters(const QString &prefix, int splitVer, int splitHor)
{
    const std::unique_ptr<QSettings> store = openSettings();
    store->setValue(QStringLiteral("Settings/") + prefix + QStringLiteral("SplitVer"), QString::number(splitVer));
    store->setValue(QStringLiteral("Settings/") + prefix + QStringLiteral("SplitHor"), QString::number(splitHor));
}

TreeViewerWindow::TreeViewerWindow(const QString &settingsPrefix, const MenuNames &names, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_prefix(settingsPrefix)
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    addMenuItem(m_fileMenu, QStringLiteral("Exit"), "mnuExit", this, &TreeViewerWindow::cmdExit_Click);

    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->setObjectName(QStringLiteral("mnuView"));
    QAction *expand = addMenuItem(m_viewMenu, QStringLiteral("Expand all nodes"), names.expandAll);
    QAction *collapse = addMenuItem(m_viewMenu, QStringLiteral("Collapse all nodes"), names.collapseAll);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    addAlwaysOnTopItem(options, this);

    QWidget *central = addCentralArea(this);

    m_regTree = new QTreeWidget(central);
    m_regTree->setObjectName(QStringLiteral("regTree"));
    m_regTree->setAccessibleName(QStringLiteral("Folders"));
    m_regTree->setHeaderHidden(true);
    m_regTree->setUniformRowHeights(true);
    m_regTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_regTree->header()->setStretchLastSection(false);

    m_gridKeys = new Grid(central, false);
    m_gridKeys->setObjectName(QStringLiteral("gridKeys"));
    m_gridKeys->setAccessibleName(QStringLiteral("Values"));
    m_gridKeys->setSelectionBehavior(QAbstractItemView::SelectRows);

    m_txtDescription = new QTextEdit(central);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setAccessibleName(QStringLiteral("Description"));
    m_txtDescription->setReadOnly(true);

    m_cmdExit = new QPushButton(QStringLiteral("E&xit"), central);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(m_cmdExit, &QPushButton::clicked, this, &TreeViewerWindow::cmdExit_Click);

    auto makeBar = [central, this](const char *name, Qt::CursorShape shape, const QString &keys) {
        auto *bar = new QFrame(central);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setFrameShape(QFrame::StyledPanel);
        bar->setCursor(shape);
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->setAccessibleName(QStringLiteral("Splitter"));
        bar->setAccessibleDescription(QStringLiteral("Drag, or use the %1 keys, to resize the panes").arg(keys));
        bar->installEventFilter(this);
        return bar;
    };
    m_imgSplitterVertical = makeBar("imgSplitterVertical", Qt::SizeHorCursor, QStringLiteral("Left and Right"));
    m_imgSplitterHor = makeBar("imgSplitterHor", Qt::SizeVerCursor, QStringLiteral("Up and Down"));

    layOutOnResize(this, [this] { ResizeForm(); });

    connect(expand, &QAction::triggered, m_regTree, &QTreeWidget::expandAll);
    connect(collapse, &QAction::triggered, this, [this] {
        m_regTree->collapseAll();
        if (m_top)
            m_top->setExpanded(true);
    });
    connect(m_regTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (current)
            nodeClicked(current);
    });
    connect(m_gridKeys, &Grid::currentCellChanged, this, [this](int row, int) {
        if (row >= 1)
            currentRowChanged();
    });
}

TreeViewerWindow::~TreeViewerWindow() = default;

int TreeViewerWindow::twipsToPixels(int twips) const { return placement::twipsToPixels(twips, this); }

int TreeViewerWindow::pixelsToTwips(int pixels) const { return int(placement::pixelsToTwips(pixels, logicalDpiX())); }

void TreeViewerWindow::applyStoredPlacement()
{
    const TreeViewerSettings s = readTreeViewerSettings(m_prefix);
    m_splitVer = s.splitVer;
    m_splitHor = s.splitHor;
    applyMinimumSize();
    keepStoredPlacement(this, m_prefix, {s.left, s.top, s.width, s.height});
    ResizeForm();
}

int TreeViewerWindow::outerWidth() const { return pixelsToTwips(centralWidget()->width()) + kViewerNonClientWidth; }

int TreeViewerWindow::outerHeight() const { return pixelsToTwips(centralWidget()->height()) + kViewerNonClientHeight; }

void TreeViewerWindow::applyMinimumSize()
{
    QSize need = treeViewerMinimumSize(m_splitVer, m_splitHor);
    // A stored position that would need a window larger than the screen is
    // brought within it, so that every control can still be reached.
    if (const QScreen *s = screen()) {
        const QSize room(pixelsToTwips(s->availableGeometry().width()), pixelsToTwips(s->availableGeometry().height()));
        if (need.width() > room.width())
            m_splitVer = clampSplitVer(m_splitVer, room.width());
        if (need.height() > room.height())
            m_splitHor = clampSplitHor(m_splitHor, room.height());
        need = treeViewerMinimumSize(m_splitVer, m_splitHor).boundedTo(room);
    }
    const int bar = menuBar()->sizeHint().height();
    setMinimumSize(std::max(0, twipsToPixels(need.width() - kViewerNonClientWidth)),
                   std::max(0, twipsToPixels(need.height() - kViewerNonClientHeight)) + bar);
}

void TreeViewerWindow::ResizeForm()
{
    if (isMinimized())
        return;
    // Before the window is first shown its central area has no size yet.
    if (layout())
        layout()->activate();
    const TreeViewerLayout l = layoutTreeViewer(outerWidth(), outerHeight(), m_splitVer, m_splitHor);
    auto px = [this](const QRect &r) {
        return QRect(twipsToPixels(r.x()), twipsToPixels(r.y()), std::max(0, twipsToPixels(r.width())),
                     std::max(0, twipsToPixels(r.height())));
    };
    m_regTree->setGeometry(px(l.tree));
    m_gridKeys->setGeometry(px(l.grid));
    m_txtDescription->setGeometry(px(l.description));
    m_cmdExit->setGeometry(px(l.exit));
    QRect ver = px(l.splitterVer);
    ver.setWidth(std::max(ver.width(), kMinBarPixels));
    m_imgSplitterVertical->setGeometry(ver);
    QRect hor = px(l.splitterHor);
    hor.setHeight(std::max(hor.height(), kMinBarPixels));
    m_imgSplitterHor->setGeometry(hor);
}

void TreeViewerWindow::moveSplitVer(int left)
{
    const int clamped = clampSplitVer(left, outerWidth());
    if (clamped == m_splitVer)
        return;
    m_splitVer = clamped;
    applyMinimumSize();
    ResizeForm();
}

void TreeViewerWindow::moveSplitHor(int top)
{
    const int clamped = clampSplitHor(top, outerHeight());
    if (clamped == m_splitHor)
        return;
    m_splitHor = clamped;
    applyMinimumSize();
    ResizeForm();
}

void TreeViewerWindow::dragBar(QFrame *bar, const QPoint &mouse)
{
    if (bar == m_imgSplitterHor)
        moveSplitHor(m_splitHor + pixelsToTwips(mouse.y()));
    else
        moveSplitVer(m_splitVer + pixelsToTwips(mouse.x()));
}

bool TreeViewerWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_imgSplitterHor && watched != m_imgSplitterVertical)
        return QMainWindow::eventFilter(watched, event);
    auto *bar = static_cast<QFrame *>(watched);
    bool &dragging = bar == m_imgSplitterHor ? m_draggingHor : m_draggingVer;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        dragging = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        return true;
    case QEvent::MouseButtonRelease:
        dragging = false;
        return true;
    case QEvent::MouseMove:
        if (dragging)
            dragBar(bar, static_cast<QMouseEvent *>(event)->position().toPoint());
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool horizontal = bar == m_imgSplitterHor;
        const int back = horizontal ? Qt::Key_Up : Qt::Key_Left;
        const int forward = horizontal ? Qt::Key_Down : Qt::Key_Right;
        if (key == back || key == forward) {
            const int step = key == back ? -kKeyboardStep : kKeyboardStep;
            if (horizontal)
                moveSplitHor(m_splitHor + step);
            else
                moveSplitVer(m_splitVer + step);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TreeViewerWindow::cmdExit_Click() { close(); }

void TreeViewerWindow::closeEvent(QCloseEvent *event)
{
    if (!isMinimized())
        writeTreeViewerSplitters(m_prefix, m_splitVer, m_splitHor);
    endBusy();
    QMainWindow::closeEvent(event);
}

QTreeWidgetItem *TreeViewerWindow::resetTree(const QString &topText)
{
    m_regTree->clear();
    m_nodes.clear();
    m_top = new QTreeWidgetItem(m_regTree, {topText});
    m_top->setData(0, kKeyRole, QStringLiteral("Root"));
    m_top->setExpanded(true);
    return m_top;
}

QString TreeViewerWindow::nodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kKeyRole).toString() : QString();
}

void TreeViewerWindow::addTreePaths(const QList<QStringList> &paths, QChar separator)
{
    if (!m_top)
        return;
    // Built away from the view: a view that follows every insertion under an
    // expanded node costs time for each of thousands of folders.
    const int at = m_regTree->indexOfTopLevelItem(m_top);
    if (at >= 0)
        m_regTree->takeTopLevelItem(at);
    for (const QStringList &components : paths) {
        const QStringList keys = treePathKeys(components, separator);
        QTreeWidgetItem *parent = m_top;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            QTreeWidgetItem *node = m_nodes.value(keys.at(i));
            if (!node) {
                node = new QTreeWidgetItem(parent, {components.at(i)});
                node->setData(0, kKeyRole, keys.at(i));
                m_nodes.insert(keys.at(i), node);
            }
            parent = node;
        }
    }
    m_regTree->insertTopLevelItem(std::max(0, at), m_top);
    m_top->setExpanded(true);
}

void TreeViewerWindow::showEntries(std::shared_ptr<db::ResultSet> rows)
{
    const int columns = rows->fieldCount();
    Grid *g = grid();
    g->setUpdatesEnabled(false);
    g->setResultSet(std::move(rows));
    g->setColumnHidden(0, true);
    const int extra = twipsToPixels(100);
    for (int c = 1; c < columns; ++c) {
        g->resizeColumnToContents(c);
        g->setColumnWidth(c, g->columnWidth(c) + extra);
    }
    g->setUpdatesEnabled(true);
    if (g->rows() > 1)
        g->setCurrentCell(1, 1);
}

void TreeViewerWindow::beginBusy() { m_busy.start(); }

void TreeViewerWindow::endBusy() { m_busy.finish(); }

} // namespace korva
