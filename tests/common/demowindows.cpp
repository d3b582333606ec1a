#include "common/demowindows.h"

#include "demo/demoinstallation.h"
#include "demo/registry.h"
#include "platform/database.h"
#include "platform/workstationinfo.h"

#include <QtCore/QDir>
#include <QtCore/QFile>

namespace korva::test {

void DemoWindows::freshStart()
{
    forgetWindowSettings();
    db::resetConnectionPool();
}

bool DemoWindows::setUp(const Options &options, QString *error)
{
    m_env = std::make_unique<IsolatedEnvironment>();
    m_root = m_env->filePath(QStringLiteral("demo"));
    demo::DemoOptions o;
    o.root = m_root;
    o.subscribers = options.subscribers;
    o.reportRows = options.reportRows;
    if (!demo::createDemoInstallation(o, error))
        return false;
    if (options.programFolder) {
        const QString program = m_env->filePath(QStringLiteral("program"));
        if (!QDir().mkpath(program)) {
            *error = QStringLiteral("cannot make ") + program;
            return false;
        }
        if (options.registryDescription) {
            QFile description(program + QStringLiteral("/OrvexRegistrySettings.xml"));
            const QByteArray bytes = demo::registrySettingsXml();
            if (!description.open(QIODevice::WriteOnly) || description.write(bytes) != bytes.size()) {
                *error = QStringLiteral("cannot write ") + description.fileName();
                return false;
            }
        }
        m_programDir = std::make_unique<ScopedEnv>("KORVA_PROGRAM_DIR", program.toLocal8Bit());
    }
    m_ctx = std::make_unique<WindowContext>(msg);
    return true;
}

QString DemoWindows::dictionaryFolder() const
{
    return m_root + QStringLiteral("/install/ConfigurationModules/DatabaseScripts/");
}

QString DemoWindows::connectionString(const QString &database)
{
    return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=%2")
        .arg(WorkStationInfo::instance().ComputerName(), database);
}

} // namespace korva::test
