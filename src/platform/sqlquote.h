#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

// Escaping for the SQL this program composes itself, whatever engine runs
// it. The user's own WHERE clauses and free SQL are the user's SQL and never
// pass through here.
namespace korva::sql {

QString quoteLiteral(const QString &value);  // ' doubled, enclosed in '
QString escapeLiteral(const QString &value); // ' doubled, no enclosing quotes
QString quoteBracketed(const QString &name); // ] doubled, enclosed in [ ]

// A name as object_id() takes it: unchanged when plain, bracketed when it
// holds a dot, a bracket, a quote or surrounding blanks, which would
// otherwise be read as part of a dotted name.
QString objectIdName(const QString &name);

// The column names of a table or view from the catalogue, as the windows list
// them: "select name as 'Column Name' from syscolumns where id=object_id('<name>') " + order.
QString columnListQuery(const QString &object, const QString &order);

// The parts of a dotted name such as Db.dbo.[a.b]: brackets and double
// quotes hold dots and are removed ("]]" within brackets stands for "]").
QStringList splitName(const QString &name);

} // namespace korva::sql
