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
    auto *inside = new QWidget(this);
    inside->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(inside);
    m_editor = new CodeEditor(inside);
    m_editor->setObjectName(QStringLiteral("txtSource"));
    m_editor->setAccessibleName(QStringLiteral("Source"));
    // What the user changes would be kept nowhere: the text is for reading and copying.
    m_editor->setReadOnly(true);
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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

void frmStoredProcSource::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmStoredProcSource::Form_Resize()
{
    // The editor leaves 100 twips at the right and 400 at the bottom (the
    // status line) of the window's inside; a size that would not be positive is left alone.
    if (isMinimized())
        return;
    const int dpi = logicalDpiX();
    const int w = width() - placement::twipsToPixels(100, dpi);
    const int h = height() - placement::twipsToPixels(400, dpi) - centralWidget()->y();
    QRect r = m_editor->geometry();
    r.moveTopLeft(QPoint(0, 0));
    if (w > 0)
        r.setWidth(w);
    if (h > 0)
        r.setHeight(h);
    m_editor->setGeometry(r);
}

void frmStoredProcSource::closeEvent(QCloseEvent *event)
{
    if (!isMinimized())
        writeStoredPlacement(*openSettings(), kSettingsPrefix, m_placement->current());
    QMainWindow::closeEvent(event);
}

} // namespace korva
