#pragma once

#include <filesystem>
#include <vector>

#include "base/AtomicFile.h"

namespace kv {

// A file or folder in a trash can: where it is now, where it came from, and its description file.
struct TrashedItem {
    std::filesystem::path original;
    std::filesystem::path inTrash;  // ".../files/<name>"
    std::filesystem::path infoFile;  // ".../info/<name>.trashinfo"
};

struct TrashOutcome {
    IoResult result;
    TrashedItem item;
};

// The desktop's trash can, laid out as freedesktop.org's trash rules say: files of the
// user's home file system go to "<data home>/Trash", files of other file systems to the trash
// folder at the top of their own file system (".Trash/<uid>" when the administrator made a shared
// one, else ".Trash-<uid>"), each with a ".trashinfo" file that names where it came from, so that
// file managers can put it back.
class Trash {
public:
    // dataHome: $XDG_DATA_HOME (created when missing).
    explicit Trash(std::filesystem::path dataHome);

    // Moves an item to the trash. Qt's own mover is used where it follows those rules; its
    // result is checked, and where it went wrong (Qt 6.4 moves the item into the working folder and
    // reports success when the data home is missing) the item is taken back and moved by MoveOwn.
    TrashOutcome MoveToTrash(const std::filesystem::path& path) const;
    // The program's own mover, following those rules.
    TrashOutcome MoveOwn(const std::filesystem::path& path) const;

    // Puts a trashed item back where it came from (its folder is made again when it was removed),
    // never replacing a file that took its place meanwhile, and removes its description file.
    IoResult Restore(const std::filesystem::path& inTrash) const;
    // The description of a trashed item, read from its ".trashinfo" file; nothing when it has none.
    bool ReadInfo(const std::filesystem::path& inTrash, TrashedItem& item) const;

    // "<data home>/Trash".
    std::filesystem::path HomeTrash() const { return dataHome_ / "Trash"; }
    // Whether a path lies in the "files" folder of a trash can.
    bool IsInTrash(const std::filesystem::path& path) const;

private:
    // The trash can for a path: the home trash for the home file system, else the one at the top
    // of the path's file system. Empty when none can be had.
    std::filesystem::path TrashFor(const std::filesystem::path& path, int& error) const;

    std::filesystem::path dataHome_;
};

}  // namespace kv
