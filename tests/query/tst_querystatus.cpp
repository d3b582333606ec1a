#include "query/querystatus.h"

#include <QtTest/QtTest>

using namespace korva;
using Outcome = query::RunSummary::Outcome;
namespace history = korva::query::history;

Q_DECLARE_METATYPE(Outcome)

// What the query window's status line and history tips say, composed without a window.
class tst_QueryStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void elapsed_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nothing") << qint64(0) << "0.000 s";
        QTest::newRow("milliseconds") << qint64(153) << "0.153 s";
        QTest::newRow("just-under-a-minute") << qint64(59999) << "59.999 s";
        QTest::newRow("a-minute") << qint64(60000) << "0:01:00";
        QTest::newRow("hours") << qint64((26 * 3600 + 3 * 60 + 4) * 1000 + 999) << "26:03:04";
        QTest::newRow("unknown-is-nothing") << qint64(-1) << "0.000 s";
    }
    void elapsed()
    {
        QFETCH(qint64, ms);
        QTEST(query::elapsedText(ms), "shown");
    }

    void status_data()
    {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<long>("affected");
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<bool>("loading");
        QTest::addColumn<QString>("shown");
        QTest::newRow("rows") << Outcome::Rows << -1L << qint64(12) << false
                              << "Rows: 12 | Records affected: 0 | Time: 0.042 s";
        QTest::newRow("rows-still-coming") << Outcome::Rows << -1L << qint64(1000) << true
                                           << "Rows: 1000 (loading) | Records affected: 0 | Time: 0.042 s";
        QTest::newRow("no-rows-the-grid-keeps-others")
            << Outcome::NoRows << 3L << qint64(40) << false << "Rows: none | Records affected: 3 | Time: 0.042 s";
        QTest::newRow("failed-after-changes")
            << Outcome::Failed << 3L << qint64(40) << false << "Query failed | Records affected: 3 | Time: 0.042 s";
        QTest::newRow("failed") << Outcome::Failed << -1L << qint64(0) << false
                                << "Query failed | Records affected: 0 | Time: 0.042 s";
        QTest::newRow("stopped") << Outcome::Stopped << 7L << qint64(0) << false
                                 << "Query stopped | Records affected: 7 | Time: 0.042 s";
    }
    void status()
    {
        QFETCH(Outcome, outcome);
        QFETCH(long, affected);
        QFETCH(qint64, rows);
        QFETCH(bool, loading);
        QTEST(query::statusText({outcome, affected, 42}, rows, loading), "shown");
    }

    void historyDetails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("described");
        QTest::addColumn<QString>("database");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ran") << "20240309235950" << true << "Orvex" << qint64(1530)
                             << "Ran 2024-03-09 23:59:49 | Database: Orvex | Time: 1.530 s";
        QTest::newRow("no-database-named")
            << "20240309235950" << true << "" << qint64(5) << "Ran 2024-03-09 23:59:49 | Time: 0.005 s";
        QTest::newRow("older-version-saved-it")
            << "20240309235950" << false << "" << qint64(0) << "Saved 2024-03-09 23:59:50";
        QTest::newRow("another-program's-name") << "Count" << false << "" << qint64(0) << "";
    }
    void historyDetails()
    {
        QFETCH(QString, name);
        QFETCH(bool, described);
        QFETCH(QString, database);
        QFETCH(qint64, ms);
        history::Entry e{name, QStringLiteral("select 1"), std::nullopt};
        if (described)
            e.details = history::Details{QDateTime(QDate(2024, 3, 9), QTime(23, 59, 49, 800)), database, ms};
        QTEST(query::historyDetailsText(e), "shown");
    }
};

QTEST_GUILESS_MAIN(tst_QueryStatus)
#include "tst_querystatus.moc"
