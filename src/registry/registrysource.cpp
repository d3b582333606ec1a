#include "registry/registrysource.h"

#include "platform/fileio.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/registryaccess/registrytree.h"

namespace korva::registryview {

namespace {

using regaccess::RegistryKey;
using regaccess::RegistryValue;

// RegistryAPI's read buffers and listing limit: names of up to 259
// characters, data of up to 4096 bytes (texts counted in single-byte
// characters), a million entries.
constexpr qsizetype kNameBuffer = 260;
constexpr qsizetype kDataBuffer = 4096;
constexpr qsizetype kMaxListed = 1000000;
// The same bound as the registry file itself.
constexpr qint64 kMaxExportBytes = 256 * 1024 * 1024;

class LocalRegistry final : public RegistrySource
{
public:
    std::optional<QStringList> EnumKeys(const QString &keyPath) const override
    {
        return RegistryAPI::EnumKeys(RegistryAPI::HKEY_LOCAL_MACHINE, keyPath);
    }
    std::optional<QList<RegistryAPI::Entry>> EnumValues(const QString &keyPath) const override
    {
        return RegistryAPI::EnumValues(RegistryAPI::HKEY_LOCAL_MACHINE, keyPath);
    }
    QString problem() const override { return RegistryAPI::storeProblem(); }
};

class ExportedRegistry final : public RegistrySource
{
public:
    explicit ExportedRegistry(RegistryKey machine) : m_machine(std::move(machine)) {}

    std::optional<QStringList> EnumKeys(const QString &keyPath) const override
    {
        const RegistryKey *key = open(keyPath);
        if (!key)
            return std::nullopt;
        return listSubKeys(*key);
    }
    std::optional<QList<RegistryAPI::Entry>> EnumValues(const QString &keyPath) const override
    {
        const RegistryKey *key = open(keyPath);
        if (!key)
            return std::nullopt;
        return listValues(*key);
    }
    QString problem() const override { return {}; }

private:
    const RegistryKey *open(const QString &keyPath) const
    {
        return m_machine.find(keyPath.split(u'\\', Qt::SkipEmptyParts));
    }

    const RegistryKey m_machine;
};

QString textOf(const QByteArray &data)
{
    QString text = regaccess::textFromData(data);
    if (text.endsWith(QChar(u'\0')))
        text.chop(1);
    return text;
}

} // namespace

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

QList<RegistryAPI::Entry> listValues(const RegistryKey &key)
{
    QList<RegistryAPI::Entry> entries;
    const QList<RegistryValue> &values = key.values();
    const qsizetype count = std::min(values.size(), kMaxListed);
    for (qsizetype i = 0; i < count; ++i) {
        const RegistryValue &value = values.at(i);
        const qsizetype size = regaccess::isTextType(value.type) ? value.data.size() / 2 : value.data.size();
        if (value.name.size() >= kNameBuffer || size > kDataBuffer)
            break;
        QVariant data;
        if (value.type == RegistryAPI::REG_SZ)
            data = textOf(value.data);
        else if (value.type == RegistryAPI::REG_DWORD)
            data = regaccess::dwordFromData(value.data);
        else
            data = value.data;
        entries.append({value.name, data, value.type});
    }
    if (entries.isEmpty())
        entries.append(RegistryAPI::Entry{});
    return entries;
}

std::shared_ptr<const RegistrySource> localRegistry()
{
    static const auto local = std::make_shared<const LocalRegistry>();
    return local;
}

ExportRead parseRegistryExport(const QByteArray &bytes)
{
    ExportRead read;
    regaccess::RegFileParse parsed = regaccess::parseRegFile(bytes);
    if (parsed.errorLine != 0) {
        read.errorLine = parsed.errorLine;
        read.error = parsed.error;
        return read;
    }
    RegistryKey *machine = parsed.top.child(QStringLiteral("HKEY_LOCAL_MACHINE"));
    read.source = std::make_shared<const ExportedRegistry>(machine ? std::move(*machine) : RegistryKey());
    return read;
}

ExportRead readRegistryExport(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (readRegularFile(path, kMaxExportBytes, &bytes, &error) != ReadStatus::Ok) {
        ExportRead read;
        read.error = error;
        return read;
    }
    return parseRegistryExport(bytes);
}

} // namespace korva::registryview
