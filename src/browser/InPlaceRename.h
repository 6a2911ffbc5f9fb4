#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

class CMapStringToObPlus;

// What renaming a file in place tells the user.
namespace RenameText {
inline constexpr const char* kInvalidName = "The name \"%s\" cannot be used:\na file name can't be empty, \".\" or \"..\", or contain \"/\".";
inline constexpr const char* kNameTaken = "A file named\n%s\nalready exists.\nPlease choose another name.";
inline constexpr const char* kCantRename = "Can't rename file\n%s!\n%s";
}  // namespace RenameText

using RenamedPair = std::pair<std::filesystem::path, std::filesystem::path>;  // old path, new path

struct RenameResult {
    enum class Outcome {
        Unchanged,  // the typed name is the file's own
        Renamed,    // the file (and its sound note) took the new name
        Refused,    // nothing was renamed; message says why
    };
    Outcome outcome = Outcome::Unchanged;
    std::string message;
    // The files renamed: the image first, then its sound note when it had one.
    std::vector<RenamedPair> renamed;
    // A sound note and an image of the same name now stand side by side (or no longer do), so the
    // folder's pairing of images and notes must be read again.
    bool pairingChanged = false;
};

// Gives a file the typed name in its own folder, keeping its extension; a sound note beside it
// follows. Never replaces another file: a name that is taken is refused and said so. A message
// is set when the image was renamed but its note could not be.
RenameResult RenameFileInPlace(const std::filesystem::path& file, std::string_view typedName);

// The name the in-place editor starts with: the file name without folder and extension.
std::string EditableName(const std::filesystem::path& file);

// A renamed file keeps its thumbnail: the cached cell of the old path is copied under the new path
// (while the new file exists), and dropped from the old path once that file has gone.
void MoveCachedCell(CMapStringToObPlus& cache, const std::filesystem::path& oldPath,
                    const std::filesystem::path& newPath);

}  // namespace kv
