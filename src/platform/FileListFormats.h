#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file lists the desktop's file managers exchange through the clipboard and drag and drop:
// "text/uri-list" names the files, and a cut (the files are to be moved by whoever pastes them) is
// marked by the first line "cut" of "x-special/gnome-copied-files" (GNOME, Xfce, most Qt programs)
// or by "1" in "application/x-kde-cutselection" (KDE).
namespace kv {

namespace FileListMime {
inline constexpr std::string_view kUriList = "text/uri-list";
inline constexpr std::string_view kGnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr std::string_view kKdeCutSelection = "application/x-kde-cutselection";
inline constexpr std::string_view kPlainText = "text/plain;charset=utf-8";
}  // namespace FileListMime

// Files named by the clipboard or a drop, in order, and whether they were cut.
struct FileList {
    std::vector<std::filesystem::path> paths;
    bool cut = false;
};

// One format of a clipboard entry or of dragged data, with its bytes.
struct MimePart {
    std::string type;
    std::string data;
    bool operator==(const MimePart&) const = default;
};

// The formats that offer files: the URI list, the GNOME list marked "copy" or "cut" (one URI a
// line, no final line break: GNOME's reader refuses an empty line), the KDE mark for a cut, and
// the paths as plain text for programs that take text only.
std::vector<MimePart> EncodeFileList(const std::vector<std::filesystem::path>& paths, bool cut);

// Reads the formats through a lookup that answers the bytes of a format, or nothing when the data
// does not hold it. Only local files count; comments and blank lines of a URI list are skipped.
// Nothing when no format names a local file.
using MimeLookup = std::function<std::optional<std::string>(std::string_view type)>;
std::optional<FileList> DecodeFileList(const MimeLookup& lookup);

// Whether the formats offered include one that names files (without reading them).
bool OffersFileList(const std::vector<std::string>& types);

// "file:///..." for a path, with every character a URI may not hold escaped; and back, for local
// files only.
std::string FileUri(const std::filesystem::path& path);
std::optional<std::filesystem::path> PathOfUri(std::string_view uri);

}  // namespace kv
