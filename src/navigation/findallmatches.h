#pragma once

#include "navigation/objectsearch.h"
#include "support/busypointer.h"

#include <QtCore/QAbstractTableModel>
#include <QtWidgets/QWidget>

#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace korva::navigation {

// The matches of a search across tables, a row each: table, column, key and value.
class MatchListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TableColumn, ColumnColumn, KeyColumn, ValueColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(std::vector<CellMatch> matches);
    void clear();
    const CellMatch &match(int row) const { return m_matches.at(std::size_t(row)); }

    // The key as listed: the row's ObjectID, or its row number when the table has none.
    static QString keyText(const CellMatch &match);

private:
    std::vector<CellMatch> m_matches;
};

// "Find all matches": the search text, the list of every match filling as
// the tables are scanned, the progress over the tables and Cancel. A double
// click or Enter on a match asks for the jump to its row.
class frmFindAllMatches : public QWidget
{
    Q_OBJECT

public:
    explicit frmFindAllMatches(QWidget *parent);

    void setSearch(const QString &text, bool exactMatch);
    QString searchText() const;
    bool exactMatch() const;

    // What the scan says as it goes, shown as it comes.
    void scanStarted(int tables);
    void scanProgress(AllMatchesProgress progress);
    void scanEnded(const AllMatchesOutcome &outcome);
    bool isScanning() const { return m_scanning; }
    void showNote(const QString &english);

    MatchListModel *matches() const { return m_model; }

    void cmdFindAll_Click();

Q_SIGNALS:
    void findAllRequested(const QString &text, bool exactMatch);
    void cancelRequested();
    void jumpRequested(const korva::navigation::CellMatch &match);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showCounts(const QString &english, int matches, int tablesDone);

    QLineEdit *m_txtSearchString;
    QCheckBox *m_chkPartialMatches;
    QPushButton *m_cmdFindAll;
    QPushButton *m_cmdCancel;
    QProgressBar *m_prgTables;
    QLabel *m_lblStatus;
    QTreeView *m_lstMatches;
    MatchListModel *m_model;
    BusySpan m_busy{Qt::BusyCursor}; // the program stays usable while the tables are read
    int m_tables = 0;
    bool m_scanning = false;
};

} // namespace korva::navigation
