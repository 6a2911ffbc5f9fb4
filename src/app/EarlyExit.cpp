#include "app/EarlyExit.h"

#include <cstdio>
#include <string>

#include "app/PluginDescription.h"
#include "app/ProgramVersion.h"

namespace kv {

namespace {

constexpr const char* kUsage =
    "usage: kvscalecrafter [PHOTO...]\n"
    "       kvscalecrafter --register | --unregister\n"
    "KARVO Scale Crafter, a desktop photo resizer. One PHOTO is opened; two or more go to the batch\n"
    "list. JPEG, TIFF, PNG, BMP and GIF files (.jpg, .tif, .png, .bmp, .gif) are taken.\n"
    "\n"
    "  --register     writes the plugin description for host programs and a menu entry of this\n"
    "                 program file for the user, then ends without a window\n"
    "  --unregister   removes them again, then ends without a window\n"
    "  -h, --help     shows this text\n"
    "  --version      names the version\n"
    "  --             ends the switches: every argument after it is a file name\n"
    "\n"
    "The manual opens with F1 in the window. kvscale resizes without a window.\n";

}  // namespace

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
        case StartAction::Help:
            std::fputs(kUsage, stdout);
            return true;
        case StartAction::Version: {
            const ProgramVersion version = CurrentProgramVersion();
            std::printf("kvscalecrafter %u.%u.%u\n", unsigned{version.major}, unsigned{version.minor}, unsigned{version.build});
            return true;
        }
    }
    return true;
}

}  // namespace kv
