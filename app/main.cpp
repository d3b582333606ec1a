#include "windows.h"

#include "appcontext/windowcontext.h"
#include "main/frmmain.h"
#include "main/programoptions.h"
#include "startup/firstrun.h"
#include "support/appidentity.h"
#include "support/frmsplashscreen.h"
#include "platform/allocator.h"
#include "platform/backgroundtask.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "remote/frmlogin.h"
#include "support/messenger.h"

#include <QtWidgets/QApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    korva::setUpAllocator();
    // A file size limit makes a write fail (and the old file stay) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // The options are read before anything of the windowing system: --help,
    // --version and a mistyped option need no display.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const korva::ProgramOptions options = korva::parseProgramOptions(args);
    switch (options.action) {
    case korva::ProgramOptions::Action::Help:
        std::fputs(qPrintable(korva::programHelpText()), stdout);
        return 0;
    case korva::ProgramOptions::Action::Version:
        std::fputs(qPrintable(korva::programVersionText()), stdout);
        return 0;
    case korva::ProgramOptions::Action::Error:
        std::fprintf(stderr, "%s\nTry 'korva --help' for more information.\n", qPrintable(options.error));
        return 2;
    case korva::ProgramOptions::Action::Run:
        break;
    }
    QApplication app(argc, argv);
    korva::setUpApplicationIdentity();
    const QString commandLine = options.commandLine;

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
    // With no installation here, the user chooses how to go on.
    window.setNoInstallChoice(
        [&context](const QString &instance) { return korva::startup::offerStart(context, nullptr, instance); });
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
