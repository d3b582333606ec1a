#pragma once

#include <QtCore/QString>

#include <functional>

namespace korva::demo {

// What the demo installation is made of. Same options, same files, byte for
// byte (the registry file also holds the root folder).
struct DemoOptions
{
    QString root; // folder that receives install/ and data/
    int subscribers = 2000;
    qint64 reportRows = 5000; // rows of the report database's call history
    QString serverName;       // default: the local computer name
    QString instance = QStringLiteral("zandelorvex");
    // Told, from the thread that builds, before each step (0-based, of steps)
    // with what that step makes; it changes nothing of what is built.
    std::function<void(int step, int steps, const QString &what)> progress;
};

// Builds a complete product installation for the embedded engine under
// options.root: data dictionaries and configuration description in
// install/ConfigurationModules/DatabaseScripts, the four databases in data/,
// the product's registry values, and the server registered as embedded.
// An existing demo installation at root is replaced only once the new one
// is complete. Returns false with a reason on failure.
bool createDemoInstallation(const DemoOptions &options, QString *error);

// The registry file the installation writes to (KORVA_HKLM or the per-user
// default).
QString registryFilePath();

// Name of the call-history table of the report database.
inline constexpr char kReportCallHistoryTable[] = "tbl_ReportCallHistory";

} // namespace korva::demo
