#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace korva::regaccess {

// Registry type codes used by the stored data.
inline constexpr int kTypeNone = 0;
inline constexpr int kTypeText = 1;
inline constexpr int kTypeExpandText = 2;
inline constexpr int kTypeBinary = 3;
inline constexpr int kTypeDword = 4;
inline constexpr int kTypeMultiText = 7;

// The registry's own limit: keys nest at most this many levels below a root.
inline constexpr qsizetype kMaxKeyDepth = 512;

// A named value with its data exactly as the registry holds it: texts as
// UTF-16LE followed by their terminating null, numbers little-endian.
struct RegistryValue
{
    QString name;
    int type = kTypeNone;
    QByteArray data;
};

QByteArray textToData(const QString &text);   // UTF-16LE plus terminator
QString textFromData(const QByteArray &data); // all code units, terminator included
QByteArray dwordToData(quint32 number);
qint32 dwordFromData(const QByteArray &data); // first four bytes, zero-padded
bool isTextType(int type);

// One key of a registry tree: sub-keys and values in stored order, looked up
// without regard to case, each keeping the spelling it was stored with.
// Copying and destroying walk the tree without recursion, so any depth is safe.
class RegistryKey
{
public:
    explicit RegistryKey(QString name = {});
    RegistryKey(const RegistryKey &other);
    RegistryKey &operator=(const RegistryKey &other);
    RegistryKey(RegistryKey &&) = default;
    RegistryKey &operator=(RegistryKey &&) = default;
    ~RegistryKey();

    const QString &name() const { return m_name; }

    // Whether the key is written with a section of its own even without
    // values: it was created by itself, or stood in a file as its own section,
    // rather than only coming about as the parent of another key.
    bool ownSection() const { return m_ownSection; }
    void setOwnSection(bool own) { m_ownSection = own; }

    qsizetype childCount() const { return qsizetype(m_children.size()); }
    const RegistryKey &childAt(qsizetype index) const { return *m_children[size_t(index)]; }
    const RegistryKey *child(const QString &name) const;
    RegistryKey *child(const QString &name);
    // The child, appended at the end when it does not exist yet.
    RegistryKey &ensureChild(const QString &name, bool *created = nullptr);
    bool removeChild(const QString &name);

    const RegistryKey *find(const QStringList &path) const;
    RegistryKey *find(const QStringList &path);
    RegistryKey &ensurePath(const QStringList &path, bool *created = nullptr);

    const QList<RegistryValue> &values() const { return m_values; }
    const RegistryValue *value(const QString &name) const;
    // Replaces the data in place (keeping the stored name) or appends a new
    // value; answers whether anything changed.
    bool setValue(const QString &name, int type, const QByteArray &data);
    bool removeValue(const QString &name);

private:
    // Reading an export applies its deletions through these: a removal only
    // marks the entry, and dropRemovedInTree() closes the gaps of the whole
    // tree in one pass at the end, so that many deletions in one key do not
    // cost a pass over the key each. Until then the ordered accessors would
    // still show the marked entries.
    friend class RegFileReader;
    bool markValueRemoved(const QString &name);
    bool markChildRemoved(const QString &name);
    void dropRemoved();
    void dropRemovedInTree();

    static QString fold(const QString &name) { return name.toCaseFolded(); }

    QString m_name;
    bool m_ownSection = false;
    std::vector<std::unique_ptr<RegistryKey>> m_children; // null where removed
    QHash<QString, qsizetype> m_childIndex;               // folded name to position
    bool m_childRemoved = false;
    QList<RegistryValue> m_values;
    QHash<QString, qsizetype> m_valueIndex;
    std::vector<bool> m_valueRemoved; // by position; empty when nothing is marked
};

} // namespace korva::regaccess
