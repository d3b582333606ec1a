#pragma once

#include <QtCore/QRect>

namespace korva {

// Where the main window's controls go, in twips, for a window of outer
// width w and height h with the splitter bar's top at splitterTop. The
// window's client area starts at (0, 0) below the menu bar.
struct MainLayout
{
    int width = 0; // after the minimum size is applied
    int height = 0;
    int splitterTop = 0; // after clamping
    QRect splitter;
    QRect tables;
    QRect columns;
    QRect tabs;
    QRect back;
    QRect rowsLabel;
    QRect rowsBox;
    QRect data;
    // Inside the tab box (from its top left; the WHERE page starts below the tab bar):
    QRect description; // txtTableInfo / txtColumnInfo
    QRect where;
    QRect apply;
    QRect clear;
    QRect sticky;
    QRect whereLabel;
};

inline constexpr int kMinMainWidth = 11285;
inline constexpr int kMinMainHeight = 4000;
inline constexpr int kMinSplitterTop = 1215;
inline constexpr int kSplitterBottomGap = 1560;
// Twips of the outer window beyond the client area: borders and menu bar.
inline constexpr int kNonClientWidth = 80;
inline constexpr int kNonClientHeight = 680;

int clampSplitterTop(int top, int height);
MainLayout layoutMainWindow(int width, int height, int splitterTop);

} // namespace korva
