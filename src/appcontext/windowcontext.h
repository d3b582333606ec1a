#pragma once

#include "appcontext/sharedstate.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>

class QWidget;

namespace korva {

class Messenger;

// Whatever shows tables in the main window: other windows ask it to show a
// table and select the row of an ObjectID there.
class JumpTarget
{
public:
    virtual ~JumpTarget() = default;
    virtual void jumpToObject(const QString &table, const QString &objectId) = 0;
};

// What every window needs from the program: the shared state, the message
// interface, the jump into the main window, and a way to open another window
// by its name. Windows depend on this, never on the main window itself.
class WindowContext : public QObject
{
    Q_OBJECT

public:
    enum class Instances { One, Many };
    using Factory = std::function<QWidget *(WindowContext &context)>;

    explicit WindowContext(Messenger &messenger, QObject *parent = nullptr);
    ~WindowContext() override;

    // What every window reads of the shared state.
    const SharedState &state() const { return m_state; }
    // The main window's own hold on it: it owns the state, fills it as it
    // starts and opens databases, and says so with databaseOpened(). (Tests
    // that stand in for the main window use it too.) Other windows change it
    // only through the named changes below.
    SharedState &ownerState() { return m_state; }
    void databaseOpened() { Q_EMIT databaseChanged(); }

    // Named changes, each told to whoever listens.
    // The object a description names, for "Jump to this object".
    void setPendingJump(const QString &table, const QString &objectId);
    // A server the user attached to (host, host,port or host\instance as
    // found), with the label the caption shows; the main window starts over on it.
    void attachServer(const QString &connectionString, const QString &serverName, const QString &instance,
                      const QString &label);
    // The kept files of a server replace any server attached before.
    void useKeptServer(const QString &name);
    Messenger &messenger() { return m_messenger; }

    JumpTarget *jumpTarget() const { return m_jumpTarget; }
    // The window the others belong to: they stay above it while open.
    void setMainWindow(QWidget *window) { m_mainWindow = window; }
    void setJumpTarget(JumpTarget *target) { m_jumpTarget = target; }

    // Windows are registered once, by name. A window of which there is one
    // comes to the front when it is opened again.
    void registerWindow(const QString &name, Instances instances, Factory factory);
    bool isRegistered(const QString &name) const { return m_windows.contains(name); }
    // Shows the window (creating it when needed); null when no such window is registered.
    QWidget *openWindow(const QString &name);
    // The open window of that name, if any.
    QWidget *openedWindow(const QString &name) const;
    // Every window opened through the context that is still there.
    QList<QWidget *> openedWindows() const;

    // A window that changed the server (the remote connection) asks the main
    // window to run its start sequence again.
    void requestStartOver() { Q_EMIT startOverRequested(); }

Q_SIGNALS:
    void startOverRequested();
    void pendingJumpChanged();
    void serverChanged();   // attached, or kept files chosen
    void databaseChanged(); // the main window opened a database

private:
    struct Registration
    {
        Instances instances = Instances::One;
        Factory factory;
        QList<QPointer<QWidget>> open;
    };

    SharedState m_state;
    Messenger &m_messenger;
    JumpTarget *m_jumpTarget = nullptr;
    QPointer<QWidget> m_mainWindow;
    QHash<QString, Registration> m_windows;
};

} // namespace korva
