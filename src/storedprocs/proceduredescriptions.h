#pragma once

#include "platform/xmldocument.h"

#include <QtCore/QString>

namespace korva::storedprocs {

// The browser's description texts, from the lower-cased data dictionary of
// the directory database. Names go into the paths in lower case; a missing
// element or attribute leaves out the piece that needs it.

inline const QString kProcedureKeywords = QStringLiteral(" Stored_Procedure: Notes: Description: Exceptions: ");
inline const QString kParameterKeywords = QStringLiteral(
    " Parameter: Description: Notes: Length: Datatype: Restrictions: ");

xml::Node procedureElement(const xml::Document &doc, const QString &procedure);

// "Stored_Procedure: ", "Description: ", the notes and the exceptions of a procedure.
QString procedureDescription(const xml::Document &doc, const QString &procedure);

struct ParameterDescription
{
    QString text;
    bool found = false; // the dictionary describes the parameter; only then is the text coloured
};

// "Parameter: " and the parameter's own description and notes, or those of
// the table column it refers to.
ParameterDescription parameterDescription(const xml::Document &doc, const QString &procedure, const QString &parameter);

// The description of a table column: datatype, length, description, notes
// and the restrictions of its custom type.
QString strFetchColumnDescription(const xml::Document &doc, const QString &table, const QString &column);

// The restrictions text of a custom type: its description and an
// enumeration, length or regular-expression restriction; a restriction of
// any other kind adds nothing.
QString strFetchCustomData(const xml::Document &doc, const QString &type);

} // namespace korva::storedprocs
