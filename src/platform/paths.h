#pragma once

#include <QtCore/QString>

namespace korva {

// The folder of the korva executable, where the files that ship beside the
// program live. KORVA_PROGRAM_DIR overrides it (tests run from elsewhere).
QString programFolder();

// The files that ship with the program (help page, descriptions, language
// libraries): beside the executable in a build folder, in ../share/korva
// once installed. A file is looked for beside the executable first; the
// path beside the executable comes back when it is in neither place.
QString programFilePath(const QString &name);
// Where the shipped files are: the program folder, or ../share/korva when
// the program is installed.
QString programDataFolder();
// Whether the program runs installed (its files in ../share/korva), where
// its own folder is not the place to write anything.
bool runsInstalled();

// The program version as major.minor.revision, e.g. 2.0.15.
QString programVersion();

} // namespace korva
