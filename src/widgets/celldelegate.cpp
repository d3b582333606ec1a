#include "widgets/celldelegate.h"

#include "widgets/gridmodel.h"

#include <QtGui/QPainter>
#include <QtGui/QTextLayout>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>

namespace korva {

namespace {

// The styles whose item painting is the common one, taken as they are: a
// style derived from them, a proxy or a style sheet may paint items its own
// way, and is left to do so.
bool paintsItemsTheCommonWay(const QStyle *style)
{
    const char *name = style->metaObject()->className();
    return qstrcmp(name, "QFusionStyle") == 0 || qstrcmp(name, "QWindowsStyle") == 0;
}

// A cell the common item painting lays out as the option's rectangle, text
// only: no check box, no icon, no wrapping, not being edited. A text holding
// a string terminator is elided by the variants it separates, and left to
// the style too.
bool isPlainTextCell(const QStyleOptionViewItem &opt)
{
    constexpr auto others = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDecoration
                            | QStyleOptionViewItem::WrapText;
    return !(opt.features & others) && !(opt.state & QStyle::State_Editing) && opt.showDecorationSelected
           && (opt.decorationPosition == QStyleOptionViewItem::Left
               || opt.decorationPosition == QStyleOptionViewItem::Right)
           && !opt.text.contains(QChar(0x9c));
}

// Lays the text out as the style does to draw it, in lines no wider than
// the width; false when it takes more than one line.
bool layOutOnOneLine(QTextLayout &layout, const QTextOption &option, int width)
{
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
    }
    const bool oneLine = !layout.createLine().isValid();
    layout.endLayout();
    return oneLine;
}

} // namespace

void CellDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(GridModel::IsNullRole).toBool())
        return;
    option->text = QStringLiteral("NULL");
    option->font.setItalic(true);
    option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::Disabled, QPalette::Text));
}

void CellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    const QStyle *widgetStyle = widget ? widget->style() : QApplication::style();
    if (!paintsItemsTheCommonWay(widgetStyle) || !isPlainTextCell(opt)) {
        widgetStyle->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    // The parts of the cell are asked of the style as its own painting asks them.
    const QStyle *style = widgetStyle->proxy();

    // The text is laid out as the style lays it out to draw it: inside the
    // focus frame's margin, on lines no wider than that, one line kept.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::ManualWrap);
    textOption.setTextDirection(opt.direction);
    textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
    QTextLayout layout(opt.text, opt.font);
    QPointF at;
    bool elided = false;
    if (!opt.text.isEmpty()) {
        if (!layOutOnOneLine(layout, textOption, textRect.width())) { // elided by lines
            widgetStyle->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
            return;
        }
        const QRect placed = QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment,
                                                 layout.boundingRect().size().toSize(), textRect);
        at = QPointF(textRect.x(), placed.top());
        elided = layout.lineAt(0).naturalTextWidth() > textRect.width();
    }
    ++m_laidOutOnce;

    painter->save();
    if (painter->hasClipping())
        painter->setClipRect(opt.rect, Qt::IntersectClip);
    else
        painter->setClipRect(opt.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    if (!opt.text.isEmpty()) {
        QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
            group = QPalette::Inactive;
        painter->setPen(
            opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        if (elided) {
            // What is left of a text too wide is laid out on its own, as the
            // style does.
            QTextLayout shortened(QFontMetrics(opt.font).elidedText(opt.text, opt.textElideMode, textRect.width()),
                                  opt.font);
            layOutOnOneLine(shortened, textOption, textRect.width());
            shortened.draw(painter, at);
        } else {
            layout.draw(painter, at);
        }
    }

    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        focus.backgroundColor = opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::Highlight
                                                                                            : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

} // namespace korva
