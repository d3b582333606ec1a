#include "navigation/objectdescription.h"

#include "platform/database.h"
#include "platform/sqlquote.h"

#include <QtCore/QRegularExpression>

#include <optional>

namespace korva::navigation {

namespace {

using sql::escapeLiteral;

const QString crlf = QStringLiteral("\r\n");

enum class Form { Text, Number };

struct Field
{
    const char16_t *label = nullptr;
    const char16_t *column = nullptr;
    Form form = Form::Text;
    const char16_t *nullDefault = nullptr; // none: a null abandons the description
};

// A kind described by one query for the ObjectID.
struct SimpleKind
{
    const char16_t *keys[2] = {};
    const char16_t *queryPrefix = nullptr; // none: the title alone describes it
    const char16_t *title = nullptr;
    Field fields[2] = {};
    const char16_t *notFound = nullptr;
    const char16_t *afterTableName = nullptr; // set: the prefix is followed by the table name and this
};

const SimpleKind kSimpleKinds[] = {
    {{u"ACCOUNTLOCKOUT"}, nullptr, u"Account lockout policy", {}, nullptr},
    {{u"APPLICATION"}, nullptr, u"Application: Not currently used.", {}, nullptr},
    {{u"CALLACTION"},
     u"SELECT TargetConversation, Action from tbl_CallAction WHERE ObjectID='",
     u"Call Action",
     {{u"Action=", u"Action", Form::Number}, {u"Target Conversation=", u"TargetConversation", Form::Text, u"(empty)"}},
     u"(error) could not find the call action for this ObjectID"},
    {{u"COS"},
     u"select DisplayName from vw_COS WHERE ObjectID='",
     u"Class of Service",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find COS for this ObjectID"},
    {{u"CREDENTIALPOLICY"},
     u"SELECT DisplayName from tbl_CredentialPolicy WHERE ObjectID='",
     u"Credential Policy",
     {{u"Display name=", u"DisplayName", Form::Text, u"(empty)"}},
     u"(error) could not find the credential policy for this ObjectID"},
    {{u"DIRECTORYHANDLER"},
     u"SELECT DisplayName from vw_DirectoryHandler WHERE ObjectID='",
     u"Directory Handler",
     {{u"Display name=", u"DisplayName", Form::Text, u"(empty)"}},
     u"(error) could not find the directory handler for this ObjectID"},
    {{u"DISTRIBUTIONLIST"},
     u"select Alias, DisplayName from vw_DistributionList WHERE ObjectID='",
     u"Distribution List",
     {{u"Alias=", u"Alias", Form::Text}, {u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find Distribution List for this ObjectID"},
    {{u"FOLDERINFO"},
     u"select Name from tbl_FolderInfo WHERE FolderInfoObjectID='",
     u"Folder Info",
     {{u"Name=", u"Name", Form::Text}},
     u"(error) could not find folder info for this ObjectID"},
    {{u"INTERVIEWHANDLER"},
     u"select DisplayName from vw_InterviewHandler WHERE ObjectID='",
     u"Interview handler",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find interview handler for this ObjectID"},
    {{u"LOCATION", u"LOCATIONVMS"},
     u"select DisplayName from tbl_Location WHERE ObjectID='",
     u"Location",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find location for this ObjectID"},
    {{u"MAILBOXSTOREMAP"},
     u"select Alias from tbl_MailboxStoreMap WHERE ObjectID='",
     u"Mailbox store map",
     {{u"Alias=", u"Alias", Form::Text}},
     u"(error) could not find mailbox store map for this ObjectID"},
    {{u"MEDIAPORTGROUP"},
     u"select DisplayName from tbl_MediaPortGroup WHERE ObjectID='",
     u"Media port group",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find the media port group entry for this ObjectID"},
    {{u"MEDIASWITCH"},
     u"select DisplayName from tbl_MediaSwitch WHERE ObjectID='",
     u"Media switch",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find media switch entry for this ObjectID"},
    {{u"MEDIASWITCHMANUFACTURER"},
     u"select DisplayName from tbl_MediaSwitchManufacturer WHERE ObjectID='",
     u"Media switch manufacturer",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find media switch manufacturer entry for this ObjectID"},
    {{u"MEDIASWITCHMODEL"},
     u"select DisplayName from tbl_MediaSwitchModel WHERE ObjectID='",
     u"Media switch model",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find media switch model entry for this ObjectID"},
    {{u"MESSAGE"},
     u"select Subject, Sender from tbl_Message WHERE MessageObjectID='",
     u"Message",
     {{u"Subject=", u"Subject", Form::Text}, {u"Sender=", u"Sender", Form::Text}},
     u"(error) could not find tbl_Message entry for this ObjectID"},
    {{u"RESTRICTIONTABLE"},
     u"select DisplayName from vw_RestrictionTable WHERE ObjectID='",
     u"Restriction Table",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find Restriction Table for this ObjectID"},
    {{u"NOTIFICATIONDEVICE"},
     u"select DisplayName from tbl_NotificationDevice WHERE ObjectID='",
     u"Notification device",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find notification device for this ObjectID"},
    {{u"NOTIFICATIONMWI"},
     u"select DisplayName from tbl_NotificationMWI WHERE ObjectID='",
     u"Notification MWI",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find notification MWI for this ObjectID"},
    {{u"NOTIFICATIONRULE"},
     u"select DisplayName from tbl_NotificationRule WHERE ObjectID='",
     u"Notification rule",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find notification rule for this ObjectID"},
    {{u"PERSONALCONTACT"},
     u"select DisplayName from tbl_PersonalContact WHERE ObjectID='",
     u"Personal contact",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find personal contact for this ObjectID"},
    {{u"PHONENUMBER"},
     u"select DisplayName, PhoneNumber from tbl_PhoneNumber WHERE ObjectID='",
     u"Phone number",
     {{u"Display Name=", u"DisplayName", Form::Text}, {u"Phone number=", u"PhoneNumber", Form::Text}},
     u"(error) could not find phone number entry for this ObjectID"},
    {{u"PRIVILEGE"},
     u"select PrivilegeName from tbl_Privilege WHERE ObjectID='",
     u"Privilege",
     {{u"Name=", u"PrivilegeName", Form::Text}},
     u"(error) could not find privilege for this ObjectID"},
    {{u"QUOTA"},
     u"select Receive, Send from tbl_Quota WHERE QuotaObjectID='",
     u"Quota",
     {{u"Recieve=", u"Receive", Form::Number}, {u"Send=", u"Send", Form::Number}},
     u"(error) could not find Quota for this ObjectID"},
    {{u"ROLE"},
     u"select RoleName, RoleDescription from tbl_Role WHERE ObjectID='",
     u"Role",
     {{u"Name=", u"RoleName", Form::Text}, {u"Description=", u"RoleDescription", Form::Text}},
     u"(error) could not find Role for this ObjectID"},
    {{u"ROUTINGRULE"},
     u"select DisplayName from vw_RoutingRule WHERE RoutingRuleObjectID='",
     u"RoutingRule",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find rule for this ObjectID"},
    {{u"SCHEDULE", u"SCHEDULESET"},
     u"select DisplayName from ",
     u"Schedule",
     {{u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find schedule for this ObjectID",
     u" WHERE ObjectID='"},
    {{u"STREAMFILE"},
     u"select FileName from tbl_StreamFile WHERE ObjectID='",
     u"Stream file",
     {{u"File Name=", u"FileName", Form::Text}},
     u"(error) could not find Stream File for this ObjectID"},
    {{u"USERSUBSCRIBER", u"SUBSCRIBER"},
     u"select tbl_user.DisplayName, tbl_alias.alias from tbl_User inner join tbl_Alias on "
     u"tbl_alias.Object_UserObjectID=tbl_user.ObjectID WHERE Objectid='",
     u"Subscriber",
     {{u"Display Name=", u"DisplayName", Form::Text}, {u"Alias=", u"Alias", Form::Text}},
     u"(error) could not find subscriber for this ObjectID"},
    {{u"USER"},
     u"select tbl_User.DisplayName, tbl_Alias.Alias from tbl_User INNER JOIN tbl_Alias ON "
     u"tbl_Alias.Object_UserObjectID=tbl_User.ObjectID WHERE tbl_User.Objectid='",
     u"User",
     {{u"Display Name=", u"DisplayName", Form::Text}, {u"Alias=", u"Alias", Form::Text}},
     u"(error) could not find user for this ObjectID"},
    {{u"USERTEMPLATE"},
     u"select Alias, DisplayName from VW_UserTemplate WHERE ObjectID='",
     u"User template",
     {{u"Alias=", u"Alias", Form::Text}, {u"Display Name=", u"DisplayName", Form::Text}},
     u"(error) could not find user template for this ObjectID"},
    {{u"WAVEFORMAT"},
     u"select FormatName from VW_WaveFormat WHERE ObjectID='",
     u"Wave Format",
     {{u"FormatName=", u"FormatName", Form::Text}},
     u"(error) could not find WaveFormat for this ObjectID"},
    {{u"VMSSERVER"},
     u"select ServerName, IPAddress from VW_VMSServer WHERE ObjectID='",
     u"VMS Server",
     {{u"Server name=", u"ServerName", Form::Text}, {u"IP=", u"IPAddress", Form::Text}},
     u"(error) could not find VMSServer for this ObjectID"},
    {{u"VMSROLE"},
     u"select RoleName from VW_VMSRole WHERE ObjectID='",
     u"VMS Role",
     {{u"Name=", u"RoleName", Form::Text}},
     u"(error) could not find VMSRole for this ObjectID"},
    {{u"VMSTEMPLATE"},
     u"select TemplateName from VW_VMSTemplate WHERE ObjectID='",
     u"VMS Template",
     {{u"Name=", u"TemplateName", Form::Text}},
     u"(error) could not find VMSTemplate for this ObjectID"},
    {{u"MEDIAPORT"},
     u"select DisplayName from VW_MediaPort WHERE ObjectID='",
     u"Media Port",
     {{u"Display name=", u"DisplayName", Form::Text}},
     u"(error) could not find MediaPort for this ObjectID"},
    {{u"TASKPERIODIC"},
     u"select ClassName from VW_TaskPeriodic WHERE ObjectID='",
     u"Task Periodic",
     {{u"Name=", u"ClassName", Form::Text}},
     u"(error) could not find TaskPeriodic for this ObjectID"},
};

const SimpleKind *simpleKind(const QString &key)
{
    for (const SimpleKind &kind : kSimpleKinds) {
        for (const char16_t *k : kind.keys)
            if (k && key == QStringView(k))
                return &kind;
    }
    return nullptr;
}

// A name that goes into the SQL as written when it is a plain (possibly
// qualified) identifier, bracketed otherwise.
QString sqlName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.]+$"));
    return plain.match(name).hasMatch() ? name : sql::quoteBracketed(name);
}

// Runs the lookups of one description and remembers the first failure that
// is not a plain "not found".
class Lookup
{
public:
    Lookup(const QString &connection, Error *unexpected) : m_connection(connection), m_unexpected(unexpected) {}

    // Opens the query and loads it whole; null (after reporting) when the
    // server rejects it.
    std::unique_ptr<db::ResultSet> query(const QString &sql)
    {
        Error error;
        auto rs = db::openResultSet(m_connection, sql, &error);
        if (!rs) {
            report(error);
            return nullptr;
        }
        rs->recordCount();
        if (rs->lastError())
            report(rs->lastError());
        return rs;
    }

    static qsizetype rowCount(const std::unique_ptr<db::ResultSet> &rs) { return rs ? rs->fetchedCount() : 0; }

    enum class Read { Value, Null, Failed };

    Read read(const std::unique_ptr<db::ResultSet> &rs, const QString &column, QVariant *value)
    {
        if (!rs) {
            report({db::kErrClosed, QStringLiteral("Operation is not allowed when the object is closed.")});
            return Read::Failed;
        }
        Error error;
        *value = rs->field(column, &error);
        if (error) {
            report(error);
            return Read::Failed;
        }
        return value->isNull() ? Read::Null : Read::Value;
    }

    // The field as text; the default for a null (or unreadable) field.
    QString textOr(const std::unique_ptr<db::ResultSet> &rs, const QString &column, const QString &fallback)
    {
        QVariant v;
        return read(rs, column, &v) == Read::Value ? v.toString() : fallback;
    }

    // The field as text, or nothing when it is null or unreadable: the
    // description that needs it is abandoned.
    std::optional<QString> text(const std::unique_ptr<db::ResultSet> &rs, const QString &column)
    {
        QVariant v;
        if (read(rs, column, &v) != Read::Value)
            return std::nullopt;
        return v.toString();
    }

    // The field as a decimal number; leadingBlank puts one blank before a
    // number that is not negative.
    std::optional<QString> number(const std::unique_ptr<db::ResultSet> &rs, const QString &column, bool leadingBlank)
    {
        QVariant v;
        if (read(rs, column, &v) != Read::Value)
            return std::nullopt;
        QString digits;
        bool ok = false;
        const int type = v.typeId();
        if (type != QMetaType::Double && type != QMetaType::Float) {
            const qlonglong n = v.toLongLong(&ok);
            if (ok)
                digits = QString::number(n);
        }
        if (!ok) {
            const double d = v.toDouble(&ok);
            if (ok)
                digits = QString::number(d, 'g', 15);
        }
        if (!ok) {
            report({13, QStringLiteral("Type mismatch")});
            return std::nullopt;
        }
        if (leadingBlank && !digits.startsWith(u'-'))
            digits.prepend(u' ');
        return digits;
    }

    void report(const Error &error)
    {
        if (m_unexpected && !m_unexpected->isSet())
            *m_unexpected = error;
    }

private:
    const QString &m_connection;
    Error *m_unexpected;
};

using RS = std::unique_ptr<db::ResultSet>;

QString quoted(const QString &prefix, const QString &value) { return prefix + escapeLiteral(value) + u'\''; }

QString composeSimple(Lookup &lookup, const SimpleKind &kind, const QString &table, const RS &rs);

QString describeSimple(Lookup &lookup, const SimpleKind &kind, const QString &table, const QString &objectId)
{
    if (!kind.queryPrefix)
        return QString::fromUtf16(kind.title);
    QString prefix = QString::fromUtf16(kind.queryPrefix);
    if (kind.afterTableName)
        prefix += sqlName(table) + QString::fromUtf16(kind.afterTableName);
    const RS rs = lookup.query(quoted(prefix, objectId));
    if (Lookup::rowCount(rs) != 1)
        return QString::fromUtf16(kind.notFound);
    return composeSimple(lookup, kind, table, rs);
}

// The query of a simple kind for any number of ObjectIDs at once: the key
// column first, then the fields, "WHERE <key> IN (...)". Empty when the
// kind's query does not have that shape.
QString simpleQueryForMany(const SimpleKind &kind, const QString &table, const QStringList &objectIds)
{
    QString prefix = QString::fromUtf16(kind.queryPrefix);
    if (kind.afterTableName)
        prefix += sqlName(table) + QString::fromUtf16(kind.afterTableName);
    static const QLatin1StringView select("select "), where(" WHERE "), equals("='");
    const qsizetype at = prefix.lastIndexOf(where, -1, Qt::CaseInsensitive);
    if (!prefix.startsWith(select, Qt::CaseInsensitive) || at < 0 || !prefix.endsWith(equals))
        return {};
    const qsizetype keyStart = at + where.size();
    const QString key = prefix.mid(keyStart, prefix.size() - equals.size() - keyStart);
    QString sql = prefix.left(select.size()) + key + QStringLiteral(", ") + prefix.mid(select.size(), at - select.size())
                  + where + key + QStringLiteral(" IN (");
    for (qsizetype i = 0; i < objectIds.size(); ++i)
        sql += (i ? QStringLiteral(",'") : QStringLiteral("'")) + escapeLiteral(objectIds[i]) + u'\'';
    return sql + u')';
}

// The form in which the rows of a query for many ObjectIDs are matched to the
// ObjectIDs asked: a server may compare them without regard to case, blanks
// around them or the braces a GUID may be written in.
QString comparedId(QString id)
{
    id = id.trimmed().toLower();
    if (id.startsWith(u'{') && id.endsWith(u'}'))
        id = id.mid(1, id.size() - 2);
    return id;
}

QString composeSimple(Lookup &lookup, const SimpleKind &kind, const QString &table, const RS &rs)
{
    QString description = QString::fromUtf16(kind.title);
    for (const Field &field : kind.fields) {
        if (!field.label)
            break;
        const QString column = QString::fromUtf16(field.column);
        std::optional<QString> value;
        if (field.form == Form::Number)
            value = lookup.number(rs, column, true);
        else if (field.nullDefault)
            value = lookup.textOr(rs, column, QString::fromUtf16(field.nullDefault));
        else
            value = lookup.text(rs, column);
        if (!value)
            return table;
        description += crlf + QString::fromUtf16(field.label) + *value;
    }
    return description;
}

QString describeCallHandler(Lookup &lookup, const QString &objectId)
{
    const RS rs = lookup.query(quoted(QStringLiteral("select Recipient_DistributionListObjectID, "
                                                     "Recipient_SubscriberObjectID, DisplayName from vw_CallHandler "
                                                     "WHERE ObjectID='"),
                                      objectId));
    if (Lookup::rowCount(rs) != 1) {
        const RS handler = lookup.query(
            quoted(QStringLiteral("select DisplayName from vw_Handler WHERE ObjectID='"), objectId));
        if (Lookup::rowCount(handler) != 1)
            return QStringLiteral("(error) could not find call handler for this ObjectID");
        return QStringLiteral("Handler") + crlf + QStringLiteral("Display Name=")
               + lookup.textOr(handler, QStringLiteral("DisplayName"), QString());
    }
    QString description = QStringLiteral("Call Handler") + crlf + QStringLiteral("Display Name=")
                          + lookup.textOr(rs, QStringLiteral("DisplayName"), QString()) + crlf;
    QVariant owner;
    if (lookup.read(rs, QStringLiteral("Recipient_DistributionListObjectID"), &owner) == Lookup::Read::Value) {
        const RS list = lookup.query(
            quoted(QStringLiteral("SELECT DisplayName FROM vw_DistributionList WHERE ObjectID='"), owner.toString()));
        if (const auto name = lookup.text(list, QStringLiteral("DisplayName")))
            description += QStringLiteral("Owner distribution list display name=") + *name;
    } else if (lookup.read(rs, QStringLiteral("Recipient_SubscriberObjectID"), &owner) == Lookup::Read::Value) {
        const RS subscriber = lookup.query(
            quoted(QStringLiteral("SELECT DisplayName FROM vw_Subscriber WHERE ObjectID='"), owner.toString()));
        if (const auto name = lookup.text(subscriber, QStringLiteral("DisplayName")))
            description += QStringLiteral("Owner subscriber display name=") + *name;
    }
    return description;
}

QString describeDistributionListMember(Lookup &lookup, const QString &table, const QString &objectId)
{
    const RS rs = lookup.query(
        quoted(QStringLiteral("SELECT * from vw_DistributionListMembers WHERE ObjectID='"), objectId));
    if (Lookup::rowCount(rs) != 1)
        return QStringLiteral("(error) could not find the Distribution List Member for this ObjectID");

    struct Member
    {
        const char16_t *column;
        const char16_t *query;
        const char16_t *titles;
        const char16_t *notFound;
    };
    static constexpr Member members[] = {
        {u"Member_DistributionListObjectID", u"SELECT Alias, DisplayName from vw_DistributionList WHERE ObjectID='",
         u"Distribution List Member\r\nDistribution list",
         u"(error) the distribution list referenced by this distribution list member could not be found."},
        {u"Member_UserObjectID", u"SELECT Alias, DisplayName from vw_User WHERE ObjectID='",
         u"Distribution list member\r\nUser",
         u"(error) the user referenced by this distribution list member could not be found."},
    };
    for (const Member &m : members) {
        QVariant id;
        if (lookup.read(rs, QString::fromUtf16(m.column), &id) != Lookup::Read::Value)
            continue;
        const RS target = lookup.query(quoted(QString::fromUtf16(m.query), id.toString()));
        if (Lookup::rowCount(target) != 1)
            return QString::fromUtf16(m.notFound);
        const QString displayName = lookup.textOr(target, QStringLiteral("DisplayName"), QStringLiteral("(empty)"));
        const auto alias = lookup.text(target, QStringLiteral("Alias"));
        if (!alias)
            return table;
        return QString::fromUtf16(m.titles) + crlf + QStringLiteral("Alias=") + *alias + crlf
               + QStringLiteral("Display name=") + displayName;
    }
    return QStringLiteral("(error) Distribution list member contains no valid link to a user or a distribution list");
}

QString describeDtmfAccessId(Lookup &lookup, const QString &table, const QString &objectId)
{
    const RS rs = lookup.query(quoted(QStringLiteral("SELECT * from vw_DTMFAccessID WHERE ObjectID='"), objectId));
    if (Lookup::rowCount(rs) != 1)
        return QStringLiteral("(error) could not find the DTMFAccessID entry for this ObjectID");

    struct Parent
    {
        const char16_t *column;
        const char16_t *query;
        const char16_t *titles; // the lines before "Display name="
        bool hasAlias;
        const char16_t *notFound;
    };
    static constexpr Parent parents[] = {
        {u"Parent_DistributionListObjectID", u"SELECT Alias, DisplayName from vw_DistributionList WHERE ObjectID='",
         u"Distribution list", true,
         u"(error) the distribution list referenced by this DTMFAccessID entry could not be found."},
        {u"Parent_HandlerObjectID", u"SELECT DisplayName from vw_Handler WHERE ObjectID='", u"Call handler", false,
         u"(error) the handler referenced by this DTMFAccessID entry could not be found."},
        {u"Parent_LocationObjectID", u"SELECT DisplayName from tbl_Location WHERE ObjectID='", u"Location\r\n", false,
         u"(error) the location referenced by this DTMFAccessID entry could not be found."},
        {u"Parent_SubscriberObjectID", u"SELECT Alias, DisplayName from vw_Subscriber WHERE ObjectID='", u"User", true,
         u"(error) the subscriber referenced by this DTMFAccessID entry could not be found."},
    };
    for (const Parent &p : parents) {
        QVariant id;
        if (lookup.read(rs, QString::fromUtf16(p.column), &id) != Lookup::Read::Value)
            continue;
        const RS target = lookup.query(quoted(QString::fromUtf16(p.query), id.toString()));
        if (Lookup::rowCount(target) != 1)
            return QString::fromUtf16(p.notFound);
        const QString displayName = lookup.textOr(target, QStringLiteral("DisplayName"), QStringLiteral("(empty)"));
        QString description = QString::fromUtf16(p.titles);
        if (p.hasAlias) {
            const auto alias = lookup.text(target, QStringLiteral("Alias"));
            if (!alias)
                return table;
            description += crlf + QStringLiteral("Alias=") + *alias;
        }
        return description + crlf + QStringLiteral("Display name=") + displayName;
    }
    return kDtmfWithoutParentLine;
}

QString describeGreeting(Lookup &lookup, const QString &table, QString &objectId)
{
    const qsizetype colon = objectId.indexOf(u':');
    if (colon < 0)
        return table;
    const QString greetingType = objectId.mid(colon + 1);
    objectId.truncate(colon);
    const RS rs = lookup.query(QStringLiteral("SELECT AfterGreeting_Action, AfterGreeting_TargetConversation from "
                                              "vw_Greeting WHERE CallHandlerObjectID='")
                               + escapeLiteral(objectId) + QStringLiteral("' AND GreetingType='")
                               + escapeLiteral(greetingType) + u'\'');
    if (Lookup::rowCount(rs) != 1)
        return QStringLiteral("(error) could not find Greeting for this ObjectID and Greeting type pair");
    const QString target = lookup.textOr(rs, QStringLiteral("AfterGreeting_TargetConversation"), QString());
    const auto action = lookup.number(rs, QStringLiteral("AfterGreeting_Action"), false);
    if (!action)
        return table;
    return QStringLiteral("Greeting") + crlf + QStringLiteral("Action=") + *action + crlf
           + QStringLiteral("Target conversation=") + target;
}

} // namespace

ObjectDescriber::ObjectDescriber(QString connectionString) : m_connection(std::move(connectionString)) {}

QString ObjectDescriber::strGetObjectIDData(const QString &table, QString &objectId, QString *pendingJumpTable,
                                            Error *unexpected)
{
    if (pendingJumpTable)
        pendingJumpTable->clear();
    if (objectId.isEmpty())
        return {};
    const qsizetype underscore = table.indexOf(u'_');
    if (underscore < 0)
        return {};
    if (pendingJumpTable)
        *pendingJumpTable = table;

    Lookup lookup(m_connection, unexpected);
    const QString key = table.mid(underscore + 1).toUpper();
    if (const SimpleKind *kind = simpleKind(key))
        return describeSimple(lookup, *kind, table, objectId);
    if (key == u"CALLHANDLER" || key == u"HANDLER")
        return describeCallHandler(lookup, objectId);
    if (key == u"DISTRIBUTIONLISTMEMBER")
        return describeDistributionListMember(lookup, table, objectId);
    if (key == u"DTMFACCESSID")
        return describeDtmfAccessId(lookup, table, objectId);
    if (key == u"GREETING")
        return describeGreeting(lookup, table, objectId);
    return table;
}

bool ObjectDescriber::describesManyAtOnce(const QString &table)
{
    const qsizetype underscore = table.indexOf(u'_');
    if (underscore < 0)
        return true;
    const QString key = table.mid(underscore + 1).toUpper();
    return simpleKind(key) || (key != u"CALLHANDLER" && key != u"HANDLER" && key != u"DISTRIBUTIONLISTMEMBER"
                               && key != u"DTMFACCESSID" && key != u"GREETING");
}

QList<ObjectDescriber::Described> ObjectDescriber::describeMany(const QString &table, const QStringList &objectIds,
                                                                const std::function<bool()> &stopped)
{
    QList<Described> described;
    if (!describesManyAtOnce(table))
        return described;
    const qsizetype underscore = table.indexOf(u'_');
    const SimpleKind *kind = underscore < 0 ? nullptr : simpleKind(table.mid(underscore + 1).toUpper());
    // What is described without asking the server, one at a time as always.
    QStringList asked;
    for (const QString &id : objectIds) {
        if (kind && kind->queryPrefix && !id.isEmpty()) {
            if (!asked.contains(id))
                asked << id;
            continue;
        }
        Described d{id, {}, {}, id};
        d.description = strGetObjectIDData(table, d.objectId, &d.pendingJumpTable);
        described << d;
    }
    // ObjectIDs the server might take for one another are left to be described alone.
    QHash<QString, int> sameForm;
    for (const QString &id : std::as_const(asked))
        ++sameForm[comparedId(id)];
    asked.removeIf([&](const QString &id) { return sameForm.value(comparedId(id)) > 1; });

    constexpr qsizetype kIdsPerQuery = 500;
    for (qsizetype first = 0; first < asked.size(); first += kIdsPerQuery) {
        if (stopped && stopped())
            break;
        const QStringList chunk = asked.mid(first, kIdsPerQuery);
        const QString sql = simpleQueryForMany(*kind, table, chunk);
        if (sql.isEmpty())
            break;
        Error failed;
        Lookup lookup(m_connection, &failed);
        const RS rs = lookup.query(sql);
        if (!rs || failed)
            continue; // each is described alone, and the failure reported then
        QHash<QString, QList<qsizetype>> rowsOf;
        for (qsizetype r = 0; r < Lookup::rowCount(rs); ++r)
            rowsOf[comparedId(rs->rows().text(r, 0))] << r;
        for (const QString &id : chunk) {
            const QList<qsizetype> rows = rowsOf.value(comparedId(id));
            Described d{id, QString::fromUtf16(kind->notFound), table, id};
            if (rows.size() == 1) {
                Error unexpected;
                Lookup rowLookup(m_connection, &unexpected);
                rs->setPosition(rows.front());
                d.description = composeSimple(rowLookup, *kind, table, rs);
                if (unexpected)
                    continue;
            }
            described << d;
        }
    }
    return described;
}

QString ObjectDescriber::unexpectedErrorMessage(const Error &error)
{
    return procedureError(error, u"strGetObjectIDData", u"frmMain");
}

} // namespace korva::navigation
