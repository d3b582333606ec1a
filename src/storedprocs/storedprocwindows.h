#pragma once

#include <QtCore/QString>

namespace korva {

class WindowContext;

namespace storedprocs {

// The names the stored procedure windows are registered under. There is one
// of each: opened again, a window comes to the front (the source view and the
// execution window then show the procedure asked for).
inline const QString kBrowserWindow = QStringLiteral("frmStoredProcs");
inline const QString kSourceWindow = QStringLiteral("frmStoredProcSource");
inline const QString kExecuteWindow = QStringLiteral("frmStoredProcExecute");

// Registers whichever of the three windows the context does not know yet.
void registerStoredProcedureWindows(WindowContext &context);

} // namespace storedprocs
} // namespace korva
