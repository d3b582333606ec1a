#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <memory>

class QSaveFile;

namespace korva {

// Writes a file so that a failure at any point, a full disk included, leaves
// the file that was there before untouched: the bytes go to a temporary file
// beside the target, every write is checked for every byte, and the
// temporary file replaces the target only when all of it reached the disk.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const QString &path);
    ~AtomicFileWriter(); // discards the temporary file unless committed
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    bool open();
    // False once any write has fallen short; later writes do nothing.
    bool write(const QByteArray &bytes);
    // Replaces the target; false (the target unchanged) after any failure.
    bool commit();
    void discard();

    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }
    // The failure as an error number of the standard C library (ENOSPC, ...), or 0.
    int errorNumber() const { return m_errno; }

private:
    void fail(const QString &reason, int number);

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    bool m_failed = false;
    bool m_done = false;
    QString m_error;
    int m_errno = 0;
};

// The whole file written at once through AtomicFileWriter.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                         int *errorNumber = nullptr);

// Reads a regular file whole, at most maxBytes of it. Anything that is not
// a regular file (a FIFO, a device, a folder) is refused without blocking,
// and so is a file larger than the limit.
enum class ReadStatus { Ok, Missing, NotRegular, TooLarge, Failed };
ReadStatus readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error = nullptr);

} // namespace korva
