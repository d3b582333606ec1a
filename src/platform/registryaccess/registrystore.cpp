#include "platform/registryaccess/registrystore.h"

#include "platform/registryaccess/regfileformat.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QLoggingCategory>
#include <QtCore/QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcRegistryStore, "korva.registry.store")

namespace korva::regaccess {

namespace {

// Long enough for another copy of the program to finish a write of a large file.
constexpr int kLockTimeoutMs = 10000;

} // namespace

RegistryStore::~RegistryStore() = default;

FileRegistryStore::FileRegistryStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString FileRegistryStore::rootName()
{
    return QStringLiteral("HKEY_LOCAL_MACHINE");
}

std::optional<FileRegistryStore::Stamp> FileRegistryStore::stampOf(const QString &path, int fd,
                                                                   QString *problem)
{
    struct stat info{};
    const int rc = fd >= 0 ? ::fstat(fd, &info) : ::stat(QFile::encodeName(path).constData(), &info);
    if (rc != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Stamp{};
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    // Every write replaces the file, so the inode and change time move even
    // when two writes fall within one tick of the modification time.
    return Stamp{true,
                 quint64(info.st_dev),
                 quint64(info.st_ino),
                 qint64(info.st_size),
                 qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                 qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

FileRegistryStore::Contents FileRegistryStore::readFile()
{
    Contents contents;
    const auto unreadable = [this](const QString &reason) {
        return QStringLiteral("The registry file %1 could not be read: %2").arg(m_filePath, reason);
    };

    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (QFileInfo::exists(m_filePath)) {
            contents.problem = unreadable(file.errorString());
            return contents;
        }
        auto top = std::make_shared<RegistryKey>();
        top->ensureChild(rootName());
        contents.top = std::move(top);
        return contents;
    }

    QString problem;
    const std::optional<Stamp> stamp = stampOf(m_filePath, file.handle(), &problem);
    const QByteArray bytes = file.readAll();
    if (!stamp || file.error() != QFileDevice::NoError) {
        contents.problem = unreadable(stamp ? file.errorString() : problem);
        return contents;
    }
    contents.stamp = *stamp;

    RegFileParse parsed = parseRegFile(bytes);
    if (parsed.errorLine != 0) {
        contents.problem = unreadable(QStringLiteral("line %1: %2").arg(parsed.errorLine).arg(parsed.error));
        return contents;
    }
    parsed.top.ensureChild(rootName());
    contents.top = std::make_shared<const RegistryKey>(std::move(parsed.top));
    return contents;
}

FileRegistryStore::Contents FileRegistryStore::load()
{
    QString problem;
    const std::optional<Stamp> stamp = stampOf(m_filePath, -1, &problem);
    QMutexLocker locker(&m_mutex);
    if (stamp && m_cache && m_cache->stamp == *stamp)
        return *m_cache;
    Contents contents = readFile();
    if (stamp)
        m_cache = contents;
    return contents;
}

std::shared_ptr<const RegistryKey> FileRegistryStore::openKey(const QStringList &path)
{
    const Contents contents = load();
    if (!contents.top)
        return nullptr;
    const RegistryKey *key = contents.top->child(rootName())->find(path);
    if (!key)
        return nullptr;
    return std::shared_ptr<const RegistryKey>(contents.top, key);
}

bool FileRegistryStore::editKey(const QStringList &path, bool createMissing,
                                const std::function<bool(RegistryKey &)> &edit, bool *existed)
{
    // A write to a key that is not there must leave no trace, not even a folder.
    if (!createMissing && !openKey(path))
        return false;

    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath())) {
        qCWarning(lcRegistryStore) << "cannot create the folder of" << m_filePath;
        return false;
    }
    QLockFile lock(m_filePath + QLatin1String(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
        qCWarning(lcRegistryStore) << "cannot lock" << m_filePath << "error" << lock.error();
        return false;
    }

    const Contents current = load();
    if (!current.top)
        return false;
    auto top = std::make_shared<RegistryKey>(*current.top);
    RegistryKey &root = *top->child(rootName());
    bool created = false;
    RegistryKey *key = createMissing ? &root.ensurePath(path, &created) : root.find(path);
    if (!key)
        return false;
    if (existed)
        *existed = !created;
    if (!edit(*key) && !created)
        return true;

    QSaveFile out(m_filePath);
    if (!out.open(QIODevice::WriteOnly) || out.write(formatRegFile(*top)) < 0 || !out.commit()) {
        qCWarning(lcRegistryStore) << "cannot write" << m_filePath << out.errorString();
        return false;
    }

    QString problem;
    const std::optional<Stamp> stamp = stampOf(m_filePath, -1, &problem);
    QMutexLocker locker(&m_mutex);
    if (stamp)
        m_cache = Contents{*stamp, std::move(top), {}};
    else
        m_cache.reset();
    return true;
}

QString FileRegistryStore::problem()
{
    return load().problem;
}

} // namespace korva::regaccess
