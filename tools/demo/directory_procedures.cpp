// Stored procedures of the directory database. Their bodies run on the
// embedded engine, so they are written in SQLite's dialect with the
// parameters as @names.
#include "directory.h"

namespace korva::demo {

namespace {

// A new identifier in SQL Server's text form.
const QString kNewId = QStringLiteral(
    "(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' || substr(hex(randomblob(2)), 2) || '-' || "
    "substr('89AB', 1 + abs(random()) % 4, 1) || substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))");
const QString kNow = QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now')");

ParameterDef param(const QString &name, const QString &type, int length, const QString &description = {})
{
    ParameterDef p;
    p.name = name;
    p.typeName = type;
    p.length = length;
    p.description = description;
    return p;
}

ParameterDef ref(const QString &name, const QString &type, int length, const QString &table, const QString &column)
{
    ParameterDef p = param(name, type, length);
    p.refTable = table;
    p.refColumn = column;
    return p;
}

ParameterDef guid(const QString &name, const QString &table, const QString &column)
{
    return ref(name, QStringLiteral("uniqueidentifier"), 16, table, column);
}

ParameterDef withDefault(ParameterDef p, const QString &value)
{
    p.defaultValue = value;
    return p;
}

ParameterDef output(ParameterDef p)
{
    p.output = true;
    return p;
}

QList<ParameterDef> audit()
{
    ParameterDef component = param(QStringLiteral("@AuditComponent"), QStringLiteral("nvarchar"), 64,
                                   QStringLiteral("Name of the program making the change."));
    component.notes = QStringLiteral("Written to tbl_AuditLog.Component.");
    ParameterDef alias = param(QStringLiteral("@AuditAlias"), QStringLiteral("nvarchar"), 128,
                               QStringLiteral("Domain and account of the person making the change."));
    alias.notes = QStringLiteral("Written to tbl_AuditLog.AuditAlias.");
    return {component, alias};
}

QString auditRow(const QString &procedure, const QString &target)
{
    return QStringLiteral("INSERT INTO tbl_AuditLog(ObjectID, ChangeTime, Component, AuditAlias, Operation, "
                          "TargetObjectID, Details) VALUES (%1, %2, @AuditComponent, @AuditAlias, '%3', %4, NULL);")
        .arg(kNewId, kNow, procedure, target);
}

ProcedureDef proc(const QString &name, const QString &description, const QString &notes,
                  const QList<ParameterDef> &params, const QString &body, const QList<ExceptionDef> &exceptions = {})
{
    ProcedureDef p;
    p.name = name;
    p.description = description;
    p.notes = notes;
    p.parameters = params;
    p.body = body;
    p.exceptions = exceptions;
    return p;
}

} // namespace

QList<ProcedureDef> directoryProcedures()
{
    QList<ProcedureDef> list;
    const QString u = QStringLiteral("tbl_User");

    list << proc(QStringLiteral("csp_SubscriberCreate"),
                 QStringLiteral(
                     "Creates a subscriber with its alias, primary call handler, extension and default greetings."),
                 QStringLiteral(
                     "The subscriber is created at this server's location. Returns the new subscriber's ObjectID."),
                 QList<ParameterDef>{ref(QStringLiteral("@Alias"), QStringLiteral("nvarchar"), 64,
                                         QStringLiteral("tbl_Alias"), QStringLiteral("Alias")),
                                     ref(QStringLiteral("@FirstName"), QStringLiteral("nvarchar"), 64, u,
                                         QStringLiteral("FirstName")),
                                     ref(QStringLiteral("@LastName"), QStringLiteral("nvarchar"), 64, u,
                                         QStringLiteral("LastName")),
                                     withDefault(ref(QStringLiteral("@DisplayName"), QStringLiteral("nvarchar"), 64, u,
                                                     QStringLiteral("DisplayName")),
                                                 QStringLiteral("NULL")),
                                     ref(QStringLiteral("@DTMFAccessID"), QStringLiteral("nvarchar"), 40,
                                         QStringLiteral("tbl_DtmfAccessId"), QStringLiteral("DTMFAccessID")),
                                     withDefault(guid(QStringLiteral("@CosObjectID"), u, QStringLiteral("CosObjectID")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@ListInDirectory"), QStringLiteral("bit"), 1,
                                                     QStringLiteral("tbl_UserSubscriber"),
                                                     QStringLiteral("ListInDirectory")),
                                                 QStringLiteral("1"))}
                     + audit()
                     + QList<ParameterDef>{output(param(QStringLiteral("@ObjectID"), QStringLiteral("uniqueidentifier"),
                                                        16, QStringLiteral("ObjectID of the new subscriber.")))},
                 QStringLiteral(R"(
INSERT INTO tbl_User(ObjectID, DisplayName, FirstName, LastName, Initials, EmailAddress, LocationObjectID, CosObjectID,
                     TimeZoneObjectID, Language, IsAdministrator, CreationTime)
SELECT %1, COALESCE(@DisplayName, @FirstName || ' ' || @LastName), @FirstName, @LastName,
       upper(substr(@FirstName, 1, 1) || substr(@LastName, 1, 1)), @Alias || '@' || l.SmtpDomain, l.ObjectID,
       COALESCE(@CosObjectID, (SELECT ObjectID FROM tbl_Cos WHERE DisplayName = 'Default Subscriber')),
       l.TimeZoneObjectID, 1033, 0, %2
FROM tbl_Location l WHERE l.IsPrimary = 1;
INSERT INTO tbl_Alias(Alias, Object_UserObjectID, AliasType, LocationObjectID)
SELECT @Alias, ObjectID, 0, LocationObjectID FROM tbl_User WHERE rowid = last_insert_rowid();
INSERT INTO tbl_Handler(ObjectID, DisplayName, HandlerType, LocationObjectID)
SELECT %1, u.DisplayName, 1, u.LocationObjectID
FROM tbl_Alias a JOIN tbl_User u ON u.ObjectID = a.Object_UserObjectID WHERE a.Alias = @Alias;
INSERT INTO tbl_CallHandler(ObjectID, DisplayName, Recipient_SubscriberObjectID, LocationObjectID, TimeZoneObjectID,
                            IsPrimary, AfterMessage_Action, MaxMsgLength, EditMsg, Language, CreationTime)
SELECT h.ObjectID, h.DisplayName, a.Object_UserObjectID, h.LocationObjectID, u.TimeZoneObjectID, 1, 1, 300, 1, 1033, %2
FROM tbl_Handler h, tbl_Alias a JOIN tbl_User u ON u.ObjectID = a.Object_UserObjectID
WHERE h.rowid = last_insert_rowid() AND a.Alias = @Alias;
INSERT INTO tbl_DtmfAccessId(ObjectID, DTMFAccessID, Parent_SubscriberObjectID, IsPrimary)
SELECT %1, @DTMFAccessID, Object_UserObjectID, 1 FROM tbl_Alias WHERE Alias = @Alias;
INSERT INTO tbl_UserSubscriber(ObjectID, CallHandlerObjectID, PrimaryDtmfAccessIdObjectID, SubscriberType,
                               ListInDirectory, MwiEnabled)
SELECT a.Object_UserObjectID, c.ObjectID, d.ObjectID, 0, COALESCE(@ListInDirectory, 1), 1
FROM tbl_Alias a JOIN tbl_CallHandler c ON c.Recipient_SubscriberObjectID = a.Object_UserObjectID
JOIN tbl_DtmfAccessId d ON d.Parent_SubscriberObjectID = a.Object_UserObjectID
WHERE a.Alias = @Alias;
INSERT INTO tbl_Greeting(ObjectID, CallHandlerObjectID, GreetingType, Enabled, PlayWhat, AfterGreeting_Action,
                         IgnoreDigits, Reprompts)
SELECT %1, s.CallHandlerObjectID, t.column1, 1, 0, CASE t.column1 WHEN 'Error' THEN 6 ELSE 4 END, 0, 0
FROM tbl_UserSubscriber s JOIN tbl_Alias a ON a.Object_UserObjectID = s.ObjectID,
     (VALUES ('Standard'), ('OffHours'), ('Error')) t
WHERE a.Alias = @Alias;
)")
                         .arg(kNewId, kNow)
                     + auditRow(QStringLiteral("csp_SubscriberCreate"),
                                QStringLiteral("(SELECT Object_UserObjectID FROM tbl_Alias WHERE Alias = @Alias)"))
                     + QStringLiteral("\nSELECT Object_UserObjectID AS ObjectID FROM tbl_Alias WHERE Alias = @Alias;"),
                 {{QStringLiteral("50101"),
                   QStringLiteral("The alias is already in use by another user or distribution list.")},
                  {QStringLiteral("50102"), QStringLiteral("The extension is already in use.")},
                  {QStringLiteral("50103"), QStringLiteral("This server has no primary location.")}});

    list << proc(QStringLiteral("csp_SubscriberDelete"),
                 QStringLiteral("Deletes a subscriber and everything that belongs to it."),
                 QStringLiteral("Messages in the mailbox database are removed later by the store maintenance task."),
                 QList<ParameterDef>{guid(QStringLiteral("@ObjectID"), QStringLiteral("tbl_UserSubscriber"),
                                          QStringLiteral("ObjectID"))}
                     + audit(),
                 QStringLiteral(R"(
DELETE FROM tbl_Greeting WHERE CallHandlerObjectID IN (SELECT CallHandlerObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID);
DELETE FROM tbl_TransferOption WHERE CallHandlerObjectID IN (SELECT CallHandlerObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID);
DELETE FROM tbl_MenuEntry WHERE CallHandlerObjectID IN (SELECT CallHandlerObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID);
DELETE FROM tbl_Handler WHERE ObjectID IN (SELECT CallHandlerObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID);
DELETE FROM tbl_CallHandler WHERE Recipient_SubscriberObjectID = @ObjectID AND IsPrimary = 1;
DELETE FROM tbl_DtmfAccessId WHERE Parent_SubscriberObjectID = @ObjectID;
DELETE FROM tbl_NotificationDevice WHERE SubscriberObjectID = @ObjectID;
DELETE FROM tbl_NotificationMwi WHERE SubscriberObjectID = @ObjectID;
DELETE FROM tbl_DistributionListMember WHERE Member_UserObjectID = @ObjectID;
DELETE FROM tbl_Credential WHERE UserObjectID = @ObjectID;
DELETE FROM tbl_Alias WHERE Object_UserObjectID = @ObjectID;
DELETE FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID;
DELETE FROM tbl_User WHERE ObjectID = @ObjectID;
)") + auditRow(QStringLiteral("csp_SubscriberDelete"), QStringLiteral("@ObjectID")),
                 {{QStringLiteral("50110"), QStringLiteral("The subscriber does not exist.")}});

    list << proc(QStringLiteral("csp_SubscriberModifyName"),
                 QStringLiteral("Changes a subscriber's names and renames its primary call handler to match."),
                 QStringLiteral("Parameters left null keep their value."),
                 QList<ParameterDef>{guid(QStringLiteral("@ObjectID"), QStringLiteral("tbl_UserSubscriber"),
                                          QStringLiteral("ObjectID")),
                                     withDefault(ref(QStringLiteral("@FirstName"), QStringLiteral("nvarchar"), 64, u,
                                                     QStringLiteral("FirstName")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@LastName"), QStringLiteral("nvarchar"), 64, u,
                                                     QStringLiteral("LastName")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@DisplayName"), QStringLiteral("nvarchar"), 64, u,
                                                     QStringLiteral("DisplayName")),
                                                 QStringLiteral("NULL"))}
                     + audit(),
                 QStringLiteral(R"(
UPDATE tbl_User SET FirstName = COALESCE(@FirstName, FirstName), LastName = COALESCE(@LastName, LastName),
       DisplayName = COALESCE(@DisplayName, DisplayName) WHERE ObjectID = @ObjectID;
UPDATE tbl_CallHandler SET DisplayName = (SELECT DisplayName FROM tbl_User WHERE ObjectID = @ObjectID)
WHERE Recipient_SubscriberObjectID = @ObjectID AND IsPrimary = 1;
UPDATE tbl_Handler SET DisplayName = (SELECT DisplayName FROM tbl_User WHERE ObjectID = @ObjectID)
WHERE ObjectID IN (SELECT CallHandlerObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ObjectID);
)") + auditRow(QStringLiteral("csp_SubscriberModifyName"), QStringLiteral("@ObjectID")));

    {
        ParameterDef pin = param(QStringLiteral("@NewPin"), QStringLiteral("nvarchar"), 24,
                                 QStringLiteral("The new PIN, digits only."));
        pin.notes = QStringLiteral("Stored only as a salted hash. Must satisfy the user's credential policy.");
        list << proc(QStringLiteral("csp_CredentialResetPin"), QStringLiteral("Sets a new phone PIN for a user."),
                     QStringLiteral(
                         "Also clears the failed sign-in count. The old PIN goes to the credential history."),
                     QList<ParameterDef>{guid(QStringLiteral("@UserObjectID"), QStringLiteral("tbl_Credential"),
                                              QStringLiteral("UserObjectID")),
                                         pin,
                                         withDefault(ref(QStringLiteral("@MustChange"), QStringLiteral("bit"), 1,
                                                         QStringLiteral("tbl_Credential"),
                                                         QStringLiteral("MustChange")),
                                                     QStringLiteral("1"))}
                         + audit(),
                     QStringLiteral(R"(
INSERT INTO tbl_UserCredentialHistory(ObjectID, UserObjectID, CredentialType, CredentialHash, TimeChanged)
SELECT %1, UserObjectID, CredentialType, CredentialHash, %2 FROM tbl_Credential
WHERE UserObjectID = @UserObjectID AND CredentialType = 3;
UPDATE tbl_Credential SET CredentialHash = randomblob(32), MustChange = COALESCE(@MustChange, 1), HackCount = 0,
       TimeChanged = %2
WHERE UserObjectID = @UserObjectID AND CredentialType = 3;
)")
                             .arg(kNewId, kNow)
                         + auditRow(QStringLiteral("csp_CredentialResetPin"), QStringLiteral("@UserObjectID")),
                     {{QStringLiteral("50120"),
                       QStringLiteral("The PIN is shorter or longer than the credential policy allows.")},
                      {QStringLiteral("50121"), QStringLiteral("The PIN was used recently.")}});
    }

    list << proc(QStringLiteral("csp_CredentialUnlock"),
                 QStringLiteral("Unlocks a user's account after too many failed sign-ins."), QString(),
                 QList<ParameterDef>{guid(QStringLiteral("@UserObjectID"), u, QStringLiteral("ObjectID"))} + audit(),
                 QStringLiteral(R"(
UPDATE tbl_Credential SET HackCount = 0 WHERE UserObjectID = @UserObjectID;
UPDATE tbl_User SET AccountLockoutObjectID = NULL WHERE ObjectID = @UserObjectID;
)") + auditRow(QStringLiteral("csp_CredentialUnlock"), QStringLiteral("@UserObjectID")));

    list << proc(QStringLiteral("csp_DistributionListCreate"), QStringLiteral("Creates a public distribution list."),
                 QStringLiteral("The list is administered by the system administrator until someone else is named."),
                 QList<ParameterDef>{ref(QStringLiteral("@Alias"), QStringLiteral("nvarchar"), 64,
                                         QStringLiteral("tbl_DistributionList"), QStringLiteral("Alias")),
                                     ref(QStringLiteral("@DisplayName"), QStringLiteral("nvarchar"), 64,
                                         QStringLiteral("tbl_DistributionList"), QStringLiteral("DisplayName")),
                                     withDefault(ref(QStringLiteral("@IsPublic"), QStringLiteral("bit"), 1,
                                                     QStringLiteral("tbl_DistributionList"),
                                                     QStringLiteral("IsPublic")),
                                                 QStringLiteral("1"))}
                     + audit()
                     + QList<ParameterDef>{output(param(QStringLiteral("@ObjectID"), QStringLiteral("uniqueidentifier"),
                                                        16, QStringLiteral("ObjectID of the new list.")))},
                 QStringLiteral(R"(
INSERT INTO tbl_DistributionList(ObjectID, Alias, DisplayName, LocationObjectID, Admin_UserObjectID, IsPublic, IsSystem,
                                 AllowContacts, CreationTime)
SELECT %1, @Alias, @DisplayName, ObjectID,
       (SELECT Object_UserObjectID FROM tbl_Alias WHERE Alias = 'administrator'), COALESCE(@IsPublic, 1), 0, 0, %2
FROM tbl_Location WHERE IsPrimary = 1;
INSERT INTO tbl_Alias(Alias, Object_DistributionListObjectID, AliasType, LocationObjectID)
SELECT Alias, ObjectID, 0, LocationObjectID FROM tbl_DistributionList WHERE rowid = last_insert_rowid();
)")
                         .arg(kNewId, kNow)
                     + auditRow(QStringLiteral("csp_DistributionListCreate"),
                                QStringLiteral("(SELECT Object_DistributionListObjectID FROM tbl_Alias WHERE Alias = "
                                               "@Alias)"))
                     + QStringLiteral(
                         "\nSELECT Object_DistributionListObjectID AS ObjectID FROM tbl_Alias WHERE Alias = @Alias;"),
                 {{QStringLiteral("50101"),
                   QStringLiteral("The alias is already in use by another user or distribution list.")}});

    {
        ParameterDef member = param(QStringLiteral("@MemberObjectID"), QStringLiteral("uniqueidentifier"), 16,
                                    QStringLiteral("ObjectID of the user or distribution list to add."));
        member.notes = QStringLiteral("Whether it is a user or a list is worked out from the ObjectID.");
        list << proc(QStringLiteral("csp_DistributionListMemberAdd"),
                     QStringLiteral("Adds a user or a list to a distribution list."),
                     QStringLiteral("Adding a member twice does nothing."),
                     QList<ParameterDef>{guid(QStringLiteral("@DistributionListObjectID"),
                                              QStringLiteral("tbl_DistributionListMember"),
                                              QStringLiteral("DistributionListObjectID")),
                                         member}
                         + audit(),
                     QStringLiteral(R"(
INSERT INTO tbl_DistributionListMember(ObjectID, DistributionListObjectID, Member_UserObjectID, Member_DistributionListObjectID,
                                       CreationTime)
SELECT %1, @DistributionListObjectID,
       CASE WHEN EXISTS (SELECT 1 FROM tbl_User WHERE ObjectID = @MemberObjectID) THEN @MemberObjectID END,
       CASE WHEN EXISTS (SELECT 1 FROM tbl_DistributionList WHERE ObjectID = @MemberObjectID) THEN @MemberObjectID END, %2
WHERE EXISTS (SELECT 1 FROM tbl_DistributionList WHERE ObjectID = @DistributionListObjectID)
  AND NOT EXISTS (SELECT 1 FROM tbl_DistributionListMember WHERE DistributionListObjectID = @DistributionListObjectID
                  AND (Member_UserObjectID = @MemberObjectID OR Member_DistributionListObjectID = @MemberObjectID));
)")
                             .arg(kNewId, kNow)
                         + auditRow(QStringLiteral("csp_DistributionListMemberAdd"),
                                    QStringLiteral("@DistributionListObjectID")),
                     {{QStringLiteral("50130"), QStringLiteral("A list cannot be a member of itself.")}});
        list << proc(QStringLiteral("csp_DistributionListMemberRemove"),
                     QStringLiteral("Removes a user or a list from a distribution list."), QString(),
                     QList<ParameterDef>{guid(QStringLiteral("@DistributionListObjectID"),
                                              QStringLiteral("tbl_DistributionListMember"),
                                              QStringLiteral("DistributionListObjectID")),
                                         member}
                         + audit(),
                     QStringLiteral(R"(
DELETE FROM tbl_DistributionListMember WHERE DistributionListObjectID = @DistributionListObjectID
  AND (Member_UserObjectID = @MemberObjectID OR Member_DistributionListObjectID = @MemberObjectID);
)") + auditRow(QStringLiteral("csp_DistributionListMemberRemove"), QStringLiteral("@DistributionListObjectID")));
    }

    list << proc(QStringLiteral("csp_CallHandlerSetGreeting"),
                 QStringLiteral("Turns one greeting of a call handler on or off."),
                 QStringLiteral("Creates the greeting when the handler does not have it yet."),
                 QList<ParameterDef>{guid(QStringLiteral("@CallHandlerObjectID"), QStringLiteral("tbl_Greeting"),
                                          QStringLiteral("CallHandlerObjectID")),
                                     ref(QStringLiteral("@GreetingType"), QStringLiteral("nvarchar"), 16,
                                         QStringLiteral("tbl_Greeting"), QStringLiteral("GreetingType")),
                                     ref(QStringLiteral("@Enabled"), QStringLiteral("bit"), 1,
                                         QStringLiteral("tbl_Greeting"), QStringLiteral("Enabled")),
                                     withDefault(ref(QStringLiteral("@TimeExpires"), QStringLiteral("datetime"), 8,
                                                     QStringLiteral("tbl_Greeting"), QStringLiteral("TimeExpires")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@AfterGreetingAction"), QStringLiteral("int"), 4,
                                                     QStringLiteral("tbl_Greeting"),
                                                     QStringLiteral("AfterGreeting_Action")),
                                                 QStringLiteral("NULL"))}
                     + audit(),
                 QStringLiteral(R"(
INSERT INTO tbl_Greeting(ObjectID, CallHandlerObjectID, GreetingType, Enabled, PlayWhat, AfterGreeting_Action, IgnoreDigits, Reprompts)
SELECT %1, @CallHandlerObjectID, @GreetingType, 0, 0, 4, 0, 0
WHERE NOT EXISTS (SELECT 1 FROM tbl_Greeting WHERE CallHandlerObjectID = @CallHandlerObjectID AND GreetingType = @GreetingType);
UPDATE tbl_Greeting SET Enabled = @Enabled, TimeExpires = @TimeExpires,
       AfterGreeting_Action = COALESCE(@AfterGreetingAction, AfterGreeting_Action)
WHERE CallHandlerObjectID = @CallHandlerObjectID AND GreetingType = @GreetingType;
)")
                         .arg(kNewId)
                     + auditRow(QStringLiteral("csp_CallHandlerSetGreeting"), QStringLiteral("@CallHandlerObjectID")),
                 {{QStringLiteral("50140"), QStringLiteral("Unknown greeting type.")}});

    list << proc(QStringLiteral("csp_CallHandlerSetTransfer"),
                 QStringLiteral("Sets where a call handler's transfer rule rings."), QString(),
                 QList<ParameterDef>{guid(QStringLiteral("@CallHandlerObjectID"), QStringLiteral("tbl_TransferOption"),
                                          QStringLiteral("CallHandlerObjectID")),
                                     ref(QStringLiteral("@TransferOptionType"), QStringLiteral("nvarchar"), 16,
                                         QStringLiteral("tbl_TransferOption"), QStringLiteral("TransferOptionType")),
                                     ref(QStringLiteral("@Extension"), QStringLiteral("nvarchar"), 40,
                                         QStringLiteral("tbl_TransferOption"), QStringLiteral("Extension")),
                                     withDefault(ref(QStringLiteral("@RnaRings"), QStringLiteral("tinyint"), 1,
                                                     QStringLiteral("tbl_TransferOption"), QStringLiteral("RnaRings")),
                                                 QStringLiteral("4")),
                                     withDefault(param(QStringLiteral("@Supervised"), QStringLiteral("bit"), 1,
                                                       QStringLiteral("1 to supervise the transfer, 0 to release the "
                                                                      "call to the switch.")),
                                                 QStringLiteral("0"))}
                     + audit(),
                 QStringLiteral(R"(
UPDATE tbl_TransferOption SET Action = CASE WHEN @Extension IS NULL OR @Extension = '' THEN 0 ELSE 1 END,
       Extension = NULLIF(@Extension, ''), RnaRings = COALESCE(@RnaRings, 4), TransferType = COALESCE(@Supervised, 0)
WHERE CallHandlerObjectID = @CallHandlerObjectID AND TransferOptionType = @TransferOptionType;
)") + auditRow(QStringLiteral("csp_CallHandlerSetTransfer"), QStringLiteral("@CallHandlerObjectID")),
                 {{QStringLiteral("50150"),
                   QStringLiteral("The extension is blocked by the class of service's restriction table.")}});

    {
        // Present on the server but never described in the dictionary.
        ProcedureDef p =
            proc(QStringLiteral("csp_DtmfAccessIdAssign"), QString(), QString(),
                 QList<ParameterDef>{param(QStringLiteral("@ParentObjectID"), QStringLiteral("uniqueidentifier"), 16),
                                     param(QStringLiteral("@DTMFAccessID"), QStringLiteral("varchar"), 40),
                                     withDefault(param(QStringLiteral("@IsPrimary"), QStringLiteral("bit"), 1),
                                                 QStringLiteral("0"))}
                     + audit(),
                 QStringLiteral(R"(
INSERT INTO tbl_DtmfAccessId(ObjectID, DTMFAccessID, Parent_SubscriberObjectID, Parent_HandlerObjectID,
                             Parent_DistributionListObjectID, IsPrimary)
SELECT %1, @DTMFAccessID,
       (SELECT ObjectID FROM tbl_UserSubscriber WHERE ObjectID = @ParentObjectID),
       (SELECT ObjectID FROM tbl_Handler WHERE ObjectID = @ParentObjectID),
       (SELECT ObjectID FROM tbl_DistributionList WHERE ObjectID = @ParentObjectID), COALESCE(@IsPrimary, 0);
)")
                         .arg(kNewId)
                     + auditRow(QStringLiteral("csp_DtmfAccessIdAssign"), QStringLiteral("@ParentObjectID")));
        list << p;
    }

    list << proc(QStringLiteral("csp_ConfigurationSetValue"),
                 QStringLiteral("Changes the value of one configuration setting."),
                 QStringLiteral(
                     "Give the value in the parameter that matches the setting's type; the others stay null."),
                 QList<ParameterDef>{ref(QStringLiteral("@FullName"), QStringLiteral("nvarchar"), 512,
                                         QStringLiteral("tbl_Configuration"), QStringLiteral("FullName")),
                                     withDefault(ref(QStringLiteral("@ValueLong"), QStringLiteral("int"), 4,
                                                     QStringLiteral("tbl_Configuration"), QStringLiteral("ValueLong")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@ValueBool"), QStringLiteral("bit"), 1,
                                                     QStringLiteral("tbl_Configuration"), QStringLiteral("ValueBool")),
                                                 QStringLiteral("NULL")),
                                     withDefault(ref(QStringLiteral("@ValueString"), QStringLiteral("nvarchar"), 1024,
                                                     QStringLiteral("tbl_Configuration"),
                                                     QStringLiteral("ValueString")),
                                                 QStringLiteral("NULL"))}
                     + audit(),
                 QStringLiteral(R"(
UPDATE tbl_Configuration SET ValueLong = COALESCE(@ValueLong, ValueLong), ValueBool = COALESCE(@ValueBool, ValueBool),
       ValueString = COALESCE(@ValueString, ValueString)
WHERE FullName = @FullName AND HasChildNodes = 0;
)")
                     + auditRow(QStringLiteral("csp_ConfigurationSetValue"),
                                QStringLiteral("(SELECT ObjectID FROM tbl_Configuration WHERE FullName = @FullName)")),
                 {{QStringLiteral("50160"), QStringLiteral("No setting has this full name.")},
                  {QStringLiteral("50161"), QStringLiteral("The value is outside the setting's range.")}});

    list << proc(QStringLiteral("csp_ConfigurationGetValue"),
                 QStringLiteral("Reads the value of one configuration setting as text."), QString(),
                 QList<ParameterDef>{ref(QStringLiteral("@FullName"), QStringLiteral("nvarchar"), 512,
                                         QStringLiteral("tbl_Configuration"), QStringLiteral("FullName")),
                                     output(ref(QStringLiteral("@ValueString"), QStringLiteral("nvarchar"), 1024,
                                                QStringLiteral("tbl_Configuration"), QStringLiteral("ValueString")))},
                 QStringLiteral(R"(
SELECT COALESCE(ValueString, CAST(ValueLong AS TEXT), CAST(ValueBool AS TEXT), CAST(ValueFloat AS TEXT), ValueDate, ValueGUID)
       AS ValueString
FROM tbl_Configuration WHERE FullName = @FullName;
)"));

    list << proc(QStringLiteral("csp_MailboxSetQuota"),
                 QStringLiteral("Gives a subscriber a quota other than its class of service's."),
                 QStringLiteral("A null quota returns the subscriber to the class of service's quota."),
                 QList<ParameterDef>{guid(QStringLiteral("@UserObjectID"), QStringLiteral("tbl_MailboxMap"),
                                          QStringLiteral("UserObjectID")),
                                     guid(QStringLiteral("@QuotaObjectID"), QStringLiteral("tbl_UserSubscriber"),
                                          QStringLiteral("QuotaObjectID"))}
                     + audit(),
                 QStringLiteral(
                     "\nUPDATE tbl_UserSubscriber SET QuotaObjectID = @QuotaObjectID WHERE ObjectID = @UserObjectID;\n")
                     + auditRow(QStringLiteral("csp_MailboxSetQuota"), QStringLiteral("@UserObjectID")));

    {
        ParameterDef recording = param(QStringLiteral("@Recording"), QStringLiteral("varbinary"), 8000,
                                       QStringLiteral("The recorded message in the default wave format."));
        list << proc(QStringLiteral("csp_BroadcastMessageCreate"),
                     QStringLiteral("Stores a broadcast message that every subscriber hears at sign-in."),
                     QStringLiteral(
                         "The message plays from StartDate until EndDate, or for ever when EndDate is null."),
                     QList<ParameterDef>{guid(QStringLiteral("@SenderObjectID"), QStringLiteral("tbl_BroadcastMessage"),
                                              QStringLiteral("Sender_UserObjectID")),
                                         recording,
                                         param(QStringLiteral("@DurationMs"), QStringLiteral("bigint"), 8,
                                               QStringLiteral("Length of the recording in milliseconds.")),
                                         ref(QStringLiteral("@StartDate"), QStringLiteral("datetime"), 8,
                                             QStringLiteral("tbl_BroadcastMessage"), QStringLiteral("StartDate")),
                                         withDefault(ref(QStringLiteral("@EndDate"), QStringLiteral("datetime"), 8,
                                                         QStringLiteral("tbl_BroadcastMessage"),
                                                         QStringLiteral("EndDate")),
                                                     QStringLiteral("NULL"))}
                         + audit()
                         + QList<ParameterDef>{output(param(QStringLiteral("@ObjectID"),
                                                            QStringLiteral("uniqueidentifier"), 16,
                                                            QStringLiteral("ObjectID of the new broadcast message.")))},
                     QStringLiteral(R"(
INSERT INTO tbl_StreamFile(ObjectID, FileName, DurationMs, SizeBytes, WaveFormatObjectID, CreationTime)
SELECT %1, 'Broadcast\' || strftime('%Y%m%d%H%M%S', 'now') || '.wav', CAST(@DurationMs AS INTEGER), length(@Recording),
       (SELECT ObjectID FROM tbl_WaveFormat WHERE IsDefault = 1), %2;
INSERT INTO tbl_BroadcastMessage(ObjectID, Sender_UserObjectID, StreamFileObjectID, StartDate, EndDate, Active)
SELECT %1, @SenderObjectID, ObjectID, @StartDate, @EndDate, 1 FROM tbl_StreamFile WHERE rowid = last_insert_rowid();
)")
                             .arg(kNewId, kNow)
                         + auditRow(QStringLiteral("csp_BroadcastMessageCreate"), QStringLiteral("@SenderObjectID"))
                         + QStringLiteral(
                             "\nSELECT ObjectID FROM tbl_BroadcastMessage WHERE rowid = last_insert_rowid();"));
    }

    list << proc(QStringLiteral("csp_ScheduleDetailAdd"), QStringLiteral("Adds an active period to a weekly schedule."),
                 QString(),
                 QList<ParameterDef>{guid(QStringLiteral("@ScheduleObjectID"), QStringLiteral("tbl_ScheduleDetail"),
                                          QStringLiteral("ScheduleObjectID")),
                                     ref(QStringLiteral("@StartTime"), QStringLiteral("smallint"), 2,
                                         QStringLiteral("tbl_ScheduleDetail"), QStringLiteral("StartTime")),
                                     ref(QStringLiteral("@EndTime"), QStringLiteral("smallint"), 2,
                                         QStringLiteral("tbl_ScheduleDetail"), QStringLiteral("EndTime")),
                                     ref(QStringLiteral("@DaysOfWeek"), QStringLiteral("tinyint"), 1,
                                         QStringLiteral("tbl_ScheduleDetail"), QStringLiteral("DaysOfWeek"))}
                     + audit(),
                 QStringLiteral(R"(
INSERT INTO tbl_ScheduleDetail(ObjectID, ScheduleObjectID, StartTime, EndTime, DaysOfWeek)
VALUES (%1, @ScheduleObjectID, CAST(@StartTime AS INTEGER), CAST(@EndTime AS INTEGER), CAST(@DaysOfWeek AS INTEGER));
)")
                         .arg(kNewId)
                     + auditRow(QStringLiteral("csp_ScheduleDetailAdd"), QStringLiteral("@ScheduleObjectID")),
                 {{QStringLiteral("50170"), QStringLiteral("The period ends before it starts.")}});

    list << proc(QStringLiteral("csp_NotificationDeviceSetActive"),
                 QStringLiteral("Switches a notification device on or off."), QString(),
                 QList<ParameterDef>{guid(QStringLiteral("@ObjectID"), QStringLiteral("tbl_NotificationDevice"),
                                          QStringLiteral("ObjectID")),
                                     ref(QStringLiteral("@Active"), QStringLiteral("bit"), 1,
                                         QStringLiteral("tbl_NotificationDevice"), QStringLiteral("Active")),
                                     withDefault(ref(QStringLiteral("@MaxRetries"), QStringLiteral("tinyint"), 1,
                                                     QStringLiteral("tbl_NotificationDevice"),
                                                     QStringLiteral("MaxRetries")),
                                                 QStringLiteral("NULL"))}
                     + audit(),
                 QStringLiteral(R"(
UPDATE tbl_NotificationDevice SET Active = @Active, MaxRetries = COALESCE(@MaxRetries, MaxRetries) WHERE ObjectID = @ObjectID;
)") + auditRow(QStringLiteral("csp_NotificationDeviceSetActive"), QStringLiteral("@ObjectID")));

    {
        // The rate is described here, not by the column (which has none of its own).
        ParameterDef rate = ref(QStringLiteral("@RatePerMinute"), QStringLiteral("money"), 8,
                                QStringLiteral("tbl_Agency"), QString());
        rate.description = QStringLiteral("New rate per minute of port time, in the currency of the invoice.");
        rate.notes = QStringLiteral("Applies to calls from the first day of the next month.");
        list << proc(QStringLiteral("csp_AgencySetRate"),
                     QStringLiteral("Changes what an agency is charged per minute."), QString(),
                     QList<ParameterDef>{guid(QStringLiteral("@AgencyObjectID"), QStringLiteral("tbl_Agency"),
                                              QStringLiteral("ObjectID")),
                                         rate}
                         + audit(),
                     QStringLiteral("\nUPDATE tbl_Agency SET RatePerMinute = CAST(@RatePerMinute AS REAL) WHERE "
                                    "ObjectID = @AgencyObjectID;\n")
                         + auditRow(QStringLiteral("csp_AgencySetRate"), QStringLiteral("@AgencyObjectID")));
    }

    {
        ParameterDef details = param(QStringLiteral("@Details"), QStringLiteral("text"), 16,
                                     QStringLiteral("Free text kept with the entry."));
        list << proc(QStringLiteral("csp_AuditLogWrite"),
                     QStringLiteral("Adds an entry to the audit log for a change made outside the procedures."),
                     QStringLiteral("Used by import tools that write to the tables directly."),
                     QList<ParameterDef>{ref(QStringLiteral("@Operation"), QStringLiteral("nvarchar"), 64,
                                             QStringLiteral("tbl_AuditLog"), QStringLiteral("Operation")),
                                         guid(QStringLiteral("@TargetObjectID"), QStringLiteral("tbl_AuditLog"),
                                              QStringLiteral("TargetObjectID")),
                                         details}
                         + audit(),
                     QStringLiteral(R"(
INSERT INTO tbl_AuditLog(ObjectID, ChangeTime, Component, AuditAlias, Operation, TargetObjectID, Details)
VALUES (%1, %2, @AuditComponent, @AuditAlias, @Operation, @TargetObjectID, @Details);
)")
                         .arg(kNewId, kNow));
    }

    list << proc(QStringLiteral("csp_AuditLogPurge"), QStringLiteral("Deletes old audit log entries."),
                 QStringLiteral(
                     "At most @MaxRows entries go per call, oldest first, so the log is never locked for long."),
                 QList<ParameterDef>{param(QStringLiteral("@OlderThanDays"), QStringLiteral("smallint"), 2,
                                           QStringLiteral("Entries older than this many days are deleted.")),
                                     withDefault(param(QStringLiteral("@MaxRows"), QStringLiteral("bigint"), 8,
                                                       QStringLiteral("Most entries deleted by one call.")),
                                                 QStringLiteral("100000"))}
                     + audit(),
                 QStringLiteral(R"(
DELETE FROM tbl_AuditLog WHERE rowid IN (
  SELECT rowid FROM tbl_AuditLog WHERE julianday('now') - julianday(ChangeTime) > CAST(@OlderThanDays AS INTEGER)
  ORDER BY ChangeTime LIMIT CAST(COALESCE(@MaxRows, 100000) AS INTEGER));
)") + auditRow(QStringLiteral("csp_AuditLogPurge"), QStringLiteral("NULL")));

    {
        QList<ParameterDef> outs;
        for (const char *name : {"@SubscriberCount", "@HandlerCount", "@ListCount"})
            outs << output(
                param(QString::fromLatin1(name), QStringLiteral("int"), 4,
                      QStringLiteral("Number of %1 in the directory.")
                          .arg(QString::fromLatin1(name + 1).remove(QStringLiteral("Count")).toLower() + u's')));
        list << proc(QStringLiteral("sp_DirectoryStatistics"),
                     QStringLiteral("Counts the main objects of the directory."),
                     QStringLiteral("Returns the counts as output parameters and as one row."), outs, QStringLiteral(R"(
SELECT (SELECT COUNT(*) FROM tbl_UserSubscriber) AS SubscriberCount,
       (SELECT COUNT(*) FROM tbl_CallHandler) AS HandlerCount,
       (SELECT COUNT(*) FROM tbl_DistributionList) AS ListCount;
)"));
    }

    list << proc(QStringLiteral("sp_FindObject"), QStringLiteral("Finds which kind of object an ObjectID belongs to."),
                 QString(),
                 {param(QStringLiteral("@ObjectID"), QStringLiteral("uniqueidentifier"), 16,
                        QStringLiteral("The ObjectID to look for."))},
                 QStringLiteral(R"(
SELECT 'tbl_User' AS TableName, DisplayName FROM tbl_User WHERE ObjectID = @ObjectID
UNION ALL SELECT 'tbl_Handler', DisplayName FROM tbl_Handler WHERE ObjectID = @ObjectID
UNION ALL SELECT 'tbl_DistributionList', DisplayName FROM tbl_DistributionList WHERE ObjectID = @ObjectID
UNION ALL SELECT 'tbl_Location', DisplayName FROM tbl_Location WHERE ObjectID = @ObjectID;
)"));

    list << proc(QStringLiteral("SP_OrvexVersion"), QStringLiteral("Reports the version of the directory schema."),
                 QString(), {},
                 QStringLiteral("\nSELECT '5.0.2.114' AS SchemaVersion, 'OrvexDirDB' AS DatabaseName;\n"));

    // Maintenance procedures of other tools; not meant for the browser.
    list << proc(QStringLiteral("spRebuildDirectoryIndexes"), QString(), QString(), {}, QStringLiteral("\nREINDEX;\n"));
    list << proc(QStringLiteral("xsp_PurgeTombstones"), QString(), QString(),
                 {param(QStringLiteral("@Days"), QStringLiteral("int"), 4)},
                 QStringLiteral("\nDELETE FROM tbl_AuditLog WHERE Operation = 'tombstone' AND "
                                "julianday('now') - julianday(ChangeTime) > CAST(@Days AS INTEGER);\n"));
    return list;
}

} // namespace korva::demo
