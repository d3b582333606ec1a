#include "platform/paths.h"

#include <QtCore/QCoreApplication>

namespace korva {

QString programFolder()
{
    const QString overridden = qEnvironmentVariable("KORVA_PROGRAM_DIR");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath();
}

QString programVersion() { return QStringLiteral(KORVA_VERSION); }

} // namespace korva
