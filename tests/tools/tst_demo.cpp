// The demo installation is the fixture every other test and the README's run
// command rely on; these tests check it the way the browser reads it.
#include "common/testsupport.h"
#include "demo/demoinstallation.h"
#include "demo/names.h"
#include "demo/populate.h"
#include "demo/random.h"
#include "demo/registry.h"
#include "demo/schema.h"
#include "platform/database.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtCore/QDirIterator>
#include <QtTest/QtTest>

#include <pugixml.hpp>
#include <sqlite3.h>

#include <set>

using namespace korva;

namespace {

constexpr int kSubscribers = 50;

// The directory's base tables the browser pairs with views; "" for none.
// Kept here on its own so the installation is checked against the list the
// browser uses, not against itself.
QList<std::pair<QString, QString>> tableViewMap()
{
    QList<std::pair<QString, QString>> map;
    const QStringList same =
        QStringLiteral(
            "Agency AgencyExtensionRange BroadcastMessage BroadcastMessageRecipient CallAction Configuration "
            "Conversation "
            "Cos Credential CredentialPolicy VantrelTone VantrelTSPDevice DirectoryHandler DistributionList "
            "DistributionListMember DtmfAccessId Greeting GreetingStreamFile Handler InterviewHandler "
            "IPPortReservation "
            "MailboxStoreMap MediaAnalogProtocol MediaPort MediaPortConfigState MediaPortGroup MediaPortGroupIPPort "
            "MediaPortGroupTemplate MediaRemoteService MediaSerialMWI MediaSerialProtocol MediaSwitch "
            "MediaSwitchManufacturer MediaSwitchModel MediaSwitchTrunk MenuEntry NotificationDevice "
            "NotificationDeviceConversation NotificationDeviceMP3 NotificationDevicePager NotificationDeviceSMS "
            "NotificationDeviceSMTP NotificationMwi NotificationRule NotificationRuleCriteria NotificationRuleEvent "
            "PersonalContact PersonalContactPhone PersonalDestination PersonalDestinationGroup "
            "PersonalDestinationGroupItem PersonalGroup PersonalGroupMember PersonalGroupMemberSet PersonalRule "
            "PersonalRuleCaller PersonalRuleSet PhoneNumber Policy Privilege RestrictionPattern RestrictionTable Role "
            "RolePrivilegeMap RoutingRule RoutingRuleParameter Schedule ScheduleDetail ScheduleSet "
            "ScheduleSetMemberMap "
            "SerialLink SerialLinkPort SMPPProvider StreamFile TimeZone TransferOption TreeControlNode User "
            "UserTemplate "
            "VMSRole VMSRoleTemplate VMSServer VMSServerRole VMSTemplate WaveFormat")
            .split(u' ');
    for (const QString &t : same)
        map.append({QStringLiteral("tbl_") + t, QStringLiteral("vw_") + t});
    map.append({QStringLiteral("tbl_CallHandler"), QStringLiteral("vw_Callhandler")});
    map.append({QStringLiteral("tbl_InterviewQuestion"), QStringLiteral("vw_InterviewHandlerQuestion")});
    map.append({QStringLiteral("tbl_MailboxMap"), QStringLiteral("vw_Mailbox")});
    map.append({QStringLiteral("tbl_UserSubscriber"), QStringLiteral("vw_Subscriber")});
    for (const QString &t :
         QStringLiteral("AccountLogonPolicy Alias BridgeLocationPrefix DistributionListSet "
                        "DistributionListSetMember LocalizedText Location LocationAMIS LocationBridge "
                        "LocationVMS LocationVPIM UserCredentialHistory")
             .split(u' '))
        map.append({QStringLiteral("tbl_") + t, QString()});
    return map;
}

// The object kinds the hover description knows, with the query it runs
// (the ObjectID and "'" follow). Kinds without a query need only a link.
struct Kind
{
    const char *key;
    const char *query;
};
const Kind kKinds[] = {
    {"ACCOUNTLOCKOUT", nullptr},
    {"APPLICATION", nullptr},
    {"CALLACTION", "SELECT TargetConversation, Action from tbl_CallAction WHERE ObjectID='"},
    {"COS", "select DisplayName from vw_COS WHERE ObjectID='"},
    {"CREDENTIALPOLICY", "SELECT DisplayName from tbl_CredentialPolicy WHERE ObjectID='"},
    {"DIRECTORYHANDLER", "SELECT DisplayName from vw_DirectoryHandler WHERE ObjectID='"},
    {"DISTRIBUTIONLIST", "select Alias, DisplayName from vw_DistributionList WHERE ObjectID='"},
    {"FOLDERINFO", "select Name from tbl_FolderInfo WHERE FolderInfoObjectID='"},
    {"INTERVIEWHANDLER", "select DisplayName from vw_InterviewHandler WHERE ObjectID='"},
    {"LOCATION", "select DisplayName from tbl_Location WHERE ObjectID='"},
    {"LOCATIONVMS", "select DisplayName from tbl_Location WHERE ObjectID='"},
    {"MAILBOXSTOREMAP", "select Alias from tbl_MailboxStoreMap WHERE ObjectID='"},
    {"MEDIAPORTGROUP", "select DisplayName from tbl_MediaPortGroup WHERE ObjectID='"},
    {"MEDIASWITCH", "select DisplayName from tbl_MediaSwitch WHERE ObjectID='"},
    {"MEDIASWITCHMANUFACTURER", "select DisplayName from tbl_MediaSwitchManufacturer WHERE ObjectID='"},
    {"MEDIASWITCHMODEL", "select DisplayName from tbl_MediaSwitchModel WHERE ObjectID='"},
    {"MESSAGE", "select Subject, Sender from tbl_Message WHERE MessageObjectID='"},
    {"RESTRICTIONTABLE", "select DisplayName from vw_RestrictionTable WHERE ObjectID='"},
    {"NOTIFICATIONDEVICE", "select DisplayName from tbl_NotificationDevice WHERE ObjectID='"},
    {"NOTIFICATIONMWI", "select DisplayName from tbl_NotificationMWI WHERE ObjectID='"},
    {"NOTIFICATIONRULE", "select DisplayName from tbl_NotificationRule WHERE ObjectID='"},
    {"PERSONALCONTACT", "select DisplayName from tbl_PersonalContact WHERE ObjectID='"},
    {"PHONENUMBER", "select DisplayName, PhoneNumber from tbl_PhoneNumber WHERE ObjectID='"},
    {"PRIVILEGE", "select PrivilegeName from tbl_Privilege WHERE ObjectID='"},
    {"QUOTA", "select Receive, Send from tbl_Quota WHERE QuotaObjectID='"},
    {"ROLE", "select RoleName, RoleDescription from tbl_Role WHERE ObjectID='"},
    {"ROUTINGRULE", "select DisplayName from vw_RoutingRule WHERE RoutingRuleObjectID='"},
    {"SCHEDULE", "select DisplayName from tbl_Schedule WHERE ObjectID='"},
    {"SCHEDULESET", "select DisplayName from tbl_ScheduleSet WHERE ObjectID='"},
    {"STREAMFILE", "select FileName from tbl_StreamFile WHERE ObjectID='"},
    {"USERSUBSCRIBER", "select tbl_user.DisplayName, tbl_alias.alias from tbl_User inner join tbl_Alias on "
                       "tbl_alias.Object_UserObjectID=tbl_user.ObjectID WHERE Objectid='"},
    {"USER", "select tbl_User.DisplayName, tbl_Alias.Alias from tbl_User INNER JOIN tbl_Alias ON "
             "tbl_Alias.Object_UserObjectID=tbl_User.ObjectID WHERE tbl_User.Objectid='"},
    {"USERTEMPLATE", "select Alias, DisplayName from VW_UserTemplate WHERE ObjectID='"},
    {"WAVEFORMAT", "select FormatName from VW_WaveFormat WHERE ObjectID='"},
    {"VMSSERVER", "select ServerName, IPAddress from VW_VMSServer WHERE ObjectID='"},
    {"VMSROLE", "select RoleName from VW_VMSRole WHERE ObjectID='"},
    {"VMSTEMPLATE", "select TemplateName from VW_VMSTemplate WHERE ObjectID='"},
    {"MEDIAPORT", "select DisplayName from VW_MediaPort WHERE ObjectID='"},
    {"TASKPERIODIC", "select ClassName from VW_TaskPeriodic WHERE ObjectID='"},
    {"CALLHANDLER", "select Recipient_DistributionListObjectID, Recipient_SubscriberObjectID, DisplayName from "
                    "vw_CallHandler WHERE ObjectID='"},
    {"HANDLER", "select DisplayName from vw_Handler WHERE ObjectID='"},
    {"DISTRIBUTIONLISTMEMBER", "SELECT * from vw_DistributionListMembers WHERE ObjectID='"},
    {"DTMFACCESSID", "SELECT * from vw_DTMFAccessID WHERE ObjectID='"},
};

using Rows = QList<QVariantList>;

Rows query(const QString &file, const QString &sql)
{
    Rows rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        qWarning() << "cannot open" << file;
        return rows;
    }
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        qWarning() << sqlite3_errmsg(db) << sql;
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL:
                row << QVariant();
                break;
            case SQLITE_INTEGER:
                row << QVariant(sqlite3_column_int64(st, i));
                break;
            case SQLITE_FLOAT:
                row << QVariant(sqlite3_column_double(st, i));
                break;
            default:
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
                break;
            }
        }
        rows << row;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

QVariant scalar(const QString &file, const QString &sql)
{
    const Rows rows = query(file, sql);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The way the browser loads a dictionary: the whole text lower-cased.
bool loadLowered(pugi::xml_document &doc, const QString &path)
{
    const QByteArray text = readAll(path).toLower();
    return doc.load_buffer(text.constData(), size_t(text.size()));
}

QString attr(const pugi::xml_node &n, const char *name) { return QString::fromUtf8(n.attribute(name).value()); }

struct Link
{
    QString table;
    QString column;
    QString target;
};

} // namespace

class tst_Demo : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    QString root;
    QString second;

    QString data(const QString &db) const { return root + QStringLiteral("/data/") + db + QStringLiteral(".sqlite"); }
    QString scripts(const QString &file) const
    {
        return root + QStringLiteral("/install/ConfigurationModules/DatabaseScripts/") + file;
    }
    QString dir() const { return data(QStringLiteral("OrvexDirDB")); }
    static QString connection(const QString &db = QStringLiteral("OrvexDirDB"))
    {
        return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=%2")
            .arg(WorkStationInfo::instance().ComputerName(), db);
    }
    // Rows through the embedded engine, as the windows open them.
    static qsizetype engineCount(const QString &sql, const QString &db = QStringLiteral("OrvexDirDB"))
    {
        Error e;
        auto rs = db::openResultSet(connection(db), sql, &e);
        if (!rs || e) {
            qWarning() << "engine refused" << sql << e.description;
            return -1;
        }
        return rs->recordCount();
    }
    QList<Link> links(const QString &dictionary) const
    {
        pugi::xml_document doc;
        loadLowered(doc, scripts(dictionary));
        QList<Link> out;
        for (const pugi::xpath_node &n : doc.select_nodes("orvexdatadictionary/tables/table/links/link"))
            out.append({attr(n.node().parent().parent(), "name"), attr(n.node(), "objectid"),
                        attr(n.node().child("linkdata"), "table")});
        return out;
    }
    static QString build(const QString &folder, int subscribers, qint64 reportRows)
    {
        demo::DemoOptions o;
        o.root = folder;
        o.subscribers = subscribers;
        o.reportRows = reportRows;
        QString error;
        if (!demo::createDemoInstallation(o, &error))
            return error.isEmpty() ? QStringLiteral("failed without a reason") : error;
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<test::IsolatedEnvironment>();
        root = env->filePath(QStringLiteral("demo"));
        second = env->filePath(QStringLiteral("again"));
        QCOMPARE(build(root, kSubscribers, 300), QString());
        db::resetConnectionPool();
    }

    void cleanupTestCase()
    {
        db::resetConnectionPool();
        env.reset();
    }


    // --- the generator's parts ---------------------------------------------

    void identifiersAreStableAndWellFormed()
    {
        static const QRegularExpression form(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
        demo::Random a(42, QStringLiteral("users")), b(42, QStringLiteral("users")), c(42, QStringLiteral("lists"));
        QStringList first, second, other;
        for (int i = 0; i < 50; ++i) {
            first << a.guid();
            second << b.guid();
            other << c.guid();
            QVERIFY2(form.match(first.last()).hasMatch(), qPrintable(first.last()));
        }
        QCOMPARE(first, second);
        QVERIFY(first.first() != other.first()); // each purpose has a stream of its own
        QCOMPARE(demo::stableGuid(QStringLiteral("x"), 7), demo::stableGuid(QStringLiteral("x"), 7));
        QVERIFY(demo::stableGuid(QStringLiteral("x"), 7) != demo::stableGuid(QStringLiteral("x"), 8));
        for (int i = 0; i < 1000; ++i) {
            const qint64 v = a.between(-3, 3);
            QVERIFY(v >= -3 && v <= 3);
        }
    }

    void oneDefinitionGivesTableViewAndDictionary()
    {
        demo::DatabaseDef db;
        db.name = QStringLiteral("TestDB");
        demo::addTable(db, QStringLiteral("tbl_Gadget"), QStringLiteral("Gadgets."))
            .id()
            .text(QStringLiteral("DisplayName"), 32);
        demo::addTable(db, QStringLiteral("tbl_WidgetPart"), QString())
            .id()
            .ref(QStringLiteral("GadgetObjectID"), QStringLiteral("tbl_Gadget"))
            .text(QStringLiteral("Code"), 8, QStringLiteral("Code."))
            .type(QStringLiteral("Codes"))
            .notes(QStringLiteral("Upper case."))
            .integer(QStringLiteral("Weight"), QStringLiteral("Weight."));
        demo::addTable(db, QStringLiteral("tbl_Pair"), QStringLiteral("Pairs."))
            .integer(QStringLiteral("A"), QStringLiteral("a"))
            .key()
            .integer(QStringLiteral("B"), QStringLiteral("b"))
            .key();
        demo::ViewDef &v = demo::addView(db, QStringLiteral("vw_WidgetPart"), QStringLiteral("tbl_WidgetPart w"));
        demo::addViewColumn(v, QStringLiteral("ObjectID"), QStringLiteral("tbl_WidgetPart.ObjectID"),
                            QStringLiteral("w.ObjectID"));
        demo::addViewColumn(v, QStringLiteral("PartCode"), QStringLiteral("tbl_WidgetPart.Code"),
                            QStringLiteral("w.Code"));
        for (const char *kind : {"Enumeration", "Length", "Regex", "Odd", ""}) {
            demo::CustomTypeDef t;
            t.name = QStringLiteral("Type") + QString::fromLatin1(kind);
            t.description = QStringLiteral("About ") + t.name;
            t.restriction = QString::fromLatin1(kind);
            t.values = {{QStringLiteral("0"), QStringLiteral("off")}, {QStringLiteral("1"), QStringLiteral("on")}};
            t.minLength = 1;
            t.maxLength = 64;
            t.regexDescription = QStringLiteral("Digits.");
            t.expression = QStringLiteral("^[0-9]+$");
            db.customTypes << t;
        }
        demo::ProcedureDef proc;
        proc.name = QStringLiteral("csp_PartRename");
        proc.description = QStringLiteral("Renames a part.");
        proc.notes = QStringLiteral("Parts keep their ObjectID.");
        proc.parameters = {{QStringLiteral("@ObjectID"),
                            QStringLiteral("uniqueidentifier"),
                            16,
                            false,
                            {},
                            QStringLiteral("tbl_WidgetPart"),
                            QStringLiteral("ObjectID"),
                            {},
                            {},
                            true},
                           {QStringLiteral("@Code"), QStringLiteral("nvarchar"), 8, false, QStringLiteral("NULL"),
                            QStringLiteral("tbl_WidgetPart"), QString(), QStringLiteral("The new code."),
                            QStringLiteral("Blank keeps the old one."), true},
                           {QStringLiteral("@Count"),
                            QStringLiteral("int"),
                            4,
                            true,
                            {},
                            {},
                            {},
                            QStringLiteral("Parts renamed."),
                            {},
                            true}};
        proc.body = QStringLiteral(
            "UPDATE tbl_WidgetPart SET Code = COALESCE(@Code, Code) WHERE ObjectID = @ObjectID;");
        proc.exceptions = {{QStringLiteral("50001"), QStringLiteral("No such part.")}};
        db.procedures << proc;
        demo::ProcedureDef hidden;
        hidden.name = QStringLiteral("spInternal");
        db.procedures << hidden;
        demo::completeDescriptions(db);

        const QString table = demo::createTableSql(*db.table(QStringLiteral("tbl_WidgetPart")));
        QVERIFY(table.contains(QStringLiteral("ObjectID uniqueidentifier COLLATE NOCASE NOT NULL,")));
        QVERIFY(table.contains(QStringLiteral("Code nvarchar(8) COLLATE NOCASE,")));
        QVERIFY(table.contains(QStringLiteral("Weight int,")));
        QVERIFY(table.endsWith(QStringLiteral("PRIMARY KEY (ObjectID)\n)")));
        QVERIFY(
            demo::createTableSql(*db.table(QStringLiteral("tbl_Pair"))).contains(QStringLiteral("PRIMARY KEY (A, B)")));
        QCOMPARE(demo::createViewSql(v), QStringLiteral("CREATE VIEW vw_WidgetPart AS\nSELECT w.ObjectID,\n       "
                                                        "w.Code AS PartCode\nFROM tbl_WidgetPart w"));
        QCOMPARE(proc.definition(), QStringLiteral("CREATE PROCEDURE csp_PartRename\n    @ObjectID uniqueidentifier,\n "
                                                   "   @Code nvarchar(8) = NULL,\n"
                                                   "    @Count int OUTPUT\nAS\nUPDATE tbl_WidgetPart SET Code = "
                                                   "COALESCE(@Code, Code) WHERE ObjectID = @ObjectID;\n"));

        const QByteArray xml = demo::dictionaryXml(db).toLower();
        pugi::xml_document doc;
        QVERIFY(doc.load_buffer(xml.constData(), size_t(xml.size())));
        const auto one = [&doc](const char *path) { return doc.select_node(path).node(); };
        QCOMPARE(attr(one("orvexdatadictionary/tables/table[@name='tbl_widgetpart']/links/"
                          "link[@objectid='gadgetobjectid']/linkdata"),
                      "table"),
                 QStringLiteral("tbl_gadget"));
        QCOMPARE(int(doc.select_nodes("orvexdatadictionary/tables/table[@name='tbl_widgetpart']/links/link").size()),
                 1);
        QVERIFY(one("orvexdatadictionary/tables/table[@name='tbl_pair']/links").empty());
        const pugi::xml_node code = one(
            "orvexdatadictionary/tables/table[@name='tbl_widgetpart']/columns/column[@name='code']");
        QCOMPARE(attr(code, "datatype") + u'/' + attr(code, "length") + u'/' + attr(code, "customtype"),
                 QStringLiteral("nvarchar/8/codes"));
        QCOMPARE(QString::fromUtf8(code.child("notes").text().get()), QStringLiteral("upper case."));
        // Descriptions nobody wrote are made from the entity and the referenced table.
        QCOMPARE(attr(one("orvexdatadictionary/tables/table[@name='tbl_widgetpart']"), "description"),
                 QStringLiteral("one row per widget part."));
        QVERIFY(
            attr(one("orvexdatadictionary/tables/table[@name='tbl_widgetpart']/columns/column[@name='gadgetobjectid']"),
                 "description")
                .contains(QStringLiteral("gadget (tbl_gadget)")));
        QCOMPARE(attr(one("orvexdatadictionary/views/view[@name='vw_widgetpart']/columns/column[@name='partcode']"),
                      "tablecolumnref"),
                 QStringLiteral("tbl_widgetpart.code"));
        // Custom types carry what the description needs for their restriction kind.
        const pugi::xml_node values = one(
            "orvexdatadictionary/customtypes/customtype[@name='typeenumeration']/restrictions/restriction/values");
        QCOMPARE(attr(values.first_child(), "value") + attr(values.first_child(), "description")
                     + attr(values.last_child(), "value"),
                 QStringLiteral("0off1"));
        const pugi::xml_node length = one(
            "orvexdatadictionary/customtypes/customtype[@name='typelength']/restrictions/restriction");
        QCOMPARE(attr(length, "type") + attr(length, "min") + u'-' + attr(length, "max"), QStringLiteral("length1-64"));
        const pugi::xml_node regex = one(
            "orvexdatadictionary/customtypes/customtype[@name='typeregex']/restrictions/restriction");
        QCOMPARE(attr(regex, "description") + attr(regex, "expression"), QStringLiteral("digits.^[0-9]+$"));
        QCOMPARE(attr(one("orvexdatadictionary/customtypes/customtype[@name='typeodd']/restrictions").first_child(),
                      "type"),
                 QStringLiteral("odd"));
        QVERIFY(one("orvexdatadictionary/customtypes/customtype[@name='type']/restrictions").empty());
        QCOMPARE(attr(one("orvexdatadictionary/customtypes/customtype[@name='type']"), "description"),
                 QStringLiteral("about type"));
        // A procedure's and a parameter's own text are their notes.
        const pugi::xml_node sp = one("orvexdatadictionary/storedprocs/storedproc[@name='csp_partrename']");
        QCOMPARE(QString::fromUtf8(sp.text().get()), QStringLiteral("parts keep their objectid."));
        QCOMPARE(QString::fromUtf8(sp.select_node("params/param[@name='@code']").node().text().get()),
                 QStringLiteral("blank keeps the old one."));
        QCOMPARE(attr(sp.select_node("params/param[@name='@code']").node(), "reftable") + u'|'
                     + attr(sp.select_node("params/param[@name='@code']").node(), "refcolumn"),
                 QStringLiteral("tbl_widgetpart|"));
        QCOMPARE(attr(sp.child("exceptionlist").first_child(), "name")
                     + attr(sp.child("exceptionlist").first_child(), "description"),
                 QStringLiteral("50001no such part."));
        QVERIFY(one("orvexdatadictionary/storedprocs/storedproc[@name='spinternal']").empty());
    }

    void populatorFillsWhatRowsLeaveOpen()
    {
        demo::DatabaseDef db;
        db.name = QStringLiteral("TestDB");
        demo::addTable(db, QStringLiteral("tbl_Parent"), QStringLiteral("Parents."))
            .id()
            .text(QStringLiteral("DisplayName"), 32)
            .text(QStringLiteral("Alias"), 32)
            .names({QStringLiteral("North Wing"), QStringLiteral("South Wing")})
            .rows(5);
        demo::addTable(db, QStringLiteral("tbl_Child"), QStringLiteral("Children."))
            .id()
            .ref(QStringLiteral("ParentObjectID"), QStringLiteral("tbl_Parent"))
            .tinyint(QStringLiteral("Size"))
            .range(3, 4)
            .text(QStringLiteral("Colour"), 8)
            .pick({QStringLiteral("red"), QStringLiteral("blue")})
            .rows(40, 1);
        const QString file = env->filePath(QStringLiteral("unit.sqlite"));
        {
            demo::Populator p(db, 7);
            QVERIFY(p.create(file));
            p.fillGeneric(0);
            p.row(QStringLiteral("tbl_Parent"))
                .set(QStringLiteral("DisplayName"), QStringLiteral("Annex"))
                .setNull(QStringLiteral("Alias"))
                .insert();
            p.fillGeneric(1);
            QCOMPARE(p.ids(QStringLiteral("TBL_PARENT")).size(), 6);
            QVERIFY(p.finish());
        }
        QCOMPARE(query(file, QStringLiteral("SELECT DisplayName, Alias FROM tbl_Parent ORDER BY rowid")),
                 (Rows{{QStringLiteral("North Wing"), QStringLiteral("northwing")},
                       {QStringLiteral("South Wing"), QStringLiteral("southwing")},
                       {QStringLiteral("North Wing 2"), QStringLiteral("northwing2")},
                       {QStringLiteral("South Wing 2"), QStringLiteral("southwing2")},
                       {QStringLiteral("North Wing 3"), QStringLiteral("northwing3")},
                       {QStringLiteral("Annex"), QVariant()}}));
        QCOMPARE(scalar(file, QStringLiteral("SELECT COUNT(*) FROM tbl_Child c JOIN tbl_Parent p ON p.ObjectID = "
                                             "c.ParentObjectID"))
                     .toInt(),
                 40);
        QCOMPARE(query(file, QStringLiteral("SELECT DISTINCT Size FROM tbl_Child ORDER BY 1")),
                 (Rows{{qint64(3)}, {qint64(4)}}));
        QCOMPARE(query(file, QStringLiteral("SELECT DISTINCT Colour FROM tbl_Child ORDER BY 1")),
                 (Rows{{QStringLiteral("blue")}, {QStringLiteral("red")}}));

        // Mistakes stop the build with a reason instead of writing half a file.
        demo::Populator again(db, 7);
        QVERIFY(!again.create(file));
        QVERIFY(again.error().contains(QStringLiteral("already exists")));
        demo::Populator typo(db, 7);
        QVERIFY(typo.create(env->filePath(QStringLiteral("typo.sqlite"))));
        typo.row(QStringLiteral("tbl_Parent")).set(QStringLiteral("NoSuchColumn"), 1).insert();
        QVERIFY(!typo.finish());
        QVERIFY(typo.error().contains(QStringLiteral("NoSuchColumn")));
    }

    void registryValuesKeepTheirExactData()
    {
        QByteArray text;
        QString error;
        QVERIFY(demo::mergeRegistryExport(QByteArray(), QStringLiteral("C:\\Orvex"), &text, &error));
        for (const QByteArray &line : text.split('\n'))
            QVERIFY2(line.size() <= 80 || line.startsWith("\"SyncFilter\"="), line.constData());
        const regaccess::RegFileParse parsed = regaccess::parseRegFile(text);
        QCOMPARE(parsed.error, QString());
        const regaccess::RegistryKey *product = parsed.top.find(
            {QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("SOFTWARE"), QStringLiteral("Zandel Systems"),
             QStringLiteral("Zandel Orvex")});
        QVERIFY(product && product->value(QStringLiteral("InstalledFolderPath")));
        QCOMPARE(regaccess::textFromData(product->value(QStringLiteral("InstalledFolderPath"))->data),
                 QStringLiteral("C:\\Orvex") + QChar(0));
        int checked = 0;
        for (const demo::RegKeyDef &k : demo::settingsTree()) {
            const regaccess::RegistryKey *key = parsed.top.find(QStringList{QStringLiteral("HKEY_LOCAL_MACHINE"),
                                                                            QStringLiteral("SOFTWARE"),
                                                                            QStringLiteral("Brisvane")}
                                                                + k.path.split(u'\\'));
            QVERIFY2(key, qPrintable(k.path));
            QCOMPARE(key->values().size(), k.values.size());
            for (int i = 0; i < k.values.size(); ++i) {
                const demo::RegValueDef &def = k.values[i];
                const regaccess::RegistryValue &got = key->values()[i]; // in the order written
                QCOMPARE(got.name, def.name);
                QByteArray expected;
                int type = regaccess::kTypeText;
                switch (def.kind) {
                case demo::RegValueDef::Kind::String:
                    expected = regaccess::textToData(def.text);
                    break;
                case demo::RegValueDef::Kind::DWord:
                    expected = regaccess::dwordToData(def.number);
                    type = regaccess::kTypeDword;
                    break;
                case demo::RegValueDef::Kind::Binary:
                    expected = def.bytes;
                    type = regaccess::kTypeBinary;
                    break;
                case demo::RegValueDef::Kind::ExpandString:
                    expected = regaccess::textToData(def.text);
                    type = regaccess::kTypeExpandText;
                    break;
                case demo::RegValueDef::Kind::MultiString:
                    for (const QString &s : def.strings)
                        expected += regaccess::textToData(s);
                    expected += QByteArray(2, '\0');
                    type = regaccess::kTypeMultiText;
                    break;
                }
                QCOMPARE(got.type, type);
                QVERIFY2(got.data == expected, qPrintable(k.path + u'\\' + def.name));
                ++checked;
            }
        }
        QVERIFY(checked > 40);
    }

    // --- the installation ------------------------------------------------------

    // Runs before any test changes the first installation.
    void sameOptionsGiveTheSameFiles()
    {
        QCOMPARE(build(second, kSubscribers, 300), QString());
        QStringList files;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(root).relativeFilePath(it.next());
        QVERIFY(files.size() >= 10);
        for (const QString &f : files)
            QVERIFY2(readAll(root + u'/' + f) == readAll(second + u'/' + f), qPrintable(f));
        // The second build is now the registered one.
        QCOMPARE(db::lookupServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex")).dataFolder,
                 QDir::cleanPath(second) + QStringLiteral("/data"));
        // Building over the first one again changes nothing and makes it the registered one.
        QCOMPARE(build(root, kSubscribers, 300), QString());
        for (const QString &f : files)
            QVERIFY2(readAll(root + u'/' + f) == readAll(second + u'/' + f), qPrintable(f));
        db::resetConnectionPool();
    }

    void containsEveryMappedTableAndView()
    {
        QStringList missing;
        const Rows objects = query(dir(), QStringLiteral("SELECT type, name FROM sqlite_master"));
        std::set<QString> tables, views;
        for (const QVariantList &o : objects)
            (o[0].toString() == u"table" ? tables : views).insert(o[1].toString());
        const auto map = tableViewMap();
        QCOMPARE(map.size(), 101);
        for (const auto &[table, view] : map) {
            if (!tables.count(table)) // spelled exactly as the product spells it
                missing << table;
            if (!view.isEmpty() && !views.count(view))
                missing << view;
        }
        for (const char *other : {"vw_Handler", "vw_DistributionListMembers", "vw_User", "vw_TaskPeriodic",
                                  "vw_RoutingRule", "vw_Configuration", "vw_UserMailboxMap", "vw_Subscriber_Global"})
            if (!views.count(QString::fromLatin1(other)))
                missing << QString::fromLatin1(other);
        QCOMPARE(missing, QStringList());
        QCOMPARE(int(std::count_if(tables.begin(), tables.end(),
                                   [](const QString &t) { return t.startsWith(u"conflict_"); })),
                 3);
        // Every table has rows to look at.
        QStringList empty;
        for (const QString &db : {QStringLiteral("OrvexDirDB"), QStringLiteral("OrvexDynDB"),
                                  QStringLiteral("OrvexMbxDB1"), QStringLiteral("OrvexRptDB")})
            for (const QVariantList &t :
                 query(data(db), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
                if (scalar(data(db), QStringLiteral("SELECT COUNT(*) FROM ") + t[0].toString()).toInt() == 0)
                    empty << db + u'.' + t[0].toString();
        QCOMPARE(empty.join(u' '), QString());

        // The table list the main window shows hides the conflict and catalogue tables.
        Error e;
        auto list = db::openResultSet(connection(),
                                      QStringLiteral("select name as 'Table Name' from OrvexDirDB.dbo.sysobjects where "
                                                     "type ='u' and name not like 'conflict_%' order by name"),
                                      &e);
        QVERIFY(list && !e);
        QCOMPARE(list->recordCount(), qsizetype(tables.size() - 3 - 2));
        QCOMPARE(engineCount(QStringLiteral("select name from sysobjects where name like 'korva%'")), 0);
    }

    void textColumnsIgnoreCase()
    {
        // SQL Server compares text without regard to case; so must every text column here.
        for (const QString &db : {QStringLiteral("OrvexDirDB"), QStringLiteral("OrvexDynDB"),
                                  QStringLiteral("OrvexMbxDB1"), QStringLiteral("OrvexRptDB")}) {
            const Rows columns = query(data(db),
                                       QStringLiteral("SELECT m.name, c.name, m.sql FROM sqlite_master m JOIN "
                                                      "pragma_table_info(m.name) c "
                                                      "WHERE m.type = 'table' AND m.name NOT LIKE 'korva%' AND (c.type "
                                                      "LIKE '%char%' OR c.type LIKE '%text%' "
                                                      "OR c.type = 'uniqueidentifier' OR c.type = 'datetime')"));
            QVERIFY(!columns.isEmpty());
            for (const QVariantList &c : columns) {
                const QString sql = c[2].toString();
                const qsizetype at = sql.indexOf(u'\n' + QStringLiteral("    ") + c[1].toString() + u' ');
                QVERIFY2(at >= 0
                             && sql.mid(at, sql.indexOf(u'\n', at + 1) - at).contains(QStringLiteral("COLLATE NOCASE")),
                         qPrintable(db + u' ' + c[0].toString() + u'.' + c[1].toString()));
            }
            const Rows ids = query(data(db), QStringLiteral("SELECT ObjectID FROM %1 LIMIT 5")
                                                 .arg(db == u"OrvexRptDB"    ? QStringLiteral("tbl_ReportDefinition")
                                                      : db == u"OrvexMbxDB1" ? QStringLiteral("tbl_Mailbox")
                                                      : db == u"OrvexDynDB"  ? QStringLiteral("tbl_MediaPortStatus")
                                                                             : QStringLiteral("tbl_User")));
            QVERIFY(!ids.isEmpty());
            static const QRegularExpression guid(
                QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
            for (const QVariantList &id : ids)
                QVERIFY2(guid.match(id[0].toString()).hasMatch(), qPrintable(id[0].toString()));
        }
    }

    void dictionaryDescribesDatabase_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("dictionary");
        QTest::newRow("directory") << "OrvexDirDB"
                                   << "OrvexDirDB.xml";
        QTest::newRow("dynamic") << "OrvexDynDB"
                                 << "OrvexDynDB.xml";
        QTest::newRow("mailbox-db1-uses-OrvexMbxDB.xml") << "OrvexMbxDB1"
                                                         << "OrvexMbxDB.xml";
        QTest::newRow("report") << "OrvexRptDB"
                                << "OrvexRptDB.xml";
    }
    void dictionaryDescribesDatabase()
    {
        QFETCH(QString, database);
        QFETCH(QString, dictionary);
        const QByteArray raw = readAll(scripts(dictionary));
        QVERIFY(raw.contains("<OrvexDataDictionary")); // written in mixed case ...
        pugi::xml_document doc;
        QVERIFY(loadLowered(doc, scripts(dictionary))); // ... and read lower-cased

        std::set<QString> inDatabase, inDictionary;
        const Rows columns = query(data(database),
                                   QStringLiteral("SELECT m.type, lower(m.name), lower(c.name), c.type FROM "
                                                  "sqlite_master m JOIN pragma_table_info(m.name) c "
                                                  "WHERE m.type IN ('table', 'view') AND m.name NOT LIKE 'korva%' AND "
                                                  "m.name NOT LIKE 'sqlite%'"));
        QVERIFY(!columns.isEmpty());
        QHash<QString, QString> declared;
        for (const QVariantList &c : columns) {
            const QString key = c[0].toString() + u' ' + c[1].toString() + u'.' + c[2].toString();
            inDatabase.insert(key);
            declared[key] = c[3].toString();
        }
        std::set<QString> tables;
        for (const pugi::xpath_node &t : doc.select_nodes("orvexdatadictionary/tables/table")) {
            tables.insert(attr(t.node(), "name"));
            QVERIFY2(!attr(t.node(), "description").isEmpty(), qPrintable(attr(t.node(), "name")));
            for (const pugi::xml_node &c : t.node().child("columns").children("column")) {
                const QString key = QStringLiteral("table ") + attr(t.node(), "name") + u'.' + attr(c, "name");
                inDictionary.insert(key);
                QVERIFY2(!attr(c, "description").isEmpty(), qPrintable(key));
                // The declared type is the dictionary's datatype, with the length for variable ones.
                const QString type = attr(c, "datatype");
                const QString expected = type.contains(u"char") || type == u"varbinary"
                                             ? type + u'(' + attr(c, "length") + u')'
                                             : type;
                QCOMPARE(declared.value(key).toLower(), expected); // SQLite spells its own type names in capitals
                if (!attr(c, "customtype").isEmpty())
                    QVERIFY2(doc.select_node(("orvexdatadictionary/customtypes/customtype[@name='"
                                              + attr(c, "customtype").toStdString() + "']")
                                                 .c_str()),
                             qPrintable(key));
            }
        }
        for (const pugi::xpath_node &v : doc.select_nodes("orvexdatadictionary/views/view")) {
            for (const pugi::xml_node &c : v.node().child("columns").children("column")) {
                inDictionary.insert(QStringLiteral("view ") + attr(v.node(), "name") + u'.' + attr(c, "name"));
                // A view column leads back to a described table column.
                const QString ref = attr(c, "tablecolumnref");
                const qsizetype dot = ref.indexOf(u'.');
                QVERIFY2(dot > 1, qPrintable(attr(v.node(), "name") + u'.' + attr(c, "name")));
                const std::string path = "orvexdatadictionary/tables/table[@name='" + ref.left(dot).toStdString()
                                         + "']/columns/column[@name='" + ref.mid(dot + 1).toStdString() + "']";
                QVERIFY2(doc.select_node(path.c_str()), qPrintable(ref));
            }
        }
        std::vector<QString> undescribed, stale;
        std::set_difference(inDatabase.begin(), inDatabase.end(), inDictionary.begin(), inDictionary.end(),
                            std::back_inserter(undescribed));
        std::set_difference(inDictionary.begin(), inDictionary.end(), inDatabase.begin(), inDatabase.end(),
                            std::back_inserter(stale));
        QCOMPARE(QStringList(undescribed.begin(), undescribed.end()), QStringList());
        QCOMPARE(QStringList(stale.begin(), stale.end()), QStringList());

        for (const Link &l : links(dictionary)) {
            QVERIFY2(tables.count(l.target), qPrintable(l.table + u'.' + l.column + QStringLiteral(" -> ") + l.target));
            QVERIFY2(l.column.contains(u"objectid"), qPrintable(l.column));
        }
        QSet<QString> kinds;
        for (const pugi::xpath_node &r :
             doc.select_nodes("orvexdatadictionary/customtypes/customtype/restrictions/restriction"))
            kinds.insert(attr(r.node(), "type"));
        QVERIFY(kinds.contains(QStringLiteral("enumeration")) && kinds.contains(QStringLiteral("length"))
                && kinds.contains(QStringLiteral("regex")));
    }

    // Every reference the dictionary declares leads to a row, except the
    // faults planted on purpose, and each link column is used at all.
    void linksResolve_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("dictionary");
        QTest::addColumn<QStringList>("planted");
        QTest::newRow("directory") << "OrvexDirDB"
                                   << "OrvexDirDB.xml"
                                   << QStringList{QStringLiteral("tbl_callhandler.schedulesetobjectid"),
                                                  QStringLiteral("tbl_distributionlistmember.member_userobjectid"),
                                                  QStringLiteral("tbl_dtmfaccessid.parent_handlerobjectid"),
                                                  // keys leading to handlers that are not call handlers
                                                  QStringLiteral("tbl_menuentry.targethandlerobjectid"),
                                                  QStringLiteral("tbl_notificationdevice.subscriberobjectid"),
                                                  QStringLiteral("tbl_usersubscriber.callhandlerobjectid")};
        QTest::newRow("dynamic") << "OrvexDynDB"
                                 << "OrvexDynDB.xml" << QStringList();
        QTest::newRow("mailbox") << "OrvexMbxDB1"
                                 << "OrvexMbxDB.xml" << QStringList();
        QTest::newRow("report") << "OrvexRptDB"
                                << "OrvexRptDB.xml" << QStringList();
    }
    void linksResolve()
    {
        QFETCH(QString, database);
        QFETCH(QString, dictionary);
        QFETCH(QStringList, planted);
        QStringList dangling, unused;
        for (const Link &l : links(dictionary)) {
            const QString file = data(database);
            const QString used = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 IS NOT NULL").arg(l.table, l.column);
            if (scalar(file, used).toLongLong() == 0)
                unused << l.table + u'.' + l.column;
            // A greeting is named by its handler and type.
            const QString key =
                l.target == u"tbl_greeting"
                    ? QStringLiteral("CallHandlerObjectID")
                    : query(file, QStringLiteral("SELECT name FROM pragma_table_info('%1') WHERE pk = 1").arg(l.target))
                          .value(0)
                          .value(0)
                          .toString();
            const QString missing = QStringLiteral("SELECT COUNT(*) FROM %1 s WHERE s.%2 IS NOT NULL AND NOT EXISTS "
                                                   "(SELECT 1 FROM %3 t WHERE t.%4 = s.%2)")
                                        .arg(l.table, l.column, l.target, key);
            if (scalar(file, missing).toLongLong() > 0)
                dangling << l.table + u'.' + l.column;
        }
        dangling.sort();
        QCOMPARE(dangling.join(u' '), planted.join(u' '));
        QCOMPARE(unused.join(u' '), QString());
    }

    void everyObjectKindDescribesALinkedRow()
    {
        QHash<QString, QList<Link>> byKind;
        for (const Link &l : links(QStringLiteral("OrvexDirDB.xml")))
            byKind[l.target.mid(l.target.indexOf(u'_') + 1).toUpper()].append(l);
        QStringList failed;
        for (const Kind &k : kKinds) {
            const QString key = QString::fromLatin1(k.key);
            bool resolved = false;
            for (const Link &l : byKind.value(key)) {
                if (!k.query) {
                    resolved = true;
                    break;
                }
                const Rows values = query(dir(),
                                          QStringLiteral("SELECT DISTINCT %2 FROM %1 WHERE %2 IS NOT NULL LIMIT 8")
                                              .arg(l.table, l.column));
                for (const QVariantList &v : values)
                    if (engineCount(QString::fromLatin1(k.query) + v[0].toString() + u'\'') == 1) {
                        resolved = true;
                        break;
                    }
                if (resolved)
                    break;
            }
            if (!resolved)
                failed << key;
        }
        // Greetings are found by handler and type, taken from the referencing row.
        const Rows greeting = query(dir(), QStringLiteral("SELECT Greeting_CallHandlerObjectID, GreetingType FROM "
                                                          "tbl_GreetingStreamFile "
                                                          "WHERE GreetingType <> '' LIMIT 1"));
        QCOMPARE(greeting.size(), 1);
        QCOMPARE(engineCount(QStringLiteral(
                                 "SELECT AfterGreeting_Action, AfterGreeting_TargetConversation from vw_Greeting WHERE "
                                 "CallHandlerObjectID='%1' AND GreetingType='%2'")
                                 .arg(greeting[0][0].toString(), greeting[0][1].toString())),
                 1);
        QCOMPARE(failed.join(u' '), QString());
    }

    void subscribersAreComplete()
    {
        const Rows subs = query(dir(), QStringLiteral("SELECT ObjectID, CallHandlerObjectID, Alias, DTMFAccessID FROM "
                                                      "vw_Subscriber"));
        QCOMPARE(subs.size(), kSubscribers);
        int withoutHandler = 0;
        for (const QVariantList &s : subs) {
            const QString id = s[0].toString(), handler = s[1].toString();
            QVERIFY(!s[2].toString().isEmpty() && !s[3].toString().isEmpty());
            QCOMPARE(scalar(dir(),
                            QStringLiteral("SELECT COUNT(*) FROM tbl_Alias WHERE Object_UserObjectID = '%1'").arg(id))
                         .toInt(),
                     1);
            if (scalar(dir(),
                       QStringLiteral("SELECT Recipient_SubscriberObjectID FROM vw_Callhandler WHERE ObjectID = '%1'")
                           .arg(handler))
                != id) {
                ++withoutHandler; // the one subscriber whose handler reference was broken on purpose
                continue;
            }
            const int greetings = scalar(dir(), QStringLiteral("SELECT COUNT(DISTINCT GreetingType) FROM vw_Greeting "
                                                               "WHERE CallHandlerObjectID = '%1'")
                                                    .arg(handler))
                                      .toInt();
            QVERIFY2(greetings >= 3 && greetings <= 7, qPrintable(QString::number(greetings)));
            QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM vw_Greeting WHERE CallHandlerObjectID = '%1' "
                                                  "AND GreetingType = 'Standard'")
                                       .arg(handler))
                         .toInt(),
                     1);
            QCOMPARE(scalar(dir(),
                            QStringLiteral("SELECT COUNT(*) FROM vw_TransferOption WHERE CallHandlerObjectID = '%1'")
                                .arg(handler))
                         .toInt(),
                     3);
            QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(DISTINCT TouchtoneKey) FROM vw_MenuEntry WHERE "
                                                  "CallHandlerObjectID = '%1'")
                                       .arg(handler))
                         .toInt(),
                     12);
            QVERIFY(scalar(dir(),
                           QStringLiteral("SELECT COUNT(*) FROM vw_NotificationDevice WHERE SubscriberObjectID = '%1'")
                               .arg(id))
                        .toInt()
                    >= 3);
            QVERIFY(scalar(dir(),
                           QStringLiteral("SELECT COUNT(*) FROM vw_DTMFAccessID WHERE Parent_SubscriberObjectID = '%1'")
                               .arg(id))
                        .toInt()
                    >= 1);
            QVERIFY(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM vw_DistributionListMembers WHERE "
                                                 "Member_UserObjectID = '%1'")
                                      .arg(id))
                        .toInt()
                    >= 2);
            QCOMPARE(scalar(data(QStringLiteral("OrvexMbxDB1")),
                            QStringLiteral("SELECT COUNT(*) FROM tbl_Mailbox m JOIN tbl_FolderInfo f ON "
                                           "f.MailboxObjectID = m.ObjectID "
                                           "WHERE m.UserObjectID = '%1'")
                                .arg(id))
                         .toInt(),
                     4);
        }
        QCOMPARE(withoutHandler, 1);
        // The object view's queries, as it composes them.
        QCOMPARE(engineCount(QStringLiteral(
                     "SELECT ObjectID,CallHandlerObjectID, Alias, DisplayName, DTMFAccessID, FirstName, LastName, "
                     "[LocationObjectID] FROM [vw_Subscriber]")),
                 qsizetype(kSubscribers));
        QVERIFY(engineCount(QStringLiteral("SELECT TouchToneKey, [Action] FROM [vw_MenuEntry] vw_Menuentry WHERE "
                                           "CallHandlerObjectID='%1'")
                                .arg(subs[0][1].toString()))
                == 12);
        QVERIFY(
            engineCount(
                QStringLiteral("SELECT * FROM [vw_InterviewHandlerQuestion] vw_InterviewHandlerQuestion WHERE "
                               "InterviewHandlerObjectID='%1'")
                    .arg(scalar(dir(), QStringLiteral("SELECT ObjectID FROM vw_InterviewHandler LIMIT 1")).toString()))
            >= 3);
    }

    // Names keep their own letters: accents, and Chinese, Japanese and Korean
    // script, stored as UTF-8 text that reads back as it was written.
    void textBeyondAsciiReadsBackAsWritten_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("cjk");
        QTest::newRow("subscribers") << "OrvexDirDB"
                                     << "tbl_User"
                                     << "DisplayName" << true;
        QTest::newRow("personal-contacts") << "OrvexDirDB"
                                           << "tbl_PersonalContact"
                                           << "LastName" << false;
        QTest::newRow("other-servers-subscribers") << "OrvexDirDB"
                                                   << "tbl_GlobalSubscriber"
                                                   << "DisplayName" << true;
        QTest::newRow("distribution-lists") << "OrvexDirDB"
                                            << "tbl_DistributionList"
                                            << "DisplayName" << false;
        QTest::newRow("locations") << "OrvexDirDB"
                                   << "tbl_Location"
                                   << "DisplayName" << false;
        QTest::newRow("prompts") << "OrvexDirDB"
                                 << "tbl_LocalizedText"
                                 << "Text" << false;
        QTest::newRow("message-subjects") << "OrvexMbxDB1"
                                          << "tbl_Message"
                                          << "Subject" << false;
    }
    void textBeyondAsciiReadsBackAsWritten()
    {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(bool, cjk);
        const Rows rows =
            query(data(database),
                  QStringLiteral("SELECT %1, typeof(%1), hex(%1) FROM %2 WHERE %1 IS NOT NULL").arg(column, table));
        QString latinText, cjkText;
        for (const QVariantList &row : rows) {
            const QString text = row[0].toString();
            if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
                continue;
            QCOMPARE(row[1].toString(), QStringLiteral("text"));
            QCOMPARE(row[2].toString(), QString::fromLatin1(text.toUtf8().toHex().toUpper()));
            QCOMPARE(text.normalized(QString::NormalizationForm_C), text);
            for (QChar c : text) {
                // What bytes decoded the wrong way turn into.
                QVERIFY2((c.unicode() < 0x80 || c.unicode() >= 0xC0) && c != QChar::ReplacementCharacter,
                         qPrintable(text));
                const QChar::Script script = c.script();
                if (script == QChar::Script_Latin && c.unicode() >= 0x80 && latinText.isEmpty())
                    latinText = text;
                if ((script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana
                     || script == QChar::Script_Hangul)
                    && cjkText.isEmpty())
                    cjkText = text;
            }
        }
        QVERIFY2(!latinText.isEmpty(), "no accented Latin letters");
        QVERIFY2(!cjk || !cjkText.isEmpty(), "no Chinese, Japanese or Korean text");
        // The engine finds the row by its text, as a WHERE clause typed in the browser does.
        for (const QString &text : {latinText, cjkText}) {
            if (text.isEmpty())
                continue;
            Error e;
            auto rs = db::openResultSet(connection(database),
                                        QStringLiteral("SELECT %1 FROM %2 WHERE %1 = '%3'")
                                            .arg(column, table, QString(text).replace(u'\'', QStringLiteral("''"))),
                                        &e);
            QVERIFY2(rs && !e, qPrintable(e.description));
            QVERIFY(rs->recordCount() >= 1);
            QCOMPARE(rs->field(0).toString(), text);
        }
    }

    // Aliases and mail addresses are identifiers: whatever name they were
    // made from, they keep to ASCII and to their custom types' patterns.
    void identifiersStayAscii()
    {
        QCOMPARE(demo::names::asciiFold(QStringLiteral("Łódź Øre-Straße Yılmaz Þór Radosław Sigríður Sæbø 陳")),
                 QStringLiteral("LodzOreStrasseYilmazThorRadoslawSigridurSaebo"));
        QStringList wrong;
        QRegularExpression aliasPattern;
        for (const auto &[database, dictionary] :
             {std::pair{"OrvexDirDB", "OrvexDirDB.xml"}, std::pair{"OrvexDynDB", "OrvexDynDB.xml"},
              std::pair{"OrvexMbxDB1", "OrvexMbxDB.xml"}, std::pair{"OrvexRptDB", "OrvexRptDB.xml"}}) {
            const QString file = data(QString::fromLatin1(database));
            pugi::xml_document doc;
            QVERIFY(doc.load_file(QFile::encodeName(scripts(QString::fromLatin1(dictionary))).constData()));
            QHash<QString, QRegularExpression> patterns;
            for (const pugi::xpath_node &t :
                 doc.select_nodes("OrvexDataDictionary/CustomTypes/CustomType[Restrictions/Restriction/@Type='Regex']"))
                patterns.insert(attr(t.node(), "Name"),
                                QRegularExpression(
                                    attr(t.node().child("Restrictions").child("Restriction"), "Expression")));
            aliasPattern = patterns.value(QStringLiteral("AliasName"), aliasPattern);
            QList<std::pair<QString, QRegularExpression>> checks; // "table.column", pattern
            for (const pugi::xpath_node &c :
                 doc.select_nodes("OrvexDataDictionary/Tables/Table/Columns/Column[@CustomType]"))
                if (patterns.contains(attr(c.node(), "CustomType")))
                    checks.append({attr(c.node().parent().parent(), "Name") + u'.' + attr(c.node(), "Name"),
                                   patterns.value(attr(c.node(), "CustomType"))});
            QVERIFY(aliasPattern.isValid() && !aliasPattern.pattern().isEmpty());
            static const QRegularExpression mail(QStringLiteral("^[A-Za-z0-9._-]+@[A-Za-z0-9.-]+$"));
            // AuditAlias holds a Windows account, DOMAIN\alias.
            for (const QVariantList &c :
                 query(file, QStringLiteral(
                                 "SELECT m.name, c.name FROM sqlite_master m JOIN pragma_table_info(m.name) c WHERE "
                                 "m.type = 'table' AND ((c.name LIKE '%alias' AND c.name <> 'AuditAlias') "
                                 "OR c.name LIKE '%emailaddress')")))
                checks.append({c[0].toString() + u'.' + c[1].toString(),
                               c[1].toString().endsWith(u"Alias") ? aliasPattern : mail});
            QVERIFY(checks.size() >= 2);
            for (const auto &[column, pattern] : checks) {
                const qsizetype dot = column.indexOf(u'.');
                for (const QVariantList &v :
                     query(file, QStringLiteral("SELECT DISTINCT %2 FROM %1 WHERE %2 IS NOT NULL")
                                     .arg(column.left(dot), column.mid(dot + 1))))
                    if (!pattern.match(v[0].toString()).hasMatch())
                        wrong << QString::fromLatin1(database) + u' ' + column + QStringLiteral(": ") + v[0].toString();
            }
        }
        QCOMPARE(wrong.mid(0, 10).join(u'\n'), QString());
    }

    void plantedFaultsArePresent()
    {
        // An extension that has lost every parent.
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM vw_DTMFAccessID WHERE "
                                              "Parent_DistributionListObjectID IS NULL AND "
                                              "Parent_HandlerObjectID IS NULL AND Parent_LocationObjectID IS NULL AND "
                                              "Parent_SubscriberObjectID IS NULL"))
                     .toInt(),
                 1);
        // A "go to" action without its target conversation, used by a routing rule.
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_CallAction a JOIN tbl_RoutingRule r ON "
                                              "r.CallActionObjectID = a.ObjectID "
                                              "WHERE a.Action = 2 AND a.TargetConversation IS NULL"))
                     .toInt(),
                 1);
        // A key leading to a handler that only vw_Handler knows.
        const QString handlerOnly = scalar(dir(), QStringLiteral(
                                                      "SELECT m.TargetHandlerObjectID FROM tbl_MenuEntry m WHERE "
                                                      "m.TargetHandlerObjectID IN (SELECT ObjectID FROM vw_Handler) "
                                                      "AND m.TargetHandlerObjectID NOT IN (SELECT ObjectID FROM "
                                                      "vw_CallHandler) LIMIT 1"))
                                        .toString();
        QVERIFY(!handlerOnly.isEmpty());
        QCOMPARE(engineCount(
                     QStringLiteral("select DisplayName from vw_CallHandler WHERE ObjectID='%1'").arg(handlerOnly)),
                 0);
        QCOMPARE(engineCount(QStringLiteral("select DisplayName from vw_Handler WHERE ObjectID='%1'").arg(handlerOnly)),
                 1);
        // Greetings saved without a type, in the greeting table and where a link names one.
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_Greeting WHERE GreetingType = ''")).toInt(), 1);
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_GreetingStreamFile WHERE GreetingType = ''"))
                     .toInt(),
                 1);
        // Missing display names.
        QVERIFY(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_User WHERE DisplayName IS NULL")).toInt() >= 1);
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_DistributionList WHERE DisplayName IS NULL"))
                     .toInt(),
                 1);
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_DirectoryHandler WHERE DisplayName IS NULL"))
                     .toInt(),
                 1);
        // A list member that points at nothing at all.
        QCOMPARE(engineCount(
                     QStringLiteral("SELECT * from vw_DistributionListMembers WHERE Member_UserObjectID IS NULL AND "
                                    "Member_DistributionListObjectID IS NULL")),
                 1);
    }

    void configurationTreeMatchesItsDescription()
    {
        QCOMPARE(engineCount(QStringLiteral("SELECT * FROM vw_Configuration WHERE Type=1")), 1);
        const QString rootId =
            scalar(dir(), QStringLiteral("SELECT ObjectID FROM vw_Configuration WHERE Type = 1")).toString();
        QVERIFY(
            engineCount(
                QStringLiteral("SELECT * FROM vw_Configuration WHERE PArentID='%1' and HasChildNodes=1").arg(rootId))
            >= 5);
        // Every folder's parent is a folder, and full names follow the parents.
        QCOMPARE(scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_Configuration c JOIN tbl_Configuration p ON "
                                              "p.ObjectID = c.ParentID "
                                              "WHERE p.HasChildNodes = 0 OR c.FullName <> p.FullName || '.' || c.Name"))
                     .toInt(),
                 0);
        QCOMPARE(scalar(dir(),
                        QStringLiteral(
                            "SELECT COUNT(*) FROM tbl_Configuration WHERE HasChildNodes = 0 AND ValueBool IS NULL AND "
                            "ValueDate IS NULL AND ValueFloat IS NULL AND ValueGUID IS NULL AND ValueLong IS NULL AND "
                            "ValueString IS NULL"))
                     .toInt(),
                 2);

        QByteArray text = readAll(scripts(QStringLiteral("OrvexConfigurationData.xml")));
        const QByteArray declaration = "<!DOCTYPE OrvexConfigurationData SYSTEM \"OrvexConfigurationData.dtd\"[]>";
        QVERIFY(text.startsWith(declaration));
        text.replace(declaration, QByteArray());
        pugi::xml_document doc;
        QVERIFY(doc.load_buffer(text.constData(), size_t(text.size())));
        int described = 0;
        for (const pugi::xpath_node &n :
             doc.select_nodes("OrvexConfigurationData/Product[@name='Orvex5.0']//Node[@type]")) {
            QString path = attr(n.node(), "name");
            for (pugi::xml_node p = n.node().parent(); QByteArrayView(p.name()) == "Node"; p = p.parent())
                path = attr(p, "name") + u'.' + path;
            QCOMPARE(engineCount(
                         QStringLiteral("SELECT * FROM vw_Configuration WHERE FullName='System.%1' AND HasChildNodes=0")
                             .arg(path)),
                     1);
            ++described;
        }
        const int leaves =
            scalar(dir(), QStringLiteral("SELECT COUNT(*) FROM tbl_Configuration WHERE HasChildNodes = 0")).toInt();
        QVERIFY(described > leaves / 2 && described < leaves);
    }

    void storedProceduresRunOnTheEngine()
    {
        Error e;
        auto session = db::sessionFor(connection(), &e);
        QVERIFY(session && !e);
        const QList<db::ProcedureInfo> procs = session->procedures(&e);
        static const QRegularExpression listed(QStringLiteral("^(csp_|sp_)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype shown = std::count_if(procs.begin(), procs.end(), [](const db::ProcedureInfo &p) {
            return listed.match(p.name).hasMatch();
        });
        QVERIFY(shown >= 15 && shown <= 25);
        QVERIFY(shown < procs.size());

        pugi::xml_document doc;
        QVERIFY(loadLowered(doc, scripts(QStringLiteral("OrvexDirDB.xml"))));
        static const QStringList known =
            {QStringLiteral("bit"),       QStringLiteral("int"),      QStringLiteral("uniqueidentifier"),
             QStringLiteral("nvarchar"),  QStringLiteral("varchar"),  QStringLiteral("datetime"),
             QStringLiteral("bigint"),    QStringLiteral("smallint"), QStringLiteral("tinyint"),
             QStringLiteral("varbinary"), QStringLiteral("text")};
        QSet<QString> types;
        int undescribed = 0, audited = 0, outputs = 0;
        for (const db::ProcedureInfo &p : procs) {
            QVERIFY2(p.source.startsWith(QStringLiteral("CREATE PROCEDURE ") + p.name), qPrintable(p.name));
            const std::string path = "orvexdatadictionary/storedprocs/storedproc[@name='"
                                     + p.name.toLower().toStdString() + "']";
            if (listed.match(p.name).hasMatch() && !doc.select_node(path.c_str()))
                ++undescribed;
            bool auditComponent = false, auditAlias = false;
            for (const db::ProcedureParameter &par : p.parameters) {
                types.insert(par.typeName);
                QVERIFY2(p.source.contains(par.name + u' ' + par.typeName), qPrintable(p.name + u' ' + par.name));
                auditComponent |= par.name == u"@AuditComponent";
                auditAlias |= par.name == u"@AuditAlias";
                outputs += par.output ? 1 : 0;
            }
            QCOMPARE(auditComponent, auditAlias);
            audited += auditComponent ? 1 : 0;
        }
        QCOMPARE(undescribed, 1);
        QVERIFY(audited >= 10 && outputs >= 3);
        for (const QString &t : known)
            QVERIFY2(types.contains(t), qPrintable(t));
        QVERIFY(types.contains(QStringLiteral("money"))); // a type the execution window does not know
        // Parameters described from a column point at a described column.
        for (const pugi::xpath_node &par : doc.select_nodes(
                 "orvexdatadictionary/storedprocs/storedproc/params/param[@reftable!='' and @refcolumn!='']")) {
            const std::string column = "orvexdatadictionary/tables/table[@name='"
                                       + attr(par.node(), "reftable").toStdString() + "']/columns/column[@name='"
                                       + attr(par.node(), "refcolumn").toStdString() + "']";
            QVERIFY2(doc.select_node(column.c_str()), column.c_str());
        }

        // Run through the engine as the execution window does: values as text.
        auto arg = [](const char *name, const QString &value) {
            return db::ProcedureArgument{QString::fromLatin1(name), 200, value};
        };
        db::executeProcedure(connection(), QStringLiteral("csp_SubscriberCreate"),
                             {arg("Alias", QStringLiteral("zz.newcomer")), arg("FirstName", QStringLiteral("Zelda")),
                              arg("LastName", QStringLiteral("Newcomer")), arg("DTMFAccessID", QStringLiteral("7777")),
                              arg("AuditComponent", QStringLiteral("KORVA")),
                              arg("AuditAlias", QStringLiteral("HARBOURPOINT\\tester"))},
                             &e);
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(engineCount(
                     QStringLiteral("SELECT * FROM vw_Subscriber WHERE Alias='ZZ.NEWCOMER' AND DTMFAccessID='7777' AND "
                                    "DisplayName='Zelda Newcomer'")),
                 1);
        QCOMPARE(engineCount(QStringLiteral("SELECT * FROM vw_Greeting g JOIN vw_Subscriber s ON s.CallHandlerObjectID "
                                            "= g.CallHandlerObjectID "
                                            "WHERE s.Alias = 'zz.newcomer'")),
                 3);
        QCOMPARE(engineCount(QStringLiteral("SELECT * FROM tbl_AuditLog WHERE AuditAlias = 'HARBOURPOINT\\tester'")),
                 1);
        // The same alias again is refused and changes nothing.
        db::executeProcedure(connection(), QStringLiteral("csp_SubscriberCreate"),
                             {arg("Alias", QStringLiteral("zz.newcomer")), arg("FirstName", QStringLiteral("Zed")),
                              arg("LastName", QStringLiteral("Again")), arg("DTMFAccessID", QStringLiteral("7778"))},
                             &e);
        QVERIFY(e);
        QCOMPARE(engineCount(QStringLiteral("SELECT * FROM tbl_User WHERE FirstName = 'Zed'")), 0);
        // Every other body at least compiles against the schema.
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(dir()).constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        for (const db::ProcedureInfo &p : procs) {
            static const QRegularExpression as(QStringLiteral("\\bAS\\b"), QRegularExpression::CaseInsensitiveOption);
            const QByteArray body = p.source.mid(as.match(p.source).capturedEnd()).toUtf8();
            const char *tail = body.constData();
            while (tail && *tail) {
                sqlite3_stmt *st = nullptr;
                const int rc = sqlite3_prepare_v2(raw, tail, -1, &st, &tail);
                QVERIFY2(rc == SQLITE_OK,
                         qPrintable(p.name + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(raw))));
                sqlite3_finalize(st);
            }
        }
        sqlite3_close(raw);
    }

    void otherDatabasesRepeatTheDirectory()
    {
        // Mailboxes and quotas carry the directory's ObjectIDs.
        const Rows mailboxes = query(data(QStringLiteral("OrvexMbxDB1")),
                                     QStringLiteral("SELECT ObjectID, UserObjectID FROM tbl_Mailbox"));
        QCOMPARE(mailboxes.size(), kSubscribers);
        for (const QVariantList &m : mailboxes)
            QCOMPARE(scalar(dir(), QStringLiteral("SELECT UserObjectID FROM vw_Mailbox WHERE ObjectID = '%1'")
                                       .arg(m[0].toString())),
                     m[1]);
        QCOMPARE(query(data(QStringLiteral("OrvexMbxDB1")),
                       QStringLiteral("SELECT QuotaObjectID, Receive FROM tbl_Quota ORDER BY 1")),
                 query(dir(), QStringLiteral("SELECT QuotaObjectID, Receive FROM tbl_Quota ORDER BY 1")));
        QCOMPARE(query(data(QStringLiteral("OrvexDynDB")),
                       QStringLiteral("SELECT ObjectID, PortNumber FROM tbl_MediaPortStatus ORDER BY 1")),
                 query(dir(), QStringLiteral("SELECT ObjectID, PortNumber FROM tbl_MediaPort ORDER BY 1")));
        QCOMPARE(engineCount(QStringLiteral("select Subject, Sender from tbl_Message"), QStringLiteral("OrvexMbxDB1")),
                 scalar(data(QStringLiteral("OrvexMbxDB1")),
                        QStringLiteral("SELECT SUM(MessageCount) FROM tbl_Mailbox"))
                     .toLongLong());
        // The report's call history has the size asked for, in time order.
        const QString rpt = data(QStringLiteral("OrvexRptDB"));
        QCOMPARE(scalar(rpt,
                        QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(demo::kReportCallHistoryTable)))
                     .toInt(),
                 300);
        QCOMPARE(scalar(rpt,
                        QStringLiteral("SELECT COUNT(*) FROM tbl_ReportCallHistory a JOIN tbl_ReportCallHistory b ON "
                                       "b.CallHistoryID = a.CallHistoryID + 1 WHERE b.StartTime < a.StartTime"))
                     .toInt(),
                 0);
        QCOMPARE(scalar(rpt, QStringLiteral(
                                 "SELECT COUNT(*) FROM tbl_ReportCallHistory WHERE SubscriberAlias IS NOT NULL AND "
                                 "SubscriberAlias NOT IN (SELECT Alias FROM tbl_ReportSubscriberActivity)"))
                     .toInt(),
                 0);
    }

    void registryHoldsTheInstallation()
    {
        using namespace RegistryAPI;
        QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Zandel Systems\\Zandel Orvex"),
                          QStringLiteral("InstalledFolderPath"), REG_SZ, QString())
                     .toString(),
                 QDir::cleanPath(root) + QStringLiteral("/install"));
        const auto top = EnumKeys(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Brisvane\\"));
        QVERIFY(top && top->contains(QStringLiteral("Orvex")));
        // The long filter ends the listing of its key: what follows it is not listed.
        const auto sync = EnumValues(HKEY_LOCAL_MACHINE,
                                     QStringLiteral("SOFTWARE\\Brisvane\\Orvex\\Services\\Directory Sync"));
        QVERIFY(sync);
        QStringList names;
        for (const Entry &v : *sync)
            names << v.name;
        QCOMPARE(names, (QStringList{QStringLiteral("Enabled"), QStringLiteral("IntervalMinutes"),
                                     QStringLiteral("LastUsn")}));
        QCOMPARE(sync->at(2).value.toByteArray().size(), 8);
        const auto pending = EnumValues(HKEY_LOCAL_MACHINE,
                                        QStringLiteral("SOFTWARE\\Brisvane\\Orvex\\Telephony\\Pending Changes"));
        QVERIFY(pending && pending->size() == 1 && pending->first().name.isEmpty());
        const auto setup = EnumValues(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Brisvane\\Orvex\\Setup"));
        QVERIFY(setup);
        QSet<int> kinds;
        for (const Entry &v : *setup)
            kinds.insert(v.type);
        QVERIFY(kinds.contains(REG_DWORD) && kinds.contains(REG_MULTI_SZ) && kinds.contains(REG_EXPAND_SZ)
                && kinds.contains(REG_BINARY));

        // The description shipped beside the program is the one for this tree.
        const QByteArray shipped = readAll(QStringLiteral(KORVA_SOURCE_DIR "/data/OrvexRegistrySettings.xml"));
        QVERIFY2(shipped == demo::registrySettingsXml(), "data/OrvexRegistrySettings.xml is out of date; regenerate it "
                                                         "with korva-demo --write-registry-description");
        pugi::xml_document doc;
        const QByteArray lowered = shipped.toLower();
        QVERIFY(doc.load_buffer(lowered.constData(), size_t(lowered.size())));
        QVERIFY(doc.select_node(
            "regkeys/regkey[@name='software']/regkey[@name='brisvane']/regkey[@name='orvex']/regkey[@name='services']"
            "/regkey[@name='conversation manager']/regval[@name='maxsessions']"));
        int described = 0, values = 0;
        for (const demo::RegKeyDef &k : demo::settingsTree())
            for (const demo::RegValueDef &v : k.values) {
                ++values;
                described += v.description.isEmpty() ? 0 : 1;
            }
        QVERIFY(described > values * 3 / 4 && described < values);
        QCOMPARE(int(doc.select_nodes("//regval").size()), described);
    }

    void registryMergeKeepsOtherKeys_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("gone");
        QTest::newRow("no-file-yet") << QByteArray() << QStringList() << QStringList();
        QTest::newRow("other-vendor-and-saved-queries")
            << QByteArray(
                   "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other Vendor\\Tool]\r\n"
                   "\"Path\"=\"C:\\\\Tool\"\r\n\"Data\"=hex:01,02,\\\r\n  03\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Fennick\\Diagnostic Tools\\Talmu\\Queries]\r\n"
                   "\"20060512093000\"=\"select * from tbl_User\"\r\n")
            << QStringList{QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other Vendor\\Tool]"),
                           QStringLiteral("\"Data\"=hex:01,02,\\\n  03"),
                           QStringLiteral("\"20060512093000\"=\"select * from tbl_User\"")}
            << QStringList();
        QTest::newRow("multi-line-saved-query")
            << QByteArray("Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Fennick\\Diagnostic Tools\\Talmu\\Queries]\n"
                          "\"20060512093000\"=\"select *\r\n[not a key]\r\nfrom \\\"t\\\" where a = "
                          "'\\'\"\n\"Next\"=dword:00000002\n")
            << QStringList{QStringLiteral("\"20060512093000\"=\"select *\n[not a key]\nfrom \\\"t\\\" where a = "
                                          "'\\'\"\n\"Next\"=dword:00000002")}
            << QStringList();
        QTest::newRow("earlier-product-keys-replaced")
            << QByteArray("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zandel "
                          "Systems\\Zandel Orvex]\n"
                          "\"InstalledFolderPath\"=\"C:\\\\Old\"\n\n[HKEY_LOCAL_"
                          "MACHINE\\SOFTWARE\\brisvane\\Orvex\\Retired Key]\n\"X\"=dword:00000001\n")
            << QStringList() << QStringList{QStringLiteral("C:\\\\Old"), QStringLiteral("Retired Key")};
    }
    void registryMergeKeepsOtherKeys()
    {
        QFETCH(QByteArray, existing);
        QFETCH(QStringList, kept);
        QFETCH(QStringList, gone);
        QByteArray merged;
        QString error;
        QVERIFY(demo::mergeRegistryExport(existing, QStringLiteral("/opt/x \"y\"\\install"), &merged, &error));
        const QString text = QString::fromUtf8(merged);
        QVERIFY(text.startsWith(QStringLiteral("Windows Registry Editor Version 5.00\n\n")));
        QVERIFY(text.contains(QStringLiteral("\"InstalledFolderPath\"=\"/opt/x \\\"y\\\"\\\\install\"")));
        QCOMPARE(text.count(QStringLiteral("\"InstalledFolderPath\"")), 1);
        QCOMPARE(text.count(QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zandel Systems]\n")), 1);
        for (const QString &k : kept)
            QVERIFY2(text.contains(k), qPrintable(k));
        for (const QString &g : gone)
            QVERIFY2(!text.contains(g), qPrintable(g));
        // Merging twice gives the same text.
        QByteArray again;
        QVERIFY(demo::mergeRegistryExport(merged, QStringLiteral("/opt/x \"y\"\\install"), &again, &error));
        QCOMPARE(again, merged);
    }

    void unreadableRegistryStopsTheBuild()
    {
        const QString file = qEnvironmentVariable("KORVA_HKLM");
        const QByteArray before = readAll(file);
        const QByteArray garbage = "this is not\na registry export\n";
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        const QString folder = env->filePath(QStringLiteral("never"));
        QVERIFY(build(folder, 3, 10).contains(QStringLiteral("not a registry export")));
        QCOMPARE(readAll(file), garbage);
        QVERIFY(!QFileInfo::exists(folder));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }

    void rebuildReplacesOnlyDemoFolders()
    {
        QCOMPARE(build(second, 5, 20), QString());
        QCOMPARE(scalar(second + QStringLiteral("/data/OrvexDirDB.sqlite"),
                        QStringLiteral("SELECT COUNT(*) FROM tbl_UserSubscriber"))
                     .toInt(),
                 5);
        const QStringList leftovers = QDir(env->path()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(leftovers.filter(QStringLiteral(".building")) + leftovers.filter(QStringLiteral(".old")),
                 QStringList());

        const QString foreign = env->filePath(QStringLiteral("documents"));
        QVERIFY(QDir().mkpath(foreign));
        {
            QFile f(foreign + QStringLiteral("/letter.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        QVERIFY(build(foreign, 5, 20).contains(QStringLiteral("holds no demo installation")));
        QCOMPARE(readAll(foreign + QStringLiteral("/letter.txt")), QByteArray("keep me"));
    }

    void dictionariesDoNotDependOnTheSize()
    {
        // The dictionaries are product files: only the rows change with the options.
        const QString empty = env->filePath(QStringLiteral("empty"));
        QCOMPARE(build(empty, 0, 0), QString());
        for (const char *f :
             {"OrvexDirDB.xml", "OrvexDynDB.xml", "OrvexMbxDB.xml", "OrvexRptDB.xml", "OrvexConfigurationData.xml"}) {
            const QString rel = QStringLiteral("/install/ConfigurationModules/DatabaseScripts/")
                                + QString::fromLatin1(f);
            QVERIFY2(readAll(root + rel) == readAll(empty + rel), f);
        }
        const QString dirDb = empty + QStringLiteral("/data/OrvexDirDB.sqlite");
        QCOMPARE(scalar(dirDb, QStringLiteral("SELECT COUNT(*) FROM tbl_UserSubscriber")).toInt(), 0);
        QVERIFY(scalar(dirDb, QStringLiteral("SELECT COUNT(*) FROM vw_Callhandler")).toInt() >= 8);
        QCOMPARE(scalar(empty + QStringLiteral("/data/OrvexRptDB.sqlite"),
                        QStringLiteral("SELECT COUNT(*) FROM tbl_ReportCallHistory"))
                     .toInt(),
                 0);
    }

    void toolBuildsFromTheCommandLine()
    {
        // As the README runs it: the default folder, with the user's own folders
        // and registry file redirected into the test's.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env->filePath(QStringLiteral("toolconfig")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), env->filePath(QStringLiteral("tooldata")));
        environment.insert(QStringLiteral("KORVA_HKLM"), env->filePath(QStringLiteral("tool.reg")));
        auto run = [&](const QStringList &args, QString *out) {
            QProcess tool;
            tool.setProcessEnvironment(environment);
            tool.start(QStringLiteral(KORVA_DEMO_TOOL), args);
            if (!tool.waitForFinished(120000))
                return -1;
            *out = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
            return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
        };
        QString out;
        QCOMPARE(run({QStringLiteral("--subscribers"), QStringLiteral("4"), QStringLiteral("--report-rows"),
                      QStringLiteral("9"), QStringLiteral("--instance"), QStringLiteral("second")},
                     &out),
                 0);
        const QString made = env->filePath(QStringLiteral("tooldata/KORVA/demo"));
        QVERIFY2(out.contains(made) && out.contains(QStringLiteral("data/OrvexDirDB.sqlite"))
                     && out.contains(QStringLiteral("tool.reg")),
                 qPrintable(out));
        QCOMPARE(scalar(made + QStringLiteral("/data/OrvexRptDB.sqlite"),
                        QStringLiteral("SELECT COUNT(*) FROM tbl_ReportCallHistory"))
                     .toInt(),
                 9);
        QVERIFY(readAll(env->filePath(QStringLiteral("tool.reg")))
                    .contains(QByteArray(QByteArray("\"InstalledFolderPath\"=\"") + made.toUtf8() + "/install\"")));
        QVERIFY(readAll(env->filePath(QStringLiteral("toolconfig/KORVA/KORVA.ini"))).contains("second\\DataFolder="));
        QCOMPARE(run({QStringLiteral("--subscribers"), QStringLiteral("many")}, &out), 2);
        QVERIFY(out.contains(QStringLiteral("--subscribers")));
    }
};

QTEST_GUILESS_MAIN(tst_Demo)
#include "tst_demo.moc"
