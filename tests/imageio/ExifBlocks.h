#pragma once

// Exif and TIFF structures written byte by byte, so that a test states exactly which directory,
// entry, offset or length it gets wrong.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

namespace TiffType {
inline constexpr uint16_t Short = 3;
inline constexpr uint16_t Long = 4;
}  // namespace TiffType

struct IfdEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;  // a SHORT is written into the first half of the value field
};

// A TIFF header and whatever directories and data are appended to it; offsets count from the header.
class TiffBlock {
public:
    explicit TiffBlock(bool bigEndian) : big_(bigEndian) {
        bytes.push_back(big_ ? 'M' : 'I');
        bytes.push_back(big_ ? 'M' : 'I');
        Put16(42);
        Put32(8);
    }

    // Appends a directory and returns its offset.
    uint32_t AddIfd(const std::vector<IfdEntry>& entries, uint32_t next = 0) {
        const uint32_t at = Size();
        Put16(static_cast<uint16_t>(entries.size()));
        for (const IfdEntry& e : entries) {
            Put16(e.tag);
            Put16(e.type);
            Put32(e.count);
            if (e.type == TiffType::Short) {
                Put16(static_cast<uint16_t>(e.value));
                Put16(0);
            } else {
                Put32(e.value);
            }
        }
        Put32(next);
        return at;
    }
    // Rewrites the next-directory offset of the directory at ifd.
    void SetNext(uint32_t ifd, uint32_t next) {
        const uint32_t count = Get16(ifd);
        Set32(ifd + 2 + count * 12, next);
    }
    void SetIfd0(uint32_t offset) { Set32(4, offset); }
    uint32_t AddData(const std::vector<uint8_t>& data) {
        const uint32_t at = Size();
        bytes.insert(bytes.end(), data.begin(), data.end());
        return at;
    }
    uint32_t Size() const { return static_cast<uint32_t>(bytes.size()); }

    std::vector<uint8_t> bytes;

private:
    void Put16(uint16_t v) {
        if (big_) bytes.insert(bytes.end(), {uint8_t(v >> 8), uint8_t(v)});
        else bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    void Put32(uint32_t v) {
        if (big_) bytes.insert(bytes.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        else bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    uint16_t Get16(uint32_t at) const {
        return big_ ? uint16_t(bytes[at] << 8 | bytes[at + 1]) : uint16_t(bytes[at + 1] << 8 | bytes[at]);
    }
    void Set32(uint32_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (big_ ? 24 - 8 * i : 8 * i));
    }
    bool big_;
};

// An APP1 segment holding an identifier and a payload.
inline std::vector<uint8_t> App1Segment(const std::string& identifier, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> s(4 + identifier.size());
    s[0] = 0xFF;
    s[1] = 0xE1;
    std::copy(identifier.begin(), identifier.end(), s.begin() + 4);
    s.insert(s.end(), payload.begin(), payload.end());
    const size_t length = s.size() - 2;
    s[2] = uint8_t(length >> 8);
    s[3] = uint8_t(length);
    return s;
}

inline std::vector<uint8_t> ExifApp1(const TiffBlock& tiff) { return App1Segment(std::string("Exif\0\0", 6), tiff.bytes); }

// A JPEG file head: the start marker, the given segments, and a start of scan that ends the search.
inline std::vector<uint8_t> JpegWithSegments(const std::vector<std::vector<uint8_t>>& segments) {
    std::vector<uint8_t> file{0xFF, 0xD8};
    for (const auto& s : segments) file.insert(file.end(), s.begin(), s.end());
    file.insert(file.end(), {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9});
    return file;
}

// Width x height pixels of three bytes, each pixel's bytes (column, row, 0x80 | column ^ row), so
// that every pixel of a small picture is told apart.
inline std::vector<uint8_t> RgbPattern(uint32_t width, uint32_t height) {
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) rgb.insert(rgb.end(), {uint8_t(x), uint8_t(y), uint8_t(0x80 | (x ^ y))});
    return rgb;
}

}  // namespace kv::test
