#include "storedprocs/frmstoredprocexecute.h"

#include "appcontext/windowcontext.h"
#include "platform/database.h"
#include "platform/workstationinfo.h"
#include "storedprocs/parametervalues.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "widgets/windowkit.h"

#include <QtGui/QCloseEvent>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>

namespace korva {

using namespace storedprocs;

namespace {

enum Column { NameColumn, TypeColumn, LengthColumn, ValueColumn };
constexpr int kDesignWidths[] = {1320, 960, 960, 960};
// The outer window, frame included.
constexpr int kMinWidth = 5760;
constexpr int kMinHeight = 2730;
constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;
constexpr int kGridLeft = 30;
constexpr int kGridTop = 60;

} // namespace

frmStoredProcExecute::frmStoredProcExecute(WindowContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmStoredProcExecute"));
    setWindowTitle(QStringLiteral("Execute Stored Procedure"));

    m_gridParams = new QTableWidget(0, 4, this);
    m_gridParams->setObjectName(QStringLiteral("gridParams"));
    m_gridParams->setAccessibleName(QStringLiteral("Parameters"));
    frmStoredProcExecute_Auto_Init();
    m_gridParams->verticalHeader()->hide();
    m_gridParams->setSelectionMode(QAbstractItemView::SingleSelection);
    m_gridParams->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                  | QAbstractItemView::AnyKeyPressed);
    m_gridParams->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < 4; ++c)
        m_gridParams->setColumnWidth(c, placement::twipsToPixels(kDesignWidths[c], this));

    m_cmdExecute = new QPushButton(QStringLiteral("Execute"), this);
    m_cmdExecute->setObjectName(QStringLiteral("cmdExecute"));
    m_cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));

    for (QPushButton *b : {m_cmdExecute, m_cmdExit})
        b->resize(placement::twipsToPixels(kButtonWidth, this), placement::twipsToPixels(kButtonHeight, this));
    placement::sizeInTwips(this, QSize(kMinWidth, kMinHeight), QSize(7000, 4500));
    layOutOnResize(this, [this] { Form_Resize(); });

    connect(m_gridParams, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_loading)
            gridParams_AfterEdit(item->row() + 1, item->column());
    });
    connect(m_cmdExecute, &QPushButton::clicked, this, &frmStoredProcExecute::cmdExecute_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &QWidget::close);
}

frmStoredProcExecute::~frmStoredProcExecute()
{
    if (m_stopper)
        m_stopper->stop();
}

void frmStoredProcExecute::frmStoredProcExecute_Auto_Init()
{
    QStringList headers;
    for (const char *english : {"Name", "Type", "Length", "Value"})
        headers << modLocalize::translated(QString::fromLatin1(english));
    m_gridParams->setHorizontalHeaderLabels(headers);
}

void frmStoredProcExecute::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Form_Resize();
}

void frmStoredProcExecute::Form_Resize()
{
    if (isMinimized())
        return;
    // Positions count from the window's outer edges, frame included, as
    // the buttons and grid were laid out for.
    const int dpi = logicalDpiX();
    const auto px = [this](qint64 twips) { return placement::twipsToPixels(twips, this); };
    const QMargins f = placement::frameOf(this);
    const qint64 width = std::max<qint64>(placement::pixelsToTwips(this->width() + f.left() + f.right(), dpi),
                                          kMinWidth);
    const qint64 height = std::max<qint64>(placement::pixelsToTwips(this->height() + f.top() + f.bottom(), dpi),
                                           kMinHeight);
    const int buttonsTop = px(height - 840);
    m_cmdExit->move(px(width - 1110), buttonsTop);
    m_cmdExecute->move(px(width - 1110 - kButtonWidth - 120), buttonsTop);
    m_gridParams->setGeometry(px(kGridLeft), px(kGridTop), std::max(1, px(width - 195)),
                              std::max(1, px(height - 1245)));
}

void frmStoredProcExecute::closeEvent(QCloseEvent *event)
{
    if (m_stopper)
        m_stopper->stop();
    if (m_run.isPending()) {
        m_run.cancel();
        m_busy.finish();
        m_cmdExecute->setEnabled(true);
    }
    QWidget::closeEvent(event);
}

void frmStoredProcExecute::LoadGridData()
{
    if (m_procedureName.isEmpty()) {
        m_context.messenger().message(
            QStringLiteral("No stored procedure name passed into LoadGridDataRoutine - exiting"));
        close();
        return;
    }
    modLocalize::setComposedTitle(this, QStringLiteral("Execute Stored Procedure"), m_procedureName,
                                  QStringLiteral(": "));
    m_loading = true;
    m_gridParams->setUpdatesEnabled(false);
    m_gridParams->setRowCount(0);
    const WorkStationInfo &station = WorkStationInfo::instance();
    for (const ParameterRow &p : std::as_const(m_parameters)) {
        if (p.output == u"1")
            continue;
        const int row = m_gridParams->rowCount();
        m_gridParams->insertRow(row);
        const std::optional<QString> audit = auditValue(p.name, station.Domain(), station.UserName());
        const QString cells[] = {p.name, p.type, p.length, audit.value_or(QString())};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            // Only the values can be typed, and not those the window fills in itself.
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (c == ValueColumn && !isAuditParameter(p.name))
                flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            m_gridParams->setItem(row, c, item);
        }
    }
    for (int c = 0; c < 4; ++c)
        m_gridParams->resizeColumnToContents(c);
    m_gridParams->setUpdatesEnabled(true);
    m_loading = false;
}

void frmStoredProcExecute::gridParams_AfterEdit(int row, int col)
{
    QTableWidgetItem *cell = m_gridParams->item(row - 1, col);
    if (!cell || col != ValueColumn)
        return;
    const QString type = m_gridParams->item(row - 1, TypeColumn)->text();
    const QString length = m_gridParams->item(row - 1, LengthColumn)->text();
    const std::optional<QString> problem = checkParameterValue(type, length, cell->text());
    if (!problem)
        return;
    m_context.messenger().message(*problem);
    m_loading = true;
    cell->setText(QString());
    m_loading = false;
}

void frmStoredProcExecute::cmdExecute_Click()
{
    if (m_run.isPending())
        return;
    QList<db::ProcedureArgument> arguments;
    for (int r = 0; r < m_gridParams->rowCount(); ++r) {
        const QString value = m_gridParams->item(r, ValueColumn)->text();
        if (value.trimmed().isEmpty())
            continue;
        const QString name = m_gridParams->item(r, NameColumn)->text();
        QString unknown;
        const int code = lGetADTypeFromName(m_gridParams->item(r, TypeColumn)->text(), &unknown);
        if (!unknown.isEmpty())
            m_context.messenger().message(unknown);
        arguments.append({name.mid(1), code, value});
    }
    const QString connection = m_context.state().connectionString;
    const QString procedure = m_procedureName;
    m_busy.start();
    m_cmdExecute->setEnabled(false);
    // A session of its own, which closing the window interrupts.
    m_stopper = std::make_shared<db::StoppableRun>();
    m_run.start(
        this,
        [connection, procedure, arguments, stopper = m_stopper] {
            Error e;
            // Whatever rows the procedure returns are not shown.
            if (const auto session = stopper->open(connection, &e))
                session->callProcedure(procedure, arguments, &e);
            stopper->close();
            return e;
        },
        [this](Error e) { finishRun(e); });
}

void frmStoredProcExecute::finishRun(const Error &error)
{
    m_busy.finish();
    m_cmdExecute->setEnabled(true);
    if (error)
        m_context.messenger().message(
            procedureError(error, u"cmdExecute_Click", u"frmStoredProcExecute", ErrorStyle::Word));
    else
        m_context.messenger().message(QStringLiteral("Stored procedure complete"));
    Q_EMIT executionFinished();
}

} // namespace korva
