#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

namespace korva {

class Grid;
class Messenger;

// Asks for the CSV file to export to, proposing a name in the documents
// folder; an existing file is overwritten only when the user says so.
// Empty when the user cancels either question.
QString askCsvExportPath(Messenger &msg, const QString &title, const QString &proposedName);

// One CSV field: enclosed in double quotes, inner quotes doubled, when it
// holds a comma, a double quote, CR or LF; otherwise unchanged.
QString csvField(const QString &cell);
// Fields separated by commas, no comma after the last.
QString csvLine(const QStringList &cells);

// Writes lines (each ended by CR LF) atomically: into a temporary file that
// replaces the target only when everything was written. False with a reason.
bool writeCsvFile(const QString &path, qsizetype lineCount, const std::function<QString(qsizetype)> &line,
                  QString *error, int *errorNumber = nullptr);

// The lines of a grid's export: every row from 0 (the header), or only those
// visible in the viewport; every column from 0 (the fixed column).
QStringList gridLines(const Grid &grid, bool visibleOnly);

// A grid's export written as writeCsvFile writes: every row, or the visible ones.
bool writeGridCsv(const Grid &grid, bool visibleOnly, const QString &path, QString *error, int *errorNumber);

} // namespace korva
