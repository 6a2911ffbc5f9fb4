#include "imageio/PropertyItems.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <span>

#include "imageio/CarriedMetadataParts.h"
#include "imageio/ColourProfile.h"
#include "imageio/MetadataSegments.h"

// exiv2 0.27 still spells its owning pointers std::auto_ptr, in its headers and in the calls here.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace kv {
namespace {

// A TIFF file is parsed from a whole copy of it, so its size is bounded; larger files keep their
// pixels but show no items.
constexpr uint64_t kMaxTiffMetadataFile = 512ull << 20;

std::mutex g_xmpMutex;

void LockXmp(void*, bool lock) {
    if (lock)
        g_xmpMutex.lock();
    else
        g_xmpMutex.unlock();
}

// The first IFD's tags and the numbers the platform gives them as thumbnail items.
struct ThumbnailTag {
    uint16_t ifdTag;
    uint32_t itemTag;
};
constexpr std::array<ThumbnailTag, 28> kThumbnailTags{{
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
    {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
    {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
    {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
    {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
    {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B},
}};

std::optional<uint32_t> ThumbnailItemTag(uint16_t ifdTag) {
    for (const auto& t : kThumbnailTags)
        if (t.ifdTag == ifdTag) return t.itemTag;
    return std::nullopt;
}

std::optional<uint16_t> ThumbnailIfdTag(uint32_t itemTag) {
    for (const auto& t : kThumbnailTags)
        if (t.itemTag == itemTag) return t.ifdTag;
    return std::nullopt;
}

// Tags that describe how the old file laid out its pixels (or where its sub-IFDs were). Written
// into another file they would point at nothing or contradict it, so they are never written.
bool IsLayoutTag(uint16_t tag) {
    switch (tag) {
        case 0x00FE: case 0x00FF: case 0x0100: case 0x0101: case 0x0102: case 0x0103:
        case 0x0106: case 0x0107: case 0x0108: case 0x0109: case 0x010A: case 0x0111:
        case 0x0115: case 0x0116: case 0x0117: case 0x0118: case 0x0119: case 0x011C:
        case 0x0122: case 0x0123: case 0x0124: case 0x0125: case 0x013D: case 0x0140:
        case 0x0142: case 0x0143: case 0x0144: case 0x0145: case 0x014A: case 0x0152:
        case 0x0153: case 0x0154: case 0x0155: case 0x015B: case 0x0200: case 0x0201:
        case 0x0202: case 0x0203: case 0x0205: case 0x0206: case 0x0207: case 0x0208:
        case 0x0209: case 0x0212:
            return true;
        default:
            return false;
    }
}

// Items whose value the writer computes itself or takes from the file.
bool IsComputedTag(uint32_t id) {
    switch (id) {
        case PropertyTag::XResolution:
        case PropertyTag::YResolution:
        case PropertyTag::ResolutionUnit:
        case PropertyTag::ExifIFD:
        case PropertyTag::GpsIFD:
        case 0xA005:  // the interoperability IFD pointer
        case PropertyTag::ICCProfile:
            return true;
        default:
            return false;
    }
}

constexpr uint32_t kLastGpsTag = 0x001F;

size_t TypeSize(uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: case 11: return 4;
        case 5: case 10: case 12: return 8;
        default: return 0;
    }
}

const std::set<uint16_t>& ExifIfdTags() {
    static const std::set<uint16_t> tags = [] {
        std::set<uint16_t> set;
        for (const Exiv2::TagInfo* info = Exiv2::ExifTags::tagList("Photo"); info && info->tag_ != 0xFFFF; ++info)
            set.insert(info->tag_);
        return set;
    }();
    return tags;
}

PropertyItem MakeItem(uint32_t id, uint16_t type, std::vector<uint8_t> value) {
    PropertyItem item;
    item.id = id;
    item.type = type;
    item.value = std::move(value);
    if (type == PropertyTagType::ASCII && (item.value.empty() || item.value.back() != 0)) item.value.push_back(0);
    return item;
}

std::vector<uint8_t> Short(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

// The items of the Exif block. The first IFD counts as a thumbnail only where it holds one (JPEG
// and PNG files); in a TIFF file it is the next page.
void AppendExifItems(const Exiv2::ExifData& exif, bool withThumbnail, std::vector<PropertyItem>& items,
                     std::set<uint32_t>& seen) {
    bool jpegThumbnail = false;
    for (const auto& datum : exif) {
        const std::string group = datum.groupName();
        const uint16_t tag = datum.tag();
        uint32_t id;
        if (group == "Image" || group == "Photo") {
            if (tag == 0xA005) continue;  // its IFD is not reported
            if (IsCarriedBlockTag(tag)) continue;  // carried whole, beside the items
            id = tag;
        } else if (group == "GPSInfo") {
            if (tag > kLastGpsTag) continue;
            id = tag;
        } else if (group == "Thumbnail" && withThumbnail) {
            if (tag == 0x0103) jpegThumbnail = datum.count() == 1 && datum.toLong() == 6;
            const auto mapped = ThumbnailItemTag(tag);
            if (!mapped) continue;
            id = *mapped;
        } else {
            continue;
        }
        uint16_t type = static_cast<uint16_t>(datum.typeId());
        if (type == 13) type = PropertyTagType::Long;  // an IFD offset
        const long size = datum.size();
        if (TypeSize(type) == 0 || size <= 0 || seen.count(id)) continue;
        std::vector<uint8_t> value(static_cast<size_t>(size));
        if (datum.copy(value.data(), Exiv2::littleEndian) != size) continue;
        PropertyItem item = MakeItem(id, type, std::move(value));
        if (!IsConsistentPropertyItem(item)) continue;
        seen.insert(id);
        items.push_back(std::move(item));
    }
    if (!jpegThumbnail) return;

    const Exiv2::ExifThumbC thumbnail(exif);
    const Exiv2::DataBuf data = thumbnail.copy();
    if (data.size_ < 4 || data.pData_[0] != 0xFF || data.pData_[1] != 0xD8) return;
    const std::span<const uint8_t> bytes(data.pData_, static_cast<size_t>(data.size_));
    items.push_back(MakeItem(PropertyTag::ThumbnailData, PropertyTagType::Byte, {bytes.begin(), bytes.end()}));
    if (const auto size = JpegFrameSize(bytes)) {
        items.push_back(MakeItem(PropertyTag::ThumbnailWidth, PropertyTagType::Short, Short(size->width)));
        items.push_back(MakeItem(PropertyTag::ThumbnailHeight, PropertyTagType::Short, Short(size->height)));
    }
}

Exiv2::Image::AutoPtr OpenImage(ImageFormat format, const uint8_t* data, size_t size) {
    Exiv2::BasicIo::AutoPtr io(new Exiv2::MemIo(data, static_cast<long>(size)));
    switch (format) {
        case ImageFormat::Jpeg: return Exiv2::Image::AutoPtr(new Exiv2::JpegImage(io, false));
        case ImageFormat::Png: return Exiv2::Image::AutoPtr(new Exiv2::PngImage(io, false));
        case ImageFormat::Tiff: return Exiv2::Image::AutoPtr(new Exiv2::TiffImage(io, false));
        default: return Exiv2::Image::AutoPtr();
    }
}

// The part of a file the metadata library needs: for JPEG the segments before the image data, for
// PNG the chunks other than image data, for TIFF the whole file.
bool MetadataBytes(const ByteReader& file, ImageFormat format, std::vector<uint8_t>& bytes) {
    switch (format) {
        case ImageFormat::Jpeg: return JpegMetadataPrefix(file, bytes);
        case ImageFormat::Png: return PngMetadataChunks(file, bytes);
        case ImageFormat::Tiff: {
            const uint64_t size = file.Size();
            if (size < 8 || size > kMaxTiffMetadataFile) return false;
            bytes.resize(static_cast<size_t>(size));
            return file.ReadAt(0, bytes.data(), bytes.size()) == bytes.size();
        }
        default:
            return false;
    }
}

std::string ExifGroup(uint32_t id) {
    if (id <= kLastGpsTag) return "GPSInfo";
    return ExifIfdTags().count(static_cast<uint16_t>(id)) ? "Photo" : "Image";
}

void SetDatum(Exiv2::ExifData& exif, const Exiv2::ExifKey& key, const Exiv2::Value& value) {
    const auto it = exif.findKey(key);
    if (it != exif.end())
        it->setValue(&value);
    else
        exif.add(key, &value);
}

// One item the metadata library refuses is left out; the others are still written.
bool SetItem(Exiv2::ExifData& exif, const std::string& group, uint16_t tag, const PropertyItem& item) {
    try {
        Exiv2::Value::AutoPtr value = Exiv2::Value::create(static_cast<Exiv2::TypeId>(item.type));
        if (value->read(item.value.data(), static_cast<long>(item.value.size()), Exiv2::littleEndian) != 0) return false;
        SetDatum(exif, Exiv2::ExifKey(tag, group), *value);
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

void SetResolution(Exiv2::ExifData& exif, const FileDensity& density) {
    Exiv2::URationalValue x;
    x.value_.emplace_back(density.xNumerator, density.denominator);
    Exiv2::URationalValue y;
    y.value_.emplace_back(density.yNumerator, density.denominator);
    Exiv2::UShortValue unit;
    unit.value_.push_back(density.unit);
    SetDatum(exif, Exiv2::ExifKey("Exif.Image.XResolution"), x);
    SetDatum(exif, Exiv2::ExifKey("Exif.Image.YResolution"), y);
    SetDatum(exif, Exiv2::ExifKey("Exif.Image.ResolutionUnit"), unit);
}

// The file's own density goes into the Exif block, so that no reader finds two resolutions.
void SetFileDensity(Exiv2::ExifData& exif, std::span<const uint8_t> file, ImageFormat format) {
    if (const auto density = ReadFileDensity(file, format)) {
        SetResolution(exif, *density);
        return;
    }
    for (const char* key : {"Exif.Image.XResolution", "Exif.Image.YResolution", "Exif.Image.ResolutionUnit"}) {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it != exif.end()) exif.erase(it);
    }
}

// An ICC profile starts with its own length.
bool IsPlausibleIccProfile(const std::vector<uint8_t>& icc) {
    return icc.size() >= 128 &&
           (static_cast<uint32_t>(icc[0]) << 24 | static_cast<uint32_t>(icc[1]) << 16 |
            static_cast<uint32_t>(icc[2]) << 8 | icc[3]) == icc.size();
}

// Adds the items to an Exif block; returns how many were written.
size_t AddItems(Exiv2::ExifData& exif, const std::vector<PropertyItem>& items, bool withThumbnail,
                bool makerNoteCarried) {
    size_t written = 0;
    const PropertyItem* thumbnail = nullptr;
    for (const auto& item : items) {
        if (!IsConsistentPropertyItem(item) || IsComputedTag(item.id) || item.id > 0xFFFF) continue;
        if (IsCarriedBlockTag(item.id)) continue;
        // A maker note the library decoded is written again from its parsed groups, at offsets
        // that stay valid; its raw bytes at a new place would not.
        if (item.id == PropertyTag::ExifMakerNote && makerNoteCarried) continue;
        const uint16_t tag = static_cast<uint16_t>(item.id);
        if (item.id == PropertyTag::ThumbnailData) {
            thumbnail = &item;
            continue;
        }
        if (item.id >= 0x5000 && item.id <= 0x5FFF) continue;  // the first IFD's, written with its data
        if (IsLayoutTag(tag)) continue;
        if (SetItem(exif, ExifGroup(item.id), tag, item)) ++written;
    }
    const bool jpeg = thumbnail && thumbnail->value.size() > 4 && thumbnail->value[0] == 0xFF &&
                      thumbnail->value[1] == 0xD8;
    if (!withThumbnail || !jpeg) return written;
    for (const auto& item : items) {
        const auto tag = ThumbnailIfdTag(item.id);
        if (!tag || IsLayoutTag(*tag) || !IsConsistentPropertyItem(item)) continue;
        SetItem(exif, "Thumbnail", *tag, item);
    }
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail->value.data(), static_cast<long>(thumbnail->value.size()));
    return written + 1;
}

const PropertyItem* FindItem(const std::vector<PropertyItem>& items, uint32_t id) {
    for (const auto& item : items)
        if (item.id == id && IsConsistentPropertyItem(item)) return &item;
    return nullptr;
}

}  // namespace

void InitialiseMetadata() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(LockXmp, nullptr);
    });
}

bool IsConsistentPropertyItem(const PropertyItem& item) {
    const size_t size = TypeSize(item.type);
    return size != 0 && !item.value.empty() && item.value.size() % size == 0 &&
           item.value.size() <= static_cast<size_t>(INT32_MAX);
}

std::vector<PropertyItem> ReadPropertyItems(const ByteReader& file, ImageFormat format,
                                            std::shared_ptr<const CarriedMetadata>* carried) {
    std::vector<PropertyItem> items;
    if (carried) carried->reset();
    if (format != ImageFormat::Jpeg && format != ImageFormat::Png && format != ImageFormat::Tiff) return items;
    InitialiseMetadata();
    std::vector<uint8_t> copy;
    const uint8_t* data;
    size_t size;
    const std::vector<uint8_t>* memory = file.Memory();
    if (format == ImageFormat::Tiff && memory) {
        data = memory->data();
        size = memory->size();
    } else {
        if (!MetadataBytes(file, format, copy)) return items;
        data = copy.data();
        size = copy.size();
    }
    if (size == 0 || size > static_cast<size_t>(INT32_MAX)) return items;
    try {
        Exiv2::Image::AutoPtr image = OpenImage(format, data, size);
        image->readMetadata();
        std::set<uint32_t> seen;
        AppendExifItems(image->exifData(), format != ImageFormat::Tiff, items, seen);
        const Exiv2::DataBuf* icc = image->iccProfile();
        if (icc && icc->size_ > 0 && !seen.count(PropertyTag::ICCProfile)) {
            const std::span<const uint8_t> bytes(icc->pData_, static_cast<size_t>(icc->size_));
            items.push_back(MakeItem(PropertyTag::ICCProfile, PropertyTagType::Undefined, {bytes.begin(), bytes.end()}));
        }
        if (carried) *carried = CarryMetadata(*image, format, {data, size});
    } catch (...) {
        // Metadata that cannot be read is no metadata; the pixels may still be fine.
        items.clear();
        if (carried) carried->reset();
    }
    return items;
}

namespace {

// The colour space of an encoded file's pixels, which a profile written into it must describe.
ProfileSpace EncodedSpace(std::span<const uint8_t> file, ImageFormat format, const Exiv2::ExifData* tiffTags) {
    if (format == ImageFormat::Png) {
        // IHDR's colour type: 0 and 4 are grey, the others colour (a palette of RGB entries).
        if (file.size() < 26) return ProfileSpace::Unknown;
        return (file[25] == 0 || file[25] == 4) ? ProfileSpace::Grey : ProfileSpace::Rgb;
    }
    if (format == ImageFormat::Jpeg) {
        const std::optional<int> components = JpegComponentCount(file);
        if (!components) return ProfileSpace::Unknown;
        return *components == 1 ? ProfileSpace::Grey : *components == 4 ? ProfileSpace::Cmyk : ProfileSpace::Rgb;
    }
    if (tiffTags) {
        const auto it = tiffTags->findKey(Exiv2::ExifKey("Exif.Image.PhotometricInterpretation"));
        if (it == tiffTags->end() || it->count() == 0) return ProfileSpace::Unknown;
        switch (it->toLong()) {
            case 0: case 1: return ProfileSpace::Grey;
            case 5: return ProfileSpace::Cmyk;
            default: return ProfileSpace::Rgb;
        }
    }
    return ProfileSpace::Unknown;
}

bool MakerNoteCarried(const CarriedMetadata* carried) {
    if (!carried) return false;
    for (const auto& datum : carried->exif)
        if (Exiv2::ExifTags::isMakerGroup(datum.groupName())) return true;
    return false;
}

// The PNG text chunks of carried XMP, comment, IPTC and Photoshop resources.
std::vector<PngText> CarriedPngTexts(const CarriedMetadata& carried) {
    std::vector<PngText> texts;
    if (!carried.xmp.empty()) texts.push_back({PngText::Kind::Utf8, "XML:com.adobe.xmp", carried.xmp});
    if (!carried.comment.empty()) {
        const bool ascii = std::all_of(carried.comment.begin(), carried.comment.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != 0; });
        texts.push_back({ascii ? PngText::Kind::Latin1 : PngText::Kind::Utf8, "Comment", carried.comment});
    }
    if (!carried.iptc.empty()) {
        const Exiv2::DataBuf iptc = Exiv2::IptcParser::encode(carried.iptc);
        if (iptc.size_ > 0)
            texts.push_back({PngText::Kind::Deflated, "Raw profile type iptc",
                             RawProfileText("iptc", {iptc.pData_, static_cast<size_t>(iptc.size_)})});
    }
    if (!carried.irb.empty())
        texts.push_back({PngText::Kind::Deflated, "Raw profile type 8bim", RawProfileText("8bim", carried.irb)});
    return texts;
}

bool ReadBack(Exiv2::Image& image, std::vector<uint8_t>& file, std::string& error) {
    Exiv2::BasicIo& io = image.io();
    const long newSize = io.size();
    if (newSize <= 0 || io.open() != 0) {
        error = "The metadata could not be written.";
        return false;
    }
    std::vector<uint8_t> result(static_cast<size_t>(newSize));
    const long read = io.read(result.data(), newSize);
    io.close();
    if (read != newSize) {
        error = "The metadata could not be written.";
        return false;
    }
    file.swap(result);
    return true;
}

}  // namespace

bool EmbedPropertyItems(std::vector<uint8_t>& file, ImageFormat format, const std::vector<PropertyItem>& items,
                        std::string& error, const CarriedMetadata* carried) {
    if (format == ImageFormat::Bmp || format == ImageFormat::Gif) return true;
    if (format != ImageFormat::Jpeg && format != ImageFormat::Png && format != ImageFormat::Tiff) {
        error = "This file format cannot carry property items.";
        return false;
    }
    if (carried && carried->empty()) carried = nullptr;
    if (items.empty() && !carried) return true;
    if (file.empty() || file.size() > static_cast<size_t>(INT32_MAX)) {
        error = "The encoded file is empty or too large for its metadata.";
        return false;
    }
    InitialiseMetadata();
    const PropertyItem* profile = FindItem(items, PropertyTag::ICCProfile);
    if (profile && !IsPlausibleIccProfile(profile->value)) profile = nullptr;
    const bool makerNote = MakerNoteCarried(carried);
    try {
        if (format == ImageFormat::Png) {
            // A profile of another colour space than the pixels' would make the file invalid.
            if (profile && IccProfileSpace(profile->value) != EncodedSpace(file, format, nullptr)) profile = nullptr;
            Exiv2::ExifData exif;
            if (carried) AddCarriedExif(*carried, exif);
            Exiv2::Blob blob;
            if (AddItems(exif, items, true, makerNote) > 0 || !exif.empty()) {
                SetFileDensity(exif, file, format);
                const Exiv2::ByteOrder order =
                    carried && carried->byteOrder != Exiv2::invalidByteOrder ? carried->byteOrder : Exiv2::littleEndian;
                Exiv2::ExifParser::encode(blob, order, exif);
            }
            const std::vector<PngText> texts = carried ? CarriedPngTexts(*carried) : std::vector<PngText>{};
            if (blob.empty() && !profile && texts.empty()) return true;
            const std::span<const uint8_t> icc = profile ? std::span<const uint8_t>(profile->value) : std::span<const uint8_t>();
            if ((!blob.empty() || profile) && !InsertPngMetadata(file, blob, icc)) {
                error = "The metadata could not be written into the PNG file.";
                return false;
            }
            if (!texts.empty() && !AppendPngTexts(file, texts)) {
                error = "The metadata could not be written into the PNG file.";
                return false;
            }
            return true;
        }

        // The Photoshop block of a JPEG file is put in before the library reads the file, which then
        // keeps it (with the IPTC block inside) as it writes the rest.
        if (format == ImageFormat::Jpeg && carried && !InsertJpegIrb(file, ResultIrb(*carried))) {
            error = "The metadata could not be written into the JPEG file.";
            return false;
        }
        Exiv2::Image::AutoPtr image = OpenImage(format, file.data(), file.size());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        if (profile && IccProfileSpace(profile->value) != EncodedSpace(file, format, &exif)) profile = nullptr;
        if (format == ImageFormat::Jpeg) exif.clear();
        if (carried) {
            AddCarriedExif(*carried, exif);
            if (carried->byteOrder != Exiv2::invalidByteOrder) image->setByteOrder(carried->byteOrder);
        }
        // A TIFF file's first IFD is its image: it keeps its own resolution, and a thumbnail IFD
        // after it would read as a second page.
        size_t written = AddItems(exif, items, format == ImageFormat::Jpeg, makerNote);
        if (format == ImageFormat::Jpeg && written > 0) SetFileDensity(exif, file, format);
        if (profile) {
            Exiv2::DataBuf icc(profile->value.data(), static_cast<long>(profile->value.size()));
            image->setIccProfile(icc, false);
        }
        if (carried) {
            if (!carried->xmp.empty()) {
                image->setXmpPacket(carried->xmp);
                image->writeXmpFromPacket(true);
            }
            if (format == ImageFormat::Jpeg && !carried->comment.empty()) image->setComment(carried->comment);
            if (format == ImageFormat::Tiff) {
                const std::vector<uint8_t> irb = ResultIrb(*carried);
                if (!irb.empty()) {
                    Exiv2::DataValue value(irb.data(), static_cast<long>(irb.size()), Exiv2::invalidByteOrder, Exiv2::undefined);
                    exif["Exif.Image.ImageResources"] = value;
                }
                if (!carried->iptc.empty()) image->setIptcData(carried->iptc);
            }
            written += 1;
        }
        if (written == 0 && !profile) return true;
        image->writeMetadata();
        return ReadBack(*image, file, error);
    } catch (const std::exception& e) {
        error = std::string("The metadata could not be written: ") + e.what();
    } catch (...) {
        error = "The metadata could not be written.";
    }
    return false;
}

}  // namespace kv
