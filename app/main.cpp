#include "main/frmmain.h"
#include "main/frmsplashscreen.h"
#include "objectview/frmobjectview.h"
#include "support/messenger.h"

#include <QtWidgets/QApplication>

int main(int argc, char *argv[])
{
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
    QObject::connect(&window, &korva::frmMain::objectViewRequested, &window, [&window] {
        auto *view = new korva::frmObjectView(&window);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->show();
    });
    if (!window.Form_Load(commandLine))
        return 1;
    window.show();
    return app.exec();
}
