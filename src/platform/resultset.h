#pragma once

#include "platform/dberror.h"
#include "platform/rowstore.h"

#include <memory>
#include <mutex>

namespace korva::db {

// A producer of rows for a result set: a running statement of an engine.
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual QStringList columns() const = 0;
    // Appends up to maxRows rows to the store; returns how many were added.
    // Sets error and returns what it had when the statement fails midway.
    virtual qsizetype fetch(RowStore &store, qsizetype maxRows, Error *error) = 0;
    virtual bool atEnd() const = 0;
    // Asks a running fetch to stop as soon as it can (from any thread); the
    // fetch then ends as if the rows had run out.
    virtual void cancel() {}
    // Writes one cell back (edit mode): the row is the one whose values are
    // given, found by its key columns among them. Callable from any thread,
    // also while another one fetches. Default: not updatable.
    virtual bool updateCell(const QVariantList &row, int column, const QVariant &value, Error *error);
};

// Rows of named fields with a cursor, as every window reads them. Rows can
// arrive in batches (fetchMore) so a grid shows the first screen at once;
// anything that needs every row (recordCount, moveLast) finishes the load.
class ResultSet
{
public:
    ResultSet();
    explicit ResultSet(std::unique_ptr<RowSource> source);
    ~ResultSet();
    ResultSet(const ResultSet &) = delete;
    ResultSet &operator=(const ResultSet &) = delete;

    // An in-memory result set: fields appended, then rows added.
    static std::unique_ptr<ResultSet> inMemory(const QStringList &fields);
    void addRow(const QVariantList &values);

    const QStringList &columns() const { return m_rows.columns(); }
    int fieldCount() const { return m_rows.columnCount(); }
    // Index of a field by name, compared without regard to case; -1 if none.
    int fieldIndex(const QString &name) const;

    // Loading.
    // Off: texts read from now on are kept as they come (see RowStore).
    void setCompactText(bool on) { m_rows.setCompactText(on); }
    // Rows read from now on are kept only when they match (see RowStore).
    void keepOnlyMatching(std::shared_ptr<const RowFilter> filter) { m_rows.keepOnlyMatching(std::move(filter)); }
    bool isComplete() const;
    qsizetype fetchMore(qsizetype maxRows);
    void fetchAll();
    Error lastError() const { return m_error; }

    // Loading on another thread: fetchBatch reads from the statement into a
    // store of the caller's (it touches nothing the owning thread reads), and
    // the owning thread then adds the batch with appendBatch, or the failure
    // with fail. Only one thread fetches at a time.
    qsizetype fetchBatch(RowStore &batch, qsizetype maxRows, Error *error);
    bool sourceAtEnd() const;
    void appendBatch(RowStore &&batch);
    void fail(const Error &error);
    // Asks a fetch running on another thread to stop soon (the statement ends there).
    void cancel();

    // The rows fetched so far.
    const RowStore &rows() const { return m_rows; }
    qsizetype fetchedCount() const { return m_rows.rowCount(); }

    // Cursor.
    qsizetype recordCount();
    bool eof();
    void moveFirst() { m_position = 0; }
    void moveNext();
    void moveLast();
    qsizetype position() const { return m_position; }
    void setPosition(qsizetype row) { m_position = row; }

    // Field of the current row; sets error (3021 past the end, 3265 unknown name).
    QVariant field(const QString &name, Error *error = nullptr);
    QVariant field(int index, Error *error = nullptr);

    // Edit mode. updateCell writes a cell to the database and, when that
    // succeeds, to the rows held. A window splits it in two: writeCell, on a
    // database thread, given the row's values as they were when the edit began
    // (the rows held may grow meanwhile), then keepCell on the owning thread.
    bool isUpdatable() const { return m_updatable; }
    void setUpdatable(bool on) { m_updatable = on; }
    bool updateCell(qsizetype row, int column, const QVariant &value, Error *error);
    QVariantList rowValues(qsizetype row) const;
    bool writeCell(const QVariantList &row, int column, const QVariant &value, Error *error) const;
    void keepCell(qsizetype row, int column, const QVariant &value) { m_rows.setValue(row, column, value); }

private:
    bool ensureRow(qsizetype row);
    void releaseSource();

    RowStore m_rows;
    // Shared with an edit being written on another thread, which keeps it
    // while the load lets it go.
    std::shared_ptr<RowSource> m_source;
    mutable std::mutex m_cancelMutex; // between another thread's use of the source and the source going
    Error m_error;
    qsizetype m_position = 0;
    bool m_updatable = false;
};

} // namespace korva::db
