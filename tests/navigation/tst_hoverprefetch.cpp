#include "common/demowindows.h"
#include "common/waitforrows.h"
#include "main/frmmain.h"
#include "navigation/navigator.h"
#include "navigation/references.h"
#include "platform/database.h"
#include "platform/delayedsession.h"
#include "platform/sessionpool.h"
#include "support/ctooltip.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>

using namespace korva;

// The descriptions of the references a screen of rows shows are read ahead
// of the mouse, in the main window over the demo installation, with every
// query the window sends counted.
class tst_HoverPrefetch : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;

    struct Shown
    {
        int row, col;
        QString referenced;
    };

    static Grid *grid(frmMain &w, const char *name) { return w.findChild<Grid *>(QString::fromLatin1(name)); }

    // Sends every query of the windows through a meter, with the given delay.
    struct Metered
    {
        db::SessionMeter meter;
        std::unique_ptr<db::SessionPool> previous;
        explicit Metered(std::chrono::milliseconds delay = {})
        {
            db::resetConnectionPool();
            previous = db::installSessionPool(
                std::make_unique<db::SessionPool>([this, delay](const db::ConnectionTarget &t, db::Error *e) {
                    return db::withDelay(db::openEngineSession(t, e), delay, &meter);
                }));
        }
        ~Metered()
        {
            waitForDatabaseThreads();
            db::installSessionPool(std::move(previous));
            db::resetConnectionPool();
        }
    };

    // The reference cells of the rows in view whose tables are described together.
    static QList<Shown> shownReferences(frmMain &w)
    {
        Grid *tables = grid(w, "gridTables");
        Grid *data = grid(w, "gridData");
        const QString listed = tables->textMatrix(tables->row(), 1);
        QList<Shown> shown;
        for (int c = 1; c < data->cols(); ++c) {
            const QString referenced =
                navigation::referencedTableForCell(w.state().dictionary, listed, data->textMatrix(0, c));
            if (referenced.isEmpty() || !navigation::ObjectDescriber::describesManyAtOnce(referenced))
                continue;
            const int x = data->columnViewportPosition(data->modelColumn(c));
            if (x < 0 || x >= data->viewport()->width())
                continue;
            for (int r = data->topRow(); r < data->rows() && data->rowIsVisible(r); ++r)
                if (!data->textMatrix(r, c).isEmpty())
                    shown.push_back({r, c, referenced});
        }
        return shown;
    }
    static int kindsOf(const QList<Shown> &shown)
    {
        QSet<QString> kinds;
        for (const Shown &s : shown)
            kinds.insert(s.referenced.toLower());
        return int(kinds.size());
    }
    // Shows the first table whose rows in view reference objects described together.
    static QList<Shown> showTableWithReferences(frmMain &w, int first = 1)
    {
        Grid *tables = grid(w, "gridTables");
        for (int tr = first; tr < tables->rows(); ++tr) {
            tables->setCurrentCell(tr, 1);
            if (!test::waitForRows(w))
                return {};
            if (const QList<Shown> shown = shownReferences(w); !shown.isEmpty())
                return shown;
        }
        return {};
    }
    static QPoint centre(Grid *data, const Shown &s)
    {
        return data->visualRect(data->model()->index(data->modelRow(s.row), data->modelColumn(s.col))).center();
    }
    static void startWindow(frmMain &w)
    {
        QVERIFY(w.Form_Load(QString()));
        w.resize(900, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.findChild<QAction *>(QStringLiteral("mnuShowObjectIDInToolTip"))->setChecked(true);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fx.setUp({}, &error), qPrintable(error));
    }
    void init() { fx.freshStart(); }

    // One query per referenced table describes the screen; the mouse then
    // finds every description without a query, the same text as describing
    // the cell alone gives, and the tooltip shows it. A quick scroll reads
    // the screen it ends on once.
    void describesTheShownRowsAheadOfTheMouse()
    {
        Metered metered;
        frmMain w(fx.ctx());
        startWindow(w);
        w.navigator().setPrefetchEnabled(false);
        const QList<Shown> shown = showTableWithReferences(w);
        QVERIFY2(!shown.isEmpty(), "no table of the demo shows references described together");
        Grid *data = grid(w, "gridData");

        const qint64 beforeAhead = metered.meter.calls;
        w.navigator().setPrefetchEnabled(true);
        QTRY_VERIFY(!w.navigator().isPrefetching());
        const qint64 ahead = metered.meter.calls - beforeAhead;
        QVERIFY(ahead >= 1);
        QVERIFY2(ahead <= kindsOf(shown), qPrintable(QString::number(ahead)));

        cTooltip *tip = w.findChild<cTooltip *>();
        QVERIFY(tip);
        QStringList texts;
        for (const Shown &s : shown) {
            QTest::mouseMove(data->viewport(), centre(data, s));
            QCOMPARE(data->mouseRow(), s.row);
            QVERIFY(!w.navigator().isDescribing());
            QVERIFY(!w.navigator().referenceDescription().isEmpty());
            QCOMPARE(tip->ToolText(data), w.navigator().referenceDescription());
            texts << w.navigator().referenceDescription();
        }
        QCOMPARE(metered.meter.calls - beforeAhead, ahead);
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const Shown &s = shown[i];
            QCOMPARE(texts[i],
                     navigation::describeObject(w.state().connectionString, s.referenced, data->textMatrix(s.row, s.col))
                         .description);
        }

        // Ten quick steps down: the screen they end on is read once, not per step.
        w.resize(900, 240);
        w.navigator().forgetDescriptions();
        QTRY_VERIFY(!w.navigator().isPrefetching());
        QScrollBar *bar = data->verticalScrollBar();
        const int steps = std::min(10, bar->maximum());
        QVERIFY2(steps >= 2, qPrintable(QStringLiteral("%1 rows").arg(data->rows())));
        const qint64 beforeScroll = metered.meter.calls;
        for (int step = 0; step < steps; ++step) {
            bar->setValue(bar->value() + 1);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(!w.navigator().isPrefetching());
        const QList<Shown> after = shownReferences(w);
        QVERIFY(metered.meter.calls - beforeScroll <= kindsOf(after));
        const qint64 beforeHover = metered.meter.calls;
        for (const Shown &s : after) {
            QTest::mouseMove(data->viewport(), centre(data, s));
            QVERIFY(!w.navigator().isDescribing());
        }
        QCOMPARE(metered.meter.calls, beforeHover);
    }

    // The mouse comes while the screen's descriptions are still being read
    // from a slow server: the hover waits for them instead of asking again,
    // and shows the cell's own description.
    void hoverDuringTheReadTakesItsResult()
    {
        Shown s{};
        int table = -1;
        QString cell, expected;
        {
            Metered fast;
            frmMain w(fx.ctx());
            startWindow(w);
            w.navigator().setPrefetchEnabled(false);
            const QList<Shown> shown = showTableWithReferences(w);
            QVERIFY(!shown.isEmpty());
            s = shown.front();
            table = grid(w, "gridTables")->row();
            cell = grid(w, "gridData")->textMatrix(s.row, s.col);
            expected = navigation::describeObject(w.state().connectionString, s.referenced, cell).description;
        }
        Metered slow(std::chrono::milliseconds(300));
        frmMain w(fx.ctx());
        startWindow(w);
        w.navigator().setPrefetchEnabled(false);
        const QList<Shown> shown = showTableWithReferences(w, table);
        Grid *data = grid(w, "gridData");
        QCOMPARE(grid(w, "gridTables")->row(), table);
        QCOMPARE(data->textMatrix(s.row, s.col), cell);

        const qint64 before = slow.meter.calls;
        w.navigator().setPrefetchEnabled(true);
        QTRY_VERIFY(slow.meter.calls > before); // the read is under way
        QVERIFY(w.navigator().isPrefetching());
        QTest::mouseMove(data->viewport(), centre(data, s));
        QVERIFY(w.navigator().isDescribing());
        QTRY_VERIFY(!w.navigator().isDescribing());
        QCOMPARE(w.navigator().referenceDescription(), expected);
        QTRY_VERIFY(!w.navigator().isPrefetching());
        QVERIFY(slow.meter.calls - before <= kindsOf(shown));

        // The rows are sorted under the still mouse while its own query runs:
        // what comes back is not shown over the reference now in that cell.
        w.navigator().setPrefetchEnabled(false);
        w.navigator().forgetDescriptions();
        const auto differs = [&](const Shown &c) {
            return data->textMatrix(1, c.col) != data->textMatrix(data->rows() - 1, c.col);
        };
        const auto it = std::find_if(shown.begin(), shown.end(), differs);
        QVERIFY2(it != shown.end(), "no reference column with different objects");
        const Shown top{1, it->col, it->referenced};
        const QString topCell = data->textMatrix(1, top.col);
        QTest::mouseMove(data->horizontalHeader()->viewport(), QPoint(5, 5)); // off the cell first
        QTest::mouseMove(data->viewport(), centre(data, top));
        QVERIFY(w.navigator().isDescribing());
        const auto order = data->gridModel()->sortOrder() == GridModel::SortOrder::Descending
                               ? GridModel::SortOrder::Ascending
                               : GridModel::SortOrder::Descending;
        data->gridModel()->sortByColumn(data->modelColumn(top.col), order);
        QTRY_VERIFY(!data->gridModel()->isArranging());
        if (data->textMatrix(1, top.col) == topCell) // the other order then
            data->gridModel()->sortByColumn(data->modelColumn(top.col), GridModel::SortOrder::Ascending);
        QTRY_VERIFY(!data->gridModel()->isArranging());
        QVERIFY(data->textMatrix(1, top.col) != topCell);
        QVERIFY(w.navigator().isDescribing());
        QTRY_VERIFY(!w.navigator().isDescribing());
        QCOMPARE(w.navigator().referenceDescription(), QString());
    }
};

QTEST_MAIN(tst_HoverPrefetch)
#include "tst_hoverprefetch.moc"
