#include "engine/advanced/Lanczos4Prescale.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/KernelWeight.h"
#include "engine/advanced/Lanczos4PrescaleRow.h"

namespace kv::advanced {

namespace {

constexpr int32_t kTaps = 8;
constexpr int32_t kPhases = 256;
// Destination rows per band; a band keeps the eight source rows of its window and reuses them
// from one row to the next.
constexpr int32_t kBandRows = 16;

// Position of destination index i in the source: the base index and the fraction in 1/256,
// exact. Top-left aligned: index 0 maps to 0. The product of two sides and 256 can pass 64 bits
// for absurdly long rows, so it is formed in 128.
__extension__ typedef __int128 Wide;
struct Position {
    int32_t base;
    int32_t phase;
};
Position PositionOf(int64_t i, int64_t srcSize, int64_t dstSize) {
    const Wide base = static_cast<Wide>(i) * srcSize / dstSize;
    const Wide phase = static_cast<Wide>(i) * srcSize * kPhases / dstSize - kPhases * base;
    return {static_cast<int32_t>(base), static_cast<int32_t>(phase)};
}

// The eight widened source rows of a band's current window, kept in a ring indexed by the
// unclamped row number modulo 8 so that moving the window down refills only the rows it gains.
class TapRing {
public:
    TapRing(const PixelRows& src, int32_t channels, int32_t* storage)
        : src_(src), channels_(channels), padded_(src.width + kTaps - 1), storage_(storage) {
        std::fill(std::begin(tag_), std::end(tag_), INT64_MIN);
    }

    // Makes the window of source rows first - 3 .. first + 4 current and fills taps[r * channels
    // + c] with the arrays of window row r.
    void Window(int32_t first, const int32_t** taps) {
        for (int32_t r = 0; r < kTaps; ++r) {
            const int64_t row = static_cast<int64_t>(first) - 3 + r;
            const int32_t slot = static_cast<int32_t>(row & (kTaps - 1));
            if (tag_[slot] != row) {
                Fill(slot, static_cast<int32_t>(std::clamp<int64_t>(row, 0, src_.height - 1)));
                tag_[slot] = row;
            }
            for (int32_t c = 0; c < channels_; ++c) taps[r * channels_ + c] = Channel(slot, c);
        }
    }

    static size_t Entries(const PixelRows& src, int32_t channels) {
        return static_cast<size_t>(kTaps) * static_cast<size_t>(channels) * static_cast<size_t>(src.width + kTaps - 1);
    }

private:
    int32_t* Channel(int32_t slot, int32_t c) const {
        return storage_ + (static_cast<ptrdiff_t>(slot) * channels_ + c) * padded_;
    }

    void Fill(int32_t slot, int32_t srcRow) {
        const uint8_t* in = src_.pixels + static_cast<ptrdiff_t>(srcRow) * src_.stride;
        const int32_t last = src_.width - 1;
        for (int32_t c = 0; c < channels_; ++c) {
            int32_t* out = Channel(slot, c);
            for (int32_t i = 0; i < 3; ++i) out[i] = in[c];
            for (int32_t x = 0; x < src_.width; ++x) out[x + 3] = in[x * channels_ + c];
            for (int32_t i = 0; i < 4; ++i) out[src_.width + 3 + i] = in[last * channels_ + c];
        }
    }

    PixelRows src_;
    int32_t channels_;
    int32_t padded_;
    int32_t* storage_;
    int64_t tag_[kTaps];
};

}  // namespace

const Lanczos4Weights& Lanczos4WeightTable() {
    static const Lanczos4Weights table = [] {
        Lanczos4Weights w{};
        for (int32_t p = 0; p < kPhases; ++p)
            for (int32_t t = 0; t < kTaps; ++t)
                w[static_cast<size_t>(p)][static_cast<size_t>(t)] = static_cast<int32_t>(
                    KernelWeight((t - 3) - p / 256.0, 4, 1, KernelType::WindowedSinc) * 4096 + 0.5);
        return w;
    }();
    return table;
}

bool Lanczos4Prescale(const MutablePixelRows& dst, const PixelRows& src, int32_t channels, const StopFlag& stop) {
    return Lanczos4Prescale(dst, src, channels, stop, DefaultKernelPath());
}

bool Lanczos4Prescale(const MutablePixelRows& dst, const PixelRows& src, int32_t channels, const StopFlag& stop,
                      KernelPath path) {
    if (!KernelPathAvailable(path)) path = KernelPath::Plain;
    void (*rowKernel)(const prescale::RowJob&) = prescale::RowPlain;
#if KV_X86
    if (path == KernelPath::Vector) rowKernel = prescale::RowAvx2;
#endif
    const Lanczos4Weights& weights = Lanczos4WeightTable();
    const ClampTable& clamp = Clamp();

    // Column positions are the same for every row; the phases in use get compact slots so that a
    // row's 2-D weights are built only for them.
    std::vector<int32_t> base(static_cast<size_t>(dst.width));
    std::vector<uint16_t> slotOfColumn(static_cast<size_t>(dst.width));
    std::vector<int32_t> phaseOfSlot;
    {
        std::array<int32_t, kPhases> slotOfPhase;
        slotOfPhase.fill(-1);
        for (int32_t b = 0; b < dst.width; ++b) {
            const Position pos = PositionOf(b, src.width, dst.width);
            base[static_cast<size_t>(b)] = pos.base;
            int32_t& slot = slotOfPhase[static_cast<size_t>(pos.phase)];
            if (slot < 0) {
                slot = static_cast<int32_t>(phaseOfSlot.size());
                phaseOfSlot.push_back(pos.phase);
            }
            slotOfColumn[static_cast<size_t>(b)] = static_cast<uint16_t>(slot);
        }
    }
    const size_t slots = phaseOfSlot.size();

    return ForEachBand(dst.height, kBandRows, [&](int32_t first, int32_t end) {
        auto ring = TryAllocate<int32_t>(TapRing::Entries(src, channels));
        auto rowWeights = TryAllocate<int32_t>(slots * kTaps * kTaps);
        if (!ring || !rowWeights) return false;
        TapRing taps(src, channels, ring.get());
        const int32_t* tapRows[kTaps * 3];
        for (int32_t a = first; a < end; ++a) {
            if (Stopped(stop)) return true;
            const Position row = PositionOf(a, src.height, dst.height);
            taps.Window(row.base, tapRows);
            const auto& wr = weights[static_cast<size_t>(row.phase)];
            for (size_t s = 0; s < slots; ++s) {
                const auto& wc = weights[static_cast<size_t>(phaseOfSlot[s])];
                int32_t* w = rowWeights.get() + s * kTaps * kTaps;
                for (int32_t r = 0; r < kTaps; ++r)
                    for (int32_t t = 0; t < kTaps; ++t)
                        w[r * kTaps + t] = (wr[static_cast<size_t>(r)] * wc[static_cast<size_t>(t)]) >> 8;
            }
            rowKernel({dst.pixels + static_cast<ptrdiff_t>(a) * dst.stride, dst.width, channels, tapRows,
                       rowWeights.get(), base.data(), slotOfColumn.data(), &clamp});
        }
        return true;
    });
}

namespace prescale {

void RowPlain(const RowJob& job) {
    for (int32_t b = 0; b < job.width; ++b) {
        const int32_t* w = job.weights + static_cast<ptrdiff_t>(job.slot[b]) * kTaps * kTaps;
        const int32_t first = job.base[b];
        for (int32_t c = 0; c < job.channels; ++c) {
            int32_t sum = 0;
            for (int32_t r = 0; r < kTaps; ++r) {
                const int32_t* p = job.taps[r * job.channels + c] + first;
                for (int32_t t = 0; t < kTaps; ++t) sum += w[r * kTaps + t] * p[t];
            }
            job.out[b * job.channels + c] = (*job.clamp)(sum >> 16);
        }
    }
}

}  // namespace prescale

}  // namespace kv::advanced
