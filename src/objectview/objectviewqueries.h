#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

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

} // namespace korva::objectview
