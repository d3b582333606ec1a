#include "query/frmquerybuilder.h"

#include "appcontext/windowcontext.h"
#include "platform/connectionstring.h"
#include "platform/database.h"
#include "platform/paths.h"
#include "platform/resultset.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/settings.h"
#include "query/queryhistory.h"
#include "support/localize.h"
#include "support/messenger.h"
#include "widgets/csvexport.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"
#include "widgets/windowkit.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QCloseEvent>
#include <QtGui/QDesktopServices>
#include <QtGui/QFontDatabase>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QShortcut>
#include <QtGui/QTextBlock>
#include <QtGui/QTextDocumentFragment>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>

#include <cmath>

namespace korva {

namespace {

const QString kSettingsPrefix = QStringLiteral("Query");
const QString kClearOnFailureKey = QStringLiteral("Settings/QueryClearOnFailure");
constexpr StoredPlacement kDefaultPlacement{1000, 1000, 10000, 8500};
// The outer window, frame included.
constexpr QSize kMinimumSize(4000, 3600);
// Rows read with the statement, enough for the first screen; the grid's
// loader reads the rest on a row thread.
constexpr qsizetype kFirstRows = 200;

const QString kCaption = QStringLiteral("Query Builder");
const QString kNoQueries = QStringLiteral("No previous queries stored");
const QString kReferenceKey = QStringLiteral("Settings/TSQLReference");
const QString kDefaultReference = QStringLiteral("https://learn.microsoft.com/sql/t-sql/language-reference");

// The query box: whatever leaves or enters it is plain text, so colours
// never travel with a copy and a paste brings none of its own.
class QueryTextBox final : public QPlainTextEdit
{
public:
    explicit QueryTextBox(QWidget *parent) : QPlainTextEdit(parent) {}

protected:
    QMimeData *createMimeDataFromSelection() const override
    {
        auto *data = new QMimeData;
        data->setText(textCursor().selection().toPlainText());
        return data;
    }
};

// A history caption as a menu item shows it: an "&" is shown, not taken as
// the mark of a shortcut, and a tab or a lone line break shows as a blank.
QString menuText(QString caption)
{
    caption.replace(u'&', QStringLiteral("&&"));
    for (QChar &c : caption)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    return caption;
}

void putOnClipboard(const QString &text)
{
    QClipboard *clip = QGuiApplication::clipboard();
    clip->clear();
    clip->setText(text);
}

} // namespace

StoredPlacement readQueryPlacement(QSettings &store)
{
    return readStoredPlacement(store, kSettingsPrefix, kDefaultPlacement);
}

void saveQueryPlacement(QSettings &store, const StoredPlacement &p)
{
    writeStoredPlacement(store, kSettingsPrefix, p);
    store.sync();
}

bool readClearOnFailure(QSettings &store)
{
    return store.value(kClearOnFailureKey).toString().compare(u"True", Qt::CaseInsensitive) == 0;
}

void saveClearOnFailure(QSettings &store, bool on)
{
    store.setValue(kClearOnFailureKey, on ? QStringLiteral("True") : QStringLiteral("False"));
    store.sync();
}

frmQueryBuilder::frmQueryBuilder(WindowContext &context, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_context(context)
{
    setObjectName(QStringLiteral("frmQueryBuilder"));
    const QString &remote = context.state().remoteLabel;
    modLocalize::setComposedTitle(this, kCaption, remote);
    buildMenus();
    buildControls();

    placement::sizeInTwips(this, kMinimumSize);
    keepStoredPlacement(this, kSettingsPrefix, kDefaultPlacement);
}

frmQueryBuilder::~frmQueryBuilder()
{
    m_run.cancel();
    setBusy(false);
}

void frmQueryBuilder::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addMenuItem(file, QStringLiteral("Exit"), "mnuExit", this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuEdit = edit;
    addMenuItem(edit, QStringLiteral("Cut"), "mnuCut", this, &frmQueryBuilder::mnuCut_Click);
    addMenuItem(edit, QStringLiteral("Copy"), "mnuCopy", this, &frmQueryBuilder::mnuCopy_Click);
    addMenuItem(edit, QStringLiteral("Paste"), "mnuPaste", this, &frmQueryBuilder::mnuPaste_Click);
    addMenuItem(edit, QStringLiteral("Clear All"), "mnuClear", this, &frmQueryBuilder::mnuClear_Click);

    // The keys run the query wherever the focus is in the window; in the
    // query box they take effect before the box sees them (no line break, no
    // recolouring), so the text that runs is the text as it stands.
    QMenu *queryMenu = menuBar()->addMenu(QStringLiteral("&Query"));
    queryMenu->setObjectName(QStringLiteral("mnuQuery"));
    QAction *execute = addMenuItem(queryMenu, QStringLiteral("Execute"), "mnuExecute", this,
                                   &frmQueryBuilder::cmdExecute_Click);
    execute->setShortcuts(
        {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    queryMenu->addSeparator();
    m_mnuClearOnFailure = addMenuItem(queryMenu, QStringLiteral("Clear Results When a Query Fails"),
                                      "mnuClearOnFailure");
    m_mnuClearOnFailure->setCheckable(true);
    m_mnuClearOnFailure->setChecked(readClearOnFailure(*openSettings()));
    connect(m_mnuClearOnFailure, &QAction::toggled, this, [](bool on) { saveClearOnFailure(*openSettings(), on); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addMenuItem(help, QStringLiteral("Transact SQL Reference"), "mnuTSQLHelp", this,
                &frmQueryBuilder::mnuTSQLHelp_Click);
    addMenuItem(help, QStringLiteral("About"), "mnuAbout", this, &frmQueryBuilder::mnuAbout_Click);

    m_gridPopup = new QMenu(this);
    m_gridPopup->setObjectName(QStringLiteral("mnuGridSQLPopup"));
    addMenuItem(m_gridPopup, QStringLiteral("Export entire grid data to CSV file"), "mnuExportGridToCSV", this,
                [this] { exportGrid(false); });
    addMenuItem(m_gridPopup, QStringLiteral("Export visible rows to CSV file"), "mnuExportVisibleRows", this,
                [this] { exportGrid(true); });

    m_historyPopup = new QMenu(this);
    m_historyPopup->setObjectName(QStringLiteral("mnuPreviousQueriesPopup"));
    // When and where each query ran: on the item's tip, and in the status line
    // while it is highlighted. (A pop-up menu of its own tells no window of
    // its items' status tips.)
    m_historyPopup->setToolTipsVisible(true);
    connect(m_historyPopup, &QMenu::hovered, this, [this](QAction *a) { statusBar()->showMessage(a->statusTip()); });
    connect(m_historyPopup, &QMenu::aboutToHide, this, [this] { statusBar()->clearMessage(); });
}

void frmQueryBuilder::buildControls()
{
    QWidget *central = addCentralArea(this);

    m_txtSQL = new QueryTextBox(central);
    m_txtSQL->setObjectName(QStringLiteral("txtSQL"));
    m_txtSQL->setAccessibleName(QStringLiteral("Query"));
    m_txtSQL->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_txtSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Black on white whatever the desktop's theme: the colours of the query text are meant for that.
    QPalette palette = m_txtSQL->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    m_txtSQL->setPalette(palette);
    m_txtSQL->installEventFilter(this);

    m_cmdExecute = new QPushButton(QStringLiteral("&Execute"), central);
    m_cmdExecute->setObjectName(QStringLiteral("cmdExecute"));
    m_cmdExecute->setToolTip(QStringLiteral("Runs the query (F5, Ctrl+Enter)"));
    m_cmdExecute->installEventFilter(this);
    m_cmdStop = new QPushButton(QStringLiteral("Stop"), central);
    m_cmdStop->setObjectName(QStringLiteral("cmdStop"));
    m_cmdStop->setToolTip(QStringLiteral("Stops the running query (Esc)"));
    m_cmdStop->setEnabled(false);
    m_cmdPreviousQueries = new QPushButton(QStringLiteral("Query Histroy"), central);
    m_cmdPreviousQueries->setObjectName(QStringLiteral("cmdPreviousQueries"));

    m_gridSQL = new Grid(central, false);
    m_gridSQL->setObjectName(QStringLiteral("gridSQL"));
    m_gridSQL->setAccessibleName(QStringLiteral("Results"));

    auto *top = new QWidget(central);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_txtSQL, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdExecute);
    buttons->addWidget(m_cmdStop);
    buttons->addWidget(m_cmdPreviousQueries);
    buttons->addStretch(1);
    topLayout->addLayout(buttons);
    auto *split = new QSplitter(Qt::Vertical, central);
    split->setObjectName(QStringLiteral("splitQuery"));
    split->setChildrenCollapsible(false);
    split->addWidget(top);
    split->addWidget(m_gridSQL);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(split);

    // Rows, records affected and time of the last run. A plain widget of the
    // bar: a menu item's tip shown there for a moment hides it, never replaces it.
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setProperty("korvaNoTranslation", true); // composed in the interface language
    m_lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->setObjectName(QStringLiteral("staQuery"));
    statusBar()->addWidget(m_lblStatus, 1);
    GridModel *model = m_gridSQL->gridModel();
    connect(model, &QAbstractItemModel::rowsInserted, this, &frmQueryBuilder::showStatus);
    connect(model, &GridModel::loadingFinished, this, &frmQueryBuilder::rowsLoaded);

    m_colourTimer = new QTimer(this);
    m_colourTimer->setSingleShot(true);
    m_colourTimer->setInterval(0);
    connect(m_colourTimer, &QTimer::timeout, this, &frmQueryBuilder::applyPendingColours);
    connect(m_txtSQL->document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int added) {
        if (m_colouring == 0)
            query::shiftColourRanges(m_pendingColours, position, removed, added);
    });

    connect(m_cmdExecute, &QPushButton::clicked, this, &frmQueryBuilder::cmdExecute_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &frmQueryBuilder::cmdStop_Click);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_busy.isActive())
            cmdStop_Click();
    });
    connect(m_cmdPreviousQueries, &QPushButton::clicked, this, &frmQueryBuilder::cmdPreviousQueries_Click);
    connect(m_gridSQL, &Grid::rightButtonPressed, this, [this](const QPoint &at) { m_gridPopup->popup(at); });
}

void frmQueryBuilder::closeEvent(QCloseEvent *event)
{
    // Closing the window stops its query; nothing waits for it.
    if (m_stopper)
        m_stopper->stop();
    m_run.cancel();
    if (m_rowsComing) {
        if (const auto &rows = m_gridSQL->gridModel()->resultSet())
            rows->cancel();
        m_rowsComing = false;
    }
    setBusy(false);
    QMainWindow::closeEvent(event);
}

void frmQueryBuilder::setBusy(bool busy)
{
    if (busy == m_busy.isActive())
        return;
    if (busy)
        m_busy.start();
    else
        m_busy.finish();
    m_cmdExecute->setEnabled(!busy);
    m_cmdStop->setEnabled(busy);
}

void frmQueryBuilder::cmdStop_Click()
{
    if (m_stopper && m_run.isPending()) {
        m_stopper->stop();
    } else if (m_rowsComing && !m_stopAsked) {
        // The statement ends where its reader is; the rows read stay shown.
        m_stopAsked = true;
        if (const auto &rows = m_gridSQL->gridModel()->resultSet())
            rows->cancel();
    }
}

// ---- running a query

void frmQueryBuilder::cmdExecute_Click()
{
    if (m_run.isPending() || m_rowsComing)
        return;
    // The text as it stands now is what runs and what the history keeps,
    // whatever is typed while it runs.
    const QString text = m_txtSQL->toPlainText();
    if (text.isEmpty()) {
        m_context.messenger().message(QStringLiteral("Invalid SQL query"));
        return;
    }
    const QString connection = m_context.state().connectionString;
    const QString database = db::parseConnectionString(connection).database;
    setBusy(true);
    // Free SQL runs on a session of its own: it may run for ever, and Stop
    // interrupts it alone, while the other windows go on with theirs.
    m_stopper = std::make_shared<db::StoppableRun>();
    m_stopAsked = false;
    m_run.start(
        this,
        [connection, database, text, stopper = m_stopper] {
            QueryRun run;
            db::Error error;
            db::ExecOutcome outcome;
            const QDateTime startedAt = QDateTime::currentDateTime();
            run.startedAt = startedAt;
            run.took.start();
            // A large result is not read here: the first screen's rows come
            // with the statement, the grid's loader reads the rest, as the
            // main window's grid does.
            if (const auto session = stopper->open(connection, &error))
                outcome = session->executeRowsLater(text, kFirstRows, &error);
            run.elapsedMs = run.took.elapsed();
            // The session goes once its rows are read.
            stopper->close();
            if (error) {
                run.error = error;
                run.stopped = stopper->stopped();
                // What ran before the failure stays changed, and is said.
                run.recordsAffected = outcome.recordsAffected;
                return run;
            }
            run.rows = std::move(outcome.rows);
            run.recordsAffected = outcome.recordsAffected;
            // A query whose rows are still to come joins the history when they are all in.
            if (!run.rows || run.rows->isComplete())
                query::history::save(text, QDateTime::currentDateTime(),
                                     query::history::Details{startedAt, database, run.elapsedMs});
            return run;
        },
        [this, text, database](QueryRun run) {
            m_comingText = text;
            m_comingDatabase = database;
            showRun(std::move(run));
        });
}

void frmQueryBuilder::showRun(QueryRun run)
{
    setBusy(false);
    m_stopper.reset();
    using Outcome = query::RunSummary::Outcome;
    const Outcome outcome = run.error ? (run.stopped ? Outcome::Stopped : Outcome::Failed)
                                      : (run.rows ? Outcome::Rows : Outcome::NoRows);
    m_lastRun = query::RunSummary{outcome, run.recordsAffected, run.elapsedMs};
    // A failure leaves no rows of its own: the grid shows what ran before it,
    // or, when chosen, nothing.
    if (run.error && m_mnuClearOnFailure->isChecked()) {
        m_gridSQL->setColumns({});
        m_gridSQL->viewport()->update();
    }
    // Said before any message, which waits for the user.
    showStatus();
    if (run.error) {
        QString text = run.stopped ? run.error.description
                                   : QStringLiteral("Invalid SQL entry:\r\n") + run.error.description;
        if (run.recordsAffected >= 0)
            text += QStringLiteral("\r\n\r\nRecords affected=") + QString::number(run.recordsAffected);
        m_context.messenger().message(text);
        return;
    }
    if (run.rows) {
        const bool coming = !run.rows->isComplete();
        if (coming) {
            m_rowsComing = true;
            m_comingTook = run.took;
            m_comingStartedAt = run.startedAt;
            setBusy(true); // Stop ends the reading
        }
        // The result shown before may hold many rows: they are let go on a
        // database thread, not here.
        std::shared_ptr<db::ResultSet> before = m_gridSQL->gridModel()->resultSet();
        m_gridSQL->setResultSet(std::move(run.rows));
        if (before && before.use_count() == 1)
            runOnDatabaseThread([gone = std::move(before)]() mutable { gone.reset(); });
        m_gridSQL->fitColumns();
        m_gridSQL->scrollToTop();
        showStatus();
    } else {
        m_context.messenger().message(QStringLiteral("Records affected=") + QString::number(run.recordsAffected));
    }
}

void frmQueryBuilder::rowsLoaded()
{
    const std::shared_ptr<db::ResultSet> &rows = m_gridSQL->gridModel()->resultSet();
    if (!m_rowsComing || !rows || !m_lastRun) {
        showStatus();
        return;
    }
    m_rowsComing = false;
    setBusy(false);
    m_lastRun->elapsedMs = m_comingTook.elapsed();
    const db::Error error = rows->lastError();
    if (!error) {
        showStatus();
        saveHistory(m_comingText, m_comingStartedAt, m_lastRun->elapsedMs);
        return;
    }
    // The statement failed or was stopped while its rows were read: the rows
    // read before stay shown unless the grid is to be emptied on a failure.
    using Outcome = query::RunSummary::Outcome;
    m_lastRun->outcome = m_stopAsked ? Outcome::Stopped : Outcome::Failed;
    if (m_mnuClearOnFailure->isChecked()) {
        m_gridSQL->setColumns({});
        m_gridSQL->viewport()->update();
    }
    showStatus();
    m_context.messenger().message(m_stopAsked ? error.description
                                              : QStringLiteral("Invalid SQL entry:\r\n") + error.description);
}

void frmQueryBuilder::saveHistory(const QString &text, const QDateTime &startedAt, qint64 elapsedMs)
{
    // The history is a file: written on a database thread, and the window
    // counts as running until it is (the history menu then lists the query).
    m_savingHistory = true;
    auto self = std::make_shared<const QPointer<frmQueryBuilder>>(this);
    runOnDatabaseThread([self, text, details = query::history::Details{startedAt, m_comingDatabase, elapsedMs}] {
        query::history::save(text, QDateTime::currentDateTime(), details);
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self] {
                    if (frmQueryBuilder *w = *self)
                        w->m_savingHistory = false;
                },
                Qt::QueuedConnection);
    });
}

void frmQueryBuilder::showStatus()
{
    if (!m_lastRun)
        return;
    const GridModel *model = m_gridSQL->gridModel();
    m_lblStatus->setText(query::statusText(*m_lastRun, model->rowCount(), model->isLoading()));
}

void frmQueryBuilder::frmQueryBuilder_Auto_Init() { showStatus(); }

// ---- colouring and keys

void frmQueryBuilder::SetQueryColors()
{
    QTextDocument *document = m_txtSQL->document();
    const QTextCursor before = m_txtSQL->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const SharedState &s = m_context.state();
    m_knownNames.update(s.knownTableNames, s.knownViewNames);
    m_pendingColours.clear();
    const auto [from, to] = shownRange();
    ++m_colouring;
    query::applyQueryColouring(*document, query::colourQuery(document->toPlainText(), m_knownNames), from, to,
                               &m_pendingColours);
    --m_colouring;
    if (!m_pendingColours.empty())
        m_colourTimer->start();

    QTextCursor caret = m_txtSQL->textCursor();
    if (caret.anchor() != anchor || caret.position() != position) {
        caret.setPosition(anchor);
        caret.setPosition(position, QTextCursor::KeepAnchor);
        m_txtSQL->setTextCursor(caret);
    }
    // What is typed next is black; a selection keeps its colours.
    if (!caret.hasSelection()) {
        QTextCharFormat typing;
        typing.setForeground(query::colourOf(query::QueryColour::Plain));
        m_txtSQL->mergeCurrentCharFormat(typing);
    }
}

std::pair<qsizetype, qsizetype> frmQueryBuilder::shownRange() const
{
    // Hidden, nothing is on the screen: everything is coloured at once.
    if (!m_txtSQL->isVisible())
        return {0, std::numeric_limits<qsizetype>::max()};
    // The lines on the screen and one either side.
    QTextBlock first = m_txtSQL->cursorForPosition(QPoint(0, 0)).block();
    QTextBlock last = m_txtSQL->cursorForPosition(QPoint(0, m_txtSQL->viewport()->height())).block();
    if (!first.isValid() || !last.isValid())
        return {0, std::numeric_limits<qsizetype>::max()};
    if (first.previous().isValid())
        first = first.previous();
    if (last.next().isValid())
        last = last.next();
    return {first.position(), last.position() + last.length()};
}

void frmQueryBuilder::applyPendingColours()
{
    if (m_pendingColours.empty())
        return;
    // A few milliseconds at a time, so that typing never waits.
    QElapsedTimer spent;
    spent.start();
    QTextCursor cursor(m_txtSQL->document());
    // The rest of the colouring the last key started: one step with it for undo.
    cursor.joinPreviousEditBlock();
    ++m_colouring;
    size_t done = 0;
    while (done < m_pendingColours.size() && (done % 16 != 0 || spent.nsecsElapsed() < 2000000))
        query::applyColourRange(cursor, m_pendingColours[done++]);
    cursor.endEditBlock();
    --m_colouring;
    m_pendingColours.erase(m_pendingColours.begin(), m_pendingColours.begin() + qsizetype(done));
    if (!m_pendingColours.empty())
        m_colourTimer->start();
}

bool frmQueryBuilder::txtSQL_KeyDown(int key, Qt::KeyboardModifiers modifiers, bool insertsText)
{
    const bool control = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Control:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return false;
    case Qt::Key_C:
    case Qt::Key_V:
        if (control)
            return false;
        break;
    case Qt::Key_X:
        if (control) {
            mnuCut_Click();
            return true;
        }
        break;
    case Qt::Key_Z:
    case Qt::Key_Y:
        // Undo and redo take back edits; a recolouring first would be what they took back.
        if (control)
            return false;
        break;
    default:
        break;
    }
    SetQueryColors();
    if (insertsText && !control) {
        // The typed text replaces the selection and comes in black.
        QTextCursor cursor = m_txtSQL->textCursor();
        if (cursor.hasSelection()) {
            cursor.removeSelectedText();
            m_txtSQL->setTextCursor(cursor);
            QTextCharFormat typing;
            typing.setForeground(query::colourOf(query::QueryColour::Plain));
            m_txtSQL->mergeCurrentCharFormat(typing);
        }
    }
    return false;
}

bool frmQueryBuilder::eventFilter(QObject *watched, QEvent *event)
{
    // "&Execute" and "&Edit" both claim Alt+E; Qt would hand the key to each
    // in turn, the button only taking the focus. The Edit menu's caption wins.
    if (watched == m_cmdExecute && event->type() == QEvent::Shortcut
        && static_cast<QShortcutEvent *>(event)->key() == QKeySequence::mnemonic(m_mnuEdit->title())) {
        menuBar()->setActiveAction(m_mnuEdit->menuAction());
        return true;
    }
    if (watched == m_txtSQL && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool inserts = !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == u'\r' || text.at(0) == u'\t');
        if (txtSQL_KeyDown(key->key(), key->modifiers(), inserts))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Edit menu (no recolouring)

void frmQueryBuilder::mnuCut_Click()
{
    QTextCursor cursor = m_txtSQL->textCursor();
    if (!cursor.hasSelection())
        return;
    putOnClipboard(cursor.selection().toPlainText());
    cursor.removeSelectedText();
    m_txtSQL->setTextCursor(cursor);
}

void frmQueryBuilder::mnuCopy_Click()
{
    const QTextCursor cursor = m_txtSQL->textCursor();
    if (cursor.hasSelection())
        putOnClipboard(cursor.selection().toPlainText());
}

void frmQueryBuilder::mnuPaste_Click() { m_txtSQL->insertPlainText(QGuiApplication::clipboard()->text()); }

void frmQueryBuilder::mnuClear_Click()
{
    // As an edit, so that it can be taken back.
    QTextCursor cursor(m_txtSQL->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    m_txtSQL->setTextCursor(cursor);
}

// ---- Help menu

QString frmQueryBuilder::tsqlReferenceAddress()
{
    auto store = openSettings();
    const QString address = store->value(kReferenceKey).toString().trimmed();
    return address.isEmpty() ? kDefaultReference : address;
}

void frmQueryBuilder::mnuTSQLHelp_Click()
{
    QDesktopServices::openUrl(QUrl::fromUserInput(tsqlReferenceAddress(), programFolder(), QUrl::AssumeLocalFile));
}

void frmQueryBuilder::mnuAbout_Click()
{
    const QString about = QStringLiteral("frmAbout");
    if (m_context.isRegistered(about))
        m_context.openWindow(about);
    else
        m_context.messenger().message(applicationTitle() + QStringLiteral(" ") + programVersion());
}

// ---- history

void frmQueryBuilder::cmdPreviousQueries_Click()
{
    auto item = [this](int k) {
        while (m_historyItems.size() <= k) {
            const int index = int(m_historyItems.size());
            QAction *a = m_historyPopup->addAction(QString());
            a->setObjectName(QStringLiteral("mnuPreviousQuery"));
            connect(a, &QAction::triggered, this, [this, index] { mnuPreviousQuery_Click(index); });
            m_historyItems.append(a);
        }
        return m_historyItems.at(k);
    };
    const QList<query::history::Entry> entries = query::history::list();
    QAction *first = item(0);
    // A history key that holds no queries lists one nameless entry.
    const bool emptyKey = entries.isEmpty()
                          && RegistryAPI::KeyExists(RegistryAPI::HKEY_LOCAL_MACHINE,
                                                    query::history::kQueriesKey.toString());
    first->setText(emptyKey ? QString() : modLocalize::translated(kNoQueries));
    first->setData(QString());
    first->setEnabled(false); // choosing it would only empty the query box
    first->setVisible(true);
    first->setToolTip(QString());
    first->setStatusTip(QString());
    for (int k = 0; k < entries.size(); ++k) {
        QAction *a = item(k);
        a->setText(menuText(entries.at(k).caption));
        a->setData(entries.at(k).name);
        const QString details = query::historyDetailsText(entries.at(k));
        a->setToolTip(details);
        a->setStatusTip(details);
        a->setEnabled(true);
        a->setVisible(true);
    }
    // Items of an earlier, longer listing would offer queries that are gone.
    for (qsizetype k = std::max<qsizetype>(1, entries.size()); k < m_historyItems.size(); ++k)
        m_historyItems.at(k)->setVisible(false);
    m_historyPopup->popup(m_cmdPreviousQueries->mapToGlobal(QPoint(0, m_cmdPreviousQueries->height())));
}

void frmQueryBuilder::mnuPreviousQuery_Click(int index)
{
    if (index < 0 || index >= m_historyItems.size())
        return;
    const QString name = m_historyItems.at(index)->data().toString();
    if (name.isEmpty())
        return;
    korva::Error error;
    const std::optional<QString> text = query::history::load(name, &error);
    if (error)
        m_context.messenger().message(procedureError(error, u"mnuPreviousQuery_Click", u"frmQueryBuilder"));
    // A query deleted meanwhile (by another copy of the program) leaves the box as it is.
    if (!text)
        return;
    replaceText(query::history::fromStored(*text));
}

void frmQueryBuilder::replaceText(const QString &text)
{
    // One step for undo, text and colours, so that the text that was there
    // comes back. The colours are worked out once the new text is laid out.
    QTextCursor cursor(m_txtSQL->document());
    ++m_colouring;
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    QTextCharFormat plain;
    plain.setForeground(query::colourOf(query::QueryColour::Plain));
    cursor.insertText(text, plain);
    cursor.setPosition(0);
    m_txtSQL->setTextCursor(cursor);
    cursor.endEditBlock();
    cursor.joinPreviousEditBlock();
    SetQueryColors();
    cursor.endEditBlock();
    --m_colouring;
}

// ---- export

void frmQueryBuilder::exportGrid(bool visibleOnly)
{
    Messenger &msg = m_context.messenger();
    const QString title = visibleOnly ? QStringLiteral("Select CSV file name to save visible rows to")
                                      : QStringLiteral("Select CSV file name to save table data to");
    const QString path = askCsvExportPath(msg, title,
                                          visibleOnly ? QStringLiteral("SQLQuery_Export.CSV")
                                                      : QStringLiteral("SQLQueryBuilder_Export.CSV"));
    if (path.isEmpty())
        return;
    QString error;
    int errorNumber = 0;
    bool ok = false;
    {
        BusyPointer busy;
        ok = writeGridCsv(*m_gridSQL, visibleOnly, path, &error, &errorNumber);
    }
    if (!ok) {
        // The file that was there is left as it was, and nothing claims it was saved.
        msg.message(procedureError({errorNumber, error},
                                   visibleOnly ? u"mnuExportVisibleRows_Click" : u"mnuExportGridToCSV_Click",
                                   u"frmQueryBuilder"));
        return;
    }
    msg.message(QStringLiteral("File saved"));
}

} // namespace korva
