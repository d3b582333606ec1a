#include "storedprocs/storedprocwindows.h"

#include "appcontext/windowcontext.h"
#include "storedprocs/frmstoredprocexecute.h"
#include "storedprocs/frmstoredprocs.h"
#include "storedprocs/frmstoredprocsource.h"

namespace korva::storedprocs {

void registerStoredProcedureWindows(WindowContext &context)
{
    using Instances = WindowContext::Instances;
    if (!context.isRegistered(kBrowserWindow))
        context.registerWindow(kBrowserWindow, Instances::One, [](WindowContext &c) { return new frmStoredProcs(c); });
    if (!context.isRegistered(kSourceWindow))
        context.registerWindow(kSourceWindow, Instances::One,
                               [](WindowContext &c) { return new frmStoredProcSource(c); });
    if (!context.isRegistered(kExecuteWindow))
        context.registerWindow(kExecuteWindow, Instances::One,
                               [](WindowContext &c) { return new frmStoredProcExecute(c); });
}

} // namespace korva::storedprocs
