#include "windows.h"

#include "appcontext/windowcontext.h"
#include "config/frmorvexconfiguration.h"
#include "objectview/frmobjectview.h"
#include "query/frmquerybuilder.h"
#include "registry/frmregistry.h"
#include "startup/firstrun.h"
#include "remote/frmremoteconnection.h"
#include "storedprocs/storedprocwindows.h"
#include "support/frmabout.h"
#include "support/frmhelp.h"

namespace korva {

void registerWindows(WindowContext &context)
{
    // There is one object view: asked for again, it comes to the front.
    context.registerWindow(QStringLiteral("frmObjectView"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmObjectView(c); });
    context.registerWindow(QStringLiteral("frmOrvexConfiguration"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmOrvexConfiguration(c); });
    context.registerWindow(QStringLiteral("frmRegistry"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmRegistry(c); });
    storedprocs::registerStoredProcedureWindows(context);
    context.registerWindow(QStringLiteral("frmHelp"), WindowContext::Instances::One,
                           [](WindowContext &) { return new frmHelp; });
    context.registerWindow(QStringLiteral("frmAbout"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmAbout(c.messenger()); });
    context.registerWindow(QStringLiteral("frmQueryBuilder"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmQueryBuilder(c); });
    // The remote connection is loaded once and then only hidden and shown again.
    context.registerWindow(QStringLiteral("frmRemoteConnection"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmRemoteConnection(c); });
    startup::registerStartupWindows(context);
}

} // namespace korva
