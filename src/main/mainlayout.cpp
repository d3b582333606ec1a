#include "main/mainlayout.h"

#include <algorithm>

namespace korva {

int clampSplitterTop(int top, int height)
{
    return std::max(kMinSplitterTop, std::min(top, height - kSplitterBottomGap));
}

MainLayout layoutMainWindow(int width, int height, int splitterTop)
{
    MainLayout l;
    l.width = std::max(width, kMinMainWidth);
    l.height = std::max(height, kMinMainHeight);
    l.splitterTop = clampSplitterTop(splitterTop, l.height);
    const int s = l.splitterTop;
    const int margin = 60;
    const int paneTop = 60;
    const int paneBottom = s - 400;

    l.splitter = QRect(0, s, l.width, 75);
    l.tables = QRect(margin, paneTop, 3000, paneBottom - paneTop);
    l.columns = QRect(margin + 3000 + 60, paneTop, 2500, paneBottom - paneTop);
    const int tabLeft = l.columns.right() + 1 + 60;
    l.tabs = QRect(tabLeft, paneTop, l.width - 140 - tabLeft, paneBottom - paneTop);

    l.back = QRect(margin, s - 320, 1000, 285);
    l.rowsLabel = QRect(margin + 1100, s - 260, 1400, 240);
    l.rowsBox = QRect(margin + 2550, s - 300, 1500, 285);

    const int dataTop = s + 75;
    l.data = QRect(margin, dataTop, l.width - 140, std::max(0, l.height - kNonClientHeight - dataTop));

    // Within a tab page (origin at the page's top left; the page is the tab
    // box less its tab bar, about 350 twips).
    const int pageHeight = std::max(0, l.tabs.height() - 350);
    const int inner = std::max(0, l.tabs.width() - 90);
    l.description = QRect(45, 45, inner, std::max(0, pageHeight - 90));
    l.whereLabel = QRect(45, 45, 1000, 240);
    l.where = QRect(45, 300, inner, std::max(0, l.tabs.height() - 1650));
    l.sticky = QRect(45, l.tabs.height() - 827, inner, 285);
    l.apply = QRect(45, l.tabs.height() - 456, 1000, 330);
    l.clear = QRect(45 + 1100, l.tabs.height() - 456, 1000, 330);
    return l;
}

} // namespace korva
