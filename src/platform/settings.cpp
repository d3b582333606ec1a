#include "platform/settings.h"

namespace korva {

std::unique_ptr<QSettings> openSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KORVA"),
                                       QStringLiteral("KORVA"));
}

} // namespace korva
