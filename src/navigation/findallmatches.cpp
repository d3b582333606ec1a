#include "navigation/findallmatches.h"

#include "support/localize.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace korva::navigation {

using modLocalize::translated;

int MatchListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_matches.size()); }

int MatchListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString MatchListModel::keyText(const CellMatch &match)
{
    return match.objectId.isEmpty() ? translated(QStringLiteral("Row %1")).arg(match.row) : match.objectId;
}

QVariant MatchListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CellMatch &m = match(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TableColumn:
            return m.table;
        case ColumnColumn:
            return m.column;
        case KeyColumn:
            return keyText(m);
        case ValueColumn: {
            // A value of several lines stays on its row.
            QString shown = m.value;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ');
            return shown;
        }
        }
        break;
    case Qt::ToolTipRole:
        if (index.column() == ValueColumn)
            return m.value;
        break;
    }
    return {};
}

QVariant MatchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    // Asked for at each paint, so a change of language shows at once.
    switch (section) {
    case TableColumn:
        return translated(QStringLiteral("Table"));
    case ColumnColumn:
        return translated(QStringLiteral("Column"));
    case KeyColumn:
        return translated(QStringLiteral("Key"));
    case ValueColumn:
        return translated(QStringLiteral("Value"));
    }
    return {};
}

void MatchListModel::append(std::vector<CellMatch> matches)
{
    if (matches.empty())
        return;
    const int first = int(m_matches.size());
    beginInsertRows({}, first, first + int(matches.size()) - 1);
    m_matches.insert(m_matches.end(), std::make_move_iterator(matches.begin()), std::make_move_iterator(matches.end()));
    endInsertRows();
}

void MatchListModel::clear()
{
    beginResetModel();
    m_matches.clear();
    endResetModel();
}

frmFindAllMatches::frmFindAllMatches(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmFindAllMatches"));
    setWindowTitle(QStringLiteral("Find all matches"));
    auto *layout = new QVBoxLayout(this);

    auto *label = new QLabel(QStringLiteral("Search string:"), this);
    label->setObjectName(QStringLiteral("lblSearchString"));
    m_txtSearchString = new QLineEdit(this);
    m_txtSearchString->setObjectName(QStringLiteral("txtSearchString"));
    label->setBuddy(m_txtSearchString);
    m_cmdFindAll = new QPushButton(QStringLiteral("Find &all"), this);
    m_cmdFindAll->setObjectName(QStringLiteral("cmdFindAll"));
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setEnabled(false);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(m_txtSearchString, 1);
    searchRow->addWidget(m_cmdFindAll);
    searchRow->addWidget(m_cmdCancel);
    layout->addLayout(searchRow);
    m_chkPartialMatches = new QCheckBox(QStringLiteral("Search for partial string matches"), this);
    m_chkPartialMatches->setObjectName(QStringLiteral("chkPartialMatches"));
    layout->addWidget(m_chkPartialMatches);

    m_prgTables = new QProgressBar(this);
    m_prgTables->setObjectName(QStringLiteral("prgTables"));
    m_prgTables->setAccessibleName(translated(QStringLiteral("Tables searched")));
    m_prgTables->setRange(0, 1);
    m_prgTables->setValue(0);
    m_prgTables->setTextVisible(true);
    layout->addWidget(m_prgTables);
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblMatchStatus"));
    m_lblStatus->setProperty("korvaNoTranslation", true); // composed as the search goes
    m_lblStatus->setTextFormat(Qt::PlainText);
    m_lblStatus->setWordWrap(true);
    layout->addWidget(m_lblStatus);

    m_model = new MatchListModel(this);
    m_lstMatches = new QTreeView(this);
    m_lstMatches->setObjectName(QStringLiteral("lstMatches"));
    m_lstMatches->setAccessibleName(translated(QStringLiteral("Matches")));
    m_lstMatches->setModel(m_model);
    m_lstMatches->setRootIsDecorated(false);
    m_lstMatches->setItemsExpandable(false);
    m_lstMatches->setUniformRowHeights(true);
    m_lstMatches->setAlternatingRowColors(true);
    m_lstMatches->setAllColumnsShowFocus(true);
    m_lstMatches->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lstMatches->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstMatches->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstMatches->header()->setStretchLastSection(true);
    m_lstMatches->header()->resizeSection(MatchListModel::TableColumn, 180);
    m_lstMatches->header()->resizeSection(MatchListModel::ColumnColumn, 140);
    // A whole ObjectID fits its column.
    m_lstMatches->header()->resizeSection(MatchListModel::KeyColumn,
                                          m_lstMatches->fontMetrics().horizontalAdvance(QString(38, u'D')));
    layout->addWidget(m_lstMatches, 1);
    setTabOrder(m_txtSearchString, m_cmdFindAll);
    setTabOrder(m_cmdFindAll, m_cmdCancel);
    setTabOrder(m_cmdCancel, m_chkPartialMatches);
    setTabOrder(m_chkPartialMatches, m_lstMatches);

    connect(m_cmdFindAll, &QPushButton::clicked, this, &frmFindAllMatches::cmdFindAll_Click);
    connect(m_txtSearchString, &QLineEdit::returnPressed, this, &frmFindAllMatches::cmdFindAll_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmFindAllMatches::cancelRequested);
    // Enter and a double click both activate a row (a single click where the style says so).
    connect(m_lstMatches, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Q_EMIT jumpRequested(m_model->match(index.row()));
    });
    resize(820, 420);
}

void frmFindAllMatches::setSearch(const QString &text, bool exactMatch)
{
    m_txtSearchString->setText(text);
    m_chkPartialMatches->setChecked(!exactMatch);
}

QString frmFindAllMatches::searchText() const { return m_txtSearchString->text(); }

bool frmFindAllMatches::exactMatch() const { return !m_chkPartialMatches->isChecked(); }

void frmFindAllMatches::cmdFindAll_Click()
{
    if (m_scanning)
        return;
    if (searchText().isEmpty()) {
        showNote(QString::fromUtf16(u"You must select a string to search for"));
        m_txtSearchString->setFocus();
        return;
    }
    Q_EMIT findAllRequested(searchText(), exactMatch());
}

void frmFindAllMatches::scanStarted(int tables)
{
    m_model->clear();
    m_tables = tables;
    m_scanning = true;
    m_busy.start();
    m_cmdFindAll->setEnabled(false);
    m_cmdCancel->setEnabled(true);
    m_prgTables->setRange(0, std::max(1, tables));
    m_prgTables->setValue(0);
    m_prgTables->setFormat(translated(QStringLiteral("%v of %m tables")));
    m_lblStatus->clear();
}

void frmFindAllMatches::scanProgress(AllMatchesProgress progress)
{
    if (!m_scanning)
        return;
    m_model->append(std::move(progress.matches));
    m_prgTables->setValue(std::min(progress.tablesDone, m_prgTables->maximum()));
    if (!progress.table.isEmpty())
        m_lblStatus->setText(translated(QStringLiteral("Searching %1 ... Matches so far: %2."))
                                 .arg(progress.table, QString::number(m_model->rowCount())));
}

void frmFindAllMatches::scanEnded(const AllMatchesOutcome &outcome)
{
    m_scanning = false;
    m_busy.finish();
    m_cmdFindAll->setEnabled(true);
    m_cmdCancel->setEnabled(false);
    m_prgTables->setValue(std::min(outcome.tablesDone, m_prgTables->maximum()));
    if (outcome.truncated)
        showCounts(QStringLiteral("The list stops at its first %1 matches. Tables searched: %2 of %3."),
                   outcome.matches, outcome.tablesDone);
    else if (outcome.cancelled)
        showCounts(QStringLiteral("Search stopped. Matches: %1. Tables searched: %2 of %3."), outcome.matches,
                   outcome.tablesDone);
    else if (outcome.matches == 0)
        showNote(QString::fromUtf16(u"No matches found for any row in any table on the currently selected database"));
    else
        showCounts(QStringLiteral("Matches: %1. Tables searched: %2 of %3."), outcome.matches, outcome.tablesDone);
}

void frmFindAllMatches::showCounts(const QString &english, int matches, int tablesDone)
{
    m_lblStatus->setText(
        translated(english).arg(QString::number(matches), QString::number(tablesDone), QString::number(m_tables)));
}

void frmFindAllMatches::showNote(const QString &english) { m_lblStatus->setText(translated(english)); }

void frmFindAllMatches::keyPressEvent(QKeyEvent *event)
{
    // Esc stops a scan; with none running it closes the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_scanning)
            Q_EMIT cancelRequested();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmFindAllMatches::closeEvent(QCloseEvent *event)
{
    if (m_scanning)
        Q_EMIT cancelRequested();
    QWidget::closeEvent(event);
}

} // namespace korva::navigation
