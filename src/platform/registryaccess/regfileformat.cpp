#include "platform/registryaccess/regfileformat.h"

#include <QtCore/QStringDecoder>

#include <optional>

namespace korva::regaccess {

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE)(bytes);
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE)(bytes);
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    // Old exports are single-byte text in the exporting machine's code page.
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool isHexDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

qsizetype lineLength(QStringView text)
{
    const auto end = std::find_if(text.begin(), text.end(), [](QChar c) { return c == u'\n' || c == u'\r'; });
    return end - text.begin();
}

} // namespace

class RegFileReader
{
public:
    explicit RegFileReader(QString text) : m_text(std::move(text)) {}

    RegFileParse run()
    {
        if (readHeader()) {
            while (!atEnd() && parseLine()) {
            }
        }
        if (m_removed)
            m_result.top.dropRemovedInTree();
        return std::move(m_result);
    }

private:
    enum class Section { None, Key, Deleted };

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }

    void skipBlanks()
    {
        while (!atEnd() && (peek() == u' ' || peek() == u'\t'))
            ++m_pos;
    }

    // The rest of the current line without its line break, which is consumed.
    // A line ends at LF, CR LF or a lone CR, as in any text editor: were a lone
    // CR part of the line, whatever follows it would be read as the line's tail
    // and quietly lost.
    QStringView takeLine()
    {
        const qsizetype start = m_pos;
        const qsizetype end = start + lineLength(QStringView(m_text).sliced(start));
        m_pos = end;
        if (!atEnd()) {
            const bool crLf = m_text.at(m_pos) == u'\r' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == u'\n';
            m_pos += crLf ? 2 : 1;
            ++m_line;
        }
        return QStringView(m_text).sliced(start, end - start);
    }

    bool fail(const QString &reason, int line)
    {
        m_result.errorLine = line;
        m_result.error = reason;
        return false;
    }

    bool readHeader()
    {
        while (!atEnd()) {
            const int line = m_line;
            const QStringView header = takeLine().trimmed();
            if (header.isEmpty())
                continue;
            if (header == kOldHeader) {
                m_singleByte = true;
                return true;
            }
            if (header == kHeader)
                return true;
            return fail(QStringLiteral("not a registry export: the first line must be \"%1\"").arg(kHeader), line);
        }
        return true;
    }

    bool parseLine()
    {
        skipBlanks();
        const QChar c = peek();
        if (atEnd() || c == u'\r' || c == u'\n' || c == u';') {
            takeLine();
            return true;
        }
        if (c == u'[')
            return parseSection();
        if (c == u'"' || c == u'@')
            return parseValue();
        return fail(QStringLiteral("unrecognised line"), m_line);
    }

    bool parseSection()
    {
        const int line = m_line;
        const QStringView text = takeLine().trimmed();
        if (!text.endsWith(u']'))
            return fail(QStringLiteral("a key section must end with \"]\""), line);
        QStringView inner = text.sliced(1, text.size() - 2);
        const bool deletion = inner.startsWith(u'-');
        if (deletion)
            inner = inner.sliced(1);
        QStringList path = inner.toString().split(u'\\', Qt::SkipEmptyParts);
        if (path.isEmpty())
            return fail(QStringLiteral("a key section names no key"), line);
        if (!path.first().startsWith(QLatin1String("HKEY_"), Qt::CaseInsensitive))
            return fail(QStringLiteral("unknown root key \"%1\"").arg(path.first()), line);
        if (path.size() - 1 > kMaxKeyDepth)
            return fail(QStringLiteral("the key is nested more than %1 levels deep").arg(kMaxKeyDepth), line);
        if (deletion) {
            const QString last = path.takeLast();
            if (RegistryKey *parent = m_result.top.find(path))
                m_removed |= parent->markChildRemoved(last);
            m_key = nullptr;
            m_section = Section::Deleted;
        } else {
            m_key = &m_result.top.ensurePath(path);
            m_key->setOwnSection(true);
            m_section = Section::Key;
        }
        return true;
    }

    std::optional<QString> readQuoted()
    {
        const int line = m_line;
        ++m_pos;
        QString out;
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos++);
            if (c == u'"')
                return out;
            if (c == u'\\' && (peek() == u'\\' || peek() == u'"')) {
                out += m_text.at(m_pos++);
                continue;
            }
            // A text holding line breaks runs on over several lines; it keeps
            // them as they are, but they count as lines for the error messages.
            if (c == u'\n' || (c == u'\r' && peek() != u'\n'))
                ++m_line;
            out += c;
        }
        fail(QStringLiteral("unterminated quoted text"), line);
        return std::nullopt;
    }

    bool expectLineEnd()
    {
        skipBlanks();
        if (!atEnd() && peek() != u'\r' && peek() != u'\n')
            return fail(QStringLiteral("unexpected text after the value"), m_line);
        takeLine();
        return true;
    }

    bool parseValue()
    {
        const int line = m_line;
        if (m_section == Section::None)
            return fail(QStringLiteral("a value before the first key section"), line);
        QString name;
        if (peek() == u'@') {
            ++m_pos;
        } else {
            std::optional<QString> quoted = readQuoted();
            if (!quoted)
                return false;
            name = std::move(*quoted);
        }
        skipBlanks();
        if (peek() != u'=')
            return fail(QStringLiteral("expected \"=\" after the value name"), m_line);
        ++m_pos;
        skipBlanks();

        if (peek() == u'-') {
            ++m_pos;
            if (!expectLineEnd())
                return false;
            if (m_key)
                m_removed |= m_key->markValueRemoved(name);
            return true;
        }
        if (peek() == u'"') {
            std::optional<QString> text = readQuoted();
            if (!text || !expectLineEnd())
                return false;
            store(name, kTypeText, textToData(*text));
            return true;
        }

        const QStringView rest = QStringView(m_text).sliced(m_pos);
        if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            m_pos += 6;
            const int dataLine = m_line;
            const QStringView digits = takeLine().trimmed();
            if (digits.isEmpty() || digits.size() > 8 || !isHexDigits(digits))
                return fail(QStringLiteral("bad dword value \"%1\"").arg(digits), dataLine);
            store(name, kTypeDword, dwordToData(digits.toUInt(nullptr, 16)));
            return true;
        }
        int type = kTypeBinary;
        if (rest.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            m_pos += 4;
        } else if (rest.startsWith(QLatin1String("hex("), Qt::CaseInsensitive)) {
            const QStringView line = rest.first(lineLength(rest));
            const qsizetype close = line.indexOf(u')');
            const QStringView code = close < 0 ? QStringView() : line.sliced(4, close - 4);
            if (code.isEmpty() || code.size() > 8 || !isHexDigits(code) || !line.sliced(close + 1).startsWith(u':'))
                return fail(QStringLiteral("bad value type in \"hex(...):\""), m_line);
            type = int(code.toUInt(nullptr, 16));
            m_pos += close + 2;
        } else {
            return fail(QStringLiteral("unrecognised value data"), m_line);
        }
        QByteArray data;
        if (!readHexBytes(&data))
            return false;
        if (m_singleByte && isTextType(type)) {
            // The registry holds texts as UTF-16 whatever the export's encoding.
            data = textToData(QString::fromLatin1(data));
            data.chop(2);
        }
        store(name, type, data);
        return true;
    }

    bool readHexBytes(QByteArray *data)
    {
        for (;;) {
            const int line = m_line;
            QStringView text = takeLine().trimmed();
            const bool continued = text.endsWith(u'\\');
            if (continued)
                text.chop(1);
            for (QStringView piece : text.tokenize(u',')) {
                piece = piece.trimmed();
                if (piece.isEmpty())
                    continue;
                if (piece.size() > 2 || !isHexDigits(piece))
                    return fail(QStringLiteral("bad hexadecimal byte \"%1\"").arg(piece), line);
                data->append(char(piece.toUInt(nullptr, 16)));
            }
            if (!continued)
                return true;
            if (atEnd())
                return fail(QStringLiteral("hexadecimal data continues past the end of the file"), line);
        }
    }

    void store(const QString &name, int type, const QByteArray &data)
    {
        if (m_key)
            m_key->setValue(name, type, data);
    }

    QString m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_singleByte = false;
    Section m_section = Section::None;
    RegistryKey *m_key = nullptr;
    bool m_removed = false;
    RegFileParse m_result;
};

namespace {

QString quoted(QString text)
{
    text.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' % text % u'"';
}

// The text of a plain string value, when the export's "..." form keeps it
// exactly. Line breaks go into the quotes as they are: the reader keeps every
// character up to the closing quote, so a query of many lines stays as short
// as its text instead of growing sixfold as hex(1) bytes.
std::optional<QString> plainText(const QByteArray &data)
{
    if (data.size() < 2 || data.size() % 2 != 0 || !data.endsWith(QByteArray(2, '\0')))
        return std::nullopt;
    QString text = textFromData(data);
    text.chop(1);
    if (text.contains(u'\0'))
        return std::nullopt;
    if (QString::fromUtf8(text.toUtf8()) != text)
        return std::nullopt;
    return text;
}

void appendHexValue(QString &out, QString line, const QByteArray &data)
{
    static constexpr char digits[] = "0123456789abcdef";
    constexpr qsizetype width = 77;
    bool lineHasBytes = false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto byte = uchar(data.at(i));
        if (lineHasBytes && line.size() + 3 > width) {
            out += line % QLatin1String("\\\n");
            line = QStringLiteral("  ");
        }
        line += QLatin1Char(digits[byte >> 4]);
        line += QLatin1Char(digits[byte & 0xF]);
        if (i + 1 < data.size())
            line += u',';
        lineHasBytes = true;
    }
    out += line % u'\n';
}

void appendValue(QString &out, const RegistryValue &value)
{
    const QString name = (value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name)) % u'=';
    if (value.type == kTypeText) {
        if (const std::optional<QString> text = plainText(value.data)) {
            out += name % quoted(*text) % u'\n';
            return;
        }
    } else if (value.type == kTypeDword && value.data.size() == 4) {
        out += name % QLatin1String("dword:")
               % QString::number(quint32(dwordFromData(value.data)), 16).rightJustified(8, u'0') % u'\n';
        return;
    }
    const QString prefix = value.type == kTypeBinary
                               ? QStringLiteral("hex:")
                               : QLatin1String("hex(") % QString::number(quint32(value.type), 16) % QLatin1String("):");
    appendHexValue(out, name % prefix, value.data);
}

// A section for each key that holds values, was made or read as a section of
// its own, or has neither values nor sub-keys (nothing else would keep it).
// Other keys are implied by the paths of the keys below them: a section for
// every parent would repeat the whole path once per level.
bool needsSection(const RegistryKey &key, bool isRoot)
{
    return !key.values().isEmpty() || key.ownSection() || (!isRoot && key.childCount() == 0);
}

void appendRoot(QString &out, const RegistryKey &root)
{
    struct Pending
    {
        const RegistryKey *key;
        qsizetype nextChild;
        qsizetype parentPathLength;
    };
    // The path grows and shrinks as the walk goes down and up, so each key
    // costs the length of its own name, not of its whole path.
    QString path;
    std::vector<Pending> stack;
    const auto enter = [&](const RegistryKey &key, bool isRoot) {
        const qsizetype parentPathLength = path.size();
        if (!isRoot)
            path += u'\\';
        path += key.name();
        if (needsSection(key, isRoot)) {
            out += u'[' % path % QLatin1String("]\n");
            for (const RegistryValue &value : key.values())
                appendValue(out, value);
            out += u'\n';
        }
        stack.push_back({&key, 0, parentPathLength});
    };
    enter(root, true);
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.nextChild < top.key->childCount()) {
            enter(top.key->childAt(top.nextChild++), false);
        } else {
            path.truncate(top.parentPathLength);
            stack.pop_back();
        }
    }
}

} // namespace

RegFileParse parseRegFile(const QByteArray &bytes) { return RegFileReader(decodeText(bytes)).run(); }

QByteArray formatRegFile(const RegistryKey &top)
{
    QString out = kHeader % QLatin1String("\n\n");
    for (qsizetype i = 0; i < top.childCount(); ++i)
        appendRoot(out, top.childAt(i));
    return out.toUtf8();
}

} // namespace korva::regaccess
