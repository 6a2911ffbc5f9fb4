#include "imageio/Bitmap.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "base/AtomicFile.h"
#include "engine/ParallelFor.h"
#include "imageio/BitmapState.h"
#include "imageio/Decoders.h"
#include "imageio/Encoders.h"
#include "imageio/Orientation.h"
#include "imageio/PixelConvert.h"
#include "imageio/PropertyItems.h"

namespace kv {
namespace {

bool RectInside(const Rect& r, int32_t width, int32_t height) {
    return r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0 && r.x <= width - r.width && r.y <= height - r.height;
}

// Decodes the pixels on first use. The caller holds pixelMutex.
DecodeResult EnsureDecoded(BitmapState& s) {
    if (!s.decodeTried) {
        s.decodeTried = true;
        if (!s.source) {
            s.decodeFailure = DecodeResult::Failure(Status::WrongState, "The bitmap has no pixels");
        } else {
            DecodeResult result = DecodeImage(*s.source, s.header.format, s.pixels);
            const bool swap = OrientationSwapsSides(s.turn);
            if (result.ok() && (s.pixels.width != (swap ? s.header.height : s.header.width) ||
                                s.pixels.height != (swap ? s.header.width : s.header.height) ||
                                s.pixels.format != s.header.pixelFormat)) {
                result = DecodeResult::Failure(Status::GenericError, "The image changed between opening and decoding");
            }
            if (result.ok() && !TurnPixelsUpright(s.pixels, s.turn))
                result = DecodeResult::Failure(Status::OutOfMemory, "Not enough memory to turn the picture upright");
            if (!result.ok()) {
                s.pixels = PixelBuffer{};
                s.decodeFailure = std::move(result);
            }
        }
    }
    return s.pixels.data ? DecodeResult::Success() : s.decodeFailure;
}

// A shared hold on the decoded pixels, as a read lock takes it: no writer can change them while
// it lasts.
class ReadHold {
public:
    explicit ReadHold(BitmapState& s) : s_(s) {
        std::lock_guard guard(s.pixelMutex);
        if (s.writeLocked) {
            result_ = DecodeResult::Failure(Status::ObjectBusy, "The bitmap is locked for writing");
            return;
        }
        result_ = EnsureDecoded(s);
        if (result_.ok()) ++s.readLocks;
    }
    ~ReadHold() {
        if (!result_.ok()) return;
        std::lock_guard guard(s_.pixelMutex);
        --s_.readLocks;
    }
    ReadHold(const ReadHold&) = delete;
    ReadHold& operator=(const ReadHold&) = delete;

    const DecodeResult& result() const { return result_; }

private:
    BitmapState& s_;
    DecodeResult result_;
};

// The smallest libjpeg scale, in eighths, whose output still covers width x height.
int32_t CoveringJpegScale(int32_t imageWidth, int32_t imageHeight, int32_t width, int32_t height) {
    for (int32_t eighths = 1; eighths < 8; ++eighths) {
        const int64_t w = (int64_t{imageWidth} * eighths + 7) / 8, h = (int64_t{imageHeight} * eighths + 7) / 8;
        if (w >= width && h >= height) return eighths;
    }
    return 8;
}

std::once_flag g_imagingInitialised;

}  // namespace

void InitialiseImaging() { std::call_once(g_imagingInitialised, [] { InitialiseMetadata(); }); }

Bitmap::Bitmap(std::unique_ptr<BitmapState> state) : state_(std::move(state)) {}

Bitmap::Bitmap(int32_t width, int32_t height, PixelFormat format) : state_(std::make_unique<BitmapState>()) {
    BitmapState& s = *state_;
    s.decodeTried = true;
    if (width <= 0 || height <= 0 || !IsKnownPixelFormat(format)) {
        s.decodeFailure = DecodeResult::Failure(Status::InvalidParameter, "A bitmap needs a positive size and a known pixel format");
        SetStatus(s.decodeFailure.status, s.decodeFailure.message);
        return;
    }
    if (auto limit = CheckDecodeMemory(width, height, format); !limit.ok()) {
        s.decodeFailure = limit;
        SetStatus(limit.status, limit.message);
        return;
    }
    if (!AllocatePixels(s.pixels, width, height, format)) {
        s.decodeFailure = DecodeResult::Failure(Status::OutOfMemory, "Not enough memory for a bitmap of this size");
        SetStatus(s.decodeFailure.status, s.decodeFailure.message);
        return;
    }
    s.header.format = ImageFormat::Memory;
    s.header.width = width;
    s.header.height = height;
    s.header.pixelFormat = format;
    s.header.flags = FlagsForPixelFormat(format);
}

Bitmap::~Bitmap() = default;

namespace {

// A header as the bitmap shows it when its pixels are turned upright: the turned size and
// resolution, and the turn counted in what decoding takes.
DecodeResult TurnHeader(ImageHeader& header, int turn) {
    if (turn == kUprightOrientation) return DecodeResult::Success();
    const uint64_t extra = TurnExtraBytes(header.width, header.height, header.pixelFormat, turn);
    if (extra > 0) {
        // The decoder's own buffers are gone by the time the picture is turned: the peak is the
        // larger of the decode and the picture with its turned copy.
        uint64_t turning = 0;
        if (auto limit = CheckDecodeMemory(header.width, header.height, header.pixelFormat, 0, extra, &turning); !limit.ok())
            return limit;
        header.decodeBytes = std::max(header.decodeBytes, turning);
    }
    if (OrientationSwapsSides(turn)) {
        std::swap(header.width, header.height);
        std::swap(header.dpiX, header.dpiY);
    }
    return DecodeResult::Success();
}

// Reads the header of a file into a new bitmap's state; the reader stays with the state.
DecodeResult Probe(BitmapState& state, std::unique_ptr<ByteReader> reader) {
    ImageHeader header;
    DecodeResult probe = ProbeImage(*reader, header);
    const int turn = TurnPicturesUpright() ? header.orientation : kUprightOrientation;
    if (probe.ok()) probe = TurnHeader(header, turn);
    if (probe.ok()) {
        state.header = header;
        state.turn = turn;
        state.dpiX = header.dpiX;
        state.dpiY = header.dpiY;
        state.source = std::move(reader);
    }
    return probe;
}

}  // namespace

std::unique_ptr<Bitmap> Bitmap::FromFile(const std::filesystem::path& path) {
    auto state = std::make_unique<BitmapState>();
    DecodeResult opened;
    if (auto reader = FileReader::Open(path)) {
        opened = Probe(*state, std::move(reader));
    } else {
        const int err = errno;
        const Status status = (err == ENOENT || err == ENOTDIR) ? Status::FileNotFound
                              : (err == EACCES || err == EPERM) ? Status::AccessDenied
                                                                : Status::Win32Error;
        opened = DecodeResult::Failure(status, "Cannot open " + path.string() + ": " + std::strerror(err));
    }
    std::unique_ptr<Bitmap> bitmap(new Bitmap(std::move(state)));
    bitmap->SetStatus(opened.status, opened.message);
    return bitmap;
}

std::unique_ptr<Bitmap> Bitmap::FromMemory(std::shared_ptr<const std::vector<uint8_t>> bytes) {
    auto state = std::make_unique<BitmapState>();
    const DecodeResult opened = bytes ? Probe(*state, std::make_unique<MemoryReader>(std::move(bytes)))
                                      : DecodeResult::Failure(Status::InvalidParameter, "No image data was given");
    std::unique_ptr<Bitmap> bitmap(new Bitmap(std::move(state)));
    bitmap->SetStatus(opened.status, opened.message);
    return bitmap;
}

std::unique_ptr<Bitmap> Bitmap::FromMemory(std::vector<uint8_t> bytes) {
    return FromMemory(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
}

int32_t Bitmap::GetWidth() const { return state_->header.width; }
int32_t Bitmap::GetHeight() const { return state_->header.height; }
PixelFormat Bitmap::GetPixelFormat() const { return state_->header.pixelFormat; }
uint32_t Bitmap::GetFlags() const { return state_->header.flags; }
ImageType Bitmap::GetType() const { return state_->valid() ? ImageType::Bitmap : ImageType::Unknown; }
ImageFormat Bitmap::GetRawFormat() const { return state_->header.format; }
float Bitmap::GetHorizontalResolution() const { return state_->dpiX.load(); }
float Bitmap::GetVerticalResolution() const { return state_->dpiY.load(); }

Status Bitmap::SetResolution(float dpiX, float dpiY) {
    if (!std::isfinite(dpiX) || !std::isfinite(dpiY) || dpiX <= 0 || dpiY <= 0)
        return SetStatus(Status::InvalidParameter, "A resolution must be a positive number");
    state_->dpiX = dpiX;
    state_->dpiY = dpiY;
    return Status::Ok;
}

int Bitmap::GetAppliedOrientation() const { return state_->turn; }

uint64_t Bitmap::PendingDecodeBytes() const {
    BitmapState& s = *state_;
    std::lock_guard guard(s.pixelMutex);
    return s.decodeTried || !s.source ? 0 : s.header.decodeBytes;
}

Status Bitmap::GetLastStatus() { return state_->lastStatus.exchange(Status::Ok); }

std::string Bitmap::GetLastErrorMessage() const {
    std::lock_guard guard(state_->messageMutex);
    return state_->lastMessage;
}

Status Bitmap::SetStatus(Status status, std::string message) {
    if (status != Status::Ok) {
        {
            std::lock_guard guard(state_->messageMutex);
            state_->lastMessage = std::move(message);
        }
        state_->lastStatus.store(status);
    }
    return status;
}

std::vector<uint32_t> Bitmap::GetPalette() {
    BitmapState& s = *state_;
    if (!IsIndexedPixelFormat(s.header.pixelFormat)) return {};
    std::lock_guard guard(s.pixelMutex);
    if (auto decoded = EnsureDecoded(s); !decoded.ok()) {
        SetStatus(decoded.status, decoded.message);
        return {};
    }
    return s.pixels.palette;
}

Status Bitmap::SetPalette(const std::vector<uint32_t>& entries) {
    BitmapState& s = *state_;
    if (!IsIndexedPixelFormat(s.header.pixelFormat))
        return SetStatus(Status::InvalidParameter, "Only an indexed bitmap has a palette");
    const size_t capacity = size_t{1} << GetPixelFormatSize(s.header.pixelFormat);
    if (entries.empty() || entries.size() > capacity)
        return SetStatus(Status::InvalidParameter, "The palette has too many or no entries");
    std::lock_guard guard(s.pixelMutex);
    if (s.readLocks > 0 || s.writeLocked) return SetStatus(Status::ObjectBusy, "The bitmap is locked");
    if (auto decoded = EnsureDecoded(s); !decoded.ok()) return SetStatus(decoded.status, decoded.message);
    s.pixels.palette = entries;
    return Status::Ok;
}

std::unique_ptr<Bitmap> Bitmap::Clone(PixelFormat format) {
    return Clone(Rect{0, 0, GetWidth(), GetHeight()}, format);
}

std::unique_ptr<Bitmap> Bitmap::Clone(const Rect& rect, PixelFormat format) {
    BitmapState& s = *state_;
    if (!s.valid()) {
        SetStatus(Status::InvalidParameter, "The bitmap holds no image");
        return nullptr;
    }
    if (format == PixelFormatUndefined) format = s.header.pixelFormat;
    if (!IsKnownPixelFormat(format) || !RectInside(rect, s.header.width, s.header.height)) {
        SetStatus(Status::InvalidParameter, "The rectangle or pixel format of the copy is not valid");
        return nullptr;
    }
    auto copy = std::make_unique<BitmapState>();
    {
        ReadHold hold(s);
        if (!hold.result().ok()) {
            SetStatus(hold.result().status, hold.result().message);
            return nullptr;
        }
        if (!ConvertPixels(s.pixels, rect, format, copy->pixels)) {
            SetStatus(Status::OutOfMemory, "Not enough memory to copy the bitmap");
            return nullptr;
        }
    }
    copy->decodeTried = true;
    copy->header.format = ImageFormat::Memory;
    copy->header.width = rect.width;
    copy->header.height = rect.height;
    copy->header.pixelFormat = format;
    copy->header.flags = FlagsForPixelFormat(format) | (s.header.flags & ImageFlagsHasRealDPI);
    copy->dpiX = s.dpiX.load();
    copy->dpiY = s.dpiY.load();
    copy->properties = GetAllPropertyItems();
    copy->carried = GetCarriedMetadata();
    copy->propertiesRead = true;
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(copy)));
}

Status Bitmap::LockBits(const Rect& rect, ImageLockMode mode, PixelFormat format, BitmapData* data) {
    BitmapState& s = *state_;
    if (!data) return SetStatus(Status::InvalidParameter, "No lock record was given");
    if (!s.valid()) return SetStatus(Status::InvalidParameter, "The bitmap holds no image");
    if (mode != ImageLockMode::Read && mode != ImageLockMode::Write && mode != ImageLockMode::ReadWrite)
        return SetStatus(Status::InvalidParameter, "Unknown lock mode");
    if (!RectInside(rect, s.header.width, s.header.height))
        return SetStatus(Status::InvalidParameter, "The locked rectangle lies outside the bitmap");
    const PixelFormat own = s.header.pixelFormat;
    const int32_t ownBits = GetPixelFormatSize(own);
    // Pixels are handed out in place when no conversion is needed: the bitmap's own format, with
    // whole bytes per pixel.
    const bool direct = format == own && ownBits % 8 == 0;
    if (!direct && format != PixelFormat24bppRGB && format != PixelFormat32bppARGB)
        return SetStatus(Status::InvalidParameter, "Bitmaps lock as 24-bit or 32-bit colour or in their own format");
    const bool write = mode != ImageLockMode::Read;
    {
        std::lock_guard guard(s.pixelMutex);
        if (s.writeLocked || (write && s.readLocks > 0)) return SetStatus(Status::ObjectBusy, "The bitmap is locked");
        if (auto decoded = EnsureDecoded(s); !decoded.ok()) return SetStatus(decoded.status, decoded.message);
        if (write) s.writeLocked = true;
        else ++s.readLocks;
    }
    // The pixels cannot change while this lock is held: read them without the mutex.
    data->width = rect.width;
    data->height = rect.height;
    data->pixelFormat = format;
    data->lockedRect = rect;
    data->mode = mode;
    data->converted.reset();
    if (direct) {
        data->stride = s.pixels.stride;
        data->scan0 = s.pixels.Row(rect.y) + static_cast<ptrdiff_t>(rect.x) * (ownBits / 8);
        return Status::Ok;
    }
    const int32_t stride = PixelRowStride(format, rect.width);
    data->converted.reset(new (std::nothrow) uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(rect.height)]);
    if (!data->converted) {
        std::lock_guard guard(s.pixelMutex);
        if (write) s.writeLocked = false;
        else --s.readLocks;
        return SetStatus(Status::OutOfMemory, "Not enough memory to lock the bitmap");
    }
    data->stride = stride;
    data->scan0 = data->converted.get();
    // Rows are converted on every core: a large picture's copy is most of the time its resize takes.
    ParallelFor(tbb::blocked_range<int32_t>(0, rect.height, std::max(1, (1 << 16) / rect.width)),
                [&](const tbb::blocked_range<int32_t>& rows) {
                    for (int32_t y = rows.begin(); y < rows.end(); ++y) {
                        const uint8_t* row = s.pixels.Row(rect.y + y);
                        uint8_t* out = data->scan0 + static_cast<ptrdiff_t>(y) * stride;
                        if (format == PixelFormat24bppRGB) RowToBgr24(own, row, rect.x, rect.width, s.pixels.palette, out);
                        else RowToBgra32(own, row, rect.x, rect.width, s.pixels.palette, out);
                    }
                });
    return Status::Ok;
}

Status Bitmap::UnlockBits(BitmapData* data) {
    BitmapState& s = *state_;
    if (!data || !data->scan0) return SetStatus(Status::InvalidParameter, "The lock record is not a lock of this bitmap");
    const bool write = data->mode != ImageLockMode::Read;
    {
        std::lock_guard guard(s.pixelMutex);
        if (write ? !s.writeLocked : s.readLocks == 0)
            return SetStatus(Status::WrongState, "The bitmap is not locked");
    }
    if (write && data->converted) {
        const Rect& r = data->lockedRect;
        const PixelFormat own = s.header.pixelFormat;
        std::unique_ptr<PaletteMatcher> matcher;
        if (IsIndexedPixelFormat(own)) matcher = std::make_unique<PaletteMatcher>(s.pixels.palette);
        for (int32_t y = 0; y < r.height; ++y) {
            const uint8_t* in = data->scan0 + static_cast<ptrdiff_t>(y) * data->stride;
            uint8_t* row = s.pixels.Row(r.y + y);
            if (data->pixelFormat == PixelFormat24bppRGB) RowFromBgr24(in, r.width, own, row, r.x, matcher.get());
            else RowFromBgra32(in, r.width, own, row, r.x, matcher.get());
        }
    }
    {
        std::lock_guard guard(s.pixelMutex);
        if (write) s.writeLocked = false;
        else --s.readLocks;
    }
    data->converted.reset();
    data->scan0 = nullptr;
    return Status::Ok;
}

std::vector<PropertyItem> Bitmap::GetAllPropertyItems() {
    BitmapState& s = *state_;
    std::lock_guard guard(s.propertyMutex);
    if (!s.propertiesRead) {
        s.propertiesRead = true;
        const ImageFormat f = s.header.format;
        if (s.source && (f == ImageFormat::Jpeg || f == ImageFormat::Tiff || f == ImageFormat::Png))
            s.properties = ReadPropertyItems(*s.source, f, &s.carried);
    }
    return s.properties;
}

std::shared_ptr<const CarriedMetadata> Bitmap::GetCarriedMetadata() {
    GetAllPropertyItems();
    BitmapState& s = *state_;
    std::lock_guard guard(s.propertyMutex);
    return s.carried;
}

void Bitmap::SetCarriedMetadata(std::shared_ptr<const CarriedMetadata> carried) {
    GetAllPropertyItems();
    BitmapState& s = *state_;
    std::lock_guard guard(s.propertyMutex);
    s.carried = std::move(carried);
}

uint32_t Bitmap::GetPropertyCount() { return static_cast<uint32_t>(GetAllPropertyItems().size()); }

std::optional<PropertyItem> Bitmap::GetPropertyItem(uint32_t id) {
    for (auto& item : GetAllPropertyItems())
        if (item.id == id) return std::move(item);
    SetStatus(Status::PropertyNotFound, "The image has no such property item");
    return std::nullopt;
}

Status Bitmap::SetPropertyItem(const PropertyItem& item) {
    GetAllPropertyItems();
    BitmapState& s = *state_;
    std::lock_guard guard(s.propertyMutex);
    for (auto& existing : s.properties) {
        if (existing.id == item.id) {
            existing = item;
            return Status::Ok;
        }
    }
    s.properties.push_back(item);
    return Status::Ok;
}

Status Bitmap::RemovePropertyItem(uint32_t id) {
    GetAllPropertyItems();
    BitmapState& s = *state_;
    std::lock_guard guard(s.propertyMutex);
    for (auto it = s.properties.begin(); it != s.properties.end(); ++it) {
        if (it->id == id) {
            s.properties.erase(it);
            return Status::Ok;
        }
    }
    return SetStatus(Status::PropertyNotFound, "The image has no such property item");
}

std::unique_ptr<Bitmap> Bitmap::GetThumbnailImage(int32_t width, int32_t height) {
    BitmapState& s = *state_;
    if (!s.valid() || width <= 0 || height <= 0) {
        SetStatus(Status::InvalidParameter, "A thumbnail needs an image and a positive size");
        return nullptr;
    }
    auto thumbnail = std::make_unique<Bitmap>(width, height, PixelFormat24bppRGB);
    if (const Status made = thumbnail->GetLastStatus(); made != Status::Ok) {
        SetStatus(made, thumbnail->GetLastErrorMessage());
        return nullptr;
    }
    thumbnail->SetResolution(GetHorizontalResolution(), GetVerticalResolution());

    // A JPEG not decoded yet is decoded at a reduced scale, and the reduced pixels are not kept.
    PixelBuffer reduced;
    if (s.header.format == ImageFormat::Jpeg && s.source) {
        bool decoded;
        {
            std::lock_guard guard(s.pixelMutex);
            decoded = s.decodeTried;
        }
        const int32_t scale = CoveringJpegScale(s.header.width, s.header.height, width, height);
        if (!decoded && scale < 8) {
            if (auto result = DecodeJpeg(*s.source, scale, reduced); !result.ok()) {
                SetStatus(result.status, result.message);
                return nullptr;
            }
            if (reduced.format != PixelFormat24bppRGB) {
                PixelBuffer bgr;
                if (!ConvertPixels(reduced, {0, 0, reduced.width, reduced.height}, PixelFormat24bppRGB, bgr)) {
                    SetStatus(Status::OutOfMemory, "Not enough memory for the thumbnail");
                    return nullptr;
                }
                reduced = std::move(bgr);
            }
            if (!TurnPixelsUpright(reduced, s.turn)) {
                SetStatus(Status::OutOfMemory, "Not enough memory for the thumbnail");
                return nullptr;
            }
        }
    }

    BitmapData target;
    if (thumbnail->LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &target) != Status::Ok) {
        SetStatus(Status::OutOfMemory, "Not enough memory for the thumbnail");
        return nullptr;
    }
    bool done;
    if (reduced.data) {
        done = AreaAverageResize(target.AsRaster(), Raster{reduced.data.get(), reduced.stride, reduced.width, reduced.height});
    } else {
        BitmapData source;
        if (LockBits({0, 0, s.header.width, s.header.height}, ImageLockMode::Read, PixelFormat24bppRGB, &source) != Status::Ok) {
            thumbnail->UnlockBits(&target);
            return nullptr;
        }
        done = AreaAverageResize(target.AsRaster(), source.AsRaster());
        UnlockBits(&source);
    }
    thumbnail->UnlockBits(&target);
    if (!done) {
        SetStatus(Status::OutOfMemory, "Not enough memory for the thumbnail");
        return nullptr;
    }
    return thumbnail;
}

namespace {

Status EncodeBitmap(Bitmap& bitmap, BitmapState& s, std::string_view mimeType, int32_t quality,
                    std::vector<uint8_t>& out, std::string& error) {
    const int32_t index = FindEncoder(mimeType);
    if (index < 0) {
        error = "No encoder writes " + std::string(mimeType);
        return Status::UnknownImageFormat;
    }
    const ImageFormat format = EncoderFormat(index);
    {
        ReadHold hold(s);
        if (!hold.result().ok()) {
            error = hold.result().message;
            return hold.result().status;
        }
        const Status encoded = Encode(s.pixels, format, quality, s.dpiX.load(), s.dpiY.load(), out, error);
        if (encoded != Status::Ok) return encoded;
    }
    if (format == ImageFormat::Jpeg || format == ImageFormat::Tiff || format == ImageFormat::Png) {
        const std::vector<PropertyItem> items = bitmap.GetAllPropertyItems();
        const std::shared_ptr<const CarriedMetadata> carried = bitmap.GetCarriedMetadata();
        if ((!items.empty() || carried) && !EmbedPropertyItems(out, format, items, error, carried.get())) {
            error = "The property items could not be written: " + error;
            return Status::GenericError;
        }
    }
    return Status::Ok;
}

}  // namespace

Status Bitmap::Save(const std::filesystem::path& path, std::string_view mimeType, int32_t quality) {
    if (!state_->valid()) return SetStatus(Status::InvalidParameter, "The bitmap holds no image");
    std::vector<uint8_t> bytes;
    std::string error;
    if (const Status encoded = EncodeBitmap(*this, *state_, mimeType, quality, bytes, error); encoded != Status::Ok)
        return SetStatus(encoded, error);
    if (const IoResult written = WriteFileAtomically(path, bytes); !written.ok())
        return SetStatus(Status::Win32Error, written.message);
    return Status::Ok;
}

Status Bitmap::Save(std::vector<uint8_t>& stream, std::string_view mimeType, int32_t quality) {
    if (!state_->valid()) return SetStatus(Status::InvalidParameter, "The bitmap holds no image");
    std::vector<uint8_t> bytes;
    std::string error;
    if (const Status encoded = EncodeBitmap(*this, *state_, mimeType, quality, bytes, error); encoded != Status::Ok)
        return SetStatus(encoded, error);
    stream = std::move(bytes);
    return Status::Ok;
}

Status Bitmap::DrawImage(Bitmap& src, const Rect& destination, const SourceRect& source, InterpolationMode mode) {
    if (!state_->valid() || !src.state_->valid()) return SetStatus(Status::InvalidParameter, "The bitmap holds no image");
    if (destination.width <= 0 || destination.height <= 0 || !(source.width > 0) || !(source.height > 0))
        return SetStatus(Status::InvalidParameter, "The drawing rectangles must not be empty");
    // Clip the destination to this bitmap and narrow the source rectangle in proportion.
    const int64_t left = std::max<int64_t>(destination.x, 0), top = std::max<int64_t>(destination.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{destination.x} + destination.width, GetWidth());
    const int64_t bottom = std::min<int64_t>(int64_t{destination.y} + destination.height, GetHeight());
    if (left >= right || top >= bottom) return Status::Ok;
    const double scaleX = source.width / destination.width, scaleY = source.height / destination.height;
    const SourceRect clipped{source.x + static_cast<double>(left - destination.x) * scaleX,
                             source.y + static_cast<double>(top - destination.y) * scaleY,
                             static_cast<double>(right - left) * scaleX, static_cast<double>(bottom - top) * scaleY};

    // Drawing a bitmap onto itself reads from a copy, as the write lock excludes the read lock.
    std::unique_ptr<Bitmap> copy;
    Bitmap* from = &src;
    if (&src == this) {
        copy = Clone(PixelFormat24bppRGB);
        if (!copy) return GetLastStatus();
        from = copy.get();
    }
    BitmapData in;
    const Status readLock = from->LockBits({0, 0, from->GetWidth(), from->GetHeight()}, ImageLockMode::Read,
                                           PixelFormat24bppRGB, &in);
    if (readLock != Status::Ok) return SetStatus(readLock, from->GetLastErrorMessage());
    BitmapData out;
    const Rect target{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                      static_cast<int32_t>(bottom - top)};
    if (const Status writeLock = LockBits(target, ImageLockMode::Write, PixelFormat24bppRGB, &out); writeLock != Status::Ok) {
        from->UnlockBits(&in);
        return writeLock;
    }
    const bool drawn = DrawResampled(out.AsRaster(), in.AsRaster(), clipped, mode);
    UnlockBits(&out);
    from->UnlockBits(&in);
    return drawn ? Status::Ok : SetStatus(Status::OutOfMemory, "Not enough memory to draw the image");
}

}  // namespace kv
