#include "storedprocs/frmstoredprocs.h"

#include "appcontext/windowcontext.h"
#include "platform/database.h"
#include "platform/fileio.h"
#include "platform/resultset.h"
#include "storedprocs/frmstoredprocexecute.h"
#include "storedprocs/frmstoredprocsource.h"
#include "storedprocs/proceduredescriptions.h"
#include "storedprocs/storedprocwindows.h"
#include "support/frmsplashscreen.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "widgets/descriptioncolors.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"
#include "widgets/windowkit.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QVBoxLayout>

namespace korva {

using namespace storedprocs;

namespace {

const QString kSettingsPrefix = QStringLiteral("SP");
constexpr StoredPlacement kDefaultPlacement{1000, 1000, 10000, 8500};
// The outer window, frame included.
constexpr QSize kMinimumSize(12615, 2400);
// Dictionaries are a few megabytes; anything far larger is not one.
constexpr qint64 kMaxDictionaryBytes = 256 * 1024 * 1024;
// Where the parameter grid shows the enumeration's fields: after the fixed column.
constexpr int kParamName = 1, kParamType = 2, kParamLength = 3, kParamHidden = 4, kParamOutput = 5;

const QString kCaption = QStringLiteral("Orvex Stored Procedures");
const QStringList kListColumns{QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Source")};

} // namespace

namespace storedprocs {

CatalogueRead readCatalogue(const QString &dictionaryPath, const QString &connection)
{
    CatalogueRead read;
    QByteArray bytes;
    // No dictionary at all (a server attached without its files): the
    // procedures are listed without descriptions.
    switch (dictionaryPath.isEmpty() ? ReadStatus::Ok : readRegularFile(dictionaryPath, kMaxDictionaryBytes, &bytes)) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::TooLarge:
        read.error = {7, QStringLiteral("Out of memory")};
        return read;
    default:
        read.error = {53, QStringLiteral("File not found")};
        return read;
    }
    // Lower-cased whole, so every name compares in lower case; the markup
    // keywords that must stay upper case are put back.
    QString text = xml::decodeDocument(bytes).toLower();
    text.replace(QStringLiteral("<![cdata["), QStringLiteral("<![CDATA["));
    text.replace(QStringLiteral("<!doctype"), QStringLiteral("<!DOCTYPE"));
    read.dictionary.loadFromText(text);

    Error e;
    const std::shared_ptr<db::Session> session = db::sessionFor(connection, &e);
    if (!session) {
        read.error = e;
        return read;
    }
    QList<db::ProcedureInfo> all = session->procedures(&e);
    if (e) {
        read.error = e;
        return read;
    }
    read.procedures = listedProcedures(all);
    return read;
}

} // namespace storedprocs

frmStoredProcs::frmStoredProcs(WindowContext &context, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmStoredProcs"));
    setWindowTitle(kCaption);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addMenuItem(file, QStringLiteral("Exit"), "mnuExit", this, &QWidget::close);
    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    addAlwaysOnTopItem(options, this);

    QWidget *central = addCentralArea(this);

    m_gridSPs = new Grid(central, false);
    m_gridSPs->setObjectName(QStringLiteral("gridSPs"));
    m_gridSPs->setAccessibleName(QStringLiteral("Stored Procedures"));
    m_gridSPs->horizontalHeader()->hide();
    m_gridSPs->horizontalHeader()->setStretchLastSection(true);
    m_gridSPs->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_gridSPs->setColumns(kListColumns);

    m_gridParams = new Grid(central, true);
    m_gridParams->gridModel()->setTranslatedCaptions(true);
    m_gridParams->setObjectName(QStringLiteral("gridParams"));
    m_gridParams->setAccessibleName(QStringLiteral("Parameters"));
    m_gridParams->setSelectionBehavior(QAbstractItemView::SelectRows);

    m_tabInfo = new QTabWidget(central);
    m_tabInfo->setObjectName(QStringLiteral("tabInfo"));
    m_txtSPInfo = new QTextEdit(m_tabInfo);
    m_txtSPInfo->setObjectName(QStringLiteral("txtSPInfo"));
    m_txtSPInfo->setReadOnly(true);
    m_txtParamInfo = new QTextEdit(m_tabInfo);
    m_txtParamInfo->setObjectName(QStringLiteral("txtParamInfo"));
    m_txtParamInfo->setReadOnly(true);
    m_tabInfo->addTab(m_txtSPInfo, QStringLiteral(" Stored Proc Info"));
    m_tabInfo->addTab(m_txtParamInfo, QStringLiteral("Parameter Info"));

    m_cmdExecute = new QPushButton(QStringLiteral("&Execute"), central);
    m_cmdExecute->setObjectName(QStringLiteral("cmdExecute"));
    m_cmdViewSource = new QPushButton(QStringLiteral("&View Source"), central);
    m_cmdViewSource->setObjectName(QStringLiteral("cmdViewSource"));
    m_cmdClose = new QPushButton(QStringLiteral("&Close"), central);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *listLabel = new QLabel(QStringLiteral("Stored Procedures"), central);
    listLabel->setObjectName(QStringLiteral("lblStoredProcs"));
    listLabel->setBuddy(m_gridSPs);
    auto *paramsLabel = new QLabel(QStringLiteral("Parameters"), central);
    paramsLabel->setObjectName(QStringLiteral("lblParameters"));
    paramsLabel->setBuddy(m_gridParams);

    auto *left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_gridSPs, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(paramsLabel);
    right->addWidget(m_gridParams, 2);
    right->addWidget(m_tabInfo, 3);
    auto *panes = new QHBoxLayout;
    panes->addLayout(left, 2);
    panes->addLayout(right, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdExecute);
    buttons->addWidget(m_cmdViewSource);
    buttons->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(central);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);

    placement::sizeInTwips(this, kMinimumSize);

    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cmdExecute, &QPushButton::clicked, this, &frmStoredProcs::cmdExecute_Click);
    connect(m_cmdViewSource, &QPushButton::clicked, this, &frmStoredProcs::cmdViewSource_Click);
    connect(m_gridSPs, &Grid::currentCellChanged, this, [this](int row, int) {
        if (!m_showing && row >= 1)
            gridSPs_RowColChange();
    });
    connect(m_gridParams, &Grid::currentCellChanged, this, [this](int row, int) {
        if (!m_showing && row >= 1)
            gridParams_RowColChange();
    });

    Form_Load();
}

frmStoredProcs::~frmStoredProcs() = default;

void frmStoredProcs::report(const QString &routine, const Error &error)
{
    m_context.messenger().message(procedureError(error, routine, u"frmStoredProcs"));
}

void frmStoredProcs::Form_Load()
{
    keepStoredPlacement(this, kSettingsPrefix, kDefaultPlacement);
    const SharedState &state = m_context.state();
    if (!state.remoteLabel.isEmpty())
        modLocalize::setComposedTitle(this, kCaption, state.remoteLabel);

    // Over the main window, whose menu opened the browser.
    m_splash = std::make_unique<frmSplashScreen>();
    QWidget *main = dynamic_cast<QWidget *>(m_context.jumpTarget());
    if (!main)
        main = QApplication::activeWindow();
    if (main && main->isVisible()) {
        m_splash->showOver(main);
    } else {
        m_splash->centreOnScreen();
        m_splash->show();
    }
    m_busy.start();

    const QString dictionary = state.dictionaryFolder.isEmpty()
                                   ? QString()
                                   : state.dictionaryFolder + QStringLiteral("OrvexDirDB.xml");
    const QString connection = directoryConnectionString(state.serverName);
    m_load.start(
        this,
        [dictionary, connection] { return std::make_shared<CatalogueRead>(readCatalogue(dictionary, connection)); },
        [this](std::shared_ptr<CatalogueRead> read) { showCatalogue(std::move(*read)); });
}

void frmStoredProcs::showCatalogue(CatalogueRead read)
{
    m_busy.finish();
    if (read.error) {
        report(QStringLiteral("Form_Load"), read.error);
        m_context.messenger().message(
            QStringLiteral("The local server may not have SQLDMO libraries installed.  Exiting"));
        m_splash->hide();
        close();
        Q_EMIT loaded();
        return;
    }
    m_dictionary = std::move(read.dictionary);
    m_procedures.clear();
    std::shared_ptr<db::ResultSet> list = db::ResultSet::inMemory(kListColumns);
    for (const db::ProcedureInfo &p : std::as_const(read.procedures)) {
        // The text stays beside the list, not in its hidden cell, where a
        // screen reader would read every procedure's whole source aloud.
        list->addRow({QString::number(p.id), p.name, QString()});
        m_procedures.insert(p.id, p);
    }
    m_gridSPs->setUpdatesEnabled(false);
    m_gridSPs->setResultSet(list);
    m_gridSPs->setColumnHidden(0, true);
    m_gridSPs->setColumnHidden(2, true);
    m_gridSPs->setUpdatesEnabled(true);
    if (m_gridSPs->rows() > 1) {
        m_showing = true;
        m_gridSPs->setCurrentCell(1, 1);
        m_showing = false;
        gridSPs_RowColChange();
    }
    m_splash->hide();
    Q_EMIT loaded();
}

QString frmStoredProcs::currentCell(const QString &column) const
{
    const int row = m_gridSPs->row();
    if (row < 1)
        return {};
    return m_gridSPs->textMatrix(row, int(kListColumns.indexOf(column)));
}

const db::ProcedureInfo *frmStoredProcs::currentProcedure() const
{
    bool ok = false;
    const qint32 id = currentCell(QStringLiteral("ID")).toInt(&ok);
    const auto it = m_procedures.constFind(id);
    return ok && it != m_procedures.constEnd() ? &it.value() : nullptr;
}

void frmStoredProcs::gridSPs_RowColChange()
{
    // An empty list has nothing to show; a single procedure is shown like any other.
    if (m_gridSPs->rows() < 2)
        return;
    const QString name = currentCell(QStringLiteral("Name"));
    if (const db::ProcedureInfo *procedure = currentProcedure()) {
        m_gridParams->setUpdatesEnabled(false);
        m_gridParams->setResultSet(enumerationToResultSet(parameterEnumeration(*procedure)));
        m_gridParams->setColumnHidden(m_gridParams->modelColumn(kParamHidden), true);
        m_gridParams->setUpdatesEnabled(true);
    } else {
        report(QStringLiteral("gridSPs_RowColChange"),
               {db::kErrNoSuchObject,
                QStringLiteral("No stored procedure has the identifier %1.").arg(currentCell(QStringLiteral("ID")))});
        m_gridParams->clearRows();
    }
    if (m_gridParams->rows() >= 2) {
        m_showing = true;
        m_gridParams->setCurrentCell(1, kParamName);
        m_showing = false;
        gridParams_RowColChange();
    }
    setColouredDescription(m_txtSPInfo, procedureDescription(m_dictionary, name), kProcedureKeywords);
}

void frmStoredProcs::gridParams_RowColChange()
{
    const int row = m_gridParams->row();
    if (row < 1)
        return;
    const ParameterDescription d = parameterDescription(m_dictionary, currentCell(QStringLiteral("Name")),
                                                        m_gridParams->textMatrix(row, kParamName));
    // Only a parameter the dictionary describes has its labels coloured.
    setColouredDescription(m_txtParamInfo, d.text, d.found ? kParameterKeywords : QString());
}

QList<ParameterRow> frmStoredProcs::parameterRows() const
{
    QList<ParameterRow> rows;
    for (int r = 1; r < m_gridParams->rows(); ++r)
        rows.append({m_gridParams->textMatrix(r, kParamName), m_gridParams->textMatrix(r, kParamType),
                     m_gridParams->textMatrix(r, kParamLength), m_gridParams->textMatrix(r, kParamOutput)});
    return rows;
}

template<class Window>
Window *frmStoredProcs::openToolWindow(const QString &name)
{
    registerStoredProcedureWindows(m_context);
    return qobject_cast<Window *>(m_context.openWindow(name));
}

void frmStoredProcs::cmdExecute_Click()
{
    auto *w = openToolWindow<frmStoredProcExecute>(kExecuteWindow);
    if (!w)
        return;
    w->setProcedureName(currentCell(QStringLiteral("Name")));
    w->setParameters(parameterRows());
    w->LoadGridData();
}

void frmStoredProcs::cmdViewSource_Click()
{
    if (m_gridSPs->row() < 1) {
        report(QStringLiteral("cmdViewSource_Click"), {381, QStringLiteral("Subscript out of range")});
        return;
    }
    const db::ProcedureInfo *procedure = currentProcedure();
    if (auto *w = openToolWindow<frmStoredProcSource>(kSourceWindow))
        w->showSource(currentCell(QStringLiteral("Name")), procedure ? procedure->source : QString());
}

void frmStoredProcs::closeEvent(QCloseEvent *event)
{
    m_load.cancel();
    m_busy.finish();
    if (m_splash)
        m_splash->hide();
    QMainWindow::closeEvent(event);
}

} // namespace korva
