#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ResizeAlgorithm.h"
#include "imageio/ImagingTypes.h"

namespace kv {

class Bitmap;

// One resize from an opened image to a written file, as far as its memory goes.
struct ResizeJob {
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    PixelFormat sourceFormat = PixelFormatUndefined;
    uint64_t fileBytes = 0;    // the file's bytes, held in memory while the job runs
    uint64_t decodeBytes = 0;  // what decoding the pixels still takes; 0 when they are decoded
    int32_t width = 0;         // the result
    int32_t height = 0;
    ResizeAlgorithm algorithm = kDefaultResizeAlgorithm;
    bool crop = false;
    bool copy = false;           // the result is a copy at the source's own size, in its own format
    bool alpha = false;          // the source may have transparent pixels: resized with alpha
    std::string_view mimeType;   // the encoder of the result; empty when it is not written
};

// The job's peak, step by step: the decode, the resize (the pixels, a 24-bit view of them unless
// they are 24-bit already, the result, the crop's covering image and the algorithm's own buffers;
// with alpha a 32-bit view, the premultiplied colour and alpha planes of source and result, a 32-bit
// result and the alpha plane's own resample) and the encode (the pixels, the result and the file
// being made in memory).
struct ResizeJobEstimate {
    uint64_t decode = 0;
    uint64_t resize = 0;
    uint64_t encode = 0;
    uint64_t peak() const { return decode > resize ? (decode > encode ? decode : encode) : (resize > encode ? resize : encode); }
};

ResizeJobEstimate EstimateResizeJob(const ResizeJob& job);

// What of the peak the process holds already: the file's bytes, and the pixels once decoded.
uint64_t HeldBeforeResize(const ResizeJob& job);

// Whether a job fits its budget: with a budget the user set, the whole peak must fit in it;
// otherwise what the job still has to allocate must fit in the memory available now.
struct MemoryCheck {
    bool fits = true;
    uint64_t needed = 0;     // the peak, or what is still to be allocated
    uint64_t available = 0;  // the budget it was measured against
};
MemoryCheck CheckResizeJobMemory(const ResizeJob& job);
// The same for the job's first step alone: decoding the pixels.
MemoryCheck CheckDecodeJobMemory(const ResizeJob& job);

// The job of resizing an opened bitmap (header read, pixels decoded or not) held with fileBytes of
// file in memory.
ResizeJob ResizeJobOf(Bitmap& source, uint64_t fileBytes, int32_t width, int32_t height, ResizeAlgorithm algorithm,
                      bool crop, std::string_view mimeType);

// "Not enough memory: resizing to 32768 x 32768 needs about 9.6 GB, and 4.2 GB are available."
std::string NotEnoughMemoryText(const ResizeJob& job, uint64_t needed, uint64_t available);

}  // namespace kv
