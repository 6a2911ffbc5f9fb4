#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imageio/ByteReader.h"

namespace kv {

// One 12-byte directory entry. value is the entry's value field taken as one number: for a SHORT
// entry the first 16-bit half in the file's byte order (in a big-endian file the high half), for
// every other type the whole 32 bits, which for a value that does not fit is an offset.
struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
};

struct TiffIfd {
    std::vector<TiffEntry> entries;  // in file order
    uint32_t next = 0;               // offset of the next directory, 0 when there is none

    // The first entry of a tag, or null.
    const TiffEntry* Find(uint16_t tag) const;
};

// A minimal reader of the TIFF structure that Exif blocks and TIFF files share: a header at a base
// position of the file, then directories at offsets relative to that base. Nothing in the file is
// trusted: a directory must lie whole inside the file, and no directory is read twice, so a chain
// of directories that points back at itself ends with an error instead of a loop.
class TiffIfdReader {
public:
    // Reads the header at base: "II" (little-endian) or "MM" (big-endian), a 16-bit value that is
    // not checked, and the offset of the first directory. Nothing when the file does not hold
    // those 8 bytes there or the byte order is neither.
    static std::optional<TiffIfdReader> Open(const ByteReader& file, uint64_t base);

    bool bigEndian() const { return bigEndian_; }
    uint64_t base() const { return base_; }
    uint32_t ifd0Offset() const { return ifd0_; }

    // The directory at an offset from the base. Nothing, with the reason in error(), when its
    // entries or its next-directory offset reach past the end of the file or it was read before.
    std::optional<TiffIfd> ReadIfd(uint32_t offset);
    const std::string& error() const { return error_; }

    // Whether [offset, offset + length) from the base lies inside the file.
    bool Contains(uint64_t offset, uint64_t length) const;

private:
    TiffIfdReader(const ByteReader& file, uint64_t base, bool bigEndian, uint32_t ifd0)
        : file_(&file), base_(base), bigEndian_(bigEndian), ifd0_(ifd0) {}
    uint16_t Get16(const uint8_t* p) const;
    uint32_t Get32(const uint8_t* p) const;

    const ByteReader* file_;
    uint64_t base_;
    bool bigEndian_;
    uint32_t ifd0_;
    std::vector<uint32_t> visited_;
    std::string error_;
};

}  // namespace kv
