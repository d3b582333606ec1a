#pragma once

#include <QtCore/QAbstractTableModel>
#include <QtCore/QHash>
#include <QtCore/QSet>

#include <memory>

namespace korva::db {
class ResultSet;
class RowLoader;
} // namespace korva::db

namespace korva {

// A table model over a result set. The rows already read are there at once;
// the rest are read on a loader thread and arrive in batches through the event
// loop, so the view paints and scrolls while a large or remote table loads.
// Cells may be made editable (edit mode), rows bold or marked selected.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
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

    QString text(int row, int column) const;
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
    // An edit could not be written; the old value stays.
    void editFailed(long number, const QString &description);

private:
    void publishFetched();
    void checkFinished();
    void finishEdit(const std::shared_ptr<db::ResultSet> &rows, int row, int column, const QVariant &value, long number,
                    const QString &description);
    static quint64 cellKey(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }

    std::shared_ptr<db::ResultSet> m_rows;
    QStringList m_columns;
    int m_shownRows = 0;
    qsizetype m_batch = 20000;
    db::RowLoader *m_loader = nullptr;
    QSet<int> m_bold;
    QHash<quint64, QString> m_pendingEdits; // cells being written: the text they show meanwhile
    int m_marked = -1;
    bool m_editable = false;
    bool m_translatedCaptions = false;
    bool m_finished = true;
};

} // namespace korva
