#include "main/databases.h"

#include "platform/connectionstring.h"

namespace korva {

const std::array<DatabaseInfo, 4> &databases()
{
    static const std::array<DatabaseInfo, 4> list{{
        {u"OrvexDirDB", u"mnuOrvexDirDB", u"OrvexDirDB", u"OrvexDirDB.dbo.sysobjects", u"OrvexDirDB.xml",
         u"OrvexDirDB_", u"OrvexDirDB"},
        {u"OrvexDynDB", u"mnuOrvexDynDB", u"OrvexDynDB", u"OrvexDynDB.dbo.sysobjects", u"OrvexDynDB.xml",
         u"OrvexDynDB_", u"OrvexDynDB"},
        {u"OrvexMbxDb1", u"mnuOrvexMbxDb1", u"OrvexMbxDB1", u"OrvexMbxDB1.dbo.sysobjects", u"OrvexMbxDB.xml",
         u"OrvexMbxDB_", u"OrvexMbxDB1"},
        {u"OrvexRptDb", u"mnuOrvexRptDb", u"OrvexRptDB", u"OrvexRptDB.dbo.sysobjects", u"OrvexRptDB.xml",
         u"OrvexRptDB_", u"OrvexRptDB"},
    }};
    return list;
}

const DatabaseInfo &database(Db db) { return databases()[std::size_t(db)]; }

QString serverNameOf(const QString &typed)
{
    const db::ConnectionTarget target = db::parseConnectionString(QStringLiteral("server=") + typed);
    return target.port > 0 ? target.server + u',' + QString::number(target.port) : target.server;
}

QString composeConnectionString(const QString &server, const QString &instance, const QString &database)
{
    return QStringLiteral("Driver={SQL Server};server=") + server + u'\\' + instance + QStringLiteral(";database=")
           + database;
}

QString tableListQuery(bool useTables, const QString &catalogue)
{
    if (useTables)
        return QStringLiteral("select name as 'Table Name' from ") + catalogue
               + QStringLiteral(" where type ='u' and name not like 'conflict_%' order by name");
    return QStringLiteral("select name as 'Table Name' from ") + catalogue
           + QStringLiteral(" where type ='v' and name like 'vw_%' order by name");
}

} // namespace korva
