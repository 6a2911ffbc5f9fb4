// Arbitrary bytes as a thumbnail cache file and as the cache's folder index. Reading may only end
// with ArchiveError; every cell that is read must give its picture (or none) without reading past
// its stream, and must be written and read back as it was. The index may only ever name files of
// the cache folder.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "browser/ThumbnailCacheFiles.h"
#include "imageio/Archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);

    kv::CellMap cells;
    try {
        kv::ReadCellFile(bytes, cells);
    } catch (const kv::ArchiveError&) {
    }
    for (const auto& [path, cell] : cells) {
        if (!cell) __builtin_trap();
        const kv::DibImagePtr picture = cell->GetThumbnail();
        if (picture && (picture->width() != cell->displayWidth || picture->height() != cell->displayHeight))
            __builtin_trap();
    }
    if (!cells.empty()) {
        kv::CellMap again;
        kv::ReadCellFile(kv::WriteCellFile(cells), again);  // throws, and so fails, if not readable
        if (again.size() != cells.size()) __builtin_trap();
    }

    try {
        constexpr std::string_view kFolder = "/cache/";
        for (const auto& [folder, file] : kv::ReadFolderIndexFile(bytes, "/cache")) {
            if (!std::string_view(file).starts_with(kFolder)) __builtin_trap();
            if (!kv::CacheFileNumber(std::string_view(file).substr(kFolder.size()))) __builtin_trap();
        }
    } catch (const kv::ArchiveError&) {
    }
    return 0;
}
