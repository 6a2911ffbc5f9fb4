#include "imageio/ResizeJobMemory.h"

#include <algorithm>
#include <cstdio>

#include "base/MemoryBudget.h"
#include "engine/ResizeWorkMemory.h"
#include "engine/StandardResample.h"
#include "imageio/AlphaResize.h"
#include "imageio/Bitmap.h"
#include "imageio/PixelConvert.h"
#include "imageio/ResizeBitmap.h"

namespace kv {

namespace {

uint64_t PixelBytes(PixelFormat format, int32_t width, int32_t height) {
    return static_cast<uint64_t>(PixelRowStride(format, width)) * static_cast<uint64_t>(std::max(height, 0));
}

// The file an encoder makes in memory, with the room a growing buffer keeps beside it, and what the
// encoder holds besides: the uncompressed formats are as large as the pixels (TIFF's buffer may
// double while it grows), PNG's deflated rows stay below the raw ones but its buffer grows by
// doubling, a JPEG stays below 3 bytes a pixel even at quality 100, and a colour GIF needs the
// quantiser's floating-point copy of the picture (most of 24 bytes a pixel) and one index a pixel.
uint64_t EncodeBytes(std::string_view mimeType, PixelFormat format, int32_t width, int32_t height) {
    const uint64_t pixels = static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0));
    const uint64_t raw = PixelBytes(format, width, height);
    if (mimeType == "image/bmp") return raw + (uint64_t{4} << 10);
    if (mimeType == "image/tiff") return 2 * raw + (uint64_t{64} << 10);
    if (mimeType == "image/png") return 2 * (raw + static_cast<uint64_t>(height)) + (uint64_t{1} << 20);
    if (mimeType == "image/jpeg") return 3 * pixels + (uint64_t{1} << 20);
    if (mimeType == "image/gif") return (IsIndexedPixelFormat(format) ? 4 : 24) * pixels + (uint64_t{4} << 20);
    return 0;
}

}  // namespace

ResizeJobEstimate EstimateResizeJob(const ResizeJob& job) {
    ResizeJobEstimate e;
    const uint64_t pixels = PixelBytes(job.sourceFormat, job.sourceWidth, job.sourceHeight);
    const uint64_t held = job.fileBytes + pixels;
    e.decode = job.fileBytes + std::max(job.decodeBytes, pixels);

    const bool alpha = job.alpha && !job.copy;
    const PixelFormat resultFormat = job.copy ? job.sourceFormat : alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    const uint64_t result = PixelBytes(resultFormat, job.width, job.height);
    if (job.copy) {
        e.resize = held + result;
    } else {
        // The source is read in place when it is in the working layout already (24-bit, or 32-bit
        // straight with alpha); any other is converted whole while it is read.
        const PixelFormat working = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
        const uint64_t view = job.sourceFormat == working ? 0 : PixelBytes(working, job.sourceWidth, job.sourceHeight);
        int32_t targetWidth = job.width;
        int32_t targetHeight = job.height;
        uint64_t cover = 0;
        if (job.crop) {
            const PixelSize c = CropCoverSize(job.width, job.height, job.sourceWidth, job.sourceHeight);
            targetWidth = c.width;
            targetHeight = c.height;
            cover = PixelBytes(working, c.width, c.height);
        }
        e.resize = held + view + result + cover +
                   ResizeWorkingBytes(job.algorithm, targetWidth, targetHeight, job.sourceWidth, job.sourceHeight);
        if (alpha) {
            // The premultiplied colour and the alpha plane of source and result, and the plane's
            // own resample.
            const auto planes = [](int32_t width, int32_t height) {
                return PixelBytes(PixelFormat24bppRGB, width, height) +
                       static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0));
            };
            e.resize += planes(job.sourceWidth, job.sourceHeight) + planes(targetWidth, targetHeight) +
                        DrawResampledWorkingBytes(targetWidth, targetHeight, job.sourceWidth, job.sourceHeight,
                                                  InterpolationMode::HighQualityBicubic);
        }
    }
    // A result larger than 200 x 200 with a source thumbnail gets a new one of a twentieth of its
    // size: small beside the result, and made before the encoder starts.
    if (!job.mimeType.empty()) e.encode = held + result + EncodeBytes(job.mimeType, resultFormat, job.width, job.height);
    // What no formula above follows: the libraries' own state, thread stacks, and the room the
    // allocator keeps between blocks.
    for (uint64_t* step : {&e.decode, &e.resize, &e.encode}) *step += *step / 10 + (uint64_t{8} << 20);
    return e;
}

uint64_t HeldBeforeResize(const ResizeJob& job) {
    return job.fileBytes + (job.decodeBytes == 0 ? PixelBytes(job.sourceFormat, job.sourceWidth, job.sourceHeight) : 0);
}

namespace {

MemoryCheck CheckAgainstBudget(const ResizeJob& job, uint64_t peak) {
    MemoryCheck check;
    if (const std::optional<uint64_t> set = ConfiguredMemoryBudget()) {
        check.needed = peak;
        check.available = *set;
    } else {
        const uint64_t held = HeldBeforeResize(job);
        check.needed = peak > held ? peak - held : 0;
        check.available = AvailableMemory();
    }
    check.fits = check.needed <= check.available;
    return check;
}

}  // namespace

MemoryCheck CheckResizeJobMemory(const ResizeJob& job) { return CheckAgainstBudget(job, EstimateResizeJob(job).peak()); }

MemoryCheck CheckDecodeJobMemory(const ResizeJob& job) { return CheckAgainstBudget(job, EstimateResizeJob(job).decode); }

ResizeJob ResizeJobOf(Bitmap& source, uint64_t fileBytes, int32_t width, int32_t height, ResizeAlgorithm algorithm,
                      bool crop, std::string_view mimeType) {
    ResizeJob job;
    job.sourceWidth = source.GetWidth();
    job.sourceHeight = source.GetHeight();
    job.sourceFormat = source.GetPixelFormat();
    job.fileBytes = fileBytes;
    job.decodeBytes = source.PendingDecodeBytes();
    job.width = width;
    job.height = height;
    job.algorithm = algorithm;
    job.crop = crop;
    job.copy = width == job.sourceWidth && height == job.sourceHeight;
    // Known from the header, before anything is decoded: the alpha formats, and palettes with a
    // transparent entry.
    job.alpha = MayHoldTransparency(job.sourceFormat) && (source.GetFlags() & ImageFlagsHasAlpha) != 0;
    job.mimeType = mimeType;
    return job;
}

std::string NotEnoughMemoryText(const ResizeJob& job, uint64_t needed, uint64_t available) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Not enough memory: resizing %d x %d pixels to %d x %d needs about %s, and %s %s available.",
                  job.sourceWidth, job.sourceHeight, job.width, job.height, FormatMemorySize(needed).c_str(),
                  FormatMemorySize(available).c_str(), available == 0 ? "is" : "are");
    return text;
}

}  // namespace kv
