#include "engine/AdvancedResize.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "engine/Progress.h"
#include "engine/advanced/AdvancedCommon.h"
#include "engine/advanced/AdvancedParams.h"
#include "engine/advanced/AdvancedTables.h"
#include "engine/advanced/BoxMean.h"
#include "engine/advanced/ColourPlanes.h"
#include "engine/advanced/Lanczos4Prescale.h"
#include "engine/advanced/LocalContrastClamp.h"
#include "engine/advanced/LocalMinMax.h"
#include "engine/advanced/RecursiveSmooth.h"
#include "engine/advanced/SmoothAlongEdges.h"
#include "engine/advanced/UnsharpLuma.h"

namespace kv {

namespace {

using namespace advanced;

// Larger sides than this cannot be allocated anyway, and keeping below it lets the tile rounding
// and the 32-bit sizes of the steps stay clear of overflow.
constexpr int32_t kMaxSide = 1 << 30;

constexpr int32_t kCoherenceThreshold = 55;
constexpr int32_t kMagnitudeThreshold = 15;
constexpr double kSoftSigma = 0.8;

class Run {
public:
    Run(int32_t channels, const MutablePixelRows& dst, const PixelRows& src, bool flag, CRSProgress* progress)
        : channels_(channels),
          dst_(dst),
          src_(src),
          progress_(progress),
          stop_(progress ? CancelRequested : localStop_),
          params_(DeriveAdvancedParams(dst.width, dst.height, src.width, src.height, flag)) {}

    bool Go() {
        if (!Report(0)) return false;
        // Every process-wide table exists before the first parallel loop reads it.
        (void)SqrtTable();
        (void)Directions();
        (void)Clamp();
        (void)Lanczos4WeightTable();
        if (channels_ == 3) {
            tables_.reset(new (std::nothrow) ColourTables);
            if (!tables_) return OutOfMemory();
            tables_->Build();
        }

        if (!Report(10)) return false;
        if (dst_.width != src_.width || dst_.height != src_.height) {
            if (!Lanczos4Prescale(dst_, src_, channels_, stop_)) return OutOfMemory();
        } else {
            // Row by row: the source's stride may be smaller than the destination's (a locked part of
            // a larger image), so one block of height x destination stride would read past it.
            for (int32_t y = 0; y < dst_.height; ++y)
                std::memcpy(dst_.pixels + static_cast<ptrdiff_t>(y) * dst_.stride,
                            src_.pixels + static_cast<ptrdiff_t>(y) * src_.stride,
                            static_cast<size_t>(channels_) * static_cast<size_t>(dst_.width));
        }
        if (Stopped(stop_)) return false;

        if (!Report(20)) return false;
        // One channel: the image is its own luminance, there are no colour differences, and every
        // step below works on the luminance alone.
        if (!planes_.Allocate(params_.planeWidth, params_.planeHeight, channels_)) return OutOfMemory();
        FillColourPlanes(planes_, {dst_.pixels, dst_.stride, dst_.width, dst_.height});
        const PlaneRef& luma = planes_.luma();

        if (!Report(30) || !Report(40)) return false;
        if (!SmoothAlongEdges(luma, kCoherenceThreshold, kMagnitudeThreshold, params_.edgeRounds, stop_))
            return OutOfMemory();
        if (Stopped(stop_)) return false;

        if (!Report(50)) return false;
        if (params_.softPass && !RecursiveSmooth(luma, kSoftSigma, stop_)) return OutOfMemory();
        if (Stopped(stop_)) return false;

        if (!Report(60)) return false;
        if (!UnsharpLuma(luma, params_.unsharpAmount, params_.unsharpSigma, 0, stop_)) return OutOfMemory();
        if (Stopped(stop_)) return false;

        if (!Report(70)) return false;
        if (params_.extremeRounds > 0 && !LocalContrast()) return false;

        if (!Report(90)) return false;
        ComposeRaster(dst_, planes_, tables_.get());
        planes_.Free();
        return Report(100);
    }

private:
    bool Report(int32_t percent) { return progress_ == nullptr || progress_->OnProgress(percent); }

    bool OutOfMemory() {
        OutOfMemoryFlag.store(1);
        return false;
    }

    bool LocalContrast() {
        OwnedPlane minimum;
        OwnedPlane maximum;
        OwnedPlane mean;
        const int32_t w = params_.planeWidth;
        const int32_t h = params_.planeHeight;
        if (!minimum.Allocate(w, h) || !maximum.Allocate(w, h) || !mean.Allocate(w, h)) return OutOfMemory();
        const PlaneRef& luma = planes_.luma();
        for (int32_t round = 0; round < params_.extremeRounds; ++round) {
            if (!LocalMinMax(minimum.ref(), maximum.ref(), luma, params_.radius, stop_)) return OutOfMemory();
            if (Stopped(stop_)) return false;
            // The mean comes from the luminance as it is now, into a plane of its own.
            if (!BoxMean(mean.ref(), luma, 2 * params_.radius + 1, stop_)) return OutOfMemory();
            if (Stopped(stop_)) return false;
            LocalContrastClamp(luma, minimum.ref(), maximum.ref(), mean.ref(), params_.gainScale, stop_);
            if (Stopped(stop_)) return false;
        }
        return true;
    }

    int32_t channels_;
    MutablePixelRows dst_;
    PixelRows src_;
    CRSProgress* progress_;
    StopFlag localStop_{0};
    const StopFlag& stop_;
    AdvancedParams params_;
    std::unique_ptr<ColourTables> tables_;
    ColourPlanes planes_;
};

bool ValidSide(int32_t side) { return side > 0 && side < kMaxSide; }

}  // namespace

bool AdvancedResize(bool colour, uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight,
                    const uint8_t* src, int32_t srcStride, int32_t srcWidth, int32_t srcHeight, bool flag,
                    CRSProgress* progress) {
    OutOfMemoryFlag.store(0);
    const int32_t channels = colour ? 3 : 1;
    if (!dst || !src || !ValidSide(dstWidth) || !ValidSide(dstHeight) || !ValidSide(srcWidth) ||
        !ValidSide(srcHeight) || int64_t{dstStride} < int64_t{channels} * dstWidth ||
        int64_t{srcStride} < int64_t{channels} * srcWidth)
        return false;
    if (progress) progress->SetStages(1);
    try {
        Run run(channels, {dst, dstStride, dstWidth, dstHeight}, {src, srcStride, srcWidth, srcHeight}, flag,
                progress);
        return run.Go();
    } catch (const std::bad_alloc&) {
        // A scratch vector or the task scheduler ran out of memory.
        OutOfMemoryFlag.store(1);
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kv
