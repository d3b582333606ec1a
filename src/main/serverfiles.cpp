#include "main/serverfiles.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>

#include "main/databases.h"
#include "platform/fileio.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/xmldocument.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>

#include <algorithm>

namespace korva::serverfiles {

namespace {

const QString kInstallKey = QStringLiteral("SOFTWARE\\Zandel Systems\\Zandel Orvex");
const QString kInstallValue = QStringLiteral("InstalledFolderPath");
const QString kScripts = QStringLiteral("install/ConfigurationModules/DatabaseScripts");
const QString kInfoFile = QStringLiteral("server.ini");
const QString kRegistryCopy = QStringLiteral("HKLM.reg");
// A whole registry export of a server is rarely beyond a few hundred
// megabytes; the product's keys alone are far smaller.
constexpr qint64 kMaxExportBytes = 512ll * 1024 * 1024;
constexpr qint64 kMaxDictionaryBytes = 256ll * 1024 * 1024;
// A dictionary folder holds a handful of files; copying thousands means the
// wrong folder was picked.
constexpr int kMaxCopiedFiles = 200;

QString normalisedWindowsPath(QString path)
{
    path.replace(u'/', u'\\');
    while (path.endsWith(u'\\'))
        path.chop(1);
    return path;
}

// A child folder of dir spelt in any case, or empty.
QString childFolder(const QString &dir, const QString &name)
{
    const QDir d(dir);
    for (const QString &entry : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(entry);
    return {};
}

// The dictionary file names every installation has, in the spelling the
// program opens them by.
QStringList knownDictionaries()
{
    QStringList names;
    for (const DatabaseInfo &info : databases())
        names << QString::fromUtf16(info.dictionary);
    return names;
}

// The database dictionaries in dir: file name as found, per known name.
QStringList dictionariesIn(const QString &dir)
{
    QStringList found;
    const QStringList entries = QDir(dir).entryList(QDir::Files);
    for (const QString &known : knownDictionaries())
        for (const QString &entry : entries)
            if (entry.compare(known, Qt::CaseInsensitive) == 0)
                found << entry;
    return found;
}

// The folder picked, or the dictionary folder inside the install folder or
// its configuration modules folder when those were picked instead.
QString locateDictionaries(const QString &picked)
{
    if (!dictionariesIn(picked).isEmpty())
        return picked;
    QString modules = childFolder(picked, QStringLiteral("ConfigurationModules"));
    if (modules.isEmpty())
        modules = picked;
    const QString scripts = childFolder(modules, QStringLiteral("DatabaseScripts"));
    if (!scripts.isEmpty() && !dictionariesIn(scripts).isEmpty())
        return scripts;
    return {};
}

QString registryText(const regaccess::RegistryKey &top, const QString &path, const QString &valueName)
{
    const regaccess::RegistryKey *key = top.find(path.split(u'\\', Qt::SkipEmptyParts));
    if (!key)
        return {};
    const regaccess::RegistryValue *value = key->value(valueName);
    if (!value || !regaccess::isTextType(value->type))
        return {};
    QString text = regaccess::textFromData(value->data);
    while (text.endsWith(QChar(u'\0')))
        text.chop(1);
    return text.trimmed();
}

KeptServer readInfo(const QString &folder)
{
    KeptServer kept;
    kept.folder = folder;
    kept.name = QFileInfo(folder).fileName();
    const QSettings info(QDir(folder).filePath(kInfoFile), QSettings::IniFormat);
    kept.server = info.value(QStringLiteral("Server")).toString();
    kept.exportInstallPath = info.value(QStringLiteral("InstallPath")).toString();
    kept.lastDatabase = info.value(QStringLiteral("LastDatabase")).toString();
    kept.lastUsed = QDateTime::fromString(info.value(QStringLiteral("LastUsed")).toString(), Qt::ISODateWithMs);
    return kept;
}

bool isComplete(const KeptServer &kept) { return !kept.server.isEmpty() && QFileInfo(kept.registryFile()).isFile(); }

bool copyFile(const QString &from, const QString &to, QString *error)
{
    QByteArray bytes;
    QString reason;
    if (readRegularFile(from, kMaxExportBytes, &bytes, &reason) != ReadStatus::Ok) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(from), reason);
        return false;
    }
    if (!writeFileAtomically(to, bytes, &reason)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(to), reason);
        return false;
    }
    return true;
}

} // namespace

QString KeptServer::registryFile() const { return QDir(folder).filePath(kRegistryCopy); }
QString KeptServer::installFolder() const { return QDir(folder).filePath(QStringLiteral("install")); }
QString KeptServer::dictionaryFolder() const { return QDir(folder).filePath(kScripts) + u'/'; }

QString serversFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/KORVA/servers");
}

QString folderNameFor(const QString &server)
{
    QString name = server.trimmed();
    for (QChar &c : name)
        if (c == u'/' || c == u'\\' || c == u',' || c == u':' || c.isSpace() || c.category() == QChar::Other_Control)
            c = u'_';
    // Hidden names are the program's own work folders.
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.left(100);
}

QString installKey() { return kInstallKey; }
QString installValueName() { return kInstallValue; }

Inspection inspect(const QString &registryExport, const QString &dictionaryFolder)
{
    Inspection result;
    const QString exportShown = QDir::toNativeSeparators(registryExport);
    QByteArray bytes;
    QString reason;
    switch (readRegularFile(registryExport, kMaxExportBytes, &bytes, &reason)) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::Missing:
        result.error = QStringLiteral("The registry export %1 does not exist.").arg(exportShown);
        return result;
    case ReadStatus::NotRegular:
        result.error = QStringLiteral("%1 is not a file.").arg(exportShown);
        return result;
    case ReadStatus::TooLarge:
        result.error = QStringLiteral("%1 is too large to be a registry export.").arg(exportShown);
        return result;
    case ReadStatus::Failed:
        result.error = QStringLiteral("The registry export %1 cannot be read: %2").arg(exportShown, reason);
        return result;
    }
    const regaccess::RegFileParse parsed = regaccess::parseRegFile(bytes);
    if (parsed.errorLine > 0 || !parsed.error.isEmpty()) {
        result.error = QStringLiteral("%1 is not a registry export that can be read (line %2: %3).")
                           .arg(exportShown)
                           .arg(parsed.errorLine)
                           .arg(parsed.error);
        return result;
    }
    result.installPath = registryText(parsed.top, QStringLiteral("HKEY_LOCAL_MACHINE\\") + kInstallKey, kInstallValue);
    if (result.installPath.isEmpty()) {
        result.error = QStringLiteral("The registry export %1 does not say where Orvex is installed: it has no value "
                                      "\"%2\" under HKEY_LOCAL_MACHINE\\%3. Export that key (or the whole "
                                      "HKEY_LOCAL_MACHINE\\SOFTWARE) on the server.")
                           .arg(exportShown, kInstallValue, kInstallKey);
        return result;
    }
    result.computerName = registryText(parsed.top,
                                       QStringLiteral(
                                           "HKEY_LOCAL_"
                                           "MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName"),
                                       QStringLiteral("ComputerName"));

    const QString folderShown = QDir::toNativeSeparators(dictionaryFolder);
    if (dictionaryFolder.isEmpty() || !QFileInfo(dictionaryFolder).isDir()) {
        result.error = QStringLiteral("The folder %1 does not exist.").arg(folderShown);
        return result;
    }
    result.dictionaryFolder = locateDictionaries(dictionaryFolder);
    if (result.dictionaryFolder.isEmpty()) {
        result.error = QStringLiteral("The folder %1 holds no data dictionary (%2). Choose the folder "
                                      "ConfigurationModules\\DatabaseScripts copied from the server's install folder.")
                           .arg(folderShown, knownDictionaries().join(QStringLiteral(", ")));
        return result;
    }
    result.dictionaries = dictionariesIn(result.dictionaryFolder);
    for (const QString &name : std::as_const(result.dictionaries)) {
        const QString path = QDir(result.dictionaryFolder).filePath(name);
        QByteArray xml;
        xml::Document document;
        if (readRegularFile(path, kMaxDictionaryBytes, &xml) != ReadStatus::Ok
            || !document.loadFromText(xml::decodeDocument(xml))) {
            result.error = QStringLiteral("%1 is not a data dictionary: it cannot be read as XML.")
                               .arg(QDir::toNativeSeparators(path));
            return result;
        }
    }
    return result;
}

std::optional<KeptServer> keep(const QString &server, const QString &registryExport, const QString &dictionaryFolder,
                               QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const QString name = folderNameFor(server);
    if (name.isEmpty()) {
        *error = QStringLiteral("Type the name of the server's SQL Server.");
        return std::nullopt;
    }
    const Inspection found = inspect(registryExport, dictionaryFolder);
    if (!found.error.isEmpty()) {
        *error = found.error;
        return std::nullopt;
    }

    const QString servers = serversFolder();
    const QString target = QDir(servers).filePath(name);
    const QString staging = QDir(servers).filePath(u'.' + name + QStringLiteral(".new"));
    const QString old = QDir(servers).filePath(u'.' + name + QStringLiteral(".old"));
    QDir(staging).removeRecursively();
    const auto fail = [&](const QString &why) {
        QDir(staging).removeRecursively();
        *error = why;
        return std::nullopt;
    };
    if (!QDir().mkpath(QDir(staging).filePath(kScripts)))
        return fail(QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(staging)));
    if (!copyFile(registryExport, QDir(staging).filePath(kRegistryCopy), error))
        return fail(*error);

    // Every file of the dictionary folder comes along, the known ones under
    // the names the program opens them by.
    const QStringList known = knownDictionaries();
    const QDir source(found.dictionaryFolder);
    const QStringList files = source.entryList(QDir::Files);
    if (files.size() > kMaxCopiedFiles)
        return fail(QStringLiteral("The folder %1 holds %2 files: that is not the folder of the data dictionaries.")
                        .arg(QDir::toNativeSeparators(found.dictionaryFolder))
                        .arg(files.size()));
    for (const QString &file : files) {
        QString as = file;
        for (const QString &k : known)
            if (file.compare(k, Qt::CaseInsensitive) == 0)
                as = k;
        if (!copyFile(source.filePath(file), QDir(staging).filePath(kScripts + u'/' + as), error))
            return fail(*error);
    }

    KeptServer kept;
    kept.name = name;
    kept.server = server.trimmed();
    kept.exportInstallPath = found.installPath;
    kept.lastUsed = QDateTime::currentDateTimeUtc();
    if (const std::optional<KeptServer> earlier = find(name))
        kept.lastDatabase = earlier->lastDatabase;
    {
        QSettings info(QDir(staging).filePath(kInfoFile), QSettings::IniFormat);
        info.setValue(QStringLiteral("Server"), kept.server);
        info.setValue(QStringLiteral("InstallPath"), kept.exportInstallPath);
        info.setValue(QStringLiteral("LastDatabase"), kept.lastDatabase);
        info.setValue(QStringLiteral("LastUsed"), kept.lastUsed.toString(Qt::ISODateWithMs));
        info.sync();
        if (info.status() != QSettings::NoError)
            return fail(QStringLiteral("The folder %1 cannot be written.").arg(QDir::toNativeSeparators(staging)));
    }

    // The new copy takes the place of an earlier one in one step.
    QDir(old).removeRecursively();
    const bool existed = QFileInfo::exists(target);
    if (existed && !QDir().rename(target, old))
        return fail(QStringLiteral("The earlier copy in %1 cannot be replaced.").arg(QDir::toNativeSeparators(target)));
    if (!QDir().rename(staging, target)) {
        if (existed)
            QDir().rename(old, target);
        return fail(QStringLiteral("The folder %1 cannot be written.").arg(QDir::toNativeSeparators(target)));
    }
    QDir(old).removeRecursively();
    kept.folder = target;
    return kept;
}

QList<KeptServer> recent(int limit)
{
    QList<KeptServer> list;
    const QDir servers(serversFolder());
    for (const QString &entry : servers.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        KeptServer kept = readInfo(servers.filePath(entry));
        if (isComplete(kept))
            list << kept;
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const KeptServer &a, const KeptServer &b) { return a.lastUsed > b.lastUsed; });
    if (list.size() > limit)
        list.resize(limit);
    return list;
}

std::optional<KeptServer> find(const QString &name)
{
    if (name.isEmpty() || name != folderNameFor(name))
        return std::nullopt;
    KeptServer kept = readInfo(QDir(serversFolder()).filePath(name));
    if (!isComplete(kept))
        return std::nullopt;
    return kept;
}

void markUsed(const QString &name, const QString &database)
{
    if (!find(name))
        return;
    QSettings info(QDir(QDir(serversFolder()).filePath(name)).filePath(kInfoFile), QSettings::IniFormat);
    info.setValue(QStringLiteral("LastUsed"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    if (!database.isEmpty())
        info.setValue(QStringLiteral("LastDatabase"), database);
}

QString mapPath(const KeptServer &kept, const QString &path)
{
    const QString from = normalisedWindowsPath(kept.exportInstallPath);
    const QString given = normalisedWindowsPath(path);
    if (from.isEmpty())
        return path;
    if (given.compare(from, Qt::CaseInsensitive) == 0)
        return kept.installFolder();
    if (given.startsWith(from + u'\\', Qt::CaseInsensitive)) {
        QString rest = given.mid(from.size() + 1);
        rest.replace(u'\\', u'/');
        return QDir(kept.installFolder()).filePath(rest);
    }
    return path;
}

void fillRecentMenu(QMenu *menu, QObject *context, std::function<void(const QString &name)> open)
{
    menu->clear();
    const QList<KeptServer> kept = recent();
    int n = 0;
    for (const KeptServer &k : kept) {
        QString caption = u'&' + QString::number(++n % 10) + u' '
                          + QString(k.server).replace(u'&', QStringLiteral("&&"));
        if (!k.lastDatabase.isEmpty())
            caption += QStringLiteral(" (") + k.lastDatabase + u')';
        QAction *a = menu->addAction(caption);
        a->setObjectName(QStringLiteral("mnuRecentServer_") + k.name);
        a->setProperty("korvaNoTranslation", true); // a server's name
        QObject::connect(a, &QAction::triggered, context, [open, name = k.name] { open(name); });
    }
    menu->setEnabled(!kept.isEmpty());
}

} // namespace korva::serverfiles
