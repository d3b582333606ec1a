#pragma once

#include "platform/error.h"
#include "platform/xmldocument.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

// What the registry viewer shows, apart from the window: the key tree below
// the product's settings folder, the value texts, and a value's description
// from OrvexRegistrySettings.xml.
namespace korva::registryview {

class RegistrySource;

inline const QString kSettingsFolder = QStringLiteral("SOFTWARE\\Brisvane\\");
inline const QString kDescriptionKeywords = QStringLiteral(" Name: Type: Default: Description: ");
inline const QString kDescriptionFile = QStringLiteral("OrvexRegistrySettings.xml");

// Every key below the settings folder, walked depth first in the order
// listed: the relative path ("\A\B") of each key without sub-keys, and the
// keys that could not be listed, each as its failure.
struct KeyTree
{
    QStringList leafPaths;
    QList<Error> failures;
};
KeyTree listKeyTree(const RegistrySource &source);
// The key names of a relative path ("\A\B" gives A, B).
QStringList keyComponents(const QString &relativePath);

// The path the values of a tree node are listed from: the settings folder,
// the node's key and a closing "\".
QString keyPathOfNode(const QString &nodeKey);
// A value as the grid shows it: a text as it is, a double word as a signed
// decimal number, anything else as its bytes, each written as two upper-case
// hexadecimal digits and a blank.
QString valueText(const QVariant &value);
// What "Copy full key path to clipboard" puts there.
QString fullKeyPath(const QString &path, const QString &valueName);

// The description file's text lower-cased whole, its markup keywords kept.
QString lowerCasedDescriptions(const QString &text);
// Parses the file's bytes, lower-cased, into doc; false when they do not parse.
bool loadDescriptions(const QByteArray &bytes, xml::Document *doc);
// The description box's text for the value of that name in the key at path.
QString valueDescription(const xml::Document &doc, const QString &name, const QString &path);

} // namespace korva::registryview
