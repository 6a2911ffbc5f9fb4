#include "engine/ChannelPlanes.h"

#include <cstddef>

#include "engine/BandedPass.h"
#include "engine/VectorUnits.h"

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

// One row of one channel out of three interleaved ones, and back. A fixed step of three lets the
// compiler use the vector units' shuffles for the interleaved bytes.
KV_ALWAYS_INLINE void TakeChannelBody(const uint8_t* __restrict in, size_t n, uint8_t* __restrict out) {
    for (size_t x = 0; x < n; ++x) out[x] = in[3 * x];
}
KV_ALWAYS_INLINE void PutChannelBody(const uint8_t* __restrict in, size_t n, uint8_t* __restrict out) {
    for (size_t x = 0; x < n; ++x) out[3 * x] = in[x];
}
KV_VECTOR_VARIANTS(void, TakeChannel, (const uint8_t* in, size_t n, uint8_t* out), (in, n, out))
KV_VECTOR_VARIANTS(void, PutChannel, (const uint8_t* in, size_t n, uint8_t* out), (in, n, out))

}  // namespace

bool ResizeChannels(const ChannelTarget& dst, const ChannelSource& src, int32_t channels, int32_t stagesPerChannel,
                    const PlaneResizer& resize, CRSProgress* progress) {
    OutOfMemoryFlag.store(0);
    if (channels < 1 || !Valid(dst, channels) || !Valid(src, channels)) return false;
    if (progress) progress->SetStages(stagesPerChannel * channels);

    const size_t step = static_cast<size_t>(channels);
    const auto takeChannel = KV_PICK_VARIANT(TakeChannel);
    const auto putChannel = KV_PICK_VARIANT(PutChannel);
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
                if (step == 3) {
                    takeChannel(in, sw, out);
                } else {
                    for (size_t x = 0; x < sw; ++x) out[x] = in[x * step];
                }
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
                if (step == 3) {
                    putChannel(in, dw, out);
                } else {
                    for (size_t x = 0; x < dw; ++x) out[x * step] = in[x];
                }
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
