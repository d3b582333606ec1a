#include "platform/error.h"

namespace korva {

QString procedureError(const Error &error, QStringView routine, QStringView owner, ErrorStyle style,
                       QStringView ownerKind)
{
    const QString start = style == ErrorStyle::Parenthesised ? QStringLiteral("(error):") : QStringLiteral("Error ");
    return start + QString::number(error.number) + QStringLiteral(" (") + error.description
           + QStringLiteral(") in procedure ") + routine + QStringLiteral(" of ") + ownerKind + u' ' + owner;
}

} // namespace korva
