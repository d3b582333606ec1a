#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

namespace korva {

// The program's command line, read before any window exists: --help and
// --version print and end; an option it does not know is an error. The
// options of the windowing toolkit itself (-platform NAME, -style NAME, ...)
// pass through to it.
struct ProgramOptions
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // The command line for the start sequence, in its own forms ("/Edit",
    // "/named:NAME"), pieces separated by single blanks.
    QString commandLine;
    QString error; // for Error: what to print
};

// args without the program's own name.
ProgramOptions parseProgramOptions(const QStringList &args);

QString programHelpText();
QString programVersionText();

} // namespace korva
