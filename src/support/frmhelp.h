#pragma once

#include <QtCore/QRect>
#include <QtCore/QSize>
#include <QtWidgets/QMainWindow>

class QTextBrowser;

namespace korva {

// The help window's limits and the browser's place in it, in twips.
inline constexpr int kMinHelpWidth = 2500;
inline constexpr int kMinHelpHeight = 2400;
// The browser for a window client area of the given size: a margin of 100 at
// either side and at the foot, 1 at the top.
QRect helpBrowserGeometry(QSize clientTwips);

// The program's help page, KORVA.htm beside the program, with its links.
// A main window, so that screen readers meet a window (a plain top-level
// widget is an anonymous filler to them) with the page as its content.
class frmHelp : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmHelp(QWidget *parent = nullptr);

    QTextBrowser *browser() const { return m_browser; }
    static QString helpPagePath();

private:
    QTextBrowser *m_browser;
};

} // namespace korva
