#include "imageio/ExifThumbnail.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <optional>
#include <vector>

#include "codecs/JpegIStream.h"
#include "codecs/SlimJpegDecoder.h"
#include "imageio/Bitmap.h"
#include "imageio/ExifFinders.h"
#include "imageio/ImageFiles.h"
#include "imageio/Orientation.h"
#include "imageio/TiffIfdReader.h"

namespace kv {

namespace {

namespace Tag {
constexpr uint16_t ImageWidth = 0x0100;
constexpr uint16_t ImageLength = 0x0101;
constexpr uint16_t Compression = 0x0103;
constexpr uint16_t Orientation = 0x0112;
constexpr uint16_t StripOffsets = 0x0111;
constexpr uint16_t StripByteCounts = 0x0117;
constexpr uint16_t JpegInterchangeFormat = 0x0201;
constexpr uint16_t JpegInterchangeFormatLength = 0x0202;
constexpr uint16_t ExifIfd = 0x8769;
constexpr uint16_t PixelXDimension = 0xA002;
constexpr uint16_t PixelYDimension = 0xA003;
}  // namespace Tag

constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionJpeg = 6;
// The length field and the "Exif" identifier with its two zero bytes come before the TIFF header.
constexpr uint64_t kApp1HeaderBytes = 8;

ExifThumbnail Damaged(std::string why) { return {{}, std::move(why)}; }

// The fitted size of a source, or the reason there can be none.
std::optional<ThumbSize> ThumbnailSize(ThumbSize source, ThumbSize box, std::string& error) {
    if (source.width == 0 || source.height == 0) {
        error = "the embedded thumbnail has no pixels";
        return std::nullopt;
    }
    if (uint64_t{source.width} * source.height > DecodePixelLimit()) {
        error = "the embedded thumbnail is larger than the pixel limit";
        return std::nullopt;
    }
    const ThumbSize size = FitIntoBox(source, box);
    if (size.width > kMaxThumbnailSide || size.height > kMaxThumbnailSide ||
        uint64_t{size.width} * size.height > DecodePixelLimit()) {
        error = "the thumbnail box is too large";
        return std::nullopt;
    }
    return size;
}

// The preview's rows turned by the orientation of the file's picture: a camera stores its preview
// the way it stores the picture. Null when a row cannot be had.
std::optional<std::vector<uint8_t>> TurnedRows(ThumbSize& source, int channels, int orientation,
                                               const ThumbnailRowSource& rows) {
    const size_t rowBytes = size_t{source.width} * static_cast<size_t>(channels);
    std::vector<uint8_t> stored(rowBytes * source.height), turned(stored.size());
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* row = rows();
        if (!row) return std::nullopt;
        std::copy(row, row + rowBytes, stored.begin() + static_cast<ptrdiff_t>(y * rowBytes));
    }
    const bool swap = OrientationSwapsSides(orientation);
    const ThumbSize upright = swap ? ThumbSize{source.height, source.width} : source;
    TurnRows(stored.data(), static_cast<ptrdiff_t>(rowBytes), static_cast<int32_t>(source.width),
             static_cast<int32_t>(source.height), channels, orientation, turned.data(),
             static_cast<ptrdiff_t>(upright.width) * channels);
    source = upright;
    return turned;
}

ExifThumbnail Build(ThumbSize source, int channels, ThumbSize& box, int orientation, const ThumbnailRowSource& rows) {
    std::string error;
    if (!ThumbnailSize(source, box, error)) return Damaged(error);
    DibImagePtr image;
    std::optional<ThumbSize> size;
    try {
        std::optional<std::vector<uint8_t>> turned;
        if (orientation != kUprightOrientation) {
            turned = TurnedRows(source, channels, orientation, rows);
            if (!turned) return Damaged("the embedded thumbnail is cut short");
        }
        size = ThumbnailSize(source, box, error);
        if (!size) return Damaged(error);
        size_t next = 0;
        const size_t rowBytes = size_t{source.width} * static_cast<size_t>(channels);
        image = BuildNearestThumbnail(source, channels, *size, turned ? ThumbnailRowSource([&]() -> const uint8_t* {
                                                                           const uint8_t* row = turned->data() + next;
                                                                           next += rowBytes;
                                                                           return row;
                                                                       })
                                                                     : rows);
    } catch (const std::bad_alloc&) {
        return Damaged("there is not enough memory for the thumbnail");
    }
    if (!image) return Damaged("the embedded thumbnail is cut short");
    box = *size;
    return {std::move(image), {}};
}

ExifThumbnail DecodeJpegThumbnail(const std::vector<uint8_t>& data, ThumbSize& box, int orientation) {
    try {
        IQZStreamMem stream(data.data(), data.size());
        unsigned width = 0, height = 0;
        uint8_t isColour = 0;
        const std::unique_ptr<SlimJpeg::Decoder> decoder =
            SlimJpeg::CreateDecoder(stream, &width, &height, &isColour, nullptr, nullptr, nullptr);
        return Build({width, height}, isColour ? 3 : 1, box, orientation, [&] { return decoder->ReadRow(); });
    } catch (const SlimJpeg::Error&) {
        return Damaged("the embedded JPEG thumbnail is damaged");
    } catch (const std::bad_alloc&) {
        return Damaged("there is not enough memory for the thumbnail");
    }
}

// The thumbnail that a thumbnail directory describes, with its data at offsets from the TIFF base,
// turned by the orientation of the file's picture.
ExifThumbnail ReadThumbnailIfd(TiffIfdReader& tiff, const ByteReader& file, uint32_t offset, ThumbSize& box,
                               int orientation) {
    const std::optional<TiffIfd> ifd = tiff.ReadIfd(offset);
    if (!ifd) return Damaged(tiff.error());
    uint32_t compression = 0, width = 0, height = 0;
    std::optional<uint32_t> dataOffset, dataLength;
    for (const TiffEntry& entry : ifd->entries) {
        switch (entry.tag) {
            case Tag::Compression: compression = entry.value; break;
            case Tag::ImageWidth: width = entry.value; break;
            case Tag::ImageLength: height = entry.value; break;
            case Tag::StripOffsets:
            case Tag::JpegInterchangeFormat: dataOffset = entry.value; break;
            case Tag::StripByteCounts:
            case Tag::JpegInterchangeFormatLength: dataLength = entry.value; break;
            default: break;
        }
    }
    if (!dataOffset || !dataLength) return {};
    if (compression != kCompressionJpeg && compression != kCompressionNone) return {};
    // The product is taken in 64 bits: in 32 bits a huge width and height could wrap round to a
    // length that matches, and the rows would then be read past the data.
    if (compression == kCompressionNone && uint64_t{width} * height * 3 != *dataLength) return {};
    if (!tiff.Contains(*dataOffset, *dataLength)) return Damaged("the embedded thumbnail lies outside the file");
    if (*dataLength > kMaxEmbeddedThumbnailBytes) return Damaged("the embedded thumbnail is too large");

    std::vector<uint8_t> data(*dataLength);
    if (!data.empty() && file.ReadAt(tiff.base() + *dataOffset, data.data(), data.size()) != data.size())
        return Damaged("the file could not be read");
    if (compression == kCompressionJpeg) return DecodeJpegThumbnail(data, box, orientation);

    size_t next = 0;
    const size_t rowBytes = size_t{width} * 3;
    return Build({width, height}, 3, box, orientation, [&]() -> const uint8_t* {
        const uint8_t* row = data.data() + next;
        next += rowBytes;
        return row;
    });
}

// The orientation a first directory states, when pictures are turned upright; 1 otherwise.
int TurnOf(const TiffIfd& ifd0) {
    if (!TurnPicturesUpright()) return kUprightOrientation;
    for (const TiffEntry& entry : ifd0.entries)
        if (entry.tag == Tag::Orientation) return ValidOrientation(entry.value);
    return kUprightOrientation;
}

// The image's own size as the reader hands it out: that of the upright picture. Swaps the sides
// read from the tags when the reader returns, however it returns.
class UprightSize {
public:
    UprightSize(uint32_t& width, uint32_t& height) : width_(width), height_(height) {}
    ~UprightSize() {
        if (OrientationSwapsSides(turn)) std::swap(width_, height_);
    }
    UprightSize(const UprightSize&) = delete;
    UprightSize& operator=(const UprightSize&) = delete;

    int turn = kUprightOrientation;

private:
    uint32_t& width_;
    uint32_t& height_;
};

}  // namespace

ExifThumbnail ReadJpegExifThumbnail(const ByteReader& file, ThumbSize& box, uint32_t& width, uint32_t& height) {
    const uint64_t segment = FindExifSegment(file);
    if (segment == 0) return {};
    std::optional<TiffIfdReader> tiff = TiffIfdReader::Open(file, segment + kApp1HeaderBytes);
    if (!tiff) return Damaged("the Exif block has no valid header");
    const std::optional<TiffIfd> ifd0 = tiff->ReadIfd(tiff->ifd0Offset());
    if (!ifd0) return Damaged(tiff->error());
    UprightSize upright(width, height);
    upright.turn = TurnOf(*ifd0);

    uint32_t exifOffset = 0;
    const auto takeSize = [&](const TiffEntry& entry) {
        if (entry.tag == Tag::ImageWidth || entry.tag == Tag::PixelXDimension) width = entry.value;
        if (entry.tag == Tag::ImageLength || entry.tag == Tag::PixelYDimension) height = entry.value;
    };
    for (const TiffEntry& entry : ifd0->entries) {
        if (entry.tag == Tag::ExifIfd) exifOffset = entry.value;
        takeSize(entry);
    }
    if (ifd0->next == 0) return {};
    if (exifOffset > 0) {
        const std::optional<TiffIfd> exif = tiff->ReadIfd(exifOffset);
        if (!exif) return Damaged(tiff->error());
        for (const TiffEntry& entry : exif->entries) takeSize(entry);
    }
    return ReadThumbnailIfd(*tiff, file, ifd0->next, box, upright.turn);
}

ExifThumbnail ReadTiffExifThumbnail(const ByteReader& file, ThumbSize& box, uint32_t& width, uint32_t& height) {
    if (FindExifIfdOffset(file) == 0) return {};
    std::optional<TiffIfdReader> tiff = TiffIfdReader::Open(file, 0);
    if (!tiff) return Damaged("the file has no valid TIFF header");
    const std::optional<TiffIfd> ifd0 = tiff->ReadIfd(tiff->ifd0Offset());
    if (!ifd0) return Damaged(tiff->error());
    UprightSize upright(width, height);
    upright.turn = TurnOf(*ifd0);
    for (const TiffEntry& entry : ifd0->entries) {
        if (entry.tag == Tag::ImageWidth) width = entry.value;
        if (entry.tag == Tag::ImageLength) height = entry.value;
    }
    if (ifd0->next == 0) return {};
    return ReadThumbnailIfd(*tiff, file, ifd0->next, box, upright.turn);
}

ExifThumbnail ReadJpegExifThumbnail(const std::filesystem::path& path, ThumbSize& box, uint32_t& width,
                                    uint32_t& height) {
    if (!HasFormatExtension(path, ImageFormat::Jpeg)) return {};
    const std::unique_ptr<FileReader> file = FileReader::Open(path);
    if (!file) return {};
    return ReadJpegExifThumbnail(*file, box, width, height);
}

ExifThumbnail ReadTiffExifThumbnail(const std::filesystem::path& path, ThumbSize& box, uint32_t& width,
                                    uint32_t& height) {
    if (!HasFormatExtension(path, ImageFormat::Tiff)) return {};
    const std::unique_ptr<FileReader> file = FileReader::Open(path);
    if (!file) return {};
    return ReadTiffExifThumbnail(*file, box, width, height);
}

}  // namespace kv
