#include "support/appidentity.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>

namespace korva {

QString desktopEntryName() { return QStringLiteral("org.korva.Korva"); }

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/korva/icons/korva-%1.png").arg(size), QSize(size, size));
    return icon;
}

void setUpApplicationIdentity()
{
    QGuiApplication::setApplicationName(QStringLiteral("KORVA"));
    QGuiApplication::setOrganizationName(QStringLiteral("KORVA"));
    QGuiApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));
    // Ties the windows to the desktop entry: the launcher's name and icon,
    // and the grouping of the program's windows in the task bar.
    QGuiApplication::setDesktopFileName(desktopEntryName());
    QGuiApplication::setWindowIcon(programIcon());
}

} // namespace korva
