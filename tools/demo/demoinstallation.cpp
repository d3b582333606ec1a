#include "demoinstallation.h"

#include "configuration.h"
#include "directory.h"
#include "otherdatabases.h"
#include "populate.h"
#include "registry.h"

#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

namespace korva::demo {

namespace {

constexpr std::uint64_t kSeed = 0x4B4F525641ull;
const QString kMarker = QStringLiteral(".korva-demo");
const QString kScripts = QStringLiteral("install/ConfigurationModules/DatabaseScripts");
constexpr int kBuildSteps = 6; // five parts, then the registry

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

// Makes one database file and its dictionary.
template<typename Fill>
bool buildDatabase(const DatabaseDef &def, const QString &folder, Fill fill, QString *error)
{
    Populator p(def, kSeed);
    p.create(folder + QStringLiteral("/data/") + def.name + QStringLiteral(".sqlite"));
    if (p.ok())
        fill(p);
    p.finish();
    if (!p.ok()) {
        *error = p.error();
        return false;
    }
    return writeFile(folder + u'/' + kScripts + u'/' + def.dictionaryFile, dictionaryXml(def), error);
}

bool build(const QString &folder, const DemoOptions &o, QString *error)
{
    if (!QDir().mkpath(folder + u'/' + kScripts) || !QDir().mkpath(folder + QStringLiteral("/data"))) {
        *error = QStringLiteral("cannot create the folders under %1").arg(folder);
        return false;
    }
    const auto step = [&o](int n, const QString &what) {
        if (o.progress)
            o.progress(n, kBuildSteps, what);
        return true;
    };
    DirectoryFacts facts;
    const bool ok = step(0, QStringLiteral("the directory database"))
                    && buildDatabase(
                        directoryDatabase(), folder, [&](Populator &p) { facts = populateDirectory(p, o); }, error)
                    && step(1, QStringLiteral("the dynamic database"))
                    && buildDatabase(
                        dynamicDatabase(), folder, [&](Populator &p) { populateDynamic(p, facts); }, error)
                    && step(2, QStringLiteral("the mailbox database"))
                    && buildDatabase(
                        mailboxDatabase(), folder, [&](Populator &p) { populateMailbox(p, facts); }, error)
                    && step(3, QStringLiteral("the report database"))
                    && buildDatabase(
                        reportDatabase(), folder, [&](Populator &p) { populateReport(p, facts, o.reportRows); }, error)
                    && step(4, QStringLiteral("the configuration description"))
                    && writeFile(folder + u'/' + kScripts + QStringLiteral("/OrvexConfigurationData.xml"),
                                 configurationDataXml(), error);
    if (!ok)
        return false;
    const QByteArray marker = QStringLiteral("KORVA demo installation\nsubscribers=%1\nreport rows=%2\nserver=%3\\%4\n")
                                  .arg(o.subscribers)
                                  .arg(o.reportRows)
                                  .arg(o.serverName, o.instance)
                                  .toUtf8();
    return writeFile(folder + u'/' + kMarker, marker, error);
}

// Only an empty folder or an earlier demo installation is ever replaced.
bool replaceable(const QString &root)
{
    const QFileInfo info(root);
    if (!info.exists())
        return true;
    if (!info.isDir())
        return false;
    const QDir dir(root);
    return dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
           || QFile::exists(dir.filePath(kMarker));
}

} // namespace

QString registryFilePath()
{
    const QString env = qEnvironmentVariable("KORVA_HKLM");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/KORVA/HKLM.reg");
}

bool createDemoInstallation(const DemoOptions &options, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    DemoOptions o = options;
    if (o.serverName.isEmpty())
        o.serverName = WorkStationInfo::instance().ComputerName();
    if (o.instance.isEmpty())
        o.instance = QStringLiteral("zandelorvex");
    if (o.root.isEmpty()) {
        *error = QStringLiteral("no folder given for the installation");
        return false;
    }
    const QString root = QDir::cleanPath(QDir(o.root).absolutePath());
    const QFileInfo rootInfo(root);
    if (rootInfo.isRoot() || root == QDir::cleanPath(QDir::homePath())) {
        *error = QStringLiteral("%1 cannot hold a demo installation").arg(root);
        return false;
    }
    if (!replaceable(root)) {
        *error = QStringLiteral("%1 is not empty and holds no demo installation; choose another folder").arg(root);
        return false;
    }
    const QString registry = registryFilePath();
    if (!checkRegistryFile(registry, error))
        return false;

    // Build beside the target, then swap, so a failure never leaves half an
    // installation and a rebuild replaces the old one in one step.
    const QString parent = rootInfo.absolutePath();
    const QString staging = parent + QStringLiteral("/.") + rootInfo.fileName() + QStringLiteral(".building");
    const QString old = parent + QStringLiteral("/.") + rootInfo.fileName() + QStringLiteral(".old");
    QDir(staging).removeRecursively();
    if (!build(staging, o, error)) {
        QDir(staging).removeRecursively();
        return false;
    }
    QDir(old).removeRecursively();
    const bool existed = QFileInfo::exists(root);
    if (existed && !QDir().rename(root, old)) {
        QDir(staging).removeRecursively();
        *error = QStringLiteral("cannot move the earlier installation at %1 out of the way").arg(root);
        return false;
    }
    if (!QDir().rename(staging, root)) {
        if (existed)
            QDir().rename(old, root);
        QDir(staging).removeRecursively();
        *error = QStringLiteral("cannot move the new installation to %1").arg(root);
        return false;
    }
    QDir(old).removeRecursively();

    if (o.progress)
        o.progress(5, kBuildSteps, QStringLiteral("the registry values"));
    if (!installRegistry(registry, root + QStringLiteral("/install"), error))
        return false;
    db::registerEmbeddedServer(o.serverName, o.instance, root + QStringLiteral("/data"));
    return true;
}

} // namespace korva::demo
