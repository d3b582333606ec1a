#include "platform/resultset.h"
#include "widgets/celldelegate.h"
#include "widgets/grid.h"
#include "widgets/gridmodel.h"

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleFactory>

using namespace korva;

namespace {

// What the style paints for a cell, given the same option: the picture the
// grid's own painting must match.
class StylePainted final : public CellDelegate
{
public:
    using CellDelegate::CellDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget *widget = opt.widget;
        (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

std::shared_ptr<db::ResultSet> cells()
{
    auto rs = db::ResultSet::inMemory(
        {QStringLiteral("N"), QStringLiteral("Name"), QStringLiteral("ObjectID"), QStringLiteral("Note")});
    const QString guid = QStringLiteral("3f2504e0-4f89-11d3-9a0c-0305e82c3301");
    rs->addRow({1, QStringLiteral("Ann"), guid, QStringLiteral("short")});
    rs->addRow({-22, QStringLiteral("Bjørn Ødegård"), guid, QVariant()});
    rs->addRow({333, QString(), QVariant(), QStringLiteral("a note much longer than its column is wide, elided")});
    rs->addRow({4444, QStringLiteral("two\nlines"), guid, QStringLiteral("tab\there")});
    rs->addRow({5, QStringLiteral("  spaced  "), guid, QStringLiteral("עברית and English")});
    rs->addRow({QVariant(), QStringLiteral("Zoë"), guid, QStringLiteral("ends in a space ")});
    rs->addRow({7, QStringLiteral("W"), guid, QStringLiteral("末尾")});
    rs->addRow({8, QStringLiteral("x"), guid, QStringLiteral("y")});
    return std::shared_ptr<db::ResultSet>(std::move(rs));
}

QImage painted(Grid &grid, QAbstractItemDelegate *delegate)
{
    grid.setItemDelegate(delegate);
    return grid.viewport()->grab().toImage();
}

// Where two pictures first differ, or an empty text.
QString firstDifference(const QImage &a, const QImage &b)
{
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("at %1,%2").arg(x).arg(y);
    return a.size() == b.size() ? QString() : QStringLiteral("sizes differ");
}

} // namespace

class tst_CellDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellsArePaintedAsTheStylePaintsThem_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<bool>("rightToLeft");
        QTest::newRow("fusion") << QStringLiteral("fusion") << false;
        QTest::newRow("fusion, right to left") << QStringLiteral("fusion") << true;
        QTest::newRow("windows") << QStringLiteral("windows") << false;
    }

    // Every kind of cell the grid shows, in every state a user puts it in:
    // selected, current with the focus, marked, bold, NULL, elided, empty,
    // of two lines, in another script, active and not.
    void cellsArePaintedAsTheStylePaintsThem()
    {
        QFETCH(QString, style);
        QFETCH(bool, rightToLeft);
        std::unique_ptr<QStyle> owned(QStyleFactory::create(style));
        QVERIFY(owned);
        Grid grid(nullptr, false);
        grid.setStyle(owned.get());
        grid.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        grid.resize(640, 320);
        grid.setResultSet(cells());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTRY_COMPARE(grid.gridModel()->rowCount(), 8);
        QCOMPARE(grid.style()->metaObject()->className(),
                 style == QLatin1String("fusion") ? "QFusionStyle" : "QWindowsStyle");
        grid.horizontalHeader()->resizeSection(2, 90); // the GUIDs are elided
        grid.horizontalHeader()->resizeSection(3, 120);
        grid.gridModel()->setBoldRow(1, true);
        grid.gridModel()->setMarkedRow(6);

        // A row's cells selected with the mouse, then the current cell moved
        // by key without changing the selection, onto an elided cell: cells
        // selected without the focus and the focus frame on one not selected.
        const auto click = [&](int row, int column, Qt::KeyboardModifiers modifiers) {
            const QRect cell = grid.visualRect(grid.gridModel()->index(row, column));
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, modifiers, cell.center());
        };
        click(4, 0, {});
        click(4, 3, Qt::ShiftModifier);
        QTest::keyClick(&grid, Qt::Key_Up, Qt::ControlModifier);
        QTest::keyClick(&grid, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(grid.currentIndex(), grid.gridModel()->index(2, 3));
        QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 4);
        QVERIFY(grid.hasFocus());

        CellDelegate own;
        StylePainted styles;
        const auto compare = [&](const char *when) {
            const QImage ours = painted(grid, &own);
            const QImage theirs = painted(grid, &styles);
            QVERIFY2(ours == theirs,
                     qPrintable(QLatin1String(when) + QLatin1Char(' ') + firstDifference(ours, theirs)));
        };
        grid.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        compare("active");
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!grid.isActiveWindow());
        compare("inactive");
        // Two pictures of the grid's 32 cells, all but the one of two lines
        // painted without the style's text layout.
        QCOMPARE(own.cellsLaidOutOnce(), 2 * 31);
        grid.setItemDelegate(nullptr);
    }
};

QTEST_MAIN(tst_CellDelegate)
#include "tst_celldelegate.moc"
