#include "widgets/windowkit.h"

#include "platform/settings.h"

#include <QtCore/QEvent>
#include <QtCore/QSettings>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>

namespace korva {

namespace {

class ResizeFollower final : public QObject
{
public:
    ResizeFollower(QWidget *window, std::function<void()> layout)
        : QObject(window), m_window(window), m_layout(std::move(layout))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Resize && !m_window->isMinimized())
            m_layout();
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_window;
    std::function<void()> m_layout;
};

class StoredWindowPlacement final : public WindowPlacement
{
public:
    StoredWindowPlacement(QWidget *window, const QString &prefix)
        : WindowPlacement(window), m_window(window), m_prefix(prefix)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Close && !m_window->isMinimized())
            writeStoredPlacement(*openSettings(), m_prefix, current());
        return WindowPlacement::eventFilter(watched, event);
    }

private:
    QWidget *m_window;
    QString m_prefix;
};

} // namespace

QAction *addMenuItem(QMenu *menu, const QString &caption, const char *name, const QKeySequence &shortcut)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

void setAlwaysOnTop(QWidget *window, bool onTop)
{
    // Changing the flag recreates the native window, which hides it and
    // forgets where it stood.
    const QRect g = window->geometry();
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    window->setGeometry(g);
    if (wasVisible)
        window->show();
}

QAction *addAlwaysOnTopItem(QMenu *menu, QWidget *window)
{
    QAction *a = addMenuItem(menu, QStringLiteral("Always on top"), "mnuAlwaysOnTop");
    a->setCheckable(true);
    QObject::connect(a, &QAction::triggered, window, [window, a] { setAlwaysOnTop(window, a->isChecked()); });
    return a;
}

QWidget *addCentralArea(QMainWindow *window)
{
    auto *central = new QWidget(window);
    central->setObjectName(QStringLiteral("centralWidget"));
    window->setCentralWidget(central);
    return central;
}

void layOutOnResize(QWidget *window, std::function<void()> layout) { new ResizeFollower(window, std::move(layout)); }

WindowPlacement *keepStoredPlacement(QWidget *window, const QString &prefix, const StoredPlacement &defaults)
{
    auto *p = new StoredWindowPlacement(window, prefix);
    if (!window->isMinimized())
        p->restore(readStoredPlacement(*openSettings(), prefix, defaults));
    return p;
}

} // namespace korva
