#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace korva::demo {

// A value of the product's registry settings, and what the settings
// description file says about it.
struct RegValueDef
{
    enum class Kind { String, DWord, Binary, ExpandString, MultiString };
    QString name;
    Kind kind = Kind::String;
    QString text;        // String, ExpandString
    quint32 number = 0;  // DWord
    QByteArray bytes;    // Binary
    QStringList strings; // MultiString
    QString description; // empty: not in the description file
    QString defaultText;
};

struct RegKeyDef
{
    QString path; // below SOFTWARE\Brisvane, parts joined by "\"
    QList<RegValueDef> values;
};

// The settings tree under SOFTWARE\Brisvane, every key listed before its
// sub-keys.
const QList<RegKeyDef> &settingsTree();

// OrvexRegistrySettings.xml for that tree (shipped beside the program).
QByteArray registrySettingsXml();

// The export sections of the product's keys for an installation folder.
QString productRegistrySections(const QString &installFolder);

// Puts the product's sections into the text of an existing registry export,
// replacing the product's earlier keys and keeping every other key (the
// browser's own saved queries among them). Fails, leaving out untouched,
// when the text is not a registry export.
bool mergeRegistryExport(const QByteArray &existing, const QString &installFolder, QByteArray *out, QString *error);

// Checks that the file (when it exists) can be merged into.
bool checkRegistryFile(const QString &file, QString *error);
// Merges into the file and replaces it in one step, under the lock file the
// registry access uses.
bool installRegistry(const QString &file, const QString &installFolder, QString *error);

} // namespace korva::demo
