#pragma once

#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>

#include <cstdio>

namespace korva::bench {

// A memory figure of this process from /proc, in bytes ("VmHWM:" peak, "VmRSS:" now).
inline qint64 statusBytes(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
inline qint64 peakRss() { return statusBytes("VmHWM:"); }
inline qint64 currentRss() { return statusBytes("VmRSS:"); }

// The benchmark's command line: --root (a demo installation to reuse, else a
// temporary one) and one size option. Returns the root folder.
inline QString parseDemoRoot(QCoreApplication &app, const QTemporaryDir &temp, const QCommandLineOption &size,
                             QString *sizeValue)
{
    QCommandLineParser p;
    p.addOption({QStringLiteral("root"), QStringLiteral("demo installation folder (reused when present)"), QStringLiteral("dir")});
    p.addOption(size);
    p.addHelpOption();
    p.process(app);
    *sizeValue = p.value(size);
    return p.isSet(QStringLiteral("root")) ? p.value(QStringLiteral("root")) : temp.path() + QStringLiteral("/demo");
}

// Keeps settings and the registry file of a benchmark run in its own folder.
inline void isolate(const QString &folder)
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder + QStringLiteral("/settings"));
    qputenv("KORVA_HKLM", (folder + QStringLiteral("/HKLM.reg")).toLocal8Bit());
}

inline double ms(qint64 ns) { return double(ns) / 1e6; }

} // namespace korva::bench
