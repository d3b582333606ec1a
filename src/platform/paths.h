#pragma once

#include <QtCore/QString>

namespace korva {

// The folder of the korva executable, where the files that ship beside the
// program live. KORVA_PROGRAM_DIR overrides it (tests run from elsewhere).
QString programFolder();

// The program version as major.minor.revision, e.g. 2.0.15.
QString programVersion();

} // namespace korva
