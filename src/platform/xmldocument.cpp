#include "platform/xmldocument.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QStringDecoder>
#include <QtCore/QStringList>

#include <pugixml.hpp>

#include <algorithm>

namespace korva::xml {

namespace {

pugi::xml_node toPugi(void *p) { return pugi::xml_node(static_cast<pugi::xml_node_struct *>(p)); }

QString fromUtf8(const char *s) { return QString::fromUtf8(s); }

// Visits every node below top in document order. Iterative, because a
// document may nest far deeper than the stack allows recursion.
template<typename Visit>
void walkDescendants(const pugi::xml_node &top, Visit visit)
{
    pugi::xml_node n = top.first_child();
    while (n) {
        visit(n);
        if (const pugi::xml_node child = n.first_child()) {
            n = child;
            continue;
        }
        while (n != top && !n.next_sibling())
            n = n.parent();
        if (n == top)
            break;
        n = n.next_sibling();
    }
}

// Finds how deep the elements of the text nest, without parsing it: the byte
// offset of the first element below maxDepth levels (the document element is
// level 1), or -1. Malformed text is left for the parser to report.
qsizetype tooDeepAt(const QByteArray &text, int maxDepth)
{
    const qsizetype n = text.size();
    const char *s = text.constData();
    auto at = [&](qsizetype i, QByteArrayView what) {
        return n - i >= what.size() && QByteArrayView(s + i, what.size()).compare(what, Qt::CaseInsensitive) == 0;
    };
    auto past = [&](qsizetype from, QByteArrayView end) {
        const qsizetype found = text.indexOf(end, from);
        return found < 0 ? n : found + end.size();
    };
    // "<!" declarations, the DOCTYPE with its internal subset among them:
    // nested "<!...>" groups, quoted literals, comments and processing
    // instructions, up to the ">" that closes the outermost group.
    auto pastDeclaration = [&](qsizetype i) {
        int groups = 0;
        for (i += 2; i < n;) {
            const char c = s[i];
            if (c == '"' || c == '\'') {
                i = past(i + 1, QByteArrayView(&c, 1));
            } else if (at(i, "<!--")) {
                i = past(i + 4, "-->");
            } else if (at(i, "<?")) {
                i = past(i + 2, "?>");
            } else if (at(i, "<!")) {
                ++groups;
                i += 2;
            } else if (c == '>') {
                if (groups == 0)
                    return i + 1;
                --groups;
                ++i;
            } else {
                ++i;
            }
        }
        return n;
    };

    int depth = 0;
    for (qsizetype i = 0; (i = text.indexOf('<', i)) >= 0;) {
        if (at(i, "<!--")) {
            i = past(i + 4, "-->");
        } else if (at(i, "<![CDATA[")) {
            i = past(i + 9, "]]>");
        } else if (at(i, "<?")) {
            i = past(i + 2, "?>");
        } else if (at(i, "<!")) {
            i = pastDeclaration(i);
        } else if (at(i, "</")) {
            depth = std::max(0, depth - 1);
            i = past(i + 2, ">");
        } else {
            qsizetype j = i + 1;
            while (j < n && s[j] != '>') {
                if (s[j] == '"' || s[j] == '\'')
                    j = past(j + 1, QByteArrayView(s + j, 1));
                else
                    ++j;
            }
            if (j >= n)
                return -1;
            if (depth + 1 > maxDepth)
                return i;
            if (s[j - 1] != '/')
                ++depth;
            i = j + 1;
        }
    }
    return -1;
}

int lineAt(const QByteArray &text, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    return 1 + int(std::count(text.constData(), text.constData() + offset, '\n'));
}

// Windows-1252 is Latin-1 but for 0x80-0x9F; its five unassigned bytes stay
// the C1 controls, as Windows itself maps them.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromCp1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// UTF-8, or windows-1252 when the bytes are not valid UTF-8: a file saved in
// the Western code page mostly declares nothing, or UTF-8 by mistake.
QString fromUtf8OrCp1252(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? fromCp1252(bytes) : text;
}

// The encoding name of an XML declaration at the start of the bytes, or
// nothing.
QByteArray declaredEncoding(const QByteArray &bytes)
{
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    const QByteArray decl = bytes.left(end < 0 ? 0 : end);
    static const QRegularExpression re(QStringLiteral("\\sencoding\\s*=\\s*([\"'])([A-Za-z0-9._:-]*)\\1"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(decl));
    return m.hasMatch() ? m.captured(2).toLatin1().toLower() : QByteArray();
}

} // namespace

QString literal(const QString &value)
{
    if (!value.contains(u'\''))
        return u'\'' + value + u'\'';
    if (!value.contains(u'"'))
        return u'"' + value + u'"';
    QStringList parts;
    const QStringList pieces = value.split(u'\'');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            parts << QStringLiteral("\"'\"");
        if (!pieces.at(i).isEmpty())
            parts << u'\'' + pieces.at(i) + u'\'';
    }
    return QStringLiteral("concat(") + parts.join(u',') + u')';
}

QString decodeDocument(const QByteArray &bytes)
{
    const QByteArrayView b(bytes);
    if (b.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, b.sliced(3));
    if (b.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)))
        return decodeWith(QStringConverter::Utf32LE, b.sliced(4));
    if (b.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return decodeWith(QStringConverter::Utf32BE, b.sliced(4));
    if (b.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, b.sliced(2));
    if (b.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, b.sliced(2));
    if (b.startsWith(QByteArrayView("<\0?\0", 4)))
        return decodeWith(QStringConverter::Utf16LE, b);
    if (b.startsWith(QByteArrayView("\0<\0?", 4)))
        return decodeWith(QStringConverter::Utf16BE, b);

    const QByteArray name = declaredEncoding(bytes);
    if (name == "iso-8859-1" || name == "iso_8859-1" || name == "latin1" || name == "latin-1" || name == "l1")
        return decodeWith(QStringConverter::Latin1, b);
    if (name == "windows-1252" || name == "cp1252")
        return fromCp1252(b);
    return fromUtf8OrCp1252(b);
}

QString Node::name() const { return m_node ? fromUtf8(toPugi(m_node).name()) : QString(); }

Node Node::selectSingleNode(const QString &xpath) const
{
    if (!m_node)
        return {};
    try {
        const pugi::xpath_node found = toPugi(m_node).select_node(xpath.toUtf8().constData());
        pugi::xml_node n = found.node();
        return n ? Node(n.internal_object()) : Node();
    } catch (const pugi::xpath_exception &) {
        return {};
    }
}

QList<Node> Node::selectNodes(const QString &xpath) const
{
    QList<Node> out;
    if (!m_node)
        return out;
    try {
        for (const pugi::xpath_node &x : toPugi(m_node).select_nodes(xpath.toUtf8().constData()))
            if (x.node())
                out.append(Node(x.node().internal_object()));
    } catch (const pugi::xpath_exception &) {
    }
    return out;
}

std::optional<QString> Node::attribute(const QString &name) const
{
    if (!m_node)
        return std::nullopt;
    const pugi::xml_attribute a = toPugi(m_node).attribute(name.toUtf8().constData());
    if (!a)
        return std::nullopt;
    return fromUtf8(a.value());
}

QString Node::text() const
{
    if (!m_node)
        return {};
    const pugi::xml_node n = toPugi(m_node);
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
        return fromUtf8(n.value());
    QByteArray out;
    walkDescendants(n, [&out](const pugi::xml_node &d) {
        if (d.type() == pugi::node_pcdata || d.type() == pugi::node_cdata)
            out += d.value();
    });
    return QString::fromUtf8(out);
}

Node Node::firstChild() const
{
    if (!m_node)
        return {};
    for (pugi::xml_node c = toPugi(m_node).first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            return Node(c.internal_object());
    return {};
}

Node Node::nextSibling() const
{
    if (!m_node)
        return {};
    for (pugi::xml_node c = toPugi(m_node).next_sibling(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            return Node(c.internal_object());
    return {};
}

Document::Document() : m_doc(std::make_unique<pugi::xml_document>()) {}
Document::~Document() = default;
Document::Document(Document &&) noexcept = default;
Document &Document::operator=(Document &&) noexcept = default;

bool Document::loadFromText(const QString &text)
{
    m_doc->reset();
    const QByteArray utf8 = text.toUtf8();
    // Refused before parsing, so that no walk of the tree, in the XML library
    // or here, ever meets unbounded depth.
    if (const qsizetype deep = tooDeepAt(utf8, kMaxElementDepth); deep >= 0) {
        m_loaded = false;
        m_errorCode = kErrorNestedTooDeeply;
        m_errorReason = QStringLiteral("elements nested too deeply");
        m_errorLine = lineAt(utf8, deep);
        return false;
    }
    const pugi::xml_parse_result r = m_doc->load_buffer(utf8.constData(), std::size_t(utf8.size()), pugi::parse_default,
                                                        pugi::encoding_utf8);
    m_loaded = bool(r);
    if (m_loaded && !m_doc->document_element()) {
        m_loaded = false;
        m_errorCode = int(pugi::status_no_document_element);
        m_errorReason = QStringLiteral("No document element found");
        m_errorLine = 1;
        return false;
    }
    if (m_loaded) {
        m_errorCode = 0;
        m_errorReason.clear();
        m_errorLine = 0;
        return true;
    }
    m_errorCode = int(r.status);
    m_errorReason = QString::fromUtf8(r.description());
    m_errorLine = lineAt(utf8, qsizetype(r.offset));
    m_doc->reset();
    return false;
}

Node Document::root() const
{
    const pugi::xml_node e = m_doc->document_element();
    return e ? Node(e.internal_object()) : Node();
}

Node Document::selectSingleNode(const QString &xpath) const
{
    // Absolute paths start from the document node itself.
    return Node(m_doc->internal_object()).selectSingleNode(xpath);
}

QList<Node> Document::elementsByTagName(const QString &tag) const
{
    QList<Node> out;
    const QByteArray t = tag.toUtf8();
    walkDescendants(*m_doc, [&](const pugi::xml_node &n) {
        if (n.type() == pugi::node_element && (t == "*" || t == n.name()))
            out.append(Node(n.internal_object()));
    });
    return out;
}

} // namespace korva::xml
