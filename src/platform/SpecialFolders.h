#pragma once

#include <filesystem>
#include <string_view>

namespace kv {

// The maker's name and the program's title: they name the settings file and the data folders.
inline constexpr std::string_view kCompanyName = "KARVO Imaging";
inline constexpr std::string_view kApplicationTitle = "KARVO Scale Crafter";

// The folders the program keeps its files in. FromSystem follows the desktop's conventions; tests
// fill the record with folders of their own, so that no test touches a user's real files.
struct SpecialFolders {
    std::filesystem::path configHome;  // per-user settings ($XDG_CONFIG_HOME)
    std::filesystem::path dataHome;    // presets, plugin descriptions, menu entries ($XDG_DATA_HOME)
    std::filesystem::path cacheHome;   // thumbnail cache and scratch folders ($XDG_CACHE_HOME)
    std::filesystem::path home;        // the user's home folder
    std::filesystem::path pictures;    // the user's folders; empty when the desktop names none
    std::filesystem::path documents;
    std::filesystem::path desktop;
    std::filesystem::path programFolder;  // the folder of the running executable

    static SpecialFolders FromSystem();

    // "<config>/KARVO Imaging/KARVO Scale Crafter.conf": the sections MAIN, BATCH, INTERFACE, ...
    std::filesystem::path SettingsFile() const;
    // "<config>/KARVO Imaging/win.ini": read only, for the browser's sort mode.
    std::filesystem::path WinIniFile() const;
    // "<data>/KARVO Scale Crafter/<subfolder>": named settings ("Settings") and batch lists ("Batches").
    std::filesystem::path PresetFolder(std::string_view subfolder) const;
    // "<data>/KARVO/PLUGINS": where host programs look for plugin descriptions.
    std::filesystem::path PluginsFolder() const;
    // "<data>/KARVO Imaging/Libraries": the shell libraries' "*.library-ms" files.
    std::filesystem::path LibrariesFolder() const;
    // "<data>/applications": the desktop's menu entries.
    std::filesystem::path ApplicationsFolder() const;
    // "<cache>/KARVO Imaging": private to the user (see EnsurePrivateFolder).
    std::filesystem::path CacheFolder() const;
    // The folder that holds Res/, SAMPLES/ and help/: the program folder itself in a build folder,
    // "<program>/../share/kvscalecrafter" in an installed tree (see ProgramDataFolder).
    std::filesystem::path DataFolder() const;
    // "<data>/Res/resourses.ini" (the name is spelled so), "<data>/SAMPLES" and "<data>/help".
    std::filesystem::path ResourceFile() const;
    std::filesystem::path SamplesFolder() const;
    std::filesystem::path HelpFolder() const;
};

// The folder of the running executable, or empty when it cannot be found.
std::filesystem::path ExecutableFolder();

// Where a program in programFolder finds its Res/, SAMPLES/ and help/: beside itself when Res/ is
// there (the build folder), else in the installed tree's share folder ("../share/kvscalecrafter" from the
// program's folder, as the build's install layout sets it) when that exists, else beside itself (the files are then simply missing).
std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder);

// Creates a folder with its missing parents; true when it is a folder afterwards.
bool EnsureFolder(const std::filesystem::path& folder);

// Creates a folder with its missing parents and mode 0700. True only for a real folder (not a
// symbolic link) that belongs to this user; such a folder with a looser mode is tightened to 0700.
// Anything else is refused, so that no other user can read or plant files in it.
bool EnsurePrivateFolder(const std::filesystem::path& folder);

}  // namespace kv
