#pragma once

#include "app/CommandLine.h"
#include "platform/SpecialFolders.h"

namespace kv {

// Carries out the runs that end before any window exists: register installs the plugin
// description and the menu entry, unregister removes them, an automation start does nothing
// (there is no automation transport here), help and version print their text on stdout. True when the program must end now, without a window
// and without writing its settings; failures are not shown, the run ends all the same.
bool RunEarlyExit(const StartupRequest& request, const SpecialFolders& folders);

}  // namespace kv
