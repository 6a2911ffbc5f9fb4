#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "browser/FileWriteProbe.h"
#include "browser/PaletteItem.h"
#include "engine/DibImage.h"
#include "imageio/ImagingTypes.h"

namespace kv {

class CProgress;

// The first stage takes the thumbnail embedded in the file where there is one; the second makes
// every thumbnail from the full image.
enum class BuildStage { First = 0, Second = 1 };

// Wider images are never decoded for a thumbnail; they show their embedded thumbnail or none.
inline constexpr int32_t kMaxFullImageWidth = 12000;
// Image files larger than this are not read into memory for a thumbnail.
inline constexpr uint64_t kMaxThumbnailSourceBytes = uint64_t{1} << 30;

// The size a picture of w x h takes in a box of W x H: the box's width when the picture is wider
// than the box's shape, else the box's height, the other side in proportion (truncating, but never
// below 1). A picture of unknown size (a side of 0) takes 10 x 10.
PixelSize FitIntoCellBox(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight);

// How the pictures of cells are made now: upright, or as the files store them.
int32_t PictureStandingNow();

// The colour depth a cell shows for a decoder's pixel format.
int32_t BitsPerPixelOf(PixelFormat format);

// Whether a sound file belongs to the image: a JPEG or TIFF named with one of their extensions
// with a ".wav" (or ".WAV", as cameras name them) of the same name beside it.
bool HasSoundNote(const std::filesystem::path& path);
// That sound file, or nothing.
std::optional<std::filesystem::path> SoundNoteOf(const std::filesystem::path& path);

// The facts of a cell that a build reads and writes.
struct CellFacts {
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t bitsPerPixel = 0;
    int32_t displayWidth = kThumbBoxWidth;
    int32_t displayHeight = kThumbBoxHeight;
    int32_t boxWidth = kThumbBoxWidth;
    int32_t boxHeight = kThumbBoxHeight;
    int32_t hasSoundNote = 0;
    int32_t fullQuality = 0;
    uint8_t keepMetadata = 1;
    int32_t pictureStanding = kPictureAsStored;  // of the picture the build made

    static CellFacts Of(const CPaletteItemImg& cell);
};

// What a successful build gives a cell: its new facts and, unless the build left the picture as
// it was, the new thumbnail with its compressed stream.
struct ThumbnailUpdate {
    CellFacts facts;
    DibImagePtr thumbnail;
    std::vector<uint8_t> compressed;
};

// Makes a cell's thumbnail without touching the cell, so that a cell others may be painting is
// changed only in the one step of ApplyThumbnail. Nothing when the file is not a supported image,
// another program is writing it, it cannot be read or decoded, or it is wider than
// kMaxFullImageWidth without an embedded thumbnail (first stage) or at all (second stage).
std::optional<ThumbnailUpdate> ProduceThumbnail(const CellFacts& facts, const std::string& path, BuildStage stage,
                                                const FileWriteProbeOptions& probe = {});

// Writes a build's result into a cell; the previous picture is released.
void ApplyThumbnail(CPaletteItemImg& cell, ThumbnailUpdate update);

// The cell's build: the first stage drops the cell's picture before it starts, both stages drop
// its compressed stream; on success the cell holds the new thumbnail, its stream and facts. The
// progress is accepted for the builders' sake and not consulted.
bool BuildThumbnail(CPaletteItemImg& cell, const std::string& path, BuildStage stage, CProgress* progress,
                    const FileWriteProbeOptions& probe = {});

}  // namespace kv
