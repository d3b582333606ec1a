#include "common/testsupport.h"
#include "navigation/findallmatches.h"
#include "navigation/jumphistory.h"
#include "navigation/objectdescription.h"
#include "navigation/navigationcontroller.h"
#include "navigation/objectsearch.h"
#include "navigation/references.h"
#include "navigation/tableviewmap.h"
#include "platform/database.h"
#include "platform/serverdirectory.h"
#include "platform/workstationinfo.h"

#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QtTest>

#include <sqlite3.h>

using namespace korva;
using namespace korva::navigation;

Q_DECLARE_METATYPE(korva::navigation::ListingSwitch)
Q_DECLARE_METATYPE(korva::navigation::ReferenceRules)

namespace {

// As the main window loads it: already lower-cased.
const char kDictionary[] = R"(<orvexdatadictionary>
  <tables>
    <table name="tbl_user">
      <links>
        <link objectid="cosobjectid"><linkdata table="tbl_cos"/></link>
        <link objectid="callhandlerobjectid"><linkdata table="tbl_handler"/></link>
        <link objectid="greetingobjectid"><linkdata table="tbl_greeting"/></link>
        <link objectid="objid"><linkdata table="tbl_short"/></link>
        <link objectid="ownername"><linkdata table="tbl_owner"/></link>
      </links>
    </table>
    <table name="tbl_distributionlist">
      <links><link objectid="admin_userobjectid"><linkdata table="tbl_usertemplate"/></link></links>
    </table>
    <table name="vw_both">
      <links><link objectid="homeobjectid"><linkdata table="tbl_wrong"/></link></links>
    </table>
    <table name="vw_plain">
      <links><link objectid="locationobjectid"><linkdata table="tbl_location"/></link></links>
    </table>
  </tables>
  <views>
    <view name="vw_subscriber">
      <columns>
        <column name="subscribercosobjectid" tablecolumnref="tbl_user.cosobjectid"/>
        <column name="leadingdotobjectid" tablecolumnref=".cosobjectid"/>
        <column name="emptyrefobjectid" tablecolumnref=""/>
      </columns>
    </view>
    <view name="vw_both">
      <columns><column name="homeobjectid" tablecolumnref="tbl_user.cosobjectid"/></columns>
    </view>
    <view name="vw_plain">
      <columns><column name="locationobjectid"/></columns>
    </view>
  </views>
</orvexdatadictionary>)";

void exec(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK);
    char *msg = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK)
        qWarning() << msg;
    sqlite3_free(msg);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

// Tables of an ObjectID and a display name: one row named, one row null.
struct NamedTable
{
    const char *table;
    const char *idPrefix;
};
const NamedTable kNamedTables[] = {
    {"vw_COS", "cos"},
    {"tbl_CredentialPolicy", "cp"},
    {"vw_DirectoryHandler", "dh"},
    {"vw_InterviewHandler", "ih"},
    {"tbl_Location", "loc"},
    {"tbl_MediaPortGroup", "mpg"},
    {"tbl_MediaSwitch", "msw"},
    {"tbl_MediaSwitchManufacturer", "msm"},
    {"tbl_MediaSwitchModel", "msmo"},
    {"vw_RestrictionTable", "rt"},
    {"tbl_NotificationDevice", "nd"},
    {"tbl_NotificationMWI", "mwi"},
    {"tbl_NotificationRule", "nr"},
    {"tbl_PersonalContact", "pc"},
    {"tbl_Schedule", "sch"},
    {"tbl_ScheduleSet", "ss"},
    {"VW_MediaPort", "mp"},
    {"vw_Handler", "h"},
};

const char kDirectory[] = R"(
CREATE TABLE tbl_CallAction(ObjectID TEXT COLLATE NOCASE, Action INTEGER, TargetConversation TEXT COLLATE NOCASE);
INSERT INTO tbl_CallAction VALUES('ca-1',2,NULL),('ca-2',-3,'PHTransfer'),('ca-3',NULL,'AD'),('ca-4',0,'x');
CREATE TABLE tbl_DistributionList(ObjectID TEXT COLLATE NOCASE, Alias TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO tbl_DistributionList VALUES('dl-1','sales','Sales Team'),('dl-2',NULL,'No Alias'),('dl-3','noname',NULL),
  ('dl''q','quoted','Quote List');
CREATE VIEW vw_DistributionList AS SELECT * FROM tbl_DistributionList;
CREATE TABLE tbl_FolderInfo(FolderInfoObjectID TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE);
INSERT INTO tbl_FolderInfo VALUES('fi-1','Inbox');
CREATE TABLE tbl_MailboxStoreMap(ObjectID TEXT COLLATE NOCASE, Alias TEXT COLLATE NOCASE);
INSERT INTO tbl_MailboxStoreMap VALUES('msm-store','store1');
CREATE TABLE tbl_Message(MessageObjectID TEXT COLLATE NOCASE, Subject TEXT COLLATE NOCASE, Sender TEXT COLLATE NOCASE);
INSERT INTO tbl_Message VALUES('m-1','Hello','jsmith');
CREATE TABLE tbl_PhoneNumber(ObjectID TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE,
  PhoneNumber TEXT COLLATE NOCASE);
INSERT INTO tbl_PhoneNumber VALUES('pn-1','Home','555-0100');
CREATE TABLE tbl_Privilege(ObjectID TEXT COLLATE NOCASE, PrivilegeName TEXT COLLATE NOCASE);
INSERT INTO tbl_Privilege VALUES('pv-1','Admin');
CREATE TABLE tbl_Quota(QuotaObjectID TEXT COLLATE NOCASE, Receive INTEGER, Send INTEGER);
INSERT INTO tbl_Quota VALUES('q-1',10,0),('q-2',-1,NULL);
CREATE TABLE tbl_Role(ObjectID TEXT COLLATE NOCASE, RoleName TEXT COLLATE NOCASE, RoleDescription TEXT COLLATE NOCASE);
INSERT INTO tbl_Role VALUES('r-1','Operator','Runs the system');
CREATE TABLE vw_RoutingRule(RoutingRuleObjectID TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO vw_RoutingRule VALUES('rr-1','Default rule');
CREATE TABLE tbl_StreamFile(ObjectID TEXT COLLATE NOCASE, FileName TEXT COLLATE NOCASE);
INSERT INTO tbl_StreamFile VALUES('sf-1','greeting.wav');
CREATE TABLE tbl_User(ObjectID TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO tbl_User VALUES('u-1','John Smith'),('u-2',NULL),('u-3','No Alias User');
CREATE TABLE tbl_Alias(Alias TEXT COLLATE NOCASE, Object_UserObjectID TEXT COLLATE NOCASE,
  Object_DistributionListObjectID TEXT COLLATE NOCASE);
INSERT INTO tbl_Alias VALUES('jsmith','u-1',NULL),('ghost','u-2',NULL);
CREATE VIEW vw_User AS SELECT u.ObjectID AS ObjectID, a.Alias AS Alias, u.DisplayName AS DisplayName
  FROM tbl_User u LEFT JOIN tbl_Alias a ON a.Object_UserObjectID = u.ObjectID;
CREATE TABLE vw_Subscriber(ObjectID TEXT COLLATE NOCASE, Alias TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO vw_Subscriber VALUES('s-1','mjones','Mary Jones'),('s-2',NULL,'Nobody');
CREATE TABLE VW_UserTemplate(ObjectID TEXT COLLATE NOCASE, Alias TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO VW_UserTemplate VALUES('ut-1','tmpl','Default Template');
CREATE TABLE VW_WaveFormat(ObjectID TEXT COLLATE NOCASE, FormatName TEXT COLLATE NOCASE);
INSERT INTO VW_WaveFormat VALUES('wf-1','G.711');
CREATE TABLE VW_VMSServer(ObjectID TEXT COLLATE NOCASE, ServerName TEXT COLLATE NOCASE, IPAddress TEXT COLLATE NOCASE);
INSERT INTO VW_VMSServer VALUES('vs-1','VM1','10.0.0.5');
CREATE TABLE VW_VMSRole(ObjectID TEXT COLLATE NOCASE, RoleName TEXT COLLATE NOCASE);
INSERT INTO VW_VMSRole VALUES('vr-1','Primary');
CREATE TABLE VW_VMSTemplate(ObjectID TEXT COLLATE NOCASE, TemplateName TEXT COLLATE NOCASE);
INSERT INTO VW_VMSTemplate VALUES('vt-1','Standard');
CREATE TABLE VW_TaskPeriodic(ObjectID TEXT COLLATE NOCASE, ClassName TEXT COLLATE NOCASE);
INSERT INTO VW_TaskPeriodic VALUES('tp-1','Cleanup');
CREATE TABLE vw_CallHandler(ObjectID TEXT COLLATE NOCASE, Recipient_DistributionListObjectID TEXT COLLATE NOCASE,
  Recipient_SubscriberObjectID TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO vw_CallHandler VALUES('ch-dl','dl-1',NULL,'Sales Line'),('ch-sub',NULL,'s-1','Mary Line'),
  ('ch-both','dl-1','s-1','Both'),('ch-none',NULL,NULL,NULL),('ch-ownernull','dl-3',NULL,'Quiet'),
  ('ch-dangling','dl-missing',NULL,'Lost'),('ch-quote','dl''q',NULL,'Quoted owner');
CREATE TABLE vw_DistributionListMembers(ObjectID TEXT COLLATE NOCASE, Member_DistributionListObjectID TEXT COLLATE NOCASE,
  Member_UserObjectID TEXT COLLATE NOCASE);
INSERT INTO vw_DistributionListMembers VALUES('dm-dl','dl-1',NULL),('dm-user',NULL,'u-1'),('dm-both','dl-1','u-1'),
  ('dm-none',NULL,NULL),('dm-lostdl','dl-x',NULL),('dm-lostuser',NULL,'u-x'),('dm-noalias','dl-2',NULL),
  ('dm-noname','dl-3',NULL),('dm-ghost',NULL,'u-2');
CREATE TABLE vw_DTMFAccessID(ObjectID TEXT COLLATE NOCASE, Parent_DistributionListObjectID TEXT COLLATE NOCASE,
  Parent_HandlerObjectID TEXT COLLATE NOCASE, Parent_LocationObjectID TEXT COLLATE NOCASE,
  Parent_SubscriberObjectID TEXT COLLATE NOCASE);
INSERT INTO vw_DTMFAccessID VALUES('x-dl','dl-1',NULL,NULL,NULL),('x-h',NULL,'h-1',NULL,NULL),
  ('x-loc',NULL,NULL,'loc-1',NULL),('x-sub',NULL,NULL,NULL,'s-1'),('x-none',NULL,NULL,NULL,NULL),
  ('x-first','dl-1','h-1',NULL,'s-1'),('x-lostloc',NULL,NULL,'loc-x',NULL),('x-hnull',NULL,'h-null',NULL,NULL),
  ('x-subnoalias',NULL,NULL,NULL,'s-2');
CREATE TABLE vw_Greeting(CallHandlerObjectID TEXT COLLATE NOCASE, GreetingType TEXT COLLATE NOCASE,
  AfterGreeting_Action INTEGER, AfterGreeting_TargetConversation TEXT COLLATE NOCASE);
INSERT INTO vw_Greeting VALUES('ch-dl','0',1,NULL),('ch-dl','1',-1,'PHGreeting'),('ch-dl','2',NULL,'x'),
  ('ch-q','it''s',4,'q');
)";

// A second database whose own objects differ, for failures the server reports.
const char kDynamic[] = R"(
CREATE TABLE tbl_FolderInfo(Name TEXT COLLATE NOCASE);
CREATE TABLE vw_DTMFAccessID(ObjectID TEXT COLLATE NOCASE, Parent_SubscriberObjectID TEXT COLLATE NOCASE);
INSERT INTO vw_DTMFAccessID VALUES('x-sub','s-9');
CREATE TABLE vw_Subscriber(ObjectID TEXT COLLATE NOCASE, Alias TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);
INSERT INTO vw_Subscriber VALUES('s-9','dyn','Dyn Sub');
)";

// Tables for Find Object ID.
const char kMailbox[] = R"(
CREATE TABLE tbl_A(ObjectID TEXT COLLATE NOCASE, Name TEXT);
INSERT INTO tbl_A VALUES('11111111-2222-3333-4444-555555555555','a'),('aaaaaaaa-0000-0000-0000-000000000001','only a');
CREATE TABLE tbl_Dup(ObjectID TEXT COLLATE NOCASE);
INSERT INTO tbl_Dup VALUES('dddddddd-0000-0000-0000-000000000002'),('dddddddd-0000-0000-0000-000000000002');
CREATE TABLE tbl_B(ObjectID TEXT COLLATE NOCASE);
INSERT INTO tbl_B VALUES('11111111-2222-3333-4444-555555555555');
CREATE TABLE vw_UserMailboxMap(ObjectID TEXT COLLATE NOCASE);
INSERT INTO vw_UserMailboxMap VALUES('eeeeeeee-0000-0000-0000-000000000003');
CREATE TABLE tbl_NoKey(Name TEXT);
INSERT INTO tbl_NoKey VALUES('x');
CREATE TABLE tbl_Single(ObjectID TEXT COLLATE NOCASE);
INSERT INTO tbl_Single VALUES('ffffffff-0000-0000-0000-000000000004');
)";

// The main window's table list and data grid as the cross-table search sees them.
class FakeGrid : public SearchGridSource
{
public:
    QList<QList<QStringList>> tables; // table-list rows 1..n: header row, then data rows
    QList<QStringList> current;
    QList<int> selected;
    mutable int outOfRangeReads = 0;
    bool stop = false;

    int tableListRows() const override { return int(tables.size()) + 1; }
    QString tableName(int row) const override { return QStringLiteral("T%1").arg(row); }
    bool cancelled() const override { return stop; }
    void selectTable(int row) override
    {
        selected << row;
        current = tables.at(row - 1);
    }
    int rows() const override { return int(current.size()); }
    int cols() const override { return current.isEmpty() ? 0 : int(current.first().size()); }
    QString text(int row, int col) const override
    {
        if (row < 0 || row >= rows() || col < 0 || col >= current.at(row).size()) {
            ++outOfRangeReads;
            return {};
        }
        return current.at(row).at(col);
    }
};

FakeGrid searchFixture()
{
    FakeGrid g;
    g.tables = {
        {{"ObjectID", "Name", "Note"}, {"1", "alpha", "x"}, {"2", "Alphabet", "alpha"}},
        {{"Alpha"}},
        {{"Name"}, {"ALPHA"}},
        {{"A", "B"}, {"zeta", "beta"}},
    };
    return g;
}

QString outcomes(CrossTableSearch &search, FakeGrid &grid, const QString &text, bool exact)
{
    QStringList seen;
    SearchOutcome o = search.start(grid, text, exact);
    while (o.kind == SearchOutcome::Kind::Match) {
        seen << QStringLiteral("%1,%2,%3").arg(o.table).arg(o.row).arg(o.col);
        o = search.resume(grid);
    }
    seen << (o.kind == SearchOutcome::Kind::Idle ? QStringLiteral("idle")
             : o.anyMatches                      ? QStringLiteral("no more")
                                                 : QStringLiteral("none"));
    return seen.join(u' ');
}

// Every match listed at once, in the walk's terms: table,row,col each.
QString listed(FakeGrid &grid, const QString &text, bool exact, AllMatchesOutcome *outcome = nullptr,
               QStringList *reports = nullptr)
{
    QStringList seen;
    const AllMatchesOutcome o = findAllMatches(grid, text, exact, 1000, [&](AllMatchesProgress p) {
        if (reports)
            *reports << QStringLiteral("%1:%2").arg(p.tablesDone).arg(p.table);
        for (const CellMatch &m : p.matches)
            seen << QStringLiteral("%1,%2,%3").arg(m.table.mid(1)).arg(m.row).arg(m.col);
    });
    if (outcome)
        *outcome = o;
    return seen.join(u' ');
}

} // namespace

class tst_Navigation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;
    xml::Document dictionary;

    static QString conn(const QString &db)
    {
        return QStringLiteral("Driver={SQL Server};server=%1\\zandelorvex;database=%2")
            .arg(WorkStationInfo::instance().ComputerName(), db);
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<test::IsolatedEnvironment>();
        const QString folder = env->filePath(QStringLiteral("data"));
        QDir().mkpath(folder);
        QString named;
        for (const NamedTable &t : kNamedTables)
            named += QStringLiteral("CREATE TABLE %1(ObjectID TEXT COLLATE NOCASE, DisplayName TEXT COLLATE NOCASE);"
                                    "INSERT INTO %1 VALUES('%2-1','Name of %2'),('%2-null',NULL);")
                         .arg(QLatin1String(t.table), QLatin1String(t.idPrefix));
        exec(folder + QStringLiteral("/OrvexDirDB.sqlite"), named + QLatin1String(kDirectory));
        exec(folder + QStringLiteral("/OrvexDynDB.sqlite"), QLatin1String(kDynamic));
        exec(folder + QStringLiteral("/OrvexMbxDB1.sqlite"), QLatin1String(kMailbox));
        db::registerEmbeddedServer(WorkStationInfo::instance().ComputerName(), QStringLiteral("zandelorvex"), folder);
        db::resetConnectionPool();
        QVERIFY(dictionary.loadFromText(QString::fromUtf8(kDictionary)));
    }

    void cleanupTestCase()
    {
        db::resetConnectionPool();
        env.reset();
    }

    // ---- table-to-view map ------------------------------------------------

    void viewForTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("view"); // empty: none
        QTest::newRow("plain-first") << "tbl_Agency"
                                     << "vw_Agency";
        QTest::newRow("plain-mixed-case-kept") << "tbl_DtmfAccessId"
                                               << "vw_DtmfAccessId";
        QTest::newRow("plain-last") << "tbl_WaveFormat"
                                    << "vw_WaveFormat";
        QTest::newRow("respelled-callhandler") << "tbl_CallHandler"
                                               << "vw_Callhandler";
        QTest::newRow("respelled-interviewquestion") << "tbl_InterviewQuestion"
                                                     << "vw_InterviewHandlerQuestion";
        QTest::newRow("respelled-mailboxmap") << "tbl_MailboxMap"
                                              << "vw_Mailbox";
        QTest::newRow("respelled-usersubscriber") << "tbl_UserSubscriber"
                                                  << "vw_Subscriber";
        QTest::newRow("listed-without-view-location") << "tbl_Location"
                                                      << "";
        QTest::newRow("listed-without-view-alias") << "tbl_Alias"
                                                   << "";
        QTest::newRow("listed-without-view-last") << "tbl_UserCredentialHistory"
                                                  << "";
        QTest::newRow("unknown") << "tbl_Nonexistent"
                                 << "";
        QTest::newRow("case-differs") << "tbl_callhandler"
                                      << "";
        QTest::newRow("view-name") << "vw_User"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void viewForTable()
    {
        QFETCH(QString, table);
        QFETCH(QString, view);
        QCOMPARE(navigation::viewForTable(table).value_or(QString()), view);
    }

    void mapTableToView_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("useTables");
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<ListingSwitch>("change");
        QTest::newRow("views-mode-respelled")
            << "tbl_UserSubscriber" << false << "vw_Subscriber" << ListingSwitch::None;
        QTest::newRow("views-mode-no-view") << "tbl_Location" << false << "tbl_Location" << ListingSwitch::ToTables;
        QTest::newRow("views-mode-lower-case-link")
            << "tbl_callhandler" << false << "tbl_callhandler" << ListingSwitch::ToTables;
        QTest::newRow("views-mode-view-target") << "vw_Subscriber" << false << "vw_Subscriber" << ListingSwitch::None;
        QTest::newRow("tables-mode-table") << "tbl_User" << true << "tbl_User" << ListingSwitch::None;
        QTest::newRow("tables-mode-view-target")
            << "vw_Subscriber" << true << "vw_Subscriber" << ListingSwitch::ToViews;
        QTest::newRow("tables-mode-upper-case-view") << "VW_User" << true << "VW_User" << ListingSwitch::ToViews;
    }
    void mapTableToView()
    {
        QFETCH(QString, name);
        QFETCH(bool, useTables);
        const MappedName m = strMapTableToView(name, useTables);
        QTEST(m.name, "mapped");
        QTEST(m.change, "change");
    }

    // ---- references -------------------------------------------------------

    void fetchReferenceTableAndColumn_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("viewAfter");
        QTest::addColumn<QString>("columnAfter");
        QTest::newRow("traced-names-compared-lower") << "VW_Subscriber"
                                                     << "SubscriberCosObjectID" << true << "tbl_user"
                                                     << "cosobjectid";
        QTest::newRow("unknown-view") << "vw_Nothing"
                                      << "CosObjectID" << false << "vw_Nothing"
                                      << "CosObjectID";
        QTest::newRow("column-without-ref") << "vw_Plain"
                                            << "LocationObjectID" << false << "vw_Plain"
                                            << "LocationObjectID";
        QTest::newRow("empty-ref") << "vw_Subscriber"
                                   << "EmptyRefObjectID" << false << "vw_Subscriber"
                                   << "EmptyRefObjectID";
        QTest::newRow("dot-at-start") << "vw_Subscriber"
                                      << "LeadingDotObjectID" << false << "vw_Subscriber"
                                      << "LeadingDotObjectID";
    }
    void fetchReferenceTableAndColumn()
    {
        QFETCH(QString, view);
        QFETCH(QString, column);
        QTEST(bFetchReferenceTableAndColumn(dictionary, view, column), "found");
        QTEST(view, "viewAfter");
        QTEST(column, "columnAfter");
    }

    void referencedTableForCell_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("column");
        QTest::addColumn<ReferenceRules>("rules");
        QTest::addColumn<QString>("referenced");
        const auto main = ReferenceRules::MainWindow;
        const auto objectView = ReferenceRules::ObjectView;
        QTest::newRow("table-link") << "tbl_User"
                                    << "CosObjectID" << main << "tbl_cos";
        QTest::newRow("view-column-traced") << "vw_Subscriber"
                                            << "SubscriberCosObjectID" << main << "tbl_cos";
        QTest::newRow("view-traced-before-own-links") << "vw_Both"
                                                      << "HomeObjectID" << main << "tbl_cos";
        QTest::newRow("view-without-ref-uses-own-links") << "vw_Plain"
                                                         << "LocationObjectID" << main << "tbl_location";
        QTest::newRow("short-column-linked") << "tbl_User"
                                             << "ObjID" << main << "";
        QTest::newRow("column-without-objectid-linked") << "tbl_User"
                                                        << "OwnerName" << main << "";
        QTest::newRow("no-current-table") << ""
                                          << "CosObjectID" << main << "";
        QTest::newRow("admin-user-unlinked") << "tbl_Agency"
                                             << "admin_userobjectid" << main << "tbl_User";
        QTest::newRow("admin-user-linked") << "tbl_DistributionList"
                                           << "Admin_UserObjectID" << main << "tbl_usertemplate";
        QTest::newRow("admin-list-no-table")
            << ""
            << "ADMIN_DistributionListObjectID" << objectView << "tbl_DistributionList";
        QTest::newRow("callhandler-overrides-link") << "tbl_User"
                                                    << "CallHandlerObjectID" << main << "tbl_callhandler";
        QTest::newRow("callhandler-without-table") << ""
                                                   << "callhandlerobjectid" << main << "tbl_callhandler";
        QTest::newRow("callhandler-object-view-uses-link") << "tbl_User"
                                                           << "CallHandlerObjectID" << objectView << "tbl_handler";
        QTest::newRow("callhandler-object-view-unlinked") << "tbl_Agency"
                                                          << "CallHandlerObjectID" << objectView << "";
        QTest::newRow("quote-cannot-widen-lookup") << "tbl_User"
                                                   << "xObjectID' or @objectid!='" << main << "";
        QTest::newRow("quote-in-table-name") << "tbl_it's"
                                             << "CosObjectID" << main << "";
    }
    void referencedTableForCell()
    {
        QFETCH(QString, listed);
        QFETCH(QString, column);
        QFETCH(ReferenceRules, rules);
        QTEST(navigation::referencedTableForCell(dictionary, listed, column, rules), "referenced");
    }

    void hoverTargetJoinsGreetingType_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("greetingType");
        QTest::addColumn<ReferenceRules>("rules");
        QTest::addColumn<QString>("referenced");
        QTest::addColumn<QString>("objectId");
        const auto main = ReferenceRules::MainWindow;
        QTest::newRow("greeting-with-type") << "GreetingObjectID"
                                            << "ch-1"
                                            << "2" << main << "tbl_greeting"
                                            << "ch-1:2";
        QTest::newRow("greeting-without-type") << "GreetingObjectID"
                                               << "ch-1"
                                               << "" << main << "tbl_greeting"
                                               << "ch-1";
        QTest::newRow("greeting-empty-cell") << "GreetingObjectID"
                                             << ""
                                             << "2" << main << "tbl_greeting"
                                             << "";
        QTest::newRow("greeting-object-view") << "GreetingObjectID"
                                              << "ch-1"
                                              << "2" << ReferenceRules::ObjectView << "tbl_greeting"
                                              << "ch-1";
        QTest::newRow("other-table-ignores-type") << "CosObjectID"
                                                  << "cos-1"
                                                  << "2" << main << "tbl_cos"
                                                  << "cos-1";
        QTest::newRow("no-reference") << "DisplayName"
                                      << "x"
                                      << "2" << main << ""
                                      << "";
    }
    void hoverTargetJoinsGreetingType()
    {
        QFETCH(QString, column);
        QFETCH(QString, cell);
        QFETCH(QString, greetingType);
        QFETCH(ReferenceRules, rules);
        const HoverTarget t = hoverTargetForCell(dictionary, QStringLiteral("tbl_User"), column, cell, greetingType,
                                                 rules);
        QTEST(t.referencedTable, "referenced");
        QTEST(t.objectId, "objectId");
    }

    // ---- jump history -----------------------------------------------------

    void historyKeepsTenMostRecentJumps()
    {
        JumpHistory h;
        QVERIFY(!h.canGoBack());
        QVERIFY(!h.back());
        for (int i = 1; i <= 11; ++i) {
            h.push(QStringLiteral("t%1").arg(i), QStringLiteral("id%1").arg(i));
            QVERIFY(h.canGoBack());
        }
        QCOMPARE(h.index(), qint16(10));
        for (int i = 11; i >= 2; --i) {
            const auto e = h.back();
            QVERIFY(e);
            QCOMPARE(e->table, QStringLiteral("t%1").arg(i));
            QCOMPARE(e->objectId, QStringLiteral("id%1").arg(i));
            QCOMPARE(h.canGoBack(), i > 2);
        }
        QVERIFY(!h.back());
        QCOMPARE(h.index(), qint16(0));
        QCOMPARE(h.slot(0).table, QStringLiteral("t1")); // pushed out by the overflow, never replayed
    }

    void historyPushAfterBackOverwritesWholeSlot()
    {
        JumpHistory h;
        h.push(QStringLiteral("tbl_A"), QStringLiteral("a-1"));
        h.push(QStringLiteral("tbl_B"), QStringLiteral("b-1"));
        QVERIFY(h.back());
        QVERIFY(h.back());
        h.push(QStringLiteral("tbl_NoKey"), QString());
        const auto e = h.back();
        QCOMPARE(e->table, QStringLiteral("tbl_NoKey"));
        QCOMPARE(e->objectId, QString());
        h.push(QStringLiteral("tbl_C"), QStringLiteral("c-1"));
        h.reset();
        QVERIFY(!h.canGoBack());
        QCOMPARE(h.index(), qint16(0));
    }

    // ---- descriptions -----------------------------------------------------

    void describe_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("objectIdAfter");
        QTest::addColumn<int>("unexpected"); // 0 none, -1 any number

        const QString dir = QStringLiteral("OrvexDirDB");
        auto row = [&](const char *name, const QString &table, const QString &id, const QString &expected,
                       const QString &idAfter = QString(), int unexpected = 0, const QString &db = QString()) {
            QTest::newRow(name) << (db.isEmpty() ? dir : db) << table << id << expected
                                << (idAfter.isNull() ? id : idAfter) << unexpected;
        };

        row("no-query-account-lockout", "tbl_AccountLockout", "x", "Account lockout policy");
        row("no-query-application", "vw_Application", "x", "Application: Not currently used.");
        row("callaction-null-target-default", "tbl_CallAction", "ca-1",
            "Call Action\r\nAction= 2\r\nTarget Conversation=(empty)");
        row("callaction-negative-number", "tbl_CallAction", "ca-2",
            "Call Action\r\nAction=-3\r\nTarget Conversation=PHTransfer");
        row("callaction-zero-number", "tbl_CallAction", "CA-4", "Call Action\r\nAction= 0\r\nTarget Conversation=x");
        row("callaction-null-number", "tbl_CallAction", "ca-3", "tbl_CallAction");
        row("callaction-not-found", "tbl_CallAction", "ca-9",
            "(error) could not find the call action for this ObjectID");
        row("cos", "tbl_Cos", "cos-1", "Class of Service\r\nDisplay Name=Name of cos");
        row("cos-null-no-default", "tbl_Cos", "cos-null", "tbl_Cos");
        row("cos-not-found", "tbl_Cos", "cos-9", "(error) could not find COS for this ObjectID");
        row("credentialpolicy-null-default", "tbl_CredentialPolicy", "cp-null",
            "Credential Policy\r\nDisplay name=(empty)");
        row("credentialpolicy-not-found", "tbl_CredentialPolicy", "cp-9",
            "(error) could not find the credential policy for this ObjectID");
        row("directoryhandler", "tbl_DirectoryHandler", "dh-1", "Directory Handler\r\nDisplay name=Name of dh");
        row("directoryhandler-null-default", "tbl_DirectoryHandler", "dh-null",
            "Directory Handler\r\nDisplay name=(empty)");
        row("distributionlist", "tbl_DistributionList", "dl-1",
            "Distribution List\r\nAlias=sales\r\nDisplay Name=Sales Team");
        row("distributionlist-null-alias", "tbl_DistributionList", "dl-2", "tbl_DistributionList");
        row("distributionlist-quoted-id", "tbl_DistributionList", "dl'q",
            "Distribution List\r\nAlias=quoted\r\nDisplay Name=Quote List");
        row("folderinfo", "tbl_FolderInfo", "fi-1", "Folder Info\r\nName=Inbox");
        row("folderinfo-not-found", "tbl_FolderInfo", "fi-2", "(error) could not find folder info for this ObjectID");
        row("interviewhandler", "tbl_InterviewHandler", "ih-1", "Interview handler\r\nDisplay Name=Name of ih");
        row("location", "tbl_Location", "loc-1", "Location\r\nDisplay Name=Name of loc");
        row("locationvms-same-query", "tbl_LocationVMS", "loc-1", "Location\r\nDisplay Name=Name of loc");
        row("location-not-found", "tbl_Location", "loc-9", "(error) could not find location for this ObjectID");
        row("mailboxstoremap", "tbl_MailboxStoreMap", "msm-store", "Mailbox store map\r\nAlias=store1");
        row("mediaportgroup", "tbl_MediaPortGroup", "mpg-1", "Media port group\r\nDisplay Name=Name of mpg");
        row("mediaportgroup-not-found", "tbl_MediaPortGroup", "mpg-9",
            "(error) could not find the media port group entry for this ObjectID");
        row("mediaswitch", "tbl_MediaSwitch", "msw-1", "Media switch\r\nDisplay Name=Name of msw");
        row("mediaswitchmanufacturer", "tbl_MediaSwitchManufacturer", "msm-1",
            "Media switch manufacturer\r\nDisplay Name=Name of msm");
        row("mediaswitchmodel", "tbl_MediaSwitchModel", "msmo-1", "Media switch model\r\nDisplay Name=Name of msmo");
        row("message", "tbl_Message", "m-1", "Message\r\nSubject=Hello\r\nSender=jsmith");
        row("message-not-found", "tbl_Message", "m-2", "(error) could not find tbl_Message entry for this ObjectID");
        row("restrictiontable", "tbl_RestrictionTable", "rt-1", "Restriction Table\r\nDisplay Name=Name of rt");
        row("notificationdevice", "tbl_NotificationDevice", "nd-1", "Notification device\r\nDisplay Name=Name of nd");
        row("notificationmwi", "tbl_NotificationMwi", "mwi-1", "Notification MWI\r\nDisplay Name=Name of mwi");
        row("notificationrule", "tbl_NotificationRule", "nr-1", "Notification rule\r\nDisplay Name=Name of nr");
        row("personalcontact", "tbl_PersonalContact", "pc-1", "Personal contact\r\nDisplay Name=Name of pc");
        row("phonenumber", "tbl_PhoneNumber", "pn-1", "Phone number\r\nDisplay Name=Home\r\nPhone number=555-0100");
        row("privilege", "tbl_Privilege", "pv-1", "Privilege\r\nName=Admin");
        row("quota-numbers", "tbl_Quota", "q-1", "Quota\r\nRecieve= 10\r\nSend= 0");
        row("quota-null-number", "tbl_Quota", "q-2", "tbl_Quota");
        row("role", "tbl_Role", "r-1", "Role\r\nName=Operator\r\nDescription=Runs the system");
        row("routingrule", "tbl_RoutingRule", "rr-1", "RoutingRule\r\nDisplay Name=Default rule");
        row("schedule", "tbl_Schedule", "sch-1", "Schedule\r\nDisplay Name=Name of sch");
        row("scheduleset-queries-own-table", "tbl_ScheduleSet", "ss-1", "Schedule\r\nDisplay Name=Name of ss");
        row("scheduleset-not-in-schedule", "tbl_Schedule", "ss-1", "(error) could not find schedule for this ObjectID");
        row("streamfile", "tbl_StreamFile", "sf-1", "Stream file\r\nFile Name=greeting.wav");
        row("streamfile-quote-cannot-widen", "tbl_StreamFile", "x' OR '1'='1",
            "(error) could not find Stream File for this ObjectID");
        row("usersubscriber", "tbl_UserSubscriber", "u-1", "Subscriber\r\nDisplay Name=John Smith\r\nAlias=jsmith");
        row("subscriber", "vw_Subscriber", "u-1", "Subscriber\r\nDisplay Name=John Smith\r\nAlias=jsmith");
        row("user", "tbl_User", "u-1", "User\r\nDisplay Name=John Smith\r\nAlias=jsmith");
        row("user-null-name", "tbl_user", "u-2", "tbl_user");
        row("user-without-alias", "tbl_User", "u-3", "(error) could not find user for this ObjectID");
        row("usertemplate", "tbl_UserTemplate", "ut-1", "User template\r\nAlias=tmpl\r\nDisplay Name=Default Template");
        row("waveformat", "tbl_WaveFormat", "wf-1", "Wave Format\r\nFormatName=G.711");
        row("vmsserver", "tbl_VMSServer", "vs-1", "VMS Server\r\nServer name=VM1\r\nIP=10.0.0.5");
        row("vmsrole", "tbl_VMSRole", "vr-1", "VMS Role\r\nName=Primary");
        row("vmstemplate", "tbl_VMSTemplate", "vt-1", "VMS Template\r\nName=Standard");
        row("mediaport", "tbl_MediaPort", "mp-1", "Media Port\r\nDisplay name=Name of mp");
        row("taskperiodic", "tbl_TaskPeriodic", "tp-1", "Task Periodic\r\nName=Cleanup");
        row("taskperiodic-not-found", "tbl_TaskPeriodic", "tp-2",
            "(error) could not find TaskPeriodic for this ObjectID");
        row("unknown-kind-gives-table", "tbl_Agency", "ag-1", "tbl_Agency");
        row("no-underscore", "Agency", "ag-1", "");
        row("empty-objectid", "tbl_Cos", "", "");

        row("callhandler-list-owner", "tbl_callhandler", "ch-dl",
            "Call Handler\r\nDisplay Name=Sales Line\r\nOwner distribution list display name=Sales Team");
        row("callhandler-subscriber-owner", "tbl_CallHandler", "ch-sub",
            "Call Handler\r\nDisplay Name=Mary Line\r\nOwner subscriber display name=Mary Jones");
        row("callhandler-list-owner-first", "tbl_CallHandler", "ch-both",
            "Call Handler\r\nDisplay Name=Both\r\nOwner distribution list display name=Sales Team");
        row("callhandler-no-owner-ends-crlf", "tbl_CallHandler", "ch-none", "Call Handler\r\nDisplay Name=\r\n");
        row("callhandler-owner-null-name", "tbl_CallHandler", "ch-ownernull", "Call Handler\r\nDisplay Name=Quiet\r\n");
        row("callhandler-owner-missing", "tbl_CallHandler", "ch-dangling", "Call Handler\r\nDisplay Name=Lost\r\n",
            QString(), db::kErrNoCurrentRecord);
        row("callhandler-quoted-owner", "tbl_CallHandler", "ch-quote",
            "Call Handler\r\nDisplay Name=Quoted owner\r\nOwner distribution list display name=Quote List");
        row("callhandler-only-handler", "tbl_callhandler", "h-1", "Handler\r\nDisplay Name=Name of h");
        row("handler-null-name", "vw_Handler", "h-null", "Handler\r\nDisplay Name=");
        row("callhandler-not-found", "tbl_CallHandler", "h-9", "(error) could not find call handler for this ObjectID");

        row("dlmember-list", "tbl_DistributionListMember", "dm-dl",
            "Distribution List Member\r\nDistribution list\r\nAlias=sales\r\nDisplay name=Sales Team");
        row("dlmember-user", "tbl_DistributionListMember", "dm-user",
            "Distribution list member\r\nUser\r\nAlias=jsmith\r\nDisplay name=John Smith");
        row("dlmember-list-first", "tbl_DistributionListMember", "dm-both",
            "Distribution List Member\r\nDistribution list\r\nAlias=sales\r\nDisplay name=Sales Team");
        row("dlmember-user-null-name", "tbl_DistributionListMember", "dm-ghost",
            "Distribution list member\r\nUser\r\nAlias=ghost\r\nDisplay name=(empty)");
        row("dlmember-list-null-name", "tbl_DistributionListMember", "dm-noname",
            "Distribution List Member\r\nDistribution list\r\nAlias=noname\r\nDisplay name=(empty)");
        row("dlmember-list-null-alias", "tbl_DistributionListMember", "dm-noalias", "tbl_DistributionListMember");
        row("dlmember-no-link", "tbl_DistributionListMember", "dm-none",
            "(error) Distribution list member contains no valid link to a user or a distribution list");
        row("dlmember-list-missing", "tbl_DistributionListMember", "dm-lostdl",
            "(error) the distribution list referenced by this distribution list member could not be found.");
        row("dlmember-user-missing", "tbl_DistributionListMember", "dm-lostuser",
            "(error) the user referenced by this distribution list member could not be found.");
        row("dlmember-not-found", "tbl_DistributionListMember", "dm-9",
            "(error) could not find the Distribution List Member for this ObjectID");

        row("dtmf-list", "tbl_DtmfAccessId", "x-dl", "Distribution list\r\nAlias=sales\r\nDisplay name=Sales Team");
        row("dtmf-handler", "tbl_DtmfAccessId", "x-h", "Call handler\r\nDisplay name=Name of h");
        row("dtmf-handler-null-name", "tbl_DtmfAccessId", "x-hnull", "Call handler\r\nDisplay name=(empty)");
        row("dtmf-location-blank-line", "vw_DTMFAccessID", "x-loc", "Location\r\n\r\nDisplay name=Name of loc");
        row("dtmf-subscriber", "tbl_DtmfAccessId", "x-sub", "User\r\nAlias=mjones\r\nDisplay name=Mary Jones");
        row("dtmf-subscriber-null-alias", "tbl_DtmfAccessId", "x-subnoalias", "tbl_DtmfAccessId");
        row("dtmf-first-parent-decides", "tbl_DtmfAccessId", "x-first",
            "Distribution list\r\nAlias=sales\r\nDisplay name=Sales Team");
        row("dtmf-location-missing", "tbl_DtmfAccessId", "x-lostloc",
            "(error) the location referenced by this DTMFAccessID entry could not be found.");
        row("dtmf-no-parent", "tbl_DtmfAccessId", "x-none", kDtmfWithoutParentLine);
        row("dtmf-not-found", "tbl_DtmfAccessId", "x-9",
            "(error) could not find the DTMFAccessID entry for this ObjectID");

        row("greeting-null-target", "tbl_Greeting", "ch-dl:0", "Greeting\r\nAction=1\r\nTarget conversation=", "ch-dl");
        row("greeting-negative-action", "tbl_Greeting", "ch-dl:1",
            "Greeting\r\nAction=-1\r\nTarget conversation=PHGreeting", "ch-dl");
        row("greeting-null-action", "tbl_Greeting", "ch-dl:2", "tbl_Greeting", "ch-dl");
        row("greeting-not-found", "tbl_Greeting", "ch-dl:9",
            "(error) could not find Greeting for this ObjectID and Greeting type pair", "ch-dl");
        row("greeting-without-type", "tbl_Greeting", "ch-dl", "tbl_Greeting", "ch-dl");
        row("greeting-first-colon-splits", "tbl_Greeting", "ch-dl:0:1",
            "(error) could not find Greeting for this ObjectID and Greeting type pair", "ch-dl");
        row("greeting-quoted-type", "tbl_Greeting", "ch-q:it's", "Greeting\r\nAction=4\r\nTarget conversation=q",
            "ch-q");

        const QString dyn = QStringLiteral("OrvexDynDB");
        row("rejected-query-gives-not-found", "tbl_FolderInfo", "fi-1",
            "(error) could not find folder info for this ObjectID", QString(), -1, dyn);
        row("missing-parent-columns-reported", "tbl_DtmfAccessId", "x-sub", "User\r\nAlias=dyn\r\nDisplay name=Dyn Sub",
            QString(), db::kErrFieldNotFound, dyn);
    }
    void describe()
    {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(QString, objectId);
        QFETCH(int, unexpected);
        ObjectDescriber describer(conn(database));
        Error error;
        QString pending = QStringLiteral("stale");
        QTEST(describer.strGetObjectIDData(table, objectId, &pending, &error), "expected");
        QTEST(objectId, "objectIdAfter");
        if (unexpected == -1)
            QVERIFY(error.isSet());
        else
            QCOMPARE(error.number, long(unexpected));
    }

    // Described many at once, each object gets what describing it alone
    // gives, and every object of a kind read by one query is answered; a
    // failure leaves it to be described alone.
    void describeManyAnswersAsAlone_data() { describe_data(); }
    void describeManyAnswersAsAlone()
    {
        QFETCH(QString, database);
        QFETCH(QString, table);
        QFETCH(QString, objectId);
        QFETCH(int, unexpected);
        ObjectDescriber describer(conn(database));
        // With an object that is there and one that is not beside it.
        const QStringList ids{QStringLiteral("zz-absent"), objectId, QStringLiteral("loc-1")};
        const QList<ObjectDescriber::Described> many = describer.describeMany(table, ids);
        const auto it = std::find_if(many.begin(), many.end(),
                                     [&](const ObjectDescriber::Described &d) { return d.askedId == objectId; });
        if (it == many.end()) {
            QVERIFY(!ObjectDescriber::describesManyAtOnce(table) || unexpected != 0);
            return;
        }
        QCOMPARE(unexpected, 0);
        QTEST(it->description, "expected");
        QTEST(it->objectId, "objectIdAfter");
        QString alone = objectId, pending;
        describer.strGetObjectIDData(table, alone, &pending);
        QCOMPARE(it->pendingJumpTable, pending);
        for (const ObjectDescriber::Described &d : many) {
            QString id = d.askedId;
            QCOMPARE(d.description, describer.strGetObjectIDData(table, id));
        }
    }

    // ObjectIDs the server might take for one another are not described together.
    void describeManyLeavesOutWhatItCannotBeSureOf()
    {
        ObjectDescriber describer(conn(QStringLiteral("OrvexDirDB")));
        QStringList answered;
        for (const auto &d : describer.describeMany(QStringLiteral("tbl_Location"),
                                                    {QStringLiteral("loc-1"), QStringLiteral("LOC-1"),
                                                     QStringLiteral("{loc-null}"), QStringLiteral("loc-null")}))
            answered << d.askedId;
        QCOMPARE(answered, QStringList());
    }

    void describeSetsPendingJumpTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QString>("pending");
        QTest::newRow("known-kind") << "tbl_Cos"
                                    << "cos-1"
                                    << "tbl_Cos";
        QTest::newRow("unknown-kind") << "tbl_Agency"
                                      << "x"
                                      << "tbl_Agency";
        QTest::newRow("not-found") << "tbl_Cos"
                                   << "cos-9"
                                   << "tbl_Cos";
        QTest::newRow("empty-objectid") << "tbl_Cos"
                                        << ""
                                        << "";
        QTest::newRow("no-underscore") << "Cos"
                                       << "cos-1"
                                       << "";
    }
    void describeSetsPendingJumpTable()
    {
        QFETCH(QString, table);
        QFETCH(QString, objectId);
        ObjectDescriber describer(conn(QStringLiteral("OrvexDirDB")));
        QString pending = QStringLiteral("stale");
        describer.strGetObjectIDData(table, objectId, &pending);
        QTEST(pending, "pending");
    }

    void unexpectedErrorMessage()
    {
        QCOMPARE(ObjectDescriber::unexpectedErrorMessage({3021, QStringLiteral("No current record")}),
                 QStringLiteral("(error):3021 (No current record) in procedure strGetObjectIDData of Form frmMain"));
    }

    // ---- Find Object ID ---------------------------------------------------

    void validatesObjectIdInput_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("valid");
        const QString guid = QStringLiteral("11111111-2222-3333-4444-555555555555");
        QTest::newRow("36-plain") << guid << true;
        QTest::newRow("37-one-brace") << u'{' + guid << true;
        QTest::newRow("38-braced") << u'{' + guid + u'}' << true;
        QTest::newRow("35-short") << guid.left(35) << false;
        QTest::newRow("39-long") << u'{' + guid + QStringLiteral("}x") << false;
        QTest::newRow("36-without-dash") << QString(36, u'a') << false;
        QTest::newRow("empty") << "" << false;
    }
    void validatesObjectIdInput()
    {
        QFETCH(QString, input);
        QTEST(isValidObjectIdInput(input), "valid");
    }

    void keyColumnForListedTable_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("key");
        QTest::newRow("view") << "vw_User"
                              << "ObjectID";
        QTest::newRow("mailbox-map-view") << "vw_UserMailboxMap"
                                          << "";
        QTest::newRow("mailbox-map-view-any-case") << "VW_usermailboxMAP"
                                                   << "";
        QTest::newRow("mailbox-map-table-queried") << "tbl_UserMailboxMap"
                                                   << "ObjectID";
    }
    void keyColumnForListedTable()
    {
        QFETCH(QString, listed);
        QTEST(navigation::keyColumnForListedTable(listed), "key");
    }

    void findObjectIdQueryEscapes()
    {
        QCOMPARE(findObjectIdQuery(QStringLiteral("tbl_User"), QStringLiteral("ObjectID"), QStringLiteral("a-1")),
                 QStringLiteral("Select * from [tbl_User] WHERE ObjectID='a-1'"));
        QCOMPARE(findObjectIdQuery(QStringLiteral("odd]name"), QStringLiteral("ObjectID"),
                                   QStringLiteral("x' OR '1'='1")),
                 QStringLiteral("Select * from [odd]]name] WHERE ObjectID='x'' OR ''1''=''1'"));
    }

    void findsObjectIdTable_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("table"); // empty: no match
        QTest::addColumn<QString>("objectId");
        QTest::newRow("lowest-listed-table-wins") << "11111111-2222-3333-4444-555555555555"
                                                  << "tbl_B"
                                                  << "11111111-2222-3333-4444-555555555555";
        QTest::newRow("unreadable-tables-skipped") << "AAAAAAAA-0000-0000-0000-000000000001"
                                                   << "tbl_A"
                                                   << "AAAAAAAA-0000-0000-0000-000000000001";
        QTest::newRow("braces-stripped") << "{aaaaaaaa-0000-0000-0000-000000000001}"
                                         << "tbl_A"
                                         << "aaaaaaaa-0000-0000-0000-000000000001";
        QTest::newRow("two-rows-do-not-count") << "dddddddd-0000-0000-0000-000000000002"
                                               << ""
                                               << "";
        QTest::newRow("mailbox-map-view-never-queried") << "eeeeeeee-0000-0000-0000-000000000003"
                                                        << ""
                                                        << "";
        QTest::newRow("quote-cannot-match-single-row") << "x' OR '1'='1' OR ObjectID='-"
                                                       << ""
                                                       << "";
    }
    void findsObjectIdTable()
    {
        QFETCH(QString, input);
        const QStringList listed = {QStringLiteral("tbl_A"),
                                    QStringLiteral("tbl_Single"),
                                    QStringLiteral("tbl_Dup"),
                                    QStringLiteral("tbl_B"),
                                    QStringLiteral("vw_UserMailboxMap"),
                                    QStringLiteral("tbl_NoKey"),
                                    QStringLiteral("tbl_Missing")};
        const auto match = findObjectIdTable(conn(QStringLiteral("OrvexMbxDB1")), listed, input);
        QTEST(match ? match->table : QString(), "table");
        QTEST(match ? match->objectId : QString(), "objectId");
    }

    // ---- cross-table search -----------------------------------------------

    void cellMatches_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<bool>("matches");
        QTest::newRow("exact-other-case") << "ABC"
                                          << "abc" << true << true;
        QTest::newRow("exact-longer-cell") << "abcd"
                                           << "abc" << true << false;
        QTest::newRow("partial-other-case") << "ABC"
                                            << "abc" << false << true;
        QTest::newRow("partial-longer-cell") << "xabcd"
                                             << "ABC" << false << true;
        QTest::newRow("partial-absent") << "ab"
                                        << "abc" << false << false;
    }
    void cellMatches()
    {
        QFETCH(QString, cell);
        QFETCH(QString, text);
        QFETCH(bool, exact);
        QTEST(CrossTableSearch::cellMatches(cell, text, exact), "matches");
    }

    void searchWalksEveryTable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QString>("walk"); // table,row,col of each match, then how it ended
        QTest::newRow("partial") << "alpha" << false << "1,1,1 1,2,1 1,2,2 3,1,0 no more";
        QTest::newRow("exact") << "alpha" << true << "1,1,1 1,2,2 3,1,0 no more";
        QTest::newRow("exact-single") << "ALPHABET" << true << "1,2,1 no more";
        QTest::newRow("same-row-next-column") << "eta" << false << "4,1,0 4,1,1 no more";
        QTest::newRow("header-only") << "Name" << false << "none";
        QTest::newRow("no-text") << "" << false << "idle";
    }
    void searchWalksEveryTable()
    {
        QFETCH(QString, text);
        QFETCH(bool, exact);
        FakeGrid grid = searchFixture();
        CrossTableSearch search;
        QTEST(outcomes(search, grid, text, exact), "walk");
        if (!text.isEmpty())
            QCOMPARE(grid.selected, (QList<int>{1, 2, 3, 4})); // each table loaded once, resumes never reload
        QCOMPARE(grid.outOfRangeReads, 0);
    }

    void searchResumesOverWhatTheGridNowHolds()
    {
        FakeGrid grid = searchFixture();
        CrossTableSearch search;
        SearchOutcome o = search.start(grid, QStringLiteral("alpha"), false);
        QCOMPARE(o.row, 1);
        grid.current = grid.tables.at(2); // the user loaded a smaller table meanwhile
        o = search.resume(grid);
        QCOMPARE(grid.outOfRangeReads, 0);
        QCOMPARE(o.kind, SearchOutcome::Kind::Match);
        QCOMPARE(o.table, 3);
        QCOMPARE(search.matchCount(), 2);
        QCOMPARE(search.resume(grid).kind, SearchOutcome::Kind::Finished);
    }

    // The search over tables read outside any grid: cells in grid terms
    // (column 0 the fixed column), the same walk, and Esc honoured between tables.
    void searchOverTablesReadOutsideTheGrid()
    {
        const QStringList tables{QStringLiteral("tbl_Location"), QStringLiteral("tbl_NoKey"),
                                 QStringLiteral("tbl_Missing"), QStringLiteral("tbl_Single")};
        QStringList opened;
        QStringList reported;
        TableScanSource source(
            tables,
            [&](const QString &listed, std::shared_ptr<const db::RowFilter> keep) -> std::shared_ptr<db::ResultSet> {
                opened << listed;
                Error e;
                return db::openResultSet(conn(QStringLiteral("OrvexDirDB")),
                                         QStringLiteral("SELECT * FROM [%1]").arg(listed), &e, db::Lock::ReadOnly, 1,
                                         true, std::move(keep));
            },
            [&](const QString &listed) { reported << listed; });
        CrossTableSearch search;
        SearchOutcome o = search.start(source, QStringLiteral("ffffffff-0000-0000-0000-000000000004"), true);
        QCOMPARE(o.kind, SearchOutcome::Kind::Match);
        QCOMPARE(o.table, 4);
        QCOMPARE(o.row, 1);
        QCOMPARE(o.col, 1);
        QCOMPARE(source.text(0, 1), QStringLiteral("ObjectID")); // the header row
        QCOMPARE(source.text(1, 0), QString());                  // the fixed column
        QCOMPARE(opened, tables);                                // a table that cannot be read is passed over
        QCOMPARE(reported, tables);
        QCOMPARE(search.resume(source).kind, SearchOutcome::Kind::Finished);

        // Cancelled: the walk stops before the next table and can go on later.
        opened.clear();
        source.cancel();
        o = search.start(source, QStringLiteral("zz-nowhere"), false);
        QCOMPARE(o.kind, SearchOutcome::Kind::Cancelled);
        QVERIFY(opened.isEmpty());
        source.resetCancel();
        QCOMPARE(search.resume(source).kind, SearchOutcome::Kind::Finished);
        QCOMPARE(opened, tables);
    }

    // A source that keeps only the rows with the text reports every match
    // where a source keeping every row does: same table, data-grid row and
    // column, one at a time or all at once.
    void searchKeepingOnlyMatchingRowsFindsTheSameCells()
    {
        const QStringList tables{QStringLiteral("tbl_Location"), QStringLiteral("tbl_NoKey"),
                                 QStringLiteral("tbl_Single")};
        auto sourceFor = [&](bool keepOnlyMatches) {
            return std::make_shared<TableScanSource>(
                tables, [keepOnlyMatches](const QString &listed, std::shared_ptr<const db::RowFilter> keep) {
                    Error e;
                    return std::shared_ptr<db::ResultSet>(db::openResultSet(
                        conn(QStringLiteral("OrvexDirDB")), QStringLiteral("SELECT * FROM [%1]").arg(listed), &e,
                        db::Lock::ReadOnly, 1, !keepOnlyMatches, keepOnlyMatches ? keep : nullptr));
                });
        };
        auto walk = [](SearchGridSource &source, const QString &text, bool exact) {
            QStringList where;
            CrossTableSearch search;
            for (SearchOutcome o = search.start(source, text, exact); o.kind == SearchOutcome::Kind::Match;
                 o = search.resume(source))
                where << QStringLiteral("%1:%2:%3=%4").arg(o.table).arg(o.row).arg(o.col).arg(source.text(0, o.col));
            return where;
        };
        auto everyMatch = [](SearchGridSource &source, const QString &text, bool exact) {
            QStringList found;
            findAllMatches(source, text, exact, 100, [&](AllMatchesProgress p) {
                for (const CellMatch &m : p.matches)
                    found << QStringLiteral("%1:%2:%3:%4:%5").arg(m.table).arg(m.row).arg(m.col).arg(m.objectId, m.value);
            });
            return found;
        };
        for (const auto &[text, exact] : {std::pair{QStringLiteral("NULL"), false}, std::pair{QStringLiteral("loc"), false},
                                          std::pair{QStringLiteral("LOC-null"), true},
                                          std::pair{QStringLiteral("ffffffff-0000-0000-0000-000000000004"), true}}) {
            const auto all = sourceFor(false), kept = sourceFor(true);
            const QStringList expected = walk(*all, text, exact);
            QVERIFY2(!expected.isEmpty(), qPrintable(text));
            QCOMPARE(walk(*kept, text, exact), expected);
            QCOMPARE(everyMatch(*kept, text, exact), everyMatch(*all, text, exact));
        }
        // "null" lies only in the second row: the row kept alone is reported as row 2.
        const auto kept = sourceFor(true);
        CrossTableSearch search;
        const SearchOutcome o = search.start(*kept, QStringLiteral("null"), false);
        QCOMPARE(o.row, 2);
        QCOMPARE(kept->rows(), 2); // the header and the one row kept
    }

    // Descriptions are kept per connection; ObjectIDs and names compare without case.
    void descriptionsAreCachedPerConnection()
    {
        DescriptionCache cache;
        const QString dir = conn(QStringLiteral("OrvexDirDB"));
        ObjectDescription d = describeObject(dir, QStringLiteral("tbl_Location"), QStringLiteral("loc-1"));
        QVERIFY(!d.unexpected);
        cache.insert(dir, QStringLiteral("tbl_Location"), QStringLiteral("loc-1"), d);
        const auto hit = cache.find(dir.toUpper(), QStringLiteral("TBL_LOCATION"), QStringLiteral("LOC-1"));
        QVERIFY(hit);
        QCOMPARE(hit->description, d.description);
        QCOMPARE(hit->jumpTable, d.jumpTable);
        QVERIFY(
            !cache.find(conn(QStringLiteral("OrvexDynDB")), QStringLiteral("tbl_Location"), QStringLiteral("loc-1")));
        cache.clear();
        QVERIFY(!cache.find(dir, QStringLiteral("tbl_Location"), QStringLiteral("loc-1")));
    }

    // ---- every match at once ------------------------------------------------

    // The list holds exactly what the walk would stop at, one by one, and
    // says table by table how far it got.
    void findAllListsWhatTheWalkFinds_data() { searchWalksEveryTable_data(); }
    void findAllListsWhatTheWalkFinds()
    {
        QFETCH(QString, text);
        QFETCH(bool, exact);
        FakeGrid walked = searchFixture();
        CrossTableSearch search;
        QStringList walk = outcomes(search, walked, text, exact).split(u' ');
        walk.removeIf([](const QString &step) { return !step.contains(u','); }); // how the walk ended
        FakeGrid grid = searchFixture();
        AllMatchesOutcome o;
        QStringList reports;
        QCOMPARE(listed(grid, text, exact, &o, &reports), walk.join(u' '));
        QCOMPARE(o.matches, int(walk.size()));
        QCOMPARE(o.tables, 4);
        QVERIFY(!o.cancelled && !o.truncated);
        QCOMPARE(grid.outOfRangeReads, 0);
        if (text.isEmpty()) {
            QVERIFY(grid.selected.isEmpty());
            return;
        }
        QCOMPARE(o.tablesDone, 4);
        QCOMPARE(reports, (QStringList{"0:T1", "1:T2", "2:T3", "3:T4", "4:"}));
    }

    // The scan ends at the limit of matches, and at Cancel after the table
    // it is reading; what it found stays, the cut table is not counted done.
    void findAllStopsAtTheLimitAndOnCancel()
    {
        FakeGrid grid = searchFixture();
        QStringList seen;
        AllMatchesOutcome o = findAllMatches(grid, QStringLiteral("alpha"), false, 2, [&](AllMatchesProgress p) {
            for (const CellMatch &m : p.matches)
                seen << m.value;
        });
        QVERIFY(o.truncated);
        QVERIFY(!o.cancelled);
        QCOMPARE(o.matches, 2);
        QCOMPARE(seen, (QStringList{"alpha", "Alphabet"}));

        grid = searchFixture();
        seen.clear();
        o = findAllMatches(grid, QStringLiteral("alpha"), false, 1000, [&](AllMatchesProgress p) {
            for (const CellMatch &m : p.matches)
                seen << m.table;
            if (p.table == u"T2")
                grid.stop = true; // Cancel, while the second table is read
        });
        QVERIFY(o.cancelled);
        QCOMPARE(o.tablesDone, 1);
        QCOMPARE(o.matches, 3);
        QCOMPARE(seen, (QStringList{"T1", "T1", "T1"}));
        QCOMPARE(grid.selected, (QList<int>{1, 2}));

        // Cancelled before it began: no table is read.
        grid = searchFixture();
        grid.stop = true;
        o = findAllMatches(grid, QStringLiteral("alpha"), false, 1000, [](AllMatchesProgress) {});
        QVERIFY(o.cancelled);
        QVERIFY(grid.selected.isEmpty());
    }

    // Rows arrive in batches; the key is the ObjectID, or the row number
    // where the table has none; a value of several lines stays on its row.
    void matchListModel()
    {
        MatchListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append({{"tbl_A", "Name", "id-1", "one", 1, 2}});
        model.append({});
        model.append({{"tbl_B", "Note", "", "two\r\nlines", 7, 1}});
        QCOMPARE(model.rowCount(), 2);
        const auto shown = [&](int row, int col) { return model.index(row, col).data().toString(); };
        QCOMPARE(shown(0, MatchListModel::KeyColumn), QStringLiteral("id-1"));
        QCOMPARE(shown(1, MatchListModel::KeyColumn), QStringLiteral("Row 7"));
        QCOMPARE(shown(1, MatchListModel::ValueColumn), QStringLiteral("two lines"));
        QCOMPARE(model.index(1, MatchListModel::ValueColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("two\r\nlines"));
        model.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    void searchOfEmptyTableList()
    {
        FakeGrid grid;
        CrossTableSearch search;
        const SearchOutcome o = search.start(grid, QStringLiteral("x"), false);
        QCOMPARE(o.kind, SearchOutcome::Kind::Finished);
        QVERIFY(!o.anyMatches);
        QCOMPARE(CrossTableSearch().resume(grid).kind, SearchOutcome::Kind::Idle);
    }
};

QTEST_GUILESS_MAIN(tst_Navigation)
#include "tst_navigation.moc"
