#include "imageio/CarriedMetadataParts.h"

#include <algorithm>
#include <cstring>

#include "imageio/ByteReader.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace kv {

namespace {

constexpr char kPhotoshop[] = "Photoshop 3.0";  // with its zero: 14 bytes
constexpr size_t kPhotoshopLength = sizeof kPhotoshop;
constexpr size_t kMaxIrbBytes = 16u << 20;

// Photoshop resources that describe the old file's pixels (its resolution, its thumbnails) or the
// IPTC block that is carried and written on its own (with its digest, which would no longer match).
bool IsDroppedResource(uint16_t id) {
    switch (id) {
        case 0x03ED:  // resolution
        case 0x0404:  // IPTC
        case 0x0409:  // thumbnail
        case 0x040C:  // thumbnail
        case 0x0425:  // IPTC digest
            return true;
        default:
            return false;
    }
}

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The resource blocks of an image resource section that are carried, whole blocks only; a block that
// runs past the end ends the walk.
std::vector<uint8_t> CarriedResources(std::span<const uint8_t> irb) {
    std::vector<uint8_t> out;
    size_t pos = 0;
    while (pos + 12 <= irb.size() && std::memcmp(irb.data() + pos, "8BIM", 4) == 0) {
        const uint16_t id = Be16(irb.data() + pos + 4);
        const size_t nameLength = irb[pos + 6];
        const size_t name = (nameLength + 2) & ~size_t{1};  // length byte and text, padded to even
        if (pos + 6 + name + 4 > irb.size()) break;
        const size_t size = Be32(irb.data() + pos + 6 + name);
        const size_t end = pos + 6 + name + 4 + ((size + 1) & ~size_t{1});
        if (size > irb.size() || end > irb.size() + (size & 1)) break;
        if (!IsDroppedResource(id)) {
            out.insert(out.end(), irb.begin() + static_cast<ptrdiff_t>(pos), irb.begin() + static_cast<ptrdiff_t>(std::min(end, irb.size())));
            if (end > irb.size()) out.push_back(0);
        }
        pos = end;
    }
    return out;
}

// The Photoshop section of a JPEG file: the APP13 segments that carry it, joined.
std::vector<uint8_t> JpegIrb(std::span<const uint8_t> jpeg) {
    std::vector<uint8_t> irb;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const uint8_t marker = jpeg[pos + 1];
        if (marker == 0xDA || marker == 0xD9) break;
        const size_t length = Be16(jpeg.data() + pos + 2);
        if (length < 2 || pos + 2 + length > jpeg.size()) break;
        const uint8_t* payload = jpeg.data() + pos + 4;
        if (marker == 0xED && length - 2 > kPhotoshopLength && std::memcmp(payload, kPhotoshop, kPhotoshopLength) == 0 &&
            irb.size() + length <= kMaxIrbBytes)
            irb.insert(irb.end(), payload + kPhotoshopLength, payload + (length - 2));
        pos += 2 + length;
    }
    return irb;
}

bool IsCarriedGroup(const std::string& group) {
    return group == "Iop" || group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group);
}

// Pointers inside a maker note to directories the metadata library does not read: written again they
// would keep their old value and point at nothing, so they are left out.
bool IsStalePointer(const Exiv2::Exifdatum& datum) { return datum.key() == "Exif.Nikon3.ScanIFD"; }

}  // namespace

bool IsCarriedBlockTag(uint32_t id) {
    return id == 0x02BC /* XMP */ || id == 0x83BB /* IPTC */ || id == 0x8649 /* Photoshop */;
}

std::shared_ptr<const CarriedMetadata> CarryMetadata(Exiv2::Image& image, ImageFormat format,
                                                     std::span<const uint8_t> bytes) {
    auto carried = std::make_shared<CarriedMetadata>();
    // Only what the items cannot hold: the maker note with the groups the library decoded it
    // into, and the interoperability directory, whose tags would collide with the GPS ones.
    bool makerNote = false;
    for (const auto& datum : image.exifData()) {
        const std::string group = datum.groupName();
        if (!IsCarriedGroup(group) || IsStalePointer(datum)) continue;
        if (group != "Iop" && group != "MakerNote") makerNote = true;
        carried->exif.add(datum);
    }
    // A maker note the library could not decode stays the raw item it always was.
    if (!makerNote) {
        for (auto it = carried->exif.begin(); it != carried->exif.end();)
            it = it->groupName() == "MakerNote" ? carried->exif.erase(it) : std::next(it);
    }
    carried->byteOrder = image.byteOrder();
    // The packet as the file holds it: asked otherwise, the library serialises its own reading of it.
    image.writeXmpFromPacket(true);
    carried->xmp = image.xmpPacket();
    carried->iptc = image.iptcData();
    carried->comment = image.comment();
    std::vector<uint8_t> irb;
    if (format == ImageFormat::Jpeg) {
        irb = JpegIrb(bytes);
    } else if (format == ImageFormat::Tiff) {
        const auto it = image.exifData().findKey(Exiv2::ExifKey("Exif.Image.ImageResources"));
        if (it != image.exifData().end() && it->size() > 0 && static_cast<size_t>(it->size()) <= kMaxIrbBytes) {
            irb.resize(static_cast<size_t>(it->size()));
            it->copy(irb.data(), Exiv2::bigEndian);
        }
    }
    carried->irb = CarriedResources(irb);
    if (carried->empty()) return nullptr;
    return carried;
}

void AddCarriedExif(const CarriedMetadata& carried, Exiv2::ExifData& exif) {
    for (const auto& datum : carried.exif) exif.add(datum);
}

std::vector<uint8_t> ResultIrb(const CarriedMetadata& carried) {
    if (carried.irb.empty() && carried.iptc.empty()) return {};
    const Exiv2::DataBuf irb = Exiv2::Photoshop::setIptcIrb(carried.irb.data(), static_cast<long>(carried.irb.size()), carried.iptc);
    if (irb.size_ <= 0) return carried.irb;
    return std::vector<uint8_t>(irb.pData_, irb.pData_ + irb.size_);
}

bool InsertJpegIrb(std::vector<uint8_t>& jpeg, std::span<const uint8_t> irb) {
    if (irb.empty()) return true;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
    // After the start marker and a JFIF segment, where readers look for it.
    size_t at = 2;
    if (jpeg.size() >= 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) at = 4 + Be16(jpeg.data() + 4);
    if (at > jpeg.size()) return false;
    constexpr size_t kMaxChunk = 65533 - kPhotoshopLength;
    std::vector<uint8_t> segments;
    for (size_t pos = 0; pos < irb.size(); pos += kMaxChunk) {
        const size_t n = std::min(kMaxChunk, irb.size() - pos);
        const size_t length = 2 + kPhotoshopLength + n;
        segments.insert(segments.end(), {0xFF, 0xED, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        segments.insert(segments.end(), kPhotoshop, kPhotoshop + kPhotoshopLength);
        segments.insert(segments.end(), irb.begin() + static_cast<ptrdiff_t>(pos), irb.begin() + static_cast<ptrdiff_t>(pos + n));
    }
    jpeg.insert(jpeg.begin() + static_cast<ptrdiff_t>(at), segments.begin(), segments.end());
    return true;
}

}  // namespace kv
