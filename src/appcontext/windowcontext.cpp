#include "appcontext/windowcontext.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QWidget>

#include <algorithm>

namespace korva {

WindowContext::WindowContext(Messenger &messenger, QObject *parent) : QObject(parent), m_messenger(messenger) {}

WindowContext::~WindowContext() = default;

void WindowContext::setPendingJump(const QString &table, const QString &objectId)
{
    if (m_state.pendingJumpTable == table && m_state.pendingJumpObjectID == objectId)
        return;
    m_state.pendingJumpTable = table;
    m_state.pendingJumpObjectID = objectId;
    Q_EMIT pendingJumpChanged();
}

void WindowContext::attachServer(const QString &connectionString, const QString &serverName, const QString &instance,
                                 const QString &label)
{
    m_state.connectionString = connectionString;
    m_state.serverName = serverName;
    m_state.remoteInstance = instance;
    m_state.remoteLabel = label;
    Q_EMIT serverChanged();
}

void WindowContext::useKeptServer(const QString &name)
{
    m_state.keptServer = name;
    m_state.connectionString.clear();
    m_state.remoteLabel.clear();
    m_state.remoteInstance.clear();
    Q_EMIT serverChanged();
}

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

namespace {

// A window larger than the screen, or partly off it (a small screen, a large
// scale factor), is brought within the screen it is on.
void keepWithinScreen(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QSize border = frame.size() - window->size();
    // A smallest size meant for a larger screen gives way to this one.
    window->setMinimumSize(window->minimumSize().boundedTo(room.size() - border));
    QRect fitted(frame.topLeft(), frame.size().boundedTo(room.size()));
    fitted.moveLeft(std::clamp(fitted.left(), room.left(), room.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), room.top(), room.bottom() - fitted.height() + 1));
    if (fitted == frame)
        return;
    window->resize((fitted.size() - border).expandedTo(QSize(1, 1)));
    window->move(fitted.topLeft());
}

} // namespace

QWidget *WindowContext::openWindow(const QString &name)
{
    const auto it = m_windows.find(name);
    if (it == m_windows.end())
        return nullptr;
    Registration &r = it.value();
    r.open.removeAll(nullptr);
    QWidget *window = r.instances == Instances::One && !r.open.isEmpty() ? r.open.first().data() : nullptr;
    const bool created = !window;
    if (!window) {
        window = r.factory(*this);
        if (!window)
            return nullptr;
        window->setAttribute(Qt::WA_DeleteOnClose);
        r.open.append(window);
        // Owned by the main window and kept above it, so that a message or an
        // export over the main window does not bury it: window systems keep
        // a dialog-type window above its owner (a plain one they do not).
        // It keeps its own buttons to minimise, maximise and close.
        if (m_mainWindow && window != m_mainWindow && !window->parentWidget()) {
            Qt::WindowFlags flags = window->windowFlags();
            if ((flags & Qt::WindowType_Mask) == Qt::Window)
                flags = (flags & ~Qt::WindowType_Mask) | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                        | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
            window->setParent(m_mainWindow, flags);
        }
    }
    window->show();
    // Where the user has put a window already open is left alone.
    if (created)
        keepWithinScreen(window);
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace korva
