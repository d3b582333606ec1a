#include "platform/backgroundtask.h"
#include "platform/resultset.h"
#include "widgets/grid.h"
#include "widgets/gridfindbar.h"
#include "widgets/gridmodel.h"

#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QtTest>
#include <QtGui/QClipboard>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyleFactory>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

using namespace korva;

namespace {

// A result set whose rows come from a generator, in batches, like a running query.
class CountingSource : public db::RowSource
{
public:
    explicit CountingSource(qsizetype total) : m_total(total) {}
    QStringList columns() const override
    {
        return {QStringLiteral("Alias"), QStringLiteral("ObjectID"), QStringLiteral("N")};
    }
    bool atEnd() const override { return m_next >= m_total; }
    qsizetype fetch(db::RowStore &store, qsizetype maxRows, korva::Error *) override
    {
        if (QThread::currentThread() == qApp->thread())
            ++fetchesOnWindowThread;
        qsizetype n = 0;
        for (; n < maxRows && m_next < m_total; ++n, ++m_next) {
            store.beginRow();
            store.addText(QStringLiteral("a%1").arg(m_next.load()));
            store.addText(QStringLiteral("ID-%1").arg(m_next.load()));
            store.addInteger(m_next.load());
            store.endRow();
        }
        return n;
    }

    static inline std::atomic<int> fetchesOnWindowThread = 0;

private:
    qsizetype m_total;
    // Read by atEnd() on the window's thread while the loader fetches.
    std::atomic<qsizetype> m_next = 0;
};

std::shared_ptr<db::ResultSet> rows(qsizetype n)
{
    return std::make_shared<db::ResultSet>(std::make_unique<CountingSource>(n));
}

// A fast local table of numbers, cell (row, column) given by a function: its
// batches fill their memory before their time is up.
class NumberSource : public db::RowSource
{
public:
    NumberSource(qsizetype total, QStringList columns, std::function<qint64(qint64, int)> cell)
        : m_total(total), m_columns(std::move(columns)), m_cell(std::move(cell))
    {}
    QStringList columns() const override { return m_columns; }
    bool atEnd() const override { return m_next.load() >= m_total; }
    qsizetype fetch(db::RowStore &store, qsizetype maxRows, korva::Error *) override
    {
        qsizetype n = 0;
        for (; n < maxRows && m_next < m_total; ++n, ++m_next) {
            store.beginRow();
            for (int c = 0; c < m_columns.size(); ++c)
                store.addInteger(m_cell(m_next.load(), c));
            store.endRow();
        }
        return n;
    }

private:
    qsizetype m_total;
    QStringList m_columns;
    std::function<qint64(qint64, int)> m_cell;
    std::atomic<qsizetype> m_next = 0;
};

// The row's number, then three large numbers made from it.
std::shared_ptr<db::ResultSet> numberRows(qsizetype total)
{
    return std::make_shared<db::ResultSet>(
        std::make_unique<NumberSource>(total,
                                       QStringList{QStringLiteral("N"), QStringLiteral("A"), QStringLiteral("B"),
                                                   QStringLiteral("C")},
                                       [](qint64 r, int c) {
                                           return c == 0 ? r : r * 1000003 * c + (qint64(1) << 40);
                                       }));
}

// A remote table: every fetch takes a while; rows are tagged with the table's name.
class SlowSource : public db::RowSource
{
public:
    // Besides its tag, a row has `width` - 1 more cells, "row/column".
    SlowSource(QString tag, qsizetype total, int msPerFetch, int width = 1)
        : m_tag(std::move(tag)), m_total(total), m_ms(msPerFetch), m_width(width)
    {}
    QStringList columns() const override
    {
        QStringList names{QStringLiteral("Tag")};
        for (int c = 1; c < m_width; ++c)
            names << QStringLiteral("C%1").arg(c);
        return names;
    }
    bool atEnd() const override { return m_next.load() >= m_total; }
    void cancel() override { m_cancelled = true; }
    qsizetype fetch(db::RowStore &store, qsizetype maxRows, korva::Error *error) override
    {
        QThread::msleep(m_ms);
        if (m_cancelled) {
            *error = {1, QStringLiteral("cancelled")};
            m_next = m_total;
            return 0;
        }
        qsizetype n = 0;
        for (; n < maxRows && m_next < m_total; ++n, ++m_next) {
            QVariantList row{QVariant(m_tag + u'-' + QString::number(m_next.load()))};
            for (int c = 1; c < m_width; ++c)
                row << QVariant(QStringLiteral("%1/%2").arg(m_next.load()).arg(c));
            store.appendRow(row);
        }
        return n;
    }

private:
    QString m_tag;
    qsizetype m_total;
    int m_ms;
    int m_width;
    std::atomic<qsizetype> m_next = 0;
    std::atomic<bool> m_cancelled = false;
};

// A table whose cells can be written, one write at a time, each held until
// the test lets it go (a server that answers when the test says so).
class GatedEditSource : public db::RowSource
{
public:
    QStringList columns() const override { return {QStringLiteral("Key"), QStringLiteral("Label")}; }
    bool atEnd() const override { return m_done; }
    qsizetype fetch(db::RowStore &store, qsizetype, korva::Error *) override
    {
        for (int r = 0; r < 3; ++r)
            store.appendRow({QVariant(r), QVariant(QStringLiteral("label %1").arg(r))});
        m_done = true;
        return 3;
    }
    bool updateCell(const QVariantList &row, int column, const QVariant &value, korva::Error *error) override
    {
        {
            std::unique_lock lock(mutex);
            rowsSeen.append(row);
            onWindowThread = onWindowThread || QThread::currentThread() == qApp->thread();
            released.wait(lock, [&] { return open; });
        }
        if (value.toString() == QStringLiteral("refused")) {
            *error = {db::kErrCommand, QStringLiteral("The server refused it.")};
            return false;
        }
        written.append({row.value(0), column, value});
        return true;
    }
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }

    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    bool onWindowThread = false;
    QList<QVariantList> rowsSeen;
    QList<QVariantList> written; // key, column, value; read once the writes are over

private:
    std::atomic<bool> m_done = false;
};

// Types over a cell of the grid as a user does: click, F2, new text, Enter.
void typeOver(Grid &grid, int row, int column, const QString &text)
{
    const QModelIndex at = grid.model()->index(row, column);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(at).center());
    QTest::keyClick(grid.viewport(), Qt::Key_F2);
    // The editor over this cell (the last one's may not be gone yet).
    const QPoint centre = grid.visualRect(at).center();
    QLineEdit *editor = nullptr;
    const auto editorHere = [&] {
        for (QLineEdit *e : grid.viewport()->findChildren<QLineEdit *>())
            if (e->isVisible() && e->geometry().contains(centre))
                editor = e;
        return editor != nullptr;
    };
    QTRY_VERIFY(editorHere());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

// A small table with a number, a text, a date and a GUID column, some null.
std::shared_ptr<db::ResultSet> mixedRows()
{
    auto rs = db::ResultSet::inMemory(
        {QStringLiteral("N"), QStringLiteral("Name"), QStringLiteral("When"), QStringLiteral("ID")});
    rs->addRow({10, QStringLiteral("b"), QStringLiteral("2024-03-01 10:00:00"),
                QStringLiteral("0000000A-0000-0000-0000-000000000000")});
    rs->addRow({9, QStringLiteral("A"), QStringLiteral("2023-12-31 23:59:59.5"),
                QStringLiteral("00000009-0000-0000-0000-000000000000")});
    rs->addRow({100, QStringLiteral("c,d"), QStringLiteral("2024-03-01"),
                QStringLiteral("{0000000b-0000-0000-0000-000000000000}")});
    rs->addRow({QVariant(), QStringLiteral("a"), QVariant(), QVariant()});
    rs->addRow({-5, QStringLiteral("say \"hi\""), QStringLiteral("2024-03-01 09:00:00"),
                QStringLiteral("00000001-0000-0000-0000-000000000000")});
    return std::shared_ptr<db::ResultSet>(std::move(rs));
}

// Rows whose first column repeats a few hundred values in no order (ties
// everywhere) and whose second is the row's number: enough of them that a
// sort's keys and order are blocks of megabytes.
std::shared_ptr<db::ResultSet> tiedRows(qsizetype total)
{
    return std::make_shared<db::ResultSet>(
        std::make_unique<NumberSource>(total, QStringList{QStringLiteral("K"), QStringLiteral("I")},
                                       [](qint64 r, int c) { return c == 0 ? (r * 7919) % 601 - 300 : r; }));
}

// Shows mixedRows() in the grid, with every row in.
bool showMixedRows(Grid &grid)
{
    grid.resize(600, 300);
    grid.setResultSet(mixedRows());
    grid.show();
    return QTest::qWaitForWindowExposed(&grid) && QTest::qWaitFor([&] { return grid.gridModel()->rowCount() == 5; });
}

QStringList columnTexts(const GridModel &model, int column)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << (model.isNull(r, column) ? QStringLiteral("NULL") : model.text(r, column));
    return texts;
}

void clickHeader(Grid &grid, int column)
{
    QHeaderView *header = grid.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 6);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class tst_Grid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modelPassesTheModelTester()
    {
        GridModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setBatchSize(100);
        CountingSource::fetchesOnWindowThread = 0;
        model.setResultSet(rows(1050));
        QCOMPARE(model.rowCount(), 0); // nothing is read on the window's thread
        QVERIFY(model.isLoading());
        QSignalSpy done(&model, &GridModel::loadingFinished);
        QTRY_COMPARE(done.count(), 1);
        QCOMPARE(model.rowCount(), 1050);
        model.setBoldRow(3, true);
        QVERIFY(model.data(model.index(3, 0), Qt::FontRole).value<QFont>().bold());
        model.setMarkedRow(4);
        QVERIFY(model.data(model.index(4, 0), Qt::BackgroundRole).isValid());
        model.setMarkedRow(-1);
        QVERIFY(!model.data(model.index(4, 0), Qt::BackgroundRole).isValid());
        model.setResultSet(rows(5));
        QTRY_COMPARE(model.rowCount(), 5);
        QCOMPARE(CountingSource::fetchesOnWindowThread.load(), 0);
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 3);
    }

    // A large fast load arrives in batches that each fill their memory: no
    // row is lost or repeated where one batch ends and the next begins, and
    // the rows cost little more than their bytes.
    void batchesThatFillTheirMemoryLoseNoRow()
    {
        GridModel model;
        constexpr qsizetype kRows = 600000;
        model.setResultSet(numberRows(kRows));
        QSignalSpy done(&model, &GridModel::loadingFinished);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 60000);
        QCOMPARE(model.rowCount(), kRows);
        const db::RowStore &store = model.resultSet()->rows();
        for (qsizetype r = 0; r < kRows; ++r) {
            if (store.value(r, 0).toLongLong() != r || store.value(r, 3).toLongLong() != r * 1000003 * 3 + (qint64(1) << 40))
                QFAIL(qPrintable(QStringLiteral("row %1 reads %2").arg(r).arg(store.value(r, 0).toLongLong())));
        }
        QVERIFY2(store.allocatedBytes() < store.contentBytes() * 5 / 4 + kRows * 4 + 512 * 1024,
                 qPrintable(QStringLiteral("%1 bytes for %2").arg(store.allocatedBytes()).arg(store.contentBytes())));
    }

    // Rows read while the window was busy are shown in steps, each after the
    // window has had its turn, not in one step that would keep it from its
    // events; every row arrives once, in order, and the load ends only after
    // the last step.
    void aBacklogOfRowsIsShownInSteps()
    {
        Grid grid; // a real view on the model, as the window has
        grid.resize(600, 400);
        grid.show();
        GridModel *model = grid.gridModel();
        constexpr qsizetype kRows = 600000;
        auto rows = numberRows(kRows);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy done(model, &GridModel::loadingFinished);
        int ticks = 0;
        QTimer other; // stands for the user's events, to be served between the steps
        connect(&other, &QTimer::timeout, [&] { ++ticks; });
        std::vector<int> ticksAtStep;
        connect(model, &QAbstractItemModel::rowsInserted, [&] { ticksAtStep.push_back(ticks); });
        grid.setResultSet(rows);
        // The window thread is busy while the whole table is read.
        QElapsedTimer busy;
        busy.start();
        while (!rows->sourceAtEnd() && busy.elapsed() < 60000)
            QThread::msleep(5);
        QVERIFY(rows->sourceAtEnd());
        other.start(0);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 60000);
        QCOMPARE(model->rowCount(), kRows);
        QVERIFY2(inserted.count() >= 3, qPrintable(QString::number(inserted.count())));
        int next = 0;
        for (const QList<QVariant> &step : std::as_const(inserted)) {
            QCOMPARE(step.at(1).toInt(), next);
            QVERIFY2(step.at(2).toInt() - next + 1 <= 250000,
                     qPrintable(QString::number(step.at(2).toInt() - next + 1)));
            next = step.at(2).toInt() + 1;
        }
        QCOMPARE(next, kRows);
        for (std::size_t i = 1; i < ticksAtStep.size(); ++i)
            QVERIFY2(ticksAtStep[i] > ticksAtStep[i - 1],
                     qPrintable(QStringLiteral("steps %1 and %2").arg(i).arg(i + 1)));
        QCOMPARE(grid.gridModel()->text(int(kRows) - 1, 0), QString::number(kRows - 1));
    }

    // What the window system brings while rows are being shown in steps (the
    // window manager's pings, input) is served before the next step: a step
    // never waits on the one after it.
    void windowEventsAreServedBetweenSteps()
    {
        Grid grid;
        grid.resize(600, 400);
        grid.show();
        // Two windows that take turns to be active: each turn is an event
        // that comes from the window system, as input does.
        QWidget a, b;
        a.show();
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&a));
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        GridModel *model = grid.gridModel();
        constexpr qsizetype kRows = 600000;
        auto rows = numberRows(kRows);
        int turns = 0;
        QStringList late;
        int steps = 0;
        QObject watching; // goes before what its handlers count into
        connect(qApp, &QGuiApplication::focusWindowChanged, &watching, [&] { ++turns; });
        connect(model, &QAbstractItemModel::rowsInserted, &watching, [&] {
            // The turn asked for at the step before has come.
            if (steps > 0 && turns < steps)
                late << QStringLiteral("step %1").arg(steps + 1);
            ++steps;
            turns = steps - 1;
            (QGuiApplication::focusWindow() == a.windowHandle() ? &b : &a)->windowHandle()->requestActivate();
        });
        QSignalSpy done(model, &GridModel::loadingFinished);
        grid.setResultSet(rows);
        // The window thread is busy while the whole table is read: the rows
        // are then shown in steps, one after another.
        QElapsedTimer busy;
        busy.start();
        while (!rows->sourceAtEnd() && busy.elapsed() < 60000)
            QThread::msleep(5);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 60000);
        QVERIFY2(steps >= 3, qPrintable(QString::number(steps)));
        QVERIFY2(late.isEmpty(), qPrintable(QStringLiteral("came after the next step: ") + late.join(u", ")));
    }

    // A table being read adds rows many times a second. Rows that land in
    // view are painted, in the grid and in its frozen columns; rows added
    // below the view leave the cells in view as they are and only the scroll
    // bar grows; a sort afterwards repaints.
    void onlyRowsThatLandInViewArePainted()
    {
        Grid grid(nullptr, true);
        grid.resize(500, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.gridModel()->setBatchSize(3);
        grid.setResultSet(
            std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("R"), 300, 15, 3)));
        grid.setFrozenColumns(1);
        QVERIFY(grid.frozenView());

        struct Paints : QObject
        {
            QHash<QObject *, int> count;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    ++count[watched];
                return false;
            }
        } paints;
        QWidget *cells = grid.viewport();
        QWidget *frozen = grid.frozenView()->viewport();
        QWidget *scroll = grid.verticalScrollBar();
        for (QWidget *w : {cells, frozen, scroll})
            w->installEventFilter(&paints);
        // Each showing of rows, with the paints that followed it up to the next.
        struct Showing
        {
            int first;
            int cells = 0;
            int frozen = 0;
        };
        std::vector<Showing> showings;
        QHash<QObject *, int> before;
        const auto closeLast = [&] {
            if (showings.empty())
                return;
            showings.back().cells = paints.count.value(cells) - before.value(cells);
            showings.back().frozen = paints.count.value(frozen) - before.value(frozen);
        };
        connect(grid.gridModel(), &QAbstractItemModel::rowsInserted, &grid, [&](const QModelIndex &, int first) {
            closeLast();
            before = paints.count;
            showings.push_back({first});
        });
        QTRY_VERIFY_WITH_TIMEOUT(!grid.gridModel()->isLoading(), 20000);
        QTest::qWait(50);
        closeLast();
        QCOMPARE(grid.gridModel()->rowCount(), 300);

        const int rowHeight = grid.rowHeight(0);
        const int fit = grid.viewport()->height() / rowHeight;
        int inView = 0;
        int below = 0;
        for (const Showing &s : showings) {
            if (s.first < fit) {
                ++inView;
                QVERIFY2(s.cells >= 1 && s.frozen >= 1,
                         qPrintable(QStringLiteral("rows from %1 not painted").arg(s.first)));
            } else if (s.first > fit) {
                ++below;
                QVERIFY2(s.cells == 0 && s.frozen == 0,
                         qPrintable(QStringLiteral("rows from %1 repainted the view: %2, %3")
                                        .arg(s.first)
                                        .arg(s.cells)
                                        .arg(s.frozen)));
            }
        }
        QVERIFY2(inView >= 1 && below >= 3, qPrintable(QStringLiteral("%1 %2").arg(inView).arg(below)));
        QVERIFY(paints.count.value(scroll) >= 3);
        QCOMPARE(grid.verticalScrollBar()->maximum(), 300 * rowHeight - grid.viewport()->height());
        // The last rows are there to be scrolled to.
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QCOMPARE(grid.rowAt(grid.viewport()->height() - 1), 299);

        clickHeader(grid, 0);
        const int cellsBefore = paints.count.value(cells);
        clickHeader(grid, 0); // descending, as text
        QTRY_VERIFY(paints.count.value(cells) > cellsBefore);
        QCOMPARE(grid.textMatrix(1, 1), QStringLiteral("R-99"));
    }

    // The fixed column looks as a plain row header on the same rows and
    // selection looks: at the top and scrolled, with a row clicked, a row
    // under the mouse, and a row held down.
    void fixedColumnLooksAsARowHeader()
    {
        QWidget window;
        Grid grid(&window, true);
        grid.setResultSet(rows(3000));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        QTableView plain(&window);
        plain.setModel(grid.model());
        plain.setSelectionModel(grid.selectionModel());
        QHeaderView *own = grid.verticalHeader();
        QHeaderView *ref = plain.verticalHeader();
        ref->setSectionResizeMode(QHeaderView::Fixed);
        ref->setDefaultSectionSize(own->defaultSectionSize());
        ref->setMinimumSectionSize(own->minimumSectionSize());
        ref->setFixedWidth(own->width());
        ref->setHighlightSections(own->highlightSections());
        ref->setSectionsClickable(own->sectionsClickable());
        ref->setMouseTracking(true);
        ref->viewport()->setMouseTracking(true);
        for (QTableView *v : {static_cast<QTableView *>(&grid), &plain}) {
            v->resize(300, 250);
            v->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        }
        plain.move(320, 0);
        window.resize(640, 260);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        plain.horizontalHeader()->setFixedHeight(grid.horizontalHeader()->height());
        QCoreApplication::processEvents();
        QVERIFY2(own->viewport()->size() == ref->viewport()->size(), qPrintable(QStringLiteral("%1x%2 %3x%4")
                                                                                    .arg(own->viewport()->width())
                                                                                    .arg(own->viewport()->height())
                                                                                    .arg(ref->viewport()->width())
                                                                                    .arg(ref->viewport()->height())));
        // Also in a style that draws a row's states (the application's may not).
        std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(windows);
        const auto same = [&](const char *what) {
            plain.verticalScrollBar()->setValue(grid.verticalScrollBar()->value());
            QCoreApplication::processEvents();
            bool alike = true;
            for (QStyle *style : {QApplication::style(), windows.get()}) {
                own->setStyle(style);
                ref->setStyle(style);
                own->viewport()->setStyle(style);
                ref->viewport()->setStyle(style);
                const QImage a = own->viewport()->grab().toImage();
                const QImage b = ref->viewport()->grab().toImage();
                if (a != b) {
                    qWarning("%s: the fixed column differs in %s", what, qPrintable(style->name()));
                    alike = false;
                }
            }
            return alike;
        };
        const auto rowCentre = [&](QHeaderView *h, int row) {
            return QPoint(h->viewport()->width() / 2, h->sectionViewportPosition(row) + h->sectionSize(row) / 2);
        };

        QVERIFY(same("at the top"));
        QTest::mouseClick(own->viewport(), Qt::LeftButton, {}, rowCentre(own, 3));
        QVERIFY(grid.selectionModel()->isRowSelected(3, {}));
        QTest::mouseMove(grid.viewport(), QPoint(100, 100)); // off the fixed column
        QVERIFY(same("a row clicked"));
        // Rows shown as selected, should the header mark them.
        own->setHighlightSections(true);
        ref->setHighlightSections(true);
        QVERIFY(same("a row clicked, marked"));
        QTest::mouseMove(own->viewport(), rowCentre(own, 5));
        QTest::mouseMove(ref->viewport(), rowCentre(ref, 5));
        QVERIFY(same("a row under the mouse"));
        QTest::mousePress(own->viewport(), Qt::LeftButton, {}, rowCentre(own, 6));
        QTest::mousePress(ref->viewport(), Qt::LeftButton, {}, rowCentre(ref, 6));
        QVERIFY(same("a row held down"));
        QTest::mouseRelease(own->viewport(), Qt::LeftButton, {}, rowCentre(own, 6));
        QTest::mouseRelease(ref->viewport(), Qt::LeftButton, {}, rowCentre(ref, 6));
        QVERIFY(same("a row let go"));
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2 + 7);
        QVERIFY(same("scrolled half way"));
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QVERIFY(same("at the end"));
        grid.setResultSet(rows(4));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        QVERIFY(same("fewer rows than fit"));
    }

    // Rows of a table the grid no longer shows never reach the next one,
    // however late their batch arrives; the next one's rows have its own
    // columns, though the same row thread goes on reading them.
    void staleBatchesNeverReachALaterTable()
    {
        GridModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto first = std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("A"), 100000, 30));
        model.setResultSet(first);
        QTRY_VERIFY(model.rowCount() > 0); // the first table's batches are coming in
        auto second = std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("B"), 3000, 5, 3));
        model.setResultSet(second);
        QSignalSpy done(&model, &GridModel::loadingFinished);
        QTRY_COMPARE(done.count(), 1);
        QTest::qWait(100); // time for a late batch of the first table
        QCOMPARE(model.rowCount(), 3000);
        QCOMPARE(model.columnCount(), 3);
        for (int r = 0; r < model.rowCount(); ++r) {
            QVERIFY2(model.text(r, 0) == QStringLiteral("B-%1").arg(r), qPrintable(model.text(r, 0)));
            QVERIFY2(model.text(r, 2) == QStringLiteral("%1/2").arg(r), qPrintable(model.text(r, 2)));
        }
        QCOMPARE(second->fetchedCount(), 3000);
    }

    // A model destroyed mid-load: the row thread stops at its next step and
    // nothing it read reaches the freed model (under the address sanitizer).
    void modelDestroyedWhileItsRowsAreRead()
    {
        auto rows = std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("C"), 100000, 20));
        {
            GridModel model;
            model.setResultSet(rows);
            QTRY_VERIFY(model.rowCount() > 0);
            QVERIFY(model.isLoading());
        }
        QTest::qWait(100);
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QVERIFY(rows->fetchedCount() < 100000);
    }

    // A cell typed over shows its new text while the server is still
    // writing it, the window going on meanwhile; the server gets the row's
    // values as they were. A refused write brings the old text back and says
    // why; a grid closed meanwhile still has its write made.
    void editsAreWrittenWhileTheWindowGoesOn()
    {
        auto source = new GatedEditSource;
        auto rows = std::make_shared<db::ResultSet>(std::unique_ptr<db::RowSource>(source));
        rows->setUpdatable(true);
        auto grid = std::make_unique<Grid>(nullptr, false);
        grid->resize(400, 200);
        grid->gridModel()->setEditable(true);
        grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
        grid->setResultSet(rows);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QTRY_COMPARE(grid->gridModel()->rowCount(), 3);
        GridModel &model = *grid->gridModel();
        QSignalSpy failed(&model, &GridModel::editFailed);

        typeOver(*grid, 1, 1, QStringLiteral("changed"));
        QTRY_VERIFY(model.hasPendingEdits());
        QCOMPARE(model.text(1, 1), QStringLiteral("changed"));
        QVERIFY(!(model.flags(model.index(1, 1)) & Qt::ItemIsEditable)); // not twice at once
        QVERIFY(model.flags(model.index(2, 1)) & Qt::ItemIsEditable);
        QTest::qWait(50); // the write is held: the event loop runs all the same
        QCOMPARE(rows->rows().text(1, 1), QStringLiteral("label 1"));
        typeOver(*grid, 2, 1, QStringLiteral("refused"));
        QTRY_COMPARE(model.text(2, 1), QStringLiteral("refused")); // the editor commits through the event loop
        source->release();
        QTRY_VERIFY(!model.hasPendingEdits());
        QCOMPARE(model.text(1, 1), QStringLiteral("changed"));
        QCOMPARE(rows->rows().text(1, 1), QStringLiteral("changed"));
        QCOMPARE(model.text(2, 1), QStringLiteral("label 2"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(1).toString(), QStringLiteral("The server refused it."));
        QVERIFY(!source->onWindowThread);
        QCOMPARE(source->rowsSeen.value(0), (QVariantList{1, QStringLiteral("label 1")}));
        QCOMPARE(source->written, (QList<QVariantList>{{1, 1, QStringLiteral("changed")}}));

        // Closed while a write is held.
        {
            std::lock_guard lock(source->mutex);
            source->open = false;
        }
        typeOver(*grid, 0, 1, QStringLiteral("last"));
        QTRY_VERIFY(model.hasPendingEdits());
        grid.reset();
        source->release();
        waitForDatabaseThreads();
        QCoreApplication::processEvents();
        QCOMPARE(source->written.size(), 2);
        QCOMPARE(source->written.last(), (QVariantList{0, 1, QStringLiteral("last")}));
    }

    // A click on a column's name sorts by it (numbers, dates and GUIDs by
    // value, text without regard to case, nulls first), again the other way,
    // a third time back to the result's order.
    void headerClicksSortEachKindOfColumn()
    {
        Grid grid(nullptr, true);
        QVERIFY(showMixedRows(grid));
        const GridModel &model = *grid.gridModel();
        const QStringList unsorted = columnTexts(model, 0);

        clickHeader(grid, 0);
        QCOMPARE(columnTexts(model, 0), (QStringList{"NULL", "-5", "9", "10", "100"}));
        QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), 0);
        QCOMPARE(grid.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        clickHeader(grid, 0);
        QCOMPARE(columnTexts(model, 0), (QStringList{"100", "10", "9", "-5", "NULL"}));
        clickHeader(grid, 0);
        QCOMPARE(columnTexts(model, 0), unsorted);
        QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), -1);

        clickHeader(grid, 1); // "A" and "a" are equal and keep their order
        QCOMPARE(columnTexts(model, 1), (QStringList{"A", "a", "b", "c,d", "say \"hi\""}));
        clickHeader(grid, 2);
        QCOMPARE(columnTexts(model, 2), (QStringList{"NULL", "2023-12-31 23:59:59.5", "2024-03-01",
                                                     "2024-03-01 09:00:00", "2024-03-01 10:00:00"}));
        clickHeader(grid, 3); // braces and case do not matter
        QCOMPARE(columnTexts(model, 0), (QStringList{"NULL", "-5", "9", "10", "100"}));
        // Grid terms follow the shown order.
        QCOMPARE(grid.textMatrix(2, 1), QStringLiteral("-5"));
        QCOMPARE(model.data(model.index(0, 0), Qt::AccessibleTextRole).toString(), QStringLiteral("null"));
        QCOMPARE(grid.textMatrix(1, 1), QString()); // exports and copies keep an empty text
    }

    // Typing in the filter row narrows the rows held: contains, =, >, <,
    // null and !null, several columns together, on top of a sort.
    void filterRowNarrowsAsYouType()
    {
        Grid grid(nullptr, true);
        QVERIFY(showMixedRows(grid));
        const GridModel &model = *grid.gridModel();
        QVERIFY(!grid.filterBox(1));
        grid.setFilterRowVisible(true);
        const auto type = [&](int col, const QString &text) {
            QLineEdit *box = grid.filterBox(col);
            QVERIFY(box && box->isVisible());
            QTest::mouseClick(box, Qt::LeftButton);
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Delete);
            QTest::keyClicks(box, text);
        };
        QSignalSpy arranged(grid.gridModel(), &GridModel::arranged);
        type(2, QStringLiteral("A"));
        QCOMPARE(columnTexts(model, 1), (QStringList{"A", "a", "say \"hi\""}));
        QVERIFY(arranged.count() >= 1);
        type(2, QStringLiteral("=a"));
        QCOMPARE(columnTexts(model, 1), (QStringList{"A", "a"}));
        type(2, QString());
        type(1, QStringLiteral(">9"));
        QCOMPARE(columnTexts(model, 0), (QStringList{"10", "100"}));
        type(1, QStringLiteral("<10"));
        QCOMPARE(columnTexts(model, 0), (QStringList{"9", "-5"}));
        type(1, QStringLiteral("null"));
        QCOMPARE(columnTexts(model, 1), (QStringList{"a"}));
        type(1, QStringLiteral("!null"));
        type(3, QStringLiteral(">2024"));
        QCOMPARE(columnTexts(model, 0), (QStringList{"10", "100", "-5"}));
        clickHeader(grid, 0);
        QCOMPARE(columnTexts(model, 0), (QStringList{"-5", "10", "100"}));
        QCOMPARE(model.heldRows(), 5);
        // Hiding the row drops its filters; the sort stays.
        grid.setFilterRowVisible(false);
        QCOMPARE(columnTexts(model, 0), (QStringList{"NULL", "-5", "9", "10", "100"}));
    }

    // Ctrl+C copies the selected cells as tab-separated text under their
    // columns' names; as CSV, cells with commas or quotes are quoted.
    void selectionCopiesWithItsHeader()
    {
        Grid grid(nullptr, true);
        QVERIFY(showMixedRows(grid));
        const auto cellAt = [&](int row, int column) {
            return grid.visualRect(grid.model()->index(row, column)).center();
        };
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellAt(2, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, cellAt(4, 1));
        QTest::keyClick(grid.viewport(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(),
                 QByteArray("N\tName\n100\tc,d\n\ta\n-5\t\"say \"\"hi\"\"\"\n"));
        grid.copySelection(true);
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(),
                 QByteArray("N,Name\r\n100,\"c,d\"\r\n,a\r\n-5,\"say \"\"hi\"\"\"\r\n"));
        // A whole row, by the fixed column; then a column added with Ctrl.
        QTest::mouseClick(grid.verticalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(5, grid.rowViewportPosition(1) + grid.rowHeight(1) / 2));
        QTest::keyClick(grid.viewport(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral(
                     "N\tName\tWhen\tID\n9\tA\t2023-12-31 23:59:59.5\t00000009-0000-0000-0000-000000000000\n"));
    }

    // Ctrl+F finds a text in every cell; Enter and F3 go to the next match,
    // Shift+F3 to the one before, round the end; Esc closes.
    void findInGridGoesFromMatchToMatch()
    {
        Grid grid(nullptr, true);
        QVERIFY(showMixedRows(grid));
        grid.setFocus();
        QTest::keyClick(grid.viewport(), Qt::Key_F, Qt::ControlModifier);
        GridFindBar *bar = grid.findBar();
        QVERIFY(bar && bar->isVisible());
        QTRY_VERIFY(bar->textBox()->hasFocus());
        QTest::keyClicks(bar->textBox(), QStringLiteral("A")); // 0000000A-..., A, a and say "hi"
        QCOMPARE(bar->countText(), QStringLiteral("4 matches"));
        QTest::keyClick(bar->textBox(), Qt::Key_Return);
        QCOMPARE(grid.currentIndex(), grid.model()->index(0, 3)); // 0000000A-...
        QTest::keyClick(bar->textBox(), Qt::Key_F3);
        QCOMPARE(grid.currentIndex(), grid.model()->index(1, 1));
        QCOMPARE(bar->countText(), QStringLiteral("2 of 4"));
        QTest::keyClick(bar->textBox(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(grid.currentIndex(), grid.model()->index(0, 3));
        QTest::keyClick(bar->textBox(), Qt::Key_F3, Qt::ShiftModifier); // round to the last
        QCOMPARE(grid.currentIndex(), grid.model()->index(4, 1));
        QTest::keyClick(bar->textBox(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QTest::keyClick(grid.viewport(), Qt::Key_F3); // F3 in the grid: the next match
        QCOMPARE(grid.currentIndex(), grid.model()->index(0, 3));
    }

    // A large result is sorted, filtered and searched on a database thread;
    // asked while its rows still arrive, once they are all in.
    void largeResultsAreArrangedOffTheWindowThread()
    {
        Grid grid(nullptr, true);
        grid.resize(600, 300);
        grid.gridModel()->setArrangeInPlaceLimit(100);
        grid.gridModel()->setBatchSize(500);
        grid.setResultSet(std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("S"), 3000, 10)));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTRY_VERIFY(grid.gridModel()->rowCount() > 0);
        QVERIFY(grid.gridModel()->isLoading());
        QSignalSpy arranged(grid.gridModel(), &GridModel::arranged);
        clickHeader(grid, 0);
        clickHeader(grid, 0); // descending, asked while loading
        QTRY_COMPARE(arranged.count(), 1);
        const GridModel &model = *grid.gridModel();
        QCOMPARE(model.rowCount(), 3000);
        QCOMPARE(model.text(0, 0), QStringLiteral("S-999")); // text order: "S-999" > "S-2999"
        grid.setFilterRowVisible(true);
        QTest::keyClicks(grid.filterBox(1), QStringLiteral("-29"));
        QTRY_COMPARE(model.rowCount(), 111); // S-29, S-290..S-299, S-2900..S-2999
        QCOMPARE(model.text(0, 0), QStringLiteral("S-2999"));
        QCOMPARE(model.text(110, 0), QStringLiteral("S-29"));
    }

    // Sorting a result of 600,000 rows: every key in order, ties in the
    // result's order both ways, and a column already in order turned round.
    void sortsOfManyRowsKeepTheirTies()
    {
        constexpr int kRows = 600000;
        Grid grid(nullptr, true);
        grid.resize(400, 300);
        grid.setResultSet(tiedRows(kRows));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const GridModel &model = *grid.gridModel();
        QTRY_VERIFY_WITH_TIMEOUT(!model.isLoading(), 20000);
        QCOMPARE(model.rowCount(), kRows);
        QSignalSpy arranged(grid.gridModel(), &GridModel::arranged);
        auto sortedBy = [&](int column, bool descending) {
            const int before = arranged.count();
            clickHeader(grid, column);
            return QTest::qWaitFor([&] { return arranged.count() > before; }, 20000)
                   && grid.horizontalHeader()->sortIndicatorOrder()
                          == (descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        };
        // Both columns of every shown row, and whether they keep the order asked.
        auto inOrder = [&](bool descending) {
            qint64 lastKey = 0, lastRow = -1;
            for (int r = 0; r < kRows; ++r) {
                const qint64 key = model.text(r, 0).toLongLong(), row = model.text(r, 1).toLongLong();
                if (r > 0 && key != lastKey && (key < lastKey) != descending)
                    return false;
                if (r > 0 && key == lastKey && row <= lastRow)
                    return false;
                lastKey = key;
                lastRow = row;
            }
            return true;
        };
        QVERIFY(sortedBy(0, false));
        QVERIFY(inOrder(false));
        QCOMPARE(model.text(0, 0), QStringLiteral("-300"));
        QVERIFY(sortedBy(0, true));
        QVERIFY(inOrder(true));
        QCOMPARE(model.text(0, 0), QStringLiteral("300"));
        QVERIFY(sortedBy(1, false));
        QCOMPARE(model.text(0, 1), QStringLiteral("0"));
        QCOMPARE(model.text(kRows - 1, 1), QStringLiteral("599999"));
        QVERIFY(sortedBy(1, true));
        QCOMPARE(model.text(0, 1), QStringLiteral("599999"));
        QCOMPARE(model.text(kRows - 1, 1), QStringLiteral("0"));
    }

    // Ctrl+End while rows still arrive reaches the table's last row once they
    // are all there, without the window waiting; another move stops that.
    void controlEndFollowsTheLoadToTheLastRow()
    {
        Grid grid(nullptr, true);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.gridModel()->setBatchSize(500);
        grid.setResultSet(std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("E"), 6000, 15)));
        QTRY_VERIFY(grid.rows() > 1);
        grid.setCurrentCell(1, 1);
        grid.setFocus();
        QVERIFY(grid.gridModel()->isLoading());
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!grid.gridModel()->isLoading(), 20000);
        QCOMPARE(grid.row(), 6000);
        QCOMPARE(grid.textMatrix(grid.row(), 1), QStringLiteral("E-5999"));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid.row(), 1);

        grid.setResultSet(std::make_shared<db::ResultSet>(std::make_unique<SlowSource>(QStringLiteral("F"), 6000, 15)));
        QTRY_VERIFY(grid.rows() > 3);
        grid.setCurrentCell(1, 1);
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!grid.gridModel()->isLoading(), 20000);
        QCOMPARE(grid.row(), 1);
    }

    void gridTermsMapToTheModel()
    {
        Grid grid(nullptr, true);
        grid.resize(400, 300);
        grid.setResultSet(rows(200));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        QCOMPARE(grid.rows(), 201);
        QCOMPARE(grid.cols(), 4);
        QCOMPARE(grid.textMatrix(0, 0), QString());
        QCOMPARE(grid.textMatrix(0, 2), QStringLiteral("ObjectID"));
        QCOMPARE(grid.textMatrix(1, 1), QStringLiteral("a0"));
        QCOMPARE(grid.textMatrix(5, 0), QString());
        QCOMPARE(grid.textMatrix(200, 3), QStringLiteral("199"));
        QCOMPARE(grid.row(), -1);
        grid.setCurrentCell(7, 2);
        QCOMPARE(grid.row(), 7);
        QCOMPARE(grid.col(), 2);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setTopRow(40);
        QCOMPARE(grid.topRow(), 40);
        QVERIFY(grid.rowIsVisible(0));
        QVERIFY(grid.rowIsVisible(41));
        QVERIFY(!grid.rowIsVisible(10));
        QVERIFY(!grid.rowIsVisible(199));

        Grid plain(nullptr, false);
        plain.setResultSet(rows(3));
        QTRY_VERIFY(!plain.gridModel()->isLoading());
        QCOMPARE(plain.cols(), 3);
        QCOMPARE(plain.textMatrix(1, 0), QStringLiteral("a0"));
    }

    void mousePositionInGridTerms()
    {
        Grid grid(nullptr, true);
        grid.resize(400, 300);
        grid.setResultSet(rows(10));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QRect cell = grid.visualRect(grid.model()->index(2, 1));
        grid.setMousePosition(cell.center());
        QCOMPARE(grid.mouseRow(), 3);
        QCOMPARE(grid.mouseCol(), 2);
        grid.setMousePosition(QPoint(cell.center().x(), grid.viewport()->height() - 1));
        QCOMPARE(grid.mouseRow(), -1);
    }

    void frozenColumnsStayWhileScrolling()
    {
        Grid grid(nullptr, true);
        grid.resize(200, 200);
        grid.setResultSet(rows(100));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        for (int c = 0; c < 3; ++c)
            grid.setColumnWidth(c, 150);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFrozenColumns(1);
        QVERIFY(grid.frozenView());
        QVERIFY(grid.frozenView()->isVisible());
        QVERIFY(!grid.frozenView()->isColumnHidden(0));
        QVERIFY(grid.frozenView()->isColumnHidden(1));
        QCOMPARE(grid.frozenView()->width(), 150);
        grid.setLeftCol(3);
        QCOMPARE(grid.leftCol(), 3);
        grid.verticalScrollBar()->setValue(200);
        QCOMPARE(grid.frozenView()->verticalScrollBar()->value(), 200);
        grid.setFrozenColumns(0);
        QVERIFY(!grid.frozenView()->isVisible());
        // A reload with fewer columns never freezes more than there are.
        grid.setFrozenColumns(9);
        QCOMPARE(grid.frozenColumns(), 3);
    }

    // Columns frozen once (and unfrozen, or frozen still) leave an overlay view
    // whose scrolling is kept in step with the grid's. A table that grows
    // after it was shown must still scroll to its end: Ctrl+End once stopped
    // at the rows read before the rest came in, where the hidden overlay's
    // scroll range had stayed.
    void controlEndReachesTheEndWithColumnsFrozenBefore()
    {
        for (const int frozen : {0, 1}) {
            Grid grid(nullptr, true);
            grid.resize(500, 300);
            grid.show();
            QVERIFY(QTest::qWaitForWindowExposed(&grid));
            grid.setResultSet(rows(50));
            QTRY_VERIFY(!grid.gridModel()->isLoading());
            grid.setFrozenColumns(1);
            grid.setFrozenColumns(frozen);
            // As a table opens: its first rows at once, the rest from the loader.
            auto table = numberRows(300000);
            table->fetchMore(200);
            grid.setResultSet(table);
            grid.setFrozenColumns(frozen);
            QTRY_VERIFY_WITH_TIMEOUT(!grid.gridModel()->isLoading(), 20000);
            const QRect cell = grid.visualRect(grid.gridModel()->index(3, 2));
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
            QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(grid.currentIndex().row(), 299999);
            QVERIFY2(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())),
                     qPrintable(QStringLiteral("scrolled to %1 of %2")
                                    .arg(grid.verticalScrollBar()->value())
                                    .arg(grid.verticalScrollBar()->maximum())));
            if (frozen)
                QTRY_COMPARE(grid.frozenView()->verticalScrollBar()->value(), grid.verticalScrollBar()->value());
        }
    }

    // The frozen columns are an overlay view: the mouse and the wheel reach its
    // viewport, not the grid's, and must work there like anywhere else.
    void mouseAndWheelOverTheFrozenColumns_data()
    {
        QTest::addColumn<bool>("fixedColumn");
        QTest::newRow("with-fixed-column") << true;
        QTest::newRow("without-fixed-column") << false;
    }
    void mouseAndWheelOverTheFrozenColumns()
    {
        QFETCH(bool, fixedColumn);
        Grid grid(nullptr, fixedColumn);
        grid.resize(360, 240);
        grid.setResultSet(rows(300));
        QTRY_VERIFY(!grid.gridModel()->isLoading());
        for (int c = 0; c < 3; ++c)
            grid.setColumnWidth(c, 120);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFrozenColumns(2);
        QWidget *overlay = grid.frozenView()->viewport();
        QSignalSpy moved(&grid, &Grid::mouseMoved);
        QSignalSpy right(&grid, &Grid::rightButtonPressed);
        const int first = fixedColumn ? 1 : 0;
        for (int c = 0; c < 2; ++c) {
            const QPoint at = grid.frozenView()->visualRect(grid.model()->index(3, c)).center();
            QTest::mouseMove(overlay, at);
            QTRY_COMPARE(grid.mouseCol(), first + c);
            QCOMPARE(grid.mouseRow(), 4);
            QTest::mouseClick(overlay, Qt::LeftButton, {}, at);
            QCOMPARE(grid.row(), 4);
            QCOMPARE(grid.col(), first + c);
            QTest::mouseClick(overlay, Qt::RightButton, {}, at);
            QCOMPARE(right.count(), c + 1);
        }
        QVERIFY(moved.count() >= 2);
        // Over the overlay's header: the header row.
        QTest::mouseMove(grid.frozenView()->horizontalHeader(), QPoint(10, 5));
        QTRY_COMPARE(grid.mouseRow(), 0);
        QCOMPARE(grid.mouseCol(), first);

        // The wheel over the overlay scrolls both views together.
        const QPoint at = overlay->rect().center();
        QWheelEvent wheel(at, overlay->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(overlay, &wheel);
        QVERIFY(grid.verticalScrollBar()->value() > 0);
        QCOMPARE(grid.frozenView()->verticalScrollBar()->value(), grid.verticalScrollBar()->value());
        QCOMPARE(grid.rowAt(5), grid.frozenView()->rowAt(5));
    }
};

QTEST_MAIN(tst_Grid)
#include "tst_grid.moc"
