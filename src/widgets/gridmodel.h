#pragma once

#include "widgets/rowview.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QPoint>
#include <QtCore/QSet>

#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

namespace korva::db {
class ResultSet;
class RowLoader;
} // namespace korva::db

class QTimer;

namespace korva {

template<class Result>
class BackgroundTask;

// A table model over a result set. The rows already read are there at once;
// the rest are read on a loader thread and arrive in batches through the event
// loop, so the view paints and scrolls while a large or remote table loads.
// Cells may be made editable (edit mode), rows bold or marked selected.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // True for a cell that holds no value (shown as NULL, distinct from an empty text).
    static constexpr int IsNullRole = Qt::UserRole + 1;

    enum class SortOrder { None, Ascending, Descending };

    explicit GridModel(QObject *parent = nullptr);
    ~GridModel() override;

    // Shows the result set with the rows it holds; the rest are read on a
    // row thread (nothing is read from the database on the caller's thread).
    void setResultSet(std::shared_ptr<db::ResultSet> rows);
    // Shows just column names (an empty grid keeps its header row).
    void setColumns(const QStringList &names);
    void clear();
    const std::shared_ptr<db::ResultSet> &resultSet() const { return m_rows; }

    // Rows are still being read; loadingFinished() says when they are all in.
    bool isLoading() const;
    qsizetype batchSize() const { return m_batch; }
    void setBatchSize(qsizetype rows) { m_batch = rows; }

    // Row and column numbers are those shown: after a sort or a filter, the
    // shown row's place, which storeRow() turns into the result's row.
    QString text(int row, int column) const;
    bool isNull(int row, int column) const;
    int storeRow(int row) const { return m_view ? (*m_view)[std::size_t(row)] : row; }

    // Rearranging the rows held: sorted by a column (None: the result's own
    // order) and narrowed by the column filters (see rowview.h for what may
    // be typed). Large results are arranged on a database thread; asked
    // while rows still arrive, it is done once they are all in.
    void sortByColumn(int column, SortOrder order);
    int sortColumn() const { return m_sortColumn; }
    SortOrder sortOrder() const { return m_sortOrder; }
    void setColumnFilter(int column, const QString &typed);
    QString columnFilter(int column) const { return m_filters.value(column); }
    bool isFiltered() const { return !m_filters.isEmpty(); }
    bool isArranging() const;
    // Find in grid: every cell of the shown rows whose text contains the
    // needle (case not minding), in reading order, given by found(). Done
    // once the rows are in; large results are searched on a database thread.
    void findCells(const QString &needle);
    const QList<QPoint> &foundCells() const { return m_found; } // x: column, y: shown row
    bool isFinding() const;
    // Every row held, shown or not.
    qsizetype heldRows() const;
    // Results up to this many rows are arranged at once on the caller's thread.
    void setArrangeInPlaceLimit(int rows) { m_inPlaceLimit = rows; }
    QStringList columnNames() const;

    void setBoldRow(int row, bool bold);
    void clearBoldRows();
    void setMarkedRow(int row); // -1 clears
    int markedRow() const { return m_marked; }

    // Edit mode: a cell typed over shows its new value at once while a
    // database thread writes it; if the write fails the old value comes back
    // and editFailed() says why. Until then that cell cannot be edited again.
    void setEditable(bool on) { m_editable = on; }
    bool hasPendingEdits() const { return !m_pendingEdits.isEmpty(); }
    // The column names are the program's own captions (not a table's
    // columns): they are shown in the interface language.
    void setTranslatedCaptions(bool on) { m_translatedCaptions = on; }
    bool isEditable() const { return m_editable; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

Q_SIGNALS:
    void loadingFinished();
    // The rows shown were sorted or filtered anew (or went back to the
    // result's order).
    void arranged();
    void found();
    // An edit could not be written; the old value stays.
    void editFailed(long number, const QString &description);

private:
    struct Arrangement;
    void publishFetched();
    void publishSoon();
    void checkFinished();
    void rearrange();
    void applyArrangement(Arrangement arrangement);
    void resetArrangement();
    void runFind();
    void keepHeldEdits();
    void finishEdit(const std::shared_ptr<db::ResultSet> &rows, int row, int column, const QVariant &value, long number,
                    const QString &description);
    static quint64 cellKey(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }

    std::shared_ptr<db::ResultSet> m_rows;
    QStringList m_columns;
    int m_shownRows = 0;
    qsizetype m_batch = 200000;
    db::RowLoader *m_loader = nullptr;
    QTimer *m_publishTimer = nullptr;
    QElapsedTimer m_lastPublish; // when rows read were last shown
    int m_rowsPerShowing;        // at most, in one step: what the views take in quickly (the fewest at first)
    bool m_showingInSteps = false; // rows read wait for the next step, which comes when the window has had its turn
    QSet<int> m_bold;
    QHash<quint64, QString> m_pendingEdits; // cells being written (result rows): the text they show meanwhile
    // The shown rows' result rows; none: every row in the result's order.
    std::shared_ptr<const rowview::RowList> m_view;
    std::shared_ptr<const rowview::RowList> m_sorted; // the sort's whole order, kept for filtering anew
    int m_sortColumn = -1;
    SortOrder m_sortOrder = SortOrder::None;
    QHash<int, QString> m_filters;
    std::unique_ptr<BackgroundTask<Arrangement>> m_arranging;
    QList<std::tuple<int, int, QVariant>> m_keepLater; // written edits held while the rows are arranged
    int m_inPlaceLimit = 20000;
    QString m_findNeedle;
    QList<QPoint> m_found;
    std::unique_ptr<BackgroundTask<std::shared_ptr<const QList<QPoint>>>> m_finding;
    int m_marked = -1;
    bool m_editable = false;
    bool m_translatedCaptions = false;
    bool m_finished = true;
};

} // namespace korva
