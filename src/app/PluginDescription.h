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
// The file name of the menu entry in the desktop's applications folder.
inline constexpr const char* kDesktopEntryFileName = "KVScaleCrafter.desktop";

// The description: where the program is, how a host shows it and that the host starts it with
// one or more image files on the command line.
std::string BuildPluginDescription(const std::filesystem::path& programPath);
// A menu entry that opens any number of JPEG, PNG, TIFF, GIF and BMP files with the program.
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

// Writes both files, each whole or not at all, replacing older ones. Shows nothing; false when
// either could not be written.
bool RegisterPlugin(const PluginInstallation& installation);
// Removes both files; a file that is not there is no failure.
bool UnregisterPlugin(const PluginInstallation& installation);

}  // namespace kv
