#pragma once

#include "main/frmmain.h"

#include <QtWidgets/QDialog>

class QWidget;

namespace korva {

class WindowContext;

// What the program offers when no installation is found on this computer.
class frmFirstRun : public QDialog
{
    Q_OBJECT

public:
    enum Choice { Quit = 0, CreateDemo, ServerFiles, Attach };

    explicit frmFirstRun(QWidget *parent = nullptr);
    Choice choice() const { return m_choice; }

private:
    void choose(Choice choice);

    Choice m_choice = Quit;
};

namespace startup {

// How the demo installation offered at first start is made.
struct FirstRunOptions
{
    QString demoRoot; // empty: <user data folder>/KORVA/demo, as korva-demo makes it
    int subscribers = 2000;
    qint64 reportRows = 5000;
};

// Asks what to do until something worked or the user quits: creates the demo
// installation (with progress), keeps a server's files, or attaches to a
// server (its own window, waited for with the event loop running).
StartChoice offerStart(WindowContext &context, QWidget *parent, const QString &instance,
                       const FirstRunOptions &options = {});

// Builds the demo installation on another thread, with a progress window;
// false with a reason when it could not be made.
bool createDemo(QWidget *parent, const QString &instance, const FirstRunOptions &options, QString *error);

// The windows of this folder, opened by name from the main window.
void registerStartupWindows(WindowContext &context);

} // namespace startup

} // namespace korva
