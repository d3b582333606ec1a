#pragma once

#include "platform/xmldocument.h"

#include <QtCore/QString>

namespace korva::dictionary {

// Lookups in a lower-cased data dictionary document. Every name is put into
// the paths in lower case; a missing element or attribute leaves its line out.

// The name a listed table or view is described under ("tbl_..."). In views
// mode the "vw_" prefix is dropped and a few view names are respelled.
QString dictionaryNameFor(const QString &listedName, bool viewsMode);

xml::Node tableElement(const xml::Document &doc, const QString &table);

// "Table: <listed>" and the description and notes lines of the table element.
QString tableDescription(const QString &listedName, const xml::Node &table);

struct ColumnDescription
{
    QString text;
    bool found = false; // the column was found (directly or through a view)
};

// The column description of a listed table's column. The lookup starts from
// currentTable; when the column is found only through a view, the view's base
// table element becomes the current one.
ColumnDescription columnDescription(const xml::Document &doc, xml::Node &currentTable, const QString &listedTable,
                                    const QString &column);

// The restrictions text of a custom type; a restriction of a kind other than
// enumeration, length or regex is named by its kind.
QString strFetchCustomData(const xml::Document &doc, const QString &name);

// The same, with the text for a restriction of another kind chosen by the caller.
enum class OtherRestriction { NamedByKind, Empty };
QString customTypeRestrictions(const xml::Document &doc, const QString &name, OtherRestriction other);

inline const QString kTableKeywords = QStringLiteral(" Table: Notes: Description: ");
inline const QString kColumnKeywords = QStringLiteral(
    " Column: Datatype: Length: Description: Notes: Restrictions: Enumeration: ");

} // namespace korva::dictionary
