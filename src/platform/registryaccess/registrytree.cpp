#include "platform/registryaccess/registrytree.h"

#include <QtCore/QtEndian>

namespace korva::regaccess {

QByteArray textToData(const QString &text)
{
    QByteArray data(2 * (text.size() + 1), '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), data.data() + 2 * i);
    return data;
}

QString textFromData(const QByteArray &data)
{
    QString text(data.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i));
    return text;
}

QByteArray dwordToData(quint32 number)
{
    QByteArray data(4, '\0');
    qToLittleEndian<quint32>(number, data.data());
    return data;
}

qint32 dwordFromData(const QByteArray &data)
{
    char bytes[4] = {};
    std::copy_n(data.constData(), std::min<qsizetype>(data.size(), 4), bytes);
    return qFromLittleEndian<qint32>(bytes);
}

bool isTextType(int type) { return type == kTypeText || type == kTypeExpandText || type == kTypeMultiText; }

namespace {

// Closes the gaps left by removed entries, keeping the order of the rest and
// moving the positions the index holds along with them.
template<typename Slots, typename IsRemoved>
void closeGaps(Slots &slots, QHash<QString, qsizetype> &index, IsRemoved isRemoved)
{
    std::vector<qsizetype> moved(size_t(slots.size()));
    qsizetype kept = 0;
    for (qsizetype i = 0; i < qsizetype(slots.size()); ++i) {
        if (isRemoved(i))
            continue;
        if (kept != i)
            slots[kept] = std::move(slots[i]);
        moved[size_t(i)] = kept++;
    }
    slots.erase(slots.begin() + kept, slots.end());
    for (auto it = index.begin(); it != index.end(); ++it)
        *it = moved[size_t(*it)];
}

} // namespace

RegistryKey::RegistryKey(QString name) : m_name(std::move(name)) {}

RegistryKey::RegistryKey(const RegistryKey &other)
{
    std::vector<std::pair<const RegistryKey *, RegistryKey *>> pending{{&other, this}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        to->m_name = from->m_name;
        to->m_ownSection = from->m_ownSection;
        to->m_childIndex = from->m_childIndex;
        to->m_childRemoved = from->m_childRemoved;
        to->m_values = from->m_values;
        to->m_valueIndex = from->m_valueIndex;
        to->m_valueRemoved = from->m_valueRemoved;
        to->m_children.reserve(from->m_children.size());
        for (const auto &child : from->m_children) {
            to->m_children.push_back(child ? std::make_unique<RegistryKey>() : nullptr);
            if (child)
                pending.emplace_back(child.get(), to->m_children.back().get());
        }
    }
}

RegistryKey &RegistryKey::operator=(const RegistryKey &other)
{
    if (this != &other)
        *this = RegistryKey(other);
    return *this;
}

RegistryKey::~RegistryKey()
{
    // Each key is destroyed only once its children have been taken away, so
    // no destructor runs inside another one.
    std::vector<std::unique_ptr<RegistryKey>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        if (!key)
            continue;
        for (auto &child : key->m_children)
            pending.push_back(std::move(child));
        key->m_children.clear();
    }
}

const RegistryKey *RegistryKey::child(const QString &name) const
{
    const auto it = m_childIndex.constFind(fold(name));
    return it == m_childIndex.cend() ? nullptr : m_children[size_t(*it)].get();
}

RegistryKey *RegistryKey::child(const QString &name)
{
    return const_cast<RegistryKey *>(std::as_const(*this).child(name));
}

RegistryKey &RegistryKey::ensureChild(const QString &name, bool *created)
{
    const QString key = fold(name);
    auto it = m_childIndex.find(key);
    if (created)
        *created = it == m_childIndex.end();
    if (it == m_childIndex.end()) {
        it = m_childIndex.insert(key, qsizetype(m_children.size()));
        m_children.push_back(std::make_unique<RegistryKey>(name));
    }
    return *m_children[size_t(*it)];
}

bool RegistryKey::removeChild(const QString &name)
{
    if (!markChildRemoved(name))
        return false;
    dropRemoved();
    return true;
}

const RegistryKey *RegistryKey::find(const QStringList &path) const
{
    const RegistryKey *key = this;
    for (const QString &part : path) {
        key = key->child(part);
        if (!key)
            return nullptr;
    }
    return key;
}

RegistryKey *RegistryKey::find(const QStringList &path)
{
    return const_cast<RegistryKey *>(std::as_const(*this).find(path));
}

RegistryKey &RegistryKey::ensurePath(const QStringList &path, bool *created)
{
    RegistryKey *key = this;
    bool last = false;
    for (const QString &part : path)
        key = &key->ensureChild(part, &last);
    if (created)
        *created = last;
    return *key;
}

const RegistryValue *RegistryKey::value(const QString &name) const
{
    const auto it = m_valueIndex.constFind(fold(name));
    return it == m_valueIndex.cend() ? nullptr : &m_values.at(*it);
}

bool RegistryKey::setValue(const QString &name, int type, const QByteArray &data)
{
    const QString key = fold(name);
    const auto it = m_valueIndex.constFind(key);
    if (it == m_valueIndex.cend()) {
        m_valueIndex.insert(key, m_values.size());
        m_values.append({name, type, data});
        return true;
    }
    RegistryValue &stored = m_values[*it];
    if (stored.type == type && stored.data == data)
        return false;
    stored.type = type;
    stored.data = data;
    return true;
}

bool RegistryKey::removeValue(const QString &name)
{
    if (!markValueRemoved(name))
        return false;
    dropRemoved();
    return true;
}

bool RegistryKey::markValueRemoved(const QString &name)
{
    const auto it = m_valueIndex.constFind(fold(name));
    if (it == m_valueIndex.cend())
        return false;
    const qsizetype position = *it;
    m_valueIndex.erase(it);
    if (m_valueRemoved.size() < size_t(m_values.size()))
        m_valueRemoved.resize(size_t(m_values.size()));
    m_valueRemoved[size_t(position)] = true;
    m_values[position].data.clear();
    return true;
}

bool RegistryKey::markChildRemoved(const QString &name)
{
    const auto it = m_childIndex.constFind(fold(name));
    if (it == m_childIndex.cend())
        return false;
    const qsizetype position = *it;
    m_childIndex.erase(it);
    m_children[size_t(position)].reset();
    m_childRemoved = true;
    return true;
}

void RegistryKey::dropRemoved()
{
    if (!m_valueRemoved.empty()) {
        closeGaps(m_values, m_valueIndex,
                  [this](qsizetype i) { return size_t(i) < m_valueRemoved.size() && m_valueRemoved[size_t(i)]; });
        m_valueRemoved.clear();
    }
    if (m_childRemoved) {
        closeGaps(m_children, m_childIndex, [this](qsizetype i) { return !m_children[size_t(i)]; });
        m_childRemoved = false;
    }
}

void RegistryKey::dropRemovedInTree()
{
    std::vector<RegistryKey *> pending{this};
    while (!pending.empty()) {
        RegistryKey *key = pending.back();
        pending.pop_back();
        key->dropRemoved();
        for (const auto &child : key->m_children)
            pending.push_back(child.get());
    }
}

} // namespace korva::regaccess
