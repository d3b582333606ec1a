#include "support/ctooltip.h"

#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

namespace korva {

cTooltip::cTooltip(QObject *parent) : QObject(parent) {}

cTooltip::~cTooltip() { delete m_tip; }

bool cTooltip::Create(QWidget *owner)
{
    if (m_tip)
        return true;
    if (!owner)
        return false;
    m_owner = owner;
    m_tip = new QLabel(owner, Qt::ToolTip | Qt::BypassGraphicsProxyWidget);
    m_tip->setObjectName(QStringLiteral("hoverTooltip"));
    m_tip->setForegroundRole(QPalette::ToolTipText);
    m_tip->setBackgroundRole(QPalette::ToolTipBase);
    m_tip->setAutoFillBackground(true);
    m_tip->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_tip->setTextFormat(Qt::PlainText);
    m_tip->setContentsMargins(4, 2, 4, 2);
    m_tip->hide();
    m_initial = new QTimer(this);
    m_initial->setSingleShot(true);
    connect(m_initial, &QTimer::timeout, this, &cTooltip::showTip);
    m_autoPop = new QTimer(this);
    m_autoPop->setSingleShot(true);
    connect(m_autoPop, &QTimer::timeout, this, &cTooltip::hideTip);
    return true;
}

bool cTooltip::AddTool(QWidget *control, const QString &text)
{
    if (!m_tip || !control || m_texts.contains(control))
        return false;
    const QString t = text.isEmpty() ? QStringLiteral("Tool") + QString::number(ToolCount() + 1) : text;
    m_tools.append(control);
    m_texts.insert(control, t);
    m_longest = std::max(m_longest, int(t.size()) + 1);
    control->installEventFilter(this);
    control->setMouseTracking(true);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control)) {
        area->viewport()->installEventFilter(this);
        area->viewport()->setMouseTracking(true);
    }
    return true;
}

bool cTooltip::RemoveTool(QWidget *control)
{
    if (!m_tip || !control || !m_texts.contains(control))
        return false;
    m_texts.remove(control);
    m_tools.removeAll(control);
    control->removeEventFilter(this);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control))
        area->viewport()->removeEventFilter(this);
    if (m_hovered == control)
        hideTip();
    return true;
}

void cTooltip::setBackColor(const QColor &color)
{
    if (!m_tip)
        return;
    QPalette p = m_tip->palette();
    p.setColor(QPalette::ToolTipBase, color);
    m_tip->setPalette(p);
}

void cTooltip::setForeColor(const QColor &color)
{
    if (!m_tip)
        return;
    QPalette p = m_tip->palette();
    p.setColor(QPalette::ToolTipText, color);
    m_tip->setPalette(p);
}

int cTooltip::DelayTime(int which) const { return m_tip ? m_delays[which & 3] : 0; }

void cTooltip::setDelayTime(int which, int milliseconds)
{
    if (!m_tip)
        return;
    if ((which & 3) == 0) { // automatic: the others follow from the initial delay
        m_delays[0] = m_delays[3] = milliseconds;
        m_delays[1] = milliseconds / 5;
        m_delays[2] = milliseconds * 10;
    } else {
        m_delays[which & 3] = milliseconds;
    }
}

qint16 cTooltip::MaxTipWidth() const { return m_tip ? m_maxWidth : 0; }

void cTooltip::setMaxTipWidth(qint16 pixels)
{
    if (!m_tip)
        return;
    m_maxWidth = pixels < 1 ? qint16(-1) : pixels;
}

qint16 cTooltip::ToolCount() const { return m_tip ? qint16(m_texts.size()) : qint16(0); }

QString cTooltip::ToolText(QWidget *control) const
{
    if (!m_tip)
        return {};
    QString t = m_texts.value(control);
    const qsizetype zero = t.indexOf(QChar(0));
    if (zero >= 0)
        t.truncate(zero);
    return t;
}

void cTooltip::setToolText(QWidget *control, const QString &text)
{
    if (!m_tip || !m_texts.contains(control))
        return;
    m_texts[control] = text;
    m_longest = std::max(m_longest, int(text.size()) + 1);
    if (m_hovered == control)
        refreshShown();
}

QWidget *cTooltip::hWnd() const { return m_tip; }

bool cTooltip::isTipVisible() const { return m_tip && m_tip->isVisible(); }

QString cTooltip::shownText() const { return isTipVisible() ? m_tip->text() : QString(); }

QWidget *cTooltip::toolFor(QObject *watched) const
{
    for (const QPointer<QWidget> &tool : m_tools) {
        if (!tool)
            continue;
        if (watched == tool)
            return tool;
        if (auto *area = qobject_cast<QAbstractScrollArea *>(tool.data()); area && watched == area->viewport())
            return tool;
    }
    return nullptr;
}

bool cTooltip::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *tool = nullptr;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
        tool = toolFor(watched);
        if (tool && m_hovered != tool) {
            m_hovered = tool;
            hideTip();
        }
        if (tool && !isTipVisible() && !m_initial->isActive() && !ToolText(tool).isEmpty())
            m_initial->start(m_delays[3]);
        break;
    case QEvent::Leave:
        if (toolFor(watched) == m_hovered && m_hovered) {
            // Leaving the viewport for the scroll area itself is not leaving the tool.
            const QPoint global = QCursor::pos();
            if (!m_hovered->rect().contains(m_hovered->mapFromGlobal(global))) {
                m_initial->stop();
                hideTip();
                m_hovered = nullptr;
            }
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        if (toolFor(watched))
            hideTip();
        break;
    case QEvent::ToolTip:
        // The control's own plain tooltip stays quiet; this one speaks for it.
        if (toolFor(watched))
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void cTooltip::showTip()
{
    if (!m_tip || !m_hovered)
        return;
    // A pop-up menu open over the control has the user's attention: the tip would cover it.
    if (QApplication::activePopupWidget()) {
        hideTip();
        return;
    }
    const QString text = ToolText(m_hovered);
    if (text.isEmpty())
        return;
    m_tip->setText(text);
    m_tip->setWordWrap(m_maxWidth > 0);
    m_tip->setMaximumWidth(m_maxWidth > 0 ? m_maxWidth : QWIDGETSIZE_MAX);
    m_tip->adjustSize();
    QPoint at = QCursor::pos() + QPoint(2, 20);
    if (const QScreen *screen = QGuiApplication::screenAt(QCursor::pos())) {
        const QRect avail = screen->availableGeometry();
        at.setX(std::min(at.x(), avail.right() - m_tip->width()));
        if (at.y() + m_tip->height() > avail.bottom())
            at.setY(QCursor::pos().y() - m_tip->height() - 4);
    }
    m_tip->move(at);
    m_tip->show();
    m_tip->raise();
    m_autoPop->start(m_delays[2]);
}

void cTooltip::hideTip()
{
    if (m_tip)
        m_tip->hide();
    if (m_autoPop)
        m_autoPop->stop();
}

void cTooltip::refreshShown()
{
    const QString text = ToolText(m_hovered);
    if (text.isEmpty() || QApplication::activePopupWidget()) {
        m_initial->stop();
        hideTip();
        return;
    }
    if (isTipVisible())
        showTip();
    else if (!m_initial->isActive())
        m_initial->start(m_delays[1]);
}

} // namespace korva
