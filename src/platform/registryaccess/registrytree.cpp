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

bool isTextType(int type)
{
    return type == kTypeText || type == kTypeExpandText || type == kTypeMultiText;
}

RegistryKey::RegistryKey(QString name)
    : m_name(std::move(name))
{
}

RegistryKey::RegistryKey(const RegistryKey &other)
    : m_name(other.m_name)
    , m_values(other.m_values)
    , m_valueIndex(other.m_valueIndex)
{
    m_children.reserve(other.m_children.size());
    for (const auto &child : other.m_children)
        m_children.push_back(std::make_unique<RegistryKey>(*child));
    reindexChildren();
}

RegistryKey &RegistryKey::operator=(const RegistryKey &other)
{
    if (this != &other)
        *this = RegistryKey(other);
    return *this;
}

RegistryKey::~RegistryKey() = default;

const RegistryKey *RegistryKey::child(const QString &name) const
{
    return m_childIndex.value(fold(name));
}

RegistryKey *RegistryKey::child(const QString &name)
{
    return m_childIndex.value(fold(name));
}

RegistryKey &RegistryKey::ensureChild(const QString &name, bool *created)
{
    RegistryKey *&slot = m_childIndex[fold(name)];
    if (created)
        *created = !slot;
    if (!slot) {
        m_children.push_back(std::make_unique<RegistryKey>(name));
        slot = m_children.back().get();
    }
    return *slot;
}

bool RegistryKey::removeChild(const QString &name)
{
    RegistryKey *found = child(name);
    if (!found)
        return false;
    std::erase_if(m_children, [found](const auto &c) { return c.get() == found; });
    reindexChildren();
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
    const auto it = m_valueIndex.constFind(fold(name));
    if (it == m_valueIndex.cend())
        return false;
    m_values.removeAt(*it);
    reindexValues();
    return true;
}

void RegistryKey::reindexChildren()
{
    m_childIndex.clear();
    m_childIndex.reserve(qsizetype(m_children.size()));
    for (const auto &c : m_children)
        m_childIndex.insert(fold(c->m_name), c.get());
}

void RegistryKey::reindexValues()
{
    m_valueIndex.clear();
    m_valueIndex.reserve(m_values.size());
    for (qsizetype i = 0; i < m_values.size(); ++i)
        m_valueIndex.insert(fold(m_values.at(i).name), i);
}

} // namespace korva::regaccess
