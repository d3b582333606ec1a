#include "storedprocs/parametervalues.h"

#include <QtTest/QtTest>

using namespace korva;
using namespace korva::storedprocs;

namespace {

const QString kBit = QStringLiteral("Value is a Bit - it can be only 0 or 1");
const QString kInt = QStringLiteral("Value must be a number between -2,147,483,648 and 2,147,483,647");
const QString kGuid = QStringLiteral("Invalid GUID");
const QString kString = QStringLiteral("String exceeds max length for this field");
const QString kDate = QStringLiteral("invalid date/time format");
const QString kBig = QStringLiteral("Value must be a number");
const QString kSmall = QStringLiteral("Value must be a number between -32768 and 32767 ");
const QString kTiny = QStringLiteral("Value must be a number between 0 and 255");

} // namespace

class tst_ParameterValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueRules_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("message"); // empty: the value passes
        const QString en = QStringLiteral("en_US");
        const QString guid = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");

        QTest::newRow("empty-is-never-checked") << "tinyint"
                                                << "1"
                                                << "" << en << "";
        QTest::newRow("bit-1") << "bit"
                               << "1"
                               << "1" << en << "";
        QTest::newRow("bit-0") << "BIT"
                               << "1"
                               << "0" << en << "";
        QTest::newRow("bit-2") << "bit"
                               << "1"
                               << "2" << en << kBit;
        QTest::newRow("bit-padded") << "bit"
                                    << "1"
                                    << " 1" << en << kBit;

        QTest::newRow("int-max") << "int"
                                 << "4"
                                 << "2147483647" << en << "";
        QTest::newRow("int-min") << "int"
                                 << "4"
                                 << "-2147483648" << en << "";
        QTest::newRow("int-above-max") << "int"
                                       << "4"
                                       << "2147483648" << en << kInt;
        QTest::newRow("int-below-min") << "int"
                                       << "4"
                                       << "-2147483649" << en << kInt;
        QTest::newRow("int-not-numeric") << "int"
                                         << "4"
                                         << "12abc" << en << kInt;
        QTest::newRow("int-blanks-around") << "int"
                                           << "4"
                                           << " 42 " << en << "";
        QTest::newRow("int-exponent") << "int"
                                      << "4"
                                      << "1e3" << en << "";
        QTest::newRow("int-infinity") << "int"
                                      << "4"
                                      << "inf" << en << kInt;
        QTest::newRow("int-not-a-number") << "int"
                                          << "4"
                                          << "nan" << en << kInt;
        QTest::newRow("int-german-grouping") << "int"
                                             << "4"
                                             << "2.147.483.647"
                                             << "de_DE"
                                             << "";
        QTest::newRow("int-german-above-max") << "int"
                                              << "4"
                                              << "2147483647,5"
                                              << "de_DE" << kInt;

        QTest::newRow("smallint-min") << "smallint"
                                      << "2"
                                      << "-32768" << en << "";
        QTest::newRow("smallint-max") << "smallint"
                                      << "2"
                                      << "32767" << en << "";
        QTest::newRow("smallint-above-max") << "smallint"
                                            << "2"
                                            << "32768" << en << kSmall;
        QTest::newRow("smallint-below-min") << "smallint"
                                            << "2"
                                            << "-32769" << en << kSmall;
        QTest::newRow("tinyint-0") << "tinyint"
                                   << "1"
                                   << "0" << en << "";
        QTest::newRow("tinyint-255") << "tinyint"
                                     << "1"
                                     << "255" << en << "";
        QTest::newRow("tinyint-256") << "tinyint"
                                     << "1"
                                     << "256" << en << kTiny;
        QTest::newRow("tinyint-minus-1") << "tinyint"
                                         << "1"
                                         << "-1" << en << kTiny;
        QTest::newRow("bigint-no-range") << "bigint"
                                         << "8"
                                         << "1e30" << en << "";
        QTest::newRow("bigint-not-numeric") << "bigint"
                                            << "8"
                                            << "12abc" << en << kBig;

        QTest::newRow("guid-braces-dashes") << "uniqueidentifier"
                                            << "16" << guid << en << "";
        QTest::newRow("guid-digit-missing") << "uniqueidentifier"
                                            << "16" << QString(guid).remove(2, 1) << en << kGuid;
        QTest::newRow("guid-any-32-characters") << "uniqueidentifier"
                                                << "16" << QString(32, u'z') << en << "";
        QTest::newRow("guid-33-characters") << "uniqueidentifier"
                                            << "16" << QString(33, u'a') << en << kGuid;

        QTest::newRow("varchar-at-length") << "varchar"
                                           << "10"
                                           << "0123456789" << en << "";
        QTest::newRow("varchar-over-length") << "varchar"
                                             << "10"
                                             << "0123456789A" << en << kString;
        QTest::newRow("varchar-blanks-only") << "varchar"
                                             << "10"
                                             << "   " << en << "";
        QTest::newRow("nvarchar-unlimited") << "nvarchar"
                                            << "-1" << QString(9000, u'x') << en << "";
        QTest::newRow("nvarchar-length-cell-empty") << "nvarchar"
                                                    << ""
                                                    << "x" << en << kString;
        QTest::newRow("text-not-limited-by-pointer-size") << "text"
                                                          << "16" << QString(200, u'x') << en << "";

        QTest::newRow("date-iso") << "datetime"
                                  << "8"
                                  << "2024-02-29" << en << "";
        QTest::newRow("date-not-a-day") << "datetime"
                                        << "8"
                                        << "2023-02-29" << en << kDate;
        QTest::newRow("date-and-time-iso") << "datetime"
                                           << "8"
                                           << "2024-02-29 13:45:00" << en << "";
        QTest::newRow("date-and-time-t-ms") << "datetime"
                                            << "8"
                                            << "2024-02-29T13:45:00.123" << en << "";
        QTest::newRow("time-alone") << "datetime"
                                    << "8"
                                    << "13:45" << en << "";
        QTest::newRow("time-out-of-range") << "datetime"
                                           << "8"
                                           << "25:00" << en << kDate;
        QTest::newRow("date-us-short") << "datetime"
                                       << "8"
                                       << "12/31/2024" << en << "";
        QTest::newRow("date-day-first-in-us") << "datetime"
                                              << "8"
                                              << "31/12/2024" << en << kDate;
        QTest::newRow("date-german-short") << "datetime"
                                           << "8"
                                           << "31.12.2024"
                                           << "de_DE"
                                           << "";
        QTest::newRow("date-words") << "datetime"
                                    << "8"
                                    << "yesterday" << en << kDate;

        QTest::newRow("varbinary-anything") << "varbinary"
                                            << "8000"
                                            << "not even hex" << en << "";
        QTest::newRow("type-outside-the-table") << "money"
                                                << "8"
                                                << "5" << en << "Unrecognized type: MONEY";
    }
    void valueRules()
    {
        QFETCH(QString, type);
        QFETCH(QString, length);
        QFETCH(QString, value);
        QFETCH(QString, locale);
        QFETCH(QString, message);
        QCOMPARE(checkParameterValue(type, length, value, QLocale(locale)).value_or(QString()), message);
    }

    // The codes that differ from what their names suggest, and a name outside the table.
    void typeCodes()
    {
        QCOMPARE(lGetADTypeFromName(QStringLiteral("bit")), 16);
        QCOMPARE(lGetADTypeFromName(QStringLiteral("TinyInt")), 16);
        QCOMPARE(lGetADTypeFromName(QStringLiteral("text")), 200);
        QString unknown;
        QCOMPARE(lGetADTypeFromName(QStringLiteral("int"), &unknown), 3);
        QVERIFY(unknown.isEmpty());
        QCOMPARE(lGetADTypeFromName(QStringLiteral("Money"), &unknown), 0);
        QCOMPARE(unknown, QStringLiteral("Error, unknown type name in lGetADTypeFromName:Money"));
    }

    void auditParameters()
    {
        QVERIFY(isAuditParameter(QStringLiteral("@AUDITCOMPONENT")));
        QVERIFY(isAuditParameter(QStringLiteral("@auditalias")));
        QVERIFY(!isAuditParameter(QStringLiteral("@AuditAliasX")));
        QCOMPARE(auditValue(QStringLiteral("@auditcomponent"), QStringLiteral("CORP"), QStringLiteral("jo")),
                 QStringLiteral("KORVA"));
        QCOMPARE(auditValue(QStringLiteral("@AuditAlias"), QStringLiteral("CORP"), QStringLiteral("jo")),
                 QStringLiteral("CORP\\jo"));
        QVERIFY(!auditValue(QStringLiteral("@Alias"), QStringLiteral("CORP"), QStringLiteral("jo")));
    }

    void namesThatSayTheyChangeData_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("asks");
        QTest::newRow("create-at-the-end") << QStringLiteral("csp_SubscriberCreate") << true;
        QTest::newRow("modify-in-the-middle") << QStringLiteral("csp_SubscriberModifyName") << true;
        QTest::newRow("set") << QStringLiteral("csp_AgencySetRate") << true;
        QTest::newRow("insert-first") << QStringLiteral("spInsertUser") << true;
        QTest::newRow("after-capitals") << QStringLiteral("XMLUpdateFeed") << true;
        QTest::newRow("all-capitals") << QStringLiteral("SP_SETVALUE") << true;
        QTest::newRow("all-small") << QStringLiteral("usp_deleteuser") << true;
        QTest::newRow("reset-is-not-set") << QStringLiteral("csp_CredentialResetPin") << false;
        QTest::newRow("settings-is-not-set") << QStringLiteral("sp_GetSettings") << false;
        QTest::newRow("add-is-not-listed") << QStringLiteral("csp_DistributionListMemberAdd") << false;
        QTest::newRow("reading") << QStringLiteral("sp_DirectoryStatistics") << false;
        QTest::newRow("capitals-without-a-verb") << QStringLiteral("SP_OrvexVersion") << false;
    }
    void namesThatSayTheyChangeData()
    {
        QFETCH(QString, name);
        QFETCH(bool, asks);
        QCOMPARE(nameSaysItChangesData(name), asks);
    }
};

QTEST_GUILESS_MAIN(tst_ParameterValues)
#include "tst_parametervalues.moc"
