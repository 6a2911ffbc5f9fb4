#include "platform/SpecialFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <system_error>

namespace kv {

namespace {

std::filesystem::path Path(std::string_view text) { return std::filesystem::path(std::string(text)); }

std::filesystem::path StandardLocation(QStandardPaths::StandardLocation location) {
    const QString path = QStandardPaths::writableLocation(location);
    return path.isEmpty() ? std::filesystem::path() : std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

SpecialFolders SpecialFolders::FromSystem() {
    SpecialFolders folders;
    folders.configHome = StandardLocation(QStandardPaths::GenericConfigLocation);
    folders.dataHome = StandardLocation(QStandardPaths::GenericDataLocation);
    folders.cacheHome = StandardLocation(QStandardPaths::GenericCacheLocation);
    folders.home = StandardLocation(QStandardPaths::HomeLocation);
    folders.pictures = StandardLocation(QStandardPaths::PicturesLocation);
    folders.documents = StandardLocation(QStandardPaths::DocumentsLocation);
    folders.desktop = StandardLocation(QStandardPaths::DesktopLocation);
    folders.programFolder = ExecutableFolder();
    return folders;
}

std::filesystem::path SpecialFolders::SettingsFile() const {
    return configHome / Path(kCompanyName) / (std::string(kApplicationTitle) + ".conf");
}

std::filesystem::path SpecialFolders::WinIniFile() const { return configHome / Path(kCompanyName) / "win.ini"; }

std::filesystem::path SpecialFolders::PresetFolder(std::string_view subfolder) const {
    return dataHome / Path(kApplicationTitle) / Path(subfolder);
}

std::filesystem::path SpecialFolders::PluginsFolder() const { return dataHome / "KARVO" / "PLUGINS"; }

std::filesystem::path SpecialFolders::LibrariesFolder() const { return dataHome / Path(kCompanyName) / "Libraries"; }

std::filesystem::path SpecialFolders::ApplicationsFolder() const { return dataHome / "applications"; }

std::filesystem::path SpecialFolders::CacheFolder() const { return cacheHome / Path(kCompanyName); }

std::filesystem::path SpecialFolders::DataFolder() const { return ProgramDataFolder(programFolder); }

std::filesystem::path SpecialFolders::ResourceFile() const { return DataFolder() / "Res" / "resourses.ini"; }

std::filesystem::path SpecialFolders::SamplesFolder() const { return DataFolder() / "SAMPLES"; }

std::filesystem::path SpecialFolders::HelpFolder() const { return DataFolder() / "help"; }

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder) {
    if (programFolder.empty()) return programFolder;
    std::error_code ec;
    if (std::filesystem::is_directory(programFolder / "Res", ec)) return programFolder;
    const std::filesystem::path installed = (programFolder / KV_INSTALLED_DATA_FOLDER).lexically_normal();
    if (std::filesystem::is_directory(installed, ec)) return installed;
    return programFolder;
}

bool EnsureFolder(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

bool EnsurePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    if (folder.has_parent_path() && !EnsureFolder(folder.parent_path())) return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

}  // namespace kv
