#pragma once

// Encoding and decoding of the tabular data stream: the token stream the
// stand-in answers with, and the parameter values clients send in RPCs.

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariant>

namespace korva::tds {

enum PacketType : quint8 {
    kPacketBatch = 1,
    kPacketRpc = 3,
    kPacketReply = 4,
    kPacketAttention = 6,
    kPacketTransaction = 14,
    kPacketLogin7 = 16,
    kPacketPrelogin = 18,
};

enum DoneStatus : quint16 {
    kDoneFinal = 0x00,
    kDoneMore = 0x01,
    kDoneError = 0x02,
    kDoneCount = 0x10,
    kDoneAttention = 0x20,
};

enum Token : quint8 {
    kTokenReturnStatus = 0x79,
    kTokenColMetadata = 0x81,
    kTokenError = 0xAA,
    kTokenInfo = 0xAB,
    kTokenReturnValue = 0xAC,
    kTokenLoginAck = 0xAD,
    kTokenRow = 0xD1,
    kTokenEnvChange = 0xE3,
    kTokenDone = 0xFD,
    kTokenDoneProc = 0xFE,
    kTokenDoneInProc = 0xFF,
};

// The collation every text column and the database report: Latin1, case-insensitive.
inline constexpr quint8 kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

// How a result column travels on the wire.
enum class WireType { Int, Bit, Float, Money, DateTime, Guid, Decimal, NVarChar, VarChar, VarBinary };

struct Column
{
    QString name;
    WireType type = WireType::NVarChar;
    int size = 0; // bytes: of the integer for Int; the maximum for text and binary, -1 for (max)
    int precision = 0, scale = 0;
};

// One value of a row, as SQLite holds it.
struct Cell
{
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // UTF-8 for text
};

// The column a declared SQLite type stands for; with no declared type (an
// expression) the first row's value decides.
Column columnFor(const QString &name, const QString &declaredType, const Cell &firstValue);
// The column for a value with nothing else known about it (procedure results).
Column columnForValue(const QString &name, const QVariant &value);
Cell cellFromVariant(const QVariant &value);

class TokenWriter
{
public:
    QByteArray data;

    void u8(quint8 v) { data.append(char(v)); }
    void u16(quint16 v);
    void u32(quint32 v);
    void u64(quint64 v);
    void utf16(const QString &s);
    void bVarChar(const QString &s);  // length in characters in one byte
    void usVarChar(const QString &s); // length in characters in two bytes

    void colMetadata(const QList<Column> &columns);
    void row(const QList<Column> &columns, const QList<Cell> &cells);
    void done(quint8 token, quint16 status, quint16 command, quint64 count);
    void message(quint8 token, int number, int state, int severity, const QString &text, const QString &server,
                 const QString &procedure, int line);
    void envChange(quint8 type, const QString &newValue, const QString &oldValue);
    void envChangeBytes(quint8 type, const QByteArray &newValue, const QByteArray &oldValue);
    void loginAck(const QString &program);
    void returnStatus(qint32 value);
    void returnValueInt(quint16 ordinal, const QString &name, qint32 value);
    // An output parameter's value, of the type the parameter was declared with.
    void returnValue(quint16 ordinal, const QString &name, const Column &c, const Cell &cell);

private:
    void typeInfo(const Column &c);
    void value(const Column &c, const Cell &cell);
};

// A reader over a request message; every read past the end sets failed().
class Reader
{
public:
    explicit Reader(const QByteArray &d, qsizetype pos = 0) : m_data(d), m_pos(pos) {}
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    qsizetype pos() const { return m_pos; }
    qsizetype remaining() const { return m_data.size() - m_pos; }
    quint8 u8();
    quint16 u16();
    quint32 u32();
    quint64 u64();
    QByteArray bytes(qsizetype n);
    QString utf16(qsizetype chars);
    void skip(qsizetype n) { bytes(n); }

private:
    const QByteArray &m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

// A parameter of an RPC request.
struct RpcParameter
{
    QString name; // with its "@", empty when positional
    bool output = false;
    quint8 type = 0;
    QVariant value; // null QVariant for NULL; GUIDs and dates as the demo's text
};

// Reads TYPE_INFO and the value that follows; false when malformed or of an
// unknown type.
bool readParameterValue(Reader &r, RpcParameter *p);
// The value as the request log shows it.
QString displayValue(const QVariant &v);

// "YYYY-MM-DD hh:mm:ss.mmm" to the two parts of a DATETIME; false when it is no date.
bool encodeDateTime(const QString &text, qint32 *days, quint32 *ticks);
// A GUID's text (with or without braces) in the wire's byte order.
bool encodeGuid(const QString &text, QByteArray *out);

} // namespace korva::tds
