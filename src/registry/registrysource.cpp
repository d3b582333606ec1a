#include "registry/registrysource.h"

#include "platform/fileio.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/registryaccess/registrytree.h"

namespace korva::registryview {

namespace {

using regaccess::RegistryKey;

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
        return RegistryAPI::listSubKeys(*key);
    }
    std::optional<QList<RegistryAPI::Entry>> EnumValues(const QString &keyPath) const override
    {
        const RegistryKey *key = open(keyPath);
        if (!key)
            return std::nullopt;
        return RegistryAPI::listValues(*key);
    }
    QString problem() const override { return {}; }

private:
    const RegistryKey *open(const QString &keyPath) const
    {
        return m_machine.find(keyPath.split(u'\\', Qt::SkipEmptyParts));
    }

    const RegistryKey m_machine;
};

} // namespace

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
