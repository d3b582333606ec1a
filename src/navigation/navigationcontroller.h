#pragma once

#include "navigation/jumphistory.h"
#include "navigation/objectdescription.h"
#include "navigation/objectsearch.h"
#include "navigation/tableviewmap.h"

#include <QtCore/QHash>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace korva::db {
class ResultSet;
class RowFilter;
}

namespace korva::navigation {

// A referenced object as the hover and the jump need it.
struct ObjectDescription
{
    QString description; // the tooltip text and the jump item's caption
    QString jumpTable;   // the pending jump table it sets
    QString objectId;    // the pending jump ObjectID (a greeting's is shortened)
    Error unexpected;    // a failure other than "not found"
};

// Descriptions already composed, by connection (which names the database),
// referenced table and ObjectID: moving back and forth over a grid asks the
// server nothing twice. Safe to use from several threads.
class DescriptionCache
{
public:
    std::optional<ObjectDescription> find(const QString &connection, const QString &table,
                                          const QString &objectId) const;
    void insert(const QString &connection, const QString &table, const QString &objectId, const ObjectDescription &d);
    void clear();
    qsizetype size() const;

private:
    static QString key(const QString &connection, const QString &table, const QString &objectId);
    mutable std::mutex m_mutex;
    QHash<QString, ObjectDescription> m_entries;
};

// Describes an ObjectID of a referenced table with the queries of the
// description routine; runs on any thread.
ObjectDescription describeObject(const QString &connection, const QString &table, const QString &objectId);

// The descriptions of many ObjectIDs, by referenced table, composed with
// ObjectDescriber::describeMany (one query per table where the kind allows);
// only certain ones are answered, by table and ObjectID as asked. Stops
// sending queries once stop is requested. Runs on any thread.
struct DescribedObject
{
    QString table;
    QString askedId;
    ObjectDescription description;
};
QList<DescribedObject> describeObjects(const QString &connection, const QHash<QString, QStringList> &idsByTable,
                                       const std::function<bool()> &stopped = {});

// What the cross-table search walks when it runs off the window's thread:
// the listed tables, each read with the query the row grid would show it
// with (the opener composes it), in grid terms (row 0 the header, column 0
// the fixed column). Once told what the walk looks for, it holds only the
// rows that have it. Cancel may be called from any thread.
class TableScanSource final : public SearchGridSource
{
public:
    // Opens the listed table's rows, keeping only those that match the
    // filter when one is given.
    using Opener = std::function<std::shared_ptr<db::ResultSet>(const QString &listed,
                                                                 std::shared_ptr<const db::RowFilter> onlyMatching)>;
    using Progress = std::function<void(const QString &listed)>;

    TableScanSource(QStringList listed, Opener open, Progress progress = {});
    ~TableScanSource() override;

    int tableListRows() const override { return int(m_listed.size()) + 1; }
    QString tableName(int tableListRow) const override { return m_listed.value(tableListRow - 1); }
    void selectTable(int tableListRow) override;
    int rows() const override;
    int cols() const override;
    QString text(int row, int col) const override;
    bool matches(int row, int col, const QString &searchText, bool exactMatch) const override;
    int firstMatchInRow(int row, int fromCol, int lastCol, const QString &searchText, bool exactMatch) const override;
    bool cancelled() const override { return m_cancelled.load(); }
    void lookFor(const QString &searchText, bool exactMatch) override;
    int rowNumber(int row) const override;

    void cancel() { m_cancelled = true; }
    void resetCancel() { m_cancelled = false; }
    const QStringList &listed() const { return m_listed; }

private:
    void setNeedle(const QString &searchText) const;

    QStringList m_listed;
    Opener m_open;
    Progress m_progress;
    std::shared_ptr<const db::RowFilter> m_filter;
    std::shared_ptr<db::ResultSet> m_rows;
    std::atomic<bool> m_cancelled = false;
    mutable QString m_needle;
    mutable QByteArray m_lowerNeedle;
};

// The navigation decisions of the main window that need no window: the
// description cache behind the hover, the jump history and the state of the
// search across tables.
class NavigationController
{
public:
    DescriptionCache &descriptions() { return m_descriptions; }
    JumpHistory &history() { return m_history; }
    const JumpHistory &history() const { return m_history; }

    // The search state lives here between matches; the source is the
    // tables it walks, replaced when a new search starts.
    std::shared_ptr<CrossTableSearch> search() const { return m_search; }
    std::shared_ptr<TableScanSource> searchSource() const { return m_source; }
    void setSearchSource(std::shared_ptr<TableScanSource> source) { m_source = std::move(source); }

private:
    DescriptionCache m_descriptions;
    JumpHistory m_history;
    std::shared_ptr<CrossTableSearch> m_search = std::make_shared<CrossTableSearch>();
    std::shared_ptr<TableScanSource> m_source;
};

} // namespace korva::navigation
