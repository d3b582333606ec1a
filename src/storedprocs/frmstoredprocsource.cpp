#include "storedprocs/frmstoredprocsource.h"

#include "platform/paths.h"
#include "storedprocs/codeeditor.h"
#include "platform/settings.h"
#include "support/windowplacement.h"
#include "storedprocs/sqllanguage.h"
#include "support/windowplacement.h"

#include <QtCore/QDir>
#include <QtWidgets/QStatusBar>

namespace korva {

using namespace storedprocs;

namespace {

const QString kSettingsPrefix = QStringLiteral("SPSource");
constexpr StoredPlacement kDefaultPlacement{1000, 1000, 10000, 8500};

} // namespace

frmStoredProcSource::frmStoredProcSource(WindowContext &, QWidget *parent) : QMainWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmStoredProcSource"));
    setWindowTitle(QStringLiteral("Stored Proc"));
    m_editor = new CodeEditor(this);
    m_editor->setObjectName(QStringLiteral("txtSource"));
    m_editor->setAccessibleName(QStringLiteral("Source"));
    // What the user changes would be kept nowhere: the text is for reading and copying.
    m_editor->setReadOnly(true);
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setCentralWidget(m_editor);
    statusBar()->setObjectName(QStringLiteral("staStatus"));
    m_placement = new WindowPlacement(this);
    Form_Load();
}

frmStoredProcSource::~frmStoredProcSource() = default;

void frmStoredProcSource::Form_Load()
{
    m_placement->restore(readStoredPlacement(*openSettings(), kSettingsPrefix, kDefaultPlacement));
    QString problem;
    const std::optional<LanguageDefinition> sql =
        loadLanguageDefinition(programFilePath(QStringLiteral("SQL.lng")), &problem);
    if (sql)
        m_highlighter = new SqlHighlighter(*sql, m_editor->document());
    if (!sql)
        statusBar()->showMessage(problem + QStringLiteral(": the text is shown without colours."));
    else if (!problem.isEmpty())
        statusBar()->showMessage(problem);
}

void frmStoredProcSource::showSource(const QString &procedureName, const QString &text)
{
    m_editor->setPlainText(text);
    setWindowTitle(procedureName);
}

void frmStoredProcSource::closeEvent(QCloseEvent *event)
{
    if (!isMinimized())
        writeStoredPlacement(*openSettings(), kSettingsPrefix, m_placement->current());
    QMainWindow::closeEvent(event);
}

} // namespace korva
