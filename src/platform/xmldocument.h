#pragma once

#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>
#include <optional>

namespace pugi {
class xml_document;
class xml_node;
} // namespace pugi

namespace korva::xml {

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
    Node firstChild() const;     // first child element
    Node nextSibling() const;    // next sibling element

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

    // Parses the text; false on failure, with the error below.
    bool loadFromText(const QString &text);
    bool isLoaded() const { return m_loaded; }

    int parseErrorCode() const { return m_errorCode; }
    QString parseErrorReason() const { return m_errorReason; }
    int parseErrorLine() const { return m_errorLine; }

    Node root() const;               // the document element
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
