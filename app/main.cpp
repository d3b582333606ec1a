#include "main/frmmain.h"
#include "main/frmsplashscreen.h"
#include "objectview/frmobjectview.h"
#include "support/messenger.h"

#include <QtCore/QPointer>
#include <QtWidgets/QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file size limit makes a write fail (and the old file stay) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KORVA"));
    QApplication::setOrganizationName(QStringLiteral("KORVA"));
    QApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));

    // The command line as one text of pieces separated by blanks.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    const QString commandLine = args.join(u' ');

    korva::frmSplashScreen splash;
    splash.centreOnScreen();
    splash.show();
    app.processEvents();

    korva::QtMessenger messenger;
    korva::frmMain window(messenger, &splash);
    messenger.setParent(&window);
    // There is one object view: asked for again, it comes to the front.
    QPointer<korva::frmObjectView> objectView;
    QObject::connect(&window, &korva::frmMain::objectViewRequested, &window, [&window, &objectView] {
        if (!objectView) {
            objectView = new korva::frmObjectView(&window);
            objectView->setAttribute(Qt::WA_DeleteOnClose);
        }
        objectView->show();
        objectView->raise();
        objectView->activateWindow();
    });
    if (!window.Form_Load(commandLine))
        return 1;
    window.show();
    return app.exec();
}
