#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/AutoResetEvent.h"
#include "platform/SpecialFolders.h"
#include "platform/Trash.h"

namespace kv {

// The platform kind the application works out once: library operations answer from 12 on.
inline constexpr int kPlatformKind = 13;
inline constexpr int kLibrariesFromPlatformKind = 12;

inline constexpr std::string_view kLibraryExtension = ".library-ms";
// The name of the library a first run makes with the user's pictures folder in it.
inline constexpr std::string_view kFirstLibraryName = "Pictures";

// Told, on the watcher's thread, that something in the libraries folder changed.
class ILibUpdate {
public:
    virtual void UpdateLibraries() = 0;

protected:
    ~ILibUpdate() = default;
};

// What a library file says: its name (the file's name without ".library-ms") and its folders in
// the library's own order. Locations that are not folders of this computer are left out.
struct LibraryContents {
    std::string name;
    std::vector<std::filesystem::path> folders;
};

// The shell libraries: named collections of folders, each kept in a "*.library-ms" file (the XML
// form other desktops write) in the libraries folder. One service serves the program; it answers
// questions about libraries, changes them, and tells its listeners when the folder changes, from a
// thread of its own.
//
// Everything but the listener calls runs on the caller's thread. Reading is safe from any thread.
class CWin7Library {
public:
    explicit CWin7Library(const SpecialFolders& folders);
    // Stops the watcher (waiting for it).
    ~CWin7Library();
    CWin7Library(const CWin7Library&) = delete;
    CWin7Library& operator=(const CWin7Library&) = delete;

    // Makes the libraries folder when it is missing (a first run: it then gets a "Pictures" library
    // holding the pictures folder, when there is one) and starts the watcher. False when the folder cannot be had; the
    // service then has no libraries and no watcher.
    bool Start();

    const std::filesystem::path& LibrariesFolder() const { return folder_; }
    // A library file exists.
    bool LibrariesPresent() const;
    // A path that ends with ".library-ms" (any case) after something.
    static bool IsLibraryPath(const std::filesystem::path& path);
    static std::string DisplayName(const std::filesystem::path& libraryFile);
    // The library files, in name order.
    std::vector<std::filesystem::path> Libraries() const;
    // The file of the library with this name, or nothing.
    std::optional<std::filesystem::path> FindLibrary(const std::string& name) const;

    // A library's name and folders; nothing for a file that is missing or damaged.
    std::optional<LibraryContents> Read(const std::filesystem::path& libraryFile) const;
    // "name;icon;folder;folder...": the icon is always 0 here (the tree draws its own). Empty when
    // the file cannot be read.
    std::string GetLibraryText(const std::filesystem::path& libraryFile) const;
    int GetFolderCount(const std::filesystem::path& libraryFile) const;
    // The folders of every library.
    std::vector<std::filesystem::path> GetAllLibraryFolders() const;

    // Silent: the file is removed; else it goes to the Trash, from where it can be put back.
    bool DeleteLibrary(const std::filesystem::path& libraryFile, bool silent);
    // Gives a library a new name, made unique ("name (2)") when taken. The new file, or nothing.
    std::optional<std::filesystem::path> RenameLibrary(const std::filesystem::path& libraryFile, const std::string& newName);
    bool RemoveFolderFromLibrary(const std::filesystem::path& libraryFile, const std::filesystem::path& folder);
    // A folder of the library moved: the library follows it.
    bool ResolveFolderInLibrary(const std::filesystem::path& libraryFile, const std::filesystem::path& oldFolder,
                                const std::filesystem::path& newFolder);
    // Appends a folder (nothing changes when the library has it already).
    bool AddFolderToLibrary(const std::filesystem::path& libraryFile, const std::filesystem::path& folder);
    // A new library, its name made unique. The new file, or nothing.
    std::optional<std::filesystem::path> CreateLibrary(const std::string& name, const std::vector<std::filesystem::path>& folders);

    // Listeners are called in the order they were added. Once RemoveListener returns, the watcher
    // is not inside the listener and will not call it (a listener may remove itself from its call).
    void AddListener(ILibUpdate* listener);
    void RemoveListener(ILibUpdate* listener);

    // How long the watcher waits for more events after a change before it tells the listeners, so
    // that one change (a file written and renamed into place) is one notice.
    static constexpr int kSettleMs = 60;

private:
    void Watch(int inotify);
    void NotifyListeners();
    // Rewrites a library file's folder list, keeping whatever else it holds. edit returns false when
    // it changes nothing.
    bool Rewrite(const std::filesystem::path& libraryFile,
                 const std::function<bool(std::vector<std::filesystem::path>&)>& edit);

    std::filesystem::path folder_;
    std::filesystem::path pictures_;
    Trash trash_;

    std::recursive_mutex listenersLock_;  // held while the listeners are called
    std::vector<ILibUpdate*> listeners_;
    AutoResetEvent stop_;
    std::thread watcher_;
};

}  // namespace kv
