#pragma once

#include "support/windowplacement.h"

#include <QtCore/QString>

namespace korva::storedprocs {

// A window's placement in the settings store, section "Settings", under
// prefix + "Left", "Top", "Width" and "Height", as text in twips. A value
// that is missing or not a number leaves its default.
StoredPlacement readPlacement(const QString &prefix, const StoredPlacement &defaults);
void writePlacement(const QString &prefix, const StoredPlacement &placement);

} // namespace korva::storedprocs
