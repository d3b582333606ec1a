#pragma once

#include <QtCore/QSettings>

#include <memory>

namespace korva {

// The per-user settings store: INI format, application "KORVA", groups
// "Settings" and "Config" (and "Servers" for the engine directory).
std::unique_ptr<QSettings> openSettings();

} // namespace korva
