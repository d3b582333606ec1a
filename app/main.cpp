#include "windows.h"

#include "appcontext/windowcontext.h"
#include "main/frmmain.h"
#include "support/appidentity.h"
#include "support/frmsplashscreen.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "remote/frmlogin.h"
#include "support/messenger.h"

#include <QtWidgets/QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file size limit makes a write fail (and the old file stay) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    korva::setUpApplicationIdentity();

    // The command line as one text of pieces separated by blanks.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    const QString commandLine = args.join(u' ');

    korva::frmSplashScreen splash;
    splash.centreOnScreen();
    splash.show();
    app.processEvents();

    korva::QtMessenger messenger;
    korva::WindowContext context(messenger);
    korva::registerWindows(context);
    korva::frmMain window(context, &splash);
    messenger.setParent(&window);
    // A server that needs a SQL Server login asks for it, once; it stays in
    // memory for this run only.
    korva::installDatabaseDialogs(&window);
    if (!window.Form_Load(commandLine))
        return 1;
    window.show();
    const int status = app.exec();
    // Queries still running on database threads finish before the program's data goes.
    // Whatever still runs on a server is stopped rather than waited for, and
    // nothing waits any more for a login to be given.
    korva::db::setLoginPrompt({});
    korva::db::interruptAll();
    korva::waitForDatabaseThreads();
    korva::db::forgetLogins();
    return status;
}
