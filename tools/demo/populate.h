#pragma once

#include "random.h"
#include "schema.h"

#include <QtCore/QHash>
#include <QtCore/QStringBuilder>
#include <QtCore/QVariant>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace korva::demo {

// Writes one database file: its tables, views and procedures from a
// DatabaseDef, then rows. Rows leave unset whatever the generic rules can
// fill (new identifiers, references to rows already made, names, numbers,
// dates). The first failure is kept and later work is skipped.
class Populator
{
public:
    Populator(const DatabaseDef &def, std::uint64_t seed);
    ~Populator();
    Populator(const Populator &) = delete;
    Populator &operator=(const Populator &) = delete;

    // Creates the file (which must not exist) with the tables, and starts the
    // one transaction everything is written in.
    bool create(const QString &file);
    // Views, indexes and procedures, then commit and close.
    bool finish();

    class Row
    {
    public:
        Row &set(const QString &column, const QVariant &value);
        template<typename A, typename B>
        Row &set(const QString &column, const QStringBuilder<A, B> &text)
        {
            return set(column, QVariant(QString(text)));
        }
        Row &setNull(const QString &column) { return set(column, QVariant()); }
        QVariant value(const QString &column) const;
        // Inserts it; returns the primary key value (empty on failure).
        QString insert();

    private:
        friend class Populator;
        Row(Populator *owner, const TableDef *table);
        Populator *m_owner;
        const TableDef *m_table;
        std::vector<QVariant> m_values;
        std::vector<bool> m_set;
    };

    Row row(const QString &table);
    // Rows for every table whose definition asks for some (in definition
    // order), of the given phase.
    void fillGeneric(int phase);

    QStringList ids(const QString &table) const; // a copy: the store grows while rows are made
    int rowCount(const QString &table) const;
    Random &random(const QString &purpose);
    bool exec(const QString &sql);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &message);

    const DatabaseDef &def() const { return m_def; }
    sqlite3 *handle() const { return m_db; } // for bulk writers

    // SQL Server's text form of a date and time: 2005-03-14 09:22:41.000
    static QString dateText(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    static QString randomDate(Random &r, int fromYear, int toYear);

private:
    struct Table
    {
        sqlite3_stmt *insert = nullptr;
        QStringList ids;
        int rows = 0;
    };
    Table &state(const TableDef &table);
    QVariant defaultValue(const TableDef &table, int column, const Row &row, Random &r);
    QString insertRow(Row &row);

    const DatabaseDef &m_def;
    std::uint64_t m_seed;
    sqlite3 *m_db = nullptr;
    QHash<QString, Table> m_tables; // by lower-case name
    QHash<QString, std::shared_ptr<Random>> m_random;
    QString m_error;
};

} // namespace korva::demo
