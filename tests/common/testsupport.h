#pragma once

#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

namespace korva::test {

// Points the settings store (and the registry file) of this process at a
// fresh temporary folder, so a test never touches the user's files.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

} // namespace korva::test
