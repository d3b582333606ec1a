#include "common/testsupport.h"

#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korva::test {

namespace {

std::optional<QByteArray> currentValue(const char *name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restore(const char *name, const std::optional<QByteArray> &value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

} // namespace

IsolatedEnvironment::IsolatedEnvironment() : m_previousRegistry(currentValue("KORVA_HKLM"))
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    qputenv("KORVA_HKLM", m_dir.filePath(QStringLiteral("HKLM.reg")).toLocal8Bit());
    keepOffline();
}

void keepOffline()
{
    // A server no test registered goes to ODBC: through a driver that does not
    // exist, so that nothing is looked up or sent on the network.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KORVA"), QStringLiteral("KORVA"));
    settings.setValue(QStringLiteral("Config/OdbcDriver"), QStringLiteral("KORVA test: no network"));
}

void forgetWindowSettings()
{
    {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KORVA"),
                           QStringLiteral("KORVA"));
        settings.remove(QStringLiteral("Settings"));
        settings.remove(QStringLiteral("Config"));
    }
    keepOffline();
}

IsolatedEnvironment::~IsolatedEnvironment() { restore("KORVA_HKLM", m_previousRegistry); }

ScopedEnv::ScopedEnv(const char *name, const QByteArray &value) : m_name(name), m_previous(currentValue(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() { restore(m_name.constData(), m_previous); }

std::optional<bool> runWithFileSizeLimit(qint64 limitBytes, const std::function<bool()> &body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        // A write beyond the limit then fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit
        {
            rlim_t(limitBytes), rlim_t(limitBytes)
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

} // namespace korva::test
