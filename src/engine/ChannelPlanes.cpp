#include "engine/ChannelPlanes.h"

#include <cstddef>

#include "engine/BandedPass.h"

namespace kv {

namespace {

template <class Byte>
bool Valid(const ChannelImage<Byte>& image, int32_t channels) {
    return image.pixels != nullptr && image.width > 0 && image.height > 0 &&
           static_cast<int64_t>(image.stride) >= int64_t{channels} * image.width;
}

template <class Byte>
size_t PlaneSize(const ChannelImage<Byte>& image) {
    return static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

}  // namespace

bool ResizeChannels(const ChannelTarget& dst, const ChannelSource& src, int32_t channels, int32_t stagesPerChannel,
                    const PlaneResizer& resize, CRSProgress* progress) {
    OutOfMemoryFlag.store(0);
    if (channels < 1 || !Valid(dst, channels) || !Valid(src, channels)) return false;
    if (progress) progress->SetStages(stagesPerChannel * channels);

    const size_t step = static_cast<size_t>(channels);
    for (int32_t k = 0; k < channels; ++k) {
        auto source = TryAllocate<uint8_t>(PlaneSize(src));
        if (!source) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        const size_t sw = static_cast<size_t>(src.width);
        const auto copyIn = [&](int32_t begin, int32_t end) {
            for (int32_t j = begin; j < end; ++j) {
                const uint8_t* in = src.pixels + static_cast<ptrdiff_t>(j) * src.stride + k;
                uint8_t* out = source.get() + static_cast<size_t>(j) * sw;
                for (size_t x = 0; x < sw; ++x) out[x] = in[x * step];
            }
            return true;
        };
        if (!RunBanded(
                src.height, BandLength(src.height), progress,
                [&](int32_t begin, int32_t end) { return ParallelRange(begin, end, 16, copyIn); },
                [&](int32_t j) { return PercentOf(j, src.height); }))
            return false;

        auto result = TryAllocate<uint8_t>(PlaneSize(dst));
        if (!result) {
            OutOfMemoryFlag.store(1);
            return false;
        }
        if (!resize(result.get(), source.get())) return false;
        source.reset();

        const size_t dw = static_cast<size_t>(dst.width);
        const auto copyOut = [&](int32_t begin, int32_t end) {
            for (int32_t r = begin; r < end; ++r) {
                const uint8_t* in = result.get() + static_cast<size_t>(r) * dw;
                uint8_t* out = dst.pixels + static_cast<ptrdiff_t>(r) * dst.stride + k;
                for (size_t x = 0; x < dw; ++x) out[x * step] = in[x];
            }
            return true;
        };
        if (!RunBanded(
                dst.height, BandLength(dst.height), progress,
                [&](int32_t begin, int32_t end) { return ParallelRange(begin, end, 16, copyOut); },
                [&](int32_t r) { return PercentOf(r, dst.height); }))
            return false;
    }
    return true;
}

}  // namespace kv
