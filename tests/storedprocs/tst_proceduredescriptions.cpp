#include "storedprocs/proceduredescriptions.h"

#include <QtTest/QtTest>

using namespace korva;
using namespace korva::storedprocs;

namespace {

// A dictionary as the browser holds it: lower-cased whole before parsing.
const char kDictionary[] = R"(<?xml version="1.0"?>
<OrvexDataDictionary>
 <Tables>
  <Table Name="tbl_User" Description="Users.">
   <Columns>
    <Column Name="DisplayName" DataType="nvarchar" Length="64" Description="Name Shown." CustomType="DisplayName64"><Notes>Seen In Lists.</Notes></Column>
    <Column Name="Language" DataType="int" Length="4" Description="Prompt language." CustomType="LanguageId"/>
    <Column Name="Kind" DataType="tinyint" Length="1" Description="Kind." CustomType="UserKind"/>
    <Column Name="Pin" DataType="nvarchar" Length="24" CustomType="PinPattern"/>
    <Column Name="Plain" DataType="int" Length="4" Description="No notes, no type."/>
    <Column Name="Loose" DataType="int" Length="4" Description="Type without restrictions." CustomType="ObjectIdentifier"/>
   </Columns>
  </Table>
 </Tables>
 <CustomTypes>
  <CustomType Name="DisplayName64" Description="A display name."><Restrictions><Restriction Type="LENGTH" Min="1" Max="64"/></Restrictions></CustomType>
  <CustomType Name="UserKind" Description="Kind of user."><Restrictions><Restriction Type="Enumeration"><Values><Value Value="0" Description="Off"/><Value Value="1" Description="On"/></Values></Restriction></Restrictions></CustomType>
  <CustomType Name="PinPattern" Description="Digits."><Restrictions><Restriction Type="Regex" Description="Four or more digits." Expression="^[0-9]{4,}$"/></Restrictions></CustomType>
  <CustomType Name="LanguageId" Description="A locale id."><Restrictions><Restriction Type="LCID"/></Restrictions></CustomType>
  <CustomType Name="ObjectIdentifier" Description="A GUID."/>
  <CustomType Name="EmptyEnum" Description="No values."><Restrictions><Restriction Type="Enumeration"/></Restrictions></CustomType>
 </CustomTypes>
 <StoredProcs>
  <StoredProc Name="csp_UserRename" Description="Renames A User.">Keeps the alias.<Params>
    <Param Name="@DisplayName" RefTable="tbl_User" RefColumn="DisplayName"/>
    <Param Name="@Reason" Description="Why.">Kept In The Log.</Param>
    <Param Name="@Rate" RefTable="tbl_User" RefColumn="" Description="Own words.">Own notes.</Param>
    <Param Name="@Gone" RefTable="tbl_User" RefColumn="NoSuchColumn"/>
    <Param Name="@Bare"/>
   </Params>
   <ExceptionList>
    <Exception Name="50101" Description="Alias taken."/>
    <Exception Name="50102"/>
    <Exception Name="50103" Description="No location."/>
   </ExceptionList>
  </StoredProc>
  <StoredProc Name="sp_Quiet">Only notes.</StoredProc>
 </StoredProcs>
</OrvexDataDictionary>
)";

} // namespace

class tst_ProcedureDescriptions : public QObject
{
    Q_OBJECT

private:
    xml::Document doc;

private Q_SLOTS:
    void initTestCase() { QVERIFY(doc.loadFromText(QString::fromUtf8(kDictionary).toLower())); }

    void procedureTexts_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QString>("text");
        QTest::newRow("described-mixed-case-name") << "CSP_UserRename"
                                                   << "Stored_Procedure: csp_userrename\r\n\r\nDescription: renames a "
                                                      "user.\r\n\r\nNotes: keeps the alias.\r\n\r\n"
                                                      "Exceptions:\r\n50101: alias taken.\r\n50103: no location.\r\n";
        QTest::newRow("absent-from-dictionary") << "csp_NotDescribed"
                                                << "Stored_Procedure: \r\nDescription: Exceptions:\r\n";
        QTest::newRow("no-description-attribute")
            << "sp_Quiet"
            << "Stored_Procedure: sp_quiet\r\n\r\nDescription: \r\nNotes: only notes.\r\n\r\nExceptions:\r\n";
    }
    void procedureTexts()
    {
        QFETCH(QString, procedure);
        QFETCH(QString, text);
        QCOMPARE(procedureDescription(doc, procedure), text);
    }

    void parameterTexts_data()
    {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::newRow("column-with-length-type")
            << "@DisplayName"
            << "Parameter: @DisplayName\r\n\r\nDatatype: nvarchar\r\n\r\nLength: 64\r\n\r\nDescription: name "
               "shown.\r\n\r\n"
               "Notes: seen in lists.\r\n\r\nRestrictions: a display name.\r\n\r\nmin=1, max=64\r\n"
            << true;
        QTest::newRow("own-description-and-notes")
            << "@REASON"
            << "Parameter: @REASON\r\n\r\nDescription: why.\r\n\r\nNotes: kept in the log.\r\n\r\n"
            << true;
        QTest::newRow("reftable-without-refcolumn")
            << "@Rate"
            << "Parameter: @Rate\r\n\r\nDescription: own words.\r\n\r\nNotes: own notes.\r\n\r\n"
            << true;
        QTest::newRow("referenced-column-missing") << "@Gone"
                                                   << "Parameter: @Gone\r\n\r\n"
                                                   << true;
        QTest::newRow("no-description-attribute") << "@Bare"
                                                  << "Parameter: @Bare\r\n\r\n\r\nNotes: \r\n\r\n"
                                                  << true;
        QTest::newRow("not-in-dictionary") << "@Other"
                                           << "Parameter: @Other\r\n\r\n"
                                           << false;
    }
    void parameterTexts()
    {
        QFETCH(QString, parameter);
        QFETCH(QString, text);
        QFETCH(bool, found);
        const ParameterDescription d = parameterDescription(doc, QStringLiteral("csp_UserRename"), parameter);
        QCOMPARE(d.text, text);
        QCOMPARE(d.found, found);
    }

    void columnTexts_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("enumeration-type")
            << "tbl_user"
            << "Kind"
            << "Datatype: tinyint\r\n\r\nLength: 1\r\n\r\nDescription: kind.\r\n\r\n\r\n"
               "Restrictions: kind of user.\r\n\r\nEnumeration:\r\n0, off\r\n1, on\r\n\r\n";
        QTest::newRow("regex-type-no-description") << "TBL_USER"
                                                   << "pin"
                                                   << "Datatype: nvarchar\r\n\r\nLength: 24\r\n\r\n\r\nRestrictions: "
                                                      "digits.\r\n\r\nfour or more digits.\r\nregex=^[0-9]{4,}$\r\n";
        QTest::newRow("unknown-restriction-kind") << "tbl_user"
                                                  << "Language"
                                                  << "Datatype: int\r\n\r\nLength: 4\r\n\r\nDescription: prompt "
                                                     "language.\r\n\r\n\r\nRestrictions: a locale id.\r\n\r\n\r\n";
        QTest::newRow("type-without-restrictions") << "tbl_user"
                                                   << "Loose"
                                                   << "Datatype: int\r\n\r\nLength: 4\r\n\r\nDescription: type without "
                                                      "restrictions.\r\n\r\n\r\nRestrictions: \r\n";
        QTest::newRow("plain-column") << "tbl_user"
                                      << "Plain"
                                      << "Datatype: int\r\n\r\nLength: 4\r\n\r\nDescription: no notes, no "
                                         "type.\r\n\r\n";
        QTest::newRow("unknown-column") << "tbl_user"
                                        << "Nothing"
                                        << "";
        QTest::newRow("empty-table-name") << ""
                                          << "DisplayName"
                                          << "";
    }
    void columnTexts()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, text);
        QCOMPARE(strFetchColumnDescription(doc, table, column), text);
    }

    void customTypes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("length-any-case") << "DisplayName64"
                                         << "a display name.\r\n\r\nmin=1, max=64";
        QTest::newRow("enumeration-without-values") << "EmptyEnum"
                                                    << "";
        QTest::newRow("no-restrictions") << "ObjectIdentifier"
                                         << "";
        QTest::newRow("unknown-type") << "NoSuchType"
                                      << "";
        QTest::newRow("empty-name") << ""
                                    << "";
    }
    void customTypes()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QCOMPARE(strFetchCustomData(doc, type), text);
    }

    // Names put into the paths cannot change what the paths select.
    void quotesInNames()
    {
        QCOMPARE(procedureDescription(doc, QStringLiteral("x' or '1'='1")),
                 QStringLiteral("Stored_Procedure: \r\nDescription: Exceptions:\r\n"));
        QVERIFY(!parameterDescription(doc, QStringLiteral("csp_userrename"), QStringLiteral("@a\"b'c")).found);
    }
};

QTEST_GUILESS_MAIN(tst_ProcedureDescriptions)
#include "tst_proceduredescriptions.moc"
