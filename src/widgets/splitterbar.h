#pragma once

#include <QtWidgets/QFrame>

namespace korva {

// A bar between two panes that the user drags with the mouse, or moves with
// the Up and Down keys once it has the focus. Where the panes go is the
// window's business: the bar only says how far it was moved.
class SplitterBar : public QFrame
{
    Q_OBJECT

public:
    explicit SplitterBar(QWidget *parent = nullptr);

Q_SIGNALS:
    void dragged(int dyPixels);  // while the button is down, from where it went down
    void stepped(int direction); // -1 Up, +1 Down

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_dragging = false;
};

} // namespace korva
