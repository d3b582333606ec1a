// The rows of the directory database: a small company's voice-messaging
// server, with a few deliberate faults of the kind real directories collect.
#include "configuration.h"
#include "demoinstallation.h"
#include "directory.h"
#include "names.h"
#include "populate.h"

#include <QtCore/QSet>

namespace korva::demo {

namespace {

using Row = Populator::Row;

QString dangling(int n) { return stableGuid(QStringLiteral("no such object"), std::uint64_t(n)); }

QString lowerAlias(const QString &first, const QString &last)
{
    return names::asciiFold(first.left(1) + last).toLower();
}

struct Person
{
    QString first;
    QString last;
    QString display;
    QString alias;
    QString initials;
};

// The n-th person of a kind. Most names are plain English ones; some are
// spelt with accents, some took an accented family name, and now and then
// one is Chinese, Japanese or Korean, in its own script with an alias and
// initials from its romanised form.
Person person(Random &r, int n)
{
    if (n % 23 == 8) {
        const names::EastAsianNames &pool = r.pick(names::eastAsianNames());
        const names::NativeName &family = r.pick(pool.family);
        const names::NativeName &given = r.pick(pool.given);
        return {given.text, family.text, family.text + given.text, lowerAlias(given.latin, family.latin),
                given.latin.left(1) + family.latin.left(1)};
    }
    const bool accented = n % 7 == 3;
    const QString first = r.pick(accented ? names::accentedFirstNames() : names::firstNames());
    const QString last = r.pick(accented || n % 13 == 5 ? names::accentedLastNames() : names::lastNames());
    return {first, last, first + u' ' + last, lowerAlias(first, last), (first.left(1) + last.left(1)).toUpper()};
}

class DirectoryBuilder
{
public:
    DirectoryBuilder(Populator &p, const DemoOptions &o) : p(p), o(o), r(p.random(QStringLiteral("directory"))) {}

    DirectoryFacts facts;

    void run()
    {
        referenceData();
        p.fillGeneric(0);
        telephony();
        servers();
        systemObjects();
        subscribers();
        applicationHandlers();
        interviewAndDirectoryHandlers();
        routing();
        distributionListMembers();
        console();
        populateConfiguration(p, o);
        p.fillGeneric(1);
        p.fillGeneric(2);
        plantFaults();
        replicationConflicts();
    }

private:
    Populator &p;
    const DemoOptions &o;
    Random &r;

    QString localLocation, localTimeZone, defaultWave;
    QHash<QString, QString> conversation; // name -> ObjectID
    QHash<QString, QString> cos, schedules, scheduleSets, roles, quota;
    QStringList privileges;
    QString headOfficeSwitch;
    QString operatorSubscriber, administrator;
    QHash<QString, QString> lists;    // alias -> ObjectID
    QHash<QString, QString> handlers; // display name -> ObjectID
    QHash<QString, QString> actions;
    QStringList subscriberHandlers;
    QStringList subscriberIds;
    QStringList folders;
    QSet<QString> aliases;
    QSet<QString> extensions;
    int streamNumber = 0;
    int contactNumber = 0;

    QString insert(Row row) { return row.insert(); }

    QString stream(const QString &prefix, int seconds)
    {
        ++streamNumber;
        return p.row(QStringLiteral("tbl_StreamFile"))
            .set(QStringLiteral("FileName"),
                 QStringLiteral("%1\\%2.wav").arg(prefix).arg(streamNumber, 6, 10, QLatin1Char('0')))
            .set(QStringLiteral("DurationMs"), seconds * 1000 + int(r.below(1000)))
            .set(QStringLiteral("SizeBytes"), seconds * 8000 + int(r.below(8000)))
            .set(QStringLiteral("WaveFormatObjectID"), defaultWave)
            .insert();
    }

    QString uniqueAlias(const QString &wanted)
    {
        QString a = wanted;
        for (int n = 2; aliases.contains(a); ++n)
            a = wanted + QString::number(n);
        aliases.insert(a);
        return a;
    }

    QString dtmf(const QString &digits, const QString &parentColumn, const QString &parent, bool primary = true,
                 const QString &id = {})
    {
        extensions.insert(digits);
        Row row = p.row(QStringLiteral("tbl_DtmfAccessId"));
        if (!id.isEmpty())
            row.set(QStringLiteral("ObjectID"), id);
        row.set(QStringLiteral("DTMFAccessID"), digits)
            .setNull(QStringLiteral("Parent_SubscriberObjectID"))
            .setNull(QStringLiteral("Parent_HandlerObjectID"))
            .setNull(QStringLiteral("Parent_DistributionListObjectID"))
            .setNull(QStringLiteral("Parent_LocationObjectID"))
            .set(QStringLiteral("IsPrimary"), primary ? 1 : 0);
        if (!parentColumn.isEmpty())
            row.set(parentColumn, parent);
        return row.insert();
    }

    // --- reference data -------------------------------------------------

    void referenceData()
    {
        struct Zone
        {
            const char *name;
            int bias;
            int daylight;
            const char *standard;
            const char *summer;
            int index;
        };
        const Zone zones[] = {
            {"(GMT-05:00) Eastern Time", -300, -60, "Eastern Standard Time", "Eastern Daylight Time", 35},
            {"(GMT-06:00) Central Time", -360, -60, "Central Standard Time", "Central Daylight Time", 20},
            {"(GMT-07:00) Mountain Time", -420, -60, "Mountain Standard Time", "Mountain Daylight Time", 10},
            {"(GMT-08:00) Pacific Time", -480, -60, "Pacific Standard Time", "Pacific Daylight Time", 4},
            {"(GMT) Greenwich Mean Time", 0, -60, "GMT Standard Time", "GMT Daylight Time", 85},
            {"(GMT+01:00) Central European Time", 60, -60, "Central Europe Standard Time",
             "Central Europe Daylight Time", 95},
        };
        for (const Zone &z : zones) {
            const QString id = p.row(QStringLiteral("tbl_TimeZone"))
                                   .set(QStringLiteral("DisplayName"), QString::fromLatin1(z.name))
                                   .set(QStringLiteral("BiasMinutes"), z.bias)
                                   .set(QStringLiteral("DaylightBias"), z.daylight)
                                   .set(QStringLiteral("StandardName"), QString::fromLatin1(z.standard))
                                   .set(QStringLiteral("DaylightName"), QString::fromLatin1(z.summer))
                                   .set(QStringLiteral("TimeZoneIndex"), z.index)
                                   .insert();
            if (localTimeZone.isEmpty())
                localTimeZone = id;
        }

        struct Wave
        {
            const char *name;
            int tag;
            int rate;
            int bits;
        };
        const Wave waves[] = {{"G.711 mu-law", 7, 8000, 8},
                              {"G.711 A-law", 6, 8000, 8},
                              {"G.729a", 307, 8000, 0},
                              {"PCM 8 kHz 16 bit", 1, 8000, 16},
                              {"GSM 6.10", 49, 8000, 0}};
        for (const Wave &w : waves) {
            const QString id = p.row(QStringLiteral("tbl_WaveFormat"))
                                   .set(QStringLiteral("FormatName"), QString::fromLatin1(w.name))
                                   .set(QStringLiteral("FormatTag"), w.tag)
                                   .set(QStringLiteral("SamplesPerSec"), w.rate)
                                   .set(QStringLiteral("BitsPerSample"), w.bits)
                                   .set(QStringLiteral("Channels"), 1)
                                   .set(QStringLiteral("IsDefault"), defaultWave.isEmpty() ? 1 : 0)
                                   .insert();
            if (defaultWave.isEmpty())
                defaultWave = id;
        }

        struct Conv
        {
            const char *name;
            const char *display;
            const char *text;
            bool subscriber;
        };
        const Conv conversations[] = {
            {"HandlerGreeting", "Call handler greeting", "Plays a handler's greeting and waits for keys.", false},
            {"HandlerTransfer", "Call handler transfer", "Tries the handler's transfer rule, then its greeting.",
             false},
            {"SubscriberSignIn", "Subscriber sign-in", "Asks for an extension and PIN, then opens the mailbox.", true},
            {"DirectoryLookup", "Spell-by-name directory", "Finds a subscriber by the letters of a name.", false},
            {"InterviewRecord", "Interview", "Asks an interview handler's questions in turn.", false},
            {"SystemTransfer", "Transfer to any number", "Lets a caller key a number to be transferred to.", false},
            {"CheckSchedule", "Schedule check", "Chooses the standard or off-hours branch by schedule.", false},
            {"Goodbye", "Goodbye", "Says goodbye and hangs up.", false},
        };
        for (const Conv &c : conversations)
            conversation[QString::fromLatin1(c.name)] =
                p.row(QStringLiteral("tbl_Conversation"))
                    .set(QStringLiteral("Name"), QString::fromLatin1(c.name))
                    .set(QStringLiteral("DisplayName"), QString::fromLatin1(c.display))
                    .set(QStringLiteral("Description"), QString::fromLatin1(c.text))
                    .set(QStringLiteral("SubscriberConversation"), c.subscriber ? 1 : 0)
                    .set(QStringLiteral("AllowedAsTarget"), 1)
                    .insert();

        struct Quota
        {
            const char *name;
            int warn, send, receive;
        };
        for (const Quota &q : {Quota{"Standard mailbox", 40000, 50000, 60000},
                               Quota{"Large mailbox", 90000, 100000, 120000}, Quota{"Unlimited", 0, 0, 0}}) {
            const QString id = p.row(QStringLiteral("tbl_Quota"))
                                   .set(QStringLiteral("DisplayName"), QString::fromLatin1(q.name))
                                   .set(QStringLiteral("Warning"), q.warn)
                                   .set(QStringLiteral("Send"), q.send)
                                   .set(QStringLiteral("Receive"), q.receive)
                                   .insert();
            quota[QString::fromLatin1(q.name)] = id;
            facts.quotas.append({id, QString::fromLatin1(q.name), q.warn, q.send, q.receive});
        }

        const QString phoneLogon = p.row(QStringLiteral("tbl_AccountLogonPolicy"))
                                       .set(QStringLiteral("DisplayName"), QStringLiteral("Phone sign-in"))
                                       .set(QStringLiteral("MaxFailedLogons"), 5)
                                       .set(QStringLiteral("LockoutDuration"), 30)
                                       .set(QStringLiteral("ResetCountAfter"), 60)
                                       .insert();
        const QString consoleLogon = p.row(QStringLiteral("tbl_AccountLogonPolicy"))
                                         .set(QStringLiteral("DisplayName"), QStringLiteral("Console sign-in"))
                                         .set(QStringLiteral("MaxFailedLogons"), 3)
                                         .set(QStringLiteral("LockoutDuration"), 0)
                                         .set(QStringLiteral("ResetCountAfter"), 30)
                                         .insert();
        auto credentialPolicy = [&](const char *name, int min, int days, int history) {
            return p.row(QStringLiteral("tbl_CredentialPolicy"))
                .set(QStringLiteral("DisplayName"), QString::fromLatin1(name))
                .set(QStringLiteral("MinLength"), min)
                .set(QStringLiteral("MaxDays"), days)
                .set(QStringLiteral("HistoryCount"), history)
                .set(QStringLiteral("TrivialCheck"), 1)
                .insert();
        };
        const QString pinPolicy = credentialPolicy("Default PIN Policy", 6, 180, 5);
        const QString passwordPolicy = credentialPolicy("Default Password Policy", 8, 90, 10);
        credentialPolicy("Executive PIN Policy", 8, 90, 12);

        QHash<QString, QString> restriction;
        struct Pattern
        {
            const char *table;
            const char *pattern;
            bool blocked;
        };
        for (const char *name : {"Default Transfer", "Default Outdial", "Default Fax"})
            restriction[QString::fromLatin1(name)] = p.row(QStringLiteral("tbl_RestrictionTable"))
                                                         .set(QStringLiteral("DisplayName"), QString::fromLatin1(name))
                                                         .set(QStringLiteral("DefaultBlocked"), 0)
                                                         .set(QStringLiteral("MinDigits"), 1)
                                                         .set(QStringLiteral("MaxDigits"), 30)
                                                         .insert();
        const Pattern patterns[] = {{"Default Transfer", "9011*", true}, {"Default Transfer", "91??????????", true},
                                    {"Default Transfer", "*", false},    {"Default Outdial", "9011*", true},
                                    {"Default Outdial", "91900*", true}, {"Default Outdial", "*", false},
                                    {"Default Fax", "9*", false}};
        int order = 0;
        for (const Pattern &pt : patterns)
            p.row(QStringLiteral("tbl_RestrictionPattern"))
                .set(QStringLiteral("RestrictionTableObjectID"), restriction.value(QString::fromLatin1(pt.table)))
                .set(QStringLiteral("Pattern"), QString::fromLatin1(pt.pattern))
                .set(QStringLiteral("Blocked"), pt.blocked ? 1 : 0)
                .set(QStringLiteral("SortOrder"), ++order)
                .insert();

        struct Cos
        {
            const char *name;
            const char *quota;
            bool admin;
            int maxMsg;
        };
        for (const Cos &c :
             {Cos{"Default Subscriber", "Standard mailbox", false, 300},
              Cos{"Default Administrator", "Large mailbox", true, 600},
              Cos{"Voice Mail Only", "Standard mailbox", false, 120}, Cos{"Executive", "Unlimited", false, 1200},
              Cos{"Restricted Dialling", "Standard mailbox", false, 300}})
            cos[QString::fromLatin1(c.name)] =
                p.row(QStringLiteral("tbl_Cos"))
                    .set(QStringLiteral("DisplayName"), QString::fromLatin1(c.name))
                    .set(QStringLiteral("AccountLogonPolicyObjectID"), c.admin ? consoleLogon : phoneLogon)
                    .set(QStringLiteral("CredentialPolicyObjectID"), c.admin ? passwordPolicy : pinPolicy)
                    .set(QStringLiteral("QuotaObjectID"), quota.value(QString::fromLatin1(c.quota)))
                    .set(QStringLiteral("RestrictionTableObjectID"),
                         restriction.value(QStringLiteral("Default Transfer")))
                    .set(QStringLiteral("MaxMsgLength"), c.maxMsg)
                    .set(QStringLiteral("CanRecordName"), 1)
                    .set(QStringLiteral("ListInDirectoryRequired"), 0)
                    .set(QStringLiteral("MaxPersonalRules"), c.admin ? 20 : 5)
                    .set(QStringLiteral("AccessLiveReply"), c.admin ? 1 : 0)
                    .insert();

        // The local location comes first: schedule sets and switches name it.
        localLocation = r.guid();
        const QString localDial = r.guid();
        p.row(QStringLiteral("tbl_Location"))
            .set(QStringLiteral("ObjectID"), localLocation)
            .set(QStringLiteral("DisplayName"), QStringLiteral("Harbour Point"))
            .set(QStringLiteral("DTMFAccessID"), QStringLiteral("100"))
            .set(QStringLiteral("LocationType"), 0)
            .set(QStringLiteral("SmtpDomain"), QStringLiteral("harbourpoint.example"))
            .set(QStringLiteral("DtmfAccessIdObjectID"), localDial)
            .set(QStringLiteral("TimeZoneObjectID"), localTimeZone)
            .setNull(QStringLiteral("DirectoryHandlerObjectID"))
            .set(QStringLiteral("IsPrimary"), 1)
            .set(QStringLiteral("CreationTime"), Populator::dateText(2004, 2, 9, 10, 12, 31))
            .insert();
        dtmf(QStringLiteral("100"), QStringLiteral("Parent_LocationObjectID"), localLocation, true, localDial);

        struct Detail
        {
            const char *schedule;
            int start, end, days;
        };
        for (const char *name : {"Weekdays", "Weekdays Extended", "All Hours", "Public Holidays"})
            schedules[QString::fromLatin1(name)] = p.row(QStringLiteral("tbl_Schedule"))
                                                       .set(QStringLiteral("DisplayName"), QString::fromLatin1(name))
                                                       .set(QStringLiteral("IsHoliday"),
                                                            qstrcmp(name, "Public Holidays") == 0 ? 1 : 0)
                                                       .set(QStringLiteral("TimeZoneObjectID"), localTimeZone)
                                                       .insert();
        for (const Detail &d : {Detail{"Weekdays", 480, 1020, 62}, Detail{"Weekdays Extended", 420, 1200, 62},
                                Detail{"Weekdays Extended", 540, 780, 64}, Detail{"All Hours", 0, 1440, 127}})
            p.row(QStringLiteral("tbl_ScheduleDetail"))
                .set(QStringLiteral("ScheduleObjectID"), schedules.value(QString::fromLatin1(d.schedule)))
                .set(QStringLiteral("StartTime"), d.start)
                .set(QStringLiteral("EndTime"), d.end)
                .set(QStringLiteral("DaysOfWeek"), d.days)
                .setNull(QStringLiteral("StartDate"))
                .setNull(QStringLiteral("EndDate"))
                .insert();
        for (const auto &[month, day] : {std::pair{1, 1}, std::pair{7, 4}, std::pair{12, 25}, std::pair{12, 26}})
            p.row(QStringLiteral("tbl_ScheduleDetail"))
                .set(QStringLiteral("ScheduleObjectID"), schedules.value(QStringLiteral("Public Holidays")))
                .set(QStringLiteral("StartTime"), 0)
                .set(QStringLiteral("EndTime"), 1440)
                .set(QStringLiteral("DaysOfWeek"), 0)
                .set(QStringLiteral("StartDate"), Populator::dateText(2006, month, day))
                .set(QStringLiteral("EndDate"), Populator::dateText(2006, month, day))
                .insert();
        for (const char *name : {"Weekdays", "Extended Hours", "All Hours"}) {
            const QString set = p.row(QStringLiteral("tbl_ScheduleSet"))
                                    .set(QStringLiteral("DisplayName"), QString::fromLatin1(name))
                                    .set(QStringLiteral("OwnerLocationObjectID"), localLocation)
                                    .insert();
            scheduleSets[QString::fromLatin1(name)] = set;
            const QString schedule = qstrcmp(name, "Weekdays") == 0 ? schedules.value(QStringLiteral("Weekdays"))
                                     : qstrcmp(name, "Extended Hours") == 0
                                         ? schedules.value(QStringLiteral("Weekdays Extended"))
                                         : schedules.value(QStringLiteral("All Hours"));
            p.row(QStringLiteral("tbl_ScheduleSetMemberMap"))
                .set(QStringLiteral("ScheduleSetObjectID"), set)
                .set(QStringLiteral("ScheduleObjectID"), schedule)
                .set(QStringLiteral("Exclude"), 0)
                .insert();
            if (qstrcmp(name, "All Hours") != 0)
                p.row(QStringLiteral("tbl_ScheduleSetMemberMap"))
                    .set(QStringLiteral("ScheduleSetObjectID"), set)
                    .set(QStringLiteral("ScheduleObjectID"), schedules.value(QStringLiteral("Public Holidays")))
                    .set(QStringLiteral("Exclude"), 1)
                    .insert();
        }

        struct Privilege
        {
            const char *name;
            const char *category;
        };
        const Privilege privilegeList[] = {
            {"View subscribers", "Subscribers"},
            {"Edit subscribers", "Subscribers"},
            {"Reset PINs", "Subscribers"},
            {"Edit call handlers", "Call Management"},
            {"Edit routing rules", "Call Management"},
            {"Edit distribution lists", "Distribution Lists"},
            {"Edit ports", "Telephony"},
            {"Edit switch integration", "Telephony"},
            {"Edit system configuration", "System"},
            {"View reports", "Reports"},
            {"Run stored procedures", "System"},
            {"Manage licenses", "System"},
        };
        for (const Privilege &pr : privilegeList)
            privileges << p.row(QStringLiteral("tbl_Privilege"))
                              .set(QStringLiteral("PrivilegeName"), QString::fromLatin1(pr.name))
                              .set(QStringLiteral("Description"), QStringLiteral("Allows the holder to %1.")
                                                                      .arg(QString::fromLatin1(pr.name).toLower()))
                              .set(QStringLiteral("Category"), QString::fromLatin1(pr.category))
                              .insert();
        struct Role
        {
            const char *name;
            const char *text;
            int from, to;
        };
        for (const Role &ro : {Role{"System Administrator", "Full access to every page of the console.", 0, 11},
                               Role{"Help Desk", "Looks after subscribers: names, PINs, greetings.", 0, 2},
                               Role{"Greetings Administrator", "Records and edits call handler greetings.", 3, 3},
                               Role{"Audit Reviewer", "Reads reports and configuration, changes nothing.", 9, 9}}) {
            const QString id = p.row(QStringLiteral("tbl_Role"))
                                   .set(QStringLiteral("RoleName"), QString::fromLatin1(ro.name))
                                   .set(QStringLiteral("RoleDescription"), QString::fromLatin1(ro.text))
                                   .set(QStringLiteral("IsSystem"), 1)
                                   .insert();
            roles[QString::fromLatin1(ro.name)] = id;
            for (int i = ro.from; i <= ro.to; ++i)
                p.row(QStringLiteral("tbl_RolePrivilegeMap"))
                    .set(QStringLiteral("RoleObjectID"), id)
                    .set(QStringLiteral("PrivilegeObjectID"), privileges[i])
                    .set(QStringLiteral("ReadOnly"), qstrcmp(ro.name, "Audit Reviewer") == 0 ? 1 : 0)
                    .insert();
        }

        for (const char *name :
             {"Voice Messaging", "Message Transfer", "Notification", "Directory Replication", "Text to Speech"})
            p.row(QStringLiteral("tbl_VMSRole"))
                .set(QStringLiteral("RoleName"), QString::fromLatin1(name))
                .set(QStringLiteral("Description"),
                     QStringLiteral("Runs the %1 service.").arg(QString::fromLatin1(name).toLower()))
                .set(QStringLiteral("ServiceName"), QStringLiteral("Orvex") + QString::fromLatin1(name).remove(u' '))
                .insert();

        for (const char *name : {"Inbox", "Saved Messages", "Deleted Items", "Sent Items", "Drafts"})
            folders << p.row(QStringLiteral("tbl_FolderInfo"))
                           .set(QStringLiteral("Name"), QString::fromLatin1(name))
                           .set(QStringLiteral("FolderType"), folders.size() + 1)
                           .set(QStringLiteral("RetentionDays"), qstrcmp(name, "Deleted Items") == 0 ? 14 : 0)
                           .insert();
    }

    // --- telephony ------------------------------------------------------

    void telephony()
    {
        const QStringList switches = p.ids(QStringLiteral("tbl_MediaSwitch"));
        headOfficeSwitch = switches.value(0);
        struct Group
        {
            const char *name;
            int ports;
        };
        int portNumber = 0;
        const Group groups[] = {{"Head Office Ports", 12}, {"Warehouse Ports", 8}, {"Outdial Ports", 4}};
        for (const Group &g : groups) {
            const bool warehouse = qstrcmp(g.name, "Warehouse Ports") == 0;
            const QString group = p.row(QStringLiteral("tbl_MediaPortGroup"))
                                      .set(QStringLiteral("DisplayName"), QString::fromLatin1(g.name))
                                      .set(QStringLiteral("MediaSwitchObjectID"), switches.value(warehouse ? 1 : 0))
                                      .set(QStringLiteral("MediaAnalogProtocolObjectID"),
                                           warehouse
                                               ? QVariant(p.ids(QStringLiteral("tbl_MediaAnalogProtocol")).value(0))
                                               : QVariant())
                                      .set(QStringLiteral("PortCount"), g.ports)
                                      .insert();
            for (int i = 1; i <= g.ports; ++i) {
                ++portNumber;
                const bool outdial = qstrcmp(g.name, "Outdial Ports") == 0;
                const QString port = p.row(QStringLiteral("tbl_MediaPort"))
                                         .set(QStringLiteral("DisplayName"), QStringLiteral("Port %1").arg(portNumber))
                                         .set(QStringLiteral("MediaPortGroupObjectID"), group)
                                         .set(QStringLiteral("PortNumber"), portNumber)
                                         .set(QStringLiteral("Enabled"), portNumber == 7 ? 0 : 1)
                                         .set(QStringLiteral("AnswerCalls"), outdial ? 0 : 1)
                                         .set(QStringLiteral("Dialout"), outdial || i > g.ports - 2 ? 1 : 0)
                                         .set(QStringLiteral("MessageWaiting"), outdial ? 1 : 0)
                                         .insert();
                facts.ports.append({port, portNumber});
            }
        }
    }

    void servers()
    {
        struct Remote
        {
            const char *name;
            const char *dial;
            int type;
            const char *domain;
            int zone;
        };
        const Remote remotes[] = {{"Eastfield", "200", 1, "eastfield.example", 1},
                                  {"Kestrel Bay", "300", 1, "kestrelbay.example", 1},
                                  {"Millbrook", "400", 2, nullptr, 1},
                                  {"Northgate", "500", 3, nullptr, 1},
                                  {"Westmere", "600", 4, "westmere.example", 4},
                                  {"Val-Brûlé", "700", 4, "valbrule.example", 0}};
        const QStringList templates = p.ids(QStringLiteral("tbl_VMSTemplate"));
        const QStringList vmsRoles = p.ids(QStringLiteral("tbl_VMSRole"));
        auto server = [&](const QString &name, const QString &ip, const QVariant &locationVms, bool primary) {
            const QString id = p.row(QStringLiteral("tbl_VMSServer"))
                                   .set(QStringLiteral("ServerName"), name)
                                   .set(QStringLiteral("IPAddress"), ip)
                                   .set(QStringLiteral("LocationVMSObjectID"), locationVms)
                                   .set(QStringLiteral("VMSTemplateObjectID"), templates.value(0))
                                   .set(QStringLiteral("Version"), QStringLiteral("5.0.2.114"))
                                   .set(QStringLiteral("IsPrimary"), primary ? 1 : 0)
                                   .insert();
            for (int i = 0; i < vmsRoles.size(); ++i)
                p.row(QStringLiteral("tbl_VMSServerRole"))
                    .set(QStringLiteral("VMSServerObjectID"), id)
                    .set(QStringLiteral("VMSRoleObjectID"), vmsRoles[i])
                    .set(QStringLiteral("Enabled"), primary || i < 3 ? 1 : 0)
                    .insert();
            return id;
        };
        server(o.serverName.toUpper(), QStringLiteral("10.10.0.5"), QVariant(), true);

        for (const Remote &rm : remotes) {
            const QString id = r.guid();
            const QString dial = r.guid();
            const bool westmere = qstrcmp(rm.name, "Westmere") == 0;
            p.row(QStringLiteral("tbl_Location"))
                .set(QStringLiteral("ObjectID"), id)
                .set(QStringLiteral("DisplayName"), QString::fromUtf8(rm.name))
                .set(QStringLiteral("DTMFAccessID"), QString::fromLatin1(rm.dial))
                .set(QStringLiteral("LocationType"), rm.type)
                .set(QStringLiteral("SmtpDomain"), rm.domain ? QVariant(QString::fromLatin1(rm.domain)) : QVariant())
                .set(QStringLiteral("DtmfAccessIdObjectID"), dial)
                .set(QStringLiteral("TimeZoneObjectID"), p.ids(QStringLiteral("tbl_TimeZone")).value(rm.zone))
                .setNull(QStringLiteral("DirectoryHandlerObjectID"))
                .set(QStringLiteral("IsPrimary"), 0)
                .insert();
            // Westmere's dial id entry has lost its owner: all four parents null.
            dtmf(QString::fromLatin1(rm.dial), westmere ? QString() : QStringLiteral("Parent_LocationObjectID"), id,
                 true, dial);
            switch (rm.type) {
            case 1: {
                const QString serverId = r.guid();
                p.row(QStringLiteral("tbl_LocationVMS"))
                    .set(QStringLiteral("ObjectID"), id)
                    .set(QStringLiteral("VMSServerObjectID"), serverId)
                    .set(QStringLiteral("RemoteVersion"), QStringLiteral("5.0.1.87"))
                    .set(QStringLiteral("LastSyncTime"), Populator::randomDate(r, 2006, 2006))
                    .insert();
                const QString name = QStringLiteral("ORVEX-")
                                     + QString::fromLatin1(rm.name).remove(u' ').toUpper().left(8);
                Row s = p.row(QStringLiteral("tbl_VMSServer"));
                s.set(QStringLiteral("ObjectID"), serverId);
                s.set(QStringLiteral("ServerName"), name)
                    .set(QStringLiteral("IPAddress"),
                         QStringLiteral("10.%1.0.5").arg(20 + p.rowCount(QStringLiteral("tbl_VMSServer"))))
                    .set(QStringLiteral("LocationVMSObjectID"), id)
                    .set(QStringLiteral("VMSTemplateObjectID"), templates.value(2))
                    .set(QStringLiteral("Version"), QStringLiteral("5.0.1.87"))
                    .set(QStringLiteral("IsPrimary"), 0)
                    .insert();
                break;
            }
            case 2:
                p.row(QStringLiteral("tbl_LocationAMIS"))
                    .set(QStringLiteral("ObjectID"), id)
                    .set(QStringLiteral("DeliveryNumber"), QStringLiteral("915554410"))
                    .set(QStringLiteral("NodeID"), 4410)
                    .set(QStringLiteral("OutboundDialPrefix"), QStringLiteral("9"))
                    .insert();
                break;
            case 3:
                p.row(QStringLiteral("tbl_LocationBridge"))
                    .set(QStringLiteral("ObjectID"), id)
                    .set(QStringLiteral("BridgeServerName"), QStringLiteral("BRIDGE01"))
                    .set(QStringLiteral("NodeID"), 77)
                    .insert();
                for (const char *prefix : {"57", "58"})
                    p.row(QStringLiteral("tbl_BridgeLocationPrefix"))
                        .set(QStringLiteral("LocationObjectID"), id)
                        .set(QStringLiteral("Prefix"), QString::fromLatin1(prefix))
                        .insert();
                break;
            default:
                p.row(QStringLiteral("tbl_LocationVPIM"))
                    .set(QStringLiteral("ObjectID"), id)
                    .set(QStringLiteral("SmtpDomain"), QString::fromLatin1(rm.domain))
                    .set(QStringLiteral("RemotePhonePrefix"), QStringLiteral("1555"))
                    .set(QStringLiteral("WaveFormatObjectID"), defaultWave)
                    .insert();
                break;
            }
        }

        // What other servers replicate to us.
        const QString east = p.row(QStringLiteral("tbl_GlobalLocation"))
                                 .set(QStringLiteral("DisplayName"), QStringLiteral("Eastfield"))
                                 .set(QStringLiteral("DTMFAccessID"), QStringLiteral("200"))
                                 .set(QStringLiteral("HomeServer"), QStringLiteral("ORVEX-EASTFIEL"))
                                 .insert();
        const QString kestrel = p.row(QStringLiteral("tbl_GlobalLocation"))
                                    .set(QStringLiteral("DisplayName"), QStringLiteral("Kestrel Bay"))
                                    .set(QStringLiteral("DTMFAccessID"), QStringLiteral("300"))
                                    .set(QStringLiteral("HomeServer"), QStringLiteral("ORVEX-KESTRELB"))
                                    .insert();
        Random g = Random(0x5EED, QStringLiteral("global subscribers"));
        for (int i = 0; i < 24; ++i) {
            const Person who = person(g, i);
            p.row(QStringLiteral("tbl_GlobalSubscriber"))
                .set(QStringLiteral("Alias"), who.alias + (i < 12 ? QStringLiteral(".ef") : QStringLiteral(".kb")))
                .set(QStringLiteral("DisplayName"), who.display)
                .set(QStringLiteral("DTMFAccessID"), QString::number(5000 + i))
                .set(QStringLiteral("GlobalLocationObjectID"), i < 12 ? east : kestrel)
                .insert();
        }

        const QStringList apps = p.ids(QStringLiteral("tbl_Application"));
        struct Task
        {
            const char *cls;
            int interval;
        };
        QStringList tasks;
        for (const Task &t :
             {Task{"Orvex.Tasks.MailboxStoreMaintenance", 1440}, Task{"Orvex.Tasks.DirectoryReplication", 15},
              Task{"Orvex.Tasks.PurgeDeletedMessages", 60}, Task{"Orvex.Tasks.ReportCollector", 30},
              Task{"Orvex.Tasks.LicenseCheck", 720}})
            tasks << p.row(QStringLiteral("tbl_TaskPeriodic"))
                         .set(QStringLiteral("ClassName"), QString::fromLatin1(t.cls))
                         .set(QStringLiteral("ApplicationObjectID"),
                              apps.value(int(tasks.size()) % qMax(1, int(apps.size()))))
                         .set(QStringLiteral("IntervalMinutes"), t.interval)
                         .set(QStringLiteral("Enabled"), 1)
                         .insert();
        p.row(QStringLiteral("tbl_MailboxStoreMap"))
            .set(QStringLiteral("Alias"), QStringLiteral("MailboxStore1"))
            .set(QStringLiteral("DisplayName"), QStringLiteral("Mailbox Store 1"))
            .set(QStringLiteral("DatabaseName"), QStringLiteral("OrvexMbxDB1"))
            .set(QStringLiteral("ServerName"), o.serverName.toUpper())
            .set(QStringLiteral("MaxMailboxes"), 10000)
            .set(QStringLiteral("Mounted"), 1)
            .set(QStringLiteral("MaintenanceTaskObjectID"), tasks.value(0))
            .insert();
        p.row(QStringLiteral("tbl_MailboxStoreMap"))
            .set(QStringLiteral("Alias"), QStringLiteral("MailboxStore2"))
            .set(QStringLiteral("DisplayName"), QStringLiteral("Mailbox Store 2 (planned)"))
            .set(QStringLiteral("DatabaseName"), QStringLiteral("OrvexMbxDB2"))
            .set(QStringLiteral("ServerName"), o.serverName.toUpper())
            .set(QStringLiteral("MaxMailboxes"), 10000)
            .set(QStringLiteral("Mounted"), 0)
            .setNull(QStringLiteral("MaintenanceTaskObjectID"))
            .insert();
    }

    // --- users, lists and handlers that everything else points at ----------

    QString user(const QString &first, const QString &last, const QString &display, const QString &alias,
                 const QString &cosName, const QString &role, bool admin, const QString &initials = {},
                 const QString &id = {})
    {
        Row u = p.row(QStringLiteral("tbl_User"));
        if (!id.isEmpty())
            u.set(QStringLiteral("ObjectID"), id);
        u.set(QStringLiteral("DisplayName"), display.isNull() ? QVariant() : QVariant(display))
            .set(QStringLiteral("FirstName"), first)
            .set(QStringLiteral("LastName"), last)
            .set(QStringLiteral("Initials"), initials.isEmpty() ? (first.left(1) + last.left(1)).toUpper() : initials)
            .set(QStringLiteral("EmailAddress"), alias + QStringLiteral("@harbourpoint.example"))
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .set(QStringLiteral("CosObjectID"), cos.value(cosName))
            .set(QStringLiteral("TimeZoneObjectID"), localTimeZone)
            .set(QStringLiteral("UserTemplateObjectID"), p.ids(QStringLiteral("tbl_UserTemplate")).value(admin ? 1 : 0))
            .setNull(QStringLiteral("AccountLockoutObjectID"))
            .set(QStringLiteral("RoleObjectID"), role.isEmpty() ? QVariant() : QVariant(roles.value(role)))
            .set(QStringLiteral("Language"), 1033)
            .set(QStringLiteral("IsAdministrator"), admin ? 1 : 0);
        const QString userId = u.insert();
        p.row(QStringLiteral("tbl_Alias"))
            .set(QStringLiteral("Alias"), alias)
            .set(QStringLiteral("Object_UserObjectID"), userId)
            .setNull(QStringLiteral("Object_DistributionListObjectID"))
            .set(QStringLiteral("AliasType"), 0)
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .insert();
        p.row(QStringLiteral("tbl_Credential"))
            .set(QStringLiteral("UserObjectID"), userId)
            .set(QStringLiteral("CredentialType"), admin ? 4 : 3)
            .set(QStringLiteral("CredentialPolicyObjectID"),
                 p.ids(QStringLiteral("tbl_CredentialPolicy")).value(admin ? 1 : 0))
            .set(QStringLiteral("MustChange"), r.percent(10) ? 1 : 0)
            .set(QStringLiteral("HackCount"), r.percent(5) ? int(r.between(1, 4)) : 0)
            .insert();
        if (r.percent(30))
            p.row(QStringLiteral("tbl_UserCredentialHistory"))
                .set(QStringLiteral("UserObjectID"), userId)
                .set(QStringLiteral("CredentialType"), admin ? 4 : 3)
                .insert();
        return userId;
    }

    QString list(const QString &alias, const QVariant &display, bool system, const QString &extension = {})
    {
        const QString id = p.row(QStringLiteral("tbl_DistributionList"))
                               .set(QStringLiteral("Alias"), alias)
                               .set(QStringLiteral("DisplayName"), display)
                               .set(QStringLiteral("LocationObjectID"), localLocation)
                               .set(QStringLiteral("Admin_UserObjectID"), administrator)
                               .set(QStringLiteral("Admin_DistributionListObjectID"),
                                    lists.value(QStringLiteral("managers")).isEmpty()
                                        ? QVariant()
                                        : QVariant(lists.value(QStringLiteral("managers"))))
                               .set(QStringLiteral("IsPublic"), 1)
                               .set(QStringLiteral("IsSystem"), system ? 1 : 0)
                               .set(QStringLiteral("AllowContacts"), 0)
                               .insert();
        aliases.insert(alias);
        lists[alias] = id;
        p.row(QStringLiteral("tbl_Alias"))
            .set(QStringLiteral("Alias"), alias)
            .setNull(QStringLiteral("Object_UserObjectID"))
            .set(QStringLiteral("Object_DistributionListObjectID"), id)
            .set(QStringLiteral("AliasType"), 0)
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .insert();
        if (!extension.isEmpty())
            dtmf(extension, QStringLiteral("Parent_DistributionListObjectID"), id);
        return id;
    }

    void systemObjects()
    {
        administrator = user(QStringLiteral("System"), QStringLiteral("Administrator"),
                             QStringLiteral("System Administrator"), uniqueAlias(QStringLiteral("administrator")),
                             QStringLiteral("Default Administrator"), QStringLiteral("System Administrator"), true);
        user(QStringLiteral("Help"), QStringLiteral("Desk"), QStringLiteral("Help Desk"),
             uniqueAlias(QStringLiteral("helpdesk")), QStringLiteral("Default Administrator"),
             QStringLiteral("Help Desk"), true);
        user(QStringLiteral("Orvex"), QStringLiteral("Service"), QStringLiteral("Orvex Service Account"),
             uniqueAlias(QStringLiteral("orvexsvc")), QStringLiteral("Default Administrator"),
             QStringLiteral("System Administrator"), true);

        list(QStringLiteral("managers"), QStringLiteral("Managers"), false, QStringLiteral("1990"));
        list(QStringLiteral("allsubscribers"), QStringLiteral("All Subscribers"), true, QStringLiteral("1999"));
        list(QStringLiteral("undeliverable"), QStringLiteral("Undeliverable Messages"), true);
        list(QStringLiteral("allstaff"), QStringLiteral("All Staff"), false, QStringLiteral("1998"));
        int ext = 1970;
        for (const QString &d : names::departments())
            list(QString(d).remove(u' ').toLower(), d, false, QString::number(ext++));
        // A list someone created without a name.
        list(QStringLiteral("tempproject"), QVariant(), false);
        // The office that joined later kept its own spelling.
        list(QStringLiteral("valbrule"), QStringLiteral("Équipe Val-Brûlé"), false, QStringLiteral("1969"));

        // The handlers the subscribers' keys lead to exist before them.
        for (const char *name : {"Opening Greeting", "Operator", "Goodbye"})
            handlers[QString::fromLatin1(name)] = r.guid();
    }

    // --- subscribers ------------------------------------------------------

    void greetings(const QString &handler, const QString &extension, bool subscriber)
    {
        QStringList types = {QStringLiteral("Standard"), QStringLiteral("OffHours"), QStringLiteral("Error")};
        for (const char *extra : {"Alternate", "Busy", "Internal", "Holiday"})
            if (r.percent(subscriber ? 45 : 60))
                types << QString::fromLatin1(extra);
        for (const QString &type : types) {
            const bool recorded = type != u"Error" && r.percent(50);
            int action = 4;
            QVariant target, targetHandler;
            if (type == u"Error") {
                action = 6;
            } else if (type == u"OffHours" && !subscriber) {
                action = 2;
                target = QStringLiteral("HandlerGreeting");
                targetHandler = handlers.value(QStringLiteral("Goodbye"));
            } else if (r.percent(8)) {
                action = 2;
                target = QStringLiteral("SubscriberSignIn");
            }
            p.row(QStringLiteral("tbl_Greeting"))
                .set(QStringLiteral("CallHandlerObjectID"), handler)
                .set(QStringLiteral("GreetingType"), type)
                .set(QStringLiteral("Enabled"), type == u"Alternate" ? (r.percent(5) ? 1 : 0) : 1)
                .set(QStringLiteral("PlayWhat"), recorded ? 1 : 0)
                .set(QStringLiteral("AfterGreeting_Action"), action)
                .set(QStringLiteral("AfterGreeting_TargetConversation"), target)
                .set(QStringLiteral("AfterGreeting_TargetHandlerObjectID"), targetHandler)
                .set(QStringLiteral("IgnoreDigits"), 0)
                .set(QStringLiteral("Reprompts"), type == u"Standard" ? 1 : 0)
                .set(QStringLiteral("TimeExpires"), type == u"Alternate" && r.percent(30)
                                                        ? QVariant(Populator::randomDate(r, 2006, 2007))
                                                        : QVariant())
                .insert();
            if (recorded)
                p.row(QStringLiteral("tbl_GreetingStreamFile"))
                    .set(QStringLiteral("Greeting_CallHandlerObjectID"), handler)
                    .set(QStringLiteral("GreetingType"), type)
                    .set(QStringLiteral("LanguageCode"), 1033)
                    .set(QStringLiteral("StreamFileObjectID"),
                         stream(QStringLiteral("Greetings"), int(r.between(4, 25))))
                    .insert();
        }
        for (const char *type : {"Standard", "OffHours", "Alternate"}) {
            const bool standard = qstrcmp(type, "Standard") == 0;
            p.row(QStringLiteral("tbl_TransferOption"))
                .set(QStringLiteral("CallHandlerObjectID"), handler)
                .set(QStringLiteral("TransferOptionType"), QString::fromLatin1(type))
                .set(QStringLiteral("Action"), standard && !extension.isEmpty() ? 1 : 0)
                .set(QStringLiteral("Extension"), extension.isEmpty() ? QVariant() : QVariant(extension))
                .set(QStringLiteral("TransferType"), r.percent(70) ? 0 : 1)
                .set(QStringLiteral("RnaRings"), 4)
                .set(QStringLiteral("ScreenCall"), r.percent(10) ? 1 : 0)
                .set(QStringLiteral("Enabled"), qstrcmp(type, "Alternate") == 0 ? 0 : 1)
                .setNull(QStringLiteral("TimeExpires"))
                .insert();
        }
    }

    void menu(const QString &handler, const QHash<QChar, std::pair<QString, QString>> &keys)
    {
        static const QString allKeys = QStringLiteral("0123456789*#");
        for (QChar key : allKeys) {
            int action = 0;
            QVariant conversationName, target;
            if (keys.contains(key)) {
                action = 2;
                conversationName = keys.value(key).first;
                target = keys.value(key).second.isEmpty() ? QVariant() : QVariant(keys.value(key).second);
            } else if (key == u'*') {
                action = 2;
                conversationName = QStringLiteral("SubscriberSignIn");
            } else if (key == u'#') {
                action = 5;
            } else if (key == u'0') {
                action = 2;
                conversationName = QStringLiteral("HandlerTransfer");
                target = handlers.value(QStringLiteral("Operator"));
            }
            p.row(QStringLiteral("tbl_MenuEntry"))
                .set(QStringLiteral("CallHandlerObjectID"), handler)
                .set(QStringLiteral("TouchtoneKey"), QString(key))
                .set(QStringLiteral("Action"), action)
                .set(QStringLiteral("TargetConversation"), conversationName)
                .set(QStringLiteral("TargetHandlerObjectID"), target)
                .set(QStringLiteral("Locked"), 0)
                .insert();
        }
    }

    QString phoneNumber(const QString &userId, const QString &label, const QString &number, int type)
    {
        return p.row(QStringLiteral("tbl_PhoneNumber"))
            .set(QStringLiteral("UserObjectID"), userId)
            .set(QStringLiteral("DisplayName"), label)
            .set(QStringLiteral("PhoneNumber"), number)
            .set(QStringLiteral("PhoneType"), type)
            .insert();
    }

    QString device(const QString &subscriber, const QString &name, int type, bool active, const QVariant &phone)
    {
        return p.row(QStringLiteral("tbl_NotificationDevice"))
            .set(QStringLiteral("SubscriberObjectID"), subscriber)
            .set(QStringLiteral("DisplayName"), name)
            .set(QStringLiteral("DeviceType"), type)
            .set(QStringLiteral("Active"), active ? 1 : 0)
            .set(QStringLiteral("PhoneNumberObjectID"), phone)
            .set(QStringLiteral("ScheduleSetObjectID"), scheduleSets.value(QStringLiteral("All Hours")))
            .set(QStringLiteral("MaxRetries"), 4)
            .set(QStringLiteral("RetryIntervalMin"), 15)
            .insert();
    }

    void subscribers()
    {
        const int n = qMax(0, o.subscribers);
        const int base = n <= 7000 ? 2000 : 20000;
        const QStringList cosNames = {QStringLiteral("Default Subscriber"), QStringLiteral("Default Subscriber"),
                                      QStringLiteral("Default Subscriber"), QStringLiteral("Default Subscriber"),
                                      QStringLiteral("Voice Mail Only"),    QStringLiteral("Executive"),
                                      QStringLiteral("Restricted Dialling")};
        const QStringList lockouts = p.ids(QStringLiteral("tbl_AccountLockout"));
        const QStringList smpp = p.ids(QStringLiteral("tbl_SMPPProvider"));
        QStringList departmentAliases;
        for (const QString &d : names::departments())
            departmentAliases << QString(d).remove(u' ').toLower();
        const QString store = p.ids(QStringLiteral("tbl_MailboxStoreMap")).value(0);
        const QString signIn = conversation.value(QStringLiteral("SubscriberSignIn"));

        for (int i = 0; i < n && p.ok(); ++i) {
            const Person who = person(r, i);
            const QString &first = who.first;
            const QString &last = who.last;
            // Now and then an import leaves a user without a display name.
            const QString display = i % 97 == 13 ? QString() : who.display;
            const QString alias = uniqueAlias(who.alias);
            const QString extension = QString::number(base + i);
            const QString cosName = i == 0 ? QStringLiteral("Executive") : r.pick(cosNames);
            const QString userId = user(first, last, display, alias, cosName,
                                        i % 250 == 1 ? QStringLiteral("Help Desk") : QString(), false, who.initials);
            if (i < lockouts.size() * 7 && i % 7 == 5)
                p.exec(QStringLiteral("UPDATE tbl_User SET AccountLockoutObjectID = '%1' WHERE ObjectID = '%2'")
                           .arg(lockouts[i / 7], userId));
            const QString handler = r.guid();
            const QString primaryDtmf = r.guid();
            const QString mailbox = r.guid();
            const QString light = r.guid();
            const QString voiceName = r.percent(60) ? stream(QStringLiteral("VoiceNames"), int(r.between(1, 3)))
                                                    : QString();
            subscriberIds << userId;
            subscriberHandlers << handler;
            facts.subscribers.append({userId, alias, extension, mailbox, display});
            if (i == 0)
                operatorSubscriber = userId;

            p.row(QStringLiteral("tbl_UserSubscriber"))
                .set(QStringLiteral("ObjectID"), userId)
                .set(QStringLiteral("CallHandlerObjectID"), handler)
                .set(QStringLiteral("PrimaryDtmfAccessIdObjectID"), primaryDtmf)
                .set(QStringLiteral("MwiObjectID"), light)
                .set(QStringLiteral("MailboxObjectID"), mailbox)
                .set(QStringLiteral("QuotaObjectID"),
                     r.percent(5) ? QVariant(quota.value(QStringLiteral("Large mailbox"))) : QVariant())
                .set(QStringLiteral("VoiceNameStreamFileObjectID"),
                     voiceName.isEmpty() ? QVariant() : QVariant(voiceName))
                .set(QStringLiteral("ConversationObjectID"), signIn)
                .set(QStringLiteral("SubscriberType"), cosName == u"Voice Mail Only" ? 1 : 0)
                .set(QStringLiteral("ListInDirectory"), r.percent(90) ? 1 : 0)
                .set(QStringLiteral("MwiEnabled"), 1)
                .insert();
            p.row(QStringLiteral("tbl_Handler"))
                .set(QStringLiteral("ObjectID"), handler)
                .set(QStringLiteral("DisplayName"), display.isNull() ? QVariant() : QVariant(display))
                .set(QStringLiteral("HandlerType"), 1)
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .insert();
            p.row(QStringLiteral("tbl_CallHandler"))
                .set(QStringLiteral("ObjectID"), handler)
                .set(QStringLiteral("DisplayName"), display.isNull() ? QVariant() : QVariant(display))
                .set(QStringLiteral("Recipient_SubscriberObjectID"), userId)
                .setNull(QStringLiteral("Recipient_DistributionListObjectID"))
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .set(QStringLiteral("ScheduleSetObjectID"), scheduleSets.value(QStringLiteral("Weekdays")))
                .set(QStringLiteral("TimeZoneObjectID"), localTimeZone)
                .set(QStringLiteral("IsPrimary"), 1)
                .set(QStringLiteral("AfterMessage_Action"), 2)
                .set(QStringLiteral("AfterMessage_TargetConversation"), QStringLiteral("HandlerGreeting"))
                .set(QStringLiteral("AfterMessage_TargetHandlerObjectID"), handlers.value(QStringLiteral("Goodbye")))
                .set(QStringLiteral("MaxMsgLength"), 300)
                .set(QStringLiteral("EditMsg"), 1)
                .set(QStringLiteral("Language"), 1033)
                .set(QStringLiteral("VoiceNameStreamFileObjectID"),
                     voiceName.isEmpty() ? QVariant() : QVariant(voiceName))
                .insert();
            dtmf(extension, QStringLiteral("Parent_SubscriberObjectID"), userId, true, primaryDtmf);
            if (r.percent(10))
                dtmf(QStringLiteral("8") + extension, QStringLiteral("Parent_SubscriberObjectID"), userId, false);

            greetings(handler, extension, true);
            QHash<QChar, std::pair<QString, QString>> keys;
            if (i > 0 && r.percent(15)) // "press 1 for my colleague"
                keys[u'1'] = {QStringLiteral("HandlerTransfer"),
                              subscriberHandlers.value(int(r.below(std::uint64_t(i))))};
            menu(handler, keys);

            const QString workPhone = phoneNumber(userId, QStringLiteral("Work phone"),
                                                  QStringLiteral("1555") + extension, 2);
            const bool active = r.percent(15);
            const QString work = device(userId, QStringLiteral("Work Phone"), 1, active, workPhone);
            p.row(QStringLiteral("tbl_NotificationDeviceConversation"))
                .set(QStringLiteral("ObjectID"), work)
                .set(QStringLiteral("Conversation"), QStringLiteral("SubscriberSignIn"))
                .set(QStringLiteral("RequirePin"), 1)
                .insert();
            const QString pager = device(userId, QStringLiteral("Pager"), 2, false, QVariant());
            p.row(QStringLiteral("tbl_NotificationDevicePager"))
                .set(QStringLiteral("ObjectID"), pager)
                .set(QStringLiteral("PagerNumber"), QStringLiteral("1555%1").arg(7000000 + i))
                .set(QStringLiteral("PagerType"), 0)
                .insert();
            const QString mail = device(userId, QStringLiteral("SMTP"), 3, r.percent(25), QVariant());
            p.row(QStringLiteral("tbl_NotificationDeviceSMTP"))
                .set(QStringLiteral("ObjectID"), mail)
                .set(QStringLiteral("EmailAddress"), alias + QStringLiteral("@harbourpoint.example"))
                .set(QStringLiteral("IncludeAttachment"), r.percent(50) ? 1 : 0)
                .insert();
            if (r.percent(20) && !smpp.isEmpty()) {
                const QString sms = device(userId, QStringLiteral("Mobile Text"), 4, r.percent(50), QVariant());
                p.row(QStringLiteral("tbl_NotificationDeviceSMS"))
                    .set(QStringLiteral("ObjectID"), sms)
                    .set(QStringLiteral("SMPPProviderObjectID"), r.pick(smpp))
                    .set(QStringLiteral("RecipientNumber"), QStringLiteral("1555%1").arg(8000000 + i))
                    .insert();
            }
            if (r.percent(5)) {
                const QString mp3 = device(userId, QStringLiteral("MP3 Copy"), 5, true, QVariant());
                p.row(QStringLiteral("tbl_NotificationDeviceMP3"))
                    .set(QStringLiteral("ObjectID"), mp3)
                    .set(QStringLiteral("DestinationFolder"), QStringLiteral("\\\\fileserver\\voice\\") + alias)
                    .set(QStringLiteral("BitRate"), 32)
                    .insert();
            }
            p.row(QStringLiteral("tbl_NotificationRule"))
                .set(QStringLiteral("NotificationDeviceObjectID"), work)
                .set(QStringLiteral("DisplayName"), QStringLiteral("New voice message"))
                .set(QStringLiteral("Enabled"), active ? 1 : 0)
                .set(QStringLiteral("DelayMinutes"), 0)
                .insert();
            p.row(QStringLiteral("tbl_NotificationMwi"))
                .set(QStringLiteral("ObjectID"), light)
                .set(QStringLiteral("SubscriberObjectID"), userId)
                .set(QStringLiteral("DisplayName"), QStringLiteral("Message waiting light"))
                .set(QStringLiteral("Extension"), extension)
                .set(QStringLiteral("MediaSwitchObjectID"), headOfficeSwitch)
                .set(QStringLiteral("Active"), 1)
                .insert();
            p.row(QStringLiteral("tbl_MailboxMap"))
                .set(QStringLiteral("ObjectID"), mailbox)
                .set(QStringLiteral("UserObjectID"), userId)
                .set(QStringLiteral("MailboxStoreMapObjectID"), store)
                .set(QStringLiteral("Active"), 1)
                .insert();

            member(lists.value(QStringLiteral("allsubscribers")), userId);
            member(lists.value(departmentAliases[i % departmentAliases.size()]), userId);
            if (r.percent(8))
                member(lists.value(QStringLiteral("managers")), userId);
            if (i % 11 == 6)
                member(lists.value(QStringLiteral("valbrule")), userId);

            if (i % 10 == 3)
                personal(userId, i);
        }
    }

    QString member(const QString &list, const QVariant &user, const QVariant &memberList = QVariant())
    {
        return p.row(QStringLiteral("tbl_DistributionListMember"))
            .set(QStringLiteral("DistributionListObjectID"), list)
            .set(QStringLiteral("Member_UserObjectID"), user)
            .set(QStringLiteral("Member_DistributionListObjectID"), memberList)
            .insert();
    }

    void personal(const QString &userId, int i)
    {
        QStringList contacts;
        const int count = int(r.between(1, 3));
        for (int c = 0; c < count; ++c) {
            const Person who = person(r, contactNumber++);
            const QString contact = p.row(QStringLiteral("tbl_PersonalContact"))
                                        .set(QStringLiteral("UserObjectID"), userId)
                                        .set(QStringLiteral("DisplayName"), who.display)
                                        .set(QStringLiteral("FirstName"), who.first)
                                        .set(QStringLiteral("LastName"), who.last)
                                        .set(QStringLiteral("Company"), r.pick(names::companies()))
                                        .set(QStringLiteral("EmailAddress"),
                                             who.alias + QStringLiteral("@mail.example"))
                                        .insert();
            contacts << contact;
            const QString phone = phoneNumber(userId, who.display,
                                              QStringLiteral("91555%1").arg(r.between(1000000, 9999999)), 3);
            p.row(QStringLiteral("tbl_PersonalContactPhone"))
                .set(QStringLiteral("PersonalContactObjectID"), contact)
                .set(QStringLiteral("PhoneNumberObjectID"), phone)
                .set(QStringLiteral("SortOrder"), 1)
                .insert();
        }
        const QString group = p.row(QStringLiteral("tbl_PersonalGroup"))
                                  .set(QStringLiteral("UserObjectID"), userId)
                                  .set(QStringLiteral("DisplayName"), QStringLiteral("Important callers"))
                                  .insert();
        for (const QString &c : contacts)
            p.row(QStringLiteral("tbl_PersonalGroupMember"))
                .set(QStringLiteral("PersonalGroupObjectID"), group)
                .set(QStringLiteral("Member_PersonalContactObjectID"), c)
                .setNull(QStringLiteral("Member_UserObjectID"))
                .insert();
        p.row(QStringLiteral("tbl_PersonalGroupMember"))
            .set(QStringLiteral("PersonalGroupObjectID"), group)
            .setNull(QStringLiteral("Member_PersonalContactObjectID"))
            .set(QStringLiteral("Member_UserObjectID"),
                 subscriberIds.value(int(r.below(std::uint64_t(subscriberIds.size())))))
            .insert();
        const QString mobile = phoneNumber(userId, QStringLiteral("Mobile"), QStringLiteral("91555%1").arg(6000000 + i),
                                           3);
        const QString destination = p.row(QStringLiteral("tbl_PersonalDestination"))
                                        .set(QStringLiteral("UserObjectID"), userId)
                                        .set(QStringLiteral("DisplayName"), QStringLiteral("Mobile"))
                                        .set(QStringLiteral("PhoneNumberObjectID"), mobile)
                                        .set(QStringLiteral("RingCount"), 4)
                                        .insert();
        const QString destinationGroup = p.row(QStringLiteral("tbl_PersonalDestinationGroup"))
                                             .set(QStringLiteral("UserObjectID"), userId)
                                             .set(QStringLiteral("DisplayName"), QStringLiteral("Find me"))
                                             .set(QStringLiteral("RingMode"), 0)
                                             .insert();
        p.row(QStringLiteral("tbl_PersonalDestinationGroupItem"))
            .set(QStringLiteral("PersonalDestinationGroupObjectID"), destinationGroup)
            .set(QStringLiteral("PersonalDestinationObjectID"), destination)
            .set(QStringLiteral("SortOrder"), 1)
            .insert();
        const QString ruleSet = p.row(QStringLiteral("tbl_PersonalRuleSet"))
                                    .set(QStringLiteral("UserObjectID"), userId)
                                    .set(QStringLiteral("DisplayName"), QStringLiteral("Working day"))
                                    .set(QStringLiteral("Active"), 1)
                                    .insert();
        p.row(QStringLiteral("tbl_PersonalRule"))
            .set(QStringLiteral("PersonalRuleSetObjectID"), ruleSet)
            .set(QStringLiteral("DisplayName"), QStringLiteral("Important callers find me"))
            .set(QStringLiteral("Action"), 0)
            .set(QStringLiteral("PersonalDestinationGroupObjectID"), destinationGroup)
            .set(QStringLiteral("ScheduleObjectID"), schedules.value(QStringLiteral("Weekdays")))
            .set(QStringLiteral("Priority"), 1)
            .set(QStringLiteral("Enabled"), 1)
            .insert();
        const QString dlist = p.row(QStringLiteral("tbl_PersonalDlist"))
                                  .set(QStringLiteral("UserObjectID"), userId)
                                  .set(QStringLiteral("DisplayName"), QStringLiteral("My team"))
                                  .set(QStringLiteral("ListNumber"), 1)
                                  .insert();
        for (int m = 0; m < 3; ++m)
            p.row(QStringLiteral("tbl_PersonalDlistMember"))
                .set(QStringLiteral("PersonalDlistObjectID"), dlist)
                .set(QStringLiteral("Member_UserObjectID"),
                     subscriberIds.value(int(r.below(std::uint64_t(subscriberIds.size())))))
                .setNull(QStringLiteral("Member_DistributionListObjectID"))
                .insert();
        // Private lists may hold public ones.
        p.row(QStringLiteral("tbl_PersonalDlistMember"))
            .set(QStringLiteral("PersonalDlistObjectID"), dlist)
            .setNull(QStringLiteral("Member_UserObjectID"))
            .set(QStringLiteral("Member_DistributionListObjectID"), lists.value(QStringLiteral("managers")))
            .insert();
    }

    // --- application handlers -------------------------------------------

    QString callHandler(const QString &name, const QVariant &subscriber, const QVariant &list, const QString &extension,
                        const QHash<QChar, std::pair<QString, QString>> &keys, const QString &scheduleSet)
    {
        QString id = handlers.value(name);
        if (id.isEmpty())
            id = r.guid();
        handlers[name] = id;
        p.row(QStringLiteral("tbl_Handler"))
            .set(QStringLiteral("ObjectID"), id)
            .set(QStringLiteral("DisplayName"), name)
            .set(QStringLiteral("HandlerType"), 1)
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .insert();
        p.row(QStringLiteral("tbl_CallHandler"))
            .set(QStringLiteral("ObjectID"), id)
            .set(QStringLiteral("DisplayName"), name)
            .set(QStringLiteral("Recipient_SubscriberObjectID"), subscriber)
            .set(QStringLiteral("Recipient_DistributionListObjectID"), list)
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .set(QStringLiteral("ScheduleSetObjectID"), scheduleSet)
            .set(QStringLiteral("TimeZoneObjectID"), localTimeZone)
            .set(QStringLiteral("IsPrimary"), 0)
            .set(QStringLiteral("AfterMessage_Action"), 1)
            .setNull(QStringLiteral("AfterMessage_TargetConversation"))
            .setNull(QStringLiteral("AfterMessage_TargetHandlerObjectID"))
            .set(QStringLiteral("MaxMsgLength"), 300)
            .set(QStringLiteral("EditMsg"), 1)
            .set(QStringLiteral("Language"), 1033)
            .set(QStringLiteral("VoiceNameStreamFileObjectID"), stream(QStringLiteral("VoiceNames"), 2))
            .insert();
        if (!extension.isEmpty())
            dtmf(extension, QStringLiteral("Parent_HandlerObjectID"), id);
        greetings(id, QString(), false);
        menu(id, keys);
        return id;
    }

    void applicationHandlers()
    {
        const QString weekdays = scheduleSets.value(QStringLiteral("Weekdays"));
        const QString allHours = scheduleSets.value(QStringLiteral("All Hours"));
        auto listOf = [&](const char *alias) { return QVariant(lists.value(QString::fromLatin1(alias))); };
        const QVariant none;
        // The directory handler's id is known up front: the opening greeting's 9 leads there.
        handlers[QStringLiteral("Company Directory")] = r.guid();
        handlers[QStringLiteral("Legacy Routing Target")] = r.guid();
        callHandler(QStringLiteral("Operator"), operatorSubscriber.isEmpty() ? none : QVariant(operatorSubscriber),
                    none, QStringLiteral("1000"), {}, weekdays);
        callHandler(QStringLiteral("Goodbye"), none, listOf("undeliverable"), QString(), {}, allHours);
        const QString sales = callHandler(QStringLiteral("Sales"), none, listOf("sales"), QStringLiteral("1001"), {},
                                          weekdays);
        const QString support = callHandler(QStringLiteral("Support"), none, listOf("support"), QStringLiteral("1002"),
                                            {}, scheduleSets.value(QStringLiteral("Extended Hours")));
        callHandler(QStringLiteral("After Hours"), none, listOf("undeliverable"), QString(), {}, allHours);
        callHandler(QStringLiteral("Recruitment Line"), none, listOf("humanresources"), QStringLiteral("1003"), {},
                    weekdays);
        callHandler(QStringLiteral("Holiday Closure"), none, listOf("undeliverable"), QString(), {}, allHours);
        callHandler(QStringLiteral("Sales After Hours"), none, listOf("sales"), QStringLiteral("1004"), {}, weekdays);
        callHandler(QStringLiteral("Opening Greeting"), none, listOf("undeliverable"), QString(),
                    {{u'1', {QStringLiteral("HandlerTransfer"), sales}},
                     {u'2', {QStringLiteral("HandlerTransfer"), support}},
                     {u'8',
                      {QStringLiteral("HandlerGreeting"), handlers.value(QStringLiteral("Legacy Routing Target"))}},
                     {u'9', {QStringLiteral("DirectoryLookup"), handlers.value(QStringLiteral("Company Directory"))}}},
                    allHours);
    }

    QString callAction(const QString &name, int action, const QVariant &conversationName, const QVariant &target)
    {
        const QString id = p.row(QStringLiteral("tbl_CallAction"))
                               .set(QStringLiteral("DisplayName"), name)
                               .set(QStringLiteral("Action"), action)
                               .set(QStringLiteral("TargetConversation"), conversationName)
                               .set(QStringLiteral("TargetHandlerObjectID"), target)
                               .insert();
        actions[name] = id;
        return id;
    }

    void interviewAndDirectoryHandlers()
    {
        callAction(QStringLiteral("Say goodbye"), 2, QStringLiteral("HandlerGreeting"),
                   handlers.value(QStringLiteral("Goodbye")));
        callAction(QStringLiteral("Hang up"), 1, QVariant(), QVariant());
        callAction(QStringLiteral("Send to operator"), 2, QStringLiteral("HandlerTransfer"),
                   handlers.value(QStringLiteral("Operator")));
        callAction(QStringLiteral("Opening greeting"), 2, QStringLiteral("HandlerGreeting"),
                   handlers.value(QStringLiteral("Opening Greeting")));
        callAction(QStringLiteral("Company directory"), 2, QStringLiteral("DirectoryLookup"),
                   handlers.value(QStringLiteral("Company Directory")));
        callAction(QStringLiteral("Subscriber sign-in"), 2, QStringLiteral("SubscriberSignIn"), QVariant());

        struct Directory
        {
            const char *name;
            const char *scope;
        };
        for (const Directory &d : {Directory{"Company Directory", nullptr}, Directory{"Sales Directory", "sales"},
                                   Directory{"Support Directory", "support"}}) {
            const QString name = QString::fromLatin1(d.name);
            QString id = handlers.value(name);
            if (id.isEmpty())
                id = r.guid();
            handlers[name] = id;
            // The support directory was saved without a name.
            const QVariant display = qstrcmp(d.name, "Support Directory") == 0 ? QVariant() : QVariant(name);
            p.row(QStringLiteral("tbl_Handler"))
                .set(QStringLiteral("ObjectID"), id)
                .set(QStringLiteral("DisplayName"), name)
                .set(QStringLiteral("HandlerType"), 3)
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .insert();
            p.row(QStringLiteral("tbl_DirectoryHandler"))
                .set(QStringLiteral("ObjectID"), id)
                .set(QStringLiteral("DisplayName"), display)
                .set(QStringLiteral("SearchByFirstName"), 0)
                .set(QStringLiteral("MaxMatches"), 8)
                .set(QStringLiteral("ScopeDistributionListObjectID"),
                     d.scope ? QVariant(lists.value(QString::fromLatin1(d.scope))) : QVariant())
                .set(QStringLiteral("ExitCallActionObjectID"), actions.value(QStringLiteral("Opening greeting")))
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .insert();
        }
        dtmf(QStringLiteral("1010"), QStringLiteral("Parent_HandlerObjectID"),
             handlers.value(QStringLiteral("Company Directory")));
        p.exec(QStringLiteral("UPDATE tbl_Location SET DirectoryHandlerObjectID = '%1' WHERE IsPrimary = 1")
                   .arg(handlers.value(QStringLiteral("Company Directory"))));

        struct Interview
        {
            const char *name;
            const char *list;
            QStringList questions;
        };
        const Interview interviews[] = {
            {"Job Applications",
             "humanresources",
             {QStringLiteral("Please say your full name."), QStringLiteral("Which position are you applying for?"),
              QStringLiteral("Please describe your experience."),
              QStringLiteral("What number can we call you back on?")}},
            {"Customer Feedback",
             "support",
             {QStringLiteral("What is your customer number?"), QStringLiteral("How was your experience?"),
              QStringLiteral("Is there anything we could do better?")}},
            {"Service Request",
             "facilities",
             {QStringLiteral("Where is the problem?"), QStringLiteral("Please describe the problem."),
              QStringLiteral("How urgent is it?"), QStringLiteral("Who should we contact?"),
              QStringLiteral("Any access instructions?")}},
            {"Event Registration",
             "marketing",
             {QStringLiteral("Which event would you like to attend?"), QStringLiteral("How many people are coming?"),
              QStringLiteral("Please spell your name.")}},
        };
        int ext = 1020;
        for (const Interview &iv : interviews) {
            const QString name = QString::fromLatin1(iv.name);
            const QString id = r.guid();
            handlers[name] = id;
            p.row(QStringLiteral("tbl_Handler"))
                .set(QStringLiteral("ObjectID"), id)
                .set(QStringLiteral("DisplayName"), name)
                .set(QStringLiteral("HandlerType"), 2)
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .insert();
            p.row(QStringLiteral("tbl_InterviewHandler"))
                .set(QStringLiteral("ObjectID"), id)
                .set(QStringLiteral("DisplayName"), name)
                .setNull(QStringLiteral("Recipient_SubscriberObjectID"))
                .set(QStringLiteral("Recipient_DistributionListObjectID"), lists.value(QString::fromLatin1(iv.list)))
                .set(QStringLiteral("AfterInterviewCallActionObjectID"), actions.value(QStringLiteral("Say goodbye")))
                .set(QStringLiteral("LocationObjectID"), localLocation)
                .set(QStringLiteral("Urgent"), qstrcmp(iv.name, "Service Request") == 0 ? 1 : 0)
                .insert();
            dtmf(QString::number(ext++), QStringLiteral("Parent_HandlerObjectID"), id);
            int number = 0;
            for (const QString &q : iv.questions)
                p.row(QStringLiteral("tbl_InterviewQuestion"))
                    .set(QStringLiteral("InterviewHandlerObjectID"), id)
                    .set(QStringLiteral("QuestionNumber"), ++number)
                    .set(QStringLiteral("QuestionText"), q)
                    .set(QStringLiteral("MaxResponseLength"), 60)
                    .set(QStringLiteral("StreamFileObjectID"), stream(QStringLiteral("Interviews"), 4))
                    .insert();
        }
        // One answering subscriber instead of a list.
        if (!operatorSubscriber.isEmpty())
            p.exec(QStringLiteral("UPDATE tbl_InterviewHandler SET Recipient_SubscriberObjectID = '%1', "
                                  "Recipient_DistributionListObjectID = NULL WHERE DisplayName = 'Event Registration'")
                       .arg(operatorSubscriber));
    }

    void routing()
    {
        struct Rule
        {
            const char *name;
            int type;
            const char *set;
            const char *action;
            bool enabled;
        };
        const Rule rules[] = {
            {"Attempt sign-in", 0, "All Hours", "Subscriber sign-in", true},
            {"Forwarded to subscriber", 1, "All Hours", "Opening greeting", true},
            {"After hours", 0, "Weekdays", "Say goodbye", true},
            {"Opening greeting", 0, "All Hours", "Opening greeting", true},
        };
        int index = 0;
        for (const Rule &ru : rules) {
            const QString id = p.row(QStringLiteral("tbl_RoutingRule"))
                                   .set(QStringLiteral("DisplayName"), QString::fromLatin1(ru.name))
                                   .set(QStringLiteral("RuleType"), ru.type)
                                   .set(QStringLiteral("RuleIndex"), ++index)
                                   .set(QStringLiteral("Enabled"), ru.enabled ? 1 : 0)
                                   .set(QStringLiteral("ScheduleSetObjectID"),
                                        scheduleSets.value(QString::fromLatin1(ru.set)))
                                   .set(QStringLiteral("CallActionObjectID"),
                                        actions.value(QString::fromLatin1(ru.action)))
                                   .set(QStringLiteral("LanguageCode"), 1033)
                                   .insert();
            p.row(QStringLiteral("tbl_RoutingRuleParameter")).set(QStringLiteral("RoutingRuleObjectID"), id).insert();
        }
    }

    void distributionListMembers()
    {
        for (const QString &d : names::departments())
            member(lists.value(QStringLiteral("allstaff")), QVariant(), lists.value(QString(d).remove(u' ').toLower()));
        member(lists.value(QStringLiteral("undeliverable")), administrator);
        member(lists.value(QStringLiteral("tempproject")),
               subscriberIds.isEmpty() ? QVariant(administrator) : QVariant(subscriberIds.value(0)));
        member(lists.value(QStringLiteral("valbrule")), QVariant(), lists.value(QStringLiteral("support")));
    }

    void console()
    {
        struct Node
        {
            const char *parent;
            const char *name;
            const char *page;
        };
        const Node nodes[] = {
            {nullptr, "System", nullptr},
            {"System", "Configuration", "SystemConfiguration"},
            {"System", "Licenses", "Licenses"},
            {"System", "Schedules", "Schedules"},
            {nullptr, "Subscribers", nullptr},
            {"Subscribers", "Subscribers", "SubscriberSearch"},
            {"Subscribers", "Templates", "SubscriberTemplates"},
            {"Subscribers", "Classes of Service", "ClassOfService"},
            {nullptr, "Call Management", nullptr},
            {"Call Management", "Call Handlers", "CallHandlers"},
            {"Call Management", "Directory Handlers", "DirectoryHandlers"},
            {"Call Management", "Interview Handlers", "InterviewHandlers"},
            {"Call Management", "Call Routing", "RoutingRules"},
            {nullptr, "Telephony", nullptr},
            {"Telephony", "Ports", "Ports"},
            {"Telephony", "Switches", "Switches"},
            {nullptr, "Networking", nullptr},
            {"Networking", "Locations", "Locations"},
        };
        QHash<QString, QString> ids;
        int order = 0;
        for (const Node &n : nodes) {
            const QString parent = n.parent ? ids.value(QString::fromLatin1(n.parent)) : QString();
            const QString id =
                p.row(QStringLiteral("tbl_TreeControlNode"))
                    .set(QStringLiteral("ParentObjectID"), parent.isEmpty() ? QVariant() : QVariant(parent))
                    .set(QStringLiteral("DisplayName"), QString::fromLatin1(n.name))
                    .set(QStringLiteral("PageName"), n.page ? QVariant(QString::fromLatin1(n.page)) : QVariant())
                    .set(QStringLiteral("SortOrder"), order + 1)
                    .set(QStringLiteral("PrivilegeObjectID"), privileges.value((order + 1) % privileges.size()))
                    .insert();
            ++order;
            if (!n.parent)
                ids[QString::fromLatin1(n.name)] = id;
        }

        struct Text
        {
            int id;
            const char *en;
            const char *fr;
        };
        const Text texts[] = {{101, "Please enter your extension.", "Veuillez composer votre poste."},
                              {102, "Please enter your PIN.", "Veuillez composer votre code."},
                              {103, "You have no new messages.", "Vous n'avez aucun nouveau message."},
                              {104, "Goodbye.", "Au revoir."},
                              {105, "Your message has been saved.", "Votre message a été enregistré."}};
        for (const Text &t : texts) {
            p.row(QStringLiteral("tbl_LocalizedText"))
                .set(QStringLiteral("LanguageCode"), 1033)
                .set(QStringLiteral("TextID"), t.id)
                .set(QStringLiteral("Text"), QString::fromLatin1(t.en))
                .insert();
            p.row(QStringLiteral("tbl_LocalizedText"))
                .set(QStringLiteral("LanguageCode"), 3084)
                .set(QStringLiteral("TextID"), t.id)
                .set(QStringLiteral("Text"), QString::fromUtf8(t.fr))
                .insert();
        }

        for (int i = 0; i < 8; ++i)
            p.row(QStringLiteral("tbl_Message"))
                .set(QStringLiteral("FolderInfoObjectID"), folders.value(0))
                .set(QStringLiteral("DistributionListObjectID"),
                     lists.value(i % 2 ? QStringLiteral("allstaff") : QStringLiteral("sales")))
                .set(QStringLiteral("Subject"), names::subjects().value(i))
                .set(QStringLiteral("Sender"),
                     subscriberIds.isEmpty() ? QStringLiteral("administrator") : QStringLiteral("15552000"))
                .set(QStringLiteral("Submitted"), Populator::randomDate(r, 2006, 2006))
                .set(QStringLiteral("Urgent"), i == 3 ? 1 : 0)
                .insert();

        const char *operations[] = {"csp_SubscriberCreate", "csp_CredentialResetPin", "csp_CallHandlerSetGreeting",
                                    "csp_DistributionListMemberAdd"};
        for (int i = 0; i < 12 && !subscriberIds.isEmpty(); ++i)
            p.row(QStringLiteral("tbl_AuditLog"))
                .set(QStringLiteral("ChangeTime"), Populator::dateText(2006, 3, 1 + i, 9 + i % 8, 5 * i, 0))
                .set(QStringLiteral("Component"), i % 3 ? QStringLiteral("OrvexConsole") : QStringLiteral("KORVA"))
                .set(QStringLiteral("AuditAlias"), QStringLiteral("HARBOURPOINT\\administrator"))
                .set(QStringLiteral("Operation"), QString::fromLatin1(operations[i % 4]))
                .set(QStringLiteral("TargetObjectID"), subscriberIds.value(i % subscriberIds.size()))
                .insert();
    }

    // Copies of rows that lost to another location's change of the same object.
    void replicationConflicts()
    {
        auto conflict = [this](const QString &table, const QString &id, const QString &change, int day) {
            const QString conflictId = r.guid();
            p.exec(QStringLiteral(
                       "INSERT INTO conflict_%1 SELECT '%2', *, '%3', 'ORVEX-EASTFIEL' FROM %1 WHERE ObjectID = '%4'")
                       .arg(table, conflictId, Populator::dateText(2006, 5, day, 3, 15, 0), id));
            p.exec(QStringLiteral("UPDATE conflict_%1 SET %2 WHERE ConflictID = '%3'").arg(table, change, conflictId));
        };
        for (int i = 0; i < 2 && i < subscriberIds.size(); ++i) {
            conflict(QStringLiteral("tbl_User"), subscriberIds[i],
                     QStringLiteral("DisplayName = DisplayName || ' (old)'"), 10 + i);
            conflict(QStringLiteral("tbl_CallHandler"), subscriberHandlers[i], QStringLiteral("MaxMsgLength = 120"),
                     10 + i);
        }
        conflict(QStringLiteral("tbl_DistributionList"), lists.value(QStringLiteral("sales")),
                 QStringLiteral("DisplayName = 'Sales Team'"), 12);
    }

    // The faults a directory collects over the years, each where the browser
    // has to cope with it.
    void plantFaults()
    {
        // A "go to" action whose target conversation was never filled in.
        const QString broken = callAction(QStringLiteral("Misconfigured transfer"), 2, QVariant(), QVariant());
        p.row(QStringLiteral("tbl_RoutingRule"))
            .set(QStringLiteral("DisplayName"), QStringLiteral("Test rule - do not use"))
            .set(QStringLiteral("RuleType"), 0)
            .set(QStringLiteral("RuleIndex"), 99)
            .set(QStringLiteral("Enabled"), 0)
            .set(QStringLiteral("ScheduleSetObjectID"), scheduleSets.value(QStringLiteral("All Hours")))
            .set(QStringLiteral("CallActionObjectID"), broken)
            .set(QStringLiteral("LanguageCode"), 1033)
            .insert();

        // A handler left behind when its call handler row was deleted; the
        // opening greeting's key 8 still leads there.
        p.row(QStringLiteral("tbl_Handler"))
            .set(QStringLiteral("ObjectID"), handlers.value(QStringLiteral("Legacy Routing Target")))
            .set(QStringLiteral("DisplayName"), QStringLiteral("Legacy Routing Target"))
            .set(QStringLiteral("HandlerType"), 1)
            .set(QStringLiteral("LocationObjectID"), localLocation)
            .insert();

        // An extension whose handler is gone.
        dtmf(QStringLiteral("1098"), QStringLiteral("Parent_HandlerObjectID"), dangling(1));

        // A greeting saved without its type, and a recording of it.
        const QString holiday = handlers.value(QStringLiteral("Holiday Closure"));
        p.row(QStringLiteral("tbl_Greeting"))
            .set(QStringLiteral("CallHandlerObjectID"), holiday)
            .set(QStringLiteral("GreetingType"), QString(QLatin1String("")))
            .set(QStringLiteral("Enabled"), 0)
            .set(QStringLiteral("PlayWhat"), 1)
            .set(QStringLiteral("AfterGreeting_Action"), 4)
            .setNull(QStringLiteral("AfterGreeting_TargetConversation"))
            .setNull(QStringLiteral("AfterGreeting_TargetHandlerObjectID"))
            .setNull(QStringLiteral("TimeExpires"))
            .insert();
        p.row(QStringLiteral("tbl_GreetingStreamFile"))
            .set(QStringLiteral("Greeting_CallHandlerObjectID"), holiday)
            .set(QStringLiteral("GreetingType"), QString(QLatin1String("")))
            .set(QStringLiteral("LanguageCode"), 1033)
            .set(QStringLiteral("StreamFileObjectID"), stream(QStringLiteral("Greetings"), 9))
            .insert();

        // References to objects that were deleted behind the directory's back.
        p.exec(QStringLiteral(
                   "UPDATE tbl_CallHandler SET ScheduleSetObjectID = '%1' WHERE DisplayName = 'Sales After Hours'")
                   .arg(dangling(2)));
        member(lists.value(QStringLiteral("managers")), dangling(3));
        member(lists.value(QStringLiteral("managers")), QVariant(), QVariant());
        const QString oldPager = device(dangling(4), QStringLiteral("Old Pager"), 2, false, QVariant());
        p.row(QStringLiteral("tbl_NotificationDevicePager"))
            .set(QStringLiteral("ObjectID"), oldPager)
            .set(QStringLiteral("PagerNumber"), QStringLiteral("15559990000"))
            .set(QStringLiteral("PagerType"), 0)
            .insert();
        if (subscriberIds.size() > 1)
            p.exec(QStringLiteral("UPDATE tbl_UserSubscriber SET CallHandlerObjectID = '%1' WHERE ObjectID = '%2'")
                       .arg(dangling(5), subscriberIds.last()));
    }
};

} // namespace

DirectoryFacts populateDirectory(Populator &p, const DemoOptions &options)
{
    DirectoryBuilder builder(p, options);
    builder.run();
    return builder.facts;
}

} // namespace korva::demo
