#include "platform/fileio.h"

#include <QtCore/QFile>
#include <QtCore/QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace {

QString describeErrno(int number) { return QString::fromLocal8Bit(std::strerror(number)); }

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString &path) : m_file(std::make_unique<QSaveFile>(path)), m_path(path) {}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!m_done)
        discard();
}

void AtomicFileWriter::fail(const QString &reason, int number)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = reason;
    m_errno = number;
}

bool AtomicFileWriter::open()
{
    // Unbuffered, so that each write below reaches the file at once and its
    // count says how many bytes really went out.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail(m_file->errorString(), errno);
        return false;
    }
    return true;
}

bool AtomicFileWriter::write(const QByteArray &bytes)
{
    if (m_failed || m_done)
        return false;
    if (!m_file->isOpen()) {
        fail(QStringLiteral("The file is not open for writing."), EBADF);
        return false;
    }
    qint64 at = 0;
    while (at < bytes.size()) {
        errno = 0;
        const qint64 n = m_file->write(bytes.constData() + at, bytes.size() - at);
        if (n <= 0) {
            const int number = errno ? errno : EIO;
            fail(m_file->error() != QFileDevice::NoError && !m_file->errorString().isEmpty() ? m_file->errorString()
                                                                                             : describeErrno(number),
                 number);
            return false;
        }
        // A short count is a full disk (or a file size limit) reached part-way:
        // try the rest once more, which then reports why.
        at += n;
    }
    return true;
}

bool AtomicFileWriter::commit()
{
    if (m_done)
        return !m_failed;
    if (m_failed || !m_file->isOpen()) {
        discard();
        return false;
    }
    // Some file systems report a full disk only when the data is flushed.
    if (::fsync(m_file->handle()) != 0 && errno != EINVAL && errno != EROFS) {
        fail(describeErrno(errno), errno);
        discard();
        return false;
    }
    m_done = true;
    if (!m_file->commit()) {
        fail(m_file->errorString(), errno ? errno : EIO);
        return false;
    }
    return true;
}

void AtomicFileWriter::discard()
{
    if (m_file->isOpen())
        m_file->cancelWriting();
    if (m_file->isOpen())
        m_file->commit(); // after cancelWriting this removes the temporary file
    m_done = true;
    if (!m_failed)
        fail(QStringLiteral("The write was abandoned."), ECANCELED);
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, int *errorNumber)
{
    AtomicFileWriter writer(path);
    const bool ok = writer.open() && writer.write(bytes) && writer.commit();
    if (!ok) {
        if (error)
            *error = writer.errorString();
        if (errorNumber)
            *errorNumber = writer.errorNumber();
    }
    return ok;
}

ReadStatus readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    bytes->clear();
    auto failWith = [&](ReadStatus status, const QString &reason) {
        if (error)
            *error = reason;
        return status;
    };
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int number = errno;
        return failWith(number == ENOENT || number == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed,
                        describeErrno(number));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info
    {};
    if (::fstat(fd, &info) != 0)
        return failWith(ReadStatus::Failed, describeErrno(errno));
    if (!S_ISREG(info.st_mode))
        return failWith(ReadStatus::NotRegular, QStringLiteral("not a regular file"));
    if (info.st_size > maxBytes)
        return failWith(ReadStatus::TooLarge, QStringLiteral("the file is larger than %1 bytes").arg(maxBytes));
    // The size may change while reading: never take more than the limit.
    bytes->reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int number = errno;
            bytes->clear();
            return failWith(ReadStatus::Failed, describeErrno(number));
        }
        if (n == 0)
            break;
        if (bytes->size() + n > maxBytes) {
            bytes->clear();
            return failWith(ReadStatus::TooLarge, QStringLiteral("the file is larger than %1 bytes").arg(maxBytes));
        }
        bytes->append(buffer, qsizetype(n));
    }
    return ReadStatus::Ok;
}

} // namespace korva
