#include "imageio/TiffIfdReader.h"

#include <algorithm>

namespace kv {

namespace {

constexpr uint32_t kEntrySize = 12;
constexpr uint16_t kTypeShort = 3;

}  // namespace

const TiffEntry* TiffIfd::Find(uint16_t tag) const {
    for (const TiffEntry& entry : entries)
        if (entry.tag == tag) return &entry;
    return nullptr;
}

std::optional<TiffIfdReader> TiffIfdReader::Open(const ByteReader& file, uint64_t base) {
    uint8_t header[8];
    if (base > file.Size() || file.ReadAt(base, header, sizeof header) != sizeof header) return std::nullopt;
    bool bigEndian;
    if (header[0] == 'I' && header[1] == 'I') bigEndian = false;
    else if (header[0] == 'M' && header[1] == 'M') bigEndian = true;
    else return std::nullopt;
    TiffIfdReader reader(file, base, bigEndian, 0);
    reader.ifd0_ = reader.Get32(header + 4);
    return reader;
}

uint16_t TiffIfdReader::Get16(const uint8_t* p) const {
    return bigEndian_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t TiffIfdReader::Get32(const uint8_t* p) const {
    return bigEndian_ ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                      : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

bool TiffIfdReader::Contains(uint64_t offset, uint64_t length) const {
    const uint64_t size = file_->Size();
    return base_ <= size && offset <= size - base_ && length <= size - base_ - offset;
}

std::optional<TiffIfd> TiffIfdReader::ReadIfd(uint32_t offset) {
    if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end()) {
        error_ = "an Exif directory is referred to twice";
        return std::nullopt;
    }
    visited_.push_back(offset);
    uint8_t countBytes[2];
    if (!Contains(offset, 2) || file_->ReadAt(base_ + offset, countBytes, 2) != 2) {
        error_ = "an Exif directory lies outside the file";
        return std::nullopt;
    }
    // The count is checked against the bytes that follow before anything is allocated for it.
    const uint32_t count = Get16(countBytes);
    const uint64_t length = uint64_t{count} * kEntrySize + 4;
    if (!Contains(uint64_t{offset} + 2, length)) {
        error_ = "an Exif directory runs past the end of the file";
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(length);
    if (file_->ReadAt(base_ + offset + 2, bytes.data(), bytes.size()) != bytes.size()) {
        error_ = "the file could not be read";
        return std::nullopt;
    }
    TiffIfd ifd;
    ifd.entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes.data() + size_t{i} * kEntrySize;
        TiffEntry& entry = ifd.entries[i];
        entry.tag = Get16(p);
        entry.type = Get16(p + 2);
        entry.count = Get32(p + 4);
        entry.value = entry.type == kTypeShort ? Get16(p + 8) : Get32(p + 8);
    }
    ifd.next = Get32(bytes.data() + size_t{count} * kEntrySize);
    return ifd;
}

}  // namespace kv
