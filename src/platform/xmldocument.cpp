#include "platform/xmldocument.h"

#include <pugixml.hpp>

#include <algorithm>
#include <functional>

namespace korva::xml {

namespace {

pugi::xml_node toPugi(void *p) { return pugi::xml_node(static_cast<pugi::xml_node_struct *>(p)); }

QString fromUtf8(const char *s) { return QString::fromUtf8(s); }

void collectText(const pugi::xml_node &node, QByteArray &out)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out += child.value();
        else if (child.type() == pugi::node_element)
            collectText(child, out);
    }
}

} // namespace

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
    collectText(n, out);
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
    const pugi::xml_parse_result r =
        m_doc->load_buffer(utf8.constData(), std::size_t(utf8.size()), pugi::parse_default, pugi::encoding_utf8);
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
    const qsizetype offset = std::min<qsizetype>(qsizetype(r.offset), utf8.size());
    m_errorLine = 1 + int(std::count(utf8.constData(), utf8.constData() + offset, '\n'));
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
    struct Walker : pugi::xml_tree_walker
    {
        QList<Node> *out;
        QByteArray tag;
        std::function<Node(pugi::xml_node)> make;
        bool for_each(pugi::xml_node &n) override
        {
            if (n.type() == pugi::node_element && (tag == "*" || tag == n.name()))
                out->append(make(n));
            return true;
        }
    } walker;
    walker.out = &out;
    walker.tag = t;
    walker.make = [](pugi::xml_node n) { return Node(n.internal_object()); };
    m_doc->traverse(walker);
    return out;
}

} // namespace korva::xml
