#include "widgets/splitterbar.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>

namespace korva {

SplitterBar::SplitterBar(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::SizeVerCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void SplitterBar::mousePressEvent(QMouseEvent *event)
{
    m_dragging = true;
    event->accept();
}

void SplitterBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    event->accept();
}

void SplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    // The bar follows the mouse, so the position is the distance moved.
    if (m_dragging)
        Q_EMIT dragged(int(event->position().y()));
    event->accept();
}

void SplitterBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        Q_EMIT stepped(event->key() == Qt::Key_Up ? -1 : 1);
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace korva
