#pragma once

#include <filesystem>
#include <string>

#include "app/ProgramVersion.h"
#include "platform/SpecialFolders.h"

// What the register and unregister runs install: a plugin description that host programs read
// from a shared plugins folder, and a desktop menu entry through which file managers offer the
// program for images ("Open with").
namespace kv {

// "KVScaleCrafter.<major>.<minor>.kvplugin", each part in two or more lower-case hex digits.
std::string PluginFileName(const ProgramVersion& version);
// The id the desktop knows the window by, and the file name of its menu entry in an applications
// folder. The installed entry has the same name, so a registered one stands in for it and the menu
// shows the program once.
inline constexpr const char* kApplicationId = KV_APP_ID;
inline constexpr const char* kDesktopEntryFileName = KV_APP_ID ".desktop";

// The description: where the program is, how a host shows it and that the host starts it with
// one or more image files on the command line.
std::string BuildPluginDescription(const std::filesystem::path& programPath);
// A menu entry that opens any number of JPEG, PNG, TIFF, GIF and BMP files with the program: the
// installed entry, with the program's full path in place of its name.
std::string BuildDesktopEntry(const std::filesystem::path& programPath);

struct PluginInstallation {
    std::filesystem::path pluginsFolder;       // SpecialFolders::PluginsFolder()
    std::filesystem::path applicationsFolder;  // SpecialFolders::ApplicationsFolder()
    std::filesystem::path programPath;         // the program's full path
    ProgramVersion version;
};

// The installation of this program: the folders of the desktop, the running executable's path
// and this build's version.
PluginInstallation ThisProgramsInstallation(const SpecialFolders& folders);

// Writes both files, each whole or not at all, replacing older ones; descriptions that other
// versions of the same program file left behind are removed. Shows nothing; false when either
// could not be written.
bool RegisterPlugin(const PluginInstallation& installation);
// Removes both files, and the descriptions of other versions of the same program file; a file that
// is not there is no failure. The plugins folder goes too when nothing else is left in it.
bool UnregisterPlugin(const PluginInstallation& installation);

}  // namespace kv
