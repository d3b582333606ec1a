#pragma once

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QColor>

class QLabel;
class QTimer;
class QWidget;

namespace korva {

// A hover tooltip shared by one owner window and any number of its controls
// ("tools"). Each tool has its own text, which may change at any time while
// the mouse moves; a shown tip follows the change at once. The tip is a plain
// label in a tooltip window, so screen readers announce it.
class cTooltip : public QObject
{
    Q_OBJECT

public:
    explicit cTooltip(QObject *parent = nullptr);
    ~cTooltip() override;

    bool Create(QWidget *owner);
    bool AddTool(QWidget *control, const QString &text = QString());
    bool RemoveTool(QWidget *control);

    void setBackColor(const QColor &color);
    void setForeColor(const QColor &color);
    // which: 0 automatic, 1 re-show, 2 auto-pop, 3 initial (masked to two bits).
    int DelayTime(int which) const;
    void setDelayTime(int which, int milliseconds);
    qint16 MaxTipWidth() const;
    void setMaxTipWidth(qint16 pixels); // below 1: no limit
    qint16 ToolCount() const;
    QString ToolText(QWidget *control) const;
    void setToolText(QWidget *control, const QString &text);
    QWidget *hWnd() const; // the tip window, null before Create

    bool isTipVisible() const;
    QString shownText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *toolFor(QObject *watched) const;
    void showTip();
    void hideTip();
    void refreshShown();

    QPointer<QWidget> m_owner;
    QPointer<QLabel> m_tip; // a child of the owner, which may go first
    QTimer *m_initial = nullptr;
    QTimer *m_autoPop = nullptr;
    QList<QPointer<QWidget>> m_tools; // in registration order
    QHash<QWidget *, QString> m_texts;
    QPointer<QWidget> m_hovered;
    int m_longest = 0;
    int m_delays[4] = {500, 100, 5000, 500};
    qint16 m_maxWidth = -1;
};

} // namespace korva
