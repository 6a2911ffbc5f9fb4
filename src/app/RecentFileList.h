#pragma once

#include <filesystem>
#include <vector>

namespace kv {

class ProfileStore;

// The most recently opened files, newest first, as the File menu lists them. Kept in the settings
// file's section "Recent File List" as "File1" to "File4", read at start-up and written at exit
// with the other settings.
class RecentFileList {
public:
    static constexpr size_t kSize = 4;

    void Load(const ProfileStore& profile);
    void Save(ProfileStore& profile) const;

    // A file was opened: it moves to the top, the oldest falls off.
    void Add(const std::filesystem::path& path);
    // A listed file failed to open: it leaves the list.
    void Remove(const std::filesystem::path& path);

    const std::vector<std::filesystem::path>& files() const { return files_; }

    // The menu text of entry index: "&1 name" with the file name, or the whole path when two
    // entries share a file name.
    std::string MenuText(size_t index) const;

private:
    std::vector<std::filesystem::path> files_;
};

}  // namespace kv
