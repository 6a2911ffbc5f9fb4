#include "imageio/MetadataSegments.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#include <zlib.h>

namespace kv {
namespace {

// Real files carry a few dozen segments before their image data and a handful of metadata chunks;
// these caps only stop hostile files from making the walk long.
constexpr int kMaxJpegSegments = 4096;
constexpr int kMaxPngChunks = 1 << 20;
constexpr int kMaxFillBytes = 1 << 16;
// A colour profile may span up to 255 segments of 64 KiB.
constexpr size_t kMaxMetadataBytes = 32u << 20;

class SpanReader final : public ByteReader {
public:
    explicit SpanReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const override {
        if (offset >= bytes_.size()) return 0;
        const size_t n = std::min<size_t>(size, bytes_.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

private:
    std::span<const uint8_t> bytes_;
};

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

struct JpegSegment {
    uint8_t marker = 0;
    uint64_t offset = 0;  // of the 0xFF before the marker
    uint32_t length = 0;  // of the payload, after the two length bytes
};

// Visits the segments from the start marker up to the image data (or the end marker); stops early
// when visit returns false. False when the file does not start with a JPEG start marker.
bool WalkJpegSegments(const ByteReader& file, const std::function<bool(const JpegSegment&)>& visit) {
    uint8_t head[2];
    if (file.ReadAt(0, head, 2) != 2 || head[0] != 0xFF || head[1] != 0xD8) return false;
    uint64_t pos = 2;
    for (int n = 0; n < kMaxJpegSegments; ++n) {
        uint8_t b[4];
        if (file.ReadAt(pos, b, 2) != 2 || b[0] != 0xFF) return true;
        // 0xFF fill bytes may come before a marker; a run longer than any writer makes ends the walk.
        for (int fill = 0; b[1] == 0xFF; ++fill) {
            ++pos;
            if (fill == kMaxFillBytes || file.ReadAt(pos + 1, &b[1], 1) != 1) return true;
        }
        const uint64_t start = pos;
        const uint8_t marker = b[1];
        pos += 2;
        if (marker == 0xDA || marker == 0xD9) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (file.ReadAt(pos, b, 2) != 2) return true;
        const uint16_t length = Be16(b);
        if (length < 2 || pos + length > file.Size()) return true;
        if (!visit({marker, start, static_cast<uint32_t>(length - 2)})) return true;
        pos += length;
    }
    return true;
}

bool HasPrefix(const ByteReader& file, uint64_t offset, uint32_t length, const char* prefix, size_t prefixLength) {
    if (length < prefixLength) return false;
    std::vector<uint8_t> head(prefixLength);
    return file.ReadAt(offset, head.data(), prefixLength) == prefixLength &&
           std::memcmp(head.data(), prefix, prefixLength) == 0;
}

struct PngChunk {
    uint32_t type = 0;
    uint64_t offset = 0;  // of the length field
    uint32_t length = 0;  // of the data
};

constexpr uint32_t ChunkType(const char (&name)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 | static_cast<uint8_t>(name[3]);
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Visits the chunks after the signature up to the end chunk. False when the signature is wrong.
bool WalkPngChunks(const ByteReader& file, const std::function<bool(const PngChunk&)>& visit) {
    uint8_t sig[8];
    if (file.ReadAt(0, sig, 8) != 8 || std::memcmp(sig, kPngSignature, 8) != 0) return false;
    uint64_t pos = 8;
    for (int n = 0; n < kMaxPngChunks; ++n) {
        uint8_t b[8];
        if (file.ReadAt(pos, b, 8) != 8) return true;
        const uint32_t length = Be32(b);
        const uint32_t type = Be32(b + 4);
        if (length > 0x7FFFFFFFu || pos + 12 + length > file.Size()) return true;
        if (type == ChunkType("IEND")) return true;
        if (!visit({type, pos, length})) return true;
        pos += 12 + static_cast<uint64_t>(length);
    }
    return true;
}

bool AppendRange(const ByteReader& file, uint64_t offset, uint64_t length, std::vector<uint8_t>& out) {
    if (out.size() + length > kMaxMetadataBytes) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length));
    if (file.ReadAt(offset, out.data() + at, static_cast<size_t>(length)) != length) {
        out.resize(at);
        return false;
    }
    return true;
}

// The text chunks that carry an Exif block, as image tools write it.
bool IsExifTextChunk(const ByteReader& file, const PngChunk& chunk) {
    if (chunk.type != ChunkType("tEXt") && chunk.type != ChunkType("zTXt") && chunk.type != ChunkType("iTXt"))
        return false;
    static constexpr char kExif[] = "Raw profile type exif";
    static constexpr char kApp1[] = "Raw profile type APP1";
    return HasPrefix(file, chunk.offset + 8, chunk.length, kExif, sizeof kExif) ||
           HasPrefix(file, chunk.offset + 8, chunk.length, kApp1, sizeof kApp1);
}

}  // namespace

bool JpegMetadataPrefix(const ByteReader& file, std::vector<uint8_t>& out) {
    out.assign({0xFF, 0xD8});
    bool any = false;
    static constexpr char kExif[] = "Exif\0";  // with the array's own zero: "Exif" and two zeros
    static constexpr char kXmp[] = "http://ns.adobe.com/xap/1.0/";
    static constexpr char kIcc[] = "ICC_PROFILE";
    static constexpr char kPhotoshop[] = "Photoshop 3.0";
    const bool jpeg = WalkJpegSegments(file, [&](const JpegSegment& s) {
        const uint64_t payload = s.offset + 4;
        const bool keep = (s.marker == 0xE1 && (HasPrefix(file, payload, s.length, kExif, sizeof kExif) ||
                                                HasPrefix(file, payload, s.length, kXmp, sizeof kXmp))) ||
                          (s.marker == 0xE2 && HasPrefix(file, payload, s.length, kIcc, sizeof kIcc)) ||
                          (s.marker == 0xED && HasPrefix(file, payload, s.length, kPhotoshop, sizeof kPhotoshop)) ||
                          s.marker == 0xFE;
        if (keep) {
            if (!AppendRange(file, s.offset, 4 + static_cast<uint64_t>(s.length), out)) return false;
            any = true;
        }
        return true;
    });
    out.push_back(0xFF);
    out.push_back(0xD9);
    return jpeg && any;
}

bool PngMetadataChunks(const ByteReader& file, std::vector<uint8_t>& out) {
    out.assign(std::begin(kPngSignature), std::end(kPngSignature));
    const bool png = WalkPngChunks(file, [&](const PngChunk& c) {
        // Text chunks carry Exif as image tools write it, XMP, IPTC and comments.
        const bool keep = c.type == ChunkType("IHDR") || c.type == ChunkType("iCCP") ||
                          c.type == ChunkType("eXIf") || c.type == ChunkType("tEXt") || c.type == ChunkType("zTXt") ||
                          c.type == ChunkType("iTXt");
        return !keep || AppendRange(file, c.offset, 12 + static_cast<uint64_t>(c.length), out);
    });
    static constexpr uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    out.insert(out.end(), std::begin(kEnd), std::end(kEnd));
    return png;
}

namespace {

// The first bytes of the first frame header: precision, height, width and component count.
std::optional<std::array<uint8_t, 6>> FrameHeader(std::span<const uint8_t> jpeg) {
    const SpanReader file(jpeg);
    std::optional<std::array<uint8_t, 6>> header;
    WalkJpegSegments(file, [&](const JpegSegment& s) {
        const bool frame = s.marker >= 0xC0 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 &&
                           s.marker != 0xCC;
        if (!frame) return true;
        std::array<uint8_t, 6> b;
        if (s.length >= 6 && file.ReadAt(s.offset + 4, b.data(), 6) == 6) header = b;
        return false;
    });
    return header;
}

}  // namespace

std::optional<FrameSize> JpegFrameSize(std::span<const uint8_t> jpeg) {
    const auto b = FrameHeader(jpeg);
    if (!b) return std::nullopt;
    return FrameSize{Be16(b->data() + 3), Be16(b->data() + 1)};
}

std::optional<int> JpegComponentCount(std::span<const uint8_t> jpeg) {
    const auto b = FrameHeader(jpeg);
    if (!b) return std::nullopt;
    return (*b)[5];
}

std::optional<FileDensity> ReadFileDensity(std::span<const uint8_t> bytes, ImageFormat format) {
    const SpanReader file(bytes);
    std::optional<FileDensity> density;
    if (format == ImageFormat::Jpeg) {
        static constexpr char kJfif[] = "JFIF";
        WalkJpegSegments(file, [&](const JpegSegment& s) {
            if (s.marker != 0xE0 || !HasPrefix(file, s.offset + 4, s.length, kJfif, sizeof kJfif)) return true;
            uint8_t b[12];
            if (s.length < 12 || file.ReadAt(s.offset + 4, b, 12) != 12) return false;
            const uint8_t units = b[7];
            const uint16_t x = Be16(b + 8);
            const uint16_t y = Be16(b + 10);
            if ((units == 1 || units == 2) && x != 0 && y != 0)
                density = FileDensity{x, y, 1, static_cast<uint16_t>(units == 1 ? 2 : 3)};
            return false;
        });
    } else if (format == ImageFormat::Png) {
        WalkPngChunks(file, [&](const PngChunk& c) {
            if (c.type != ChunkType("pHYs")) return true;
            uint8_t b[9];
            if (c.length != 9 || file.ReadAt(c.offset + 8, b, 9) != 9) return false;
            const uint32_t x = Be32(b);
            const uint32_t y = Be32(b + 4);
            if (b[8] != 1 || x == 0 || y == 0 || x > 0x7FFFFFFF || y > 0x7FFFFFFF) return false;
            // A density written from whole dots per inch (rounded either way to whole dots per
            // metre) is given back as that whole number; any other stays exact per centimetre.
            const auto wholeDpi = [](uint32_t ppm) -> std::optional<uint32_t> {
                const double dpi = std::round(ppm * 0.0254);
                if (dpi >= 1 && std::fabs(dpi / 0.0254 - ppm) < 1.0) return static_cast<uint32_t>(dpi);
                return std::nullopt;
            };
            const auto dx = wholeDpi(x);
            const auto dy = wholeDpi(y);
            if (dx && dy)
                density = FileDensity{*dx, *dy, 1, 2};
            else
                density = FileDensity{x, y, 100, 3};
            return false;
        });
    }
    return density;
}

namespace {

void AppendBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void AppendChunk(std::vector<uint8_t>& out, const char (&type)[5], std::span<const uint8_t> data) {
    AppendBe32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    AppendBe32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool InsertPngMetadata(std::vector<uint8_t>& png, std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
    if (exif.size() > 0x7FFFFFF0u || icc.size() > 0x7FFFFFF0u) return false;
    std::vector<uint8_t> profile;
    if (!icc.empty()) {
        // The profile name is required by the format; the profile itself is deflated.
        static constexpr char kName[] = "ICC Profile";
        profile.assign(kName, kName + sizeof kName);
        profile.push_back(0);  // compression method: deflate
        uLongf packed = compressBound(static_cast<uLong>(icc.size()));
        const size_t at = profile.size();
        profile.resize(at + packed);
        if (compress2(profile.data() + at, &packed, icc.data(), static_cast<uLong>(icc.size()), Z_BEST_COMPRESSION) != Z_OK)
            return false;
        profile.resize(at + packed);
    }

    const SpanReader file(png);
    std::vector<uint8_t> out(std::begin(kPngSignature), std::end(kPngSignature));
    bool header = false;
    bool inserted = false;
    const bool ok = WalkPngChunks(file, [&](const PngChunk& c) {
        const bool replaced = (!exif.empty() && (c.type == ChunkType("eXIf") || IsExifTextChunk(file, c))) ||
                              (!icc.empty() && (c.type == ChunkType("iCCP") || c.type == ChunkType("sRGB")));
        if (!replaced) {
            const auto chunk = std::span<const uint8_t>(png).subspan(static_cast<size_t>(c.offset), 12 + c.length);
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        if (c.type == ChunkType("IHDR") && !inserted) {
            header = true;
            inserted = true;
            if (!profile.empty()) AppendChunk(out, "iCCP", profile);
            if (!exif.empty()) AppendChunk(out, "eXIf", exif);
        }
        return true;
    });
    if (!ok || !header) return false;
    AppendChunk(out, "IEND", {});
    png.swap(out);
    return true;
}

bool AppendPngTexts(std::vector<uint8_t>& png, const std::vector<PngText>& texts) {
    // Before the image data, where every reader looks for them.
    std::optional<uint64_t> data;
    const SpanReader file(png);
    WalkPngChunks(file, [&](const PngChunk& c) {
        if (c.type != ChunkType("IDAT")) return true;
        data = c.offset;
        return false;
    });
    if (!data) return false;
    std::vector<uint8_t> chunks;
    for (const PngText& t : texts) {
        if (t.keyword.empty() || t.keyword.size() > 79 || t.text.size() > 0x7FFFFF00u) return false;
        std::vector<uint8_t> data(t.keyword.begin(), t.keyword.end());
        data.push_back(0);
        switch (t.kind) {
            case PngText::Kind::Latin1:
                data.insert(data.end(), t.text.begin(), t.text.end());
                AppendChunk(chunks, "tEXt", data);
                break;
            case PngText::Kind::Utf8:
                // Not compressed, no language, no translated keyword.
                data.insert(data.end(), {0, 0, 0, 0});
                data.insert(data.end(), t.text.begin(), t.text.end());
                AppendChunk(chunks, "iTXt", data);
                break;
            case PngText::Kind::Deflated: {
                data.push_back(0);  // deflate
                uLongf packed = compressBound(static_cast<uLong>(t.text.size()));
                const size_t at = data.size();
                data.resize(at + packed);
                if (compress2(data.data() + at, &packed, reinterpret_cast<const Bytef*>(t.text.data()),
                              static_cast<uLong>(t.text.size()), Z_BEST_COMPRESSION) != Z_OK)
                    return false;
                data.resize(at + packed);
                AppendChunk(chunks, "zTXt", data);
                break;
            }
        }
    }
    png.insert(png.begin() + static_cast<ptrdiff_t>(*data), chunks.begin(), chunks.end());
    return true;
}

std::string RawProfileText(std::string_view type, std::span<const uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text = "\n" + std::string(type) + "\n";
    char length[16];
    std::snprintf(length, sizeof length, "%8zu\n", bytes.size());
    text += length;
    for (size_t i = 0; i < bytes.size(); ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
        if (i % 36 == 35 || i + 1 == bytes.size()) text += '\n';
    }
    return text;
}

}  // namespace kv
