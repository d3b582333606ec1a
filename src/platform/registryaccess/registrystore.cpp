#include "platform/registryaccess/registrystore.h"

#include "platform/registryaccess/regfileformat.h"

#include "platform/fileio.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QLoggingCategory>
#include <QtCore/QThread>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcRegistryStore, "korva.registry.store")

namespace korva::regaccess {

namespace {

// Another process holds the lock only while it writes one change; the call
// that waits for it runs on the window's thread, so it gives up soon.
constexpr int kLockWaitMs = 400;
constexpr int kLockPollMs = 5;

// Far more than any real registry; only a wrong file at the path comes near.
constexpr qint64 kMaxFileBytes = 256 * 1024 * 1024;

bool lockBriefly(QLockFile &lock)
{
    // QLockFile's own waiting sleeps 100 ms and then longer between tries,
    // which within so short a wait would miss most moments the lock is free.
    const QDeadlineTimer deadline(kLockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(kLockPollMs);
    }
    return true;
}

} // namespace

RegistryStore::~RegistryStore() = default;

FileRegistryStore::FileRegistryStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString FileRegistryStore::rootName() { return QStringLiteral("HKEY_LOCAL_MACHINE"); }

std::optional<FileRegistryStore::Stamp> FileRegistryStore::stampOf(const QString &path, QString *problem)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
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

QString FileRegistryStore::unreadable(const QString &reason) const
{
    return QStringLiteral("The registry file %1 could not be read: %2").arg(m_filePath, reason);
}

// The stamp is taken before the file is read: should the file be replaced in
// between, the cache then holds an older stamp than its contents and is read
// again, never the other way round.
FileRegistryStore::Contents FileRegistryStore::readFile(const Stamp &stamp)
{
    Contents contents;
    QByteArray bytes;
    QString error;
    switch (readRegularFile(m_filePath, kMaxFileBytes, &bytes, &error)) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::Missing: {
        auto top = std::make_shared<RegistryKey>();
        top->ensureChild(rootName());
        contents.top = std::move(top);
        return contents;
    }
    default:
        contents.stamp = stamp;
        contents.problem = unreadable(error);
        return contents;
    }
    contents.stamp = stamp;

    RegFileParse parsed = parseRegFile(bytes);
    if (parsed.errorLine != 0) {
        contents.problem = unreadable(QStringLiteral("line %1: %2").arg(parsed.errorLine).arg(parsed.error));
        return contents;
    }
    parsed.top.ensureChild(rootName());
    contents.top = std::make_shared<const RegistryKey>(std::move(parsed.top));
    return contents;
}

FileRegistryStore::Contents FileRegistryStore::load(bool fresh)
{
    QString problem;
    const std::optional<Stamp> stamp = stampOf(m_filePath, &problem);
    if (!stamp)
        return Contents{{}, nullptr, unreadable(problem)};
    QMutexLocker locker(&m_mutex);
    if (!fresh && m_cache && m_cache->stamp == *stamp)
        return *m_cache;
    m_cache = readFile(*stamp);
    return *m_cache;
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

std::optional<FileRegistryStore::Edited> FileRegistryStore::applyEdit(const Contents &contents, const QStringList &path,
                                                                      bool createMissing,
                                                                      const std::function<bool(RegistryKey &)> &edit)
{
    if (!contents.top)
        return std::nullopt;
    Edited result;
    result.top = std::make_shared<RegistryKey>(*contents.top);
    RegistryKey &root = *result.top->child(rootName());
    RegistryKey *key = createMissing ? &root.ensurePath(path, &result.created) : root.find(path);
    if (!key)
        return std::nullopt;
    if (result.created)
        key->setOwnSection(true);
    result.changed = edit(*key) || result.created;
    return result;
}

bool FileRegistryStore::editKey(const QStringList &path, bool createMissing,
                                const std::function<bool(RegistryKey &)> &edit, bool *existed)
{
    if (path.size() > kMaxKeyDepth)
        return false;

    // Decided on the cached contents first: most writes change nothing (a key
    // that exists, a value set to what it holds) and must not wait for the
    // lock, nor leave any trace.
    const Contents cached = load();
    std::optional<Edited> edited = applyEdit(cached, path, createMissing, edit);
    if (!edited)
        return false;
    if (existed)
        *existed = !edited->created;
    if (!edited->changed)
        return true;

    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath())) {
        qCWarning(lcRegistryStore) << "cannot create the folder of" << m_filePath;
        return false;
    }
    QLockFile lock(m_filePath + QLatin1String(".lock"));
    if (!lockBriefly(lock)) {
        qCWarning(lcRegistryStore) << "cannot lock" << m_filePath << "error" << lock.error();
        return false;
    }

    // Another process may have written since, so the change is made again on
    // what the file holds now; edit may decide differently there (a name that
    // has been taken meanwhile). The file is read whatever its stamp says: the
    // file times move in ticks of the clock and a freed inode number comes
    // back, so a file replaced by one of the same size can look unchanged.
    const Contents current = load(true);
    edited = applyEdit(current, path, createMissing, edit);
    if (!edited)
        return false;
    if (existed)
        *existed = !edited->created;
    if (!edited->changed)
        return true;

    QString error;
    if (!writeFileAtomically(m_filePath, formatRegFile(*edited->top), &error)) {
        qCWarning(lcRegistryStore) << "cannot write" << m_filePath << error;
        return false;
    }

    QString problem;
    const std::optional<Stamp> stamp = stampOf(m_filePath, &problem);
    QMutexLocker locker(&m_mutex);
    if (stamp)
        m_cache = Contents{*stamp, std::move(edited->top), {}};
    else
        m_cache.reset();
    return true;
}

QString FileRegistryStore::problem() { return load().problem; }

} // namespace korva::regaccess
