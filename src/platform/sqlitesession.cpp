#include "platform/sqlitesession.h"

#include "platform/rowedit.h"
#include "platform/sqlquote.h"

#include "platform/serverdirectory.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace korva::db {

namespace {

// Object ids of the catalogue views: a stable hash of the lower-case name.
qint64 objectIdOf(const QString &name)
{
    const QByteArray bytes = name.toLower().toUtf8();
    quint32 h = 2166136261u;
    for (char c : bytes) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return qint64(h & 0x3fffffff) + 1;
}

QString textArg(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? textFromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void fnKorvaId(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, objectIdOf(textArg(argv[0])));
}

// object_id('name'), object_id('Db.dbo.name'): the id of a table, view or
// procedure of the connection's database (or the named one), else null.
void fnObjectId(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *session = static_cast<SqliteSession *>(sqlite3_user_data(ctx));
    const QStringList parts = sql::splitName(textArg(argv[0]));
    const QString name = parts.last();
    QString schema = QStringLiteral("main");
    if (parts.size() >= 3) {
        const QString db = parts.at(parts.size() - 3);
        if (db.compare(session->target().database, Qt::CaseInsensitive) != 0)
            schema = db;
    }
    const QByteArray n = name.toUtf8();
    // A lookup that fails (the database locked by another program) fails the
    // statement, rather than passing for a name that does not exist.
    int failure = SQLITE_OK;
    auto exists = [&](const QString &sql) {
        sqlite3_stmt *stmt = session->cachedStatement(sql);
        if (!stmt)
            return false;
        sqlite3_bind_text(stmt, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            failure = rc;
        return rc == SQLITE_ROW;
    };
    const QString q = sql::quoteBracketed(schema);
    const bool found = exists(QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type IN ('table','view') AND name = "
                                             "?1 COLLATE NOCASE")
                                  .arg(q))
                       || (failure == SQLITE_OK
                           && exists(QStringLiteral("SELECT 1 FROM %1.korva_procedures WHERE name = ?1").arg(q)));
    if (failure == SQLITE_BUSY || failure == SQLITE_LOCKED || failure == SQLITE_INTERRUPT)
        sqlite3_result_error_code(ctx, failure);
    else if (found)
        sqlite3_result_int64(ctx, objectIdOf(name));
    else
        sqlite3_result_null(ctx);
}

void fnGetDate(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    sqlite3_result_text(ctx, now.constData(), int(now.size()), SQLITE_TRANSIENT);
}

void fnIsNull(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

void fnLen(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s = textArg(argv[0]);
    while (s.endsWith(u' '))
        s.chop(1);
    sqlite3_result_int64(ctx, s.size());
}

void fnNewId(sqlite3_context *ctx, int, sqlite3_value **)
{
    const QByteArray id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toUtf8();
    sqlite3_result_text(ctx, id.constData(), int(id.size()), SQLITE_TRANSIENT);
}

// A name in SQL given to SQLite as it is (not through the Transact-SQL rewrite).
QString sqliteName(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

class Statement
{
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt *s) : m_stmt(s) {}
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    sqlite3_stmt *release() { return std::exchange(m_stmt, nullptr); }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

void appendColumn(RowStore &store, sqlite3_stmt *stmt, int i)
{
    // The cell is fetched once; each sqlite3_column_ call would look it up
    // and check the connection again.
    sqlite3_value *v = sqlite3_column_value(stmt, i);
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        store.addNull();
        break;
    case SQLITE_INTEGER:
        store.addInteger(sqlite3_value_int64(v));
        break;
    case SQLITE_FLOAT:
        store.addReal(sqlite3_value_double(v));
        break;
    case SQLITE_BLOB: {
        const void *p = sqlite3_value_blob(v);
        store.addBlob(p, sqlite3_value_bytes(v));
        break;
    }
    default: {
        const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
        store.addText(p, sqlite3_value_bytes(v));
    }
    }
}

// Whether a row read for a search may match, from SQLite's own values: a
// row none of whose cells can is not written into the store at all.
bool rowMayMatch(sqlite3_stmt *stmt, int n, const RowFilter &filter)
{
    for (int i = 0; i < n; ++i) {
        sqlite3_value *v = sqlite3_column_value(stmt, i);
        switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            if (filter.nullsMayMatch())
                return true;
            break;
        case SQLITE_INTEGER:
            if (filter.integersMayMatch())
                return true;
            break;
        case SQLITE_TEXT: {
            const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
            if (filter.textMayMatch(p, sqlite3_value_bytes(v)))
                return true;
            break;
        }
        default:
            return true; // reals and blobs are written out as the store does it
        }
    }
    return false;
}

class SqliteRowSource final : public RowSource
{
public:
    SqliteRowSource(std::shared_ptr<SqliteSession> session, sqlite3_stmt *stmt)
        : m_session(std::move(session)), m_stmt(stmt)
    {
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            m_columns.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
            const char *table = sqlite3_column_table_name(stmt, i);
            const char *origin = sqlite3_column_origin_name(stmt, i);
            const char *schema = sqlite3_column_database_name(stmt, i);
            m_origins.append({m_columns.last(), schema ? QString::fromUtf8(schema) : QString(),
                              table ? QString::fromUtf8(table) : QString(),
                              origin ? QString::fromUtf8(origin) : QString()});
        }
    }

    QStringList columns() const override { return m_columns; }
    bool atEnd() const override { return m_done.load(); }

    ~SqliteRowSource() override
    {
        std::lock_guard lock(m_session->mutex());
        m_stmt.reset();
    }

    void cancel() override { m_cancelled = true; }

    // Lets a cancel from another thread stop the step under way.
    struct StepGuard
    {
        SqliteSession &session;
        StepGuard(SqliteSession &s, const std::atomic<bool> *flag) : session(s) { session.setStepCancel(flag); }
        ~StepGuard() { session.setStepCancel(nullptr); }
    };

    qsizetype fetch(RowStore &store, qsizetype maxRows, Error *error) override
    {
        std::lock_guard lock(m_session->mutex());
        qsizetype added = 0;
        sqlite3_stmt *stmt = m_stmt.get();
        const int n = int(m_columns.size());
        if ((m_cancelled || m_session->interrupted()) && !m_done) {
            // Rows that were never read are not the end of the result.
            m_done = true;
            sqlite3_reset(stmt);
            if (error)
                *error = {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
            return 0;
        }
        StepGuard guard(*m_session, &m_cancelled);
        while (!m_done && added < maxRows) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                if (const RowFilter *filter = store.filter(); filter && !rowMayMatch(stmt, n, *filter)) {
                    store.skipRow();
                    ++added;
                    continue;
                }
                store.beginRow();
                for (int i = 0; i < n; ++i)
                    appendColumn(store, stmt, i);
                if (!store.endRow()) {
                    m_done = true;
                    sqlite3_reset(stmt);
                    if (error)
                        *error = {kErrCommand,
                                  QStringLiteral("A row holds more than %1 MB of data, more than can be shown.")
                                      .arg((RowStore::maxRowBytes() + 1) >> 20)};
                    break;
                }
                ++added;
            } else {
                m_done = true;
                if (rc != SQLITE_DONE && error)
                    *error = m_cancelled ? Error{kErrCommand, QStringLiteral("Operation cancelled by the user.")}
                                         : m_session->lastError();
                // Release the statement's read lock at once.
                sqlite3_reset(stmt);
            }
        }
        return added;
    }

    bool updateCell(const QVariantList &row, int column, const QVariant &value, Error *error) override
    {
        std::lock_guard lock(m_session->mutex());
        // Names go to SQLite as they are; a key that is NULL still finds its row.
        const EditDialect dialect{sqliteName, true};
        // The row is found by every column of its key, each of which must be shown.
        const auto edit = planCellEdit(
            m_origins, column, dialect,
            [&](const ColumnOrigin &target) {
                Error e;
                return m_session->primaryKeyColumns(sql::quoteBracketed(target.schema) + u'.'
                                                        + sql::quoteBracketed(target.table),
                                                    &e);
            },
            error);
        if (!edit)
            return false;
        sqlite3 *db = m_session->handle();
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db, edit->statement.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK) {
            if (error)
                *error = m_session->lastError();
            return false;
        }
        Statement stmt(raw);
        bindVariant(raw, 1, value);
        for (int k = 0; k < edit->keyColumns.size(); ++k)
            bindVariant(raw, k + 2, row.value(edit->keyColumns[k]));
        // The change is kept only when it touched exactly this one row.
        if (sqlite3_exec(db, "SAVEPOINT korva_edit", nullptr, nullptr, nullptr) != SQLITE_OK) {
            if (error)
                *error = m_session->lastError();
            return false;
        }
        const int rc = sqlite3_step(raw);
        const Error stepError = rc == SQLITE_DONE ? Error() : m_session->lastError();
        const int changed = rc == SQLITE_DONE ? sqlite3_changes(db) : 0;
        if (rc == SQLITE_DONE && changed == 1) {
            if (sqlite3_exec(db, "RELEASE korva_edit", nullptr, nullptr, nullptr) == SQLITE_OK)
                return true;
            const Error releaseError = m_session->lastError();
            sqlite3_exec(db, "ROLLBACK TO korva_edit; RELEASE korva_edit", nullptr, nullptr, nullptr);
            if (error)
                *error = releaseError;
            return false;
        }
        sqlite3_exec(db, "ROLLBACK TO korva_edit; RELEASE korva_edit", nullptr, nullptr, nullptr);
        if (error)
            *error = stepError ? stepError : changedRowsError(changed);
        return false;
    }

    static void bindVariant(sqlite3_stmt *stmt, int index, const QVariant &v)
    {
        if (v.isNull() || !v.isValid()) {
            sqlite3_bind_null(stmt, index);
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            sqlite3_bind_int64(stmt, index, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, index, v.toDouble());
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else {
            const QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        }
    }

private:
    struct StmtDeleter
    {
        void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
    };

    std::shared_ptr<SqliteSession> m_session;
    std::unique_ptr<sqlite3_stmt, StmtDeleter> m_stmt;
    QStringList m_columns;
    QList<ColumnOrigin> m_origins;
    std::atomic<bool> m_done = false; // read by the owning thread while a loader fetches
    std::atomic<bool> m_cancelled = false;
};

// Where a comment, a quoted text or a bracketed name that starts at i ends
// (the text's end when it is not closed); i itself when none starts there.
qsizetype afterInert(const QString &text, qsizetype i)
{
    const qsizetype n = text.size();
    const QChar c = text.at(i);
    if (c == u'-' && i + 1 < n && text.at(i + 1) == u'-') {
        while (i < n && text.at(i) != u'\n')
            ++i;
        return i;
    }
    if (c == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
        const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    if (c == u'\'' || c == u'"' || c == u'[') {
        const qsizetype end = text.indexOf(c == u'[' ? QChar(u']') : c, i + 1);
        return end < 0 ? n : end + 1;
    }
    return i;
}

// The body of a CREATE PROCEDURE text: everything after its first AS
// keyword, not counting comments, quoted text or an @AS parameter.
QString procedureBody(const QString &definition)
{
    const qsizetype n = definition.size();
    auto wordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'; };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = definition.at(i);
        if (const qsizetype after = afterInert(definition, i); after > i) {
            i = after;
        } else if (wordChar(c)) {
            qsizetype j = i;
            while (j < n && wordChar(definition.at(j)))
                ++j;
            if (j - i == 2 && definition.mid(i, 2).compare(u"AS", Qt::CaseInsensitive) == 0)
                return definition.mid(j);
            i = j;
        } else {
            ++i;
        }
    }
    return {};
}

// The column names through which a procedure body's Transact-SQL
// statements, rewritten, reach the run: "SET @x = expr" becomes
// SELECT (expr) AS "korva_set:@x", "RETURN [expr]" becomes
// SELECT (expr) AS "korva_return".
constexpr char kSetColumn[] = "korva_set:@";
constexpr char kReturnColumn[] = "korva_return";

// Where the statement that starts at i ends: at its ";" (or the end), not
// counting those in comments, quoted text, bracketed names or parentheses.
qsizetype statementEnd(const QString &text, qsizetype i)
{
    const qsizetype n = text.size();
    int depth = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (const qsizetype after = afterInert(text, i); after > i) {
            i = after;
        } else {
            if (c == u'(')
                ++depth;
            else if (c == u')')
                depth = std::max(0, depth - 1);
            else if (c == u';' && depth == 0)
                return i;
            ++i;
        }
    }
    return n;
}

// Skips blanks and comments from i.
qsizetype skipBlanks(const QString &text, qsizetype i)
{
    const qsizetype n = text.size();
    while (i < n) {
        if (text.at(i).isSpace()) {
            ++i;
        } else if (text.mid(i, 2) == u"--") {
            while (i < n && text.at(i) != u'\n')
                ++i;
        } else if (text.mid(i, 2) == u"/*") {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    return i;
}

// The word (letters, digits, "_", "@") that starts at i.
QString wordAt(const QString &text, qsizetype i)
{
    qsizetype j = i;
    while (j < text.size() && (text.at(j).isLetterOrNumber() || text.at(j) == u'_' || text.at(j) == u'@'))
        ++j;
    return text.mid(i, j - i);
}

// A procedure body with the Transact-SQL statements that only a procedure
// has turned into what the run understands: "SET @name = expression" sets a
// parameter (output parameters come back with the last value set), "RETURN"
// or "RETURN expression" ends the procedure with that value (0 without one),
// and the session options (SET NOCOUNT ON and the like) are dropped. Every
// other statement is left as it is.
QString emulateProcedureStatements(const QString &body)
{
    QString out;
    qsizetype i = 0;
    while (i < body.size()) {
        const qsizetype start = skipBlanks(body, i);
        const qsizetype end = statementEnd(body, start);
        const QString first = wordAt(body, start);
        QString statement = body.mid(i, end - i);
        if (first.compare(u"SET", Qt::CaseInsensitive) == 0) {
            const qsizetype at = skipBlanks(body, start + first.size());
            const QString variable = wordAt(body, at);
            const qsizetype equals = skipBlanks(body, at + variable.size());
            if (variable.startsWith(u'@') && variable.size() > 1 && equals < end && body.at(equals) == u'=')
                statement = QStringLiteral(" SELECT (%1) AS \"%2%3\"")
                                .arg(body.mid(equals + 1, end - equals - 1).trimmed(), QLatin1String(kSetColumn),
                                     variable.mid(1));
            else
                statement = QString(); // a session option
        } else if (first.compare(u"RETURN", Qt::CaseInsensitive) == 0) {
            const QString value = body.mid(start + first.size(), end - start - first.size()).trimmed();
            statement = QStringLiteral(" SELECT (%1) AS \"%2\"")
                            .arg(value.isEmpty() ? QStringLiteral("0") : value, QLatin1String(kReturnColumn));
        }
        out += statement;
        if (end < body.size())
            out += u';';
        i = end + 1;
    }
    return out;
}

} // namespace

int stepProgress(void *session)
{
    const auto *s = static_cast<SqliteSession *>(session);
    if (s->m_interrupted.load())
        return 1;
    const std::atomic<bool> *flag = s->m_stepCancel.load();
    return flag && flag->load() ? 1 : 0;
}

void SqliteSession::interrupt()
{
    m_interrupted = true;
    sqlite3_interrupt(m_db);
}

Error translateSqliteError(int code, const QString &message)
{
    if (code == SQLITE_INTERRUPT)
        return {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return {kErrBusy, QStringLiteral("Lock request time out period exceeded: the database is locked by another "
                                         "connection.")};
    static const QRegularExpression noTable(QStringLiteral("^no such table: (?:\\w+\\.)?(.+)$"));
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    if (auto m = noTable.match(message); m.hasMatch())
        return {kErrNoSuchObject, QStringLiteral("Invalid object name '%1'.").arg(m.captured(1))};
    if (auto m = noColumn.match(message); m.hasMatch())
        return {kErrCommand, QStringLiteral("Invalid column name '%1'.").arg(m.captured(1))};
    if (auto m = syntax.match(message); m.hasMatch())
        return {kErrCommand, QStringLiteral("Incorrect syntax near '%1'.").arg(m.captured(1))};
    if (message == u"incomplete input")
        return {kErrCommand, QStringLiteral("Incorrect syntax near the end of the statement.")};
    if (code == SQLITE_CANTOPEN || code == SQLITE_NOTADB)
        return {kErrGeneric, message};
    return {kErrCommand, message};
}

std::shared_ptr<SqliteSession> SqliteSession::open(const ConnectionTarget &target, const QString &dataFolder,
                                                   Error *error)
{
    std::shared_ptr<SqliteSession> s(new SqliteSession);
    s->m_target = target;
    // A database that is not there is an error, never an empty database.
    const QString file = target.database.isEmpty() ? QString() : embeddedDatabaseFile(dataFolder, target.database);
    if (file.isEmpty()) {
        if (error)
            *error = {kErrGeneric,
                      QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                          .arg(target.database)};
        return nullptr;
    }
    const QByteArray path = QFile::encodeName(file);
    // The session's own mutex keeps every use of the connection to one thread
    // at a time, so SQLite need not lock each call again.
    if (sqlite3_open_v2(path.constData(), &s->m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        if (error)
            *error = {kErrGeneric, QStringLiteral("Cannot open database \"%1\": %2")
                                       .arg(target.database, QString::fromUtf8(sqlite3_errmsg(s->m_db)))};
        return nullptr;
    }
    sqlite3_busy_timeout(s->m_db, 5000);
    sqlite3_progress_handler(s->m_db, 1000, stepProgress, s.get());
    sqlite3_extended_result_codes(s->m_db, 0);
    // "x" is a name, as on the server, never a text that a missing name turns into.
    sqlite3_db_config(s->m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);

    s->m_context.currentDatabase = target.database;
    const QDir dir(dataFolder);
    for (const QFileInfo &fi : dir.entryInfoList({QStringLiteral("*.sqlite")}, QDir::Files, QDir::Name)) {
        const QString name = fi.completeBaseName();
        if (name.compare(target.database, Qt::CaseInsensitive) == 0)
            continue;
        // Only files named like a database are databases (not "OrvexDirDB-backup").
        static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        if (!identifier.match(name).hasMatch())
            continue;
        const QString sql = QStringLiteral("ATTACH DATABASE %1 AS %2")
                                .arg(sql::quoteLiteral(fi.absoluteFilePath()), sql::quoteBracketed(name));
        if (sqlite3_exec(s->m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
            s->m_context.otherDatabases.append(name);
    }

    sqlite3_create_function_v2(s->m_db, "korva_id", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fnKorvaId, nullptr,
                               nullptr, nullptr);
    // Deterministic within a statement, so "id=object_id('x')" is worked out once and can use the index.
    sqlite3_create_function_v2(s->m_db, "object_id", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, s.get(), fnObjectId,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(s->m_db, "getdate", 0, SQLITE_UTF8, nullptr, fnGetDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(s->m_db, "isnull", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fnIsNull, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(s->m_db, "len", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fnLen, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(s->m_db, "newid", 0, SQLITE_UTF8, nullptr, fnNewId, nullptr, nullptr, nullptr);

    if (!s->installCatalogue(error))
        return nullptr;
    return s;
}

SqliteSession::~SqliteSession()
{
    std::lock_guard lock(m_mutex);
    for (sqlite3_stmt *st : std::as_const(m_statements))
        sqlite3_finalize(st);
    sqlite3_close_v2(m_db);
}

sqlite3_stmt *SqliteSession::cachedStatement(const QString &sql)
{
    if (auto it = m_statements.constFind(sql); it != m_statements.constEnd()) {
        sqlite3_reset(it.value());
        sqlite3_clear_bindings(it.value());
        return it.value();
    }
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    m_statements.insert(sql, st);
    return st;
}

bool SqliteSession::installCatalogue(Error *error)
{
    QStringList schemas{QStringLiteral("main")};
    schemas += m_context.otherDatabases;
    QString sql;
    for (const QString &schema : schemas) {
        const QString q = sql::quoteBracketed(schema);
        bool hasProcedures = false;
        {
            const QString check =
                QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name='korva_procedures'").arg(q);
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(m_db, check.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK)
                hasProcedures = sqlite3_step(st) == SQLITE_ROW;
            sqlite3_finalize(st);
        }
        const QString userObjects = QStringLiteral("m.type IN ('table','view') AND substr(lower(m.name),1,7) <> "
                                                   "'sqlite_' AND substr(lower(m.name),1,6) <> 'korva_'");
        sql += QStringLiteral("CREATE TEMP VIEW %1 AS SELECT m.name COLLATE NOCASE AS name, korva_id(m.name) AS id, "
                              "(CASE m.type WHEN 'table' THEN 'U' ELSE 'V' END) COLLATE NOCASE AS type, "
                              "(CASE m.type WHEN 'table' THEN 'U' ELSE 'V' END) COLLATE NOCASE AS xtype, "
                              "1 AS uid, 0 AS parent_obj FROM %2.sqlite_master m WHERE %3")
                   .arg(tsql::sysobjectsView(schema), q, userObjects);
        if (hasProcedures)
            sql += QStringLiteral(" UNION ALL SELECT p.name COLLATE NOCASE, korva_id(p.name), 'P' COLLATE NOCASE, "
                                  "'P' COLLATE NOCASE, 1, 0 FROM %1.korva_procedures p")
                       .arg(q);
        sql += QStringLiteral(";\n");
        // Columns are read from a table filled from the schema, so that a
        // lookup by object id does not walk every table's columns.
        const QString source = tsql::syscolumnsView(schema) + QStringLiteral("_source");
        sql += QStringLiteral("CREATE TEMP VIEW %1 AS SELECT korva_id(m.name) AS id, c.name AS name, "
                              "c.cid + 1 AS colid, c.type AS typename, c.\"notnull\" = 0 AS isnullable, "
                              "c.pk AS pk FROM %2.sqlite_master m JOIN pragma_table_info(m.name, %3) c WHERE %4;\n")
                   .arg(source, q, sql::quoteLiteral(schema), userObjects);
        sql += QStringLiteral("CREATE TEMP TABLE %1(id INTEGER, name TEXT COLLATE NOCASE, colid INTEGER, "
                              "typename TEXT COLLATE NOCASE, isnullable INTEGER, pk INTEGER);\n"
                              "CREATE INDEX temp.%1_id ON %1(id);\n")
                   .arg(tsql::syscolumnsView(schema));
    }
    // The connection's own catalogue also answers to its plain names, so
    // "sysobjects.name" and "syscolumns.id" work as column qualifiers.
    sql += QStringLiteral("CREATE TEMP VIEW sysobjects AS SELECT * FROM temp.%1;\n"
                          "CREATE TEMP VIEW syscolumns AS SELECT * FROM temp.%2;\n")
               .arg(tsql::sysobjectsView(QStringLiteral("main")), tsql::syscolumnsView(QStringLiteral("main")));
    char *msg = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
        if (error)
            *error = {kErrGeneric, QStringLiteral("Cannot prepare the catalogue: ") + QString::fromUtf8(msg)};
        sqlite3_free(msg);
        return false;
    }
    m_schemas = schemas;
    refreshCatalogue();
    return true;
}

QString SqliteSession::schemaVersions(bool ownOnly) const
{
    QString versions;
    for (const QString &schema : m_schemas) {
        if (ownOnly && schema != u"main") {
            versions += m_catalogueVersions.section(u',', int(versions.count(u',')), int(versions.count(u',')));
            versions += u',';
            continue;
        }
        sqlite3_stmt *st = const_cast<SqliteSession *>(this)->cachedStatement(
            QStringLiteral("PRAGMA ") + sql::quoteBracketed(schema) + QStringLiteral(".schema_version"));
        if (st && sqlite3_step(st) == SQLITE_ROW)
            versions += QString::number(sqlite3_column_int64(st, 0));
        else // locked by another program: taken as unchanged, rather than waiting for it twice
            versions += m_catalogueVersions.section(u',', int(versions.count(u',')), int(versions.count(u',')));
        if (st)
            sqlite3_reset(st);
        versions += u',';
    }
    return versions;
}

void SqliteSession::refreshCatalogue(bool ownOnly)
{
    const QString versions = schemaVersions(ownOnly);
    if (versions == m_catalogueVersions)
        return;
    QString sql = QStringLiteral("SAVEPOINT korva_catalogue;\n");
    for (const QString &schema : m_schemas)
        sql += QStringLiteral("DELETE FROM temp.%1; INSERT INTO temp.%1 SELECT * FROM temp.%1_source;\n")
                   .arg(tsql::syscolumnsView(schema));
    sql += QStringLiteral("RELEASE korva_catalogue;");
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
        m_catalogueVersions = versions;
    else
        sqlite3_exec(m_db, "ROLLBACK TO korva_catalogue; RELEASE korva_catalogue", nullptr, nullptr, nullptr);
}

QString SqliteSession::translate(const QString &sql) const { return tsql::rewrite(sql, m_context); }

Error SqliteSession::lastError() const
{
    return translateSqliteError(sqlite3_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

std::unique_ptr<RowSource> SqliteSession::query(const QString &sql, bool, Error *error)
{
    std::lock_guard lock(m_mutex);
    // Another connection may have changed this database's schema since the
    // last statement (the other databases are checked after our own changes).
    // Only the column catalogue is a copy; asking for the schema's version
    // costs a read transaction of its own, so only a query that names it asks.
    if (sql.contains(u"syscolumns", Qt::CaseInsensitive))
        refreshCatalogue(true);
    const QByteArray text = translate(sql).toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        if (error)
            *error = lastError();
        return nullptr;
    }
    if (!stmt) {
        if (error)
            *error = {kErrCommand, QStringLiteral("Command text was not set for the command object.")};
        return nullptr;
    }
    return std::make_unique<SqliteRowSource>(shared_from_this(), stmt);
}

namespace {

struct FinalizeStatement
{
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};
using OwnedStatement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// One statement of a batch: compiled, or (when it names a table that an
// earlier statement of the batch may create) the text from there on,
// compiled statement by statement when reached.
struct BatchStatement
{
    OwnedStatement compiled;
    QByteArray deferred;
};

bool namesMissingTable(sqlite3 *db) { return QByteArrayView(sqlite3_errmsg(db)).startsWith("no such table"); }

// Compiles every statement of a batch before any runs, as the server does:
// a syntax error anywhere means nothing of the batch ran.
bool compileBatch(SqliteSession &session, const QByteArray &text, std::vector<BatchStatement> *batch, Error *error)
{
    sqlite3 *db = session.handle();
    const char *tail = text.constData();
    const char *end = text.constData() + text.size();
    while (tail < end) {
        // A long batch takes its time to compile too: Stop is heard meanwhile.
        if (session.interrupted()) {
            if (error)
                *error = {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
            return false;
        }
        sqlite3_stmt *raw = nullptr;
        const char *next = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next);
        if (rc != SQLITE_OK) {
            // A table that is not there yet is looked for again when the
            // statement runs; anything else fails the whole batch. Where the
            // engine stopped inside the statement (ALTER TABLE, triggers),
            // the rest of the text waits as a whole.
            if (namesMissingTable(db) && next && next > tail && next <= end) {
                const QByteArray upTo = QByteArray(tail, int(next - tail)).trimmed();
                const bool whole = next == end || upTo.endsWith(';');
                batch->push_back({nullptr, QByteArray(tail, int((whole ? next : end) - tail))});
                tail = whole ? next : end;
                continue;
            }
            if (error)
                *error = session.lastError();
            return false;
        }
        tail = next;
        if (raw)
            batch->push_back({OwnedStatement(raw), {}});
    }
    return true;
}

// What a procedure's run keeps beside its statements: the parameters by
// name (SET changes them) and the value RETURN gave.
struct ProcedureState
{
    QHash<QString, QVariant> variables; // by lower-case name without "@"
    std::optional<qint64> returned;
};

QVariant columnValue(sqlite3_stmt *stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, i)), sqlite3_column_bytes(stmt, i)));
    default:
        return QVariant(
            textFromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)), sqlite3_column_bytes(stmt, i)));
    }
}

void bindValue(sqlite3_stmt *stmt, int index, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(stmt, index);
    } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        sqlite3_bind_int64(stmt, index, v.toLongLong());
    } else if (v.typeId() == QMetaType::Double) {
        sqlite3_bind_double(stmt, index, v.toDouble());
    } else if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    } else {
        const QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
}

// Runs every statement of a text; the first one that yields columns gives
// the rows (read whole, unless rowsLater >= 0: then, when it is the text's last
// statement, changes nothing and no transaction is left open, only its first
// rowsLater rows are read and the rest wait on the statement), and for a
// procedure every later one too. A
// procedure's @parameters are bound from its state, which its SET and RETURN
// statements change. A statement that fails stops the batch; what ran before
// it stays done, and the records it affected are in the outcome beside the
// error. A transaction the batch opened and left open is rolled back and
// reported.
ExecOutcome runStatements(const std::shared_ptr<SqliteSession> &session, const QByteArray &text,
                          ProcedureState *procedure, Error *error, qsizetype rowsLater = -1)
{
    ExecOutcome outcome;
    sqlite3 *db = session->handle();
    std::vector<BatchStatement> batch;
    if (!compileBatch(*session, text, &batch, error))
        return {};
    long affected = -1;
    long affectedBeforeTransaction = -1;
    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    // Changes made inside a transaction that did not survive are not counted.
    const auto settleTransaction = [&](bool wasOpen) {
        if (!ownTransaction)
            return;
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (wasOpen)
            affected = affectedBeforeTransaction;
    };
    const auto fail = [&](const Error &e, bool wasOpen) {
        settleTransaction(wasOpen);
        if (error)
            *error = e;
        outcome.rows.reset();
        outcome.laterRows.clear();
        outcome.recordsAffected = affected;
        return std::move(outcome);
    };
    const Error cancelled{kErrCommand, QStringLiteral("Operation cancelled by the user.")};
    // Runs one compiled statement; an error when it fails.
    const auto run = [&](OwnedStatement &statement, bool last) -> std::optional<Error> {
        if (session->interrupted())
            return cancelled;
        sqlite3_stmt *raw = statement.get();
        if (procedure) {
            // Bound as they are now: a SET before this statement counts.
            sqlite3_clear_bindings(raw);
            const int count = sqlite3_bind_parameter_count(raw);
            for (int i = 1; i <= count; ++i) {
                const char *pname = sqlite3_bind_parameter_name(raw, i);
                if (!pname)
                    continue;
                const auto it = procedure->variables.constFind(QString::fromUtf8(pname + 1).toLower());
                if (it != procedure->variables.constEnd())
                    bindValue(raw, i, it.value());
            }
        }
        const int columns = sqlite3_column_count(raw);
        const QByteArray firstColumn = columns > 0 ? QByteArray(sqlite3_column_name(raw, 0)) : QByteArray();
        if (procedure && columns == 1
            && (firstColumn.startsWith(kSetColumn) || firstColumn == QByteArrayView(kReturnColumn))) {
            // SET @x = (SELECT ...) with no row sets null.
            const int rc = sqlite3_step(raw);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                return session->lastError();
            const QVariant value = rc == SQLITE_ROW ? columnValue(raw, 0) : QVariant();
            if (firstColumn == QByteArrayView(kReturnColumn))
                procedure->returned = value.toLongLong();
            else
                procedure->variables.insert(QString::fromUtf8(firstColumn.mid(int(qstrlen(kSetColumn)))).toLower(),
                                            value);
            statement.reset();
            return std::nullopt;
        }
        if (columns > 0 && (!outcome.rows || procedure)) {
            auto source = std::make_unique<SqliteRowSource>(session, statement.release());
            auto set = std::make_unique<ResultSet>(std::move(source));
            // Nothing runs after it, so its rows may be read after the batch.
            if (rowsLater >= 0 && last && !procedure && sqlite3_stmt_readonly(raw) != 0
                && sqlite3_get_autocommit(db) != 0)
                set->fetchMore(std::max<qsizetype>(1, rowsLater));
            else
                set->fetchAll();
            if (set->lastError())
                return set->lastError();
            if (!outcome.rows)
                outcome.rows = std::move(set);
            else
                outcome.laterRows.push_back(std::move(set));
            return std::nullopt;
        }
        const sqlite3_int64 changesBefore = sqlite3_total_changes64(db);
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            return session->lastError();
        // sqlite3_changes() still tells an earlier statement's count after
        // one that changes no rows (CREATE, DROP): count only what this one did.
        if (columns == 0 && sqlite3_stmt_readonly(raw) == 0)
            affected = (affected < 0 ? 0 : affected)
                       + (sqlite3_total_changes64(db) != changesBefore ? sqlite3_changes(db) : 0);
        statement.reset();
        return std::nullopt;
    };
    const auto runTracked = [&](OwnedStatement &statement, bool last) -> std::optional<Error> {
        const bool before = sqlite3_get_autocommit(db) == 0;
        const long countBefore = affected;
        std::optional<Error> e = run(statement, last);
        if (!before && sqlite3_get_autocommit(db) == 0)
            affectedBeforeTransaction = countBefore;
        return e;
    };
    // A procedure ends at its RETURN.
    const auto returned = [&] { return procedure && procedure->returned.has_value(); };
    for (BatchStatement &entry : batch) {
        if (returned())
            break;
        if (entry.compiled) {
            const bool open = sqlite3_get_autocommit(db) == 0;
            if (std::optional<Error> e = runTracked(entry.compiled, &entry == &batch.back()))
                return fail(*e, open || sqlite3_get_autocommit(db) == 0);
            continue;
        }
        const char *tail = entry.deferred.constData();
        const char *end = tail + entry.deferred.size();
        while (tail < end && !returned()) {
            const bool open = sqlite3_get_autocommit(db) == 0;
            sqlite3_stmt *raw = nullptr;
            const char *next = nullptr;
            if (sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next) != SQLITE_OK)
                return fail(session->lastError(), open);
            tail = next;
            if (!raw)
                continue;
            OwnedStatement statement(raw);
            if (std::optional<Error> e = runTracked(statement, false))
                return fail(*e, open || sqlite3_get_autocommit(db) == 0);
        }
    }
    if (ownTransaction && sqlite3_get_autocommit(db) == 0) {
        settleTransaction(true);
        outcome.rows.reset();
        outcome.laterRows.clear();
        outcome.recordsAffected = affected;
        if (error)
            *error = {kErrCommand, QStringLiteral("The batch began a transaction it did not commit; its changes were "
                                                  "rolled back.")};
        return outcome;
    }
    outcome.recordsAffected = affected;
    return outcome;
}

} // namespace

ExecOutcome SqliteSession::execute(const QString &sql, Error *error)
{
    std::lock_guard lock(m_mutex);
    ExecOutcome out = runStatements(shared_from_this(), translate(sql).toUtf8(), nullptr, error);
    refreshCatalogue();
    return out;
}

ExecOutcome SqliteSession::executeRowsLater(const QString &sql, qsizetype firstRows, Error *error)
{
    std::lock_guard lock(m_mutex);
    ExecOutcome out = runStatements(shared_from_this(), translate(sql).toUtf8(), nullptr, error,
                                    std::max<qsizetype>(0, firstRows));
    // A batch that changed a schema has the catalogue rewritten below: rows
    // that might read it are read first, as execute reads them.
    if (out.rows && !out.rows->isComplete() && schemaVersions(false) != m_catalogueVersions) {
        out.rows->fetchAll();
        if (out.rows->lastError()) {
            if (error)
                *error = out.rows->lastError();
            out.rows.reset();
        }
    }
    refreshCatalogue();
    return out;
}

ExecOutcome SqliteSession::callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error)
{
    std::lock_guard lock(m_mutex);
    QString definition;
    {
        sqlite3_stmt *raw = nullptr;
        const char *sql = "SELECT definition FROM main.korva_procedures WHERE name = ?1 COLLATE NOCASE";
        if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) == SQLITE_OK) {
            const QByteArray n = name.trimmed().toUtf8();
            sqlite3_bind_text(raw, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(raw) == SQLITE_ROW)
                definition = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0)));
        }
        sqlite3_finalize(raw);
    }
    if (definition.isEmpty()) {
        if (error)
            *error = {kErrCommand, QStringLiteral("Could not find stored procedure '%1'.").arg(name)};
        return {};
    }
    // Output is given only to parameters declared for it, as the server does.
    QSet<QString> outputs;
    {
        sqlite3_stmt *raw = nullptr;
        const char *sql = "SELECT pp.name FROM main.korva_procedure_parameters pp JOIN main.korva_procedures p "
                          "ON p.id = pp.procedure_id WHERE p.name = ?1 COLLATE NOCASE AND pp.is_output <> 0";
        if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) == SQLITE_OK) {
            const QByteArray n = name.trimmed().toUtf8();
            sqlite3_bind_text(raw, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            while (sqlite3_step(raw) == SQLITE_ROW)
                outputs.insert(
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0))).mid(1).toLower());
        }
        sqlite3_finalize(raw);
    }
    ProcedureState state;
    for (const ProcedureArgument &a : args) {
        QString bare = a.name.trimmed();
        if (bare.startsWith(u'@'))
            bare.remove(0, 1);
        if (a.output && !outputs.contains(bare.toLower())) {
            if (error)
                *error = {kErrCommand, QStringLiteral("The formal parameter \"@%1\" was not declared as an OUTPUT "
                                                      "parameter, but the actual parameter passed in requested output.")
                                           .arg(bare)};
            return {};
        }
        // Values come as text, which the statements convert as they need.
        state.variables.insert(bare.toLower(), a.value.isNull() ? QVariant() : QVariant(a.value.toString()));
    }
    // A procedure either completes or leaves the database as it was.
    sqlite3_exec(m_db, "SAVEPOINT korva_procedure", nullptr, nullptr, nullptr);
    Error e;
    ExecOutcome outcome = runStatements(shared_from_this(),
                                        translate(emulateProcedureStatements(procedureBody(definition))).toUtf8(),
                                        &state, &e);
    if (e) {
        sqlite3_exec(m_db, "ROLLBACK TO korva_procedure; RELEASE korva_procedure", nullptr, nullptr, nullptr);
        if (error)
            *error = e;
        return {};
    }
    sqlite3_exec(m_db, "RELEASE korva_procedure", nullptr, nullptr, nullptr);
    refreshCatalogue();
    for (const ProcedureArgument &a : args)
        if (a.output) {
            QString bare = a.name.trimmed();
            if (bare.startsWith(u'@'))
                bare.remove(0, 1);
            outcome.outputs.append({u'@' + bare, state.variables.value(bare.toLower())});
        }
    outcome.returnValue = state.returned.value_or(0);
    return outcome;
}

QList<ProcedureInfo> SqliteSession::procedures(Error *error)
{
    std::lock_guard lock(m_mutex);
    QList<ProcedureInfo> list;
    sqlite3_stmt *raw = nullptr;
    const char *sql = "SELECT id, name, definition FROM main.korva_procedures ORDER BY id";
    if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        // A database without procedures simply has none.
        sqlite3_finalize(raw);
        return list;
    }
    Statement procs(raw);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        ProcedureInfo p;
        p.id = sqlite3_column_int(raw, 0);
        p.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 1)));
        p.source = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 2)));
        list.append(p);
    }
    sqlite3_stmt *praw = nullptr;
    const char *psql = "SELECT name, type_name, length, is_output FROM main.korva_procedure_parameters "
                       "WHERE procedure_id = ?1 ORDER BY ordinal";
    if (sqlite3_prepare_v2(m_db, psql, -1, &praw, nullptr) != SQLITE_OK) {
        if (error)
            *error = lastError();
        return list;
    }
    Statement params(praw);
    for (ProcedureInfo &p : list) {
        sqlite3_reset(praw);
        sqlite3_bind_int(praw, 1, p.id);
        while (sqlite3_step(praw) == SQLITE_ROW) {
            ProcedureParameter par;
            par.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(praw, 0)));
            par.typeName = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(praw, 1)));
            par.length = sqlite3_column_int(praw, 2);
            par.output = sqlite3_column_int(praw, 3) != 0;
            p.parameters.append(par);
        }
    }
    return list;
}

bool SqliteSession::splitTableName(const QString &table, QString *schema, QString *name, Error *error) const
{
    *schema = QStringLiteral("main");
    const QStringList parts = sql::splitName(table);
    if (parts.isEmpty()) {
        if (error)
            *error = {kErrNoSuchObject, QStringLiteral("Invalid object name '%1'.").arg(table)};
        return false;
    }
    *name = parts.last();
    if (parts.size() >= 2) {
        const QString db = parts.first();
        if (db.compare(m_target.database, Qt::CaseInsensitive) != 0 && db.compare(u"main", Qt::CaseInsensitive) != 0)
            *schema = db;
    }
    return true;
}

bool SqliteSession::locateTable(const QString &table, QString *schema, QString *name, Error *error)
{
    if (!splitTableName(table, schema, name, error))
        return false;
    const QByteArray n = name->toUtf8();
    sqlite3_stmt *check = cachedStatement(
        QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type IN ('table','view') "
                       "AND name = ?1 COLLATE NOCASE")
            .arg(sql::quoteBracketed(*schema)));
    bool found = false;
    if (check) {
        sqlite3_bind_text(check, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
        found = sqlite3_step(check) == SQLITE_ROW;
        sqlite3_reset(check);
    }
    if (!found && error)
        *error = {kErrNoSuchObject, QStringLiteral("Invalid object name '%1'.").arg(*name)};
    return found;
}

QStringList SqliteSession::primaryKeyColumns(const QString &table, Error *error)
{
    std::lock_guard lock(m_mutex);
    QString schema, name;
    if (!locateTable(table, &schema, &name, error))
        return {};
    sqlite3_stmt *stmt = cachedStatement(
        QStringLiteral("SELECT name FROM pragma_table_info(?1, ?2) WHERE pk > 0 ORDER BY pk"));
    if (!stmt) {
        if (error)
            *error = lastError();
        return {};
    }
    const QByteArray n = name.toUtf8();
    const QByteArray sch = schema.toUtf8();
    sqlite3_bind_text(stmt, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, sch.constData(), int(sch.size()), SQLITE_TRANSIENT);
    QStringList keys;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        keys << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_reset(stmt);
    return keys;
}

QString SqliteSession::primaryKeyColumn(const QString &table, Error *error)
{
    std::lock_guard lock(m_mutex);
    QString schema, name;
    if (!splitTableName(table, &schema, &name, error))
        return {};
    // Whether the table is there and its key in one statement: each statement
    // outside a transaction is a read transaction of its own, and a table
    // load asks this every time.
    sqlite3_stmt *stmt = cachedStatement(
        QStringLiteral("SELECT name, pk FROM pragma_table_info(?1, ?2) ORDER BY pk = 0, cid LIMIT 1"));
    bool found = false;
    if (!stmt) {
        if (error)
            *error = {kErrNoSuchObject, QStringLiteral("Invalid object name '%1'.").arg(name)};
        return {};
    }
    const QByteArray n = name.toUtf8();
    const QByteArray sch = schema.toUtf8();
    sqlite3_bind_text(stmt, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, sch.constData(), int(sch.size()), SQLITE_TRANSIENT);
    QString key;
    // A table without a key still has a first column: it is there.
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        found = true;
        if (sqlite3_column_int(stmt, 1) > 0)
            key = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_reset(stmt);
    if (!found && error)
        *error = {kErrNoSuchObject, QStringLiteral("Invalid object name '%1'.").arg(name)};
    return found ? key : QString();
}

QStringList SqliteSession::primaryKeyColumnOfEach(const QStringList &tables)
{
    std::lock_guard lock(m_mutex);
    // All in one statement, as primaryKeyColumn asks it of one table: table
    // by table, each would be a read transaction of its own.
    QJsonArray names;
    for (const QString &table : tables) {
        QString schema, name;
        if (!splitTableName(table, &schema, &name, nullptr))
            schema = name = QString(); // no such table: no key
        names.append(QJsonArray{schema, name});
    }
    sqlite3_stmt *stmt = cachedStatement(QStringLiteral(
        "SELECT (SELECT CASE WHEN pk > 0 THEN name ELSE '' END FROM pragma_table_info(json_extract(j.value, '$[1]'), "
        "json_extract(j.value, '$[0]')) ORDER BY pk = 0, cid LIMIT 1) FROM json_each(?1) j ORDER BY j.key"));
    if (!stmt)
        return Session::primaryKeyColumnOfEach(tables);
    const QByteArray json = QJsonDocument(names).toJson(QJsonDocument::Compact);
    sqlite3_bind_text(stmt, 1, json.constData(), int(json.size()), SQLITE_TRANSIENT);
    QStringList keys;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        keys << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_reset(stmt);
    if (keys.size() != tables.size())
        return Session::primaryKeyColumnOfEach(tables);
    return keys;
}

} // namespace korva::db
