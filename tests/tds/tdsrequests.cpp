// What the stand-in does with the requests of a logged-in client: language
// batches, RPCs and transaction requests, answered through the embedded engine.

#include "tdsconnection.h"

#include <QtCore/QRegularExpression>

#include <sqlite3.h>

namespace korva::tds {

namespace {

using RE = QRegularExpression;
constexpr auto kCi = RE::CaseInsensitiveOption;

QString bare(QString name)
{
    name = name.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    if (name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    return name;
}

// The procedure a possibly qualified name ("db..sp_columns", "dbo.[csp_X]") calls.
QString procedureName(const QString &name)
{
    static const RE part(QStringLiteral("\\[[^\\]]*\\]|[^.\\[]+"));
    QString last;
    for (auto it = part.globalMatch(name); it.hasNext();)
        last = it.next().captured(0);
    return bare(last);
}

QByteArray descriptor(quint64 id)
{
    QByteArray b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = char(id >> (8 * i));
    return b;
}

Cell readCell(sqlite3_stmt *stmt, int i)
{
    Cell c;
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        c.kind = Cell::Integer;
        c.integer = sqlite3_column_int64(stmt, i);
        break;
    case SQLITE_FLOAT:
        c.kind = Cell::Real;
        c.real = sqlite3_column_double(stmt, i);
        break;
    case SQLITE_TEXT:
        c.kind = Cell::Text;
        c.bytes = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                             sqlite3_column_bytes(stmt, i));
        break;
    case SQLITE_BLOB:
        c.kind = Cell::Blob;
        c.bytes = QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, i)), sqlite3_column_bytes(stmt, i));
        break;
    default:
        break;
    }
    return c;
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

const QVariant *findBound(const QList<Bound> &bound, const QString &name)
{
    for (const Bound &b : bound)
        if (b.name.compare(name, Qt::CaseInsensitive) == 0)
            return &b.value;
    return nullptr;
}

Bound *boundVariable(QList<Bound> &bound, const QString &name)
{
    for (Bound &b : bound)
        if (b.name.compare(name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

// The parameters of a declaration "@P1 nvarchar(40), @P2 int OUTPUT", in
// order: name, type and whether it is an output.
QList<Bound> declaredParameters(const QString &declaration)
{
    static const RE parameter(QStringLiteral("@(\\w+)\\s+(\\w+(?:\\s*\\([^)]*\\))?)(\\s+OUT(?:PUT)?\\b)?"), kCi);
    QList<Bound> list;
    for (auto it = parameter.globalMatch(declaration); it.hasNext();) {
        const auto m = it.next();
        list << Bound{m.captured(1), QVariant(), !m.captured(3).isEmpty(), m.captured(2)};
    }
    return list;
}

// Where a statement given as text ends: at a ";" or line end outside quotes.
qsizetype statementEnd(const QString &text, qsizetype from)
{
    QChar quote;
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'[') {
            quote = u']';
        } else if (c == u';' || c == u'\n') {
            return i;
        }
    }
    return text.size();
}

QStringList splitArguments(const QString &text)
{
    QStringList parts;
    QString current;
    QChar quote;
    for (QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'[') {
            quote = u']';
        } else if (c == u',') {
            parts << current;
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty() || !parts.isEmpty())
        parts << current;
    return parts;
}

const RE &setPattern()
{
    static const RE re(QStringLiteral(
                           "SET\\s+(TRANSACTION\\s+ISOLATION\\s+LEVEL\\s+(?:READ\\s+UNCOMMITTED|READ\\s+COMMITTED|"
                           "REPEATABLE\\s+READ|SNAPSHOT|SERIALIZABLE)|([A-Z_]+(?:\\s*,\\s*[A-Z_]+)*)\\s+(ON|OFF|-?\\d+)"
                           ")\\b"),
                       kCi);
    return re;
}

} // namespace

ServerError Connection::fromEngine(const db::Error &e) const
{
    const QString &m = e.description;
    ServerError s{50000, m};
    if (m.startsWith(u"Invalid object name"))
        s.number = 208;
    else if (m.startsWith(u"Invalid column name"))
        s.number = 207;
    else if (m.startsWith(u"Incorrect syntax"))
        s.number = 102;
    else if (m.startsWith(u"Could not find stored procedure"))
        s.number = 2812;
    else if (m.startsWith(u"Lock request time out"))
        s.number = 1222;
    else if (m.contains(u"UNIQUE constraint failed"))
        s = {2627, QStringLiteral("Violation of UNIQUE KEY constraint. Cannot insert duplicate key. %1").arg(m), 14};
    else if (m.contains(u"FOREIGN KEY constraint failed"))
        s.number = 547;
    else if (m.contains(u"NOT NULL constraint failed"))
        s.number = 515;
    return s;
}

void Connection::sendError(const ServerError &e, quint8 doneToken, bool)
{
    out().message(kTokenError, e.number, e.state, e.severity, e.message, QStringLiteral("standin"), e.procedure, 1);
    done(doneToken, kDoneError, 0);
}

bool Connection::skipAllHeaders(Reader &r)
{
    const quint32 total = r.u32();
    if (r.failed() || total < 4 || total - 4 > quint32(r.remaining()))
        return false;
    const qsizetype end = r.pos() + total - 4;
    while (r.pos() < end) {
        const quint32 len = r.u32();
        r.u16();
        if (r.failed() || len < 6 || r.pos() + qsizetype(len) - 6 > end)
            return false;
        r.skip(len - 6);
    }
    return !r.failed() && r.pos() == end;
}

void Connection::installCatalogueViews()
{
    std::lock_guard lock(m_session->mutex());
    sqlite3 *db = m_session->handle();
    sqlite3_stmt *st = nullptr;
    bool procedures = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM main.sqlite_master WHERE type='table' AND name='korva_procedures'", -1,
                           &st, nullptr)
        == SQLITE_OK)
        procedures = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    QString sql = QStringLiteral(
        "CREATE TEMP VIEW korva_sys_types AS SELECT column1 AS user_type_id, column1 AS system_type_id, column2 AS "
        "name "
        "FROM (VALUES (36,'uniqueidentifier'),(48,'tinyint'),(52,'smallint'),(56,'int'),(127,'bigint'),(104,'bit'),"
        "(62,'float'),(59,'real'),(60,'money'),(61,'datetime'),(58,'smalldatetime'),(106,'decimal'),(108,'numeric'),"
        "(231,'nvarchar'),(239,'nchar'),(99,'ntext'),(167,'varchar'),(175,'char'),(35,'text'),(165,'varbinary'),"
        "(173,'binary'),(34,'image'));\n");
    if (procedures) {
        sql += QStringLiteral(
            "CREATE TEMP VIEW korva_sys_procedures AS SELECT id AS object_id, name COLLATE NOCASE AS name, 'P' AS "
            "type, "
            "1 AS schema_id FROM main.korva_procedures;\n"
            "CREATE TEMP VIEW korva_sys_sql_modules AS SELECT id AS object_id, definition FROM main.korva_procedures;\n"
            "CREATE TEMP VIEW korva_sys_parameters AS SELECT pp.procedure_id AS object_id, pp.name COLLATE NOCASE AS "
            "name, "
            "pp.ordinal AS parameter_id, t.user_type_id AS user_type_id, t.system_type_id AS system_type_id, "
            "(CASE WHEN pp.length < 0 THEN -1 WHEN lower(pp.type_name) IN ('nvarchar','nchar') THEN pp.length * 2 "
            "ELSE pp.length END) AS max_length, pp.is_output AS is_output "
            "FROM main.korva_procedure_parameters pp LEFT JOIN korva_sys_types t ON t.name = lower(pp.type_name);\n");
    } else {
        sql += QStringLiteral(
            "CREATE TEMP VIEW korva_sys_procedures AS SELECT 0 AS object_id, '' AS name, 'P' AS type, 1 AS schema_id "
            "WHERE 0;\n"
            "CREATE TEMP VIEW korva_sys_sql_modules AS SELECT 0 AS object_id, '' AS definition WHERE 0;\n"
            "CREATE TEMP VIEW korva_sys_parameters AS SELECT 0 AS object_id, '' AS name, 0 AS parameter_id, "
            "0 AS user_type_id, 0 AS system_type_id, 0 AS max_length, 0 AS is_output WHERE 0;\n");
    }
    sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

QString Connection::prepareText(const QString &sql) const
{
    static const RE sys(QStringLiteral("\\[?\\bsys\\]?\\.\\[?(procedures|sql_modules|parameters|types)\\b\\]?"), kCi);
    static const RE version(QStringLiteral("@@VERSION\\b"), kCi);
    static const RE spid(QStringLiteral("@@SPID\\b"), kCi);
    static const RE tranCount(QStringLiteral("@@TRANCOUNT\\b"), kCi);
    static const RE serverName(QStringLiteral("@@SERVERNAME\\b"), kCi);
    static const RE language(QStringLiteral("@@LANGUAGE\\b"), kCi);
    static const RE dbName(QStringLiteral("\\bdb_name\\s*\\(\\s*\\)"), kCi);
    QString s = sql;
    s.replace(sys, QStringLiteral("korva_sys_\\1"));
    s.replace(version, QStringLiteral("'KORVA TDS stand-in 11.0.3128.0'"));
    s.replace(spid, QString::number(m_spid));
    s.replace(tranCount, QString::number(m_tranCount));
    s.replace(serverName, QStringLiteral("'standin'"));
    s.replace(language, QStringLiteral("'us_english'"));
    s.replace(dbName, u'\'' + m_database + u'\'');
    return s;
}

// ---------------------------------------------------------------- transactions

bool Connection::beginTransaction(bool announce)
{
    if (m_tranCount == 0) {
        std::lock_guard lock(m_session->mutex());
        if (sqlite3_exec(m_session->handle(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
            sendError(fromEngine(m_session->lastError()), kTokenDone);
            return false;
        }
        ++m_transactionId;
        if (announce)
            out().envChangeBytes(8, descriptor(m_transactionId), QByteArray());
    }
    ++m_tranCount;
    return true;
}

bool Connection::endTransaction(bool commit, ServerError *error)
{
    if (m_tranCount == 0) {
        *error = commit
                     ? ServerError{3902, QStringLiteral(
                                             "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.")}
                     : ServerError{3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN "
                                                        "TRANSACTION.")};
        return false;
    }
    if (commit && m_tranCount > 1) {
        --m_tranCount;
        return true;
    }
    std::lock_guard lock(m_session->mutex());
    if (sqlite3_exec(m_session->handle(), commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = fromEngine(m_session->lastError());
        if (!sqlite3_get_autocommit(m_session->handle()))
            return false;
    }
    m_tranCount = 0;
    out().envChangeBytes(commit ? 9 : 10, QByteArray(), descriptor(m_transactionId));
    return true;
}

bool Connection::implicitBegin()
{
    if (m_implicit && m_tranCount == 0)
        return beginTransaction(true);
    return true;
}

void Connection::handleTransaction(const QByteArray &data)
{
    Reader r(data);
    const quint16 request = r.u16();
    bool cont = false;
    if (request == 5) {
        r.u8();
        r.skip(r.u8());
    } else if (request == 7 || request == 8) {
        r.skip(r.u8());
        cont = r.u8() != 0;
        if (cont) {
            r.u8();
            r.skip(r.u8());
        }
    } else {
        r.skip(r.remaining() + 1);
    }
    if (r.failed()) {
        dropNow();
        return;
    }
    static const char *names[] = {"BEGIN", "COMMIT", "ROLLBACK"};
    m_server.record(QStringLiteral("TRAN %1%2")
                        .arg(QLatin1String(names[request == 5   ? 0
                                                 : request == 7 ? 1
                                                                : 2]),
                             cont ? QStringLiteral(" AND BEGIN") : QString()));
    ServerError e;
    if (request == 5) {
        if (beginTransaction(true))
            done(kTokenDone, 0, 0);
    } else if (!endTransaction(request == 7, &e)) {
        sendError(e, kTokenDone);
    } else if (!cont || beginTransaction(true)) {
        done(kTokenDone, 0, 0);
    }
    finish();
}

void Connection::handleUnexpected(quint8 type)
{
    if (m_loggedIn) {
        m_out.data.clear();
        m_out.message(kTokenError, 4002, 1, 20,
                      QStringLiteral(
                          "The incoming tabular data stream (TDS) protocol stream is incorrect: packet type %1 "
                          "is not expected here.")
                          .arg(type),
                      QStringLiteral("standin"), QString(), 0);
        m_out.done(kTokenDone, kDoneError, 0, 0);
        sendPackets(true);
    }
    dropNow();
}

// ---------------------------------------------------------------- batches

void Connection::handleBatch(const QString &text)
{
    QList<Bound> none;
    runBatch(text, none, false);
    finish();
}

bool Connection::runBatch(const QString &text, QList<Bound> &bound, bool inProc)
{
    static const RE useRe(QStringLiteral("USE\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[A-Z_][A-Z0-9_]*)"), kCi);
    static const RE beginRe(QStringLiteral("BEGIN\\s+TRAN(?:SACTION)?\\b"), kCi);
    static const RE endRe(QStringLiteral(
                              "(IF\\s+@@TRANCOUNT\\s*>\\s*0\\s+)?(COMMIT|ROLLBACK)(?:\\s+(?:TRAN|TRANSACTION|WORK)\\b)?"
                              "(\\s+BEGIN\\s+TRAN(?:SACTION)?\\b)?"),
                          kCi);
    static const RE execRe(QStringLiteral("EXEC(?:UTE)?\\s+"), kCi);
    static const RE boundary(QStringLiteral(
                                 "(?:;|\\n)\\s*(?=SET\\s+(?:TRANSACTION\\s+ISOLATION|[A-Z_]+(?:\\s*,\\s*[A-Z_]+)*\\s+"
                                 "(?:ON|OFF|-?\\d+)\\b)|USE\\s|BEGIN\\s+TRAN|COMMIT\\b|ROLLBACK\\b|"
                                 "IF\\s+@@TRANCOUNT|EXEC(?:UTE)?\\s)"),
                             kCi);
    const quint8 token = inProc ? kTokenDoneInProc : kTokenDone;
    const auto anchored = [&](const RE &re, qsizetype at) {
        return re.match(text, at, RE::NormalMatch, RE::AnchorAtOffsetMatchOption);
    };
    qsizetype pos = 0;
    while (pos < text.size()) {
        // Blanks, separators and comments between statements.
        const QChar c = text.at(pos);
        if (c.isSpace() || c == u';') {
            ++pos;
            continue;
        }
        if (text.mid(pos, 2) == u"--") {
            const qsizetype nl = text.indexOf(u'\n', pos);
            pos = nl < 0 ? text.size() : nl + 1;
            continue;
        }
        if (text.mid(pos, 2) == u"/*") {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), pos + 2);
            pos = close < 0 ? text.size() : close + 2;
            continue;
        }
        if (m_attention || m_dead)
            return false;
        if (auto m = anchored(setPattern(), pos); m.hasMatch()) {
            const QString option = m.captured(2).toUpper();
            const bool on = m.captured(3).compare(u"ON", Qt::CaseInsensitive) == 0;
            if (option == u"NOCOUNT")
                m_noCount = on;
            else if (option == u"IMPLICIT_TRANSACTIONS")
                m_implicit = on;
            done(token, 0, 0);
            pos = m.capturedEnd(0);
            continue;
        }
        if (auto m = anchored(useRe, pos); m.hasMatch()) {
            ServerError e;
            if (!openDatabase(bare(m.captured(1)), &e)) {
                sendError(e, token);
                return false;
            }
            out().envChange(1, m_database, QString());
            out().message(kTokenInfo, 5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(m_database),
                          QStringLiteral("standin"), QString(), 1);
            done(token, 0, 0);
            pos = m.capturedEnd(0);
            continue;
        }
        if (auto m = anchored(beginRe, pos); m.hasMatch()) {
            if (!beginTransaction(true))
                return false;
            done(token, 0, 0);
            pos = m.capturedEnd(0);
            continue;
        }
        if (auto m = anchored(endRe, pos); m.hasMatch()) {
            pos = m.capturedEnd(0);
            const bool conditional = !m.captured(1).isEmpty();
            if (conditional && m_tranCount == 0) {
                done(token, 0, 0);
                continue;
            }
            ServerError e;
            if (!endTransaction(m.captured(2).compare(u"COMMIT", Qt::CaseInsensitive) == 0, &e)) {
                sendError(e, token);
                return false;
            }
            if (!m.captured(3).isEmpty() && !beginTransaction(true))
                return false;
            done(token, 0, 0);
            continue;
        }
        if (auto m = anchored(execRe, pos); m.hasMatch()) {
            const qsizetype end = statementEnd(text, m.capturedEnd(0));
            if (!runExec(text.mid(m.capturedEnd(0), end - m.capturedEnd(0)), bound, inProc))
                return false;
            pos = end;
            continue;
        }
        // Plain SQL, up to where a statement of the kinds above begins on a line of its own.
        const auto next = boundary.match(text, pos + 1);
        const qsizetype end = next.hasMatch() ? next.capturedEnd(0) : text.size();
        if (!runSql(text.mid(pos, end - pos), bound, inProc))
            return false;
        pos = end;
    }
    return true;
}

bool Connection::runSql(const QString &sql, const QList<Bound> &bound, bool inProc)
{
    const quint8 token = inProc ? kTokenDoneInProc : kTokenDone;
    std::lock_guard lock(m_session->mutex());
    sqlite3 *db = m_session->handle();
    const QByteArray text = m_session->translate(prepareText(sql)).toUtf8();
    const char *tail = text.constData();
    const char *end = tail + text.size();
    while (tail < end) {
        sqlite3_stmt *stmt = nullptr;
        const char *next = nullptr;
        if (sqlite3_prepare_v2(db, tail, int(end - tail), &stmt, &next) != SQLITE_OK) {
            sendError(fromEngine(m_session->lastError()), token);
            return false;
        }
        tail = next;
        if (!stmt)
            continue;
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int i = 1; i <= count; ++i) {
            const char *name = sqlite3_bind_parameter_name(stmt, i);
            const QString n = name ? QString::fromUtf8(name + 1) : QString();
            const QVariant *v = findBound(bound, n);
            if (!v) {
                sqlite3_finalize(stmt);
                sendError({137, QStringLiteral("Must declare the scalar variable \"@%1\".").arg(n), 15}, token);
                return false;
            }
            bindValue(stmt, i, *v);
        }
        if (!implicitBegin()) {
            sqlite3_finalize(stmt);
            return false;
        }
        const bool ok = streamStatement(stmt, inProc);
        sqlite3_finalize(stmt);
        if (!ok || m_attention || m_dead)
            return false;
    }
    return true;
}

bool Connection::streamStatement(sqlite3_stmt *stmt, bool inProc, const QStringList &declaredTypes)
{
    const quint8 token = inProc ? kTokenDoneInProc : kTokenDone;
    sqlite3 *db = m_session->handle();
    const int n = sqlite3_column_count(stmt);
    if (n == 0) {
        const sqlite3_int64 before = sqlite3_total_changes64(db);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sendError(fromEngine(m_session->lastError()), token);
            return false;
        }
        static const RE dml(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE|REPLACE|WITH)\\b"), kCi);
        const bool counts = dml.match(QString::fromUtf8(sqlite3_sql(stmt))).hasMatch();
        const quint64 changed = sqlite3_total_changes64(db) != before ? quint64(sqlite3_changes(db)) : 0;
        done(token, counts && !m_noCount ? kDoneCount : 0, counts ? changed : 0);
        return true;
    }
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        sendError(fromEngine(m_session->lastError()), token);
        return false;
    }
    QList<Cell> cells(n);
    if (rc == SQLITE_ROW)
        for (int i = 0; i < n; ++i)
            cells[i] = readCell(stmt, i);
    QList<Column> columns;
    for (int i = 0; i < n; ++i) {
        const char *decl = sqlite3_column_decltype(stmt, i);
        const QString declared = i < declaredTypes.size() ? declaredTypes[i]
                                 : decl                   ? QString::fromUtf8(decl)
                                                          : QString();
        columns << columnFor(QString::fromUtf8(sqlite3_column_name(stmt, i)), declared, cells[i]);
    }
    out().colMetadata(columns);
    quint64 rows = 0;
    while (rc == SQLITE_ROW) {
        out().row(columns, cells);
        ++rows;
        // Between packets, a client that has seen enough may ask to stop.
        if (m_out.data.size() >= m_packetSize) {
            if (!sendPackets(false) || pollAttention()) {
                sqlite3_reset(stmt);
                return false;
            }
        }
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            for (int i = 0; i < n; ++i)
                cells[i] = readCell(stmt, i);
    }
    if (rc != SQLITE_DONE) {
        sendError(fromEngine(m_session->lastError()), token);
        return false;
    }
    done(token, kDoneCount, rows);
    return true;
}

void Connection::sendRows(const QList<Column> &columns, const QList<QList<Cell>> &rows, bool inProc)
{
    out().colMetadata(columns);
    for (const QList<Cell> &row : rows)
        out().row(columns, row);
    done(inProc ? kTokenDoneInProc : kTokenDone, kDoneCount, quint64(rows.size()));
}

// ---------------------------------------------------------------- procedures

bool Connection::runExec(const QString &text, QList<Bound> &bound, bool inProc)
{
    const quint8 token = inProc ? kTokenDoneInProc : kTokenDone;
    // EXEC [@status =] name [arguments]
    static const RE nameRe(QStringLiteral(
        "^\\s*(?:@(\\w+)\\s*=\\s*)?((?:\\[[^\\]]+\\]|[\\w#$]+)(?:\\s*\\.\\s*(?:\\[[^\\]]*\\]|[\\w#$]*))*)"));
    const auto m = nameRe.match(text);
    if (!m.hasMatch()) {
        sendError({102, QStringLiteral("Incorrect syntax near 'EXEC'."), 15}, token);
        return false;
    }
    const QString status = m.captured(1);
    if (!status.isEmpty() && !boundVariable(bound, status)) {
        sendError({137, QStringLiteral("Must declare the scalar variable \"@%1\".").arg(status), 15}, token);
        return false;
    }
    const QString name = procedureName(m.captured(2));
    static const RE argRe(QStringLiteral("^\\s*(?:@(\\w+)\\s*=\\s*)?(.*?)(\\s+(?:OUT|OUTPUT))?\\s*$"),
                          kCi | RE::DotMatchesEverythingOption);
    static const RE number(QStringLiteral("^[+-]?\\d+$"));
    static const RE real(QStringLiteral("^[+-]?(\\d+\\.\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    QList<Bound> args;
    QStringList targets; // per argument, the variable an output goes back to
    for (const QString &arg : splitArguments(text.mid(m.capturedEnd(0)))) {
        const auto a = argRe.match(arg);
        QString v = a.captured(2).trimmed();
        if (v.isEmpty()) {
            sendError({102, QStringLiteral("Incorrect syntax near ','."), 15}, token);
            return false;
        }
        Bound b{a.captured(1), QVariant()};
        b.output = !a.captured(3).isEmpty();
        if (v.compare(u"DEFAULT", Qt::CaseInsensitive) == 0)
            continue;
        if (b.output && !v.startsWith(u'@')) {
            sendError({179,
                       QStringLiteral("Cannot use the OUTPUT option when passing a constant to a stored "
                                      "procedure."),
                       15},
                      token);
            return false;
        }
        targets << (b.output ? v.mid(1) : QString());
        if ((v.startsWith(u"N'", Qt::CaseInsensitive) || v.startsWith(u'\'')) && v.endsWith(u'\'') && v.size() >= 2) {
            v = v.mid(v.startsWith(u'\'') ? 1 : 2);
            v.chop(1);
            b.value = v.replace(QStringLiteral("''"), QStringLiteral("'"));
        } else if (v.compare(u"NULL", Qt::CaseInsensitive) == 0) {
        } else if (v.startsWith(u'@')) {
            const QVariant *value = findBound(bound, v.mid(1));
            if (!value) {
                sendError({137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(v), 15}, token);
                return false;
            }
            b.value = *value;
        } else if (number.match(v).hasMatch()) {
            b.value = v.toLongLong();
        } else if (real.match(v).hasMatch()) {
            b.value = v.toDouble();
        } else {
            b.value = bare(v);
        }
        args << b;
    }
    db::ExecOutcome outcome;
    if (!callProcedure(name, args, inProc, &outcome))
        return false;
    // The outputs and the status go to the variables named for them.
    int output = 0;
    for (qsizetype i = 0; i < args.size(); ++i)
        if (args[i].output) {
            if (Bound *target = boundVariable(bound, targets[i]))
                target->value = outcome.outputs.value(output).value;
            ++output;
        }
    if (!status.isEmpty())
        boundVariable(bound, status)->value = outcome.returnValue.value_or(0);
    return true;
}

bool Connection::callProcedure(const QString &name, const QList<Bound> &args, bool inProc, db::ExecOutcome *result)
{
    const quint8 doneToken = inProc ? kTokenDoneInProc : kTokenDoneProc;
    QStringList parameters;
    bool found = false;
    {
        std::lock_guard lock(m_session->mutex());
        sqlite3 *db = m_session->handle();
        sqlite3_stmt *st = nullptr;
        const QByteArray n = name.toUtf8();
        if (sqlite3_prepare_v2(db,
                               "SELECT pp.name FROM main.korva_procedures p LEFT JOIN main.korva_procedure_parameters "
                               "pp "
                               "ON pp.procedure_id = p.id WHERE p.name = ?1 COLLATE NOCASE ORDER BY pp.ordinal",
                               -1, &st, nullptr)
            == SQLITE_OK) {
            sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            while (sqlite3_step(st) == SQLITE_ROW) {
                found = true;
                if (const unsigned char *p = sqlite3_column_text(st, 0))
                    parameters << QString::fromUtf8(reinterpret_cast<const char *>(p));
            }
        }
        sqlite3_finalize(st);
    }
    if (!found) {
        sendError({2812, QStringLiteral("Could not find stored procedure '%1'.").arg(name)}, doneToken);
        return false;
    }
    // Named values go to the parameter of that name, the others in declaration order.
    QList<db::ProcedureArgument> list;
    int position = 0;
    for (const Bound &a : args) {
        QString target;
        if (a.byDefault && a.name.isEmpty()) {
            ++position;
            continue;
        }
        if (a.name.isEmpty()) {
            if (position >= parameters.size()) {
                sendError({8144, QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(name),
                           16, 4, name},
                          doneToken);
                return false;
            }
            target = parameters[position++];
        } else {
            for (const QString &p : parameters)
                if (p.compare(u'@' + a.name, Qt::CaseInsensitive) == 0)
                    target = p;
            if (target.isEmpty()) {
                sendError({8145, QStringLiteral("@%1 is not a parameter for procedure %2.").arg(a.name, name), 16, 2,
                           name},
                          doneToken);
                return false;
            }
        }
        list << db::ProcedureArgument{target.mid(1), 0, a.value, a.output};
    }
    if (!implicitBegin())
        return false;
    db::Error e;
    db::ExecOutcome outcome = m_session->callProcedure(name, list, &e);
    if (e) {
        ServerError s = fromEngine(e);
        s.procedure = name;
        if (e.description.startsWith(u"The formal parameter"))
            s.number = 8162;
        sendError(s, doneToken);
        return false;
    }
    // Every result set, in the order the procedure gave them.
    std::vector<const db::ResultSet *> sets;
    if (outcome.rows)
        sets.push_back(outcome.rows.get());
    for (const auto &later : outcome.laterRows)
        sets.push_back(later.get());
    for (const db::ResultSet *rs : sets) {
        const db::RowStore &store = rs->rows();
        QList<Column> columns;
        for (int c = 0; c < rs->fieldCount(); ++c)
            columns << columnForValue(rs->columns().value(c), store.rowCount() ? store.value(0, c) : QVariant());
        QList<QList<Cell>> rows;
        for (qsizetype r = 0; r < store.rowCount(); ++r) {
            QList<Cell> row;
            for (int c = 0; c < rs->fieldCount(); ++c)
                row << cellFromVariant(store.value(r, c));
            rows << row;
        }
        sendRows(columns, rows, true);
    }
    if (outcome.recordsAffected >= 0)
        done(kTokenDoneInProc, m_noCount ? 0 : kDoneCount, quint64(outcome.recordsAffected));
    if (!inProc) {
        // A procedure called by RPC: its status, then its output parameters.
        out().returnStatus(qint32(outcome.returnValue.value_or(0)));
        int output = 0;
        for (qsizetype i = 0; i < args.size(); ++i)
            if (args[i].output) {
                const db::ProcedureValue returned = outcome.outputs.value(output++);
                out().returnValue(quint16(i), returned.name, columnForValue(QString(), returned.value),
                                  cellFromVariant(returned.value));
            }
        done(kTokenDoneProc, 0, 0);
    }
    if (result)
        *result = std::move(outcome);
    return true;
}

// ---------------------------------------------------------------- RPC

void Connection::handleRpc(const QByteArray &data)
{
    Reader r(data);
    const quint16 nameLength = r.u16();
    QString name;
    int procId = 0;
    if (nameLength == 0xFFFF)
        procId = r.u16();
    else
        name = r.utf16(nameLength);
    r.u16(); // option flags
    QList<RpcParameter> params;
    while (!r.failed() && !r.atEnd()) {
        RpcParameter p;
        p.name = r.utf16(r.u8());
        p.output = (r.u8() & 0x01) != 0;
        if (!readParameterValue(r, &p)) {
            dropNow();
            return;
        }
        params << p;
    }
    if (r.failed()) {
        dropNow();
        return;
    }
    static const QHash<int, QString> known{{10, QStringLiteral("sp_executesql")},
                                           {11, QStringLiteral("sp_prepare")},
                                           {12, QStringLiteral("sp_execute")},
                                           {13, QStringLiteral("sp_prepexec")},
                                           {15, QStringLiteral("sp_unprepare")}};
    if (procId)
        name = known.value(procId, QStringLiteral("#%1").arg(procId));
    QStringList shown;
    for (const RpcParameter &p : params)
        shown << (p.name.isEmpty() ? QString() : p.name + u'=') + displayValue(p.value);
    m_server.record(QStringLiteral("RPC %1 %2").arg(name, shown.join(QStringLiteral(", "))).trimmed());

    const QString proc = procedureName(name).toLower();
    auto values = [&](qsizetype from, const QString &declaration) {
        const QList<Bound> declared = declaredParameters(declaration);
        QList<Bound> bound;
        for (qsizetype i = from; i < params.size(); ++i) {
            QString n = params[i].name.mid(1);
            if (n.isEmpty())
                n = declared.value(i - from).name;
            Bound b{n, params[i].value, params[i].output};
            for (const Bound &d : declared)
                if (d.name.compare(n, Qt::CaseInsensitive) == 0)
                    b.declaredType = d.declaredType;
            bound << b;
        }
        return bound;
    };
    // The statement's output parameters go back with the values it gave them.
    auto returnOutputs = [&](qsizetype from, const QList<Bound> &bound) {
        for (qsizetype i = 0; i < bound.size(); ++i)
            if (bound[i].output) {
                const Cell cell = cellFromVariant(bound[i].value);
                out().returnValue(quint16(from + i), u'@' + bound[i].name,
                                  columnFor(QString(), bound[i].declaredType, cell), cell);
            }
    };
    auto endProc = [&](bool ok) {
        if (m_attention)
            return;
        if (ok)
            out().returnStatus(0);
        done(kTokenDoneProc, ok ? 0 : kDoneError, 0);
    };
    if (proc == u"sp_executesql") {
        if (params.isEmpty()) {
            sendError({201,
                       QStringLiteral("Procedure or function 'sp_executesql' expects parameter '@statement', which was "
                                      "not supplied.")},
                      kTokenDoneProc);
        } else {
            const QString declaration = params.size() > 1 ? params[1].value.toString() : QString();
            QList<Bound> bound = values(2, declaration);
            const bool ok = runBatch(params[0].value.toString(), bound, true);
            if (ok && !m_attention) {
                out().returnStatus(0);
                returnOutputs(2, bound);
                done(kTokenDoneProc, 0, 0);
            } else {
                endProc(false);
            }
        }
    } else if (proc == u"sp_prepare" || proc == u"sp_prepexec") {
        if (params.size() < 3) {
            sendError({201,
                       QStringLiteral("Procedure or function '%1' expects parameter '@stmt', which was not supplied.")
                           .arg(proc)},
                      kTokenDoneProc);
        } else {
            const int handle = m_nextHandle++;
            const QString declaration = params[1].value.toString();
            const QString statement = params[2].value.toString();
            m_prepared.insert(handle, {declaration, statement});
            bool ok = true;
            QList<Bound> bound = values(3, declaration);
            if (proc == u"sp_prepexec")
                ok = runBatch(statement, bound, true);
            if (!m_attention) {
                if (ok)
                    out().returnStatus(0);
                out().returnValueInt(0, params[0].name, handle);
                done(kTokenDoneProc, ok ? 0 : kDoneError, 0);
            }
        }
    } else if (proc == u"sp_execute" || proc == u"sp_unprepare") {
        const int handle = params.isEmpty() ? 0 : params[0].value.toInt();
        if (!m_prepared.contains(handle)) {
            sendError({8179, QStringLiteral("Could not find prepared statement with handle %1.").arg(handle)},
                      kTokenDoneProc);
        } else if (proc == u"sp_unprepare") {
            m_prepared.remove(handle);
            endProc(true);
        } else {
            const auto &[declaration, statement] = m_prepared.value(handle);
            QList<Bound> bound = values(1, declaration);
            endProc(runBatch(statement, bound, true));
        }
    } else if (proc == u"sp_pkeys" || proc == u"sp_columns") {
        QList<Bound> args;
        for (const RpcParameter &p : params)
            args << Bound{p.name.mid(1), p.value};
        if (catalogueProcedure(proc, args))
            endProc(true);
    } else {
        QList<Bound> args;
        for (const RpcParameter &p : params) {
            args << Bound{p.name.mid(1), p.value, p.output};
            // A parameter of no type (NULLTYPE) holds a place and passes nothing.
            args.last().byDefault = p.type == 0x1F;
        }
        callProcedure(procedureName(name), args, false);
    }
    finish();
}

bool Connection::catalogueProcedure(const QString &proc, const QList<Bound> &args)
{
    const QVariant *table = findBound(args, QStringLiteral("table_name"));
    if (!table) {
        sendError({201,
                   QStringLiteral("Procedure or function '%1' expects parameter '@table_name', which was not supplied.")
                       .arg(proc)},
                  kTokenDoneProc);
        return false;
    }
    // Patterns escape "_" and "%" as [_] and [%]; SQLite's LIKE takes them with an escape character.
    QString pattern = table->toString();
    pattern.replace(QStringLiteral("\\"), QStringLiteral("\\\\"))
        .replace(QStringLiteral("[_]"), QStringLiteral("\\_"))
        .replace(QStringLiteral("[%]"), QStringLiteral("\\%"));
    const bool pkeys = proc == u"sp_pkeys";
    auto text = [](const QString &s) {
        Cell c;
        c.kind = s.isNull() ? Cell::Null : Cell::Text;
        c.bytes = s.toUtf8();
        return c;
    };
    auto integer = [](qint64 v) {
        Cell c;
        c.kind = Cell::Integer;
        c.integer = v;
        return c;
    };
    auto col = [](const char *name, WireType t, int size) {
        Column c;
        c.name = QString::fromLatin1(name);
        c.type = t;
        c.size = size;
        return c;
    };
    const Column sysname = col("", WireType::NVarChar, 256);
    QList<Column> columns;
    for (const char *n : {"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME"}) {
        Column c = sysname;
        c.name = QString::fromLatin1(n);
        columns << c;
    }
    if (pkeys) {
        columns << col("KEY_SEQ", WireType::Int, 2) << col("PK_NAME", WireType::NVarChar, 256);
    } else {
        columns << col("DATA_TYPE", WireType::Int, 2) << col("TYPE_NAME", WireType::NVarChar, 256)
                << col("PRECISION", WireType::Int, 4) << col("LENGTH", WireType::Int, 4)
                << col("SCALE", WireType::Int, 2) << col("RADIX", WireType::Int, 2) << col("NULLABLE", WireType::Int, 2)
                << col("REMARKS", WireType::VarChar, 254) << col("COLUMN_DEF", WireType::NVarChar, 8000)
                << col("SQL_DATA_TYPE", WireType::Int, 2) << col("SQL_DATETIME_SUB", WireType::Int, 2)
                << col("CHAR_OCTET_LENGTH", WireType::Int, 4) << col("ORDINAL_POSITION", WireType::Int, 4)
                << col("IS_NULLABLE", WireType::VarChar, 254) << col("SS_DATA_TYPE", WireType::Int, 1);
    }
    QList<QList<Cell>> rows;
    {
        std::lock_guard lock(m_session->mutex());
        sqlite3 *db = m_session->handle();
        sqlite3_stmt *st = nullptr;
        const char *sql =
            "SELECT m.name, c.name, c.type, c.\"notnull\", c.pk, c.cid, c.dflt_value FROM main.sqlite_master m "
            "JOIN pragma_table_info(m.name) c WHERE m.type IN ('table','view') AND m.name LIKE ?1 ESCAPE '\\' "
            "AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY m.name, c.cid";
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
            sendError(fromEngine(m_session->lastError()), kTokenDoneProc);
            return false;
        }
        const QByteArray p = pattern.toUtf8();
        sqlite3_bind_text(st, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
        QList<QPair<int, QList<Cell>>> keyed;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto str = [&](int i) {
                const unsigned char *t = sqlite3_column_text(st, i);
                return t ? QString::fromUtf8(reinterpret_cast<const char *>(t)) : QString();
            };
            const QString tableName = str(0), column = str(1), type = str(2).toLower();
            QList<Cell> row{text(m_database), text(QStringLiteral("dbo")), text(tableName), text(column)};
            if (pkeys) {
                const int seq = sqlite3_column_int(st, 4);
                if (seq <= 0)
                    continue;
                row << integer(seq) << text(QStringLiteral("PK_") + tableName);
                keyed << qMakePair(seq, row);
                continue;
            }
            const Column c = columnFor(column, type, Cell());
            static const QHash<QString, int> odbcTypes{{"int", 4},
                                                       {"integer", -5},
                                                       {"bigint", -5},
                                                       {"smallint", 5},
                                                       {"tinyint", -6},
                                                       {"bit", -7},
                                                       {"float", 6},
                                                       {"real", 7},
                                                       {"money", 3},
                                                       {"decimal", 3},
                                                       {"numeric", 2},
                                                       {"datetime", 93},
                                                       {"uniqueidentifier", -11},
                                                       {"nvarchar", -9},
                                                       {"nchar", -8},
                                                       {"ntext", -10},
                                                       {"varchar", 12},
                                                       {"char", 1},
                                                       {"text", -1},
                                                       {"varbinary", -3},
                                                       {"binary", -2},
                                                       {"image", -4}};
            const QString base = type.section(u'(', 0, 0).trimmed();
            const int odbc = odbcTypes.value(base, -9);
            const int length = c.size < 0 ? 0x7FFFFFFF : c.size;
            const int precision = c.type == WireType::NVarChar  ? (c.size < 0 ? 0x3FFFFFFF : c.size / 2)
                                  : c.type == WireType::Decimal ? c.precision
                                                                : length;
            const bool nullable = sqlite3_column_int(st, 3) == 0 && sqlite3_column_int(st, 4) == 0;
            row << integer(odbc) << text(base) << integer(precision) << integer(length)
                << (c.type == WireType::Decimal ? integer(c.scale) : Cell()) << integer(10) << integer(nullable ? 1 : 0)
                << Cell() << text(str(6)) << integer(odbc == 93 ? 9 : odbc) << (odbc == 93 ? integer(3) : Cell())
                << (c.type == WireType::NVarChar || c.type == WireType::VarChar || c.type == WireType::VarBinary
                        ? integer(length)
                        : Cell())
                << integer(sqlite3_column_int(st, 5) + 1)
                << text(nullable ? QStringLiteral("YES") : QStringLiteral("NO")) << integer(0);
            rows << row;
        }
        sqlite3_finalize(st);
        std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &k : keyed)
            rows << k.second;
    }
    sendRows(columns, rows, true);
    return true;
}

} // namespace korva::tds
