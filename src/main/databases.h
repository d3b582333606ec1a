#pragma once

#include <QtCore/QString>

#include <array>

namespace korva {

// The product's four databases, with what the main window needs of each.
struct DatabaseInfo
{
    const char16_t *menuCaption;  // the Database menu item
    const char16_t *menuObject;   // its object name
    const char16_t *name;         // in the connection string
    const char16_t *catalogue;    // what the table list reads
    const char16_t *dictionary;   // data dictionary document
    const char16_t *stickyPrefix; // sticky WHERE file prefix
    const char16_t *settingsKey;  // "Config" key of its check mark
};

enum class Db { Dir = 0, Dyn = 1, Mbx = 2, Rpt = 3 };

// In the order a choice among several checked items is made.
const std::array<DatabaseInfo, 4> &databases();
const DatabaseInfo &database(Db db);
// The menu shows them in this order.
inline constexpr std::array<Db, 4> kMenuOrder{Db::Dir, Db::Rpt, Db::Dyn, Db::Mbx};

// "Driver={SQL Server};server=" + server + "\" + instance + ";database=" + database
QString composeConnectionString(const QString &server, const QString &instance, const QString &database);
// The server part of a name typed as host, host,port or host\instance: the
// host, with its port when one was given (the instance is the caller's).
QString serverNameOf(const QString &typed);

// The two table list queries.
QString tableListQuery(bool useTables, const QString &catalogue);

} // namespace korva
