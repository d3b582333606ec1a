#pragma once

#include "platform/registryaccess/registryapi.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>
#include <optional>

namespace korva::registryview {

// Where the registry viewer reads keys and values of HKEY_LOCAL_MACHINE:
// this machine's registry, or a registry export taken on another server.
// Both list as RegistryAPI's EnumKeys and EnumValues do, limits included,
// and both may be read from any thread.
class RegistrySource
{
public:
    virtual ~RegistrySource() = default;
    virtual std::optional<QStringList> EnumKeys(const QString &keyPath) const = 0;
    virtual std::optional<QList<RegistryAPI::Entry>> EnumValues(const QString &keyPath) const = 0;
    // Why no key can be opened at all, or empty.
    virtual QString problem() const = 0;
};

// This machine's registry, through RegistryAPI.
std::shared_ptr<const RegistrySource> localRegistry();

// A registry export read once and kept as it was read; nothing is ever
// written to it.
struct ExportRead
{
    std::shared_ptr<const RegistrySource> source; // null when the file cannot be used
    int errorLine = 0;                            // the line that does not parse, or 0
    QString error;
};
ExportRead readRegistryExport(const QString &path);
ExportRead parseRegistryExport(const QByteArray &bytes);

} // namespace korva::registryview
