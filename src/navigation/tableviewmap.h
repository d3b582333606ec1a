#pragma once

#include <QtCore/QString>

#include <optional>

namespace korva::navigation {

// The view that shows a base table, from the fixed list of the product's
// tables. Names compare case-sensitively; a table listed without a view, or
// not listed at all, has none.
std::optional<QString> viewForTable(const QString &table);
// The base table a view shows, the other way round (view names without regard to case).
std::optional<QString> tableForView(const QString &view);

// How the main window has to change its listing mode before it looks the
// mapped name up in its table list.
enum class ListingSwitch { None, ToTables, ToViews };

struct MappedName
{
    QString name;
    ListingSwitch change = ListingSwitch::None;
};

// The name under which a jump target is looked up in the table list, given
// whether "Use Tables" is checked. The window performs the switch.
MappedName strMapTableToView(const QString &name, bool useTablesChecked);

} // namespace korva::navigation
