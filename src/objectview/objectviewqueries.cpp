#include "objectview/objectviewqueries.h"

#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/resultset.h"
#include "platform/sqlquote.h"

namespace korva::objectview {

using sql::escapeLiteral;
using sql::quoteBracketed;

const QList<ObjectTypeInfo> &objectTypes()
{
    static const QList<ObjectTypeInfo> types{
        {ObjectType::CallHandlers,
         QStringLiteral("Call Handlers"),
         QStringLiteral("vw_CallHandler"),
         QStringLiteral("vw_Callhandler"),
         {QStringLiteral("Greeting Rules"), QStringLiteral("Transfer Rules"), QStringLiteral("User Input Rules")}},
        {ObjectType::Interviewers,
         QStringLiteral("Interviewers"),
         QStringLiteral("vw_InterviewHandler"),
         QStringLiteral("vw_InterviewHandler"),
         {QStringLiteral("Interview Questions")}},
        {ObjectType::Subscribers,
         QStringLiteral("Subscribers"),
         QStringLiteral("vw_Subscriber"),
         QStringLiteral("vw_Subscriber"),
         {QStringLiteral("Extensions"), QStringLiteral("Greeting Rules"), QStringLiteral("Notification Devices"),
          QStringLiteral("Primary Call Handler"), QStringLiteral("Transfer Rules"),
          QStringLiteral("User Input Rules")}},
    };
    return types;
}

const ObjectTypeInfo *objectTypeByCaption(const QString &caption)
{
    for (const ObjectTypeInfo &t : objectTypes())
        if (t.caption.toUpper() == caption.toUpper())
            return &t;
    return nullptr;
}

const ReferenceInfo *referenceByCaption(const QString &caption)
{
    static const QList<ReferenceInfo> refs{
        {QStringLiteral("Primary Call Handler"), QStringLiteral("vw_CallHandler"),
         QStringLiteral("WHERE Recipient_SubscriberObjectID='"), false, QStringLiteral("vw_Callhandler")},
        {QStringLiteral("Extensions"), QStringLiteral("vw_DTMFAccessID"),
         QStringLiteral("WHERE Parent_SubscriberObjectID='"), false, QStringLiteral("vw_DTMFAccessID")},
        {QStringLiteral("Greeting Rules"), QStringLiteral("vw_Greeting"), QStringLiteral("WHERE CallHandlerObjectID='"),
         true, QStringLiteral("vw_Greeting")},
        {QStringLiteral("Notification Devices"), QStringLiteral("vw_NotificationDevice"),
         QStringLiteral("WHERE SubscriberObjectID='"), false, QStringLiteral("vw_NotificationDevice")},
        {QStringLiteral("Transfer Rules"), QStringLiteral("vw_TransferOption"),
         QStringLiteral("WHERE CallHandlerObjectID='"), true, QStringLiteral("vw_TransferOption")},
        {QStringLiteral("Interview Questions"), QStringLiteral("vw_InterviewHandlerQuestion"),
         QStringLiteral("vw_InterviewHandlerQuestion WHERE InterviewHandlerObjectID='"), false,
         QStringLiteral("vw_InterviewHandlerQuestion")},
        {QStringLiteral("User Input Rules"), QStringLiteral("vw_MenuEntry"),
         QStringLiteral("vw_Menuentry WHERE CallHandlerObjectID='"), true, QStringLiteral("vw_MenuEntry")},
    };
    for (const ReferenceInfo &r : refs)
        if (r.caption.toUpper() == caption.toUpper())
            return &r;
    return nullptr;
}

QString columnDiscoveryQuery(const QString &view)
{
    return sql::columnListQuery(view, QStringLiteral("ORDER BY name ASC"));
}

ObjectQuery objectGridQuery(const ObjectTypeInfo &type, const QStringList &columns)
{
    static const QStringList preferred{QStringLiteral("Alias"), QStringLiteral("DisplayName"),
                                       QStringLiteral("DTMFAccessID"), QStringLiteral("FirstName"),
                                       QStringLiteral("LastName")};
    auto isPreferred = [](const QString &name) { return preferred.contains(name, Qt::CaseInsensitive); };
    ObjectQuery q;
    QString preferredList;
    int count = 0;
    for (qsizetype i = columns.size() - 1; i >= 0; --i)
        if (isPreferred(columns.at(i))) {
            preferredList = columns.at(i) + QStringLiteral(", ") + preferredList;
            ++count;
        }
    QString rest;
    for (const QString &name : columns)
        if (!isPreferred(name))
            rest += quoteBracketed(name) + QStringLiteral(", ");
    QString keys = QStringLiteral("ObjectID,");
    q.hiddenColumns = 1;
    if (type.type == ObjectType::Subscribers) {
        keys += QStringLiteral("CallHandlerObjectID,");
        ++count;
        q.hiddenColumns = 2;
    }
    QString sql = QStringLiteral("SELECT ") + keys + preferredList + rest;
    sql.chop(2);
    q.sql = sql + QStringLiteral(" FROM ") + quoteBracketed(type.view);
    q.fixedColumns = count + 1;
    return q;
}

ObjectQuery referenceGridQuery(const ReferenceInfo &reference, const QStringList &columns, const QString &objectId)
{
    static const QStringList preferred{QStringLiteral("Alias"),        QStringLiteral("DisplayName"),
                                       QStringLiteral("DTMFAccessID"), QStringLiteral("FirstName"),
                                       QStringLiteral("LastName"),     QStringLiteral("TransferOptionType"),
                                       QStringLiteral("GreetingType"), QStringLiteral("TouchToneKey")};
    ObjectQuery q;
    QString preferredList;
    QString rest;
    for (const QString &name : columns) {
        qsizetype at = -1;
        for (qsizetype i = 0; i < preferred.size() && at < 0; ++i)
            if (preferred.at(i).compare(name, Qt::CaseInsensitive) == 0)
                at = i;
        if (at >= 0) {
            preferredList = preferred.at(at) + QStringLiteral(", ") + preferredList;
            ++q.fixedColumns;
        } else {
            rest += quoteBracketed(name) + QStringLiteral(", ");
        }
    }
    QString sql = QStringLiteral("SELECT ") + preferredList + rest;
    sql.chop(2);
    q.sql = sql + QStringLiteral(" FROM ") + quoteBracketed(reference.view) + u' ' + reference.whereText
            + escapeLiteral(objectId) + u'\'';
    return q;
}

QStringList readColumns(const QString &connection, const QString &view)
{
    QStringList names;
    db::Error e;
    const std::unique_ptr<db::ResultSet> rs = db::openResultSet(connection, columnDiscoveryQuery(view), &e);
    if (!rs)
        return names;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext())
        names << rs->field(0).toString();
    return names;
}

namespace {

void readEveryRow(const QString &connection, GridRows &read)
{
    read.rows = db::openResultSet(connection, read.query.sql, &read.error);
    if (read.rows)
        read.rows->fetchAll();
}

} // namespace

ObjectGridRows readObjectGrid(const QString &connection, const ObjectTypeInfo &type, const StopToken &stop)
{
    ObjectGridRows read;
    const QStringList columns = readColumns(connection, type.view);
    if (stop.stopRequested())
        return read;
    read.query = objectGridQuery(type, columns);
    readEveryRow(connection, read);
    if (read.rows && read.rows->recordCount() >= 1) {
        read.rows->moveFirst();
        read.firstObjectId = read.rows->field(QStringLiteral("ObjectID")).toString();
        if (type.type == ObjectType::Subscribers)
            read.firstCallHandlerId = read.rows->field(QStringLiteral("CallHandlerObjectID")).toString();
    }
    return read;
}

GridRows readReferenceGrid(const QString &connection, const ReferenceInfo &reference, const QString &objectId,
                           const StopToken &stop)
{
    GridRows read;
    const QStringList columns = readColumns(connection, reference.view);
    if (stop.stopRequested())
        return read;
    read.query = referenceGridQuery(reference, columns, objectId);
    readEveryRow(connection, read);
    return read;
}

} // namespace korva::objectview
