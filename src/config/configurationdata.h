#pragma once

#include "platform/error.h"
#include "platform/xmldocument.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <array>
#include <optional>

// What the configuration viewer reads and how it shows it, apart from the
// window: the folder tree of vw_Configuration, a folder's settings with the
// value display rules, and a setting's description from
// OrvexConfigurationData.xml.
namespace korva::config {

inline const QString kDescriptionKeywords = QStringLiteral(" Min: Max: Name: Type: Default: Description: Full Path: ");
inline const QString kNoConfigurationData = QStringLiteral("No configuration data in the local SQL database");

// A row of vw_Configuration as the folder tree needs it.
struct FolderRow
{
    QString objectId;
    QString parentId;
    QString fullName;
    bool root = false;   // Type = 1
    bool folder = false; // HasChildNodes = 1
};

// The root rows and every folder in one query, in the server's order: a
// remote server is asked once, however many folders there are.
QString folderQuery();

struct FolderRead
{
    QList<FolderRow> rows;
    Error error;
};
FolderRead readFolders(const QString &connection);

// The folders without sub-folders, by FullName, in the order a depth-first
// walk from the root reaches them (the first root row; each folder's
// sub-folders in the order read). Each folder is walked once, so rows whose
// parents run in a circle end the walk instead of repeating it. noData when
// there is no root row or the root has no folders.
struct TreePlan
{
    QStringList leafFolders;
    bool noData = false;
};
TreePlan planTree(const QList<FolderRow> &rows);

// The components of a FullName below the root's own (c1 ... cn).
QStringList folderComponents(const QString &fullName);
// The FullName of the folder a tree node stands for: the node key with one
// trailing "." dropped, after "System.".
QString fullNameOfNode(const QString &nodeKey);

// A leaf of a folder as the settings grid shows it.
struct SettingRow
{
    QString path; // FullName
    QString key;  // Name
    QString type;
    QString value;
};

// Value and type text of a leaf: the first of ValueBool, ValueDate,
// ValueFloat, ValueGUID, ValueLong, ValueString that is not null (given in
// that order, as the grid shows them), then the Type code's override.
struct SettingValue
{
    QString type;
    QString value;
};
SettingValue settingValue(const std::array<std::optional<QString>, 6> &values, const QVariant &typeCode);

struct FolderSettings
{
    enum class Outcome { Found, NotFound, Failed };
    Outcome outcome = Outcome::Found;
    QList<SettingRow> rows;
    Error error;
};
// The folder by its FullName (it must be exactly one row), then its leaves.
FolderSettings readFolderSettings(const QString &connection, const QString &fullName);

// The description file's text with its document type declaration taken out
// (in any letter case), so that no DTD is ever looked for.
QString removeDocumentType(QString text);
// Parses the file's bytes into doc; the message to show when they do not parse.
std::optional<QString> loadDescriptions(const QByteArray &bytes, xml::Document *doc);
// The description box's text for a setting of that Name and FullName.
QString settingDescription(const xml::Document &doc, const QString &key, const QString &path);

} // namespace korva::config
