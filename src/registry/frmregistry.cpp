#include "registry/frmregistry.h"

#include "appcontext/windowcontext.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/resultset.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "widgets/descriptioncolors.h"
#include "widgets/grid.h"
#include "widgets/windowkit.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QTextDocumentFragment>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

namespace korva {

using namespace registryview;

namespace {

const QString kCaption = QStringLiteral("Orvex Registry Explorer");
const QStringList kColumns{QStringLiteral("Path"), QStringLiteral("Key"), QStringLiteral("Value")};
constexpr qint64 kMaxDescriptionBytes = 64 * 1024 * 1024;

} // namespace

frmRegistry::frmRegistry(WindowContext &context, QWidget *parent)
    : TreeViewerWindow(QStringLiteral("reg"), {"mnuExpandAll", "mnuCollapse"}, parent), m_context(context),
      m_source(localRegistry())
{
    setObjectName(QStringLiteral("frmRegistry"));
    setWindowTitle(kCaption);

    QAction *open = new QAction(QStringLiteral("Open registry export file..."), this);
    open->setObjectName(QStringLiteral("mnuOpenRegistryFile"));
    fileMenu()->insertAction(fileMenu()->actions().value(0), open);
    fileMenu()->insertSeparator(fileMenu()->actions().value(1));
    connect(open, &QAction::triggered, this, &frmRegistry::mnuOpenRegistryFile_Click);

    m_mnuRegDataPopup = new QMenu(this);
    m_mnuRegDataPopup->setObjectName(QStringLiteral("mnuRegDataPopup"));
    addMenuItem(m_mnuRegDataPopup, QStringLiteral("Copy full key path to clipboard"), "mnuCopyKeyPath", this, [this] {
        copyToClipboard(fullKeyPath(grid()->textMatrix(grid()->row(), 0), grid()->textMatrix(grid()->row(), 1)));
    });
    addMenuItem(m_mnuRegDataPopup, QStringLiteral("Copy value to clipboard"), "mnuCopyValueToClipboard", this,
                [this] { copyToClipboard(grid()->textMatrix(grid()->row(), 2)); });
    m_mnuDescriptionPopup = new QMenu(this);
    m_mnuDescriptionPopup->setObjectName(QStringLiteral("mnuDescriptionPopup"));
    addMenuItem(m_mnuDescriptionPopup, QStringLiteral("Copy"), "mnuCopyDescriptionText", this,
                [this] { copyToClipboard(descriptionBox()->textCursor().selection().toPlainText()); });
    connect(grid(), &Grid::rightButtonPressed, this, &frmRegistry::gridKeys_MouseDown);
    // The box's own menu would offer more than reading; ours opens on the button press.
    descriptionBox()->setContextMenuPolicy(Qt::PreventContextMenu);
    descriptionBox()->viewport()->installEventFilter(this);

    emptyGrid();
    Form_Load();
}

frmRegistry::~frmRegistry() = default;

void frmRegistry::Form_Load()
{
    applyStoredPlacement();

    QByteArray bytes;
    if (readRegularFile(programFilePath(kDescriptionFile), kMaxDescriptionBytes, &bytes) != ReadStatus::Ok)
        bytes.clear();
    if (!loadDescriptions(bytes, &m_descriptions))
        m_context.messenger().message(QStringLiteral("XML problem - can't open registry info"));

    resetTree(QStringLiteral("Brisvane"));
    ConstructTreeFromRegistry();
}

void frmRegistry::ConstructTreeFromRegistry()
{
    beginBusy();
    m_treeRead.start(
        this, [source = m_source] { return listKeyTree(*source); }, [this](KeyTree tree) { showTree(tree); });
}

void frmRegistry::showTree(const KeyTree &tree)
{
    QList<QStringList> paths;
    paths.reserve(tree.leafPaths.size());
    for (const QString &relative : tree.leafPaths)
        paths << keyComponents(relative);
    addTreePaths(paths, u'\\');
    for (const Error &failure : tree.failures)
        m_context.messenger().message(procedureError(failure, u"ConstructTreeFromRegistry", u"frmRegistry"));
    finishBusy();
    Q_EMIT treeLoaded();
}

void frmRegistry::finishBusy()
{
    if (!m_treeRead.isPending() && !m_exportRead.isPending())
        endBusy();
}

void frmRegistry::emptyGrid()
{
    grid()->setColumns(kColumns);
    grid()->setColumnHidden(0, true);
}

void frmRegistry::regTree_NodeClick(QTreeWidgetItem *node)
{
    descriptionBox()->clear();
    emptyGrid();
    if (!node || node == topNode())
        return;
    const QString keyPath = keyPathOfNode(nodeKey(node));
    const std::optional<QList<RegistryAPI::Entry>> values = m_source->EnumValues(keyPath);
    if (!values) {
        const QString problem = m_source->problem();
        m_context.messenger().message(
            procedureError({2, !problem.isEmpty()
                                   ? problem
                                   : QStringLiteral("Unable to open the registry key HKEY_LOCAL_MACHINE\\") + keyPath},
                           u"regTree_NodeClick", u"frmRegistry"));
        return;
    }
    std::shared_ptr<db::ResultSet> rows = db::ResultSet::inMemory(kColumns);
    for (const RegistryAPI::Entry &e : *values) {
        // The registry module's answer for a key without values.
        if (e.name.isEmpty() && e.type == 0 && !e.value.isValid())
            continue;
        rows->addRow({keyPath, e.name, valueText(e.value)});
    }
    showEntries(std::move(rows));
}

void frmRegistry::gridKeys_RowColChange()
{
    Grid *g = grid();
    const int row = g->row();
    if (row < 1)
        return;
    setColouredDescription(descriptionBox(),
                           valueDescription(m_descriptions, g->textMatrix(row, 1), g->textMatrix(row, 0)),
                           kDescriptionKeywords);
}

void frmRegistry::gridKeys_MouseDown(const QPoint &globalPos)
{
    Grid *g = grid();
    const int row = g->mouseRow();
    if (row < 1 || row >= g->rows())
        return;
    g->setCurrentCell(row, std::max(1, g->mouseCol()));
    m_mnuRegDataPopup->popup(globalPos);
}

bool frmRegistry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == descriptionBox()->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            if (descriptionBox()->textCursor().hasSelection())
                m_mnuDescriptionPopup->popup(me->globalPosition().toPoint());
            return true;
        }
    }
    return TreeViewerWindow::eventFilter(watched, event);
}

void frmRegistry::copyToClipboard(const QString &text) { QGuiApplication::clipboard()->setText(text); }

void frmRegistry::mnuOpenRegistryFile_Click()
{
    const QString folder = m_exportFile.isEmpty() ? QDir::homePath() : QFileInfo(m_exportFile).absolutePath();
    const QString path = m_context.messenger().openFileName(QStringLiteral("Open registry export file"), folder,
                                                            QStringLiteral(
                                                                "Registry export files (*.reg);;All files (*)"));
    if (path.isEmpty())
        return;
    beginBusy();
    m_exportRead.start(
        this, [path] { return readRegistryExport(path); }, [this, path](ExportRead read) { showExport(read, path); });
}

void frmRegistry::showExport(const ExportRead &read, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QString problem;
    if (read.errorLine > 0)
        problem = QStringLiteral("%1 cannot be read as a registry export: line %2: %3")
                      .arg(name)
                      .arg(read.errorLine)
                      .arg(read.error);
    else if (!read.source)
        problem = QStringLiteral("%1 cannot be read: %2").arg(name, read.error);
    else if (!read.source->EnumKeys(kSettingsFolder))
        problem = QStringLiteral("%1 holds no key HKEY_LOCAL_MACHINE\\%2").arg(name, kSettingsFolder.chopped(1));
    if (!problem.isEmpty()) {
        // What is shown stays as it was.
        m_context.messenger().message(problem);
        finishBusy();
        Q_EMIT exportFileRead();
        return;
    }
    m_treeRead.cancel();
    m_source = read.source;
    m_exportFile = path;
    modLocalize::setComposedTitle(this, kCaption, name);
    emptyGrid();
    descriptionBox()->clear();
    resetTree(QStringLiteral("Brisvane"));
    finishBusy();
    ConstructTreeFromRegistry();
    Q_EMIT exportFileRead();
}

} // namespace korva
