#include "support/updatecheck.h"

#include "platform/paths.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>

namespace korva::modUpdateCheck {

QString homePageUrl() { return QStringLiteral("https://www.orvextools.example/Diagnostics/Talmu.htm"); }

QString versionHookCommandLine(const QString &homePage, const QString &second)
{
    QString line = QDir(programFolder()).filePath(QStringLiteral("test.bat")) + u' ' + programVersion() + u' ' + homePage;
    if (second.size() >= 2)
        line += QStringLiteral(" \"") + second + u'"';
    return line;
}

bool runVersionHook(const QString &homePage, const QString &second)
{
    // The batch file is a shell script on this platform; run it with sh so it
    // needs no execute bit, detached so the program never waits for it.
    const QString script = QDir(programFolder()).filePath(QStringLiteral("test.bat"));
    if (!QFileInfo(script).isFile())
        return false;
    QStringList args{script, programVersion(), homePage};
    if (second.size() >= 2)
        args << second;
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments(args);
    process.setWorkingDirectory(programFolder());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace korva::modUpdateCheck
