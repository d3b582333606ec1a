#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

#include <functional>
#include <optional>

namespace korva::test {

// Points the settings store (and the registry file) of this process at a
// fresh temporary folder, so a test never touches the user's files; puts
// back what was there before when it goes.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    IsolatedEnvironment(const IsolatedEnvironment &) = delete;
    IsolatedEnvironment &operator=(const IsolatedEnvironment &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    std::optional<QByteArray> m_previousRegistry;
};

// Points unregistered servers at an ODBC driver that does not exist, so a
// test never reaches the network (the settings store must already be isolated).
void keepOffline();
// Forgets the main window's stored settings ("Settings" and "Config"), then
// keeps the test offline again, as a window test starts each case.
void forgetWindowSettings();

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_previous;
};

// Runs body in a child process whose files may not grow beyond limitBytes,
// as on a disk that fills up part-way through a write. Answers the body's
// result, or nullopt when the child did not finish normally.
std::optional<bool> runWithFileSizeLimit(qint64 limitBytes, const std::function<bool()> &body);

} // namespace korva::test
