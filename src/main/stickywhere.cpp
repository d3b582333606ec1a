#include "main/stickywhere.h"

#include "platform/fileio.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

namespace korva {

namespace {

// Far more than any WHERE clause a user types.
constexpr qint64 kMaxClauseBytes = 16 * 1024 * 1024;

bool writableFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QFileInfo fi(folder);
    return fi.isDir() && fi.isWritable();
}

} // namespace

StickyWhereFiles::StickyWhereFiles(const QString &programFolder)
{
    const QString own = QDir(programFolder).filePath(QStringLiteral("WhereFiles"));
    if (!programFolder.isEmpty() && writableFolder(own)) {
        m_folder = own;
        return;
    }
    m_folder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                   .filePath(QStringLiteral("KORVA/WhereFiles"));
    QDir().mkpath(m_folder);
}

QString StickyWhereFiles::safeName(const QString &listedName)
{
    QString out;
    out.reserve(listedName.size());
    for (QChar c : listedName) {
        if (c == u'%' || c == u'/' || c == u'\\' || c == QChar(0) || c.unicode() < 0x20)
            out += u'%' + QStringLiteral("%1").arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString StickyWhereFiles::fileName(const QString &prefix, const QString &listedName) const
{
    QDir().mkpath(m_folder);
    return QDir(m_folder).filePath(prefix + safeName(listedName) + QStringLiteral(".TXT"));
}

bool StickyWhereFiles::save(const QString &path, const QString &text, QString *error) const
{
    if (path.isEmpty())
        return false;
    // A read-only file is replaced like any other.
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return writeFileAtomically(path, text.toLocal8Bit(), error);
}

bool StickyWhereFiles::remove(const QString &path) const
{
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return QFile::remove(path);
}

std::optional<QString> StickyWhereFiles::load(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    if (readRegularFile(path, kMaxClauseBytes, &bytes) != ReadStatus::Ok)
        return std::nullopt;
    return QString::fromLocal8Bit(bytes);
}

} // namespace korva
