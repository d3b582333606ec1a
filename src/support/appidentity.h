#pragma once

#include <QtCore/QString>

class QIcon;

namespace korva {

// The name of the program's desktop entry (org.korva.Korva.desktop), without
// its extension.
QString desktopEntryName();

// The program's icon, in every size it ships in.
QIcon programIcon();

// Who the running program is, for the desktop and the settings: its names
// and version, its desktop entry and the icon every window takes. Called
// once the application object exists, before the first window.
void setUpApplicationIdentity();

} // namespace korva
