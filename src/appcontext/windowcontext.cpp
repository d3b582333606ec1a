#include "appcontext/windowcontext.h"

#include <QtWidgets/QWidget>

namespace korva {

WindowContext::WindowContext(Messenger &messenger, QObject *parent) : QObject(parent), m_messenger(messenger) {}

WindowContext::~WindowContext() = default;

void WindowContext::registerWindow(const QString &name, Instances instances, Factory factory)
{
    Registration &r = m_windows[name];
    r.instances = instances;
    r.factory = std::move(factory);
}

QWidget *WindowContext::openedWindow(const QString &name) const
{
    const auto it = m_windows.constFind(name);
    if (it == m_windows.constEnd())
        return nullptr;
    for (const QPointer<QWidget> &w : it->open)
        if (w)
            return w;
    return nullptr;
}

QList<QWidget *> WindowContext::openedWindows() const
{
    QList<QWidget *> windows;
    for (const Registration &r : m_windows)
        for (const QPointer<QWidget> &w : r.open)
            if (w)
                windows << w.data();
    return windows;
}

QWidget *WindowContext::openWindow(const QString &name)
{
    const auto it = m_windows.find(name);
    if (it == m_windows.end())
        return nullptr;
    Registration &r = it.value();
    r.open.removeAll(nullptr);
    QWidget *window = r.instances == Instances::One && !r.open.isEmpty() ? r.open.first().data() : nullptr;
    if (!window) {
        window = r.factory(*this);
        if (!window)
            return nullptr;
        window->setAttribute(Qt::WA_DeleteOnClose);
        r.open.append(window);
    }
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace korva
