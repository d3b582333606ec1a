#pragma once

#include "support/busypointer.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QObject>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QWidget>

#include <functional>

namespace korva {

// For as long as it exists, Esc anywhere in the program calls onEscape (and
// goes no further): a wait the user started can be given up from any window.
class EscapeWatcher : public QObject
{
public:
    explicit EscapeWatcher(std::function<void()> onEscape) : m_onEscape(std::move(onEscape))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~EscapeWatcher() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            // Called last: it may destroy this watcher.
            const std::function<void()> call = m_onEscape;
            call();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_onEscape;
};

// For as long as it exists, the user's input to one window (not to the
// windows it opens, such as a login dialog) goes nowhere: work that runs the
// event loop while it waits cannot be started again from that window.
class InputHold : public QObject
{
public:
    explicit InputHold(QWidget *window) : m_window(window) { QCoreApplication::instance()->installEventFilter(this); }
    ~InputHold() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu: {
            const auto *w = qobject_cast<const QWidget *>(watched);
            return w && w->window() == m_window;
        }
        default:
            return false;
        }
    }

private:
    QWidget *m_window;
};

// A wait the user can give up: the busy pointer, and Esc for onEscape.
class BusyWait : public EscapeWatcher
{
public:
    using EscapeWatcher::EscapeWatcher;

private:
    BusyPointer m_busy;
};

} // namespace korva
