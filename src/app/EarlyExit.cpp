#include "app/EarlyExit.h"

#include "app/PluginDescription.h"

namespace kv {

bool RunEarlyExit(const StartupRequest& request, const SpecialFolders& folders) {
    switch (request.action) {
        case StartAction::Window:
            return false;
        case StartAction::Register:
            RegisterPlugin(ThisProgramsInstallation(folders));
            return true;
        case StartAction::Unregister:
            UnregisterPlugin(ThisProgramsInstallation(folders));
            return true;
        case StartAction::Automation:
            return true;
    }
    return true;
}

}  // namespace kv
