#pragma once

#include <QtWidgets/QStyledItemDelegate>

namespace korva {

// Paints the grid's cells.
//
// A missing value is shown as NULL, greyed and slanted, so that it is not
// taken for an empty text; what the cell holds stays empty for everything
// that reads it.
//
// A cell of one line of text, in a style that paints view items the common
// way, is painted here with one text layout instead of the style's several
// (its size, its elision and its drawing each lay the text out again), to
// the same pixels. Everything else is left to the style.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // How many cells were painted here rather than by the style.
    qsizetype cellsLaidOutOnce() const { return m_laidOutOnce; }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    mutable qsizetype m_laidOutOnce = 0;
};

} // namespace korva
