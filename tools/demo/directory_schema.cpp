// The tables, views and custom types of the directory database OrvexDirDB.
#include "directory.h"

namespace korva::demo {

namespace {

void addCustomTypes(DatabaseDef &db)
{
    CustomTypeDef action;
    action.name = QStringLiteral("CallAction");
    action.description = QStringLiteral("What the conversation does next, after a greeting, a key or a rule.");
    action.restriction = QStringLiteral("Enumeration");
    action.values = {
        {QStringLiteral("0"), QStringLiteral("Ignore (stay where the caller is)")},
        {QStringLiteral("1"), QStringLiteral("Hang up")},
        {QStringLiteral("2"), QStringLiteral("Go to the target conversation or handler")},
        {QStringLiteral("3"), QStringLiteral("Play the error greeting")},
        {QStringLiteral("4"), QStringLiteral("Take a message")},
        {QStringLiteral("5"), QStringLiteral("Skip the greeting")},
        {QStringLiteral("6"), QStringLiteral("Restart the greeting")},
        {QStringLiteral("7"), QStringLiteral("Transfer to the alternate contact number")},
        {QStringLiteral("8"), QStringLiteral("Route from the next routing rule")},
    };
    db.customTypes << action;

    CustomTypeDef greeting;
    greeting.name = QStringLiteral("GreetingType");
    greeting.description = QStringLiteral("Which of a handler's greetings a row describes.");
    greeting.restriction = QStringLiteral("Enumeration");
    greeting.values = {
        {QStringLiteral("Standard"), QStringLiteral("Played during the handler's business hours")},
        {QStringLiteral("OffHours"), QStringLiteral("Played outside business hours")},
        {QStringLiteral("Alternate"), QStringLiteral("Overrides all others while enabled")},
        {QStringLiteral("Busy"), QStringLiteral("Played when the extension is busy")},
        {QStringLiteral("Internal"), QStringLiteral("Played to internal callers")},
        {QStringLiteral("Error"), QStringLiteral("Played after an invalid key")},
        {QStringLiteral("Holiday"), QStringLiteral("Played on days of a holiday schedule")},
    };
    db.customTypes << greeting;

    CustomTypeDef transfer;
    transfer.name = QStringLiteral("TransferOptionType");
    transfer.description = QStringLiteral("Which transfer rule of a handler a row describes.");
    transfer.restriction = QStringLiteral("Enumeration");
    transfer.values = {
        {QStringLiteral("Standard"), QStringLiteral("Applies during business hours")},
        {QStringLiteral("OffHours"), QStringLiteral("Applies outside business hours")},
        {QStringLiteral("Alternate"), QStringLiteral("Overrides the others while enabled")},
    };
    db.customTypes << transfer;

    CustomTypeDef handler;
    handler.name = QStringLiteral("HandlerType");
    handler.description = QStringLiteral("Kind of handler behind a row of tbl_Handler.");
    handler.restriction = QStringLiteral("Enumeration");
    handler.values = {
        {QStringLiteral("1"), QStringLiteral("Call handler")},
        {QStringLiteral("2"), QStringLiteral("Interview handler")},
        {QStringLiteral("3"), QStringLiteral("Directory handler")},
    };
    db.customTypes << handler;

    CustomTypeDef device;
    device.name = QStringLiteral("NotificationDeviceType");
    device.description = QStringLiteral("How a notification device reaches the subscriber.");
    device.restriction = QStringLiteral("Enumeration");
    device.values = {
        {QStringLiteral("1"), QStringLiteral("Phone: the system calls and plays the conversation")},
        {QStringLiteral("2"), QStringLiteral("Pager")},
        {QStringLiteral("3"), QStringLiteral("SMTP mail")},
        {QStringLiteral("4"), QStringLiteral("SMS through an SMPP provider")},
        {QStringLiteral("5"), QStringLiteral("MP3 copy of the message to a folder")},
    };
    db.customTypes << device;

    CustomTypeDef config;
    config.name = QStringLiteral("ConfigurationValueType");
    config.description = QStringLiteral("Kind of a configuration node and, for settings, the type of its value.");
    config.restriction = QStringLiteral("Enumeration");
    config.values = {
        {QStringLiteral("0"), QStringLiteral("Folder")},
        {QStringLiteral("1"), QStringLiteral("Root of the configuration")},
        {QStringLiteral("3"), QStringLiteral("Long integer")},
        {QStringLiteral("5"), QStringLiteral("Floating point")},
        {QStringLiteral("7"), QStringLiteral("Date")},
        {QStringLiteral("8"), QStringLiteral("String")},
        {QStringLiteral("11"), QStringLiteral("Boolean")},
        {QStringLiteral("88"), QStringLiteral("Identifier (GUID)")},
    };
    db.customTypes << config;

    CustomTypeDef credential;
    credential.name = QStringLiteral("CredentialType");
    credential.description = QStringLiteral("Kind of secret a credential row holds.");
    credential.restriction = QStringLiteral("Enumeration");
    credential.values = {
        {QStringLiteral("3"), QStringLiteral("Phone PIN")},
        {QStringLiteral("4"), QStringLiteral("Console password")},
    };
    db.customTypes << credential;

    CustomTypeDef name;
    name.name = QStringLiteral("DisplayName64");
    name.description = QStringLiteral("A display name as the administration console accepts it.");
    name.restriction = QStringLiteral("Length");
    name.minLength = 1;
    name.maxLength = 64;
    db.customTypes << name;

    CustomTypeDef pin;
    pin.name = QStringLiteral("PinLength");
    pin.description = QStringLiteral("Length limits that any credential policy may set.");
    pin.restriction = QStringLiteral("Length");
    pin.minLength = 4;
    pin.maxLength = 24;
    db.customTypes << pin;

    CustomTypeDef digits;
    digits.name = QStringLiteral("DtmfDigits");
    digits.description = QStringLiteral("Digits a caller can key on a phone.");
    digits.restriction = QStringLiteral("Regex");
    digits.regexDescription = QStringLiteral("One to forty of the keys 0-9, * and #.");
    digits.expression = QStringLiteral("^[0-9*#]{1,40}$");
    db.customTypes << digits;

    CustomTypeDef alias;
    alias.name = QStringLiteral("AliasName");
    alias.description = QStringLiteral("An alias as the directory accepts it.");
    alias.restriction = QStringLiteral("Regex");
    alias.regexDescription = QStringLiteral("Letters, digits, full stop, hyphen and underscore; no blanks.");
    alias.expression = QStringLiteral("^[A-Za-z0-9._-]{1,64}$");
    db.customTypes << alias;

    CustomTypeDef lcid;
    lcid.name = QStringLiteral("LanguageId");
    lcid.description = QStringLiteral("A Windows locale id for which a prompt set is installed.");
    lcid.restriction = QStringLiteral("LCID");
    db.customTypes << lcid;

    CustomTypeDef objectId;
    objectId.name = QStringLiteral("ObjectIdentifier");
    objectId.description = QStringLiteral("A GUID in its 36-character text form; compared without regard to case.");
    db.customTypes << objectId;
}

} // namespace

DatabaseDef directoryDatabase()
{
    DatabaseDef db;
    db.name = QStringLiteral("OrvexDirDB");
    db.dictionaryFile = QStringLiteral("OrvexDirDB.xml");
    db.description = QStringLiteral("Directory database: subscribers, handlers, distribution lists, telephony and "
                                    "system configuration of one Orvex server.");
    addCustomTypes(db);
    auto T = [&db](const QString &name, const QString &description) { return addTable(db, name, description); };

    // --- reference data -----------------------------------------------------

    T(QStringLiteral("tbl_TimeZone"), QStringLiteral("Time zones that schedules, handlers and subscribers can use."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .smallint(QStringLiteral("BiasMinutes"), QStringLiteral("Offset from UTC in minutes, west negative."))
        .notes(QStringLiteral("Daylight saving adds the DaylightBias on top."))
        .smallint(QStringLiteral("DaylightBias"),
                  QStringLiteral("Extra offset in minutes while daylight saving applies."))
        .text(QStringLiteral("StandardName"), 64, QStringLiteral("Name of standard time."))
        .text(QStringLiteral("DaylightName"), 64, QStringLiteral("Name of daylight saving time."))
        .integer(QStringLiteral("TimeZoneIndex"), QStringLiteral("Index of the zone in the operating system's list."));

    T(QStringLiteral("tbl_WaveFormat"), QStringLiteral("Audio formats in which the system records and stores sound."))
        .entity(QStringLiteral("wave format"))
        .id()
        .text(QStringLiteral("FormatName"), 64, QStringLiteral("Name of the format as shown in the console."))
        .integer(QStringLiteral("FormatTag"), QStringLiteral("Wave format tag of the codec."))
        .integer(QStringLiteral("SamplesPerSec"), QStringLiteral("Sample rate in samples per second."))
        .tinyint(QStringLiteral("BitsPerSample"), QStringLiteral("Bits of each sample (0 for compressed formats)."))
        .tinyint(QStringLiteral("Channels"), QStringLiteral("Number of channels; always 1 for telephony."))
        .bit(QStringLiteral("IsDefault"), QStringLiteral("1 for the format new recordings use."));

    T(QStringLiteral("tbl_Conversation"), QStringLiteral("Conversations: the call flows the system can run."))
        .tableNotes(
            QStringLiteral("TargetConversation columns elsewhere hold the Name of a row here, not its ObjectID."))
        .id()
        .text(QStringLiteral("Name"), 64, QStringLiteral("Name by which actions name the conversation."))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("Description"), 256)
        .bit(QStringLiteral("SubscriberConversation"),
             QStringLiteral("1 when the conversation needs a signed-in subscriber."))
        .bit(QStringLiteral("AllowedAsTarget"), QStringLiteral("1 when actions may send callers to it."));

    T(QStringLiteral("tbl_Quota"), QStringLiteral("Mailbox quota policies, referenced by classes of service."))
        .tableNotes(QStringLiteral("The mailbox database keeps its own copy of the policies it enforces."))
        .id(QStringLiteral("QuotaObjectID"), QStringLiteral("Unique identifier of the quota policy."))
        .text(QStringLiteral("DisplayName"), 64)
        .integer(QStringLiteral("Warning"), QStringLiteral("Mailbox size in KB at which the subscriber is warned."))
        .integer(QStringLiteral("Send"), QStringLiteral("Mailbox size in KB above which sending is refused."))
        .integer(QStringLiteral("Receive"), QStringLiteral("Mailbox size in KB above which new messages are refused."))
        .notes(QStringLiteral("0 means no limit."));

    T(QStringLiteral("tbl_AccountLogonPolicy"), QStringLiteral("Rules for failed sign-ins and account lockout."))
        .entity(QStringLiteral("logon policy"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .integer(QStringLiteral("MaxFailedLogons"), QStringLiteral("Failed sign-ins after which the account locks."))
        .integer(QStringLiteral("LockoutDuration"),
                 QStringLiteral("Minutes an account stays locked; 0 until an administrator unlocks it."))
        .integer(QStringLiteral("ResetCountAfter"),
                 QStringLiteral("Minutes after which the failed sign-in count starts again."));

    T(QStringLiteral("tbl_CredentialPolicy"), QStringLiteral("Rules for PINs and passwords."))
        .entity(QStringLiteral("credential policy"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("MinLength"), QStringLiteral("Fewest characters a new credential may have."))
        .type(QStringLiteral("PinLength"))
        .smallint(QStringLiteral("MaxDays"),
                  QStringLiteral("Days after which the credential must be changed; 0 for never."))
        .tinyint(QStringLiteral("HistoryCount"),
                 QStringLiteral("Number of previous credentials that may not be reused."))
        .bit(QStringLiteral("TrivialCheck"),
             QStringLiteral("1 to refuse repeated or ascending digits and the user's extension."));

    T(QStringLiteral("tbl_RestrictionTable"),
      QStringLiteral("Restriction tables: which numbers subscribers may dial out to."))
        .entity(QStringLiteral("restriction table"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("DefaultBlocked"), QStringLiteral("1 when numbers that match no pattern are refused."))
        .tinyint(QStringLiteral("MinDigits"), QStringLiteral("Shortest number that is allowed at all."))
        .tinyint(QStringLiteral("MaxDigits"), QStringLiteral("Longest number that is allowed at all."));

    T(QStringLiteral("tbl_RestrictionPattern"), QStringLiteral("Dial patterns of a restriction table, tried in order."))
        .entity(QStringLiteral("restriction pattern"))
        .id()
        .ref(QStringLiteral("RestrictionTableObjectID"), QStringLiteral("tbl_RestrictionTable"))
        .text(QStringLiteral("Pattern"), 40, QStringLiteral("Digits to match; * matches any digits, ? one digit."))
        .bit(QStringLiteral("Blocked"), QStringLiteral("1 when numbers matching the pattern are refused."))
        .smallint(QStringLiteral("SortOrder"));

    T(QStringLiteral("tbl_Cos"), QStringLiteral("Classes of service: the features and limits a subscriber gets."))
        .entity(QStringLiteral("class of service"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("AccountLogonPolicyObjectID"), QStringLiteral("tbl_AccountLogonPolicy"))
        .ref(QStringLiteral("CredentialPolicyObjectID"), QStringLiteral("tbl_CredentialPolicy"))
        .ref(QStringLiteral("QuotaObjectID"), QStringLiteral("tbl_Quota"))
        .ref(QStringLiteral("RestrictionTableObjectID"), QStringLiteral("tbl_RestrictionTable"),
             QStringLiteral("Restriction table applied to transfers and notification numbers."))
        .integer(QStringLiteral("MaxMsgLength"),
                 QStringLiteral("Longest message, in seconds, a subscriber of this class may record."))
        .bit(QStringLiteral("CanRecordName"), QStringLiteral("1 when subscribers may record their own voice name."))
        .bit(QStringLiteral("ListInDirectoryRequired"),
             QStringLiteral("1 when subscribers must be listed in the directory."))
        .tinyint(QStringLiteral("MaxPersonalRules"), QStringLiteral("Number of personal call routing rules allowed."))
        .bit(QStringLiteral("AccessLiveReply"),
             QStringLiteral("1 when subscribers may call a sender back from a message."));

    T(QStringLiteral("tbl_Schedule"), QStringLiteral("Schedules: weekly business hours or holiday lists."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("IsHoliday"), QStringLiteral("1 for a holiday schedule, whose details are whole days."))
        .ref(QStringLiteral("TimeZoneObjectID"), QStringLiteral("tbl_TimeZone"));

    T(QStringLiteral("tbl_ScheduleDetail"), QStringLiteral("Active periods of a schedule."))
        .entity(QStringLiteral("schedule period"))
        .id()
        .ref(QStringLiteral("ScheduleObjectID"), QStringLiteral("tbl_Schedule"))
        .smallint(QStringLiteral("StartTime"), QStringLiteral("Start of the period in minutes after midnight."))
        .smallint(QStringLiteral("EndTime"), QStringLiteral("End of the period in minutes after midnight."))
        .tinyint(QStringLiteral("DaysOfWeek"),
                 QStringLiteral("Days the period applies: 1 = Sunday, 2 = Monday, 4 = Tuesday, ... added up."))
        .datetime(QStringLiteral("StartDate"), QStringLiteral("First day of a holiday period."))
        .datetime(QStringLiteral("EndDate"), QStringLiteral("Last day of a holiday period."));

    T(QStringLiteral("tbl_ScheduleSet"),
      QStringLiteral("Schedule sets: the schedules that together give a handler its hours."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("OwnerLocationObjectID"), QStringLiteral("tbl_Location"),
             QStringLiteral("Location that owns the schedule set."));

    T(QStringLiteral("tbl_ScheduleSetMemberMap"), QStringLiteral("Which schedules belong to which schedule set."))
        .entity(QStringLiteral("schedule set member"))
        .id()
        .ref(QStringLiteral("ScheduleSetObjectID"), QStringLiteral("tbl_ScheduleSet"))
        .ref(QStringLiteral("ScheduleObjectID"), QStringLiteral("tbl_Schedule"))
        .bit(QStringLiteral("Exclude"),
             QStringLiteral("1 when the schedule removes hours (holidays) instead of adding them."));

    T(QStringLiteral("tbl_Privilege"), QStringLiteral("Single administrative permissions."))
        .id()
        .text(QStringLiteral("PrivilegeName"), 64, QStringLiteral("Name of the permission."))
        .text(QStringLiteral("Description"), 256)
        .text(QStringLiteral("Category"), 32, QStringLiteral("Console page the permission belongs to."));

    T(QStringLiteral("tbl_Role"), QStringLiteral("Administrative roles: named sets of privileges."))
        .id()
        .text(QStringLiteral("RoleName"), 64, QStringLiteral("Name of the role."))
        .text(QStringLiteral("RoleDescription"), 256, QStringLiteral("What the role is for."))
        .bit(QStringLiteral("IsSystem"),
             QStringLiteral("1 for roles that come with the product and cannot be deleted."));

    T(QStringLiteral("tbl_RolePrivilegeMap"), QStringLiteral("Which privileges a role grants."))
        .entity(QStringLiteral("role privilege"))
        .id()
        .ref(QStringLiteral("RoleObjectID"), QStringLiteral("tbl_Role"))
        .ref(QStringLiteral("PrivilegeObjectID"), QStringLiteral("tbl_Privilege"))
        .bit(QStringLiteral("ReadOnly"), QStringLiteral("1 when the privilege is granted for reading only."));

    T(QStringLiteral("tbl_VMSTemplate"),
      QStringLiteral("Server templates: the roles a new messaging server starts with."))
        .entity(QStringLiteral("server template"))
        .id()
        .text(QStringLiteral("TemplateName"), 64, QStringLiteral("Name of the template."))
        .text(QStringLiteral("Description"), 256)
        .names({QStringLiteral("Single Server"), QStringLiteral("Media Server"), QStringLiteral("Messaging Server")})
        .rows(3);

    T(QStringLiteral("tbl_VMSRole"), QStringLiteral("Roles a messaging server can take on."))
        .entity(QStringLiteral("server role"))
        .id()
        .text(QStringLiteral("RoleName"), 64, QStringLiteral("Name of the role."))
        .text(QStringLiteral("Description"), 256)
        .text(QStringLiteral("ServiceName"), 64, QStringLiteral("Name of the service that performs the role."));

    T(QStringLiteral("tbl_VMSRoleTemplate"), QStringLiteral("Which roles a server template includes."))
        .entity(QStringLiteral("template role"))
        .id()
        .ref(QStringLiteral("VMSRoleObjectID"), QStringLiteral("tbl_VMSRole"))
        .ref(QStringLiteral("VMSTemplateObjectID"), QStringLiteral("tbl_VMSTemplate"))
        .rows(8);

    T(QStringLiteral("tbl_Location"),
      QStringLiteral("Locations: this server and the other messaging systems it exchanges messages with."))
        .tableNotes(QStringLiteral("Each networked location also has a row with the same ObjectID in one of "
                                   "tbl_LocationVMS, tbl_LocationAMIS, tbl_LocationBridge or tbl_LocationVPIM."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("DTMFAccessID"), 40,
              QStringLiteral("Dial id: digits callers key to address this location."))
        .type(QStringLiteral("DtmfDigits"))
        .tinyint(QStringLiteral("LocationType"),
                 QStringLiteral("0 this server, 1 Orvex server, 2 AMIS, 3 bridge, 4 VPIM."))
        .text(QStringLiteral("SmtpDomain"), 128, QStringLiteral("Mail domain of the location."))
        .ref(QStringLiteral("DtmfAccessIdObjectID"), QStringLiteral("tbl_DtmfAccessId"),
             QStringLiteral("The dial id entry of the location."))
        .ref(QStringLiteral("TimeZoneObjectID"), QStringLiteral("tbl_TimeZone"))
        .ref(QStringLiteral("DirectoryHandlerObjectID"), QStringLiteral("tbl_DirectoryHandler"),
             QStringLiteral("Directory handler callers reach by keying the location's dial id and #."))
        .bit(QStringLiteral("IsPrimary"), QStringLiteral("1 for the location of this server."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_VMSServer"), QStringLiteral("Messaging servers of the network."))
        .entity(QStringLiteral("messaging server"))
        .id()
        .text(QStringLiteral("ServerName"), 64)
        .varchar(QStringLiteral("IPAddress"), 15)
        .ref(QStringLiteral("LocationVMSObjectID"), QStringLiteral("tbl_LocationVMS"))
        .ref(QStringLiteral("VMSTemplateObjectID"), QStringLiteral("tbl_VMSTemplate"))
        .text(QStringLiteral("Version"), 32, QStringLiteral("Product version installed on the server."))
        .bit(QStringLiteral("IsPrimary"), QStringLiteral("1 for the server that owns the directory."));

    T(QStringLiteral("tbl_VMSServerRole"), QStringLiteral("Roles each messaging server performs."))
        .entity(QStringLiteral("server role assignment"))
        .id()
        .ref(QStringLiteral("VMSServerObjectID"), QStringLiteral("tbl_VMSServer"))
        .ref(QStringLiteral("VMSRoleObjectID"), QStringLiteral("tbl_VMSRole"))
        .bit(QStringLiteral("Enabled"));

    T(QStringLiteral("tbl_LocationVMS"), QStringLiteral("Details of locations that are Orvex servers."))
        .entity(QStringLiteral("Orvex location"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the location's row in tbl_Location."))
        .ref(QStringLiteral("VMSServerObjectID"), QStringLiteral("tbl_VMSServer"))
        .text(QStringLiteral("RemoteVersion"), 32, QStringLiteral("Product version the remote location reported."))
        .datetime(QStringLiteral("LastSyncTime"), QStringLiteral("Last directory replication with the location."));

    T(QStringLiteral("tbl_LocationAMIS"), QStringLiteral("Details of locations reached by AMIS analog networking."))
        .entity(QStringLiteral("AMIS location"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the location's row in tbl_Location."))
        .text(QStringLiteral("DeliveryNumber"), 40, QStringLiteral("Number the system dials to deliver messages."))
        .integer(QStringLiteral("NodeID"), QStringLiteral("AMIS node id of the remote system."))
        .text(QStringLiteral("OutboundDialPrefix"), 8, QStringLiteral("Trunk access code dialled first."));

    T(QStringLiteral("tbl_LocationBridge"), QStringLiteral("Details of locations reached through a networking bridge."))
        .entity(QStringLiteral("bridge location"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the location's row in tbl_Location."))
        .text(QStringLiteral("BridgeServerName"), 64, QStringLiteral("Server that runs the bridge."))
        .integer(QStringLiteral("NodeID"), QStringLiteral("Node id of the remote system on the bridge."));

    T(QStringLiteral("tbl_LocationVPIM"), QStringLiteral("Details of locations reached by VPIM over SMTP."))
        .entity(QStringLiteral("VPIM location"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the location's row in tbl_Location."))
        .text(QStringLiteral("SmtpDomain"), 128, QStringLiteral("Domain VPIM messages are addressed to."))
        .text(QStringLiteral("RemotePhonePrefix"), 16,
              QStringLiteral("Prefix added to remote extensions to form phone numbers."))
        .ref(QStringLiteral("WaveFormatObjectID"), QStringLiteral("tbl_WaveFormat"),
             QStringLiteral("Audio format messages are sent in."));

    T(QStringLiteral("tbl_BridgeLocationPrefix"), QStringLiteral("Dial prefixes that address bridge locations."))
        .entity(QStringLiteral("bridge prefix"))
        .id()
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .text(QStringLiteral("Prefix"), 16, QStringLiteral("Digits that select the location."))
        .type(QStringLiteral("DtmfDigits"));

    T(QStringLiteral("tbl_GlobalLocation"),
      QStringLiteral("Locations known from directory replication, as other servers describe them."))
        .entity(QStringLiteral("replicated location"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("DTMFAccessID"), 40, QStringLiteral("Dial id of the location."))
        .text(QStringLiteral("HomeServer"), 64, QStringLiteral("Server that owns the location."))
        .datetime(QStringLiteral("LastReplicated"), QStringLiteral("When the row last arrived by replication."));

    T(QStringLiteral("tbl_Application"),
      QStringLiteral("Applications registered with the server (kept for compatibility)."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("ApplicationName"), 128, QStringLiteral("Name the application registers under."))
        .pick({QStringLiteral("Orvex.FaxGateway"), QStringLiteral("Orvex.Tts"), QStringLiteral("Orvex.WebInbox")})
        .text(QStringLiteral("Version"), 32, QStringLiteral("Version of the application."))
        .pick({QStringLiteral("5.0.2"), QStringLiteral("4.1.0")})
        .bit(QStringLiteral("Enabled"))
        .names({QStringLiteral("Fax Gateway"), QStringLiteral("Text to Speech"), QStringLiteral("Web Inbox")})
        .rows(3);

    T(QStringLiteral("tbl_TaskPeriodic"), QStringLiteral("Maintenance tasks that run on a timer."))
        .entity(QStringLiteral("periodic task"))
        .id()
        .text(QStringLiteral("ClassName"), 128, QStringLiteral("Class that performs the task."))
        .ref(QStringLiteral("ApplicationObjectID"), QStringLiteral("tbl_Application"))
        .integer(QStringLiteral("IntervalMinutes"), QStringLiteral("Minutes between two runs."))
        .datetime(QStringLiteral("LastRun"), QStringLiteral("When the task last ran."))
        .datetime(QStringLiteral("NextRun"), QStringLiteral("When the task runs next."))
        .bit(QStringLiteral("Enabled"));

    T(QStringLiteral("tbl_MailboxStoreMap"),
      QStringLiteral("Mailbox stores: the mailbox databases subscribers' messages live in."))
        .entity(QStringLiteral("mailbox store"))
        .id()
        .text(QStringLiteral("Alias"), 64)
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("DatabaseName"), 128, QStringLiteral("Name of the mailbox database."))
        .text(QStringLiteral("ServerName"), 64)
        .integer(QStringLiteral("MaxMailboxes"),
                 QStringLiteral("Mailboxes the store accepts before new ones go elsewhere."))
        .bit(QStringLiteral("Mounted"), QStringLiteral("1 while the store is available."))
        .ref(QStringLiteral("MaintenanceTaskObjectID"), QStringLiteral("tbl_TaskPeriodic"),
             QStringLiteral("Task that compacts and checks the store every night."));

    T(QStringLiteral("tbl_MailboxMap"), QStringLiteral("Mailboxes: which store holds each user's messages."))
        .entity(QStringLiteral("mailbox"))
        .id(QStringLiteral("ObjectID"),
            QStringLiteral("Unique identifier of the mailbox; the same value names it in the mailbox database."))
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .ref(QStringLiteral("MailboxStoreMapObjectID"), QStringLiteral("tbl_MailboxStoreMap"))
        .bit(QStringLiteral("Active"))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_StreamFile"),
      QStringLiteral("Recorded sound files: greetings, voice names, broadcast messages."))
        .entity(QStringLiteral("stream file"))
        .id()
        .text(QStringLiteral("FileName"), 260, QStringLiteral("File name below the stream folder."))
        .integer(QStringLiteral("DurationMs"), QStringLiteral("Length of the recording in milliseconds."))
        .integer(QStringLiteral("SizeBytes"), QStringLiteral("Size of the file in bytes."))
        .ref(QStringLiteral("WaveFormatObjectID"), QStringLiteral("tbl_WaveFormat"))
        .datetime(QStringLiteral("CreationTime"));

    // --- telephony (generic rows) ------------------------------------------

    T(QStringLiteral("tbl_MediaSwitchManufacturer"),
      QStringLiteral("Makers of the phone systems the server integrates with."))
        .entity(QStringLiteral("switch manufacturer"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("Website"), 128, QStringLiteral("Support site of the manufacturer."))
        .pick({QStringLiteral("http://support.example.com")})
        .names({QStringLiteral("Calder Telecom"), QStringLiteral("Northway Systems"), QStringLiteral("Pellham Voice")})
        .rows(3);

    T(QStringLiteral("tbl_MediaSwitchModel"), QStringLiteral("Phone system models and their integration defaults."))
        .entity(QStringLiteral("switch model"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("MediaSwitchManufacturerObjectID"), QStringLiteral("tbl_MediaSwitchManufacturer"))
        .text(QStringLiteral("IntegrationType"), 16,
              QStringLiteral("How call information arrives: Serial, TAPI, SIP or None."))
        .pick({QStringLiteral("Serial"), QStringLiteral("TAPI"), QStringLiteral("SIP")})
        .names({QStringLiteral("CT-400"), QStringLiteral("CT-800 IP"), QStringLiteral("Northway NX2"),
                QStringLiteral("Pellham P10")})
        .rows(4);

    T(QStringLiteral("tbl_MediaSwitch"), QStringLiteral("Phone systems this server is connected to."))
        .entity(QStringLiteral("media switch"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("MediaSwitchModelObjectID"), QStringLiteral("tbl_MediaSwitchModel"))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .varchar(QStringLiteral("IPAddress"), 15)
        .bit(QStringLiteral("Enabled"))
        .names({QStringLiteral("Head Office PBX"), QStringLiteral("Warehouse PBX")})
        .rows(2);

    T(QStringLiteral("tbl_MediaSwitchTrunk"), QStringLiteral("Trunks of a phone system used to dial out."))
        .entity(QStringLiteral("trunk"))
        .id()
        .ref(QStringLiteral("MediaSwitchObjectID"), QStringLiteral("tbl_MediaSwitch"))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("TrunkAccessCode"), 8, QStringLiteral("Digits that seize the trunk."))
        .pick({QStringLiteral("9"), QStringLiteral("8"), QStringLiteral("70")})
        .names({QStringLiteral("Local calls"), QStringLiteral("Long distance"), QStringLiteral("Mobile gateway")})
        .rows(3);

    T(QStringLiteral("tbl_MediaAnalogProtocol"),
      QStringLiteral("Analog line settings: tones and timing of an analog integration."))
        .entity(QStringLiteral("analog protocol"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("DialToneDetect"), QStringLiteral("1 to wait for dial tone before dialling."))
        .smallint(QStringLiteral("FlashTimeMs"), QStringLiteral("Length of a hook flash in milliseconds."))
        .range(80, 600)
        .smallint(QStringLiteral("InterDigitMs"), QStringLiteral("Pause between dialled digits in milliseconds."))
        .range(50, 120)
        .rows(2);

    T(QStringLiteral("tbl_MediaPortGroupTemplate"), QStringLiteral("Templates for new port groups of a switch model."))
        .entity(QStringLiteral("port group template"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("MediaSwitchModelObjectID"), QStringLiteral("tbl_MediaSwitchModel"))
        .ref(QStringLiteral("WaveFormatObjectID"), QStringLiteral("tbl_WaveFormat"),
             QStringLiteral("Codec the ports use."))
        .names({QStringLiteral("SIP trunk group"), QStringLiteral("Analog group")})
        .rows(2);

    T(QStringLiteral("tbl_MediaPortGroup"), QStringLiteral("Port groups: ports that share one integration."))
        .entity(QStringLiteral("port group"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("MediaSwitchObjectID"), QStringLiteral("tbl_MediaSwitch"))
        .ref(QStringLiteral("MediaPortGroupTemplateObjectID"), QStringLiteral("tbl_MediaPortGroupTemplate"))
        .ref(QStringLiteral("MediaAnalogProtocolObjectID"), QStringLiteral("tbl_MediaAnalogProtocol"))
        .nulls(50)
        .smallint(QStringLiteral("PortCount"), QStringLiteral("Number of ports in the group."));

    T(QStringLiteral("tbl_MediaPort"), QStringLiteral("Voice ports: the lines the server answers and dials on."))
        .entity(QStringLiteral("media port"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("MediaPortGroupObjectID"), QStringLiteral("tbl_MediaPortGroup"))
        .smallint(QStringLiteral("PortNumber"), QStringLiteral("Number of the port on the server, from 1."))
        .bit(QStringLiteral("Enabled"))
        .bit(QStringLiteral("AnswerCalls"), QStringLiteral("1 when the port answers incoming calls."))
        .bit(QStringLiteral("Dialout"), QStringLiteral("1 when the port may be used for notification and transfers."))
        .bit(QStringLiteral("MessageWaiting"),
             QStringLiteral("1 when the port may turn message waiting lights on and off."));

    T(QStringLiteral("tbl_MediaPortConfigState"), QStringLiteral("Last configuration state each port reported."))
        .entity(QStringLiteral("port state"))
        .id()
        .ref(QStringLiteral("MediaPortObjectID"), QStringLiteral("tbl_MediaPort"))
        .tinyint(QStringLiteral("State"), QStringLiteral("0 idle, 1 in service, 2 out of service, 3 failed."))
        .range(0, 3)
        .datetime(QStringLiteral("LastChanged"), QStringLiteral("When the state last changed."))
        .text(QStringLiteral("Reason"), 128, QStringLiteral("Why the port entered the state."))
        .pick({QStringLiteral("Started"), QStringLiteral("Administrator"), QStringLiteral("Line fault"),
               QStringLiteral("Registration refused")})
        .rows(8, 1);

    T(QStringLiteral("tbl_MediaPortGroupIPPort"), QStringLiteral("Network addresses a SIP port group registers with."))
        .entity(QStringLiteral("port group address"))
        .id()
        .ref(QStringLiteral("MediaPortGroupObjectID"), QStringLiteral("tbl_MediaPortGroup"))
        .varchar(QStringLiteral("IPAddress"), 15)
        .integer(QStringLiteral("SipPort"), QStringLiteral("UDP port of the proxy."))
        .pick({QStringLiteral("5060"), QStringLiteral("5061")})
        .rows(3, 1);

    T(QStringLiteral("tbl_IPPortReservation"),
      QStringLiteral("UDP port ranges reserved for voice streams of each port."))
        .entity(QStringLiteral("port reservation"))
        .id()
        .ref(QStringLiteral("MediaPortObjectID"), QStringLiteral("tbl_MediaPort"))
        .varchar(QStringLiteral("IPAddress"), 15)
        .integer(QStringLiteral("PortStart"), QStringLiteral("First UDP port of the range."))
        .range(16384, 20000)
        .integer(QStringLiteral("PortEnd"), QStringLiteral("Last UDP port of the range."))
        .range(20001, 32767)
        .rows(6, 1);

    T(QStringLiteral("tbl_MediaRemoteService"),
      QStringLiteral("Remote media services: speech and fax servers the ports use."))
        .entity(QStringLiteral("remote service"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("HostName"), 128)
        .integer(QStringLiteral("Port"))
        .pick({QStringLiteral("554"), QStringLiteral("8000")})
        .ref(QStringLiteral("MediaSwitchObjectID"), QStringLiteral("tbl_MediaSwitch"))
        .names({QStringLiteral("Speech Recognition"), QStringLiteral("Text to Speech")})
        .rows(2);

    T(QStringLiteral("tbl_MediaSerialProtocol"),
      QStringLiteral("Serial integration protocols: how call data arrives on a serial link."))
        .entity(QStringLiteral("serial protocol"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("ProtocolName"), 32, QStringLiteral("Short name of the protocol."))
        .pick({QStringLiteral("SMDI"), QStringLiteral("MCI"), QStringLiteral("DMID")})
        .integer(QStringLiteral("BaudRate"), QStringLiteral("Line speed in bits per second."))
        .pick({QStringLiteral("1200"), QStringLiteral("9600")})
        .names({QStringLiteral("SMDI standard"), QStringLiteral("MCI extended")})
        .rows(2);

    T(QStringLiteral("tbl_SerialLink"), QStringLiteral("Serial links to the phone system."))
        .entity(QStringLiteral("serial link"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("ComPort"), 8, QStringLiteral("Serial port of the server."))
        .pick({QStringLiteral("COM1"), QStringLiteral("COM2")})
        .ref(QStringLiteral("MediaSerialProtocolObjectID"), QStringLiteral("tbl_MediaSerialProtocol"))
        .names({QStringLiteral("PBX serial link")})
        .rows(1);

    T(QStringLiteral("tbl_SerialLinkPort"),
      QStringLiteral("Which voice port each logical terminal of a serial link stands for."))
        .entity(QStringLiteral("serial link port"))
        .id()
        .ref(QStringLiteral("SerialLinkObjectID"), QStringLiteral("tbl_SerialLink"))
        .ref(QStringLiteral("MediaPortObjectID"), QStringLiteral("tbl_MediaPort"))
        .smallint(QStringLiteral("LogicalTerminal"), QStringLiteral("Terminal number the phone system sends."))
        .range(1, 64)
        .rows(6, 1);

    T(QStringLiteral("tbl_MediaSerialMWI"),
      QStringLiteral("Codes that switch message waiting lights over a serial link."))
        .entity(QStringLiteral("serial MWI code"))
        .id()
        .ref(QStringLiteral("SerialLinkObjectID"), QStringLiteral("tbl_SerialLink"))
        .text(QStringLiteral("OnCode"), 16, QStringLiteral("Characters sent before the extension to turn a light on."))
        .pick({QStringLiteral("OP:MWI"), QStringLiteral("#90")})
        .text(QStringLiteral("OffCode"), 16,
              QStringLiteral("Characters sent before the extension to turn a light off."))
        .pick({QStringLiteral("RMV:MWI"), QStringLiteral("#91")})
        .rows(1);

    T(QStringLiteral("tbl_VantrelTone"), QStringLiteral("Call progress tones the voice boards recognise."))
        .entity(QStringLiteral("tone"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("ToneType"), QStringLiteral("1 dial tone, 2 busy, 3 ring back, 4 reorder, 5 fax."))
        .range(1, 5)
        .smallint(QStringLiteral("Frequency1"), QStringLiteral("First frequency in Hz."))
        .range(350, 480)
        .smallint(QStringLiteral("Frequency2"), QStringLiteral("Second frequency in Hz; 0 for a single tone."))
        .range(0, 620)
        .smallint(QStringLiteral("OnTimeMs"), QStringLiteral("Cadence: tone on, in milliseconds."))
        .range(250, 1000)
        .smallint(QStringLiteral("OffTimeMs"), QStringLiteral("Cadence: tone off, in milliseconds."))
        .range(0, 4000)
        .ref(QStringLiteral("MediaSwitchObjectID"), QStringLiteral("tbl_MediaSwitch"))
        .names({QStringLiteral("Dial tone"), QStringLiteral("Busy"), QStringLiteral("Ring back"),
                QStringLiteral("Reorder"), QStringLiteral("Fax CNG")})
        .rows(5);

    T(QStringLiteral("tbl_VantrelTSPDevice"), QStringLiteral("Telephony driver devices, one per voice line."))
        .entity(QStringLiteral("TSP device"))
        .id()
        .text(QStringLiteral("DeviceName"), 64, QStringLiteral("Name the telephony driver gives the line."))
        .ref(QStringLiteral("MediaPortObjectID"), QStringLiteral("tbl_MediaPort"))
        .smallint(QStringLiteral("LineNumber"), QStringLiteral("Line number of the driver."))
        .range(0, 47)
        .text(QStringLiteral("DriverVersion"), 32, QStringLiteral("Version of the driver that created the line."))
        .pick({QStringLiteral("3.2.118"), QStringLiteral("3.2.121")})
        .rows(8, 1);

    T(QStringLiteral("tbl_SMPPProvider"), QStringLiteral("SMS providers reached over SMPP."))
        .entity(QStringLiteral("SMPP provider"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("HostName"), 128)
        .integer(QStringLiteral("Port"))
        .pick({QStringLiteral("2775")})
        .text(QStringLiteral("SystemID"), 16, QStringLiteral("Account name at the provider."))
        .pick({QStringLiteral("orvex01"), QStringLiteral("hpvoice")})
        .bit(QStringLiteral("Enabled"))
        .names({QStringLiteral("Coastal Mobile SMS"), QStringLiteral("Metro Text")})
        .rows(2);

    // --- directory objects ------------------------------------------------

    T(QStringLiteral("tbl_AccountLockout"), QStringLiteral("Accounts locked after failed sign-ins."))
        .entity(QStringLiteral("account lockout"))
        .id()
        .datetime(QStringLiteral("LockedTime"), QStringLiteral("When the account locked."))
        .smallint(QStringLiteral("FailedAttempts"), QStringLiteral("Failed sign-ins that led to the lockout."))
        .range(3, 9)
        .text(QStringLiteral("Reason"), 128, QStringLiteral("What was being signed in to."))
        .pick({QStringLiteral("Phone sign-in"), QStringLiteral("Console sign-in")})
        .datetime(QStringLiteral("UnlockTime"),
                  QStringLiteral("When the lock ends; null until an administrator unlocks it."))
        .nulls(50)
        .rows(4);

    T(QStringLiteral("tbl_UserTemplate"), QStringLiteral("Templates new users are created from."))
        .entity(QStringLiteral("user template"))
        .id()
        .text(QStringLiteral("Alias"), 64)
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("CosObjectID"), QStringLiteral("tbl_Cos"))
        .ref(QStringLiteral("ScheduleSetObjectID"), QStringLiteral("tbl_ScheduleSet"))
        .ref(QStringLiteral("TimeZoneObjectID"), QStringLiteral("tbl_TimeZone"))
        .integer(QStringLiteral("Language"))
        .type(QStringLiteral("LanguageId"))
        .pick({QStringLiteral("1033")})
        .names({QStringLiteral("Default Subscriber Template"), QStringLiteral("Default Administrator Template"),
                QStringLiteral("Voice Mail Only Template")})
        .rows(3);

    T(QStringLiteral("tbl_User"),
      QStringLiteral("Users: everyone who has an account, subscribers and administrators alike."))
        .tableNotes(QStringLiteral("A subscriber also has a row with the same ObjectID in tbl_UserSubscriber; "
                                   "its alias is in tbl_Alias."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .type(QStringLiteral("DisplayName64"))
        .text(QStringLiteral("FirstName"), 64)
        .text(QStringLiteral("LastName"), 64)
        .text(QStringLiteral("Initials"), 8, QStringLiteral("Initials of the user."))
        .text(QStringLiteral("EmailAddress"), 128)
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .ref(QStringLiteral("CosObjectID"), QStringLiteral("tbl_Cos"))
        .ref(QStringLiteral("TimeZoneObjectID"), QStringLiteral("tbl_TimeZone"))
        .ref(QStringLiteral("UserTemplateObjectID"), QStringLiteral("tbl_UserTemplate"),
             QStringLiteral("Template the user was created from."))
        .ref(QStringLiteral("AccountLockoutObjectID"), QStringLiteral("tbl_AccountLockout"),
             QStringLiteral("Current lockout of the account; null while it is not locked."))
        .ref(QStringLiteral("RoleObjectID"), QStringLiteral("tbl_Role"),
             QStringLiteral("Administrative role; null for plain subscribers."))
        .integer(QStringLiteral("Language"))
        .type(QStringLiteral("LanguageId"))
        .bit(QStringLiteral("IsAdministrator"), QStringLiteral("1 when the user may sign in to the console."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_UserSubscriber"), QStringLiteral("Subscribers: users with a mailbox and a phone presence."))
        .tableNotes(QStringLiteral("ObjectID is that of the user in tbl_User; vw_Subscriber joins the two."))
        .entity(QStringLiteral("subscriber"))
        .id(QStringLiteral("ObjectID"),
            QStringLiteral("Identifier of the subscriber; the same value as the user's ObjectID in tbl_User."))
        .ref(QStringLiteral("CallHandlerObjectID"), QStringLiteral("tbl_CallHandler"),
             QStringLiteral("The subscriber's primary call handler."))
        .ref(QStringLiteral("PrimaryDtmfAccessIdObjectID"), QStringLiteral("tbl_DtmfAccessId"),
             QStringLiteral("The subscriber's primary extension."))
        .ref(QStringLiteral("MwiObjectID"), QStringLiteral("tbl_NotificationMwi"),
             QStringLiteral("Message waiting light new messages turn on."))
        .ref(QStringLiteral("MailboxObjectID"), QStringLiteral("tbl_MailboxMap"))
        .ref(QStringLiteral("QuotaObjectID"), QStringLiteral("tbl_Quota"),
             QStringLiteral("Quota that overrides the class of service's; null for none."))
        .ref(QStringLiteral("VoiceNameStreamFileObjectID"), QStringLiteral("tbl_StreamFile"),
             QStringLiteral("Recorded voice name."))
        .ref(QStringLiteral("ConversationObjectID"), QStringLiteral("tbl_Conversation"),
             QStringLiteral("Conversation the subscriber hears after signing in."))
        .tinyint(QStringLiteral("SubscriberType"), QStringLiteral("0 full subscriber, 1 voice mail only, 2 guest."))
        .range(0, 2)
        .bit(QStringLiteral("ListInDirectory"),
             QStringLiteral("1 when callers can find the subscriber in the directory."))
        .bit(QStringLiteral("MwiEnabled"), QStringLiteral("1 when new messages turn on the message waiting light."))
        .datetime(QStringLiteral("PinLastChanged"), QStringLiteral("When the phone PIN was last changed."));

    T(QStringLiteral("tbl_GlobalSubscriber"),
      QStringLiteral("Subscribers of other locations, known from directory replication."))
        .entity(QStringLiteral("replicated subscriber"))
        .id()
        .text(QStringLiteral("Alias"), 64)
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("DTMFAccessID"), 40, QStringLiteral("Extension of the subscriber at its location."))
        .ref(QStringLiteral("GlobalLocationObjectID"), QStringLiteral("tbl_GlobalLocation"))
        .datetime(QStringLiteral("LastReplicated"), QStringLiteral("When the row last arrived by replication."));

    T(QStringLiteral("tbl_Alias"), QStringLiteral("Aliases of users and distribution lists; every alias is unique."))
        .tableNotes(QStringLiteral("Exactly one of the Object_ columns is set."))
        .text(QStringLiteral("Alias"), 64, QStringLiteral("The alias."))
        .type(QStringLiteral("AliasName"))
        .key()
        .ref(QStringLiteral("Object_UserObjectID"), QStringLiteral("tbl_User"),
             QStringLiteral("User the alias belongs to."))
        .ref(QStringLiteral("Object_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("Distribution list the alias belongs to."))
        .tinyint(QStringLiteral("AliasType"), QStringLiteral("0 primary alias, 1 alternate name."))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"));

    T(QStringLiteral("tbl_Credential"), QStringLiteral("Current PINs and passwords of users, as hashes."))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .tinyint(QStringLiteral("CredentialType"), QStringLiteral("What the secret is used for."))
        .type(QStringLiteral("CredentialType"))
        .ref(QStringLiteral("CredentialPolicyObjectID"), QStringLiteral("tbl_CredentialPolicy"))
        .binary(QStringLiteral("CredentialHash"), 64, QStringLiteral("Salted hash of the secret."))
        .bit(QStringLiteral("MustChange"),
             QStringLiteral("1 when the user must choose a new secret at the next sign-in."))
        .smallint(QStringLiteral("HackCount"), QStringLiteral("Failed sign-ins since the last good one."))
        .datetime(QStringLiteral("TimeChanged"), QStringLiteral("When the secret was last set."));

    T(QStringLiteral("tbl_UserCredentialHistory"),
      QStringLiteral("Earlier credentials of users, kept to refuse their reuse."))
        .entity(QStringLiteral("credential history entry"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .tinyint(QStringLiteral("CredentialType"), QStringLiteral("What the secret was used for."))
        .type(QStringLiteral("CredentialType"))
        .binary(QStringLiteral("CredentialHash"), 64, QStringLiteral("Salted hash of the earlier secret."))
        .datetime(QStringLiteral("TimeChanged"), QStringLiteral("When the secret was replaced."));

    T(QStringLiteral("tbl_Handler"),
      QStringLiteral("Every handler of any kind; call, interview and directory handlers each add a row of their own."))
        .tableNotes(QStringLiteral("A handler's ObjectID is the same here and in the table of its kind."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("HandlerType"), QStringLiteral("Kind of handler."))
        .type(QStringLiteral("HandlerType"))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"));

    T(QStringLiteral("tbl_CallAction"),
      QStringLiteral("Reusable actions: where a routing rule or an exit sends the caller."))
        .entity(QStringLiteral("call action"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .integer(QStringLiteral("Action"), QStringLiteral("What happens to the caller."))
        .type(QStringLiteral("CallAction"))
        .text(QStringLiteral("TargetConversation"), 64,
              QStringLiteral("Name of the conversation the caller goes to (action 2)."))
        .ref(QStringLiteral("TargetHandlerObjectID"), QStringLiteral("tbl_Handler"),
             QStringLiteral("Handler the conversation runs on (action 2)."));

    T(QStringLiteral("tbl_DistributionList"),
      QStringLiteral("Distribution lists: named groups of users and lists that messages can be sent to."))
        .entity(QStringLiteral("distribution list"))
        .tableNotes(QStringLiteral("Admin_UserObjectID and Admin_DistributionListObjectID are not listed as links; "
                                   "the browser knows what they point at."))
        .id()
        .text(QStringLiteral("Alias"), 64)
        .type(QStringLiteral("AliasName"))
        .text(QStringLiteral("DisplayName"), 64)
        .type(QStringLiteral("DisplayName64"))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .guid(QStringLiteral("Admin_UserObjectID"), QStringLiteral("User who administers the list."))
        .notes(QStringLiteral("ObjectID of a row in tbl_User."))
        .guid(QStringLiteral("Admin_DistributionListObjectID"),
              QStringLiteral("Distribution list whose members administer the list."))
        .notes(QStringLiteral("ObjectID of a row in tbl_DistributionList."))
        .bit(QStringLiteral("IsPublic"), QStringLiteral("1 when every subscriber may address the list."))
        .bit(QStringLiteral("IsSystem"), QStringLiteral("1 for lists the product creates and keeps up to date."))
        .bit(QStringLiteral("AllowContacts"), QStringLiteral("1 when personal contacts may be members."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_DistributionListMember"),
      QStringLiteral("Members of distribution lists: a user or another list."))
        .entity(QStringLiteral("list member"))
        .tableNotes(QStringLiteral("Exactly one of the Member_ columns should be set."))
        .id()
        .ref(QStringLiteral("DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("List the member belongs to."))
        .ref(QStringLiteral("Member_UserObjectID"), QStringLiteral("tbl_User"),
             QStringLiteral("The member, when it is a user."))
        .ref(QStringLiteral("Member_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("The member, when it is a distribution list."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_DistributionListSet"),
      QStringLiteral("Sets of distribution lists offered together on the phone."))
        .entity(QStringLiteral("list set"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("Description"), 256)
        .names({QStringLiteral("Department Lists"), QStringLiteral("Site Lists")})
        .rows(2, 1);

    T(QStringLiteral("tbl_DistributionListSetMember"), QStringLiteral("Which distribution lists belong to which set."))
        .entity(QStringLiteral("list set member"))
        .id()
        .ref(QStringLiteral("DistributionListSetObjectID"), QStringLiteral("tbl_DistributionListSet"))
        .ref(QStringLiteral("DistributionListObjectID"), QStringLiteral("tbl_DistributionList"))
        .rows(8, 1);

    T(QStringLiteral("tbl_CallHandler"),
      QStringLiteral("Call handlers: the greetings, transfer rules and keys that answer a call."))
        .tableNotes(QStringLiteral(
            "Every subscriber owns one primary call handler (IsPrimary = 1, Recipient_SubscriberObjectID "
            "set); the others are application handlers built by the administrator."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .type(QStringLiteral("DisplayName64"))
        .ref(QStringLiteral("Recipient_SubscriberObjectID"), QStringLiteral("tbl_UserSubscriber"),
             QStringLiteral("Subscriber who receives messages left in the handler."))
        .ref(QStringLiteral("Recipient_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("Distribution list that receives messages left in the handler."))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .ref(QStringLiteral("ScheduleSetObjectID"), QStringLiteral("tbl_ScheduleSet"),
             QStringLiteral("Business hours of the handler."))
        .ref(QStringLiteral("TimeZoneObjectID"), QStringLiteral("tbl_TimeZone"))
        .bit(QStringLiteral("IsPrimary"), QStringLiteral("1 for a subscriber's own call handler."))
        .integer(QStringLiteral("AfterMessage_Action"), QStringLiteral("What happens after a caller leaves a message."))
        .type(QStringLiteral("CallAction"))
        .text(QStringLiteral("AfterMessage_TargetConversation"), 64,
              QStringLiteral("Conversation after the message (action 2)."))
        .ref(QStringLiteral("AfterMessage_TargetHandlerObjectID"), QStringLiteral("tbl_Handler"),
             QStringLiteral("Handler after the message (action 2)."))
        .integer(QStringLiteral("MaxMsgLength"), QStringLiteral("Longest message in seconds a caller can leave."))
        .bit(QStringLiteral("EditMsg"), QStringLiteral("1 when callers may review and re-record their message."))
        .integer(QStringLiteral("Language"))
        .type(QStringLiteral("LanguageId"))
        .ref(QStringLiteral("VoiceNameStreamFileObjectID"), QStringLiteral("tbl_StreamFile"),
             QStringLiteral("Recorded name of the handler."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_Greeting"),
      QStringLiteral("Greetings of call handlers, one row per handler and greeting type."))
        .tableNotes(QStringLiteral(
            "A greeting is known by its handler and its type; the browser looks greetings up by that pair."))
        .id()
        .ref(QStringLiteral("CallHandlerObjectID"), QStringLiteral("tbl_CallHandler"))
        .text(QStringLiteral("GreetingType"), 16, QStringLiteral("Which greeting of the handler this is."))
        .type(QStringLiteral("GreetingType"))
        .bit(QStringLiteral("Enabled"))
        .tinyint(QStringLiteral("PlayWhat"),
                 QStringLiteral("0 the system greeting, 1 the recorded greeting, 2 nothing."))
        .integer(QStringLiteral("AfterGreeting_Action"),
                 QStringLiteral("What happens when the greeting has played and the caller keyed nothing."))
        .type(QStringLiteral("CallAction"))
        .text(QStringLiteral("AfterGreeting_TargetConversation"), 64,
              QStringLiteral("Conversation after the greeting (action 2)."))
        .ref(QStringLiteral("AfterGreeting_TargetHandlerObjectID"), QStringLiteral("tbl_Handler"),
             QStringLiteral("Handler after the greeting (action 2)."))
        .bit(QStringLiteral("IgnoreDigits"), QStringLiteral("1 when keys pressed during the greeting are ignored."))
        .tinyint(QStringLiteral("Reprompts"),
                 QStringLiteral("Times the greeting repeats when the caller keys nothing."))
        .datetime(QStringLiteral("TimeExpires"));

    T(QStringLiteral("tbl_GreetingStreamFile"),
      QStringLiteral("Recordings of greetings, one per greeting and language."))
        .entity(QStringLiteral("greeting recording"))
        .id()
        .ref(QStringLiteral("Greeting_CallHandlerObjectID"), QStringLiteral("tbl_Greeting"),
             QStringLiteral("Call handler of the greeting; with GreetingType it names the greeting."))
        .notes(QStringLiteral("Holds the ObjectID of the call handler, not of the greeting row."))
        .text(QStringLiteral("GreetingType"), 16, QStringLiteral("Which greeting of the handler is recorded."))
        .type(QStringLiteral("GreetingType"))
        .integer(QStringLiteral("LanguageCode"))
        .ref(QStringLiteral("StreamFileObjectID"), QStringLiteral("tbl_StreamFile"));

    T(QStringLiteral("tbl_TransferOption"),
      QStringLiteral("Transfer rules of call handlers: whether and how a call rings through."))
        .entity(QStringLiteral("transfer rule"))
        .id()
        .ref(QStringLiteral("CallHandlerObjectID"), QStringLiteral("tbl_CallHandler"))
        .text(QStringLiteral("TransferOptionType"), 16, QStringLiteral("Which transfer rule of the handler this is."))
        .type(QStringLiteral("TransferOptionType"))
        .tinyint(QStringLiteral("Action"),
                 QStringLiteral("0 send the caller to the greeting, 1 transfer to the extension."))
        .text(QStringLiteral("Extension"), 40)
        .type(QStringLiteral("DtmfDigits"))
        .tinyint(QStringLiteral("TransferType"),
                 QStringLiteral("0 release the call to the switch, 1 supervise the transfer."))
        .tinyint(QStringLiteral("RnaRings"), QStringLiteral("Rings before a supervised transfer gives up."))
        .bit(QStringLiteral("ScreenCall"), QStringLiteral("1 to ask callers their name before transferring."))
        .bit(QStringLiteral("Enabled"))
        .datetime(QStringLiteral("TimeExpires"));

    T(QStringLiteral("tbl_MenuEntry"), QStringLiteral("What each key does while a call handler's greeting plays."))
        .entity(QStringLiteral("menu entry"))
        .id()
        .ref(QStringLiteral("CallHandlerObjectID"), QStringLiteral("tbl_CallHandler"))
        .nchar(QStringLiteral("TouchtoneKey"), 1, QStringLiteral("The key: 0-9, * or #."))
        .integer(QStringLiteral("Action"), QStringLiteral("What happens when the caller presses the key."))
        .type(QStringLiteral("CallAction"))
        .text(QStringLiteral("TargetConversation"), 64, QStringLiteral("Conversation the key leads to (action 2)."))
        .ref(QStringLiteral("TargetHandlerObjectID"), QStringLiteral("tbl_CallHandler"),
             QStringLiteral("Call handler the key leads to (action 2)."))
        .bit(QStringLiteral("Locked"), QStringLiteral("1 when further keys are ignored after this one."));

    T(QStringLiteral("tbl_DtmfAccessId"),
      QStringLiteral("Extensions and dial ids: digits that reach a subscriber, handler, list or location."))
        .entity(QStringLiteral("extension"))
        .tableNotes(QStringLiteral("Exactly one of the Parent_ columns should be set."))
        .id()
        .text(QStringLiteral("DTMFAccessID"), 40, QStringLiteral("The digits."))
        .type(QStringLiteral("DtmfDigits"))
        .ref(QStringLiteral("Parent_SubscriberObjectID"), QStringLiteral("tbl_UserSubscriber"),
             QStringLiteral("Subscriber the digits reach."))
        .ref(QStringLiteral("Parent_HandlerObjectID"), QStringLiteral("tbl_Handler"),
             QStringLiteral("Handler the digits reach."))
        .ref(QStringLiteral("Parent_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("Distribution list the digits reach."))
        .ref(QStringLiteral("Parent_LocationObjectID"), QStringLiteral("tbl_Location"),
             QStringLiteral("Location the digits reach."))
        .bit(QStringLiteral("IsPrimary"), QStringLiteral("1 for the owner's main extension; 0 for an alternate one."));

    T(QStringLiteral("tbl_InterviewHandler"),
      QStringLiteral("Interview handlers: ask callers a fixed list of questions and record the answers."))
        .entity(QStringLiteral("interview handler"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("Recipient_SubscriberObjectID"), QStringLiteral("tbl_UserSubscriber"),
             QStringLiteral("Subscriber who receives the answers."))
        .ref(QStringLiteral("Recipient_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("Distribution list that receives the answers."))
        .ref(QStringLiteral("AfterInterviewCallActionObjectID"), QStringLiteral("tbl_CallAction"),
             QStringLiteral("Where the caller goes after the last question."))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .bit(QStringLiteral("Urgent"), QStringLiteral("1 when the answers are sent as urgent messages."))
        .datetime(QStringLiteral("CreationTime"));

    T(QStringLiteral("tbl_InterviewQuestion"), QStringLiteral("Questions of interview handlers, asked in order."))
        .entity(QStringLiteral("interview question"))
        .id()
        .ref(QStringLiteral("InterviewHandlerObjectID"), QStringLiteral("tbl_InterviewHandler"))
        .tinyint(QStringLiteral("QuestionNumber"), QStringLiteral("Position of the question, from 1."))
        .text(QStringLiteral("QuestionText"), 256,
              QStringLiteral("Text of the question as the administrator wrote it."))
        .integer(QStringLiteral("MaxResponseLength"), QStringLiteral("Longest answer in seconds."))
        .ref(QStringLiteral("StreamFileObjectID"), QStringLiteral("tbl_StreamFile"),
             QStringLiteral("Recording of the question."));

    T(QStringLiteral("tbl_DirectoryHandler"),
      QStringLiteral("Directory handlers: let callers find a subscriber by spelling a name."))
        .entity(QStringLiteral("directory handler"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("SearchByFirstName"), QStringLiteral("1 when callers spell the first name first."))
        .tinyint(QStringLiteral("MaxMatches"),
                 QStringLiteral("Most matches read out before the caller must spell more."))
        .ref(QStringLiteral("ScopeDistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("Only members of this list are found; null for everyone listed."))
        .ref(QStringLiteral("ExitCallActionObjectID"), QStringLiteral("tbl_CallAction"),
             QStringLiteral("Where * sends the caller."))
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"));

    T(QStringLiteral("tbl_RoutingRule"),
      QStringLiteral("Call routing rules: decide which handler answers an incoming call."))
        .entity(QStringLiteral("routing rule"))
        .tableNotes(QStringLiteral("Rules are tried by RuleIndex; the first whose parameters all match wins."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("RuleType"), QStringLiteral("0 direct calls, 1 forwarded calls."))
        .smallint(QStringLiteral("RuleIndex"), QStringLiteral("Order in which rules are tried."))
        .bit(QStringLiteral("Enabled"))
        .ref(QStringLiteral("ScheduleSetObjectID"), QStringLiteral("tbl_ScheduleSet"),
             QStringLiteral("Hours during which the rule applies."))
        .ref(QStringLiteral("CallActionObjectID"), QStringLiteral("tbl_CallAction"),
             QStringLiteral("What the rule does with the call."))
        .integer(QStringLiteral("LanguageCode"));

    T(QStringLiteral("tbl_RoutingRuleParameter"), QStringLiteral("Conditions of routing rules."))
        .entity(QStringLiteral("routing condition"))
        .id()
        .ref(QStringLiteral("RoutingRuleObjectID"), QStringLiteral("tbl_RoutingRule"))
        .tinyint(QStringLiteral("ParameterType"),
                 QStringLiteral("1 calling number, 2 dialled number, 3 forwarding station, 4 port."))
        .range(1, 4)
        .text(QStringLiteral("Operator"), 8, QStringLiteral("Comparison: =, <, >, <= , >= or 'in'."))
        .pick({QStringLiteral("="), QStringLiteral("in"), QStringLiteral(">=")})
        .text(QStringLiteral("Value"), 64, QStringLiteral("Value compared with; * matches any digits."))
        .pick({QStringLiteral("2*"), QStringLiteral("5550100"), QStringLiteral("3000"), QStringLiteral("1-8")});

    T(QStringLiteral("tbl_NotificationDevice"),
      QStringLiteral("Notification devices: how subscribers are told about new messages."))
        .entity(QStringLiteral("notification device"))
        .tableNotes(QStringLiteral("Each device has a row of its kind, with the same ObjectID, in one of the "
                                   "tbl_NotificationDevice... tables."))
        .id()
        .ref(QStringLiteral("SubscriberObjectID"), QStringLiteral("tbl_UserSubscriber"))
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("DeviceType"), QStringLiteral("How the device reaches the subscriber."))
        .type(QStringLiteral("NotificationDeviceType"))
        .bit(QStringLiteral("Active"))
        .ref(QStringLiteral("PhoneNumberObjectID"), QStringLiteral("tbl_PhoneNumber"),
             QStringLiteral("Number dialled for phone and pager devices."))
        .ref(QStringLiteral("ScheduleSetObjectID"), QStringLiteral("tbl_ScheduleSet"),
             QStringLiteral("Hours during which the device is used."))
        .tinyint(QStringLiteral("MaxRetries"), QStringLiteral("Attempts before the device gives up."))
        .smallint(QStringLiteral("RetryIntervalMin"), QStringLiteral("Minutes between two attempts."));

    T(QStringLiteral("tbl_NotificationDeviceConversation"),
      QStringLiteral("Phone notification devices: the conversation played when the call is answered."))
        .entity(QStringLiteral("phone device"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the device's row in tbl_NotificationDevice."))
        .text(QStringLiteral("Conversation"), 64, QStringLiteral("Name of the conversation played."))
        .bit(QStringLiteral("RequirePin"),
             QStringLiteral("1 when the person answering must key the subscriber's PIN."));

    T(QStringLiteral("tbl_NotificationDeviceMP3"),
      QStringLiteral("MP3 devices: copies of new messages written to a folder."))
        .entity(QStringLiteral("MP3 device"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the device's row in tbl_NotificationDevice."))
        .text(QStringLiteral("DestinationFolder"), 260, QStringLiteral("Folder the copies are written to."))
        .smallint(QStringLiteral("BitRate"), QStringLiteral("Bit rate of the copies in kbit/s."));

    T(QStringLiteral("tbl_NotificationDevicePager"), QStringLiteral("Pager devices."))
        .entity(QStringLiteral("pager device"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the device's row in tbl_NotificationDevice."))
        .text(QStringLiteral("PagerNumber"), 40, QStringLiteral("Number of the pager."))
        .tinyint(QStringLiteral("PagerType"), QStringLiteral("0 numeric, 1 text."));

    T(QStringLiteral("tbl_NotificationDeviceSMS"), QStringLiteral("SMS devices."))
        .entity(QStringLiteral("SMS device"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the device's row in tbl_NotificationDevice."))
        .ref(QStringLiteral("SMPPProviderObjectID"), QStringLiteral("tbl_SMPPProvider"))
        .text(QStringLiteral("RecipientNumber"), 40, QStringLiteral("Mobile number the text goes to."));

    T(QStringLiteral("tbl_NotificationDeviceSMTP"), QStringLiteral("Mail devices."))
        .entity(QStringLiteral("mail device"))
        .id(QStringLiteral("ObjectID"), QStringLiteral("Same ObjectID as the device's row in tbl_NotificationDevice."))
        .text(QStringLiteral("EmailAddress"), 128)
        .bit(QStringLiteral("IncludeAttachment"), QStringLiteral("1 to attach the message as a sound file."));

    T(QStringLiteral("tbl_NotificationMwi"), QStringLiteral("Message waiting lights of subscribers."))
        .entity(QStringLiteral("message waiting light"))
        .id()
        .ref(QStringLiteral("SubscriberObjectID"), QStringLiteral("tbl_UserSubscriber"))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("Extension"), 40)
        .ref(QStringLiteral("MediaSwitchObjectID"), QStringLiteral("tbl_MediaSwitch"))
        .bit(QStringLiteral("Active"));

    T(QStringLiteral("tbl_NotificationRule"), QStringLiteral("When a notification device is used."))
        .entity(QStringLiteral("notification rule"))
        .id()
        .ref(QStringLiteral("NotificationDeviceObjectID"), QStringLiteral("tbl_NotificationDevice"))
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("Enabled"))
        .tinyint(QStringLiteral("DelayMinutes"),
                 QStringLiteral("Minutes a message waits unheard before the device is used."));

    T(QStringLiteral("tbl_NotificationRuleCriteria"), QStringLiteral("Which messages a notification rule reacts to."))
        .entity(QStringLiteral("rule criterion"))
        .id()
        .ref(QStringLiteral("NotificationRuleObjectID"), QStringLiteral("tbl_NotificationRule"))
        .tinyint(QStringLiteral("MessageType"), QStringLiteral("0 any, 1 voice, 2 fax, 3 mail."))
        .range(0, 3)
        .bit(QStringLiteral("UrgentOnly"), QStringLiteral("1 when only urgent messages count."))
        .rows(40, 1);

    T(QStringLiteral("tbl_NotificationRuleEvent"), QStringLiteral("Recent firings of notification rules."))
        .entity(QStringLiteral("rule event"))
        .id()
        .ref(QStringLiteral("NotificationRuleObjectID"), QStringLiteral("tbl_NotificationRule"))
        .ref(QStringLiteral("MessageObjectID"), QStringLiteral("tbl_Message"),
             QStringLiteral("Message that set the rule off."))
        .tinyint(QStringLiteral("EventType"), QStringLiteral("1 device called, 2 device answered, 3 gave up."))
        .range(1, 3)
        .datetime(QStringLiteral("EventTime"), QStringLiteral("When it happened."))
        .rows(30, 2);

    T(QStringLiteral("tbl_PhoneNumber"), QStringLiteral("Phone numbers of users and contacts."))
        .entity(QStringLiteral("phone number"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"), QStringLiteral("User who owns the number."))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("PhoneNumber"), 40)
        .tinyint(QStringLiteral("PhoneType"), QStringLiteral("1 home, 2 work, 3 mobile, 4 pager, 5 fax."));

    T(QStringLiteral("tbl_PersonalContact"), QStringLiteral("Personal contacts of subscribers."))
        .entity(QStringLiteral("personal contact"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"),
             QStringLiteral("Subscriber who owns the contact."))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("FirstName"), 64)
        .text(QStringLiteral("LastName"), 64)
        .text(QStringLiteral("Company"), 64, QStringLiteral("Company of the contact."))
        .text(QStringLiteral("EmailAddress"), 128);

    T(QStringLiteral("tbl_PersonalContactPhone"), QStringLiteral("Phone numbers of personal contacts."))
        .entity(QStringLiteral("contact phone"))
        .id()
        .ref(QStringLiteral("PersonalContactObjectID"), QStringLiteral("tbl_PersonalContact"))
        .ref(QStringLiteral("PhoneNumberObjectID"), QStringLiteral("tbl_PhoneNumber"))
        .smallint(QStringLiteral("SortOrder"));

    T(QStringLiteral("tbl_PersonalDestination"), QStringLiteral("Numbers a subscriber's personal rules may ring."))
        .entity(QStringLiteral("personal destination"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("PhoneNumberObjectID"), QStringLiteral("tbl_PhoneNumber"))
        .tinyint(QStringLiteral("RingCount"), QStringLiteral("Rings before the next destination is tried."));

    T(QStringLiteral("tbl_PersonalDestinationGroup"),
      QStringLiteral("Groups of personal destinations rung together or in turn."))
        .entity(QStringLiteral("destination group"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("RingMode"), QStringLiteral("0 in turn, 1 all at once."));

    T(QStringLiteral("tbl_PersonalDestinationGroupItem"),
      QStringLiteral("Destinations of a destination group, in order."))
        .entity(QStringLiteral("destination group item"))
        .id()
        .ref(QStringLiteral("PersonalDestinationGroupObjectID"), QStringLiteral("tbl_PersonalDestinationGroup"))
        .ref(QStringLiteral("PersonalDestinationObjectID"), QStringLiteral("tbl_PersonalDestination"))
        .smallint(QStringLiteral("SortOrder"));

    T(QStringLiteral("tbl_PersonalGroup"), QStringLiteral("Caller groups a subscriber's personal rules can name."))
        .entity(QStringLiteral("caller group"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .text(QStringLiteral("DisplayName"), 64);

    T(QStringLiteral("tbl_PersonalGroupMember"), QStringLiteral("Members of caller groups: contacts or users."))
        .entity(QStringLiteral("caller group member"))
        .id()
        .ref(QStringLiteral("PersonalGroupObjectID"), QStringLiteral("tbl_PersonalGroup"))
        .ref(QStringLiteral("Member_PersonalContactObjectID"), QStringLiteral("tbl_PersonalContact"))
        .ref(QStringLiteral("Member_UserObjectID"), QStringLiteral("tbl_User"));

    T(QStringLiteral("tbl_PersonalGroupMemberSet"), QStringLiteral("Saved selections of caller group members."))
        .entity(QStringLiteral("member set"))
        .id()
        .ref(QStringLiteral("PersonalGroupObjectID"), QStringLiteral("tbl_PersonalGroup"))
        .text(QStringLiteral("DisplayName"), 64)
        .names({QStringLiteral("Family"), QStringLiteral("Clients"), QStringLiteral("Team")})
        .rows(6, 2);

    T(QStringLiteral("tbl_PersonalRuleSet"),
      QStringLiteral("Personal call routing: sets of rules a subscriber switches between."))
        .entity(QStringLiteral("personal rule set"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .text(QStringLiteral("DisplayName"), 64)
        .bit(QStringLiteral("Active"));

    T(QStringLiteral("tbl_PersonalRule"), QStringLiteral("Personal call routing rules."))
        .entity(QStringLiteral("personal rule"))
        .id()
        .ref(QStringLiteral("PersonalRuleSetObjectID"), QStringLiteral("tbl_PersonalRuleSet"))
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("Action"),
                 QStringLiteral("0 ring the destinations, 1 send to voice mail, 2 play a message."))
        .range(0, 2)
        .ref(QStringLiteral("PersonalDestinationGroupObjectID"), QStringLiteral("tbl_PersonalDestinationGroup"))
        .ref(QStringLiteral("ScheduleObjectID"), QStringLiteral("tbl_Schedule"),
             QStringLiteral("When the rule applies."))
        .smallint(QStringLiteral("Priority"), QStringLiteral("Lower numbers are tried first."))
        .bit(QStringLiteral("Enabled"));

    T(QStringLiteral("tbl_PersonalRuleCaller"), QStringLiteral("Callers a personal rule applies to."))
        .entity(QStringLiteral("rule caller"))
        .id()
        .ref(QStringLiteral("PersonalRuleObjectID"), QStringLiteral("tbl_PersonalRule"))
        .ref(QStringLiteral("PersonalGroupObjectID"), QStringLiteral("tbl_PersonalGroup"))
        .nulls(50)
        .ref(QStringLiteral("PersonalContactObjectID"), QStringLiteral("tbl_PersonalContact"))
        .nulls(50)
        .text(QStringLiteral("CallerNumber"), 40, QStringLiteral("Calling number, when the rule names a number."))
        .nulls(60)
        .rows(20, 2);

    T(QStringLiteral("tbl_PersonalDlist"), QStringLiteral("Private distribution lists of subscribers."))
        .entity(QStringLiteral("private list"))
        .id()
        .ref(QStringLiteral("UserObjectID"), QStringLiteral("tbl_User"))
        .text(QStringLiteral("DisplayName"), 64)
        .tinyint(QStringLiteral("ListNumber"),
                 QStringLiteral("Number by which the subscriber picks the list on the phone."))
        .range(1, 20);

    T(QStringLiteral("tbl_PersonalDlistMember"), QStringLiteral("Members of private distribution lists."))
        .entity(QStringLiteral("private list member"))
        .id()
        .ref(QStringLiteral("PersonalDlistObjectID"), QStringLiteral("tbl_PersonalDlist"))
        .ref(QStringLiteral("Member_UserObjectID"), QStringLiteral("tbl_User"))
        .ref(QStringLiteral("Member_DistributionListObjectID"), QStringLiteral("tbl_DistributionList"))
        .nulls(80);

    T(QStringLiteral("tbl_Agency"),
      QStringLiteral("Agencies: tenants that share the server, each with its own extensions."))
        .entity(QStringLiteral("agency"))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .ref(QStringLiteral("LocationObjectID"), QStringLiteral("tbl_Location"))
        .text(QStringLiteral("DialPrefix"), 8, QStringLiteral("Digits callers key to reach the agency."))
        .tinyint(QStringLiteral("ExtensionLength"), QStringLiteral("Digits in the agency's extensions."))
        .range(3, 5)
        .money(QStringLiteral("RatePerMinute"), QStringLiteral("Rate charged to the agency per minute of port time."))
        .range(0, 1)
        .names({QStringLiteral("Harbour Point Council"), QStringLiteral("Kestrel Bay Clinic"),
                QStringLiteral("Millbrook Library")})
        .rows(3, 1);

    T(QStringLiteral("tbl_AgencyExtensionRange"), QStringLiteral("Ranges of extensions given to an agency."))
        .entity(QStringLiteral("extension range"))
        .id()
        .ref(QStringLiteral("AgencyObjectID"), QStringLiteral("tbl_Agency"))
        .text(QStringLiteral("StartExtension"), 40, QStringLiteral("First extension of the range."))
        .text(QStringLiteral("EndExtension"), 40, QStringLiteral("Last extension of the range."))
        .rows(5, 2);

    T(QStringLiteral("tbl_BroadcastMessage"),
      QStringLiteral("Broadcast messages: played to every subscriber at sign-in for a time."))
        .entity(QStringLiteral("broadcast message"))
        .id()
        .ref(QStringLiteral("Sender_UserObjectID"), QStringLiteral("tbl_User"),
             QStringLiteral("Who recorded the message."))
        .ref(QStringLiteral("StreamFileObjectID"), QStringLiteral("tbl_StreamFile"))
        .datetime(QStringLiteral("StartDate"), QStringLiteral("First day the message plays."))
        .datetime(QStringLiteral("EndDate"), QStringLiteral("Last day the message plays."))
        .bit(QStringLiteral("Active"))
        .rows(4, 1);

    T(QStringLiteral("tbl_BroadcastMessageRecipient"), QStringLiteral("Who has heard which broadcast message."))
        .entity(QStringLiteral("broadcast recipient"))
        .id()
        .ref(QStringLiteral("BroadcastMessageObjectID"), QStringLiteral("tbl_BroadcastMessage"))
        .ref(QStringLiteral("Recipient_UserObjectID"), QStringLiteral("tbl_User"))
        .ref(QStringLiteral("Recipient_DistributionListMemberObjectID"), QStringLiteral("tbl_DistributionListMember"),
             QStringLiteral("List membership through which the user was addressed."))
        .bit(QStringLiteral("Heard"), QStringLiteral("1 once the user has heard the message."))
        .datetime(QStringLiteral("HeardTime"), QStringLiteral("When the user heard the message."))
        .rows(25, 2);

    T(QStringLiteral("tbl_Policy"), QStringLiteral("System-wide policies the console enforces."))
        .id()
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("PolicyType"), 32, QStringLiteral("Area the policy governs."))
        .pick({QStringLiteral("Security"), QStringLiteral("Messaging"), QStringLiteral("Telephony")})
        .text(QStringLiteral("Setting"), 256, QStringLiteral("Value of the policy as text."))
        .pick({QStringLiteral("Enabled"), QStringLiteral("Disabled"), QStringLiteral("30"), QStringLiteral("Warn")})
        .bit(QStringLiteral("Enabled"))
        .names({QStringLiteral("Require secure messaging"), QStringLiteral("Audit console changes"),
                QStringLiteral("Block international dialling"), QStringLiteral("Expire deleted messages")})
        .rows(4);

    T(QStringLiteral("tbl_TreeControlNode"), QStringLiteral("Pages of the administration console's navigation tree."))
        .entity(QStringLiteral("console tree node"))
        .id()
        .ref(QStringLiteral("ParentObjectID"), QStringLiteral("tbl_TreeControlNode"),
             QStringLiteral("Node above this one; null for a top node."))
        .text(QStringLiteral("DisplayName"), 64)
        .text(QStringLiteral("PageName"), 64, QStringLiteral("Console page the node opens."))
        .smallint(QStringLiteral("SortOrder"))
        .ref(QStringLiteral("PrivilegeObjectID"), QStringLiteral("tbl_Privilege"),
             QStringLiteral("Privilege needed to see the node."));

    T(QStringLiteral("tbl_LocalizedText"),
      QStringLiteral("Texts of the console and of system prompts in each installed language."))
        .entity(QStringLiteral("localized text"))
        .id()
        .integer(QStringLiteral("LanguageCode"))
        .integer(QStringLiteral("TextID"), QStringLiteral("Number of the text; the same in every language."))
        .text(QStringLiteral("Text"), 256, QStringLiteral("The text in that language."));

    T(QStringLiteral("tbl_Configuration"), QStringLiteral("System configuration: a tree of folders and settings."))
        .entity(QStringLiteral("configuration node"))
        .tableNotes(QStringLiteral("Settings show the first value column that is not null; Type says how to read it."))
        .id()
        .guid(QStringLiteral("ParentID"), QStringLiteral("ObjectID of the folder above; null for the root."))
        .integer(QStringLiteral("Type"), QStringLiteral("Kind of node and type of its value."))
        .type(QStringLiteral("ConfigurationValueType"))
        .bit(QStringLiteral("HasChildNodes"), QStringLiteral("1 for a folder, 0 for a setting."))
        .text(QStringLiteral("FullName"), 512,
              QStringLiteral("Dotted path from the root, e.g. System.Messaging.MaxMessageLength."))
        .text(QStringLiteral("Name"), 128, QStringLiteral("Last part of the full name."))
        .bit(QStringLiteral("ValueBool"), QStringLiteral("Value of a Boolean setting."))
        .datetime(QStringLiteral("ValueDate"), QStringLiteral("Value of a date setting."))
        .real(QStringLiteral("ValueFloat"), QStringLiteral("Value of a floating point setting."))
        .guid(QStringLiteral("ValueGUID"), QStringLiteral("Value of an identifier setting."))
        .integer(QStringLiteral("ValueLong"), QStringLiteral("Value of an integer setting."))
        .text(QStringLiteral("ValueString"), 1024, QStringLiteral("Value of a text setting."))
        .bit(QStringLiteral("RequiresRestart"),
             QStringLiteral("1 when a change takes effect only after the services restart."));

    T(QStringLiteral("tbl_FolderInfo"), QStringLiteral("Standard mailbox folders that every new mailbox gets."))
        .entity(QStringLiteral("folder"))
        .tableNotes(
            QStringLiteral("The mailbox database keeps the folders of each mailbox; these rows are the templates."))
        .id(QStringLiteral("FolderInfoObjectID"), QStringLiteral("Unique identifier of the folder."))
        .text(QStringLiteral("Name"), 64, QStringLiteral("Name of the folder."))
        .tinyint(QStringLiteral("FolderType"), QStringLiteral("1 inbox, 2 saved, 3 deleted, 4 sent, 5 drafts."))
        .integer(QStringLiteral("RetentionDays"), QStringLiteral("Days messages stay in the folder; 0 for ever."));

    T(QStringLiteral("tbl_Message"),
      QStringLiteral("Messages to distribution lists waiting to be expanded into mailboxes."))
        .entity(QStringLiteral("queued message"))
        .id(QStringLiteral("MessageObjectID"), QStringLiteral("Unique identifier of the message."))
        .ref(QStringLiteral("FolderInfoObjectID"), QStringLiteral("tbl_FolderInfo"),
             QStringLiteral("Folder the message is delivered to."))
        .ref(QStringLiteral("DistributionListObjectID"), QStringLiteral("tbl_DistributionList"),
             QStringLiteral("List being addressed."))
        .text(QStringLiteral("Subject"), 128, QStringLiteral("Subject line of the message."))
        .text(QStringLiteral("Sender"), 128, QStringLiteral("Alias or number of the sender."))
        .datetime(QStringLiteral("Submitted"), QStringLiteral("When the message was handed to the directory."))
        .bit(QStringLiteral("Urgent"), QStringLiteral("1 when the sender marked the message urgent."));

    T(QStringLiteral("tbl_AuditLog"), QStringLiteral("Changes made through the directory's stored procedures."))
        .entity(QStringLiteral("audit entry"))
        .id()
        .datetime(QStringLiteral("ChangeTime"), QStringLiteral("When the change was made."))
        .text(QStringLiteral("Component"), 64, QStringLiteral("Program that made the change."))
        .text(QStringLiteral("AuditAlias"), 128, QStringLiteral("Account (domain and user) that made the change."))
        .text(QStringLiteral("Operation"), 64, QStringLiteral("Stored procedure that made the change."))
        .guid(QStringLiteral("TargetObjectID"),
              QStringLiteral("Object that was changed; its table depends on the operation."))
        .ntext(QStringLiteral("Details"), QStringLiteral("Free text the caller gave with the change."));

    // Replication conflicts: copies of rows that lost a replication conflict.
    auto conflictOf = [&db, &T](const QString &base, const QString &what) {
        const TableDef source = *db.table(base);
        auto b = T(QStringLiteral("conflict_") + base,
                   QStringLiteral("Copies of %1 rows that lost a directory replication conflict.").arg(what));
        b.entity(what + QStringLiteral(" conflict"));
        b.id(QStringLiteral("ConflictID"), QStringLiteral("Unique identifier of the conflict entry."));
        for (const ColumnDef &c : source.columns) {
            ColumnDef copy = c;
            copy.primaryKey = false;
            copy.notNull = false;
            copy.linkTable.clear();
            copy.values.clear();
            copy.nullPercent = 0;
            copy.description = QStringLiteral("Value of %1 in the losing copy.").arg(c.name);
            copy.notes.clear();
            b.def().columns.append(copy);
        }
        b.datetime(QStringLiteral("ConflictTime"), QStringLiteral("When the conflict was detected."));
        b.text(QStringLiteral("WinningServer"), 64, QStringLiteral("Server whose copy was kept."));
    };
    conflictOf(QStringLiteral("tbl_User"), QStringLiteral("user"));
    conflictOf(QStringLiteral("tbl_CallHandler"), QStringLiteral("call handler"));
    conflictOf(QStringLiteral("tbl_DistributionList"), QStringLiteral("distribution list"));

    // --- views ------------------------------------------------------------

    // Base tables whose view shows all their columns under the same name.
    const QStringList plain = {
        QStringLiteral("Agency"),
        QStringLiteral("AgencyExtensionRange"),
        QStringLiteral("BroadcastMessage"),
        QStringLiteral("BroadcastMessageRecipient"),
        QStringLiteral("CallAction"),
        QStringLiteral("Configuration"),
        QStringLiteral("Conversation"),
        QStringLiteral("Cos"),
        QStringLiteral("Credential"),
        QStringLiteral("CredentialPolicy"),
        QStringLiteral("VantrelTone"),
        QStringLiteral("VantrelTSPDevice"),
        QStringLiteral("DirectoryHandler"),
        QStringLiteral("DistributionList"),
        QStringLiteral("DistributionListMember"),
        QStringLiteral("DtmfAccessId"),
        QStringLiteral("Greeting"),
        QStringLiteral("GreetingStreamFile"),
        QStringLiteral("Handler"),
        QStringLiteral("InterviewHandler"),
        QStringLiteral("IPPortReservation"),
        QStringLiteral("MailboxStoreMap"),
        QStringLiteral("MediaAnalogProtocol"),
        QStringLiteral("MediaPort"),
        QStringLiteral("MediaPortConfigState"),
        QStringLiteral("MediaPortGroup"),
        QStringLiteral("MediaPortGroupIPPort"),
        QStringLiteral("MediaPortGroupTemplate"),
        QStringLiteral("MediaRemoteService"),
        QStringLiteral("MediaSerialMWI"),
        QStringLiteral("MediaSerialProtocol"),
        QStringLiteral("MediaSwitch"),
        QStringLiteral("MediaSwitchManufacturer"),
        QStringLiteral("MediaSwitchModel"),
        QStringLiteral("MediaSwitchTrunk"),
        QStringLiteral("MenuEntry"),
        QStringLiteral("NotificationDevice"),
        QStringLiteral("NotificationDeviceConversation"),
        QStringLiteral("NotificationDeviceMP3"),
        QStringLiteral("NotificationDevicePager"),
        QStringLiteral("NotificationDeviceSMS"),
        QStringLiteral("NotificationDeviceSMTP"),
        QStringLiteral("NotificationMwi"),
        QStringLiteral("NotificationRule"),
        QStringLiteral("NotificationRuleCriteria"),
        QStringLiteral("NotificationRuleEvent"),
        QStringLiteral("PersonalContact"),
        QStringLiteral("PersonalContactPhone"),
        QStringLiteral("PersonalDestination"),
        QStringLiteral("PersonalDestinationGroup"),
        QStringLiteral("PersonalDestinationGroupItem"),
        QStringLiteral("PersonalGroup"),
        QStringLiteral("PersonalGroupMember"),
        QStringLiteral("PersonalGroupMemberSet"),
        QStringLiteral("PersonalRule"),
        QStringLiteral("PersonalRuleCaller"),
        QStringLiteral("PersonalRuleSet"),
        QStringLiteral("PhoneNumber"),
        QStringLiteral("Policy"),
        QStringLiteral("Privilege"),
        QStringLiteral("RestrictionPattern"),
        QStringLiteral("RestrictionTable"),
        QStringLiteral("Role"),
        QStringLiteral("RolePrivilegeMap"),
        QStringLiteral("RoutingRuleParameter"),
        QStringLiteral("Schedule"),
        QStringLiteral("ScheduleDetail"),
        QStringLiteral("ScheduleSet"),
        QStringLiteral("ScheduleSetMemberMap"),
        QStringLiteral("SerialLink"),
        QStringLiteral("SerialLinkPort"),
        QStringLiteral("SMPPProvider"),
        QStringLiteral("StreamFile"),
        QStringLiteral("TimeZone"),
        QStringLiteral("TransferOption"),
        QStringLiteral("TreeControlNode"),
        QStringLiteral("UserTemplate"),
        QStringLiteral("VMSRole"),
        QStringLiteral("VMSRoleTemplate"),
        QStringLiteral("VMSServer"),
        QStringLiteral("VMSServerRole"),
        QStringLiteral("VMSTemplate"),
        QStringLiteral("WaveFormat"),
        QStringLiteral("TaskPeriodic"),
    };
    for (const QString &p : plain)
        addPlainView(db, QStringLiteral("vw_") + p, QStringLiteral("tbl_") + p);

    addPlainView(db, QStringLiteral("vw_InterviewHandlerQuestion"), QStringLiteral("tbl_InterviewQuestion"));
    addPlainView(db, QStringLiteral("vw_Mailbox"), QStringLiteral("tbl_MailboxMap"));
    addPlainView(db, QStringLiteral("vw_Subscriber_Global"), QStringLiteral("tbl_GlobalSubscriber"));
    addPlainView(db, QStringLiteral("vw_Location_Global"), QStringLiteral("tbl_GlobalLocation"));
    addPlainView(db, QStringLiteral("vw_PersonalDList"), QStringLiteral("tbl_PersonalDlist"));
    addPlainView(db, QStringLiteral("vw_PersonalDListMember"), QStringLiteral("tbl_PersonalDlistMember"));

    {
        ViewDef &v = addView(db, QStringLiteral("vw_Callhandler"),
                             QStringLiteral(
                                 "tbl_CallHandler c LEFT JOIN tbl_DtmfAccessId d ON d.Parent_HandlerObjectID = "
                                 "c.ObjectID AND d.IsPrimary = 1"));
        addViewColumns(v, *db.table(QStringLiteral("tbl_CallHandler")), QStringLiteral("c."));
        addViewColumn(v, QStringLiteral("DTMFAccessID"), QStringLiteral("tbl_DtmfAccessId.DTMFAccessID"),
                      QStringLiteral("d.DTMFAccessID"));
    }
    {
        ViewDef &v = addView(db, QStringLiteral("vw_Subscriber"),
                             QStringLiteral(
                                 "tbl_UserSubscriber s JOIN tbl_User u ON u.ObjectID = s.ObjectID "
                                 "LEFT JOIN tbl_Alias a ON a.Object_UserObjectID = s.ObjectID "
                                 "LEFT JOIN tbl_DtmfAccessId d ON d.ObjectID = s.PrimaryDtmfAccessIdObjectID"));
        addViewColumn(v, QStringLiteral("ObjectID"), QStringLiteral("tbl_UserSubscriber.ObjectID"),
                      QStringLiteral("s.ObjectID"));
        addViewColumn(v, QStringLiteral("Alias"), QStringLiteral("tbl_Alias.Alias"), QStringLiteral("a.Alias"));
        for (const QString &c :
             {QStringLiteral("DisplayName"), QStringLiteral("FirstName"), QStringLiteral("LastName"),
              QStringLiteral("EmailAddress"), QStringLiteral("LocationObjectID"), QStringLiteral("CosObjectID"),
              QStringLiteral("TimeZoneObjectID"), QStringLiteral("Language")})
            addViewColumn(v, c, QStringLiteral("tbl_User.") + c, QStringLiteral("u.") + c);
        addViewColumn(v, QStringLiteral("DTMFAccessID"), QStringLiteral("tbl_DtmfAccessId.DTMFAccessID"),
                      QStringLiteral("d.DTMFAccessID"));
        addViewColumns(v, *db.table(QStringLiteral("tbl_UserSubscriber")), QStringLiteral("s."),
                       {QStringLiteral("ObjectID")});
    }
    {
        ViewDef &v = addView(db, QStringLiteral("vw_User"),
                             QStringLiteral("tbl_User u LEFT JOIN tbl_Alias a ON a.Object_UserObjectID = u.ObjectID"));
        addViewColumn(v, QStringLiteral("ObjectID"), QStringLiteral("tbl_User.ObjectID"), QStringLiteral("u.ObjectID"));
        addViewColumn(v, QStringLiteral("Alias"), QStringLiteral("tbl_Alias.Alias"), QStringLiteral("a.Alias"));
        addViewColumns(v, *db.table(QStringLiteral("tbl_User")), QStringLiteral("u."), {QStringLiteral("ObjectID")});
    }
    {
        ViewDef &v = addView(db, QStringLiteral("vw_RoutingRule"), QStringLiteral("tbl_RoutingRule"));
        addViewColumns(v, *db.table(QStringLiteral("tbl_RoutingRule")), QString());
        addViewColumn(v, QStringLiteral("RoutingRuleObjectID"), QStringLiteral("tbl_RoutingRule.ObjectID"),
                      QStringLiteral("ObjectID"));
    }
    {
        ViewDef &v = addView(db, QStringLiteral("vw_DistributionListMembers"),
                             QStringLiteral(
                                 "tbl_DistributionListMember m LEFT JOIN tbl_User u ON u.ObjectID = "
                                 "m.Member_UserObjectID "
                                 "LEFT JOIN tbl_DistributionList d ON d.ObjectID = m.Member_DistributionListObjectID"));
        addViewColumns(v, *db.table(QStringLiteral("tbl_DistributionListMember")), QStringLiteral("m."));
        addViewColumn(v, QStringLiteral("MemberUserDisplayName"), QStringLiteral("tbl_User.DisplayName"),
                      QStringLiteral("u.DisplayName"));
        addViewColumn(v, QStringLiteral("MemberListDisplayName"), QStringLiteral("tbl_DistributionList.DisplayName"),
                      QStringLiteral("d.DisplayName"));
    }
    {
        ViewDef &v = addView(db, QStringLiteral("vw_UserMailboxMap"),
                             QStringLiteral(
                                 "tbl_MailboxMap m JOIN tbl_User u ON u.ObjectID = m.UserObjectID "
                                 "LEFT JOIN tbl_Alias a ON a.Object_UserObjectID = m.UserObjectID "
                                 "LEFT JOIN tbl_MailboxStoreMap s ON s.ObjectID = m.MailboxStoreMapObjectID"));
        addViewColumn(v, QStringLiteral("ObjectID"), QStringLiteral("tbl_MailboxMap.ObjectID"),
                      QStringLiteral("m.ObjectID"));
        addViewColumn(v, QStringLiteral("UserObjectID"), QStringLiteral("tbl_MailboxMap.UserObjectID"),
                      QStringLiteral("m.UserObjectID"));
        addViewColumn(v, QStringLiteral("Alias"), QStringLiteral("tbl_Alias.Alias"), QStringLiteral("a.Alias"));
        addViewColumn(v, QStringLiteral("DisplayName"), QStringLiteral("tbl_User.DisplayName"),
                      QStringLiteral("u.DisplayName"));
        addViewColumn(v, QStringLiteral("MailboxStoreMapObjectID"),
                      QStringLiteral("tbl_MailboxMap.MailboxStoreMapObjectID"),
                      QStringLiteral("m.MailboxStoreMapObjectID"));
        addViewColumn(v, QStringLiteral("StoreAlias"), QStringLiteral("tbl_MailboxStoreMap.Alias"),
                      QStringLiteral("s.Alias"));
        addViewColumn(v, QStringLiteral("DatabaseName"), QStringLiteral("tbl_MailboxStoreMap.DatabaseName"),
                      QStringLiteral("s.DatabaseName"));
        addViewColumn(v, QStringLiteral("ServerName"), QStringLiteral("tbl_MailboxStoreMap.ServerName"),
                      QStringLiteral("s.ServerName"));
    }

    // Lookups the browser and the conversations make by these columns.
    for (const TableDef &t : db.tables) {
        for (const ColumnDef &c : t.columns) {
            if (c.primaryKey || (c.linkTable.isEmpty() && c.name != u"ParentID" && c.name != u"FullName"))
                continue;
            db.indexes << QStringLiteral("CREATE INDEX ix_%1_%2 ON %1(%2)").arg(t.name, c.name);
        }
    }
    db.indexes << QStringLiteral(
        "CREATE INDEX ix_tbl_Greeting_Type ON tbl_Greeting(CallHandlerObjectID, GreetingType)");

    db.procedures = directoryProcedures();
    completeDescriptions(db);
    return db;
}

} // namespace korva::demo
