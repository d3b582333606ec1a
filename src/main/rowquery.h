#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

namespace korva {

// The select list of the row query: locked columns first ("Alias" always
// leading, then "Component" and the unique ID column in column order), the
// rest in column order. Alias and Component go in bare; every other name in
// brackets.
struct SelectList
{
    QString locked;
    QString other;
    int lockedCount = 0;
    int uniqueRow = -1; // column-list row (from 1) of the unique ID column
};

SelectList composeSelectList(const QStringList &columns, const QString &uniqueId, bool lockAlias, bool lockUnique);

// "SELECT <list> FROM [<table>]" and " WHERE <where>" when the clause is
// not blank. The clause is the user's own SQL; names are escaped.
QString composeRowQuery(const SelectList &list, const QString &listedName, const QString &where);

// The WHERE text in force: trimmed, and only while the WHERE tab is shown.
QString effectiveWhere(const QString &boxText, bool whereTabShown);

} // namespace korva
