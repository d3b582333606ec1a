#pragma once

#include <QtCore/QString>

namespace korva::modUpdateCheck {

// The tool's page on the tool site.
QString homePageUrl();

// Starts "test.bat" from the program folder with the program version and the
// home page URL (and the second argument in quotes when it has 2+ characters),
// without waiting. Any failure is ignored. Returns whether it started.
bool runVersionHook(const QString &homePage, const QString &second);

// The command line the hook runs, for display and tests.
QString versionHookCommandLine(const QString &homePage, const QString &second);

} // namespace korva::modUpdateCheck
