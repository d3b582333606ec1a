#include "otherdatabases.h"

#include "demoinstallation.h"
#include "names.h"
#include "populate.h"

#include <sqlite3.h>

#include <cstdio>

namespace korva::demo {

namespace {

CustomTypeDef enumeration(const QString &name, const QString &description, const QList<EnumValue> &values)
{
    CustomTypeDef t;
    t.name = name;
    t.description = description;
    t.restriction = QStringLiteral("Enumeration");
    t.values = values;
    return t;
}

CustomTypeDef lengthType(const QString &name, const QString &description, int min, int max)
{
    CustomTypeDef t;
    t.name = name;
    t.description = description;
    t.restriction = QStringLiteral("Length");
    t.minLength = min;
    t.maxLength = max;
    return t;
}

CustomTypeDef regexType(const QString &name, const QString &description, const QString &what, const QString &expression)
{
    CustomTypeDef t;
    t.name = name;
    t.description = description;
    t.restriction = QStringLiteral("Regex");
    t.regexDescription = what;
    t.expression = expression;
    return t;
}

CustomTypeDef phoneDigits()
{
    return regexType(QStringLiteral("PhoneDigits"), QStringLiteral("A phone number as the switch delivers it."),
                     QStringLiteral("Digits only, up to 32."), QStringLiteral("^[0-9]{0,32}$"));
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(qint64 z, int *y, int *m, int *d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 year = qint64(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = int(year + (*m <= 2 ? 1 : 0));
}

// Seconds since 1970 as SQL Server's text form, into buf (kTimeText bytes).
constexpr int kTimeText = 80;

void formatTime(qint64 seconds, char *buf)
{
    int y, m, d;
    civilFromDays(seconds / 86400, &y, &m, &d);
    const int s = int(seconds % 86400);
    std::snprintf(buf, kTimeText, "%04d-%02d-%02d %02d:%02d:%02d.000", y, m, d, s / 3600, s / 60 % 60, s % 60);
}

constexpr qint64 kReportEnd = 1149120000; // 2006-06-01 00:00:00, the last day of the demo's data

} // namespace

// --- dynamic -----------------------------------------------------------------

DatabaseDef dynamicDatabase()
{
    DatabaseDef db;
    db.name = QStringLiteral("OrvexDynDB");
    db.dictionaryFile = QStringLiteral("OrvexDynDB.xml");
    db.description = QStringLiteral(
        "Dynamic database: the running state of ports, calls and queues. Rebuilt when the services start.");
    db.customTypes << enumeration(QStringLiteral("PortState"), QStringLiteral("What a voice port is doing."),
                                  {{QStringLiteral("0"), QStringLiteral("Idle")},
                                   {QStringLiteral("1"), QStringLiteral("Ringing")},
                                   {QStringLiteral("2"), QStringLiteral("Connected")},
                                   {QStringLiteral("3"), QStringLiteral("Dialling out")},
                                   {QStringLiteral("4"), QStringLiteral("Disabled")}})
                   << lengthType(QStringLiteral("ServiceName"), QStringLiteral("Name of an Orvex service."), 1, 64)
                   << phoneDigits();
    auto T = [&db](const QString &name, const QString &description) { return addTable(db, name, description); };

    T(QStringLiteral("tbl_MediaPortStatus"), QStringLiteral("Current state of each voice port."))
        .entity(QStringLiteral("port status"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("ObjectID of the port in the directory's tbl_MediaPort."))
        .smallint(QStringLiteral("PortNumber"), QStringLiteral("Number of the port."))
        .tinyint(QStringLiteral("State"), QStringLiteral("What the port is doing."))
        .type(QStringLiteral("PortState"))
        .text(QStringLiteral("Conversation"), 64, QStringLiteral("Conversation running on the port, if any."))
        .datetime(QStringLiteral("StateSince"), QStringLiteral("When the port entered its state."))
        .integer(QStringLiteral("CallsHandled"), QStringLiteral("Calls since the services started."));
    T(QStringLiteral("tbl_ActiveCall"), QStringLiteral("Calls in progress."))
        .entity(QStringLiteral("active call"))
        .id()
        .ref(QStringLiteral("MediaPortStatusObjectID"), QStringLiteral("tbl_MediaPortStatus"),
             QStringLiteral("Port the call is on."))
        .text(QStringLiteral("CallerNumber"), 32, QStringLiteral("Calling number, when the switch sent one."))
        .type(QStringLiteral("PhoneDigits"))
        .text(QStringLiteral("DialedNumber"), 32, QStringLiteral("Number the caller dialled."))
        .type(QStringLiteral("PhoneDigits"))
        .datetime(QStringLiteral("StartTime"), QStringLiteral("When the call was answered."))
        .guid(QStringLiteral("SubscriberObjectID"), QStringLiteral("Subscriber signed in on the call, if any."))
        .notes(QStringLiteral("ObjectID of a subscriber in OrvexDirDB."));
    T(QStringLiteral("tbl_MwiRequest"), QStringLiteral("Message waiting light changes waiting for a port."))
        .entity(QStringLiteral("light request"))
        .id()
        .guid(QStringLiteral("SubscriberObjectID"), QStringLiteral("Subscriber whose light changes."))
        .notes(QStringLiteral("ObjectID of a subscriber in OrvexDirDB."))
        .text(QStringLiteral("Extension"), 40, QStringLiteral("Extension whose light changes."))
        .bit(QStringLiteral("TurnOn"), QStringLiteral("1 to turn the light on, 0 to turn it off."))
        .datetime(QStringLiteral("RequestTime"), QStringLiteral("When the change was asked for."))
        .tinyint(QStringLiteral("Attempts"), QStringLiteral("Attempts made so far."));
    T(QStringLiteral("tbl_NotificationQueue"), QStringLiteral("Notification calls and messages still to be made."))
        .entity(QStringLiteral("queued notification"))
        .id()
        .guid(QStringLiteral("NotificationDeviceObjectID"), QStringLiteral("Device to use."))
        .notes(QStringLiteral("ObjectID of a device in OrvexDirDB."))
        .guid(QStringLiteral("SubscriberObjectID"), QStringLiteral("Subscriber to notify."))
        .notes(QStringLiteral("ObjectID of a subscriber in OrvexDirDB."))
        .datetime(QStringLiteral("NextAttempt"), QStringLiteral("When the next attempt is due."))
        .tinyint(QStringLiteral("Attempts"), QStringLiteral("Attempts made so far."))
        .smallint(QStringLiteral("MessageCount"), QStringLiteral("New messages the notification is about."));
    T(QStringLiteral("tbl_DirectoryChangeLog"),
      QStringLiteral("Directory changes not yet replicated to the other locations."))
        .entity(QStringLiteral("directory change"))
        .id()
        .guid(QStringLiteral("ChangedObjectID"), QStringLiteral("Object that changed."))
        .notes(QStringLiteral("ObjectID of an object in OrvexDirDB; ObjectType says which table."))
        .text(QStringLiteral("ObjectType"), 32, QStringLiteral("Kind of object that changed."))
        .tinyint(QStringLiteral("ChangeType"), QStringLiteral("1 added, 2 changed, 3 deleted."))
        .datetime(QStringLiteral("ChangeTime"), QStringLiteral("When the change was made."));
    T(QStringLiteral("tbl_ServiceState"), QStringLiteral("Heartbeat of each Orvex service."))
        .entity(QStringLiteral("service"))
        .id()
        .text(QStringLiteral("ServiceName"), 64, QStringLiteral("Name of the service."))
        .type(QStringLiteral("ServiceName"))
        .tinyint(QStringLiteral("State"), QStringLiteral("1 starting, 2 running, 3 stopping, 4 stopped."))
        .datetime(QStringLiteral("LastHeartbeat"), QStringLiteral("Last time the service reported in."))
        .integer(QStringLiteral("ProcessID"), QStringLiteral("Process id of the service."));

    for (const char *t : {"MediaPortStatus", "MwiRequest", "NotificationQueue", "DirectoryChangeLog", "ServiceState"})
        addPlainView(db, QStringLiteral("vw_") + QString::fromLatin1(t),
                     QStringLiteral("tbl_") + QString::fromLatin1(t));
    ViewDef &calls = addView(db, QStringLiteral("vw_ActiveCall"),
                             QStringLiteral("tbl_ActiveCall c JOIN tbl_MediaPortStatus p ON p.ObjectID = "
                                            "c.MediaPortStatusObjectID"));
    addViewColumns(calls, *db.table(QStringLiteral("tbl_ActiveCall")), QStringLiteral("c."));
    addViewColumn(calls, QStringLiteral("PortNumber"), QStringLiteral("tbl_MediaPortStatus.PortNumber"),
                  QStringLiteral("p.PortNumber"));
    completeDescriptions(db);
    return db;
}

void populateDynamic(Populator &p, const DirectoryFacts &facts)
{
    Random &r = p.random(QStringLiteral("dynamic"));
    QStringList busyPorts;
    for (const DirectoryFacts::Port &port : facts.ports) {
        const int state = port.number == 7 ? 4 : (r.percent(30) ? 2 : 0);
        p.row(QStringLiteral("tbl_MediaPortStatus"))
            .set(QStringLiteral("ObjectID"), port.id)
            .set(QStringLiteral("PortNumber"), port.number)
            .set(QStringLiteral("State"), state)
            .set(QStringLiteral("Conversation"), state == 2 ? QVariant(QStringLiteral("HandlerGreeting")) : QVariant())
            .set(QStringLiteral("StateSince"),
                 Populator::dateText(2006, 5, 31, 16, int(r.between(0, 59)), int(r.between(0, 59))))
            .set(QStringLiteral("CallsHandled"), int(r.between(20, 400)))
            .insert();
        if (state == 2)
            busyPorts << port.id;
    }
    for (const QString &port : busyPorts) {
        const bool signedIn = !facts.subscribers.isEmpty() && r.percent(50);
        p.row(QStringLiteral("tbl_ActiveCall"))
            .set(QStringLiteral("MediaPortStatusObjectID"), port)
            .set(QStringLiteral("CallerNumber"), QStringLiteral("1555%1").arg(r.between(1000000, 9999999)))
            .set(QStringLiteral("DialedNumber"), QStringLiteral("15550100"))
            .set(QStringLiteral("StartTime"),
                 Populator::dateText(2006, 5, 31, 16, int(r.between(30, 59)), int(r.between(0, 59))))
            .set(QStringLiteral("SubscriberObjectID"), signedIn ? QVariant(r.pick(facts.subscribers).id) : QVariant())
            .insert();
    }
    const int mwi = qMin(20, int(facts.subscribers.size()));
    for (int i = 0; i < mwi; ++i) {
        const DirectoryFacts::Subscriber &s = facts.subscribers[int(r.below(std::uint64_t(facts.subscribers.size())))];
        p.row(QStringLiteral("tbl_MwiRequest"))
            .set(QStringLiteral("SubscriberObjectID"), s.id)
            .set(QStringLiteral("Extension"), s.extension)
            .set(QStringLiteral("TurnOn"), r.percent(70) ? 1 : 0)
            .set(QStringLiteral("RequestTime"),
                 Populator::dateText(2006, 5, 31, 16, 40 + i % 20, int(r.between(0, 59))))
            .set(QStringLiteral("Attempts"), int(r.between(0, 3)))
            .insert();
        p.row(QStringLiteral("tbl_NotificationQueue"))
            .set(QStringLiteral("NotificationDeviceObjectID"), r.guid())
            .set(QStringLiteral("SubscriberObjectID"), s.id)
            .set(QStringLiteral("NextAttempt"), Populator::dateText(2006, 5, 31, 17, i, 0))
            .set(QStringLiteral("Attempts"), int(r.between(0, 4)))
            .set(QStringLiteral("MessageCount"), int(r.between(1, 5)))
            .insert();
    }
    for (int i = 0; i < 15 && !facts.subscribers.isEmpty(); ++i)
        p.row(QStringLiteral("tbl_DirectoryChangeLog"))
            .set(QStringLiteral("ChangedObjectID"), facts.subscribers[i % facts.subscribers.size()].id)
            .set(QStringLiteral("ObjectType"), QStringLiteral("Subscriber"))
            .set(QStringLiteral("ChangeType"), i % 5 == 0 ? 1 : 2)
            .set(QStringLiteral("ChangeTime"), Populator::dateText(2006, 5, 31, 15, 3 * i, 0))
            .insert();
    int pid = 1840;
    for (const char *service : {"OrvexConversationManager", "OrvexMessageTransfer", "OrvexNotifier",
                                "OrvexDirectorySync", "OrvexReportCollector"})
        p.row(QStringLiteral("tbl_ServiceState"))
            .set(QStringLiteral("ServiceName"), QString::fromLatin1(service))
            .set(QStringLiteral("State"), qstrcmp(service, "OrvexReportCollector") == 0 ? 4 : 2)
            .set(QStringLiteral("LastHeartbeat"), Populator::dateText(2006, 5, 31, 16, 59, int(r.between(0, 59))))
            .set(QStringLiteral("ProcessID"), pid += 212)
            .insert();
}

// --- mailbox -----------------------------------------------------------------

DatabaseDef mailboxDatabase()
{
    DatabaseDef db;
    db.name = QStringLiteral("OrvexMbxDB1");
    db.dictionaryFile = QStringLiteral("OrvexMbxDB.xml");
    db.description = QStringLiteral(
        "Mailbox database: the messages of the subscribers whose mailboxes this store holds.");
    db.customTypes << enumeration(QStringLiteral("MessagePriority"),
                                  QStringLiteral("How the sender marked the message."),
                                  {{QStringLiteral("0"), QStringLiteral("Normal")},
                                   {QStringLiteral("1"), QStringLiteral("Urgent")},
                                   {QStringLiteral("2"), QStringLiteral("Low")}})
                   << lengthType(QStringLiteral("SubjectLength"), QStringLiteral("A message subject."), 0, 128)
                   << regexType(QStringLiteral("SenderAddress"), QStringLiteral("Who sent a message."),
                                QStringLiteral("An alias, or digits for an outside caller."),
                                QStringLiteral("^([A-Za-z0-9._-]+|[0-9]+)$"));
    auto T = [&db](const QString &name, const QString &description) { return addTable(db, name, description); };

    T(QStringLiteral("tbl_Quota"), QStringLiteral("Quota policies this store enforces; copies of the directory's."))
        .entity(QStringLiteral("quota policy"))
        .id(QStringLiteral("QuotaObjectID"), QStringLiteral("Same identifier as the policy in OrvexDirDB."))
        .text(QStringLiteral("DisplayName"), 64)
        .integer(QStringLiteral("Warning"), QStringLiteral("Mailbox size in KB at which the subscriber is warned."))
        .integer(QStringLiteral("Send"), QStringLiteral("Mailbox size in KB above which sending is refused."))
        .integer(QStringLiteral("Receive"), QStringLiteral("Mailbox size in KB above which new messages are refused."));
    T(QStringLiteral("tbl_Mailbox"), QStringLiteral("Mailboxes held by this store."))
        .entity(QStringLiteral("mailbox"))
        .id(QStringLiteral("ObjectID"),
            QStringLiteral("Same identifier as the mailbox in the directory's tbl_MailboxMap."))
        .guid(QStringLiteral("UserObjectID"), QStringLiteral("Owner of the mailbox."))
        .notes(QStringLiteral("ObjectID of a user in OrvexDirDB."))
        .text(QStringLiteral("Alias"), 64, QStringLiteral("Alias of the owner when the mailbox was last opened."))
        .ref(QStringLiteral("QuotaObjectID"), QStringLiteral("tbl_Quota"))
        .integer(QStringLiteral("SizeKB"), QStringLiteral("Size of all messages in KB."))
        .integer(QStringLiteral("MessageCount"), QStringLiteral("Number of messages in all folders."))
        .datetime(QStringLiteral("LastAccess"), QStringLiteral("When the owner last opened the mailbox."));
    T(QStringLiteral("tbl_FolderInfo"), QStringLiteral("Folders of the mailboxes."))
        .entity(QStringLiteral("folder"))
        .id(QStringLiteral("FolderInfoObjectID"), QStringLiteral("Unique identifier of the folder."))
        .ref(QStringLiteral("MailboxObjectID"), QStringLiteral("tbl_Mailbox"))
        .text(QStringLiteral("Name"), 64, QStringLiteral("Name of the folder."))
        .tinyint(QStringLiteral("FolderType"), QStringLiteral("1 inbox, 2 saved, 3 deleted, 4 sent, 5 drafts."))
        .integer(QStringLiteral("MessageCount"), QStringLiteral("Messages in the folder."))
        .integer(QStringLiteral("UnreadCount"), QStringLiteral("Messages not yet heard."));
    T(QStringLiteral("tbl_Message"), QStringLiteral("Messages: one row per message in a folder."))
        .entity(QStringLiteral("message"))
        .id(QStringLiteral("MessageObjectID"), QStringLiteral("Unique identifier of the message."))
        .ref(QStringLiteral("FolderInfoObjectID"), QStringLiteral("tbl_FolderInfo"))
        .text(QStringLiteral("Subject"), 128,
              QStringLiteral("Subject line; voice messages get one made from the sender."))
        .type(QStringLiteral("SubjectLength"))
        .text(QStringLiteral("Sender"), 128,
              QStringLiteral("Alias of the sender, or the calling number of an outside caller."))
        .type(QStringLiteral("SenderAddress"))
        .datetime(QStringLiteral("ArrivalTime"), QStringLiteral("When the message arrived."))
        .integer(QStringLiteral("DurationMs"), QStringLiteral("Length of the recording in milliseconds."))
        .integer(QStringLiteral("SizeBytes"), QStringLiteral("Size of the message in bytes."))
        .tinyint(QStringLiteral("Priority"), QStringLiteral("How the sender marked the message."))
        .type(QStringLiteral("MessagePriority"))
        .bit(QStringLiteral("IsRead"), QStringLiteral("1 once the message has been heard."))
        .bit(QStringLiteral("IsPrivate"), QStringLiteral("1 when the message may not be forwarded."));
    T(QStringLiteral("tbl_MessageRecipient"), QStringLiteral("Recipients of messages sent from this store."))
        .entity(QStringLiteral("recipient"))
        .id()
        .ref(QStringLiteral("MessageObjectID"), QStringLiteral("tbl_Message"))
        .text(QStringLiteral("RecipientAlias"), 64, QStringLiteral("Alias the message was addressed to."))
        .tinyint(QStringLiteral("RecipientType"), QStringLiteral("0 to, 1 copy, 2 blind copy."))
        .tinyint(QStringLiteral("DeliveryStatus"), QStringLiteral("0 pending, 1 delivered, 2 failed."));
    T(QStringLiteral("tbl_StoreInfo"), QStringLiteral("Facts about this mailbox store."))
        .entity(QStringLiteral("store"))
        .id()
        .text(QStringLiteral("StoreName"), 64, QStringLiteral("Name of the store."))
        .text(QStringLiteral("Version"), 32, QStringLiteral("Schema version of the store."))
        .datetime(QStringLiteral("LastMaintenance"), QStringLiteral("When the maintenance task last ran."));

    for (const char *t : {"Quota", "FolderInfo", "MessageRecipient"})
        addPlainView(db, QStringLiteral("vw_") + QString::fromLatin1(t),
                     QStringLiteral("tbl_") + QString::fromLatin1(t));
    addPlainView(db, QStringLiteral("vw_Mailbox"), QStringLiteral("tbl_Mailbox"));
    ViewDef &messages = addView(db, QStringLiteral("vw_Message"),
                                QStringLiteral("tbl_Message m JOIN tbl_FolderInfo f ON f.FolderInfoObjectID = "
                                               "m.FolderInfoObjectID"));
    addViewColumns(messages, *db.table(QStringLiteral("tbl_Message")), QStringLiteral("m."));
    addViewColumn(messages, QStringLiteral("MailboxObjectID"), QStringLiteral("tbl_FolderInfo.MailboxObjectID"),
                  QStringLiteral("f.MailboxObjectID"));
    addViewColumn(messages, QStringLiteral("FolderName"), QStringLiteral("tbl_FolderInfo.Name"),
                  QStringLiteral("f.Name"));
    db.indexes << QStringLiteral("CREATE INDEX ix_tbl_Message_Folder ON tbl_Message(FolderInfoObjectID)")
               << QStringLiteral("CREATE INDEX ix_tbl_FolderInfo_Mailbox ON tbl_FolderInfo(MailboxObjectID)");
    completeDescriptions(db);
    return db;
}

void populateMailbox(Populator &p, const DirectoryFacts &facts)
{
    Random &r = p.random(QStringLiteral("mailbox"));
    for (const DirectoryFacts::Quota &q : facts.quotas)
        p.row(QStringLiteral("tbl_Quota"))
            .set(QStringLiteral("QuotaObjectID"), q.id)
            .set(QStringLiteral("DisplayName"), q.name)
            .set(QStringLiteral("Warning"), q.warning)
            .set(QStringLiteral("Send"), q.send)
            .set(QStringLiteral("Receive"), q.receive)
            .insert();
    p.row(QStringLiteral("tbl_StoreInfo"))
        .set(QStringLiteral("StoreName"), QStringLiteral("Mailbox Store 1"))
        .set(QStringLiteral("Version"), QStringLiteral("5.0.2"))
        .set(QStringLiteral("LastMaintenance"), Populator::dateText(2006, 5, 31, 2, 0, 0))
        .insert();
    const QString standardQuota = facts.quotas.isEmpty() ? QString() : facts.quotas.first().id;
    const char *folderNames[] = {"Inbox", "Saved Messages", "Deleted Items", "Sent Items"};
    for (const DirectoryFacts::Subscriber &s : facts.subscribers) {
        if (!p.ok())
            return;
        int messages = 0;
        int sizeKB = 0;
        const QString mailbox = s.mailbox;
        QList<std::pair<QString, int>> folders;
        for (int f = 0; f < 4; ++f) {
            const int count = f == 0 ? int(r.between(0, 6)) : int(r.between(0, 2));
            folders.append({QString(), count});
            messages += count;
        }
        for (int f = 0; f < 4; ++f) {
            const int count = folders[f].second;
            const int unread = f == 0 ? int(r.between(0, count)) : 0;
            const QString folder = p.row(QStringLiteral("tbl_FolderInfo"))
                                       .set(QStringLiteral("MailboxObjectID"), mailbox)
                                       .set(QStringLiteral("Name"), QString::fromLatin1(folderNames[f]))
                                       .set(QStringLiteral("FolderType"), f + 1)
                                       .set(QStringLiteral("MessageCount"), count)
                                       .set(QStringLiteral("UnreadCount"), unread)
                                       .insert();
            for (int m = 0; m < count; ++m) {
                const bool outside = r.percent(40);
                const QString sender = outside ? QStringLiteral("1555%1").arg(r.between(1000000, 9999999))
                                               : r.pick(facts.subscribers).alias;
                const int duration = int(r.between(3000, 90000));
                const QString id = p.row(QStringLiteral("tbl_Message"))
                                       .set(QStringLiteral("FolderInfoObjectID"), folder)
                                       .set(QStringLiteral("Subject"),
                                            r.percent(60) ? r.pick(names::subjects())
                                                          : QStringLiteral("Voice message from ") + sender)
                                       .set(QStringLiteral("Sender"), sender)
                                       .set(QStringLiteral("ArrivalTime"), Populator::randomDate(r, 2006, 2006))
                                       .set(QStringLiteral("DurationMs"), duration)
                                       .set(QStringLiteral("SizeBytes"), duration * 8 + 512)
                                       .set(QStringLiteral("Priority"), r.percent(10) ? 1 : 0)
                                       .set(QStringLiteral("IsRead"), m < unread ? 0 : 1)
                                       .set(QStringLiteral("IsPrivate"), r.percent(5) ? 1 : 0)
                                       .insert();
                sizeKB += duration / 125;
                if (f == 3)
                    p.row(QStringLiteral("tbl_MessageRecipient"))
                        .set(QStringLiteral("MessageObjectID"), id)
                        .set(QStringLiteral("RecipientAlias"), r.pick(facts.subscribers).alias)
                        .set(QStringLiteral("RecipientType"), 0)
                        .set(QStringLiteral("DeliveryStatus"), r.percent(95) ? 1 : 2)
                        .insert();
            }
        }
        p.row(QStringLiteral("tbl_Mailbox"))
            .set(QStringLiteral("ObjectID"), mailbox)
            .set(QStringLiteral("UserObjectID"), s.id)
            .set(QStringLiteral("Alias"), s.alias)
            .set(QStringLiteral("QuotaObjectID"), standardQuota)
            .set(QStringLiteral("SizeKB"), sizeKB)
            .set(QStringLiteral("MessageCount"), messages)
            .set(QStringLiteral("LastAccess"), Populator::randomDate(r, 2006, 2006))
            .insert();
    }
}

// --- report ------------------------------------------------------------------

DatabaseDef reportDatabase()
{
    DatabaseDef db;
    db.name = QStringLiteral("OrvexRptDB");
    db.dictionaryFile = QStringLiteral("OrvexRptDB.xml");
    db.description = QStringLiteral("Report database: call and usage history gathered by the report collector.");
    db.customTypes << enumeration(QStringLiteral("CallType"), QStringLiteral("How a call reached the server."),
                                  {{QStringLiteral("Direct"), QStringLiteral("Dialled the server's number")},
                                   {QStringLiteral("Forwarded"), QStringLiteral("Forwarded from an extension")},
                                   {QStringLiteral("Internal"), QStringLiteral("From an extension of the switch")},
                                   {QStringLiteral("Outdial"), QStringLiteral("Made by the server")}})
                   << lengthType(QStringLiteral("ReportName"), QStringLiteral("Name of a report."), 1, 64)
                   << phoneDigits();
    auto T = [&db](const QString &name, const QString &description) { return addTable(db, name, description); };

    T(QString::fromLatin1(kReportCallHistoryTable), QStringLiteral("Every call the server handled."))
        .entity(QStringLiteral("call"))
        .tableNotes(QStringLiteral(
            "The collector appends rows every few minutes; rows older than Reports.Collection.KeepDays are purged."))
        .bigint(QStringLiteral("CallHistoryID"), QStringLiteral("Number of the call, rising with time."))
        .key()
        .datetime(QStringLiteral("StartTime"), QStringLiteral("When the call was answered or dialled."))
        .integer(QStringLiteral("DurationSec"), QStringLiteral("Length of the call in seconds."))
        .smallint(QStringLiteral("PortNumber"), QStringLiteral("Voice port the call used."))
        .text(QStringLiteral("CallType"), 16, QStringLiteral("How the call reached the server."))
        .type(QStringLiteral("CallType"))
        .text(QStringLiteral("CallerNumber"), 32, QStringLiteral("Calling number; empty when the switch sent none."))
        .type(QStringLiteral("PhoneDigits"))
        .text(QStringLiteral("DialedNumber"), 32, QStringLiteral("Number dialled or forwarded from."))
        .type(QStringLiteral("PhoneDigits"))
        .text(QStringLiteral("SubscriberAlias"), 64, QStringLiteral("Subscriber the call was for or signed in as."))
        .text(QStringLiteral("Outcome"), 32, QStringLiteral("How the call ended."));
    T(QStringLiteral("tbl_ReportSubscriberActivity"), QStringLiteral("Daily activity of each subscriber."))
        .entity(QStringLiteral("activity day"))
        .id()
        .guid(QStringLiteral("SubscriberObjectID"), QStringLiteral("The subscriber."))
        .notes(QStringLiteral("ObjectID of a subscriber in OrvexDirDB."))
        .text(QStringLiteral("Alias"), 64, QStringLiteral("Alias of the subscriber on that day."))
        .datetime(QStringLiteral("ActivityDate"), QStringLiteral("The day."))
        .integer(QStringLiteral("MessagesReceived"), QStringLiteral("Messages that arrived."))
        .integer(QStringLiteral("MessagesSent"), QStringLiteral("Messages the subscriber sent."))
        .integer(QStringLiteral("SignIns"), QStringLiteral("Times the subscriber signed in by phone."))
        .integer(QStringLiteral("ConnectSeconds"), QStringLiteral("Seconds spent signed in."));
    T(QStringLiteral("tbl_ReportPortUsage"), QStringLiteral("Hourly use of each voice port."))
        .entity(QStringLiteral("port hour"))
        .id()
        .smallint(QStringLiteral("PortNumber"), QStringLiteral("The port."))
        .datetime(QStringLiteral("UsageDate"), QStringLiteral("The day."))
        .tinyint(QStringLiteral("HourOfDay"), QStringLiteral("The hour, 0 to 23."))
        .integer(QStringLiteral("CallsIn"), QStringLiteral("Calls answered."))
        .integer(QStringLiteral("CallsOut"), QStringLiteral("Calls dialled."))
        .integer(QStringLiteral("BusySeconds"), QStringLiteral("Seconds the port was in use."));
    T(QStringLiteral("tbl_ReportDefinition"), QStringLiteral("Reports the console can produce."))
        .entity(QStringLiteral("report"))
        .id()
        .text(QStringLiteral("ReportName"), 64, QStringLiteral("Name of the report."))
        .type(QStringLiteral("ReportName"))
        .text(QStringLiteral("Description"), 256)
        .text(QStringLiteral("OutputFormat"), 8, QStringLiteral("HTML or CSV."))
        .text(QStringLiteral("SourceTable"), 64, QStringLiteral("Table the report reads."));
    T(QStringLiteral("tbl_ReportSchedule"), QStringLiteral("Reports produced on a timer."))
        .entity(QStringLiteral("report schedule"))
        .id()
        .ref(QStringLiteral("ReportDefinitionObjectID"), QStringLiteral("tbl_ReportDefinition"))
        .datetime(QStringLiteral("NextRun"), QStringLiteral("When the report is produced next."))
        .smallint(QStringLiteral("IntervalHours"), QStringLiteral("Hours between two runs."))
        .text(QStringLiteral("OutputFolder"), 260, QStringLiteral("Folder the report is written to."))
        .bit(QStringLiteral("Enabled"));

    for (const char *t : {"ReportCallHistory", "ReportSubscriberActivity", "ReportPortUsage", "ReportDefinition"})
        addPlainView(db, QStringLiteral("vw_") + QString::fromLatin1(t),
                     QStringLiteral("tbl_") + QString::fromLatin1(t));
    ViewDef &schedule = addView(db, QStringLiteral("vw_ReportSchedule"),
                                QStringLiteral("tbl_ReportSchedule s JOIN tbl_ReportDefinition d ON d.ObjectID = "
                                               "s.ReportDefinitionObjectID"));
    addViewColumns(schedule, *db.table(QStringLiteral("tbl_ReportSchedule")), QStringLiteral("s."));
    addViewColumn(schedule, QStringLiteral("ReportName"), QStringLiteral("tbl_ReportDefinition.ReportName"),
                  QStringLiteral("d.ReportName"));
    db.indexes << QStringLiteral("CREATE INDEX ix_tbl_ReportCallHistory_StartTime ON tbl_ReportCallHistory(StartTime)")
               << QStringLiteral("CREATE INDEX ix_tbl_ReportSubscriberActivity_Subscriber ON "
                                 "tbl_ReportSubscriberActivity(SubscriberObjectID)");
    completeDescriptions(db);
    return db;
}

namespace {

// The call history is by far the largest table; it is written directly.
void writeCallHistory(Populator &p, const DirectoryFacts &facts, qint64 rows)
{
    if (rows <= 0 || !p.ok())
        return;
    sqlite3 *db = p.handle();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO tbl_ReportCallHistory VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)", -1, &st,
                           nullptr)
        != SQLITE_OK) {
        p.fail(QString::fromUtf8(sqlite3_errmsg(db)));
        return;
    }
    Random r(0xCA11, QStringLiteral("call history"));
    std::vector<QByteArray> aliases;
    std::vector<QByteArray> extensions;
    for (const DirectoryFacts::Subscriber &s : facts.subscribers) {
        aliases.push_back(s.alias.toUtf8());
        extensions.push_back(s.extension.toUtf8());
    }
    const int ports = qMax(1, int(facts.ports.size()));
    static const char *types[] = {"Direct", "Forwarded", "Internal", "Outdial"};
    static const char *outcomes[] = {"Message left",     "Transferred", "Caller hung up", "Signed in",
                                     "Directory lookup", "Interview",   "Notification",   "No answer"};
    // A month of calls for the default size, a year for the big one.
    const qint64 span = rows <= 10000 ? 30 * 86400 : 365 * 86400;
    const qint64 meanGap = qMax<qint64>(1, span / rows);
    qint64 t = kReportEnd - span;
    char when[kTimeText], caller[24], dialed[24];
    for (qint64 id = 1; id <= rows; ++id) {
        t += qint64(r.below(std::uint64_t(2 * meanGap + 1)));
        formatTime(t, when);
        const int type = int(r.below(4));
        const qsizetype s = aliases.empty() ? -1 : qsizetype(r.below(aliases.size()));
        if (type == 2 && s >= 0)
            std::snprintf(caller, sizeof caller, "%s", extensions[size_t(r.below(extensions.size()))].constData());
        else if (r.percent(10))
            caller[0] = 0;
        else
            std::snprintf(caller, sizeof caller, "1555%07d", int(r.between(1000000, 9999999)));
        if (type == 1 && s >= 0)
            std::snprintf(dialed, sizeof dialed, "%s", extensions[size_t(s)].constData());
        else
            std::snprintf(dialed, sizeof dialed, "%s", type == 3 ? "915559990000" : "15550100");
        const int outcome = type == 3 ? 6 : int(r.below(6));
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, id);
        sqlite3_bind_text(st, 2, when, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, int(r.between(3, 600)));
        sqlite3_bind_int(st, 4, 1 + int(r.below(std::uint64_t(ports))));
        sqlite3_bind_text(st, 5, types[type], -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 6, caller, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 7, dialed, -1, SQLITE_TRANSIENT);
        if (s >= 0 && outcome != 2)
            sqlite3_bind_text(st, 8, aliases[size_t(s)].constData(), int(aliases[size_t(s)].size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, 8);
        sqlite3_bind_text(st, 9, outcomes[outcome], -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) {
            p.fail(QString::fromUtf8(sqlite3_errmsg(db)));
            break;
        }
    }
    sqlite3_finalize(st);
}

} // namespace

void populateReport(Populator &p, const DirectoryFacts &facts, qint64 callHistoryRows)
{
    writeCallHistory(p, facts, callHistoryRows);
    Random &r = p.random(QStringLiteral("report"));
    char day[kTimeText];
    for (int d = 7; d >= 1; --d) {
        formatTime(kReportEnd - d * 86400, day);
        const QString date = QString::fromLatin1(day);
        for (const DirectoryFacts::Subscriber &s : facts.subscribers) {
            if (!p.ok())
                return;
            const int signIns = int(r.between(0, 4));
            p.row(QStringLiteral("tbl_ReportSubscriberActivity"))
                .set(QStringLiteral("SubscriberObjectID"), s.id)
                .set(QStringLiteral("Alias"), s.alias)
                .set(QStringLiteral("ActivityDate"), date)
                .set(QStringLiteral("MessagesReceived"), int(r.between(0, 8)))
                .set(QStringLiteral("MessagesSent"), int(r.between(0, 3)))
                .set(QStringLiteral("SignIns"), signIns)
                .set(QStringLiteral("ConnectSeconds"), signIns * int(r.between(20, 240)))
                .insert();
        }
        for (const DirectoryFacts::Port &port : facts.ports)
            for (int h = 0; h < 24; ++h) {
                const bool office = h >= 8 && h < 18 && d % 7 != 1 && d % 7 != 2;
                const int in = office ? int(r.between(2, 25)) : int(r.between(0, 3));
                p.row(QStringLiteral("tbl_ReportPortUsage"))
                    .set(QStringLiteral("PortNumber"), port.number)
                    .set(QStringLiteral("UsageDate"), date)
                    .set(QStringLiteral("HourOfDay"), h)
                    .set(QStringLiteral("CallsIn"), in)
                    .set(QStringLiteral("CallsOut"), int(r.between(0, 2)))
                    .set(QStringLiteral("BusySeconds"), qMin(3600, in * int(r.between(30, 140))))
                    .insert();
            }
    }
    struct Report
    {
        const char *name;
        const char *text;
        const char *format;
        const char *table;
    };
    const Report reports[] = {
        {"Call Traffic", "Calls per hour and port.", "HTML", "tbl_ReportPortUsage"},
        {"Subscriber Activity", "Messages and sign-ins per subscriber.", "CSV", "tbl_ReportSubscriberActivity"},
        {"Call Detail", "Every call with caller, outcome and length.", "CSV", "tbl_ReportCallHistory"},
        {"Unused Mailboxes", "Subscribers who have not signed in for 30 days.", "HTML", "tbl_ReportSubscriberActivity"},
    };
    for (const Report &rep : reports) {
        const QString id = p.row(QStringLiteral("tbl_ReportDefinition"))
                               .set(QStringLiteral("ReportName"), QString::fromLatin1(rep.name))
                               .set(QStringLiteral("Description"), QString::fromLatin1(rep.text))
                               .set(QStringLiteral("OutputFormat"), QString::fromLatin1(rep.format))
                               .set(QStringLiteral("SourceTable"), QString::fromLatin1(rep.table))
                               .insert();
        if (qstrcmp(rep.format, "HTML") == 0)
            p.row(QStringLiteral("tbl_ReportSchedule"))
                .set(QStringLiteral("ReportDefinitionObjectID"), id)
                .set(QStringLiteral("NextRun"), Populator::dateText(2006, 6, 1, 6, 0, 0))
                .set(QStringLiteral("IntervalHours"), 24)
                .set(QStringLiteral("OutputFolder"), QStringLiteral("C:\\Orvex\\Reports"))
                .set(QStringLiteral("Enabled"), 1)
                .insert();
    }
}

} // namespace korva::demo
