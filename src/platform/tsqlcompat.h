#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

namespace korva::db::tsql {

// The Transact-SQL the windows send, turned into SQL that the embedded
// SQLite engine runs with the same meaning. All compatibility rules live here:
//
//  - Db.dbo.object and Db..object name the object in database Db; Db is the
//    connection's own database ("main") or one attached under its name.
//    dbo.object is object. A four-part server.db.dbo.object drops the server.
//  - sysobjects and syscolumns read catalogue views that the engine creates
//    per database in the temp schema (sysobjects_<schema>, syscolumns_<schema>);
//    Db.dbo.sysobjects names the one of Db, the plain names the connection's own.
//  - [bracketed] names, 'quoted' column aliases, object_id('name'),
//    GETDATE(), ISNULL(), LEN(), NEWID() are understood by SQLite itself or
//    by functions the engine registers; N'text' loses its N.
//  - SELECT TOP n ... becomes SELECT ... LIMIT n, at the end of that SELECT
//    (inside its parentheses when it is a subquery).
//  - Text compares without regard to case because the databases declare
//    their text columns COLLATE NOCASE and the catalogue views do the same.
struct Context
{
    QString currentDatabase;    // the database the connection opened
    QStringList otherDatabases; // attached under their own names
    // The catalogue names map to the engine's own temporary views; off when
    // the database itself holds views of those names (a SQLite file reached
    // through ODBC).
    bool catalogueViews = true;
};

QString rewrite(const QString &sql, const Context &context);

// Catalogue view name for a schema ("main" or an attached database name).
QString sysobjectsView(const QString &schema);
QString syscolumnsView(const QString &schema);

} // namespace korva::db::tsql
