#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>
#include <optional>

namespace pugi {
class xml_document;
class xml_node;
} // namespace pugi

namespace korva::xml {

// Deeper element nesting than this is refused by Document::loadFromText; real
// dictionaries stay below ten levels.
inline constexpr int kMaxElementDepth = 1000;
// Document::parseErrorCode() for a document nested deeper than the limit.
inline constexpr int kErrorNestedTooDeeply = 100;

// The value as an XPath 1.0 string literal: 'value', "value", or a concat() of
// pieces when it holds both kinds of quote. Every name put into an expression
// goes through this, so no name can change what the expression selects.
QString literal(const QString &value);

// The text of a document file. The byte-order mark decides (UTF-8, UTF-16 and
// UTF-32, either byte order); without one, UTF-16 is recognised by "<?" in two
// bytes each, otherwise the encoding named in the XML declaration is used
// (UTF-8, ISO-8859-1, windows-1252, US-ASCII). Anything else is UTF-8, read as
// windows-1252 when the bytes are not valid UTF-8.
QString decodeDocument(const QByteArray &bytes);

// One element (or other node) of a loaded document; a null node stands for
// "nothing found" and answers every question with nothing.
class Node
{
public:
    Node() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return !isNull(); }

    QString name() const;
    // XPath relative to this node; the first match or a null node. An
    // expression that does not parse finds nothing.
    Node selectSingleNode(const QString &xpath) const;
    QList<Node> selectNodes(const QString &xpath) const;
    // The attribute's value, or nothing when the node has no such attribute.
    std::optional<QString> attribute(const QString &name) const;
    // attribute() with an empty text for a missing attribute.
    QString attributeText(const QString &name) const { return attribute(name).value_or(QString()); }
    // The concatenated text of the node and all its descendants.
    QString text() const;
    Node firstChild() const;  // first child element
    Node nextSibling() const; // next sibling element

private:
    friend class Document;
    explicit Node(void *node) : m_node(node) {}
    void *m_node = nullptr; // pugi::xml_node_struct
};

// A parsed XML document, loaded from text (never by path, so no external
// DTD or entity is ever fetched).
class Document
{
public:
    Document();
    ~Document();
    Document(Document &&) noexcept;
    Document &operator=(Document &&) noexcept;

    // Parses the text; false on failure, with the error below. Text nested
    // deeper than kMaxElementDepth fails with kErrorNestedTooDeeply.
    bool loadFromText(const QString &text);
    bool isLoaded() const { return m_loaded; }

    int parseErrorCode() const { return m_errorCode; }
    QString parseErrorReason() const { return m_errorReason; }
    int parseErrorLine() const { return m_errorLine; }

    Node root() const; // the document element
    Node selectSingleNode(const QString &xpath) const;
    QList<Node> elementsByTagName(const QString &tag) const;

private:
    std::unique_ptr<pugi::xml_document> m_doc;
    bool m_loaded = false;
    int m_errorCode = 0;
    QString m_errorReason;
    int m_errorLine = 0;
};

} // namespace korva::xml
