#include "tdswire.h"

#include <QtCore/QDate>
#include <QtCore/QDateTime>
#include <QtCore/QRegularExpression>
#include <QtCore/QUuid>

#include <cmath>

namespace korva::tds {

namespace {

enum WireCode : quint8 {
    kNull = 0x1F,
    kImage = 0x22,
    kText = 0x23,
    kGuid = 0x24,
    kIntN = 0x26,
    kDateN = 0x28,
    kTimeN = 0x29,
    kDateTime2N = 0x2A,
    kDateTimeOffsetN = 0x2B,
    kInt1 = 0x30,
    kBit = 0x32,
    kInt2 = 0x34,
    kInt4 = 0x38,
    kDateTime4 = 0x3A,
    kFloat4 = 0x3B,
    kMoney = 0x3C,
    kDateTime = 0x3D,
    kFloat8 = 0x3E,
    kNText = 0x63,
    kBitN = 0x68,
    kDecimalN = 0x6A,
    kNumericN = 0x6C,
    kFloatN = 0x6D,
    kMoneyN = 0x6E,
    kDateTimeN = 0x6F,
    kMoney4 = 0x7A,
    kInt8 = 0x7F,
    kBigVarBinary = 0xA5,
    kBigVarChar = 0xA7,
    kBigBinary = 0xAD,
    kBigChar = 0xAF,
    kNVarChar = 0xE7,
    kNChar = 0xEF,
};

const QDate kEpoch1900(1900, 1, 1);

qint64 cellInteger(const Cell &c)
{
    switch (c.kind) {
    case Cell::Integer:
        return c.integer;
    case Cell::Real:
        return qint64(std::llround(c.real));
    case Cell::Text: {
        bool ok = false;
        const qint64 v = c.bytes.trimmed().toLongLong(&ok);
        return ok ? v : qint64(std::llround(c.bytes.trimmed().toDouble()));
    }
    default:
        return 0;
    }
}

double cellReal(const Cell &c)
{
    switch (c.kind) {
    case Cell::Integer:
        return double(c.integer);
    case Cell::Real:
        return c.real;
    case Cell::Text:
        return c.bytes.trimmed().toDouble();
    default:
        return 0;
    }
}

QString cellText(const Cell &c)
{
    switch (c.kind) {
    case Cell::Integer:
        return QString::number(c.integer);
    case Cell::Real:
        return QString::number(c.real, 'g', 17);
    default:
        return QString::fromUtf8(c.bytes);
    }
}

// A decimal's digits scaled by 10^scale, from its text; false when it is no number.
bool scaledDecimal(const QString &text, int scale, bool *negative, unsigned __int128 *out)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?)(\\d*)(?:\\.(\\d*))?\\s*$"));
    const auto m = number.match(text);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return false;
    *negative = m.captured(1) == u"-";
    QString fraction = m.captured(3);
    bool roundUp = fraction.size() > scale && fraction.at(scale) >= u'5';
    fraction = fraction.left(scale).leftJustified(scale, u'0');
    unsigned __int128 v = 0;
    const QString digits = m.captured(2) + fraction;
    for (QChar ch : digits)
        v = v * 10 + (ch.unicode() - '0');
    *out = v + (roundUp ? 1 : 0);
    return true;
}

int decimalBytes(int precision) { return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17; }

} // namespace

bool encodeDateTime(const QString &text, qint32 *days, quint32 *ticks)
{
    static const QRegularExpression re(QStringLiteral(
        "^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d+))?)?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return false;
    const int seconds = m.captured(4).toInt() * 3600 + m.captured(5).toInt() * 60 + m.captured(6).toInt();
    const int ms = m.captured(7).left(3).leftJustified(3, u'0').toInt();
    qint64 t = qint64(seconds) * 300 + qint64(std::llround(ms * 0.3));
    qint64 d = kEpoch1900.daysTo(date);
    if (t >= 300LL * 86400) {
        t -= 300LL * 86400;
        ++d;
    }
    *days = qint32(d);
    *ticks = quint32(t);
    return true;
}

bool encodeGuid(const QString &text, QByteArray *out)
{
    const QUuid id = QUuid::fromString(text.trimmed());
    if (id.isNull() && text.trimmed() != u"00000000-0000-0000-0000-000000000000")
        return false;
    const QByteArray be = id.toRfc4122();
    QByteArray w(16, '\0');
    // The first three groups travel little-endian, the rest as written.
    for (int i = 0; i < 4; ++i)
        w[i] = be[3 - i];
    w[4] = be[5];
    w[5] = be[4];
    w[6] = be[7];
    w[7] = be[6];
    for (int i = 8; i < 16; ++i)
        w[i] = be[i];
    *out = w;
    return true;
}

Column columnFor(const QString &name, const QString &declaredType, const Cell &firstValue)
{
    Column c;
    c.name = name;
    static const QRegularExpression re(
        QStringLiteral("^\\s*([a-z0-9_]+)\\s*(?:\\(\\s*([a-z0-9]+)\\s*(?:,\\s*(\\d+)\\s*)?\\))?"));
    const auto m = re.match(declaredType.toLower());
    const QString base = m.hasMatch() ? m.captured(1) : QString();
    const QString arg = m.captured(2);
    const bool max = arg == u"max";
    const int n = arg.toInt();
    auto sized = [&](WireType t, int unit, int fallback) {
        c.type = t;
        c.size = max ? -1 : arg.isEmpty() ? fallback : (n * unit > 8000 ? -1 : n * unit);
        return c;
    };
    if (base == u"int")
        return c.type = WireType::Int, c.size = 4, c;
    if (base == u"integer" || base == u"bigint")
        return c.type = WireType::Int, c.size = 8, c;
    if (base == u"smallint")
        return c.type = WireType::Int, c.size = 2, c;
    if (base == u"tinyint")
        return c.type = WireType::Int, c.size = 1, c;
    if (base == u"bit" || base == u"boolean")
        return c.type = WireType::Bit, c.size = 1, c;
    if (base == u"float" || base == u"real" || base == u"double")
        return c.type = WireType::Float, c.size = 8, c;
    if (base == u"money" || base == u"smallmoney")
        return c.type = WireType::Money, c.size = 8, c;
    if (base == u"decimal" || base == u"numeric") {
        c.type = WireType::Decimal;
        c.precision = arg.isEmpty() ? 18 : qBound(1, n, 38);
        c.scale = qBound(0, m.captured(3).toInt(), c.precision);
        c.size = decimalBytes(c.precision);
        return c;
    }
    if (base == u"datetime" || base == u"smalldatetime" || base == u"datetime2" || base == u"date")
        return c.type = WireType::DateTime, c.size = 8, c;
    if (base == u"uniqueidentifier")
        return c.type = WireType::Guid, c.size = 16, c;
    if (base == u"nvarchar" || base == u"nchar")
        return sized(WireType::NVarChar, 2, 8000);
    if (base == u"ntext" || base == u"text" || base == u"clob")
        return c.type = WireType::NVarChar, c.size = -1, c;
    if (base == u"varchar" || base == u"char")
        return sized(WireType::VarChar, 1, 8000);
    if (base == u"varbinary" || base == u"binary")
        return sized(WireType::VarBinary, 1, 8000);
    if (base == u"image" || base == u"blob")
        return c.type = WireType::VarBinary, c.size = -1, c;
    // An expression: what its first value holds.
    switch (firstValue.kind) {
    case Cell::Integer:
        c.type = WireType::Int;
        c.size = firstValue.integer == qint32(firstValue.integer) ? 4 : 8;
        break;
    case Cell::Real:
        c.type = WireType::Float;
        c.size = 8;
        break;
    case Cell::Blob:
        c.type = WireType::VarBinary;
        c.size = -1;
        break;
    case Cell::Text:
        c.type = WireType::NVarChar;
        c.size = QString::fromUtf8(firstValue.bytes).size() > 4000 ? -1 : 8000;
        break;
    case Cell::Null:
        // Nothing to go by; wide enough for whatever the later rows hold.
        c.type = WireType::NVarChar;
        c.size = 8000;
        break;
    }
    return c;
}

Cell cellFromVariant(const QVariant &v)
{
    Cell c;
    if (!v.isValid() || v.isNull())
        return c;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        c.kind = Cell::Integer;
        c.integer = v.toLongLong();
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        c.kind = Cell::Real;
        c.real = v.toDouble();
        break;
    case QMetaType::QByteArray:
        c.kind = Cell::Blob;
        c.bytes = v.toByteArray();
        break;
    default:
        c.kind = Cell::Text;
        c.bytes = v.toString().toUtf8();
    }
    return c;
}

Column columnForValue(const QString &name, const QVariant &value)
{
    return columnFor(name, QString(), cellFromVariant(value));
}

void TokenWriter::u16(quint16 v)
{
    u8(v & 0xFF);
    u8(v >> 8);
}

void TokenWriter::u32(quint32 v)
{
    u16(v & 0xFFFF);
    u16(v >> 16);
}

void TokenWriter::u64(quint64 v)
{
    u32(quint32(v));
    u32(quint32(v >> 32));
}

void TokenWriter::utf16(const QString &s)
{
    for (QChar ch : s)
        u16(ch.unicode());
}

void TokenWriter::bVarChar(const QString &s)
{
    const QString t = s.left(255);
    u8(quint8(t.size()));
    utf16(t);
}

void TokenWriter::usVarChar(const QString &s)
{
    const QString t = s.left(65535);
    u16(quint16(t.size()));
    utf16(t);
}

void TokenWriter::typeInfo(const Column &c)
{
    switch (c.type) {
    case WireType::Int:
        u8(kIntN);
        u8(quint8(c.size));
        break;
    case WireType::Bit:
        u8(kBitN);
        u8(1);
        break;
    case WireType::Float:
        u8(kFloatN);
        u8(8);
        break;
    case WireType::Money:
        u8(kMoneyN);
        u8(8);
        break;
    case WireType::DateTime:
        u8(kDateTimeN);
        u8(8);
        break;
    case WireType::Guid:
        u8(kGuid);
        u8(16);
        break;
    case WireType::Decimal:
        u8(kDecimalN);
        u8(quint8(c.size));
        u8(quint8(c.precision));
        u8(quint8(c.scale));
        break;
    case WireType::NVarChar:
    case WireType::VarChar:
        u8(c.type == WireType::NVarChar ? kNVarChar : kBigVarChar);
        u16(c.size < 0 ? 0xFFFF : quint16(c.size));
        data.append(reinterpret_cast<const char *>(kCollation), 5);
        break;
    case WireType::VarBinary:
        u8(kBigVarBinary);
        u16(c.size < 0 ? 0xFFFF : quint16(c.size));
        break;
    }
}

void TokenWriter::colMetadata(const QList<Column> &columns)
{
    u8(kTokenColMetadata);
    u16(quint16(columns.size()));
    for (const Column &c : columns) {
        u32(0);      // user type
        u16(0x0009); // nullable, updatability unknown
        typeInfo(c);
        bVarChar(c.name);
    }
}

void TokenWriter::value(const Column &c, const Cell &cell)
{
    const bool null = cell.kind == Cell::Null;
    switch (c.type) {
    case WireType::Int: {
        if (null)
            return u8(0);
        const qint64 v = cellInteger(cell);
        u8(quint8(c.size));
        for (int i = 0; i < c.size; ++i)
            u8(quint8(quint64(v) >> (8 * i)));
        return;
    }
    case WireType::Bit:
        if (null)
            return u8(0);
        u8(1);
        return u8(cellInteger(cell) != 0 ? 1 : 0);
    case WireType::Float: {
        if (null)
            return u8(0);
        const double d = cellReal(cell);
        quint64 bits;
        memcpy(&bits, &d, 8);
        u8(8);
        return u64(bits);
    }
    case WireType::Money: {
        if (null)
            return u8(0);
        const qint64 v = std::llround(cellReal(cell) * 10000.0);
        u8(8);
        u32(quint32(quint64(v) >> 32));
        return u32(quint32(quint64(v)));
    }
    case WireType::DateTime: {
        qint32 days;
        quint32 ticks;
        if (null || !encodeDateTime(cellText(cell), &days, &ticks))
            return u8(0);
        u8(8);
        u32(quint32(days));
        return u32(ticks);
    }
    case WireType::Guid: {
        QByteArray g;
        if (cell.kind == Cell::Blob && cell.bytes.size() == 16)
            g = cell.bytes;
        else if (null || !encodeGuid(cellText(cell), &g))
            return u8(0);
        u8(16);
        data.append(g);
        return;
    }
    case WireType::Decimal: {
        bool negative = false;
        unsigned __int128 v = 0;
        const QString text = cell.kind == Cell::Real ? QString::number(cell.real, 'f', c.scale) : cellText(cell);
        if (null || !scaledDecimal(text, c.scale, &negative, &v))
            return u8(0);
        u8(quint8(c.size));
        u8(negative ? 0 : 1);
        for (int i = 0; i < c.size - 1; ++i)
            u8(quint8(v >> (8 * i)));
        return;
    }
    case WireType::NVarChar:
    case WireType::VarChar:
    case WireType::VarBinary: {
        QByteArray bytes;
        if (!null) {
            if (c.type == WireType::VarBinary) {
                bytes = cell.bytes;
                if (cell.kind == Cell::Integer || cell.kind == Cell::Real)
                    bytes = cellText(cell).toUtf8();
            } else {
                const QString s = cellText(cell);
                if (c.type == WireType::VarChar)
                    bytes = s.toLatin1();
                else
                    bytes = QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
            }
        }
        if (c.size >= 0) {
            if (null)
                return u16(0xFFFF);
            // A value longer than its declared column is cut, as the server would have on insert.
            if (bytes.size() > c.size)
                bytes.truncate(c.size);
            u16(quint16(bytes.size()));
            data.append(bytes);
            return;
        }
        if (null)
            return u64(~quint64(0));
        u64(quint64(bytes.size()));
        for (qsizetype at = 0; at < bytes.size(); at += 8000) {
            const QByteArray chunk = bytes.mid(at, 8000);
            u32(quint32(chunk.size()));
            data.append(chunk);
        }
        return u32(0);
    }
    }
}

void TokenWriter::row(const QList<Column> &columns, const QList<Cell> &cells)
{
    u8(kTokenRow);
    for (int i = 0; i < columns.size(); ++i)
        value(columns[i], cells.value(i));
}

void TokenWriter::done(quint8 token, quint16 status, quint16 command, quint64 count)
{
    u8(token);
    u16(status);
    u16(command);
    u64(count);
}

void TokenWriter::message(quint8 token, int number, int state, int severity, const QString &text, const QString &server,
                          const QString &procedure, int line)
{
    TokenWriter body;
    body.u32(quint32(number));
    body.u8(quint8(state));
    body.u8(quint8(severity));
    body.usVarChar(text);
    body.bVarChar(server);
    body.bVarChar(procedure);
    body.u32(quint32(line));
    u8(token);
    u16(quint16(body.data.size()));
    data.append(body.data);
}

void TokenWriter::envChange(quint8 type, const QString &newValue, const QString &oldValue)
{
    TokenWriter body;
    body.u8(type);
    body.bVarChar(newValue);
    body.bVarChar(oldValue);
    u8(kTokenEnvChange);
    u16(quint16(body.data.size()));
    data.append(body.data);
}

void TokenWriter::envChangeBytes(quint8 type, const QByteArray &newValue, const QByteArray &oldValue)
{
    u8(kTokenEnvChange);
    u16(quint16(3 + newValue.size() + oldValue.size()));
    u8(type);
    u8(quint8(newValue.size()));
    data.append(newValue);
    u8(quint8(oldValue.size()));
    data.append(oldValue);
}

void TokenWriter::loginAck(const QString &program)
{
    u8(kTokenLoginAck);
    u16(quint16(1 + 4 + 1 + program.size() * 2 + 4));
    u8(1); // Transact-SQL
    u8(0x74);
    u8(0x00);
    u8(0x00);
    u8(0x04);
    bVarChar(program);
    u8(11); // the version of the server the stand-in poses as
    u8(0);
    u8(0x0C);
    u8(0x38);
}

void TokenWriter::returnStatus(qint32 value)
{
    u8(kTokenReturnStatus);
    u32(quint32(value));
}

void TokenWriter::returnValueInt(quint16 ordinal, const QString &name, qint32 value)
{
    u8(kTokenReturnValue);
    u16(ordinal);
    bVarChar(name);
    u8(0x01); // an output parameter
    u32(0);
    u16(0x0009);
    u8(kIntN);
    u8(4);
    u8(4);
    u32(quint32(value));
}

void TokenWriter::returnValue(quint16 ordinal, const QString &name, const Column &c, const Cell &cell)
{
    u8(kTokenReturnValue);
    u16(ordinal);
    bVarChar(name);
    u8(0x01); // an output parameter
    u32(0);
    u16(0x0009);
    typeInfo(c);
    value(c, cell);
}

quint8 Reader::u8()
{
    if (m_pos + 1 > m_data.size()) {
        m_failed = true;
        m_pos = m_data.size();
        return 0;
    }
    return quint8(m_data.at(m_pos++));
}

quint16 Reader::u16()
{
    const quint16 lo = u8();
    return quint16(lo | (quint16(u8()) << 8));
}

quint32 Reader::u32()
{
    const quint32 lo = u16();
    return lo | (quint32(u16()) << 16);
}

quint64 Reader::u64()
{
    const quint64 lo = u32();
    return lo | (quint64(u32()) << 32);
}

QByteArray Reader::bytes(qsizetype n)
{
    if (n < 0 || m_pos + n > m_data.size()) {
        m_failed = true;
        m_pos = m_data.size();
        return {};
    }
    const QByteArray b = m_data.mid(m_pos, n);
    m_pos += n;
    return b;
}

QString Reader::utf16(qsizetype chars)
{
    const QByteArray b = bytes(chars * 2);
    return QString(reinterpret_cast<const QChar *>(b.constData()), b.size() / 2);
}

namespace {

QVariant decodeDateTime(qint32 days, quint32 ticks)
{
    const QDateTime t(kEpoch1900.addDays(days), QTime(0, 0).addMSecs(int(std::llround(ticks * 10.0 / 3.0))));
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QVariant decodeGuid(const QByteArray &w)
{
    QByteArray be(16, '\0');
    for (int i = 0; i < 4; ++i)
        be[i] = w[3 - i];
    be[4] = w[5];
    be[5] = w[4];
    be[6] = w[7];
    be[7] = w[6];
    for (int i = 8; i < 16; ++i)
        be[i] = w[i];
    // The demo's form: upper case, no braces.
    return QUuid::fromRfc4122(be).toString(QUuid::WithoutBraces).toUpper();
}

qint64 littleEndian(const QByteArray &b)
{
    quint64 v = 0;
    for (int i = int(b.size()) - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[i]);
    // Sign-extend the narrower integers.
    const int bits = int(b.size()) * 8;
    if (bits < 64 && (v >> (bits - 1)) & 1)
        v |= ~quint64(0) << bits;
    return qint64(v);
}

QVariant decodeFixed(quint8 type, const QByteArray &b)
{
    switch (type) {
    case kInt1:
        return qlonglong(quint8(b[0]));
    case kBit:
        return qlonglong(b[0] ? 1 : 0);
    case kInt2:
    case kInt4:
    case kInt8:
        return qlonglong(littleEndian(b));
    case kFloat4: {
        float f;
        const quint32 v = quint32(littleEndian(b));
        memcpy(&f, &v, 4);
        return double(f);
    }
    case kFloat8: {
        double d;
        const quint64 v = quint64(littleEndian(b));
        memcpy(&d, &v, 8);
        return d;
    }
    case kMoney: {
        const quint64 hi = quint32(littleEndian(b.left(4)));
        const quint64 lo = quint32(littleEndian(b.mid(4)));
        return double(qint64((hi << 32) | lo)) / 10000.0;
    }
    case kMoney4:
        return double(littleEndian(b)) / 10000.0;
    case kDateTime:
        return decodeDateTime(qint32(littleEndian(b.left(4))), quint32(littleEndian(b.mid(4))));
    case kDateTime4: {
        const quint16 days = quint16(littleEndian(b.left(2)));
        const quint16 minutes = quint16(littleEndian(b.mid(2)));
        return decodeDateTime(days, quint32(minutes) * 60 * 300);
    }
    }
    return {};
}

// DATE and DATETIME2 parts: days since 0001-01-01, time in 10^-scale seconds.
QVariant decodeDate2(const QByteArray &b, int scale, bool withTime)
{
    const int timeBytes = withTime ? (scale <= 2 ? 3 : scale <= 4 ? 4 : 5) : 0;
    if (b.size() < timeBytes + 3)
        return {};
    const quint64 units = quint64(littleEndian(b.left(timeBytes)) & ((quint64(1) << (timeBytes * 8)) - 1));
    const qint64 days = littleEndian(b.mid(timeBytes, 3)) & 0xFFFFFF;
    const QDate date = QDate(1, 1, 1).addDays(days);
    if (!withTime)
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    double seconds = double(units);
    for (int i = 0; i < scale; ++i)
        seconds /= 10;
    const QTime time = QTime(0, 0).addMSecs(int(std::llround(seconds * 1000)));
    return QDateTime(date, time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QVariant decodeDecimal(const QByteArray &b, int scale)
{
    if (b.isEmpty())
        return {};
    unsigned __int128 v = 0;
    for (int i = int(b.size()) - 1; i >= 1; --i)
        v = (v << 8) | quint8(b[i]);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(v % 10)));
        v /= 10;
    } while (v);
    digits = digits.rightJustified(scale + 1, u'0');
    QString text = scale ? digits.left(digits.size() - scale) + u'.' + digits.right(scale) : digits;
    if (!b[0])
        text.prepend(u'-');
    if (scale == 0)
        return text.toLongLong();
    return text.toDouble();
}

QVariant decodeText(quint8 type, const QByteArray &b)
{
    if (type == kNVarChar || type == kNChar || type == kNText)
        return QString(reinterpret_cast<const QChar *>(b.constData()), b.size() / 2);
    if (type == kBigVarBinary || type == kBigBinary || type == kImage)
        return b;
    // Eight-bit text is in the collation's code page, Latin1.
    return QString::fromLatin1(b);
}

} // namespace

bool readParameterValue(Reader &r, RpcParameter *p)
{
    const quint8 type = r.u8();
    p->type = type;
    auto fixed = [&](int n) {
        p->value = decodeFixed(type, r.bytes(n));
        return !r.failed();
    };
    switch (type) {
    case kNull:
        p->value = QVariant();
        return !r.failed();
    case kInt1:
    case kBit:
        return fixed(1);
    case kInt2:
        return fixed(2);
    case kInt4:
    case kDateTime4:
    case kFloat4:
    case kMoney4:
        return fixed(4);
    case kMoney:
    case kDateTime:
    case kFloat8:
    case kInt8:
        return fixed(8);
    case kGuid:
    case kIntN:
    case kBitN:
    case kFloatN:
    case kMoneyN:
    case kDateTimeN:
    case kDecimalN:
    case kNumericN: {
        const quint8 max = r.u8();
        int scale = 0;
        if (type == kDecimalN || type == kNumericN) {
            r.u8();
            scale = r.u8();
        }
        const quint8 len = r.u8();
        if (r.failed() || len > max)
            return false;
        const QByteArray b = r.bytes(len);
        if (r.failed())
            return false;
        if (len == 0) {
            p->value = QVariant();
            return true;
        }
        switch (type) {
        case kGuid:
            if (len != 16)
                return false;
            p->value = decodeGuid(b);
            return true;
        case kIntN:
            if (len != 1 && len != 2 && len != 4 && len != 8)
                return false;
            p->value = len == 1 ? qlonglong(quint8(b[0])) : qlonglong(littleEndian(b));
            return true;
        case kBitN:
            p->value = qlonglong(b[0] ? 1 : 0);
            return true;
        case kFloatN:
            p->value = decodeFixed(len == 4 ? kFloat4 : kFloat8, b);
            return len == 4 || len == 8;
        case kMoneyN:
            p->value = decodeFixed(len == 4 ? kMoney4 : kMoney, b);
            return len == 4 || len == 8;
        case kDateTimeN:
            p->value = decodeFixed(len == 4 ? kDateTime4 : kDateTime, b);
            return len == 4 || len == 8;
        default:
            p->value = decodeDecimal(b, scale);
            return true;
        }
    }
    case kDateN: {
        const quint8 len = r.u8();
        const QByteArray b = r.bytes(len);
        p->value = len ? decodeDate2(b, 0, false) : QVariant();
        return !r.failed() && (len == 0 || len == 3);
    }
    case kTimeN:
    case kDateTime2N:
    case kDateTimeOffsetN: {
        const int scale = r.u8();
        const quint8 len = r.u8();
        const QByteArray b = r.bytes(len);
        if (r.failed() || scale > 7)
            return false;
        if (len == 0) {
            p->value = QVariant();
            return true;
        }
        if (type == kTimeN) {
            QByteArray withDate = b + QByteArray(3, '\0');
            p->value = decodeDate2(withDate, scale, true).toString().mid(11);
        } else {
            p->value = decodeDate2(b, scale, true);
        }
        return true;
    }
    case kBigVarBinary:
    case kBigVarChar:
    case kBigBinary:
    case kBigChar:
    case kNVarChar:
    case kNChar: {
        const quint16 max = r.u16();
        if (type != kBigVarBinary && type != kBigBinary)
            r.skip(5); // collation
        if (max == 0xFFFF) {
            if (type == kBigBinary || type == kBigChar || type == kNChar)
                return false;
            const quint64 total = r.u64();
            if (total == ~quint64(0)) {
                p->value = QVariant();
                return !r.failed();
            }
            QByteArray all;
            for (;;) {
                const quint32 chunk = r.u32();
                if (r.failed())
                    return false;
                if (chunk == 0)
                    break;
                all += r.bytes(chunk);
                if (r.failed())
                    return false;
            }
            if (total != 0xFFFFFFFFFFFFFFFEull && quint64(all.size()) != total)
                return false;
            p->value = decodeText(type, all);
            return true;
        }
        const quint16 len = r.u16();
        if (len == 0xFFFF) {
            p->value = QVariant();
            return !r.failed();
        }
        if (len > max)
            return false;
        const QByteArray b = r.bytes(len);
        p->value = decodeText(type, b);
        return !r.failed();
    }
    case kText:
    case kNText:
    case kImage: {
        r.u32();
        if (type != kImage)
            r.skip(5);
        const quint32 len = r.u32();
        if (len == 0xFFFFFFFF) {
            p->value = QVariant();
            return !r.failed();
        }
        const QByteArray b = r.bytes(len);
        p->value = decodeText(type, b);
        return !r.failed();
    }
    default:
        return false;
    }
}

QString displayValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
    return v.toString();
}

} // namespace korva::tds
