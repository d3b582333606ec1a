#pragma once

#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>

#include <cstdio>

namespace korva::bench {

// Peak resident memory of this process so far, in bytes.
inline qint64 peakRss()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

inline qint64 currentRss()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
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
