#pragma once

#include <QtCore/QString>

#include <optional>

namespace korva {

// Sticky WHERE clauses: one small text file per database and table, in the
// "WhereFiles" folder of the program folder (or of the per-user data folder
// when the program folder cannot be written, or is given empty because the
// program runs installed). The file holds the WHERE box's
// text exactly, without a line end added.
class StickyWhereFiles
{
public:
    explicit StickyWhereFiles(const QString &programFolder);
    // The files of a folder found before (by another instance), used as it is.
    enum Placement { InFolder };
    StickyWhereFiles(const QString &folder, Placement) : m_folder(folder) {}

    // The file for a database prefix and a listed table name; creates the
    // folder. Characters that would leave the folder are encoded.
    QString fileName(const QString &prefix, const QString &listedName) const;
    static QString safeName(const QString &listedName);

    // save replaces the file only once all of the text is written, and says
    // why when it cannot; load reads regular files only (never waits on a FIFO).
    bool save(const QString &path, const QString &text, QString *error = nullptr) const;
    bool remove(const QString &path) const;
    std::optional<QString> load(const QString &path) const;

    QString folder() const { return m_folder; }

private:
    QString m_folder;
};

} // namespace korva
