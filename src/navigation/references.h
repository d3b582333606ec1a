#pragma once

#include "platform/xmldocument.h"

#include <QtCore/QString>

namespace korva::navigation {

// Which table an ObjectID column references, answered from the lower-cased
// data dictionary of the current database. A missing node or attribute
// yields no reference and is never an error.

// Traces a view column to the base table column it shows. On success view
// and column are replaced by the table and its column; otherwise both stay.
bool bFetchReferenceTableAndColumn(const xml::Document &doc, QString &view, QString &column);

// The table that a column of a table or view links to, or empty. View
// columns are traced to their base table before the links are consulted.
QString strExternalReference(const xml::Document &doc, const QString &table, const QString &column);

// The main window adds two rules to the dictionary links: the greeting type
// joins the ObjectID of a greeting reference, and any CallHandlerObjectID
// column references the call handler table. The object view applies neither.
enum class ReferenceRules { MainWindow, ObjectView };

// The table that a data-grid cell of the given column references, or empty.
// listedTable is the table list's current name (empty when none is current).
QString referencedTableForCell(const xml::Document &doc, const QString &listedTable, const QString &columnName,
                               ReferenceRules rules = ReferenceRules::MainWindow);

struct HoverTarget
{
    QString referencedTable; // empty: the cell references nothing
    QString objectId;        // what the description routine is given
};

// The reference under the mouse: the referenced table and the ObjectID to
// describe (for a greeting, the cell text, ":" and the row's GreetingType
// when that is not empty).
HoverTarget hoverTargetForCell(const xml::Document &doc, const QString &listedTable, const QString &columnName,
                               const QString &cellText, const QString &rowGreetingType,
                               ReferenceRules rules = ReferenceRules::MainWindow);
// The same, for a cell of a column whose referenced table is already known
// (referencedTableForCell): no dictionary lookup per cell.
HoverTarget hoverTargetForReference(const QString &referencedTable, const QString &cellText,
                                    const QString &rowGreetingType, ReferenceRules rules = ReferenceRules::MainWindow);

} // namespace korva::navigation
