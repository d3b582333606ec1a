#include "config/frmorvexconfiguration.h"

#include "appcontext/windowcontext.h"
#include "platform/fileio.h"
#include "platform/resultset.h"
#include "support/messenger.h"
#include "widgets/descriptioncolors.h"
#include "widgets/grid.h"

#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeWidget>

namespace korva {

namespace {

const QStringList kColumns{QStringLiteral("Path"), QStringLiteral("Key"), QStringLiteral("Type"),
                           QStringLiteral("Value")};
// Description files are a few hundred kilobytes; anything far larger is not one.
constexpr qint64 kMaxDescriptionBytes = 64 * 1024 * 1024;

} // namespace

frmOrvexConfiguration::frmOrvexConfiguration(WindowContext &context, QWidget *parent)
    : TreeViewerWindow(QStringLiteral("config"), {"mnuExpandAllNodes", "mnuCollapseAllNodes"}, parent),
      m_context(context)
{
    setObjectName(QStringLiteral("frmOrvexConfiguration"));
    setWindowTitle(QStringLiteral("Orvex Configuration Data Explorer"));
    emptyGrid();
    Form_Load();
}

frmOrvexConfiguration::~frmOrvexConfiguration() = default;

void frmOrvexConfiguration::report(const QString &routine, const Error &error)
{
    m_context.messenger().message(procedureError(error, routine, u"frmOrvexConfiguration"));
}

void frmOrvexConfiguration::Form_Load()
{
    applyStoredPlacement();

    // A missing or unreadable file is empty text, which does not parse either.
    QByteArray bytes;
    const QString folder = m_context.state().dictionaryFolder;
    if (!folder.isEmpty()
        && readRegularFile(folder + QStringLiteral("OrvexConfigurationData.xml"), kMaxDescriptionBytes, &bytes)
               != ReadStatus::Ok)
        bytes.clear();
    if (const std::optional<QString> problem = config::loadDescriptions(bytes, &m_descriptions))
        m_context.messenger().message(*problem);

    resetTree(QStringLiteral("System"));
    ConstructTreeFromConfigurationTable();
}

void frmOrvexConfiguration::ConstructTreeFromConfigurationTable()
{
    beginBusy();
    const QString connection = m_context.state().connectionString;
    m_treeRead.start(
        this, [connection] { return config::readFolders(connection); },
        [this](config::FolderRead read) { showTree(read); });
}

void frmOrvexConfiguration::showTree(const config::FolderRead &read)
{
    if (read.error) {
        report(QStringLiteral("ConstructTreeFromConfigurationTable"), read.error);
    } else {
        const config::TreePlan plan = config::planTree(read.rows);
        if (plan.noData) {
            m_context.messenger().message(config::kNoConfigurationData);
        } else {
            QList<QStringList> paths;
            paths.reserve(plan.leafFolders.size());
            for (const QString &fullName : plan.leafFolders) {
                const QStringList components = config::folderComponents(fullName);
                if (!components.isEmpty())
                    paths << components;
            }
            addTreePaths(paths, u'.');
        }
    }
    finishBusy();
    Q_EMIT treeLoaded();
}

void frmOrvexConfiguration::emptyGrid()
{
    grid()->setColumns(kColumns);
    grid()->setColumnHidden(0, true);
}

void frmOrvexConfiguration::finishBusy()
{
    if (!m_treeRead.isPending() && !m_settingsRead.isPending())
        endBusy();
}

void frmOrvexConfiguration::regTree_NodeClick(QTreeWidgetItem *node)
{
    m_settingsRead.cancel();
    emptyGrid();
    descriptionBox()->clear();
    grid()->viewport()->update();
    // The top node by what it is, not by its key: a folder may be named "Root".
    if (!node || node == topNode()) {
        finishBusy();
        return;
    }
    const QString fullName = config::fullNameOfNode(nodeKey(node));
    const QString connection = m_context.state().connectionString;
    beginBusy();
    m_settingsRead.start(
        this, [connection, fullName] { return config::readFolderSettings(connection, fullName); },
        [this, fullName](config::FolderSettings settings) { showSettings(settings, fullName); });
}

void frmOrvexConfiguration::showSettings(const config::FolderSettings &settings, const QString &fullName)
{
    using Outcome = config::FolderSettings::Outcome;
    if (settings.outcome == Outcome::NotFound) {
        m_context.messenger().message(QStringLiteral("Error, could not find node in configuration table by FullName=")
                                      + fullName);
    } else {
        if (settings.outcome == Outcome::Failed)
            report(QStringLiteral("regTree_NodeClick"), settings.error);
        std::shared_ptr<db::ResultSet> rows = db::ResultSet::inMemory(kColumns);
        for (const config::SettingRow &r : settings.rows)
            rows->addRow({r.path, r.key, r.type, r.value});
        showEntries(std::move(rows));
    }
    finishBusy();
    Q_EMIT settingsLoaded();
}

void frmOrvexConfiguration::gridKeys_RowColChange()
{
    Grid *g = grid();
    const int row = g->row();
    if (row < 1)
        return;
    setColouredDescription(descriptionBox(),
                           config::settingDescription(m_descriptions, g->textMatrix(row, 1), g->textMatrix(row, 0)),
                           config::kDescriptionKeywords);
}

} // namespace korva
