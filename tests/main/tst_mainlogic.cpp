#include "common/testsupport.h"
#include "main/csvexport.h"
#include "main/databases.h"
#include "main/mainsettings.h"
#include "main/rowquery.h"
#include "main/stickywhere.h"

#include <QtCore/QSettings>
#include <QtTest/QtTest>

using namespace korva;

class tst_MainLogic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsDefaultsAndConversions()
    {
        test::IsolatedEnvironment env;
        QSettings store(env.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        MainSettings s;
        loadMainSettings(store, s);
        QCOMPARE(s.width, 10000);
        QCOMPARE(s.height, 8500);
        QCOMPARE(s.splitterPos, 2500);
        QVERIFY(s.useTables && s.lockAlias && s.lockObjectID && s.showObjectID);
        QVERIFY(!s.showWhereClause && !s.dirDB);

        store.setValue(QStringLiteral("Config/UseTables"), QStringLiteral("true")); // exact "True" only
        store.setValue(QStringLiteral("Config/LockAlias"), QStringLiteral("False"));
        store.setValue(QStringLiteral("Config/ShowWHEREClause"), QStringLiteral("true")); // any case
        store.setValue(QStringLiteral("Config/OrvexDynDB"), QStringLiteral("-1"));        // a number
        store.setValue(QStringLiteral("Config/OrvexRptDB"), QStringLiteral("maybe"));     // skipped
        store.setValue(QStringLiteral("Settings/MainWidth"), QStringLiteral("12abc"));    // skipped
        store.setValue(QStringLiteral("Settings/MainTop"), QStringLiteral(" 1500 "));
        MainSettings t;
        t.rptDB = true;
        loadMainSettings(store, t);
        QVERIFY(!t.useTables);
        QVERIFY(!t.lockAlias);
        QVERIFY(t.showWhereClause);
        QVERIFY(t.dynDB);
        QVERIFY(t.rptDB);
        QCOMPARE(t.width, 10000);
        QCOMPARE(t.top, 1500);
    }

    void savingSkipsGeometryWhenMinimised()
    {
        test::IsolatedEnvironment env;
        QSettings store(env.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        MainSettings s;
        s.width = 20000;
        s.lockAlias = false;
        saveMainSettings(store, s, true);
        QVERIFY(!store.contains(QStringLiteral("Settings/MainWidth")));
        QCOMPARE(store.value(QStringLiteral("Config/LockAlias")).toString(), QStringLiteral("False"));
        saveMainSettings(store, s, false);
        QCOMPARE(store.value(QStringLiteral("Settings/MainWidth")).toString(), QStringLiteral("20000"));
        MainSettings back;
        loadMainSettings(store, back);
        QCOMPARE(back.width, 20000);
        QVERIFY(!back.lockAlias);
        QVERIFY(back.useTables);
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<bool>("edit");
        QTest::newRow("empty") << ""
                               << "zandelorvex" << false;
        QTest::newRow("named-and-edit") << "/named:OTHER /edit"
                                        << "OTHER" << true;
        QTest::newRow("named-alone") << "/named:"
                                     << "zandelorvex" << false;
        QTest::newRow("mixed-case") << "/NAMED:Inst2"
                                    << "Inst2" << false;
        QTest::newRow("double-blank") << "/Edit  junk"
                                      << "zandelorvex" << true;
        QTest::newRow("named-inside-piece") << "x/named:abc"
                                            << ":abc" << false;
    }
    void commandLine()
    {
        QFETCH(QString, line);
        const CommandLine c = parseCommandLine(line);
        QTEST(c.instance, "instance");
        QTEST(c.editMode, "edit");
    }

    void connectionStringsAndTableQueries()
    {
        QCOMPARE(composeConnectionString(QStringLiteral("REMOTE"), QStringLiteral("zandelorvex"),
                                         QStringLiteral("OrvexMbxDB1")),
                 QStringLiteral("Driver={SQL Server};server=REMOTE\\zandelorvex;database=OrvexMbxDB1"));
        QCOMPARE(tableListQuery(true, QStringLiteral("OrvexDirDB.dbo.sysobjects")),
                 QStringLiteral("select name as 'Table Name' from OrvexDirDB.dbo.sysobjects where type ='u' and name "
                                "not like 'conflict_%' order by name"));
        QCOMPARE(tableListQuery(false, QStringLiteral("OrvexRptDB.dbo.sysobjects")),
                 QStringLiteral("select name as 'Table Name' from OrvexRptDB.dbo.sysobjects where type ='v' and name "
                                "like 'vw_%' order by name"));
        QCOMPARE(QString::fromUtf16(database(Db::Mbx).dictionary), QStringLiteral("OrvexMbxDB.xml"));
        QCOMPARE(QString::fromUtf16(database(Db::Mbx).name), QStringLiteral("OrvexMbxDB1"));
    }

    void selectList_data()
    {
        QTest::addColumn<bool>("lockAlias");
        QTest::addColumn<bool>("lockUnique");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("locked");
        QTest::newRow("both") << true << true
                              << "SELECT Alias, [CallHandlerObjectID], Component, [DisplayName] FROM [tbl_CallHandler]"
                              << 3;
        QTest::newRow("alias-only") << true << false
                                    << "SELECT Alias, Component, [CallHandlerObjectID], [DisplayName] FROM "
                                       "[tbl_CallHandler]"
                                    << 2;
        QTest::newRow("unique-only") << false << true
                                     << "SELECT [CallHandlerObjectID], [Alias], [Component], [DisplayName] FROM "
                                        "[tbl_CallHandler]"
                                     << 1;
        QTest::newRow("none") << false << false
                              << "SELECT [Alias], [CallHandlerObjectID], [Component], [DisplayName] FROM "
                                 "[tbl_CallHandler]"
                              << 0;
    }
    void selectList()
    {
        QFETCH(bool, lockAlias);
        QFETCH(bool, lockUnique);
        const QStringList cols{QStringLiteral("Alias"), QStringLiteral("CallHandlerObjectID"),
                               QStringLiteral("Component"), QStringLiteral("DisplayName")};
        const SelectList s = composeSelectList(cols, QStringLiteral("CallHandlerObjectID"), lockAlias, lockUnique);
        QTEST(composeRowQuery(s, QStringLiteral("tbl_CallHandler"), QString()), "sql");
        QTEST(s.lockedCount, "locked");
        QCOMPARE(s.uniqueRow, 2);
    }

    void whereComposition()
    {
        SelectList s;
        s.locked = QStringLiteral("Alias, ");
        s.other = QStringLiteral("[DisplayName], [ObjectID], ");
        QCOMPARE(composeRowQuery(s, QStringLiteral("tbl_Subscriber"),
                                 effectiveWhere(QStringLiteral("  Alias like 'a%'  "), true)),
                 QStringLiteral("SELECT Alias, [DisplayName], [ObjectID] FROM [tbl_Subscriber] WHERE Alias like 'a%'"));
        QCOMPARE(effectiveWhere(QStringLiteral("   \n "), true), QString());
        QCOMPARE(effectiveWhere(QStringLiteral("x=1"), false), QString());
        // Names from the database are escaped; a bracket cannot end the name early.
        SelectList odd = composeSelectList({QStringLiteral("we]ird")}, QString(), true, true);
        QCOMPARE(composeRowQuery(odd, QStringLiteral("tbl_a]b"), QString()),
                 QStringLiteral("SELECT [we]]ird] FROM [tbl_a]]b]"));
    }

    void stickyFilesStayInTheirFolder()
    {
        test::IsolatedEnvironment env;
        StickyWhereFiles files(env.path());
        const QString dyn = files.fileName(QStringLiteral("OrvexDynDB_"), QStringLiteral("tbl_Subscriber"));
        QCOMPARE(dyn, env.filePath(QStringLiteral("WhereFiles/OrvexDynDB_tbl_Subscriber.TXT")));
        const QString evil = files.fileName(QStringLiteral("OrvexDirDB_"), QStringLiteral("../../etc/x"));
        QCOMPARE(QFileInfo(evil).absolutePath(), QFileInfo(dyn).absolutePath());
        QVERIFY(files.save(dyn, QStringLiteral(" Alias like 'a%'\nor 1=1 ")));
        QCOMPARE(files.load(dyn).value(), QStringLiteral(" Alias like 'a%'\nor 1=1 "));
        QVERIFY(
            !files.load(files.fileName(QStringLiteral("OrvexDirDB_"), QStringLiteral("tbl_Subscriber"))).has_value());
        QFile::setPermissions(dyn, QFileDevice::ReadOwner);
        QVERIFY(files.save(dyn, QStringLiteral("b=2")));
        QCOMPARE(files.load(dyn).value(), QStringLiteral("b=2"));
        QFile::setPermissions(dyn, QFileDevice::ReadOwner);
        QVERIFY(files.remove(dyn));
        QVERIFY(!QFile::exists(dyn));
    }

    void stickyFilesMoveToUserFolderWhenProgramFolderIsReadOnly()
    {
        test::IsolatedEnvironment env;
        // A program "folder" in which no WhereFiles folder can be made.
        QFile blocker(env.filePath(QStringLiteral("prog")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        StickyWhereFiles files(env.filePath(QStringLiteral("prog")));
        QVERIFY(!files.folder().startsWith(env.filePath(QStringLiteral("prog"))));
        QVERIFY(files.save(files.fileName(QStringLiteral("P_"), QStringLiteral("t")), QStringLiteral("x")));
    }

    void csvQuoting_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << QStringList{"", "a", "b"} << ",a,b";
        QTest::newRow("comma") << QStringList{"", "a,b"} << ",\"a,b\"";
        QTest::newRow("quote") << QStringList{"", "a\"b"} << ",\"a\"\"b\"";
        QTest::newRow("line-break") << QStringList{"", "a\r\nb", "c"} << ",\"a\r\nb\",c";
    }
    void csvQuoting()
    {
        QFETCH(QStringList, cells);
        QTEST(csvLine(cells), "line");
    }

    // A write that fails part-way (here: the disk "fills" at 64 KiB) leaves the
    // exported or sticky file that was there, and says so.
    void failedWritesKeepTheOldFile()
    {
        test::IsolatedEnvironment env;
        const QString csv = env.filePath(QStringLiteral("out.csv"));
        QString error;
        QVERIFY(writeCsvFile(
            csv, 2, [](qsizetype i) { return QStringLiteral("l%1").arg(i); }, &error));
        const auto csvFailed = test::runWithFileSizeLimit(64 * 1024, [&] {
            QString why;
            int number = 0;
            const bool ok = writeCsvFile(
                csv, 2000, [](qsizetype i) { return QStringLiteral("row %1,").arg(i).repeated(8); }, &why, &number);
            return !ok && !why.isEmpty() && number != 0;
        });
        QCOMPARE(csvFailed, std::optional<bool>(true));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("l0\r\nl1\r\n"));
        f.close();

        StickyWhereFiles files(env.path());
        const QString sticky = files.fileName(QStringLiteral("OrvexDirDB_"), QStringLiteral("tbl_User"));
        QVERIFY(files.save(sticky, QStringLiteral("Alias like 'a%'")));
        const auto stickyFailed = test::runWithFileSizeLimit(1024, [&] {
            QString why;
            return !files.save(sticky, QStringLiteral("x").repeated(100000), &why) && !why.isEmpty();
        });
        QCOMPARE(stickyFailed, std::optional<bool>(true));
        QCOMPARE(files.load(sticky).value(), QStringLiteral("Alias like 'a%'"));
        QCOMPARE(QDir(files.folder()).entryList(QDir::Files).size(), 1);
        QVERIFY(!writeCsvFile(
            env.filePath(QStringLiteral("no/such/dir/x.csv")), 1, [](qsizetype) { return QString(); }, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(tst_MainLogic)
#include "tst_mainlogic.moc"
