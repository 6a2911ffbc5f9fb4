#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "app/OutputSizeRules.h"
#include "base/AtomicFile.h"

// Batch files (".qzb"): a batch list under a name the user chose. Little-endian: a 56-byte UTF-16
// header without terminator, the item count (signed 32-bit), then per item its path as an archived
// string and its width, height (signed 32-bit), resolution (32-bit float, dots per inch),
// algorithm and correction (signed 32-bit).
namespace kv {

inline constexpr std::u16string_view kBatchFileHeader = u"KARVO ScaleCrafter 2.0 Batch";
inline constexpr size_t kBatchFileHeaderBytes = 2 * kBatchFileHeader.size();
inline constexpr std::string_view kBatchFileExtension = "qzb";
inline constexpr std::string_view kBatchPresetFolder = "Batches";
// The writer hands the file its bytes in blocks of this size.
inline constexpr size_t kBatchFileWriteBuffer = 4096;
// Larger files are refused unread: a list of a million long paths stays well below this.
inline constexpr uint64_t kMaxBatchFileBytes = uint64_t{256} << 20;

// One item as a batch file keeps it.
struct BatchRecord {
    std::filesystem::path path;
    StampedSettings values;
    bool operator==(const BatchRecord&) const = default;
};

// The records of a batch file, in file order; nothing when the bytes do not begin with the header.
// Reading stops at the stored count, or where the bytes end or hold an impossible string: the
// records read whole until then are kept. An algorithm, correction or resolution out of range takes
// its default; a path holding a NUL character is read as an empty path, which names no file.
// complete (when given) tells whether every record the count promises was read.
std::optional<std::vector<BatchRecord>> DecodeBatchFile(std::span<const uint8_t> bytes, bool* complete = nullptr);

// Writes a batch file whole or not at all: through a 4096-byte buffer into a temporary file that
// replaces the destination only once every byte is written.
IoResult WriteBatchFile(const std::filesystem::path& path, std::span<const BatchRecord> records);

}  // namespace kv
