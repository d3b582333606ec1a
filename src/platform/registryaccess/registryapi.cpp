#include "platform/registryaccess/registryapi.h"

#include "platform/registryaccess/registrystore.h"

#include <QtCore/QMutex>
#include <QtCore/QStandardPaths>

#include <cmath>

namespace korva::RegistryAPI {

namespace {

using regaccess::FileRegistryStore;
using regaccess::RegistryKey;
using regaccess::RegistryStore;
using regaccess::RegistryValue;

// The buffers the routines read into: names of up to 259 characters, data of
// up to 4096 bytes (texts counted in single-byte characters with their null).
constexpr qsizetype kNameBuffer = 260;
constexpr qsizetype kDataBuffer = 4096;
constexpr qsizetype kMaxListed = 1000000;
// The registry's own limit for one key name.
constexpr qsizetype kMaxKeyName = 255;

std::shared_ptr<RegistryStore> storeFor(HKEY root)
{
    if (root != HKEY_LOCAL_MACHINE)
        return nullptr;
    // One store per file, so its cache survives between calls; a changed
    // KORVA_HKLM (as in tests) brings a fresh one.
    static QMutex mutex;
    static std::shared_ptr<FileRegistryStore> store;
    const QString path = storeFilePath();
    QMutexLocker locker(&mutex);
    if (!store || store->filePath() != path)
        store = std::make_shared<FileRegistryStore>(path);
    return store;
}

QStringList splitPath(const QString &keyPath) { return keyPath.split(u'\\', Qt::SkipEmptyParts); }

std::shared_ptr<const RegistryKey> openKey(HKEY root, const QString &keyPath)
{
    const std::shared_ptr<RegistryStore> store = storeFor(root);
    return store ? store->openKey(splitPath(keyPath)) : nullptr;
}

// The size the data takes in a read buffer.
qsizetype readSize(const RegistryValue &value)
{
    return regaccess::isTextType(value.type) ? value.data.size() / 2 : value.data.size();
}

bool fitsBuffers(const RegistryValue &value)
{
    return value.name.size() < kNameBuffer && readSize(value) <= kDataBuffer;
}

QString textOf(const QByteArray &data)
{
    QString text = regaccess::textFromData(data);
    if (text.endsWith(QChar(u'\0')))
        text.chop(1);
    return text;
}

std::optional<quint32> dwordOf(const QVariant &value)
{
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1u : 0u;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong number = value.toULongLong(&ok);
        if (!ok || number > std::numeric_limits<quint32>::max())
            return std::nullopt;
        return quint32(number);
    }
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar: {
        const qlonglong number = value.toLongLong(&ok);
        if (!ok || number < std::numeric_limits<qint32>::min()
            || number > qlonglong(std::numeric_limits<quint32>::max()))
            return std::nullopt;
        return quint32(number);
    }
    default: {
        // Texts and fractions: rounded half to even, as a conversion to a
        // 32-bit integer does.
        const double number = std::nearbyint(value.toDouble(&ok));
        if (!ok || !std::isfinite(number) || number < std::numeric_limits<qint32>::min()
            || number > std::numeric_limits<quint32>::max())
            return std::nullopt;
        return quint32(qint64(number));
    }
    }
}

// The data SetValue writes for the type code, or nothing for a type or value
// it does not write.
std::optional<QByteArray> dataOf(int typeCode, const QVariant &value)
{
    switch (typeCode) {
    case REG_SZ:
        return regaccess::textToData(value.toString());
    case REG_BINARY:
        return value.toByteArray();
    case REG_DWORD:
        if (const std::optional<quint32> number = dwordOf(value))
            return regaccess::dwordToData(*number);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool isStorableKeyName(const QString &name)
{
    return name.size() <= kMaxKeyName && !name.contains(u'\r') && !name.contains(u'\n') && !name.contains(QChar(u'\0'));
}

QMutex &overrideMutex()
{
    static QMutex mutex;
    return mutex;
}

QString &storeOverride()
{
    static QString path;
    return path;
}

} // namespace

void setStoreFile(const QString &path)
{
    QMutexLocker locker(&overrideMutex());
    storeOverride() = path;
}

QString storeFilePath()
{
    {
        QMutexLocker locker(&overrideMutex());
        if (!storeOverride().isEmpty())
            return storeOverride();
    }
    const QString path = qEnvironmentVariable("KORVA_HKLM");
    if (!path.isEmpty())
        return path;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/KORVA/HKLM.reg");
}

QString storeProblem() { return storeFor(HKEY_LOCAL_MACHINE)->problem(); }

bool KeyExists(HKEY root, const QString &keyPath) { return openKey(root, keyPath) != nullptr; }

bool CreateKey(HKEY root, const QString &keyPath, korva::Error *error)
{
    const QStringList path = splitPath(keyPath);
    const std::shared_ptr<RegistryStore> store = storeFor(root);
    bool existed = false;
    const bool ok = store && std::all_of(path.begin(), path.end(), isStorableKeyName)
                    && store->editKey(
                        path, true, [](RegistryKey &) { return false; }, &existed);
    if (!ok) {
        if (error)
            *error = {kRegistryError, QStringLiteral("Unable to create the registry key")};
        return false;
    }
    return existed;
}

QVariant GetValue(HKEY root, const QString &keyPath, const QString &valueName, int typeCode,
                  const QVariant &defaultValue, korva::Error *error)
{
    const std::shared_ptr<const RegistryKey> key = openKey(root, keyPath);
    if (!key)
        return defaultValue;
    if (typeCode != REG_SZ && typeCode != REG_BINARY && typeCode != REG_DWORD) {
        if (error)
            *error = {kRegistryError, QStringLiteral("Unsupported value type")};
        return defaultValue;
    }
    const RegistryValue *value = key->value(valueName);
    if (!value || readSize(*value) > kDataBuffer)
        return defaultValue;
    switch (typeCode) {
    case REG_SZ:
        if (value->type == REG_SZ || value->type == REG_EXPAND_SZ)
            return textOf(value->data);
        break;
    case REG_BINARY:
        return value->data;
    case REG_DWORD:
        if (value->type == REG_DWORD && value->data.size() == 4)
            return regaccess::dwordFromData(value->data);
        break;
    }
    return defaultValue;
}

void SetValue(HKEY root, const QString &keyPath, const QString &valueName, int typeCode, const QVariant &value)
{
    const std::optional<QByteArray> data = dataOf(typeCode, value);
    if (!data)
        return;
    if (const std::shared_ptr<RegistryStore> store = storeFor(root)) {
        store->editKey(splitPath(keyPath), false,
                       [&](RegistryKey &key) { return key.setValue(valueName, typeCode, *data); });
    }
}

std::optional<QString> AddValue(HKEY root, const QString &keyPath, int typeCode, const QVariant &value,
                                const std::function<QString(int attempt)> &candidate, int attempts)
{
    const std::optional<QByteArray> data = dataOf(typeCode, value);
    const QStringList path = splitPath(keyPath);
    const std::shared_ptr<RegistryStore> store = storeFor(root);
    if (!data || !store || !std::all_of(path.begin(), path.end(), isStorableKeyName))
        return std::nullopt;
    std::optional<QString> added;
    // Runs again under the file's lock on what the file holds then; only that
    // run's choice is written.
    const auto addUnderFreeName = [&](RegistryKey &key) {
        added.reset();
        for (int attempt = 0; attempt < attempts; ++attempt) {
            QString name = candidate(attempt);
            if (!key.value(name)) {
                key.setValue(name, typeCode, *data);
                added = std::move(name);
                return true;
            }
        }
        return false;
    };
    if (!store->editKey(path, true, addUnderFreeName))
        return std::nullopt;
    return added;
}

void DeleteValue(HKEY root, const QString &keyPath, const QString &valueName)
{
    if (const std::shared_ptr<RegistryStore> store = storeFor(root)) {
        store->editKey(splitPath(keyPath), false, [&](RegistryKey &key) { return key.removeValue(valueName); });
    }
}

QStringList listSubKeys(const RegistryKey &key)
{
    QStringList names;
    const qsizetype count = std::min(key.childCount(), kMaxListed);
    for (qsizetype i = 0; i < count; ++i) {
        const QString &name = key.childAt(i).name();
        if (name.size() >= kNameBuffer)
            break;
        const qsizetype nul = name.indexOf(QChar(u'\0'));
        names.append(nul < 0 ? name : name.first(nul));
    }
    if (names.isEmpty())
        names.append(QString());
    return names;
}

QList<Entry> listValues(const RegistryKey &key)
{
    QList<Entry> entries;
    const QList<RegistryValue> &values = key.values();
    const qsizetype count = std::min(values.size(), kMaxListed);
    for (qsizetype i = 0; i < count; ++i) {
        const RegistryValue &value = values.at(i);
        if (!fitsBuffers(value))
            break;
        QVariant data;
        if (value.type == REG_SZ)
            data = textOf(value.data);
        else if (value.type == REG_DWORD)
            data = regaccess::dwordFromData(value.data);
        else
            data = value.data;
        entries.append({value.name, data, value.type});
    }
    if (entries.isEmpty())
        entries.append(Entry{});
    return entries;
}

std::optional<QStringList> EnumKeys(HKEY root, const QString &keyPath)
{
    const std::shared_ptr<const RegistryKey> key = openKey(root, keyPath);
    if (!key)
        return std::nullopt;
    return listSubKeys(*key);
}

std::optional<QList<Entry>> EnumValues(HKEY root, const QString &keyPath)
{
    const std::shared_ptr<const RegistryKey> key = openKey(root, keyPath);
    if (!key)
        return std::nullopt;
    return listValues(*key);
}

} // namespace korva::RegistryAPI
