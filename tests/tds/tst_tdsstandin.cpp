#include "common/testsupport.h"
#include "demo/demoinstallation.h"
#include "tdsstandin.h"

#include <QtCore/QDir>
#include <QtTest/QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <thread>

using namespace korva;
using tds::StandIn;

namespace {

const QString kDriver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
const QString kUser = QStringLiteral("korva_app");
const QString kPassword = QStringLiteral("S3cret-pässwörd");

std::u16string wide(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), s.size());
}

struct Diagnostic
{
    QString state;
    int native = 0;
    QString message;
};

QList<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QList<Diagnostic> list;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLWCHAR text[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &len)))
            break;
        list << Diagnostic{QString::fromUtf16(reinterpret_cast<char16_t *>(state), 5), int(native),
                           QString::fromUtf16(reinterpret_cast<char16_t *>(text),
                                              std::clamp<SQLSMALLINT>(len, 0, 1023))};
    }
    return list;
}

QString describe(const QList<Diagnostic> &list)
{
    QStringList out;
    for (const Diagnostic &d : list)
        out << QStringLiteral("[%1 %2] %3").arg(d.state).arg(d.native).arg(d.message);
    return out.join(u'\n');
}

// One ODBC connection through the FreeTDS driver, with one statement handle.
class Client
{
public:
    Client()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    }
    ~Client()
    {
        if (stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (dbc) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }

    bool connect(const QString &text)
    {
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        const std::u16string w = wide(text);
        const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, (SQLWCHAR *)w.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                               SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            errors = diagnostics(SQL_HANDLE_DBC, dbc);
            return false;
        }
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        return true;
    }

    // Runs a statement; false with errors filled when it fails.
    bool exec(const QString &sql)
    {
        SQLFreeStmt(stmt, SQL_CLOSE);
        const std::u16string w = wide(sql);
        const SQLRETURN rc = SQLExecDirectW(stmt, (SQLWCHAR *)w.c_str(), SQL_NTS);
        errors = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? QList<Diagnostic>() : diagnostics(SQL_HANDLE_STMT, stmt);
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    }

    // The rows of the current result set as text; a NULL is a null QString.
    QList<QStringList> rows()
    {
        QList<QStringList> all;
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            QStringList row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                // Read in pieces: a long value comes over several calls.
                QString value = QStringLiteral(""); // empty, not null
                bool null = false;
                for (;;) {
                    SQLWCHAR buffer[1024];
                    SQLLEN len = 0;
                    const SQLRETURN rc = SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &len);
                    if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
                        break;
                    if (len == SQL_NULL_DATA) {
                        null = true;
                        break;
                    }
                    const SQLLEN room = SQLLEN(std::size(buffer) - 1);
                    const SQLLEN chars = len == SQL_NO_TOTAL ? room : std::min<SQLLEN>(len / 2, room);
                    value += QString::fromUtf16(reinterpret_cast<char16_t *>(buffer), chars);
                    if (rc == SQL_SUCCESS)
                        break;
                }
                row << (null ? QString() : value);
            }
            all << row;
        }
        return all;
    }

    QString scalar(const QString &sql)
    {
        if (!exec(sql))
            return QStringLiteral("<error> ") + describe(errors);
        const auto r = rows();
        return r.isEmpty() ? QStringLiteral("<no rows>") : r.first().value(0);
    }

    SQLSMALLINT columnType(SQLUSMALLINT column)
    {
        SQLWCHAR name[128];
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeColW(stmt, column, name, 128, &nameLen, &type, &size, &digits, &nullable);
        return type;
    }

    // Binds text parameters in order (kept alive until the next call).
    void bindText(const QStringList &values)
    {
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);
        bound.clear();
        lengths.clear();
        for (const QString &v : values) {
            bound.push_back(wide(v));
            lengths.push_back(SQLLEN(v.size() * 2));
        }
        for (int i = 0; i < values.size(); ++i)
            SQLBindParameter(stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 200, 0,
                             (SQLPOINTER)bound[i].c_str(), SQLLEN(bound[i].size() * 2), &lengths[i]);
    }

    SQLHENV env = SQL_NULL_HANDLE;
    SQLHDBC dbc = SQL_NULL_HANDLE;
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    QList<Diagnostic> errors;
    std::vector<std::u16string> bound;
    std::vector<SQLLEN> lengths;
};

// A raw TCP connection to the stand-in, for what no driver would send.
struct RawSocket
{
    int fd = -1;
    explicit RawSocket(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        timeval tv{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~RawSocket() { ::close(fd); }
    void send(quint8 type, const QByteArray &payload, int lengthOverride = -1)
    {
        const int len = lengthOverride >= 0 ? lengthOverride : int(payload.size()) + 8;
        QByteArray p;
        p.append(char(type))
            .append(char(1))
            .append(char(len >> 8))
            .append(char(len & 0xFF))
            .append(QByteArray(4, '\0'));
        p += payload;
        ::send(fd, p.constData(), p.size(), MSG_NOSIGNAL);
    }
    // True when the server closed the connection without answering anything.
    bool closedWithoutAnswer()
    {
        char b[256];
        const ssize_t r = ::recv(fd, b, sizeof b, 0);
        return r <= 0;
    }
    QByteArray reply()
    {
        char b[4096];
        const ssize_t r = ::recv(fd, b, sizeof b, 0);
        return r > 0 ? QByteArray(b, int(r)) : QByteArray();
    }
};

QByteArray prelogin()
{
    // VERSION and ENCRYPTION (off), then the terminator.
    QByteArray p;
    p.append(char(0)).append(char(0)).append(char(11)).append(char(0)).append(char(6));
    p.append(char(1)).append(char(0)).append(char(17)).append(char(0)).append(char(1));
    p.append(char(0xFF));
    p.append(QByteArray("\x09\x00\x00\x00\x00\x00", 6)).append(char(0));
    return p;
}

} // namespace

// The stand-in through the real FreeTDS ODBC driver: what the ODBC engine
// meets when it talks to a server over the network.
class tst_TdsStandIn : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    std::unique_ptr<StandIn> server;
    QString dataFolder;
    QString otherDatabase;

    QString conn(const QString &database = QStringLiteral("OrvexDirDB"), const QString &password = kPassword) const
    {
        return QStringLiteral("Driver={KORVA FreeTDS};Server=127.0.0.1;Port=%1;TDS_Version=7.4;ClientCharset=UTF-8;"
                              "Database=%2;UID=%3;PWD=%4")
            .arg(server->port())
            .arg(database, kUser, password);
    }

    std::unique_ptr<Client> connected()
    {
        auto c = std::make_unique<Client>();
        if (!c->connect(conn()))
            qWarning("connect failed: %s", qPrintable(describe(c->errors)));
        return c;
    }

    static bool sqlite(const QString &file, const char *sql)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &db);
        char *msg = nullptr;
        const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK;
        if (!ok)
            qWarning("%s", msg);
        sqlite3_free(msg);
        sqlite3_close(db);
        return ok;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(kDriver))
            QSKIP("the FreeTDS ODBC driver (tdsodbc) is not installed");
        env = std::make_unique<test::IsolatedEnvironment>();
        const QString odbc = env->filePath(QStringLiteral("odbc"));
        QDir().mkpath(odbc);
        {
            QFile ini(odbc + QStringLiteral("/odbcinst.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[KORVA FreeTDS]\nDescription=FreeTDS, for the tests\nDriver=" + kDriver.toUtf8() + "\n");
        }
        QFile(odbc + QStringLiteral("/odbc.ini")).open(QIODevice::WriteOnly);
        QFile(odbc + QStringLiteral("/freetds.conf")).open(QIODevice::WriteOnly);
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINI", (odbc + QStringLiteral("/odbc.ini")).toLocal8Bit());
        qputenv("FREETDSCONF", (odbc + QStringLiteral("/freetds.conf")).toLocal8Bit());

        demo::DemoOptions o;
        o.root = env->filePath(QStringLiteral("demo"));
        o.subscribers = 20;
        o.reportRows = 10;
        QString error;
        QVERIFY2(demo::createDemoInstallation(o, &error), qPrintable(error));
        dataFolder = o.root + QStringLiteral("/data");
        for (const QFileInfo &fi : QDir(dataFolder).entryInfoList({QStringLiteral("*.sqlite")}))
            if (fi.completeBaseName() != u"OrvexDirDB")
                otherDatabase = fi.completeBaseName();
        QVERIFY(!otherDatabase.isEmpty());
        QVERIFY(sqlite(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"),
                       "CREATE TABLE tbl_Kinds(Id int PRIMARY KEY, Guid uniqueidentifier, Words nvarchar(40), Latin "
                       "varchar(20), "
                       "Small smallint, Tiny tinyint, Big bigint, Flag bit, Stamp datetime, Part float, Price money, "
                       "Amount decimal(10,2), Raw varbinary(8), Long ntext, Maybe nvarchar(10));"
                       "INSERT INTO tbl_Kinds VALUES(1, '6F9619FF-8B86-D011-B42D-00C04FC964FF', 'Zoë 許志明', 'Café', "
                       "-32000, "
                       "250, -9000000000, 1, '2004-09-17 10:11:22.123', 2.5, 12.34, 12345.67, x'00ff10', "
                       "replace(hex(zeroblob(1500)), '0', 'ab'), NULL);"
                       "CREATE TABLE tbl_Many(n int PRIMARY KEY, Word nvarchar(20));"
                       "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 300000) "
                       "INSERT INTO tbl_Many SELECT n, 'word ' || n FROM c;"));
        tds::StandInOptions so;
        so.dataFolder = dataFolder;
        so.user = kUser;
        so.password = kPassword;
        server = std::make_unique<StandIn>(so);
        QVERIFY2(server->start(&error), qPrintable(error));
        QVERIFY(server->port() > 0);
    }

    void cleanupTestCase() { server.reset(); }

    void init()
    {
        server->setRefuseConnections(false);
        server->setStalled(false);
        server->setRoundTripDelay(0);
        server->dropConnectionsAfter(-1);
    }

    void loginIsCheckedLikeTheServer()
    {
        const int accepted = server->loginsAccepted();
        {
            Client c;
            QVERIFY2(c.connect(conn()), qPrintable(describe(c.errors)));
            QCOMPARE(c.scalar(QStringLiteral("SELECT db_name()")), QStringLiteral("OrvexDirDB"));
        }
        QCOMPARE(server->loginsAccepted(), accepted + 1);

        const int refused = server->loginsRefused();
        Client wrong;
        QVERIFY(!wrong.connect(conn(QStringLiteral("OrvexDirDB"), QStringLiteral("wrong"))));
        QVERIFY2(std::any_of(wrong.errors.begin(), wrong.errors.end(),
                             [](const Diagnostic &d) {
                                 return d.native == 18456
                                        && d.message.contains(QStringLiteral("Login failed for user 'korva_app'."));
                             }),
                 qPrintable(describe(wrong.errors)));

        Client noDatabase;
        QVERIFY(!noDatabase.connect(conn(QStringLiteral("NoSuchDB"))));
        QVERIFY2(std::any_of(noDatabase.errors.begin(), noDatabase.errors.end(),
                             [](const Diagnostic &d) {
                                 return d.native == 4060
                                        && d.message.contains(QStringLiteral("Cannot open database \"NoSuchDB\""));
                             }),
                 qPrintable(describe(noDatabase.errors)));
        QCOMPARE(server->loginsRefused(), refused + 2);
    }

    void valuesOfEveryMappedType()
    {
        auto c = connected();
        QVERIFY(
            c->exec(QStringLiteral("SELECT Id, Guid, Words, Latin, Small, Tiny, Big, Flag, Stamp, Part, Price, Amount, "
                                   "Raw, Long, Maybe FROM tbl_Kinds")));
        const QList<SQLSMALLINT> types{SQL_INTEGER, SQL_GUID,    SQL_WVARCHAR, SQL_VARCHAR,        SQL_SMALLINT,
                                       SQL_TINYINT, SQL_BIGINT,  SQL_BIT,      SQL_TYPE_TIMESTAMP, SQL_DOUBLE,
                                       SQL_DECIMAL, SQL_NUMERIC, SQL_VARBINARY};
        for (int i = 0; i < types.size(); ++i)
            QVERIFY2(c->columnType(SQLUSMALLINT(i + 1)) == types[i],
                     qPrintable(
                         QStringLiteral("column %1 has type %2").arg(i + 1).arg(c->columnType(SQLUSMALLINT(i + 1)))));
        const auto rows = c->rows();
        QCOMPARE(rows.size(), 1);
        const QStringList r = rows.first();
        QCOMPARE(r[0], QStringLiteral("1"));
        QCOMPARE(r[1].toUpper(), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
        QCOMPARE(r[2], QStringLiteral("Zoë 許志明"));
        QCOMPARE(r[3], QStringLiteral("Café"));
        QCOMPARE(r[4], QStringLiteral("-32000"));
        QCOMPARE(r[5], QStringLiteral("250"));
        QCOMPARE(r[6], QStringLiteral("-9000000000"));
        QCOMPARE(r[7], QStringLiteral("1"));
        QCOMPARE(r[8], QStringLiteral("2004-09-17 10:11:22.123"));
        QCOMPARE(r[9].toDouble(), 2.5);
        QCOMPARE(r[10].toDouble(), 12.34);
        QCOMPARE(r[11], QStringLiteral("12345.67"));
        QCOMPARE(r[12].toUpper(), QStringLiteral("00FF10"));
        QCOMPARE(r[13].size(), 6000);
        QVERIFY(r[13].startsWith(QStringLiteral("abab")));
        QVERIFY(r[14].isNull());

        // A GUID read back as text finds its row again; the demo keeps its own text form.
        const QString id = c->scalar(QStringLiteral("SELECT TOP 1 ObjectID FROM tbl_User ORDER BY ObjectID"));
        QCOMPARE(id.size(), 36);
        c->bindText({id});
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_User WHERE ObjectID = ?")), QStringLiteral("1"));
        QVERIFY(c->scalar(QStringLiteral("SELECT TOP 1 CreationTime FROM tbl_User"))
                    .contains(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}"))));
    }

    void batchesGiveEveryResultAndCount()
    {
        auto c = connected();
        QVERIFY2(c->exec(QStringLiteral("SELECT 7 AS Seven;\nUPDATE tbl_Many SET Word = Word WHERE n <= 3;\n"
                                        "SELECT Word FROM tbl_Many WHERE n IN (1, 2) ORDER BY n")),
                 qPrintable(describe(c->errors)));
        QCOMPARE(c->rows(), (QList<QStringList>{{QStringLiteral("7")}}));
        QCOMPARE(SQLMoreResults(c->stmt), SQLRETURN(SQL_SUCCESS));
        SQLLEN count = -1;
        SQLRowCount(c->stmt, &count);
        QCOMPARE(count, SQLLEN(3));
        QCOMPARE(SQLMoreResults(c->stmt), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(c->rows(), (QList<QStringList>{{QStringLiteral("word 1")}, {QStringLiteral("word 2")}}));
        QCOMPARE(SQLMoreResults(c->stmt), SQLRETURN(SQL_NO_DATA));

        // A missing table fails with the server's number and words.
        QVERIFY(!c->exec(QStringLiteral("SELECT * FROM tbl_Missing")));
        QCOMPARE(c->errors.value(0).native, 208);
        QVERIFY2(c->errors.value(0).message.contains(QStringLiteral("Invalid object name 'tbl_Missing'.")),
                 qPrintable(describe(c->errors)));
        QVERIFY(!c->exec(QStringLiteral("SELECT Nope FROM tbl_Many")));
        QCOMPARE(c->errors.value(0).native, 207);
        // The connection goes on after an error.
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Many WHERE n < 11")), QStringLiteral("10"));
    }

    void useSwitchesDatabase()
    {
        auto c = connected();
        QVERIFY2(c->exec(QStringLiteral("USE [%1]").arg(otherDatabase)), qPrintable(describe(c->errors)));
        QCOMPARE(c->scalar(QStringLiteral("SELECT db_name()")), otherDatabase);
        SQLWCHAR catalog[128] = {};
        SQLINTEGER len = 0;
        SQLGetConnectAttrW(c->dbc, SQL_ATTR_CURRENT_CATALOG, catalog, sizeof catalog, &len);
        QCOMPARE(QString::fromUtf16(reinterpret_cast<char16_t *>(catalog)), otherDatabase);
        // The catalogue is the new database's own.
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'tbl_Many'")),
                 QStringLiteral("0"));
        QVERIFY(!c->exec(QStringLiteral("USE NoSuchDB")));
        QCOMPARE(c->errors.value(0).native, 911);
        QVERIFY(c->exec(QStringLiteral("USE OrvexDirDB")));
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Many WHERE n < 5")), QStringLiteral("4"));
    }

    void boundParametersReachTheStatement()
    {
        auto c = connected();
        server->clearRequests();
        c->bindText({QStringLiteral("2"), QStringLiteral("word 2")});
        QVERIFY2(c->exec(QStringLiteral("SELECT n, Word FROM tbl_Many WHERE n = ? AND Word = ?")),
                 qPrintable(describe(c->errors)));
        QCOMPARE(c->rows(), (QList<QStringList>{{QStringLiteral("2"), QStringLiteral("word 2")}}));
        const QStringList log = server->requests();
        QVERIFY2(std::any_of(log.begin(), log.end(),
                             [](const QString &l) {
                                 return l.startsWith(u"RPC sp_executesql") && l.contains(u"word 2");
                             }),
                 qPrintable(log.join(u'\n')));
        // Text with quotes and non-Latin letters comes through unchanged.
        c->bindText({QStringLiteral("O'Brien 許")});
        QCOMPARE(c->scalar(QStringLiteral("SELECT ? AS Echo")), QStringLiteral("O'Brien 許"));
    }

    void proceduresTakeArgumentsByPositionAndByName()
    {
        auto c = connected();
        const QString id = c->scalar(QStringLiteral("SELECT TOP 1 ObjectID FROM tbl_UserSubscriber ORDER BY ObjectID"));
        QCOMPARE(id.size(), 36);
        const auto names = [&] {
            c->bindText({id});
            c->exec(QStringLiteral("SELECT FirstName, LastName FROM tbl_User WHERE ObjectID = ?"));
            return c->rows().value(0);
        };

        // Positional: ObjectID, FirstName, LastName in the procedure's order.
        server->clearRequests();
        c->bindText({id, QStringLiteral("Ada"), QStringLiteral("Byron")});
        QVERIFY2(c->exec(QStringLiteral("{call csp_SubscriberModifyName(?, ?, ?)}")), qPrintable(describe(c->errors)));
        while (SQLMoreResults(c->stmt) == SQL_SUCCESS) {
        }
        QCOMPARE(names(), (QStringList{QStringLiteral("Ada"), QStringLiteral("Byron")}));
        QVERIFY2(server->requests().join(u'\n').contains(u"csp_SubscriberModifyName"),
                 qPrintable(server->requests().join(u'\n')));

        // By name, in another order than declared; the audit row names the caller.
        c->bindText({QStringLiteral("Lovelace"), QStringLiteral("tst_tds"), id});
        QVERIFY2(c->exec(QStringLiteral("EXEC [csp_SubscriberModifyName] @LastName = ?, @AuditComponent = ?, @ObjectID "
                                        "= ?")),
                 qPrintable(describe(c->errors)));
        while (SQLMoreResults(c->stmt) == SQL_SUCCESS) {
        }
        QCOMPARE(names(), (QStringList{QStringLiteral("Ada"), QStringLiteral("Lovelace")}));
        c->bindText({id});
        QCOMPARE(c->scalar(QStringLiteral(
                     "SELECT COUNT(*) FROM tbl_AuditLog WHERE Component = 'tst_tds' AND TargetObjectID = ? "
                     "AND Operation = 'csp_SubscriberModifyName'")),
                 QStringLiteral("1"));

        // Literal arguments in a text batch, positional.
        QVERIFY2(c->exec(QStringLiteral("EXEC csp_SubscriberModifyName '%1', N'Grace'").arg(id)),
                 qPrintable(describe(c->errors)));
        QCOMPARE(names(), (QStringList{QStringLiteral("Grace"), QStringLiteral("Lovelace")}));

        QVERIFY(!c->exec(QStringLiteral("EXEC csp_SubscriberModifyName @Nope = 1")));
        QCOMPARE(c->errors.value(0).native, 8145);
        QVERIFY(c->errors.value(0).message.contains(
            QStringLiteral("@Nope is not a parameter for procedure csp_SubscriberModifyName.")));
        QVERIFY(!c->exec(QStringLiteral("EXEC csp_SubscriberModifyName 1, 2, 3, 4, 5, 6, 7")));
        QCOMPARE(c->errors.value(0).native, 8144);
        QVERIFY(!c->exec(QStringLiteral("EXEC csp_NoSuchThing")));
        QCOMPARE(c->errors.value(0).native, 2812);
    }

    // A procedure called by RPC gives back every result set, then its
    // status and its output parameters; a text batch may not ask for the
    // output of a constant, nor of a parameter not declared OUTPUT.
    void procedureStatusAndOutputsComeBack()
    {
        QVERIFY(sqlite(dataFolder + QStringLiteral("/OrvexDirDB.sqlite"),
                       "INSERT INTO korva_procedures VALUES(990003, 'csp_TallySet', 'CREATE PROCEDURE csp_TallySet "
                       "@Prefix nvarchar(10), @Count int OUTPUT AS SET @Count = length(@Prefix) * 10; "
                       "SELECT ''x'' AS One; SELECT ''y'' AS Two UNION ALL SELECT ''z''; RETURN 5;');"
                       "INSERT INTO korva_procedure_parameters VALUES(990003, 1, '@Prefix', 'nvarchar', 10, 0),"
                       "(990003, 2, '@Count', 'int', 4, 1);"));
        auto c = connected();
        SQLFreeStmt(c->stmt, SQL_RESET_PARAMS);
        SQLINTEGER status = -1;
        SQLLEN statusLength = 0;
        std::u16string prefix = wide(QStringLiteral("abc"));
        SQLLEN prefixLength = SQLLEN(prefix.size() * 2);
        SQLWCHAR count[16] = {};
        SQLLEN countLength = SQL_NULL_DATA;
        SQLBindParameter(c->stmt, 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &status, 0, &statusLength);
        SQLBindParameter(c->stmt, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, prefix.data(), prefixLength,
                         &prefixLength);
        SQLBindParameter(c->stmt, 3, SQL_PARAM_OUTPUT, SQL_C_WCHAR, SQL_INTEGER, 10, 0, count, sizeof count,
                         &countLength);
        server->clearRequests();
        QVERIFY2(c->exec(QStringLiteral("{? = call csp_TallySet(?, ?)}")), qPrintable(describe(c->errors)));
        QStringList firsts;
        do {
            const auto rows = c->rows();
            for (const QStringList &r : rows)
                firsts << r.value(0);
        } while (SQL_SUCCEEDED(SQLMoreResults(c->stmt)));
        QCOMPARE(firsts, (QStringList{"x", "y", "z"}));
        QVERIFY2(server->requests().join(u'\n').contains(u"RPC csp_TallySet"),
                 qPrintable(server->requests().join(u'\n')));
        QCOMPARE(status, 5);
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(count), countLength / 2), QStringLiteral("30"));
        SQLFreeStmt(c->stmt, SQL_RESET_PARAMS);

        QVERIFY(!c->exec(QStringLiteral("EXEC csp_TallySet 'abc', 5 OUTPUT")));
        QCOMPARE(c->errors.value(0).native, 179);
        c->bindText({QStringLiteral("abc")});
        QVERIFY(!c->exec(QStringLiteral("EXEC csp_TallySet @Prefix = ? OUTPUT")));
        QCOMPARE(c->errors.value(0).native, 8162);
    }

    void rolledBackTransactionUndoesTheChange()
    {
        auto c = connected();
        QVERIFY(SQL_SUCCEEDED(SQLSetConnectAttr(c->dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0)));
        QVERIFY2(c->exec(QStringLiteral("UPDATE tbl_Many SET Word = 'changed' WHERE n = 10")),
                 qPrintable(describe(c->errors)));
        QCOMPARE(c->scalar(QStringLiteral("SELECT Word FROM tbl_Many WHERE n = 10")), QStringLiteral("changed"));
        QVERIFY(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, c->dbc, SQL_ROLLBACK)));
        QCOMPARE(c->scalar(QStringLiteral("SELECT Word FROM tbl_Many WHERE n = 10")), QStringLiteral("word 10"));
        QVERIFY(c->exec(QStringLiteral("UPDATE tbl_Many SET Word = 'kept' WHERE n = 11")));
        QVERIFY(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, c->dbc, SQL_COMMIT)));
        QVERIFY(SQL_SUCCEEDED(SQLSetConnectAttr(c->dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0)));
        auto other = connected();
        QCOMPARE(other->scalar(QStringLiteral("SELECT Word FROM tbl_Many WHERE n = 11")), QStringLiteral("kept"));
        // Text transactions too.
        QVERIFY(c->exec(QStringLiteral("BEGIN TRANSACTION\nDELETE FROM tbl_Many WHERE n = 12\nROLLBACK TRANSACTION")));
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Many WHERE n = 12")), QStringLiteral("1"));
        QVERIFY(!c->exec(QStringLiteral("COMMIT")));
        QCOMPARE(c->errors.value(0).native, 3902);
    }

    void cancelInTheMiddleOfALargeResult()
    {
        auto c = connected();
        server->clearRequests();
        QVERIFY(c->exec(QStringLiteral("SELECT n, Word FROM tbl_Many ORDER BY n")));
        int fetched = 0;
        SQLRETURN rc = SQL_SUCCESS;
        // Cancelled between fetches on the reading thread, as the program
        // does (FreeTDS 1.3 cancelled from another thread mid-read can hang).
        while ((rc = SQLFetch(c->stmt)) == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
            if (++fetched == 100) {
                QVERIFY(SQL_SUCCEEDED(SQLCancel(c->stmt)));
                break;
            }
        }
        QVERIFY2(fetched < 300000, qPrintable(QString::number(fetched)));
        QVERIFY(server->requests().contains(QStringLiteral("ATTENTION")));
        // The same connection answers the next request normally.
        QCOMPARE(c->scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Many WHERE n <= 20")), QStringLiteral("20"));
    }

    void faultsReachTheClient()
    {
        // Round trips: one per request.
        auto c = connected();
        server->resetRoundTrips();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(c->scalar(QStringLiteral("SELECT %1").arg(i)), QString::number(i));
        QCOMPARE(server->roundTrips(), 3);

        // A dropped connection is a communication failure on the next call.
        server->dropAllConnections();
        // FreeTDS 1.3 reports the reset of a connection it is reading as "Unknown error"
        // (HY000) and only the calls after that as a communication link failure.
        QVERIFY(!c->exec(QStringLiteral("SELECT 1")));
        QVERIFY(!c->exec(QStringLiteral("SELECT 1")));
        QVERIFY2(std::any_of(c->errors.begin(), c->errors.end(),
                             [](const Diagnostic &d) { return d.state == u"08S01"; }),
                 qPrintable(describe(c->errors)));

        // Dropping after a number of packets: the first request passes, the second does not.
        auto d = connected();
        server->dropConnectionsAfter(1);
        QCOMPARE(d->scalar(QStringLiteral("SELECT 5")), QStringLiteral("5"));
        QVERIFY(!d->exec(QStringLiteral("SELECT 6")));
        server->dropConnectionsAfter(-1);

        server->setRefuseConnections(true);
        Client refused;
        QVERIFY(!refused.connect(conn()));
        server->setRefuseConnections(false);
        QVERIFY(connected()->stmt != SQL_NULL_HANDLE);

        // A stalled server runs into the client's query time-out.
        auto e = connected();
        SQLSetStmtAttr(e->stmt, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER)1, 0);
        server->setStalled(true);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!e->exec(QStringLiteral("SELECT 1")));
        server->setStalled(false);
        QVERIFY(timer.elapsed() >= 900);
        QVERIFY2(std::any_of(e->errors.begin(), e->errors.end(),
                             [](const Diagnostic &d) { return d.state == u"HYT00"; }),
                 qPrintable(describe(e->errors)));
    }

    void malformedTrafficClosesTheConnection()
    {
        {
            // A login without the prelogin first.
            RawSocket s(server->port());
            s.send(16, QByteArray(100, '\0'));
            QVERIFY(s.closedWithoutAnswer());
        }
        {
            // A packet that claims to be shorter than its header.
            RawSocket s(server->port());
            s.send(18, prelogin(), 4);
            QVERIFY(s.closedWithoutAnswer());
        }
        {
            // A batch before any login.
            RawSocket s(server->port());
            s.send(18, prelogin());
            QVERIFY(!s.reply().isEmpty());
            s.send(1, QByteArray("\x16\0\0\0", 4));
            QVERIFY(s.closedWithoutAnswer());
        }
        {
            // A client that insists on encryption is not served.
            RawSocket s(server->port());
            QByteArray p = prelogin();
            p[p.size() - 1] = 1;
            s.send(18, p);
            s.reply();
            QVERIFY(s.closedWithoutAnswer());
        }
    }
};

QTEST_GUILESS_MAIN(tst_TdsStandIn)
#include "tst_tdsstandin.moc"
