#pragma once

namespace korva {

class WindowContext;

// Every window other than the main window, registered once by name.
void registerWindows(WindowContext &context);

} // namespace korva
