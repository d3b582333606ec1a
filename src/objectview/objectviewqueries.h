#pragma once

#include "platform/dberror.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>
#include <optional>

namespace korva {
class StopToken;
namespace db {
class ResultSet;
}
} // namespace korva

namespace korva::objectview {

enum class ObjectType { CallHandlers, Interviewers, Subscribers };

struct ObjectTypeInfo
{
    ObjectType type;
    QString caption;             // as listed
    QString view;                // queried
    QString hoverView;           // named for hover lookups
    QStringList referenceTables; // offered, in order
};

struct ReferenceInfo
{
    QString caption;
    QString view;      // queried
    QString whereText; // followed by the ObjectID and "'"
    bool byCallHandler = false;
    QString hoverView;
};

const QList<ObjectTypeInfo> &objectTypes();
const ObjectTypeInfo *objectTypeByCaption(const QString &caption); // compared in upper case
const ReferenceInfo *referenceByCaption(const QString &caption);

struct ObjectQuery
{
    QString sql;
    int fixedColumns = 0;  // kept at the left while scrolling sideways
    int hiddenColumns = 0; // the key columns at the start
};

// The object grid's query for a view with these columns: the key columns,
// then the preferred names (ascending), then every other column in brackets.
ObjectQuery objectGridQuery(const ObjectTypeInfo &type, const QStringList &columns);

// The reference grid's query: preferred names first (descending), the rest in
// brackets, filtered by the ObjectID (escaped).
ObjectQuery referenceGridQuery(const ReferenceInfo &reference, const QStringList &columns, const QString &objectId);

// "select name as 'Column Name' from syscolumns where id=object_id('V') ORDER BY name ASC"
QString columnDiscoveryQuery(const QString &view);

// What the window shows, read on a database thread: these touch no widget
// and hand back every row, so that nothing is read on the windows' thread.

// The columns of a view, by name ascending; none when they cannot be read.
QStringList readColumns(const QString &connection, const QString &view);

struct GridRows
{
    ObjectQuery query;                   // composed from the view's columns
    std::shared_ptr<db::ResultSet> rows; // every row read; null when the query failed
    db::Error error;                     // why it failed
};

struct ObjectGridRows : GridRows
{
    // The first object's keys, when there is one (the call handler's for subscribers only).
    std::optional<QString> firstObjectId;
    std::optional<QString> firstCallHandlerId;
};

// Each gives up between its queries once stop is requested (what it then
// returns is not looked at).
ObjectGridRows readObjectGrid(const QString &connection, const ObjectTypeInfo &type, const StopToken &stop);
GridRows readReferenceGrid(const QString &connection, const ReferenceInfo &reference, const QString &objectId,
                           const StopToken &stop);

} // namespace korva::objectview
