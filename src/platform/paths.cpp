#include "platform/paths.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>

namespace korva {

QString programFolder()
{
    const QString overridden = qEnvironmentVariable("KORVA_PROGRAM_DIR");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath();
}

namespace {

QString installedDataFolder()
{
    const QString folder = QDir::cleanPath(programFolder() + QStringLiteral("/../share/korva"));
    return QFileInfo(folder).isDir() ? folder : QString();
}

} // namespace

bool runsInstalled() { return !installedDataFolder().isEmpty(); }

QString programDataFolder()
{
    const QString installed = installedDataFolder();
    return installed.isEmpty() ? programFolder() : installed;
}

QString programFilePath(const QString &name)
{
    const QString beside = QDir(programFolder()).filePath(name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = installedDataFolder();
    if (!installed.isEmpty() && QFileInfo::exists(QDir(installed).filePath(name)))
        return QDir(installed).filePath(name);
    return beside;
}

QString programVersion() { return QStringLiteral(KORVA_VERSION); }

} // namespace korva
