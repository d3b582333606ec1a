#include "common/testsupport.h"

#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>

namespace korva::test {

IsolatedEnvironment::IsolatedEnvironment()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    qputenv("KORVA_HKLM", m_dir.filePath(QStringLiteral("HKLM.reg")).toLocal8Bit());
}

} // namespace korva::test
