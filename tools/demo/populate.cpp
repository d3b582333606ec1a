#include "populate.h"

#include <QtCore/QFile>

#include <sqlite3.h>

namespace korva::demo {

namespace {

QString capitalised(const QString &text)
{
    QStringList words = text.split(u' ');
    for (QString &w : words)
        if (!w.isEmpty())
            w[0] = w[0].toUpper();
    return words.join(u' ');
}

QString aliasFrom(const QString &name)
{
    QString a;
    for (QChar c : name)
        if (c.isLetterOrNumber())
            a += c.toLower();
    return a;
}

// The column that names a row: DisplayName, else the first ...Name text column.
int nameColumn(const TableDef &t)
{
    const int display = t.columnIndex(QStringLiteral("DisplayName"));
    if (display >= 0)
        return display;
    for (int i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].type == SqlType::NVarChar && t.columns[i].name.endsWith(u"Name"))
            return i;
    return -1;
}

} // namespace

Populator::Populator(const DatabaseDef &def, std::uint64_t seed) : m_def(def), m_seed(seed) {}

Populator::~Populator()
{
    for (Table &t : m_tables)
        sqlite3_finalize(t.insert);
    if (m_db)
        sqlite3_close(m_db);
}

void Populator::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = m_def.name + QStringLiteral(": ") + message;
}

bool Populator::exec(const QString &sql)
{
    if (!ok() || !m_db)
        return false;
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        fail(QString::fromUtf8(message ? message : "unknown error") + QStringLiteral(" in: ") + sql.left(200));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool Populator::create(const QString &file)
{
    if (QFile::exists(file)) {
        fail(QStringLiteral("file already exists: ") + file);
        return false;
    }
    if (sqlite3_open_v2(file.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        fail(QStringLiteral("cannot create ") + file);
        return false;
    }
    // Nothing to protect while the file is being made: a failed build is
    // thrown away whole.
    exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536; BEGIN"));
    for (const TableDef &t : m_def.tables)
        exec(createTableSql(t));
    return ok();
}

bool Populator::finish()
{
    for (const ViewDef &v : m_def.views)
        exec(createViewSql(v));
    for (const QString &index : m_def.indexes)
        exec(index);
    if (!m_def.procedures.isEmpty()) {
        exec(QStringLiteral("CREATE TABLE korva_procedures(id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE UNIQUE "
                            "NOT NULL, definition TEXT NOT NULL)"));
        exec(QStringLiteral("CREATE TABLE korva_procedure_parameters(procedure_id INTEGER NOT NULL, ordinal INTEGER "
                            "NOT NULL, name TEXT COLLATE NOCASE NOT NULL, type_name TEXT NOT NULL, length INTEGER NOT "
                            "NULL, is_output INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(procedure_id, ordinal))"));
        QList<qint64> used;
        for (const ProcedureDef &p : m_def.procedures) {
            // Server object ids are large numbers with no order to them.
            qint64 id = 100000000 + qint64(hashText(p.name.toLower()) % 1900000000ull);
            while (used.contains(id))
                ++id;
            used << id;
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(m_db, "INSERT INTO korva_procedures(id, name, definition) VALUES (?1, ?2, ?3)", -1, &st,
                               nullptr);
            const QByteArray name = p.name.toUtf8();
            const QByteArray text = p.definition().toUtf8();
            sqlite3_bind_int64(st, 1, id);
            sqlite3_bind_text(st, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) != SQLITE_DONE)
                fail(QStringLiteral("cannot store procedure ") + p.name);
            sqlite3_finalize(st);
            for (int i = 0; i < p.parameters.size(); ++i) {
                const ParameterDef &par = p.parameters[i];
                sqlite3_prepare_v2(m_db,
                                   "INSERT INTO korva_procedure_parameters(procedure_id, ordinal, name, type_name, "
                                   "length, is_output) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                                   -1, &st, nullptr);
                const QByteArray pname = par.name.toUtf8();
                const QByteArray ptype = par.typeName.toUtf8();
                sqlite3_bind_int64(st, 1, id);
                sqlite3_bind_int(st, 2, i + 1);
                sqlite3_bind_text(st, 3, pname.constData(), int(pname.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 4, ptype.constData(), int(ptype.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int(st, 5, par.length);
                sqlite3_bind_int(st, 6, par.output ? 1 : 0);
                if (sqlite3_step(st) != SQLITE_DONE)
                    fail(QStringLiteral("cannot store parameter ") + par.name);
                sqlite3_finalize(st);
            }
        }
    }
    exec(QStringLiteral("COMMIT"));
    for (Table &t : m_tables) {
        sqlite3_finalize(t.insert);
        t.insert = nullptr;
    }
    if (m_db && sqlite3_close(m_db) != SQLITE_OK)
        fail(QStringLiteral("cannot close the database file"));
    m_db = nullptr;
    return ok();
}

Populator::Table &Populator::state(const TableDef &table) { return m_tables[table.name.toLower()]; }

Random &Populator::random(const QString &purpose)
{
    auto &r = m_random[purpose];
    if (!r)
        r = std::make_shared<Random>(m_seed, purpose);
    return *r;
}

QStringList Populator::ids(const QString &table) const
{
    const auto it = m_tables.constFind(table.toLower());
    return it == m_tables.cend() ? QStringList() : it->ids;
}

int Populator::rowCount(const QString &table) const
{
    const auto it = m_tables.constFind(table.toLower());
    return it == m_tables.cend() ? 0 : it->rows;
}

Populator::Row Populator::row(const QString &table)
{
    const TableDef *t = m_def.table(table);
    if (!t)
        fail(QStringLiteral("no table ") + table);
    return Row(this, t);
}

Populator::Row::Row(Populator *owner, const TableDef *table) : m_owner(owner), m_table(table)
{
    const size_t n = table ? size_t(table->columns.size()) : 0;
    m_values.resize(n);
    m_set.resize(n, false);
}

Populator::Row &Populator::Row::set(const QString &column, const QVariant &value)
{
    const int i = m_table ? m_table->columnIndex(column) : -1;
    if (i < 0) {
        m_owner->fail(QStringLiteral("no column %1 in %2").arg(column, m_table ? m_table->name : QString()));
        return *this;
    }
    m_values[size_t(i)] = value;
    m_set[size_t(i)] = true;
    return *this;
}

QVariant Populator::Row::value(const QString &column) const
{
    const int i = m_table ? m_table->columnIndex(column) : -1;
    return i < 0 ? QVariant() : m_values[size_t(i)];
}

QString Populator::Row::insert() { return m_owner->insertRow(*this); }

QString Populator::insertRow(Row &row)
{
    if (!ok() || !row.m_table)
        return {};
    const TableDef &t = *row.m_table;
    Table &st = state(t);
    Random &r = random(t.name);
    // Names first: aliases and the like are made from them.
    const int name = nameColumn(t);
    if (name >= 0 && !row.m_set[size_t(name)]) {
        row.m_values[size_t(name)] = defaultValue(t, name, row, r);
        row.m_set[size_t(name)] = true;
    }
    for (int i = 0; i < t.columns.size(); ++i)
        if (!row.m_set[size_t(i)])
            row.m_values[size_t(i)] = defaultValue(t, i, row, r);

    if (!st.insert) {
        QStringList marks;
        for (int i = 0; i < t.columns.size(); ++i)
            marks << QStringLiteral("?%1").arg(i + 1);
        const QString sql = QStringLiteral("INSERT INTO ") + t.name + QStringLiteral(" VALUES (") + marks.join(u',')
                            + u')';
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st.insert, nullptr) != SQLITE_OK) {
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
            return {};
        }
    }
    sqlite3_stmt *s = st.insert;
    sqlite3_reset(s);
    for (int i = 0; i < t.columns.size(); ++i) {
        const QVariant &v = row.m_values[size_t(i)];
        const int slot = i + 1;
        if (v.isNull()) {
            sqlite3_bind_null(s, slot);
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Bool:
            sqlite3_bind_int64(s, slot, v.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(s, slot, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(s, slot, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(s, slot, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (sqlite3_step(s) != SQLITE_DONE) {
        fail(QStringLiteral("insert into %1 failed: %2").arg(t.name, QString::fromUtf8(sqlite3_errmsg(m_db))));
        return {};
    }
    ++st.rows;
    const int key = t.columnIndex(t.primaryKey());
    if (key < 0)
        return {};
    const QString id = row.m_values[size_t(key)].toString();
    if (t.columns[key].type == SqlType::UniqueIdentifier)
        st.ids << id;
    return id;
}

QVariant Populator::defaultValue(const TableDef &t, int column, const Row &row, Random &r)
{
    const ColumnDef &c = t.columns[column];
    const int n = state(t).rows;
    if (c.nullPercent > 0 && r.percent(c.nullPercent))
        return {};
    if (c.type == SqlType::UniqueIdentifier) {
        if (c.primaryKey)
            return r.guid();
        if (!c.linkTable.isEmpty()) {
            const auto it = m_tables.constFind(c.linkTable.toLower());
            if (it == m_tables.cend() || it->ids.isEmpty())
                return {};
            const QStringList &targets = it->ids;
            return r.pick(targets);
        }
        return r.guid();
    }
    if (!c.values.isEmpty()) {
        const QString v = r.pick(c.values);
        if (isIntegerType(c.type))
            return v.toLongLong();
        return v;
    }
    const QString &name = c.name;
    switch (c.type) {
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::Bit:
        return r.between(c.minValue, c.maxValue);
    case SqlType::DateTime:
        return randomDate(r, 2003, 2005);
    case SqlType::Float:
        return double(r.between(c.minValue * 100, c.maxValue * 100)) / 100.0;
    case SqlType::Money:
        return double(r.between(c.minValue * 100, c.maxValue * 100)) / 100.0;
    case SqlType::VarBinary: {
        QByteArray b;
        const int len = int(qMin<qint64>(c.length, r.between(8, 32)));
        for (int i = 0; i < len; ++i)
            b.append(char(r.below(256)));
        return b;
    }
    default:
        break;
    }
    // Text.
    if (column == nameColumn(t)) {
        if (!t.sampleNames.isEmpty()) {
            const QString base = t.sampleNames[n % t.sampleNames.size()];
            const int round = n / t.sampleNames.size();
            return round == 0 ? base : QString(base + u' ' + QString::number(round + 1));
        }
        return QString(capitalised(t.entity) + u' ' + QString::number(n + 1));
    }
    if (name == u"Alias") {
        const int named = nameColumn(t);
        const QString display = named >= 0 ? row.m_values[size_t(named)].toString() : QString();
        return display.isEmpty() ? QString(aliasFrom(t.entity) + QString::number(n + 1)) : aliasFrom(display);
    }
    if (name.contains(u"IPAddress"))
        return QStringLiteral("10.%1.%2.%3").arg(r.between(10, 40)).arg(r.between(0, 20)).arg(r.between(2, 250));
    if (name.contains(u"HostName") || name == u"ServerName")
        return QStringLiteral("orvex-%1%2.corp.local")
            .arg(aliasFrom(t.entity).left(6))
            .arg(n + 1, 2, 10, QLatin1Char('0'));
    if (name.contains(u"Email"))
        return QString(aliasFrom(t.entity) + QString::number(n + 1) + QStringLiteral("@harbourpoint.example"));
    if (name.contains(u"Number") || name.contains(u"Extension") || name.contains(u"DTMF") || name.contains(u"Digits")
        || name.contains(u"Prefix"))
        return QString::number(r.between(1000, 9999));
    if (name.contains(u"Name") || name == u"Description")
        return QString(capitalised(t.entity) + u' ' + QString::number(n + 1));
    return QString(capitalised(name) + u' ' + QString::number(n + 1));
}

void Populator::fillGeneric(int phase)
{
    for (const TableDef &t : m_def.tables) {
        if (t.rows <= 0 || t.phase != phase)
            continue;
        for (int i = 0; i < t.rows && ok(); ++i)
            row(t.name).insert();
    }
}

QString Populator::dateText(int year, int month, int day, int hour, int minute, int second)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6.000")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'));
}

QString Populator::randomDate(Random &r, int fromYear, int toYear)
{
    return dateText(int(r.between(fromYear, toYear)), int(r.between(1, 12)), int(r.between(1, 28)),
                    int(r.between(7, 19)), int(r.between(0, 59)), int(r.between(0, 59)));
}

} // namespace korva::demo
