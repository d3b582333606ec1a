#include "storedprocs/frmstoredprocsource.h"

#include "platform/paths.h"
#include "storedprocs/codeeditor.h"
#include "storedprocs/sqllanguage.h"
#include "widgets/windowkit.h"

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
    m_editor = new CodeEditor(addCentralArea(this));
    m_editor->setObjectName(QStringLiteral("txtSource"));
    m_editor->setAccessibleName(QStringLiteral("Source"));
    // What the user changes would be kept nowhere: the text is for reading and copying.
    m_editor->setReadOnly(true);
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    statusBar()->setObjectName(QStringLiteral("staStatus"));
    layOutOnResize(this, [this] { Form_Resize(); });
    Form_Load();
}

frmStoredProcSource::~frmStoredProcSource() = default;

void frmStoredProcSource::Form_Load()
{
    keepStoredPlacement(this, kSettingsPrefix, kDefaultPlacement);
    QString problem;
    const std::optional<LanguageDefinition> sql = loadLanguageDefinition(programFilePath(QStringLiteral("SQL.lng")),
                                                                         &problem);
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

void frmStoredProcSource::Form_Resize()
{
    // The editor leaves 100 twips at the right and 400 at the bottom (the
    // status line) of the window's inside; a size that would not be positive is left alone.
    const int w = width() - placement::twipsToPixels(100, this);
    const int h = height() - placement::twipsToPixels(400, this) - centralWidget()->y();
    QRect r = m_editor->geometry();
    r.moveTopLeft(QPoint(0, 0));
    if (w > 0)
        r.setWidth(w);
    if (h > 0)
        r.setHeight(h);
    m_editor->setGeometry(r);
}

} // namespace korva
