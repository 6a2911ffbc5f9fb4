#include "browser/ThumbnailCacheFiles.h"

#include <charconv>
#include <set>

#include "imageio/Archive.h"

namespace kv {

namespace {

// The shortest entry of a cell file: an empty 8-bit key (one byte) and a null object tag (two).
constexpr size_t kMinCellEntryBytes = 3;

constexpr std::string_view kCachePrefix = "FLD";
constexpr std::string_view kCacheSuffix = ".tmp";

// The last component of a stored path, whichever separator the writer used.
std::string_view FileNamePart(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string CacheFileName(unsigned n) {
    return std::string(kCachePrefix) + std::to_string(n) + std::string(kCacheSuffix);
}

std::optional<unsigned> CacheFileNumber(std::string_view name) {
    if (!name.starts_with(kCachePrefix) || !name.ends_with(kCacheSuffix)) return std::nullopt;
    const std::string_view digits = name.substr(kCachePrefix.size(), name.size() - kCachePrefix.size() - kCacheSuffix.size());
    if (digits.empty() || digits.front() < '1' || digits.front() > '9') return std::nullopt;
    unsigned n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return n;
}

std::string FolderOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::vector<uint8_t> WriteCellFile(const CellMap& cells) {
    ArchiveWriter archive;
    archive.WriteCount(cells.size());
    for (const auto& [path, cell] : cells) {
        archive.WriteStringUtf8(path);
        if (cell) {
            archive.WriteObjectTag(kPaletteItemImgClass, kPaletteItemImgSchema);
            cell->Serialize(archive);
        } else {
            archive.WriteNullObject();
        }
    }
    return archive.TakeBytes();
}

void ReadCellFile(std::span<const uint8_t> bytes, CellMap& cells) {
    ArchiveReader archive(bytes);
    const uint64_t count = archive.ReadCount(kMinCellEntryBytes);
    for (uint64_t i = 0; i < count; ++i) {
        std::string path = archive.ReadStringUtf8();
        if (!archive.ReadObjectTag(kPaletteItemImgClass, kPaletteItemImgSchema)) continue;
        auto cell = std::make_shared<CPaletteItemImg>();
        cell->Serialize(archive);
        cells.insert_or_assign(std::move(path), std::move(cell));
    }
}

std::vector<uint8_t> WriteFolderIndexFile(const FolderIndex& index) {
    ArchiveWriter archive;
    archive.WriteStringMap(index);
    return archive.TakeBytes();
}

FolderIndex ReadFolderIndexFile(std::span<const uint8_t> bytes, const std::filesystem::path& cacheFolder) {
    ArchiveReader archive(bytes);
    FolderIndex index;
    std::set<std::string> files;
    for (auto& [folder, file] : archive.ReadStringMap()) {
        if (folder.empty() || folder.front() != '/' || folder.back() != '/') continue;
        const std::string_view name = FileNamePart(file);
        if (!CacheFileNumber(name)) continue;
        std::string local = (cacheFolder / std::string(name)).string();
        if (!files.insert(local).second) continue;
        index.emplace(folder, std::move(local));
    }
    return index;
}

}  // namespace kv
