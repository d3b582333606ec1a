#include "widgets/csvexport.h"

#include "platform/fileio.h"
#include "support/messenger.h"
#include "widgets/grid.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

namespace korva {

QString askCsvExportPath(Messenger &msg, const QString &title, const QString &proposedName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = msg.saveFileName(title, QDir(folder).filePath(proposedName),
                                          QStringLiteral("CSV files (*.csv *.CSV);;All files (*)"));
    if (path.isEmpty())
        return {};
    if (QFileInfo::exists(path) && !msg.question(QStringLiteral("File name already exists, overwrite?")))
        return {};
    return path;
}

QString csvField(const QString &cell)
{
    bool quote = false;
    for (QChar c : cell)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    if (!quote)
        return cell;
    QString q = cell;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString csvLine(const QStringList &cells)
{
    QString line;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += u',';
        line += csvField(cells.at(i));
    }
    return line;
}

bool writeCsvFile(const QString &path, qsizetype lineCount, const std::function<QString(qsizetype)> &line,
                  QString *error, int *errorNumber)
{
    AtomicFileWriter file(path);
    bool ok = file.open();
    QByteArray buffer;
    for (qsizetype i = 0; ok && i < lineCount; ++i) {
        buffer += line(i).toLocal8Bit();
        buffer += "\r\n";
        if (buffer.size() > (1 << 20)) {
            ok = file.write(buffer);
            buffer.clear();
        }
    }
    ok = ok && file.write(buffer) && file.commit();
    if (!ok) {
        file.discard();
        if (error)
            *error = file.errorString();
        if (errorNumber)
            *errorNumber = file.errorNumber();
    }
    return ok;
}

QStringList gridLines(const Grid &grid, bool visibleOnly)
{
    QStringList lines;
    const int rows = grid.rows();
    const int cols = grid.cols();
    for (int r = 0; r < rows; ++r) {
        if (visibleOnly && !grid.rowIsVisible(r))
            continue;
        QStringList cells;
        cells.reserve(cols);
        for (int c = 0; c < cols; ++c)
            cells << grid.textMatrix(r, c);
        lines << csvLine(cells);
    }
    return lines;
}

bool writeGridCsv(const Grid &grid, bool visibleOnly, const QString &path, QString *error, int *errorNumber)
{
    if (visibleOnly) {
        const QStringList lines = gridLines(grid, true);
        return writeCsvFile(
            path, lines.size(), [&](qsizetype i) { return lines.at(i); }, error, errorNumber);
    }
    // Row by row as the file is written, not the whole table in memory first.
    const int cols = grid.cols();
    return writeCsvFile(
        path, grid.rows(),
        [&](qsizetype r) {
            QStringList cells;
            cells.reserve(cols);
            for (int c = 0; c < cols; ++c)
                cells << grid.textMatrix(int(r), c);
            return csvLine(cells);
        },
        error, errorNumber);
}

} // namespace korva
