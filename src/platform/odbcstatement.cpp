// The ODBC engine's statements: running them, reading their rows in blocks,
// and writing an edited cell back.

#include "platform/odbcinternal.h"

#include "platform/rowedit.h"
#include "platform/sqlquote.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>

#include <atomic>
#include <cstring>

namespace korva::db {

using namespace odbc;

namespace {

// ---- text --------------------------------------------------------------------

// UTF-16 to UTF-8 into a buffer that is reused from cell to cell.
void toUtf8(const char16_t *p, std::size_t n, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
}


// ---- reading rows ------------------------------------------------------------

enum class Kind { Integer, Real, Text, Binary };

Kind kindOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return Kind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return Kind::Real;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return Kind::Binary;
    default:
        return Kind::Text;
    }
}

bool isLong(SQLSMALLINT sqlType, SQLULEN size)
{
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR || sqlType == SQL_LONGVARBINARY || size == 0
           || size > 4000;
}

// What a cell's bound text column needs: a fixed width for the kinds whose
// size the driver does not report as characters.
SQLULEN textChars(SQLSMALLINT sqlType, SQLULEN size)
{
    switch (sqlType) {
    case SQL_GUID:
        return 36;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
        return 40;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return size + 3;
    default:
        return size;
    }
}

struct Column
{
    QString name;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    Kind kind = Kind::Text;
    SQLLEN width = 0; // bytes per row in the bound buffer
    std::vector<char> buffer;
    std::vector<SQLLEN> indicator;
    QString baseTable;
    QString baseColumn;
};

QStringList describe(SQLHSTMT stmt, std::vector<Column> &columns, bool withBase)
{
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    QStringList names;
    columns.resize(std::size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        Column &c = columns[std::size_t(i)];
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0, decimals = 0, nullable = 0;
        SQLDescribeColW(stmt, SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)), &nameLength, &c.sqlType, &c.size,
                        &decimals, &nullable);
        c.name = fromWide(name, std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        c.kind = kindOf(c.sqlType);
        if (withBase) {
            SQLWCHAR text[512] = {};
            SQLSMALLINT length = 0;
            if (SQL_SUCCEEDED(SQLColAttributeW(stmt, SQLUSMALLINT(i + 1), SQL_DESC_BASE_TABLE_NAME, text, sizeof text,
                                               &length, nullptr)))
                c.baseTable = fromWide(text, length / qsizetype(sizeof(SQLWCHAR)));
            length = 0;
            if (SQL_SUCCEEDED(SQLColAttributeW(stmt, SQLUSMALLINT(i + 1), SQL_DESC_BASE_COLUMN_NAME, text, sizeof text,
                                               &length, nullptr)))
                c.baseColumn = fromWide(text, length / qsizetype(sizeof(SQLWCHAR)));
            if (c.baseColumn.isEmpty())
                c.baseColumn = c.name;
        }
        names << c.name;
    }
    return names;
}

// The table a "SELECT ... FROM table [WHERE ...] [ORDER BY ...]" reads, as
// a bare name of the connection's database; empty for anything else (joins,
// several tables, subqueries, another database's table).
QString singleTableOf(const QString &sql, const QString &database)
{
    static const QRegularExpression form(
        QStringLiteral(
            R"(^\s*select\s+(?:(?!\bfrom\b).)*?\bfrom\s+((?:\[[^\]]*\]|[\w#@$]+)(?:\s*\.\s*(?:\[[^\]]*\]|[\w#@$]+|))*)\s*(?:$|\bwhere\b|\border\b))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = form.match(sql);
    if (!m.hasMatch())
        return {};
    const QString rest = sql.mid(m.capturedEnd(1));
    static const QRegularExpression other(QStringLiteral(R"(\b(join|from|union|select)\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (rest.contains(other))
        return {};
    const QStringList parts = sql::splitName(m.captured(1).trimmed());
    if (parts.isEmpty() || parts.size() > 3)
        return {};
    if (parts.size() >= 2 && !parts[parts.size() - 2].isEmpty()
        && parts[parts.size() - 2].compare(u"dbo", Qt::CaseInsensitive) != 0)
        return {};
    if (parts.size() == 3 && parts[0].compare(database, Qt::CaseInsensitive) != 0)
        return {};
    return parts.last();
}

class OdbcRowSource final : public RowSource
{
public:
    OdbcRowSource(std::shared_ptr<OdbcSession> session, SQLHDBC dbc, SQLHSTMT stmt, bool updatable,
                  bool cancelWhileFetching, bool utf8Text, const QString &sql)
        : m_session(std::move(session)), m_dbc(dbc), m_stmt(stmt), m_cancelWhileFetching(cancelWhileFetching),
          m_utf8Text(utf8Text)
    {
        m_names = describe(stmt, m_columns, updatable);
        // A server names a column's table only in browse mode; the rows of a
        // query over one table are that table's.
        if (updatable
            && std::all_of(m_columns.begin(), m_columns.end(), [](const Column &c) { return c.baseTable.isEmpty(); }))
            if (const QString table = singleTableOf(sql, m_session->target().database); !table.isEmpty())
                for (Column &c : m_columns)
                    c.baseTable = table;
        bool block = !m_columns.empty();
        SQLLEN rowBytes = 0;
        for (const Column &c : m_columns)
            if (isLong(c.sqlType, textChars(c.sqlType, c.size)) && c.kind != Kind::Integer && c.kind != Kind::Real)
                block = false;
        if (block) {
            for (Column &c : m_columns) {
                c.width = c.kind == Kind::Integer  ? SQLLEN(sizeof(SQLBIGINT))
                          : c.kind == Kind::Real   ? SQLLEN(sizeof(double))
                          : c.kind == Kind::Binary ? SQLLEN(c.size)
                          : m_utf8Text             ? SQLLEN(textChars(c.sqlType, c.size) * 4 + 1)
                                                   : SQLLEN((textChars(c.sqlType, c.size) + 1) * sizeof(SQLWCHAR));
                rowBytes += c.width + SQLLEN(sizeof(SQLLEN));
            }
            // A few hundred rows a block, fewer when the rows are wide.
            m_blockRows = SQLULEN(std::clamp<SQLLEN>(SQLLEN(1 << 20) / std::max<SQLLEN>(rowBytes, 1), 1, 256));
            bool ready = SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE,
                                                      reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0))
                         && SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE,
                                                         reinterpret_cast<SQLPOINTER>(m_blockRows), 0))
                         && SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &m_rowsFetched, 0));
            for (std::size_t i = 0; ready && i < m_columns.size(); ++i) {
                Column &c = m_columns[i];
                c.buffer.resize(std::size_t(c.width) * m_blockRows);
                c.indicator.resize(m_blockRows);
                const SQLSMALLINT cType = c.kind == Kind::Integer  ? SQL_C_SBIGINT
                                          : c.kind == Kind::Real   ? SQL_C_DOUBLE
                                          : c.kind == Kind::Binary ? SQL_C_BINARY
                                          : m_utf8Text             ? SQL_C_CHAR
                                                                   : SQL_C_WCHAR;
                ready = SQL_SUCCEEDED(
                    SQLBindCol(stmt, SQLUSMALLINT(i + 1), cType, c.buffer.data(), c.width, c.indicator.data()));
            }
            // A driver that will not read in blocks is read cell by cell.
            if (!ready) {
                SQLFreeStmt(stmt, SQL_UNBIND);
                SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
                SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
                m_blockRows = 1;
                block = false;
            }
        }
        m_block = block;
    }

    ~OdbcRowSource() override
    {
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        m_session->giveBack(m_dbc);
    }

    QStringList columns() const override { return m_names; }
    bool atEnd() const override { return m_done.load(); }
    void cancel() override
    {
        // The fetch stops before its next block and cancels the statement on
        // its own thread: FreeTDS 1.3, cancelled from another thread while it
        // reads rows, can leave that read waiting for ever.
        m_cancelled = true;
    }

    qsizetype fetch(RowStore &store, qsizetype maxRows, Error *error) override
    {
        qsizetype added = 0;
        while (added < maxRows && !m_done) {
            if (m_next >= m_inBlock && !nextBlock(error))
                break;
            if (!appendRow(store, error))
                break;
            ++m_next;
            ++added;
        }
        return added;
    }

    bool updateCell(const QVariantList &row, int column, const QVariant &value, Error *error) override;

private:
    // The error of the statement's last call; a connection that broke is not used again.
    Error failure() { return diagnoseOn(*m_session, m_dbc, SQL_HANDLE_STMT, m_stmt).error; }

    bool fail(Error *error, const Error &e)
    {
        m_done = true;
        if (error)
            *error = e;
        return false;
    }

    bool nextBlock(Error *error)
    {
        if (m_cancelled) {
            // The server stops sending the rows left.
            if (m_cancelWhileFetching)
                SQLCancel(m_stmt);
            return fail(error, {kErrCommand, QStringLiteral("Operation cancelled by the user.")});
        }
        m_rowsFetched = 0;
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_NO_DATA) {
            m_done = true;
            return false;
        }
        if (!SQL_SUCCEEDED(rc))
            return fail(error, m_cancelled ? Error{kErrCommand, QStringLiteral("Operation cancelled by the user.")}
                                           : failure());
        m_next = 0;
        if (m_block) {
            m_inBlock = m_rowsFetched;
            // A value longer than its column's declared size would be cut: say so instead.
            // A cut value of a length the driver does not know (SQL_NO_TOTAL) is one too.
            for (const Column &c : m_columns)
                for (SQLULEN r = 0; r < m_inBlock; ++r)
                    if (c.indicator[r] != SQL_NULL_DATA && c.kind != Kind::Integer && c.kind != Kind::Real
                        && (c.indicator[r] < 0
                            || c.indicator[r]
                                       + SQLLEN(c.kind != Kind::Text ? 0
                                                : m_utf8Text         ? 1
                                                                     : sizeof(SQLWCHAR))
                                   > c.width))
                        return fail(error,
                                    {kErrCommand, QStringLiteral("A value of column %1 is longer than the column's "
                                                                 "declared size; the rows cannot be read in blocks.")
                                                      .arg(c.name)});
        } else {
            m_inBlock = 1;
            if (!readRowByCell(error))
                return false;
        }
        return true;
    }

    // A row with long columns: each cell read whole, in pieces.
    bool readRowByCell(Error *error)
    {
        m_cells.resize(m_columns.size());
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            Cell &cell = m_cells[i];
            const Column &c = m_columns[i];
            cell.null = false;
            cell.bytes.clear();
            const SQLSMALLINT cType = c.kind == Kind::Integer  ? SQL_C_SBIGINT
                                      : c.kind == Kind::Real   ? SQL_C_DOUBLE
                                      : c.kind == Kind::Binary ? SQL_C_BINARY
                                                               : SQL_C_WCHAR;
            if (c.kind == Kind::Integer || c.kind == Kind::Real) {
                SQLLEN ind = 0;
                char value[8] = {};
                const SQLRETURN rc = SQLGetData(m_stmt, SQLUSMALLINT(i + 1), cType, value, sizeof value, &ind);
                if (!SQL_SUCCEEDED(rc))
                    return fail(error, failure());
                cell.null = ind == SQL_NULL_DATA;
                cell.bytes.assign(value, value + 8);
                continue;
            }
            char piece[16384];
            for (;;) {
                SQLLEN ind = 0;
                const SQLRETURN rc = SQLGetData(m_stmt, SQLUSMALLINT(i + 1), cType, piece, sizeof piece, &ind);
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc))
                    return fail(error, failure());
                if (ind == SQL_NULL_DATA) {
                    cell.null = true;
                    break;
                }
                // Text pieces end in a terminator that is not data.
                const SQLLEN room = SQLLEN(sizeof piece) - (c.kind == Kind::Text ? SQLLEN(sizeof(SQLWCHAR)) : 0);
                const SQLLEN got = (ind == SQL_NO_TOTAL || ind > room) ? room : ind;
                cell.bytes.insert(cell.bytes.end(), piece, piece + got);
                if (rc == SQL_SUCCESS)
                    break;
            }
        }
        return true;
    }

    bool appendRow(RowStore &store, Error *error)
    {
        store.beginRow();
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            const Column &c = m_columns[i];
            const char *data;
            SQLLEN length;
            if (m_block) {
                if (c.indicator[m_next] == SQL_NULL_DATA) {
                    store.addNull();
                    continue;
                }
                data = c.buffer.data() + std::size_t(c.width) * m_next;
                length = c.indicator[m_next];
            } else {
                if (m_cells[i].null) {
                    store.addNull();
                    continue;
                }
                data = m_cells[i].bytes.data();
                length = SQLLEN(m_cells[i].bytes.size());
            }
            switch (c.kind) {
            case Kind::Integer: {
                SQLBIGINT v;
                std::memcpy(&v, data, sizeof v);
                store.addInteger(v);
                break;
            }
            case Kind::Real: {
                double v;
                std::memcpy(&v, data, sizeof v);
                store.addReal(v);
                break;
            }
            case Kind::Binary:
                store.addBlob(data, length);
                break;
            case Kind::Text:
                // Bound as text the driver already gives in UTF-8, or as UTF-16 to convert.
                if (m_block && m_utf8Text) {
                    store.addText(data, length);
                    break;
                }
                toUtf8(reinterpret_cast<const char16_t *>(data), std::size_t(length) / sizeof(char16_t), m_utf8);
                store.addText(m_utf8.data(), qsizetype(m_utf8.size()));
                break;
            }
        }
        if (!store.endRow())
            return fail(error,
                        {kErrCommand, QStringLiteral("A row holds more than %1 MB of data, more than can be shown.")
                                          .arg((RowStore::maxRowBytes() + 1) >> 20)});
        return true;
    }

    struct Cell
    {
        bool null = false;
        std::vector<char> bytes;
    };

    std::shared_ptr<OdbcSession> m_session;
    SQLHDBC m_dbc;
    SQLHSTMT m_stmt;
    QStringList m_names;
    std::vector<Column> m_columns;
    std::vector<Cell> m_cells;
    std::string m_utf8;
    bool m_block = false;
    SQLULEN m_blockRows = 1;
    SQLULEN m_rowsFetched = 0;
    SQLULEN m_inBlock = 0;
    SQLULEN m_next = 0;
    std::atomic<bool> m_done = false;
    std::atomic<bool> m_cancelled = false;
    bool m_cancelWhileFetching = true;
    bool m_utf8Text = false;
};

} // namespace

namespace odbc {

Statement::Statement(std::shared_ptr<OdbcSession> session, Error *error) : m_session(std::move(session))
{
    m_dbc = static_cast<SQLHDBC>(m_session->takeConnection(error));
    if (!m_dbc)
        return;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt))) {
        const Diagnosis d = diagnoseOn(*m_session, m_dbc, SQL_HANDLE_DBC, m_dbc);
        if (error)
            *error = d.error;
        m_stmt = SQL_NULL_HSTMT;
        return;
    }
    if (const int seconds = m_session->endpoint().queryTimeout; seconds > 0)
        SQLSetStmtAttr(m_stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(seconds)), 0);
    if (!m_session->beginStatement(m_stmt)) {
        if (error)
            *error = {kErrCommand, QStringLiteral("Operation cancelled by the user.")};
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        m_stmt = SQL_NULL_HSTMT;
    }
}

Statement::~Statement()
{
    if (m_stmt) {
        m_session->endStatement(m_stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
    }
    if (m_dbc)
        m_session->giveBack(m_dbc);
}

Error Statement::failure() { return diagnoseOn(*m_session, m_dbc, SQL_HANDLE_STMT, m_stmt).error; }

QString wideColumn(SQLHSTMT stmt, SQLUSMALLINT column)
{
    SQLWCHAR text[1024] = {};
    SQLLEN ind = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, SQL_C_WCHAR, text, sizeof text, &ind)) || ind == SQL_NULL_DATA)
        return {};
    return fromWide(text, std::clamp<qsizetype>(ind / qsizetype(sizeof(SQLWCHAR)), 0, qsizetype(std::size(text)) - 1));
}

bool bindText(SQLHSTMT stmt, SQLUSMALLINT index, BoundText &p, const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        p.indicator = SQL_NULL_DATA;
        return SQL_SUCCEEDED(
            SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0, &p.indicator));
    }
    p.text = value.toString().toStdU16String();
    p.indicator = SQLLEN(p.text.size() * sizeof(char16_t));
    return SQL_SUCCEEDED(SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                          std::max<SQLULEN>(1, p.text.size()), 0, p.text.data(), p.indicator,
                                          &p.indicator));
}

ExecOutcome readResults(Statement &statement, Error *error, bool allRows)
{
    const SQLHSTMT stmt = statement.handle();
    ExecOutcome outcome;
    long affected = -1;
    for (;;) {
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        if (columns > 0 && (!outcome.rows || allRows)) {
            std::vector<Column> described;
            const QStringList names = describe(stmt, described, false);
            auto set = ResultSet::inMemory(names);
            // Row by row, as a reader that does not own the statement.
            for (;;) {
                const SQLRETURN rc = SQLFetch(stmt);
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc)) {
                    if (error)
                        *error = statement.failure();
                    return {};
                }
                QVariantList row;
                for (SQLSMALLINT i = 1; i <= columns; ++i) {
                    SQLWCHAR piece[4096];
                    QString text;
                    bool null = false;
                    for (;;) {
                        SQLLEN ind = 0;
                        const SQLRETURN r = SQLGetData(stmt, SQLUSMALLINT(i), SQL_C_WCHAR, piece, sizeof piece, &ind);
                        if (r == SQL_NO_DATA)
                            break;
                        if (!SQL_SUCCEEDED(r)) {
                            if (error)
                                *error = statement.failure();
                            return {};
                        }
                        if (ind == SQL_NULL_DATA) {
                            null = true;
                            break;
                        }
                        const SQLLEN room = SQLLEN(sizeof piece - sizeof(SQLWCHAR));
                        const SQLLEN got = (ind == SQL_NO_TOTAL || ind > room) ? room : ind;
                        text += fromWide(piece, got / qsizetype(sizeof(SQLWCHAR)));
                        if (r == SQL_SUCCESS)
                            break;
                    }
                    row << (null ? QVariant() : QVariant(text));
                }
                set->addRow(row);
            }
            if (!outcome.rows)
                outcome.rows = std::move(set);
            else
                outcome.laterRows.push_back(std::move(set));
        } else if (columns == 0) {
            SQLLEN count = -1;
            if (SQL_SUCCEEDED(SQLRowCount(stmt, &count)) && count >= 0)
                affected = (affected < 0 ? 0 : affected) + long(count);
        }
        const SQLRETURN more = SQLMoreResults(stmt);
        if (more == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(more)) {
            if (error)
                *error = statement.failure();
            return {};
        }
    }
    outcome.recordsAffected = affected;
    return outcome;
}

} // namespace odbc

namespace {

QString bareParameter(const QString &name)
{
    QString bare = name.trimmed();
    if (bare.startsWith(u'@'))
        bare.remove(0, 1);
    return bare;
}

} // namespace

QString procedureCallText(const QString &name, const QList<ProcedureArgument> &args, const QStringList &declared,
                          QList<int> *order, QString *unknown)
{
    order->clear();
    QStringList places;
    if (declared.isEmpty()) {
        for (int i = 0; i < args.size(); ++i) {
            places << QStringLiteral("?");
            order->append(i);
        }
    } else {
        QList<int> given(declared.size(), -1);
        for (int i = 0; i < args.size(); ++i) {
            const QString bare = bareParameter(args[i].name);
            qsizetype at = -1;
            for (qsizetype d = 0; d < declared.size() && at < 0; ++d)
                if (bareParameter(declared[d]).compare(bare, Qt::CaseInsensitive) == 0)
                    at = d;
            if (at < 0) {
                if (unknown)
                    *unknown = bare;
                order->clear();
                return {};
            }
            given[at] = i;
        }
        qsizetype last = given.size() - 1;
        while (last >= 0 && given[last] < 0)
            --last;
        for (qsizetype d = 0; d <= last; ++d) {
            places << (given[d] < 0 ? QString() : QStringLiteral("?"));
            if (given[d] >= 0)
                order->append(given[d]);
        }
    }
    QString text = QStringLiteral("{? = call ") + sql::quoteBracketed(name);
    if (!places.isEmpty())
        text += u'(' + places.join(QStringLiteral(", ")) + u')';
    return text + u'}';
}

QString sqlServerProcedureParametersQuery(const QString &procedure)
{
    const QStringList parts = sql::splitName(procedure);
    return QStringLiteral("SELECT pr.name FROM sys.parameters pr JOIN sys.procedures p ON p.object_id = pr.object_id "
                          "WHERE p.name = N'%1' ORDER BY pr.parameter_id")
        .arg(sql::escapeLiteral(parts.isEmpty() ? procedure : parts.last()));
}

std::unique_ptr<RowSource> OdbcSession::query(const QString &sql, bool updatable, Error *error)
{
    // A connection that was idle may have broken meanwhile (a network drop,
    // the server restarted): a reading query then runs once more on a new one.
    for (int attempt = 0;; ++attempt) {
        Error e;
        bool reused = false;
        auto dbc = static_cast<SQLHDBC>(takeConnection(&e, &reused));
        if (!dbc) {
            if (error)
                *error = e;
            return nullptr;
        }
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
            const Diagnosis d = diagnoseOn(*this, dbc, SQL_HANDLE_DBC, dbc);
            giveBack(dbc);
            // Not after a time-out: the query would only wait as long again.
            if (d.linkFailure && !d.timedOut && reused && attempt == 0)
                continue;
            if (error)
                *error = d.error;
            return nullptr;
        }
        if (m_endpoint.queryTimeout > 0)
            SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_endpoint.queryTimeout)),
                           0);
        std::u16string text = wide(translate(sql));
        const SQLRETURN rc = SQLExecDirectW(stmt, w(text), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            const Diagnosis d = diagnoseOn(*this, dbc, SQL_HANDLE_STMT, stmt);
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            giveBack(dbc);
            // Not after a time-out: the query would only wait as long again.
            if (d.linkFailure && !d.timedOut && reused && attempt == 0)
                continue;
            if (error)
                *error = d.error;
            return nullptr;
        }
        // The connections this program makes ask for UTF-8 (FreeTDS's ClientCharset; the
        // SQLite driver's own); a data source's character set is not known, so its text comes as UTF-16.
        const bool utf8Text = m_endpoint.dsn.isEmpty();
        return std::make_unique<OdbcRowSource>(shared_from_this(), dbc, stmt, updatable, m_endpoint.dialect.isEmpty(),
                                               utf8Text, sql);
    }
}

namespace {

// What a statement that gave no results at all yields.
ExecOutcome nothingReturned()
{
    ExecOutcome outcome;
    outcome.recordsAffected = 0;
    return outcome;
}

// Runs a text on the statement and reads everything it yields.
ExecOutcome runText(Statement &stmt, const QString &sql, Error *error)
{
    std::u16string text = wide(sql);
    const SQLRETURN rc = SQLExecDirectW(stmt.handle(), w(text), SQL_NTS);
    if (rc == SQL_NO_DATA)
        return nothingReturned();
    if (!SQL_SUCCEEDED(rc)) {
        if (error)
            *error = stmt.failure();
        return {};
    }
    return readResults(stmt, error);
}

} // namespace

ExecOutcome OdbcSession::execute(const QString &sql, Error *error)
{
    Statement stmt(shared_from_this(), error);
    if (!stmt)
        return {};
    return runText(stmt, translate(sql), error);
}

namespace {

// The server's type an output parameter is declared with, from the client's
// type code: the value comes back converted from it to text.
struct OutputType
{
    SQLSMALLINT sqlType;
    SQLULEN size;
};

OutputType outputType(const ProcedureArgument &a)
{
    switch (a.typeCode) {
    case 2: // smallint
        return {SQL_SMALLINT, 5};
    case 3: // int
        return {SQL_INTEGER, 10};
    case 16: // tinyint, bit
        return {SQL_TINYINT, 3};
    case 20: // bigint
        return {SQL_BIGINT, 19};
    case 7: // datetime
        return {SQL_TYPE_TIMESTAMP, 23};
    case 72: // uniqueidentifier
        return {SQL_GUID, 36};
    default: // text and anything else, as text
        return {SQL_WVARCHAR, a.length > 0 && a.length <= 4000 ? SQLULEN(a.length) : SQLULEN(4000)};
    }
}

// A bound output parameter's buffer, read once every result has been read.
struct BoundOutput
{
    std::vector<SQLWCHAR> text;
    SQLLEN indicator = SQL_NULL_DATA;
};

} // namespace

ExecOutcome OdbcSession::callProcedure(const QString &name, const QList<ProcedureArgument> &args, Error *error)
{
    Statement stmt(shared_from_this(), error);
    if (!stmt)
        return {};
    // The markers go by position: the procedure's own order is asked first.
    Error e;
    QStringList declared;
    {
        ExecOutcome parameters = runText(stmt, translate(sqlServerProcedureParametersQuery(name)), &e);
        if (e) {
            if (error)
                *error = e;
            return {};
        }
        if (parameters.rows)
            for (parameters.rows->moveFirst(); !parameters.rows->eof(); parameters.rows->moveNext())
                declared << parameters.rows->field(0).toString();
        SQLFreeStmt(stmt.handle(), SQL_CLOSE);
    }
    QList<int> order;
    QString unknown;
    const QString call = procedureCallText(name, args, declared, &order, &unknown);
    if (call.isEmpty()) {
        if (error)
            *error = {kErrCommand, QStringLiteral("@%1 is not a parameter for procedure %2.").arg(unknown, name)};
        return {};
    }
    // The return value, then each argument in the order of its marker.
    SQLINTEGER returned = 0;
    SQLLEN returnedIndicator = SQL_NULL_DATA;
    bool bound = SQL_SUCCEEDED(SQLBindParameter(stmt.handle(), 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0,
                                                &returned, sizeof returned, &returnedIndicator));
    std::vector<BoundText> values(std::size_t(args.size()));
    std::vector<BoundOutput> outputs(std::size_t(args.size()));
    for (int marker = 0; bound && marker < order.size(); ++marker) {
        const auto index = SQLUSMALLINT(marker + 2);
        const int i = order[marker];
        const ProcedureArgument &a = args[i];
        if (!a.output) {
            bound = bindText(stmt.handle(), index, values[std::size_t(i)], a.value);
            continue;
        }
        BoundOutput &out = outputs[std::size_t(i)];
        const OutputType type = outputType(a);
        // Room for the text of the longest value, converted to text.
        out.text.assign(std::max<SQLULEN>(type.size, 64) + 1, 0);
        const bool hasValue = !a.value.isNull() && a.value.isValid();
        if (hasValue) {
            const std::u16string given = a.value.toString().toStdU16String().substr(0, out.text.size() - 1);
            std::copy(given.begin(), given.end(), out.text.begin());
            out.indicator = SQLLEN(given.size() * sizeof(SQLWCHAR));
        }
        bound = SQL_SUCCEEDED(SQLBindParameter(stmt.handle(), index,
                                               SQLSMALLINT(hasValue ? SQL_PARAM_INPUT_OUTPUT : SQL_PARAM_OUTPUT),
                                               SQL_C_WCHAR, type.sqlType, type.size, 0, out.text.data(),
                                               SQLLEN(out.text.size() * sizeof(SQLWCHAR)), &out.indicator));
    }
    if (!bound) {
        if (error)
            *error = stmt.failure();
        return {};
    }
    std::u16string text = wide(call);
    const SQLRETURN rc = SQLExecDirectW(stmt.handle(), w(text), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        if (error)
            *error = stmt.failure();
        return {};
    }
    ExecOutcome outcome = rc == SQL_NO_DATA ? nothingReturned() : readResults(stmt, &e, true);
    if (e) {
        if (error)
            *error = e;
        return {};
    }
    // The output values arrive with the end of the last result.
    for (int i = 0; i < args.size(); ++i) {
        if (!args[i].output)
            continue;
        const BoundOutput &out = outputs[std::size_t(i)];
        QVariant value;
        if (out.indicator != SQL_NULL_DATA) {
            const qsizetype chars = out.indicator == SQL_NO_TOTAL
                                        ? qsizetype(out.text.size()) - 1
                                        : std::min<qsizetype>(out.indicator / qsizetype(sizeof(SQLWCHAR)),
                                                              qsizetype(out.text.size()) - 1);
            value = fromWide(out.text.data(), chars);
        }
        outcome.outputs.append({u'@' + bareParameter(args[i].name), value});
    }
    if (returnedIndicator != SQL_NULL_DATA)
        outcome.returnValue = returned;
    return outcome;
}

bool OdbcRowSource::updateCell(const QVariantList &row, int column, const QVariant &value, Error *error)
{
    QList<ColumnOrigin> origins;
    for (const Column &c : m_columns)
        origins.append({c.name, QString(), c.baseTable, c.baseColumn});
    const EditDialect dialect{sql::quoteBracketed, false};
    const auto edit = planCellEdit(
        origins, column, dialect,
        [&](const ColumnOrigin &target) {
            Error e;
            return m_session->primaryKeyColumns(target.table, &e);
        },
        error);
    if (!edit)
        return false;
    // Its own connection (the rows' one is busy reading), in a transaction
    // that is kept only when exactly one row changed.
    Statement stmt(m_session, error);
    if (!stmt)
        return false;
    // Without a transaction a wrong count could not be undone: no change then.
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(stmt.connection(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
        if (error)
            *error = diagnoseOn(*m_session, stmt.connection(), SQL_HANDLE_DBC, stmt.connection()).error;
        return false;
    }
    // A connection whose transaction could not be ended is not used again.
    auto finish = [&](bool commit) {
        const bool ended = SQL_SUCCEEDED(
            SQLEndTran(SQL_HANDLE_DBC, stmt.connection(), SQLSMALLINT(commit ? SQL_COMMIT : SQL_ROLLBACK)));
        const Diagnosis d = ended ? Diagnosis{}
                                  : diagnoseOn(*m_session, stmt.connection(), SQL_HANDLE_DBC, stmt.connection());
        if (!ended
            || !SQL_SUCCEEDED(SQLSetConnectAttr(stmt.connection(), SQL_ATTR_AUTOCOMMIT,
                                                reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0)))
            m_session->markBroken(stmt.connection());
        return ended ? Error{} : d.error;
    };
    std::u16string wideText = wide(m_session->translate(edit->statement));
    const QList<int> &keyColumns = edit->keyColumns;
    std::vector<BoundText> params(std::size_t(keyColumns.size()) + 1);
    bool bound = bindText(stmt.handle(), 1, params[0], value);
    for (int k = 0; k < keyColumns.size(); ++k)
        bound = bound
                && bindText(stmt.handle(), SQLUSMALLINT(k + 2), params[std::size_t(k) + 1],
                            row.value(keyColumns[k]));
    if (!bound) {
        if (error)
            *error = stmt.failure();
        finish(false);
        return false;
    }
    const SQLRETURN rc = SQLExecDirectW(stmt.handle(), w(wideText), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        if (error)
            *error = stmt.failure();
        finish(false);
        return false;
    }
    SQLLEN changed = 0;
    SQLRowCount(stmt.handle(), &changed);
    if (const Error wrongCount = changedRowsError(changed)) {
        finish(false);
        if (error)
            *error = wrongCount;
        return false;
    }
    // The change holds only once the server kept it.
    if (const Error e = finish(true)) {
        if (error)
            *error = e;
        return false;
    }
    return true;
}

} // namespace korva::db
