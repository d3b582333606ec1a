#pragma once

#include <QtCore/QRect>
#include <QtCore/QSize>
#include <QtWidgets/QWidget>

class QTextBrowser;

namespace korva {

// The help window's limits and the browser's place in it, in twips.
inline constexpr int kMinHelpWidth = 2500;
inline constexpr int kMinHelpHeight = 2400;
// The browser for a window client area of the given size: a margin of 100 at
// either side and at the foot, 1 at the top.
QRect helpBrowserGeometry(QSize clientTwips);

// The program's help page, KORVA.htm beside the program, with its links.
class frmHelp : public QWidget
{
    Q_OBJECT

public:
    explicit frmHelp(QWidget *parent = nullptr);

    QTextBrowser *browser() const { return m_browser; }
    static QString helpPagePath();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QTextBrowser *m_browser;
};

} // namespace korva
