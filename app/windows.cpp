#include "windows.h"

#include "appcontext/windowcontext.h"
#include "objectview/frmobjectview.h"

namespace korva {

void registerWindows(WindowContext &context)
{
    // There is one object view: asked for again, it comes to the front.
    context.registerWindow(QStringLiteral("frmObjectView"), WindowContext::Instances::One,
                           [](WindowContext &c) { return new frmObjectView(c); });
}

} // namespace korva
