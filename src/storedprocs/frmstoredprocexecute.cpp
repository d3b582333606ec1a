#include "storedprocs/frmstoredprocexecute.h"

#include "appcontext/windowcontext.h"
#include "platform/database.h"
#include "platform/workstationinfo.h"
#include "storedprocs/parametervalues.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"
#include "widgets/windowkit.h"

#include <QtGui/QCloseEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QTabWidget>
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
// The results below the buttons: the height they are first given, and the
// least they keep when the window is made smaller.
constexpr int kResultsHeight = 3600;
constexpr int kLeastResultsHeight = 1500;

QLabel *captionLabel(const char *english, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(english), parent);
    label->setText(modLocalize::translated(label->text()));
    return label;
}

// A label that shows a value: never translated.
QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty("korvaNoTranslation", true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

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

    // What a run returned, below the buttons; shown once a run has returned.
    m_fraResults = new QWidget(this);
    m_fraResults->setObjectName(QStringLiteral("fraResults"));
    auto *results = new QVBoxLayout(m_fraResults);
    results->setContentsMargins(0, 0, 0, 0);
    auto *summary = new QHBoxLayout;
    QLabel *affectedCaption = captionLabel("Records affected:", m_fraResults);
    m_lblRecordsAffected = valueLabel("lblRecordsAffected", m_fraResults);
    affectedCaption->setBuddy(m_lblRecordsAffected);
    QLabel *returnCaption = captionLabel("Return value:", m_fraResults);
    m_lblReturnValue = valueLabel("lblReturnValue", m_fraResults);
    summary->addWidget(affectedCaption);
    summary->addWidget(m_lblRecordsAffected);
    summary->addSpacing(24);
    summary->addWidget(returnCaption);
    summary->addWidget(m_lblReturnValue);
    summary->addStretch(1);
    results->addLayout(summary);
    m_splitResults = new QSplitter(Qt::Horizontal, m_fraResults);
    m_tabResults = new QTabWidget(m_splitResults);
    m_tabResults->setObjectName(QStringLiteral("tabResults"));
    m_tabResults->setAccessibleName(QStringLiteral("Result sets"));
    m_gridOutputs = new Grid(m_splitResults, false);
    m_gridOutputs->setObjectName(QStringLiteral("gridOutputs"));
    m_gridOutputs->setAccessibleName(QStringLiteral("Output parameters"));
    m_gridOutputs->gridModel()->setTranslatedCaptions(true);
    m_gridOutputs->horizontalHeader()->setStretchLastSection(true);
    m_splitResults->setStretchFactor(0, 3);
    m_splitResults->setStretchFactor(1, 1);
    results->addWidget(m_splitResults, 1);
    m_fraResults->hide();

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
    // Only once the results are there.
    if (m_tabResults)
        showResultTexts();
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
    const qint64 outerHeight = std::max<qint64>(placement::pixelsToTwips(this->height() + f.top() + f.bottom(), dpi),
                                                kMinHeight);
    // The parameters and buttons are laid out as in a window of their own;
    // the results, when shown, take what is below them.
    const qint64 height = !m_fraResults->isHidden()
                              ? std::clamp<qint64>(outerHeight - kLeastResultsHeight, kMinHeight, m_partHeight)
                              : outerHeight;
    const int buttonsTop = px(height - 840);
    m_cmdExit->move(px(width - 1110), buttonsTop);
    m_cmdExecute->move(px(width - 1110 - kButtonWidth - 120), buttonsTop);
    m_gridParams->setGeometry(px(kGridLeft), px(kGridTop), std::max(1, px(width - 195)),
                              std::max(1, px(height - 1245)));
    if (!m_fraResults->isHidden()) {
        const int top = buttonsTop + px(kButtonHeight + 120);
        m_fraResults->setGeometry(px(kGridLeft), top, std::max(1, px(width - 195)),
                                  std::max(1, this->height() - top - px(kGridTop)));
    }
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
    // Another procedure's results mean nothing here.
    clearResults();
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
    const QString connection = m_context.state().connectionString;
    const QString procedure = m_procedureName;
    if (nameSaysItChangesData(procedure)) {
        const db::ConnectionTarget target = db::parseConnectionString(connection);
        // The server as the connection names it: host, port and instance.
        QString server = target.server;
        if (target.port > 0)
            server += u',' + QString::number(target.port);
        if (!target.instance.isEmpty())
            server += u'\\' + target.instance;
        if (!m_context.messenger().question(changeQuestion(procedure, server, target.database)))
            return;
    }
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
    // The output parameters, which the grid does not list, come back with their values.
    for (const ParameterRow &p : std::as_const(m_parameters))
        if (p.output == u"1")
            arguments.append({p.name.mid(1), lGetADTypeFromName(p.type), QVariant(), true, leadingInteger(p.length)});
    // What an earlier run returned is not this run's.
    clearResults();
    m_busy.start();
    m_cmdExecute->setEnabled(false);
    // A session of its own, which closing the window interrupts.
    m_stopper = std::make_shared<db::StoppableRun>();
    m_run.start(
        this,
        [connection, procedure, arguments, stopper = m_stopper] {
            RunOutcome run;
            // Every row of every result set is read here, off the window's thread.
            if (const auto session = stopper->open(connection, &run.error))
                run.outcome = session->callProcedure(procedure, arguments, &run.error);
            stopper->close();
            return run;
        },
        [this](RunOutcome run) { finishRun(std::move(run)); });
}

void frmStoredProcExecute::finishRun(RunOutcome run)
{
    m_busy.finish();
    m_cmdExecute->setEnabled(true);
    if (run.error) {
        m_context.messenger().message(
            procedureError(run.error, u"cmdExecute_Click", u"frmStoredProcExecute", ErrorStyle::Word));
    } else {
        showResults(run.outcome);
        m_context.messenger().message(QStringLiteral("Stored procedure complete"));
    }
    Q_EMIT executionFinished();
}

void frmStoredProcExecute::showResults(db::ExecOutcome &outcome)
{
    std::vector<std::unique_ptr<db::ResultSet>> sets;
    if (outcome.rows)
        sets.push_back(std::move(outcome.rows));
    for (auto &later : outcome.laterRows)
        sets.push_back(std::move(later));
    for (std::size_t i = 0; i < sets.size(); ++i) {
        auto *grid = new Grid(m_tabResults, false);
        grid->setObjectName(QStringLiteral("gridResults%1").arg(i + 1));
        grid->setResultSet(std::shared_ptr<db::ResultSet>(std::move(sets[i])));
        grid->fitColumns();
        m_tabResults->addTab(grid, QString());
        // Its caption, numbered, is set with the others in the interface language.
        grid->setProperty("korvaNoTranslation", true);
    }
    m_tabResults->setVisible(!sets.empty());

    auto outputs = db::ResultSet::inMemory({QStringLiteral("Name"), QStringLiteral("Value")});
    for (const db::ProcedureValue &v : std::as_const(outcome.outputs))
        outputs->addRow({v.name, v.value});
    m_gridOutputs->setVisible(!outcome.outputs.isEmpty());
    m_gridOutputs->setResultSet(std::shared_ptr<db::ResultSet>(std::move(outputs)));
    m_gridOutputs->fitColumns();
    m_splitResults->setVisible(!sets.empty() || !outcome.outputs.isEmpty());

    m_recordsAffected = outcome.recordsAffected;
    m_returnValue = outcome.returnValue;
    showResultTexts();

    // The window grows to take the results below what it had.
    const QMargins f = placement::frameOf(this);
    m_partHeight = int(
        std::max<qint64>(placement::pixelsToTwips(height() + f.top() + f.bottom(), logicalDpiX()), kMinHeight));
    m_fraResults->show();
    resize(width(), height() + placement::twipsToPixels(kResultsHeight, this));
    Form_Resize();
    // The result sets take most of the width; the outputs, names and values, the rest.
    const int across = m_splitResults->width();
    m_splitResults->setSizes({across * 3 / 5, across - across * 3 / 5});
}

void frmStoredProcExecute::clearResults()
{
    while (m_tabResults->count() > 0) {
        QWidget *page = m_tabResults->widget(0);
        m_tabResults->removeTab(0);
        delete page;
    }
    m_gridOutputs->clearRows();
    if (m_fraResults->isHidden())
        return;
    // Back to the size the window had before the results.
    m_fraResults->hide();
    const QMargins f = placement::frameOf(this);
    resize(width(), std::max(minimumHeight(), placement::twipsToPixels(m_partHeight, this) - f.top() - f.bottom()));
    Form_Resize();
}

void frmStoredProcExecute::showResultTexts()
{
    m_lblRecordsAffected->setText(m_recordsAffected >= 0 ? QString::number(m_recordsAffected)
                                                         : modLocalize::translated(QStringLiteral("none reported")));
    m_lblReturnValue->setText(m_returnValue ? QString::number(*m_returnValue) : QString());
    for (int i = 0; i < m_tabResults->count(); ++i)
        m_tabResults->setTabText(i,
                                 modLocalize::translated(QStringLiteral("Result set")) + u' ' + QString::number(i + 1));
}

} // namespace korva
