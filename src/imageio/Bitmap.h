#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Raster.h"
#include "engine/ResizeAlgorithm.h"
#include "engine/StandardResample.h"
#include "imageio/CarriedMetadata.h"
#include "imageio/ImagingTypes.h"

namespace kv {

// The pixels of a locked rectangle. scan0 points at the top row; stride is positive.
struct BitmapData {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    PixelFormat pixelFormat = PixelFormatUndefined;
    uint8_t* scan0 = nullptr;

    // A Raster over a 24-bit lock.
    Raster AsRaster() const { return {scan0, stride, width, height}; }

    // Kept by the bitmap between lock and unlock.
    Rect lockedRect;
    ImageLockMode mode = ImageLockMode::Read;
    std::unique_ptr<uint8_t[]> converted;  // set when the lock had to convert
};

// Files larger than this many pixels are refused before any pixel memory is allocated.
void SetDecodePixelLimit(uint64_t pixels);
uint64_t DecodePixelLimit();

// Prepares the metadata library for use from several threads. Called once at start-up, before any
// thread reads or writes property items; calling it again does nothing.
void InitialiseImaging();

struct BitmapState;

// A raster image in one of the platform pixel formats, decoded from a file or a memory block or
// made empty. Opening reads the file's header only (size, format, flags, resolution); the pixels are
// decoded on first use and the property items read on first request, so asking whether a file
// opens and what it holds stays cheap. A failed call records its status and a message; GetLastStatus
// returns the status and clears it. A file whose header cannot be read, or whose size is above the
// decode pixel limit, gives a bitmap of pixel format 0.
class Bitmap {
public:
    // Opens a file. Always returns a bitmap; a failure shows in GetLastStatus and a pixel format of 0.
    static std::unique_ptr<Bitmap> FromFile(const std::filesystem::path& path);
    // Opens a whole file held in memory; the bitmap keeps its own reference to the bytes.
    static std::unique_ptr<Bitmap> FromMemory(std::shared_ptr<const std::vector<uint8_t>> bytes);
    static std::unique_ptr<Bitmap> FromMemory(std::vector<uint8_t> bytes);

    // An empty bitmap of a size and pixel format, zero-filled (indexed formats get a grey palette).
    Bitmap(int32_t width, int32_t height, PixelFormat format);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int32_t GetWidth() const;
    int32_t GetHeight() const;
    PixelFormat GetPixelFormat() const;
    uint32_t GetFlags() const;
    ImageType GetType() const;
    ImageFormat GetRawFormat() const;
    float GetHorizontalResolution() const;
    float GetVerticalResolution() const;
    Status SetResolution(float dpiX, float dpiY);

    // The orientation its file stated that the pixels are turned by, so that the picture stands
    // upright (see Orientation.h); 1 when they are as stored: no orientation, pictures kept as
    // stored, or a bitmap made in memory. Width, height and resolution are the turned picture's.
    int GetAppliedOrientation() const;

    // What decoding the pixels will still allocate: 0 once they are decoded (or failed to decode)
    // and for bitmaps made in memory.
    uint64_t PendingDecodeBytes() const;

    // Returns the status of the last failed call and clears it.
    Status GetLastStatus();
    // A sentence describing the last failure, for the user; empty when there is none.
    std::string GetLastErrorMessage() const;

    // The palette of an indexed bitmap as 0xAARRGGBB entries; empty for other formats.
    std::vector<uint32_t> GetPalette();
    Status SetPalette(const std::vector<uint32_t>& entries);

    // A copy of the whole bitmap or of a rectangle in a pixel format, with the resolution and the
    // property items; nothing on failure.
    std::unique_ptr<Bitmap> Clone(PixelFormat format);
    std::unique_ptr<Bitmap> Clone(const Rect& rect, PixelFormat format);

    // Locks a rectangle as 24-bit blue, green, red rows (PixelFormat24bppRGB) or as 32-bit blue,
    // green, red, alpha rows (PixelFormat32bppARGB). A 24-bit bitmap locked as 24-bit is not copied.
    // Read locks may be held by several threads at once; a write lock excludes every other lock.
    // Unlocking a write lock stores the pixels back in the bitmap's own format.
    Status LockBits(const Rect& rect, ImageLockMode mode, PixelFormat format, BitmapData* data);
    Status UnlockBits(BitmapData* data);

    // Property items in file order.
    std::vector<PropertyItem> GetAllPropertyItems();
    uint32_t GetPropertyCount();
    std::optional<PropertyItem> GetPropertyItem(uint32_t id);
    // Adds an item or replaces the item of the same tag.
    Status SetPropertyItem(const PropertyItem& item);
    Status RemovePropertyItem(uint32_t id);

    // What the file holds beyond its property items (maker note groups, XMP, IPTC, Photoshop
    // resources, comment), read with them; null when nothing. A result given its source's carries
    // it into the file it is saved as.
    std::shared_ptr<const CarriedMetadata> GetCarriedMetadata();
    void SetCarriedMetadata(std::shared_ptr<const CarriedMetadata> carried);

    // A 24-bit picture of the whole image at a size. A JPEG that is not decoded yet is decoded at
    // the smallest reduced scale that still covers the size.
    std::unique_ptr<Bitmap> GetThumbnailImage(int32_t width, int32_t height);

    // Writes the image with the encoder of a MIME type ("image/jpeg", "image/bmp", "image/gif",
    // "image/tiff", "image/png"). quality 0..100 is used by JPEG only; negative means the default
    // (75). A file is replaced only once the whole new file is written.
    Status Save(const std::filesystem::path& path, std::string_view mimeType, int32_t quality = -1);
    Status Save(std::vector<uint8_t>& stream, std::string_view mimeType, int32_t quality = -1);

    // Draws a source rectangle of src onto a destination rectangle of this bitmap with an
    // interpolation mode; samples beyond the source's edges are mirrored.
    Status DrawImage(Bitmap& src, const Rect& destination, const SourceRect& source, InterpolationMode mode);

    // Internal state shared with the codecs.
    BitmapState& state() { return *state_; }

private:
    explicit Bitmap(std::unique_ptr<BitmapState> state);
    Status SetStatus(Status status, std::string message = {});

    std::unique_ptr<BitmapState> state_;
};

// The encoders by MIME type, in the order the platform lists them; -1 when there is none.
int32_t FindEncoder(std::string_view mimeType);

}  // namespace kv
