#include "browser/ThumbnailBuild.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>
#include <memory>
#include <utility>

#include "base/AtomicFile.h"
#include "base/FileStatus.h"
#include "browser/ThumbnailJpeg.h"
#include "imageio/Bitmap.h"
#include "imageio/DecodableImage.h"
#include "imageio/ExifThumbnail.h"
#include "imageio/ImageFiles.h"
#include "imageio/Orientation.h"
#include "imageio/ResizeBitmap.h"

namespace kv {

namespace {

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

int32_t ToCellInt(uint32_t value) {
    return static_cast<int32_t>(std::min<uint32_t>(value, std::numeric_limits<int32_t>::max()));
}

using ExifReader = ExifThumbnail (*)(const std::filesystem::path&, ThumbSize&, uint32_t&, uint32_t&);

// An embedded thumbnail fitted into the display size. The readers write the image's own size as
// soon as they have read it, even when they return no thumbnail; a damaged thumbnail counts as
// none.
DibImagePtr ReadEmbedded(ExifReader reader, const std::string& path, CellFacts& facts) {
    ThumbSize box{static_cast<uint32_t>(std::max(facts.displayWidth, 1)),
                  static_cast<uint32_t>(std::max(facts.displayHeight, 1))};
    uint32_t width = static_cast<uint32_t>(std::max(facts.imageWidth, 0));
    uint32_t height = static_cast<uint32_t>(std::max(facts.imageHeight, 0));
    ExifThumbnail found;
    try {
        found = reader(path, box, width, height);
    } catch (const std::exception&) {
        found = {};
    }
    facts.imageWidth = ToCellInt(width);
    facts.imageHeight = ToCellInt(height);
    if (!found.error.empty()) return {};
    return std::move(found.image);
}

bool Opens(Bitmap& image) {
    return image.GetLastStatus() == Status::Ok && image.GetFlags() != 0 && IsAcceptedPixelFormat(image.GetPixelFormat());
}

// The full image shrunk to the display size. The whole file is read first and decoded from memory,
// so it is held open only while it is read; a JPEG is decoded at the smallest reduced scale that
// still covers the display size. The cell learns the size of the image itself, whatever the
// Exif block claims.
std::optional<ThumbnailUpdate> FromFullImage(CellFacts facts, const std::string& path, bool refreshMetadata) {
    if (facts.imageWidth > kMaxFullImageWidth) return std::nullopt;
    if (!Opens(*Bitmap::FromFile(path))) return std::nullopt;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (!ReadWholeFile(path, *bytes, kMaxThumbnailSourceBytes).ok()) return std::nullopt;
    const std::unique_ptr<Bitmap> image = Bitmap::FromMemory(std::shared_ptr<const std::vector<uint8_t>>(bytes));
    if (!Opens(*image)) return std::nullopt;  // the file changed since it was looked at
    facts.bitsPerPixel = BitsPerPixelOf(image->GetPixelFormat());
    if (!refreshMetadata) return ThumbnailUpdate{facts, {}, {}};

    facts.imageWidth = image->GetWidth();
    facts.imageHeight = image->GetHeight();
    const PixelSize display = FitIntoCellBox(facts.imageWidth, facts.imageHeight, facts.boxWidth, facts.boxHeight);
    const std::unique_ptr<Bitmap> shrunk = image->GetThumbnailImage(display.width, display.height);
    if (!shrunk) return std::nullopt;
    DibImagePtr thumbnail = MakeDibImage(shrunk.get());
    if (thumbnail->width() != display.width || thumbnail->height() != display.height) return std::nullopt;
    std::vector<uint8_t> compressed = EncodeThumbnailJpeg(*thumbnail.get());
    if (compressed.empty()) return std::nullopt;
    facts.displayWidth = display.width;
    facts.displayHeight = display.height;
    facts.fullQuality = 1;
    return ThumbnailUpdate{facts, std::move(thumbnail), std::move(compressed)};
}

}  // namespace

PixelSize FitIntoCellBox(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight) {
    if (width <= 0 || height <= 0) return {10, 10};
    const int64_t w = width, h = height, bw = boxWidth, bh = boxHeight;
    // A sliver keeps one pixel across: a picture of no width could not be made, and a cell of that
    // size would make its whole cache file unreadable.
    if (h * bw < w * bh) return {boxWidth, static_cast<int32_t>(std::max<int64_t>(h * bw / w, 1))};
    return {static_cast<int32_t>(std::max<int64_t>(w * bh / h, 1)), boxHeight};
}

int32_t BitsPerPixelOf(PixelFormat format) {
    switch (format) {
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat16bppARGB1555:
        case PixelFormat16bppGrayScale: return 16;
        case PixelFormat32bppRGB: return 32;
        case PixelFormat1bppIndexed: return 1;
        case PixelFormat4bppIndexed: return 4;
        case PixelFormat8bppIndexed: return 8;
        case PixelFormat48bppRGB:
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB: return 48;
        default: return 24;
    }
}

std::optional<std::filesystem::path> SoundNoteOf(const std::filesystem::path& path) {
    if (!HasFormatExtension(path, ImageFormat::Jpeg) && !HasFormatExtension(path, ImageFormat::Tiff)) return std::nullopt;
    for (const char* noteExtension : {".wav", ".WAV"}) {
        std::filesystem::path note = path;
        if (FileExists(note.replace_extension(noteExtension))) return note;
    }
    return std::nullopt;
}

bool HasSoundNote(const std::filesystem::path& path) { return SoundNoteOf(path).has_value(); }

int32_t PictureStandingNow() { return TurnPicturesUpright() ? kPictureUpright : kPictureAsStored; }

CellFacts CellFacts::Of(const CPaletteItemImg& cell) {
    CellFacts facts;
    facts.imageWidth = cell.imageWidth;
    facts.imageHeight = cell.imageHeight;
    facts.bitsPerPixel = cell.bitsPerPixel;
    facts.displayWidth = cell.displayWidth;
    facts.displayHeight = cell.displayHeight;
    facts.boxWidth = cell.boxWidth;
    facts.boxHeight = cell.boxHeight;
    facts.hasSoundNote = cell.hasSoundNote;
    facts.fullQuality = cell.fullQuality;
    facts.keepMetadata = cell.keepMetadata;
    facts.pictureStanding = cell.pictureStanding;
    return facts;
}

std::optional<ThumbnailUpdate> ProduceThumbnail(const CellFacts& current, const std::string& path, BuildStage stage,
                                                const FileWriteProbeOptions& probe) {
    if (LowerExtension(path).empty() || !IsSupportedImage(path)) return std::nullopt;
    // Another program may still be writing the file: it gets its thumbnail once it is complete.
    if (ProbeFileAccess(path, probe) != FileAccess::Free) return std::nullopt;

    CellFacts facts = current;
    // Read once, before the picture is made: the choice may change while it is being made.
    facts.pictureStanding = PictureStandingNow();
    // A full-quality cell asked to keep its facts is only checked against its file.
    const bool refreshMetadata = !(stage == BuildStage::Second && facts.fullQuality && facts.keepMetadata);
    if (refreshMetadata) {
        facts.hasSoundNote = HasSoundNote(path) ? 1 : 0;
        const PixelSize display = facts.imageWidth > 0
                                     ? FitIntoCellBox(facts.imageWidth, facts.imageHeight, facts.boxWidth, facts.boxHeight)
                                     : PixelSize{facts.boxWidth, facts.boxHeight};
        facts.displayWidth = display.width;
        facts.displayHeight = display.height;
    }

    if (stage == BuildStage::First) {
        DibImagePtr embedded = ReadEmbedded(&ReadJpegExifThumbnail, path, facts);
        if (!embedded) embedded = ReadEmbedded(&ReadTiffExifThumbnail, path, facts);
        if (embedded) {
            const PixelSize display = FitIntoCellBox(embedded->width(), embedded->height(), facts.boxWidth, facts.boxHeight);
            std::vector<uint8_t> compressed = EncodeThumbnailJpeg(*embedded.get());
            if (compressed.empty()) return std::nullopt;
            facts.displayWidth = display.width;
            facts.displayHeight = display.height;
            if (facts.bitsPerPixel == 0) facts.bitsPerPixel = 24;
            facts.fullQuality = 0;
            return ThumbnailUpdate{facts, std::move(embedded), std::move(compressed)};
        }
    }
    try {
        return FromFullImage(facts, path, refreshMetadata);
    } catch (const std::exception&) {
        return std::nullopt;  // out of memory, or a bitmap without pixels
    }
}

void ApplyThumbnail(CPaletteItemImg& cell, ThumbnailUpdate update) {
    const CellFacts& facts = update.facts;
    cell.imageWidth = facts.imageWidth;
    cell.imageHeight = facts.imageHeight;
    cell.bitsPerPixel = facts.bitsPerPixel;
    cell.displayWidth = facts.displayWidth;
    cell.displayHeight = facts.displayHeight;
    cell.hasSoundNote = facts.hasSoundNote;
    cell.fullQuality = facts.fullQuality;
    cell.buildState = 0;
    if (update.thumbnail) {
        cell.SetThumbnail(std::move(update.thumbnail));
        cell.SetCompressedThumbnail(std::move(update.compressed));
        cell.pictureStanding = facts.pictureStanding;
    }
}

bool BuildThumbnail(CPaletteItemImg& cell, const std::string& path, BuildStage stage, CProgress* progress,
                    const FileWriteProbeOptions& probe) {
    (void)progress;
    if (stage == BuildStage::First) cell.ReleaseThumbnail();
    cell.DiscardCompressedThumbnail();
    cell.buildState = 0;
    std::optional<ThumbnailUpdate> update = ProduceThumbnail(CellFacts::Of(cell), path, stage, probe);
    if (!update) return false;
    ApplyThumbnail(cell, std::move(*update));
    return true;
}

}  // namespace kv
