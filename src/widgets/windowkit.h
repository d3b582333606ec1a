#pragma once

// What every window of the program is built from: menu items, "Always on
// top", the area of a main window, a layout that follows the window's size
// and the placement kept in the settings. The busy pointer and the sizes in
// twips live beside the placement itself, where the support windows reach
// them too; this header brings them along.

#include "support/busypointer.h"
#include "support/windowplacement.h"

#include <QtCore/QObject>
#include <QtGui/QAction>
#include <QtGui/QKeySequence>

#include <functional>

class QMainWindow;
class QMenu;

namespace korva {

// A menu item with its caption, its object name (what the tests and the
// language files know it by) and, when given, its shortcut.
QAction *addMenuItem(QMenu *menu, const QString &caption, const char *name, const QKeySequence &shortcut = {});

// The same, choosing it calling slot on receiver (a member function of the
// receiver, or any callable that lives as long as the receiver).
template<class Receiver, class Slot>
QAction *addMenuItem(QMenu *menu, const QString &caption, const char *name, const Receiver *receiver, Slot &&slot,
                     const QKeySequence &shortcut = {})
{
    QAction *a = addMenuItem(menu, caption, name, shortcut);
    QObject::connect(a, &QAction::triggered, receiver, std::forward<Slot>(slot));
    return a;
}

// Puts a top-level window above the others, or back among them, where it
// stands and at its size; a window that was shown stays shown.
void setAlwaysOnTop(QWidget *window, bool onTop);

// The checkable "Always on top" item (mnuAlwaysOnTop) for the window.
QAction *addAlwaysOnTopItem(QMenu *menu, QWidget *window);

// The area of a main window inside its bars, as an empty widget named centralWidget.
QWidget *addCentralArea(QMainWindow *window);

// Calls layout after each change of the window's size, except while it is
// minimised, when nothing of it shows.
void layOutOnResize(QWidget *window, std::function<void()> layout);

// The window's placement kept in the settings under prefix (see
// readStoredPlacement): put where they say now (unless the window is
// minimised), and written back when the window closes, unless it is
// minimised then. Call once the least size is in force, so that the
// placement knows the size the window really takes.
WindowPlacement *keepStoredPlacement(QWidget *window, const QString &prefix, const StoredPlacement &defaults);

} // namespace korva
