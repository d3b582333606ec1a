#include "common/testsupport.h"
#include "platform/registryaccess/registryapi.h"
#include "query/queryhistory.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QProcess>
#include <QtTest/QtTest>

using namespace korva;
namespace history = korva::query::history;
namespace reg = korva::RegistryAPI;

namespace {

const QDateTime kStart(QDate(2024, 3, 9), QTime(23, 59, 50));
const QString kKey = history::kQueriesKey.toString();
const QString kDetailsKey = history::kDetailsKey.toString();

history::Details ranOn(const QString &database, qint64 ms, int secondsAfterStart = 0)
{
    return {kStart.addSecs(secondsAfterStart).addMSecs(123), database, ms};
}

QStringList namesIn(const QString &key)
{
    QStringList names;
    for (const reg::Entry &e : reg::EnumValues(reg::HKEY_LOCAL_MACHINE, key).value_or(QList<reg::Entry>()))
        if (!e.name.isEmpty())
            names << e.name;
    return names;
}

// The lines of one key's section of the registry file, as any version of the program reads them.
QStringList fileSection(const QString &key)
{
    QFile f(reg::storeFilePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    const QString header = QStringLiteral("[HKEY_LOCAL_MACHINE\\") + key + u']';
    QStringList section;
    bool inside = false;
    for (const QString &line : lines) {
        if (line.startsWith(u'['))
            inside = line.trimmed() == header;
        else if (inside && !line.trimmed().isEmpty())
            section << line.trimmed();
    }
    return section;
}

QStringList storedNames() { return namesIn(kKey); }

QStringList listedCaptions()
{
    QStringList list;
    for (const history::Entry &e : history::list())
        list << e.caption;
    return list;
}

// Waits for the file go, then saves count queries all stamped with the same
// moment; exits 0 when every one was saved.
int runSaver(const QString &prefix, int count, const QString &go)
{
    const QDeadlineTimer deadline(30000);
    while (!QFile::exists(go)) {
        if (deadline.hasExpired())
            return 2;
        QThread::msleep(1);
    }
    for (int i = 0; i < count; ++i)
        if (history::save(prefix + QString::number(i), kStart) != history::SaveResult::Saved)
            return 1;
    return 0;
}

} // namespace

// The saved queries, each test in a registry file of its own.
class tst_QueryHistory : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::IsolatedEnvironment> env;

private Q_SLOTS:
    void init() { env = std::make_unique<test::IsolatedEnvironment>(); }
    void cleanup() { env.reset(); }

    void eleventhQueryDropsTheOldest()
    {
        for (int i = 1; i <= 11; ++i)
            QCOMPARE(history::save(QStringLiteral("q%1").arg(i), kStart.addSecs(60 * i)), history::SaveResult::Saved);
        QCOMPARE(storedNames().size(), 10);
        QCOMPARE(storedNames().first(), QStringLiteral("20240310000150"));
        QCOMPARE(listedCaptions(), (QStringList{"q11", "q10", "q9", "q8", "q7", "q6", "q5", "q4", "q3", "q2"}));
    }

    void captions_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("caption");
        QTest::newRow("three-lines-one-line") << "select a\nfrom b\nwhere c"
                                              << "select a from b where c";
        QTest::newRow("200-characters-cut-to-90") << QString(200, u'q') << QString(90, u'q');
        QTest::newRow("cut-after-joining-lines")
            << QString(89, u'a') + u'\n' + QString(10, u'b') << QString(89, u'a') + u' ';
    }
    void captions()
    {
        QFETCH(QString, query);
        QCOMPARE(history::save(query, kStart), history::SaveResult::Saved);
        const QList<history::Entry> entries = history::list();
        QCOMPARE(entries.size(), 1);
        QTEST(entries.first().caption, "caption");
        // Stored with CR LF; the query box gets its own line breaks back.
        const QString stored = history::load(entries.first().name).value_or(QString());
        QCOMPARE(stored, QString(query).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
        QCOMPARE(history::fromStored(stored), query);
    }

    // Neither a second query within the same second nor a clock set back
    // replaces a saved query.
    void takenNamesMoveOn()
    {
        history::save(QStringLiteral("one"), kStart);
        history::save(QStringLiteral("two"), kStart);
        history::save(QStringLiteral("three"), kStart.addSecs(-3600 + 1)); // an hour back, then on
        history::save(QStringLiteral("four"), kStart.addSecs(1));
        QCOMPARE(listedCaptions(), (QStringList{"four", "three", "two", "one"}));
        QCOMPARE(storedNames(), (QStringList{"20240309235950", "20240309235951", "20240309225951", "20240309235952"}));
    }

    // Two copies of the program saving within one second each keep their
    // queries, under names of their own.
    void twoCopiesSavingAtOnceKeepBoth()
    {
        constexpr int perCopy = history::kMaxStored / 2;
        const QString go = env->filePath(QStringLiteral("go"));
        QProcess copies[2];
        const QString prefixes[2] = {QStringLiteral("a"), QStringLiteral("b")};
        for (int i = 0; i < 2; ++i) {
            copies[i].start(QCoreApplication::applicationFilePath(),
                            {QStringLiteral("--save-queries"), prefixes[i], QString::number(perCopy), go});
            QVERIFY(copies[i].waitForStarted());
        }
        QVERIFY(QFile(go).open(QIODevice::WriteOnly));
        QStringList expected;
        for (int i = 0; i < 2; ++i) {
            QVERIFY(copies[i].waitForFinished(60000));
            QCOMPARE(copies[i].exitCode(), 0);
            for (int n = 0; n < perCopy; ++n)
                expected << prefixes[i] + QString::number(n);
        }
        QStringList shown = listedCaptions();
        shown.sort();
        QCOMPARE(shown, expected);
    }

    // A text the registry cannot give back is not saved: it would end every
    // listing at itself, hiding the queries after it and never trimmed.
    void queriesTooLongToReadBack_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("saved");
        QTest::newRow("4095-characters") << QString(4095, u'x') << true;
        QTest::newRow("4096-characters") << QString(4096, u'x') << false;
        QTest::newRow("line-breaks-count-twice") << QString(2047, u'x') + u'\n' + QString(2047, u'y') << false;
    }
    void queriesTooLongToReadBack()
    {
        QFETCH(QString, query);
        QFETCH(bool, saved);
        history::save(QStringLiteral("before"), kStart);
        QCOMPARE(history::save(query, kStart.addSecs(1)),
                 saved ? history::SaveResult::Saved : history::SaveResult::TooLong);
        history::save(QStringLiteral("after"), kStart.addSecs(2));
        const QList<history::Entry> entries = history::list();
        QCOMPARE(entries.size(), saved ? 3 : 2);
        QCOMPARE(entries.first().caption, QStringLiteral("after"));
        QCOMPARE(entries.last().caption, QStringLiteral("before"));
        if (saved)
            QCOMPARE(history::load(entries.at(1).name).value_or(QString()), query);
    }

    // No key, a key without values or with other values: nothing to list.
    // More entries than the menu holds (another program's): the newest eleven.
    void listings()
    {
        QVERIFY(history::list().isEmpty());
        reg::CreateKey(reg::HKEY_LOCAL_MACHINE, kKey);
        QVERIFY(history::list().isEmpty());
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("Count"), reg::REG_DWORD, 3);
        QVERIFY(history::list().isEmpty());
        QVERIFY(!history::load(QStringLiteral("20240101000000")));
        for (int i = 1; i <= 14; ++i)
            reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, history::valueName(kStart.addSecs(i)), reg::REG_SZ,
                          QStringLiteral("q%1").arg(i));
        const QStringList shown = listedCaptions();
        QCOMPARE(shown.size(), 11);
        QCOMPARE(shown.first(), QStringLiteral("q14"));
        QCOMPARE(shown.last(), QStringLiteral("q4"));
    }

    // When and where a query ran come back with it; the queries' key holds
    // exactly what it held before details existed, so older versions list,
    // load and trim it as ever.
    void detailsKeptBesideTheQueries()
    {
        QCOMPARE(history::save(QStringLiteral("select 1\nfrom a"), kStart, ranOn(QStringLiteral("Orvex"), 153)),
                 history::SaveResult::Saved);
        QCOMPARE(history::save(QStringLiteral("select 2"), kStart.addSecs(1),
                               ranOn(QStringLiteral("Db \"two\""), 70000, 1)),
                 history::SaveResult::Saved);
        QCOMPARE(fileSection(kKey),
                 (QStringList{QStringLiteral("\"20240309235950\"=\"select 1"), QStringLiteral("from a\""),
                              QStringLiteral("\"20240309235951\"=\"select 2\"")}));
        QCOMPARE(namesIn(kDetailsKey), (QStringList{"20240309235950", "20240309235951"}));

        const QList<history::Entry> entries = history::list();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).caption, QStringLiteral("select 2"));
        QVERIFY(entries.at(0).details);
        QCOMPARE(entries.at(0).details->database, QStringLiteral("Db \"two\""));
        QCOMPARE(entries.at(0).details->elapsedMs, 70000);
        QCOMPARE(entries.at(0).details->ranAt, kStart.addSecs(1).addMSecs(123));
        QVERIFY(entries.at(1).details);
        QCOMPARE(entries.at(1).details->database, QStringLiteral("Orvex"));
        QCOMPARE(entries.at(1).details->ranAt, kStart.addMSecs(123));
        QCOMPARE(history::load(entries.at(1).name).value_or(QString()), QStringLiteral("select 1\r\nfrom a"));
    }

    // A history written before details existed loads as it was, its entries
    // without details; saving after it describes the new query only.
    void oldHistoryLoads()
    {
        QFile f(reg::storeFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Fennick\\Diagnostic Tools\\Talmu\\Queries]\r\n"
                "\"20240101090000\"=\"select old\"\r\n"
                "\"20240102100000\"=\"select\r\nolder\"\r\n");
        f.close();
        QList<history::Entry> entries = history::list();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).caption, QStringLiteral("select older"));
        QVERIFY(!entries.at(0).details);
        QCOMPARE(history::timeOfName(entries.at(0).name), QDateTime(QDate(2024, 1, 2), QTime(10, 0)));
        QCOMPARE(history::load(entries.at(1).name), std::optional<QString>(QStringLiteral("select old")));

        history::save(QStringLiteral("select new"), kStart, ranOn(QStringLiteral("Orvex"), 5));
        entries = history::list();
        QCOMPARE(entries.size(), 3);
        QVERIFY(entries.at(0).details);
        QVERIFY(!entries.at(1).details);
        QVERIFY(!entries.at(2).details);
        QCOMPARE(storedNames(), (QStringList{"20240101090000", "20240102100000", "20240309235950"}));
    }

    // Details go with their trimmed query, also those another copy (an
    // older version) left behind when it trimmed; details that name another
    // text never describe the query that took their name.
    void detailsFollowTheirQueries()
    {
        for (int i = 1; i <= 11; ++i)
            history::save(QStringLiteral("q%1").arg(i), kStart.addSecs(60 * i),
                          ranOn(QStringLiteral("Orvex"), i, 60 * i));
        QCOMPARE(namesIn(kDetailsKey), storedNames());
        QCOMPARE(storedNames().size(), 10);

        // An older version trims without looking at the details.
        const QString gone = storedNames().first();
        reg::DeleteValue(reg::HKEY_LOCAL_MACHINE, kKey, gone);
        QVERIFY(namesIn(kDetailsKey).contains(gone));
        // ... and saves a query of its own under that name (a clock set back).
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, gone, reg::REG_SZ, QStringLiteral("another"));
        const QList<history::Entry> entries = history::list();
        QCOMPARE(entries.first().caption, QStringLiteral("another")); // stored last
        QVERIFY(!entries.first().details);
        QVERIFY(entries.at(1).details);

        reg::DeleteValue(reg::HKEY_LOCAL_MACHINE, kKey, gone);
        history::save(QStringLiteral("q12"), kStart.addSecs(60 * 12), ranOn(QStringLiteral("Orvex"), 12));
        QCOMPARE(namesIn(kDetailsKey), storedNames());

        // A text too long to read back, stored by an older version, ends the
        // listings there: the details of the queries after it stay all the same.
        const QStringList before = namesIn(kDetailsKey);
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("20240310001300"), reg::REG_SZ,
                      QString(5000, u'x'));
        history::save(QStringLiteral("q14"), kStart.addSecs(60 * 14), ranOn(QStringLiteral("Orvex"), 14));
        QCOMPARE(namesIn(kDetailsKey), before + QStringList{QStringLiteral("20240310001350")});
        reg::DeleteValue(reg::HKEY_LOCAL_MACHINE, kKey, QStringLiteral("20240310001300"));
        QVERIFY(history::list().first().details);
        QCOMPARE(history::list().first().details->elapsedMs, 14);
    }

    void detailsData_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("read");
        const QString text = QStringLiteral("select 1");
        QTest::newRow("written") << history::encodeDetails(ranOn(QStringLiteral("Orvex"), 9), text) << true;
        QTest::newRow("of-another-text") << history::encodeDetails(ranOn(QStringLiteral("Orvex"), 9), "select 2")
                                         << false;
        QTest::newRow("not-json") << "20240101" << false;
        QTest::newRow("empty") << "" << false;
    }
    void detailsData()
    {
        QFETCH(QString, data);
        QFETCH(bool, read);
        const std::optional<history::Details> d = history::decodeDetails(data, QStringLiteral("select 1"));
        QCOMPARE(bool(d), read);
        if (read) {
            QCOMPARE(d->ranAt, kStart.addMSecs(123));
            QCOMPARE(d->database, QStringLiteral("Orvex"));
            QCOMPARE(d->elapsedMs, 9);
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--save-queries") == 0)
        return runSaver(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]));
    QCoreApplication app(argc, argv);
    tst_QueryHistory test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_queryhistory.moc"
