#include "windows.h"

#include "appcontext/windowcontext.h"
#include "objectview/frmobjectview.h"
#include "remote/frmremoteconnection.h"

namespace korva {

void registerWindows(WindowContext &context)
{
    // There is one object view: asked for again, it comes to the front.
    context.registerWindow(QStringLiteral("frmObjectView"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmObjectView(c); });
    // The remote connection is loaded once and then only hidden and shown again.
    context.registerWindow(QStringLiteral("frmRemoteConnection"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmRemoteConnection(c); });
}

} // namespace korva
