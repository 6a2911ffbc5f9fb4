#include <gtest/gtest.h>

#include <sys/resource.h>
#include <tbb/task_arena.h>

#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "engine/AdvancedResize.h"
#include "engine/Progress.h"

namespace kv {
namespace {

struct Image {
    int32_t width = 0, height = 0, channels = 3, stride = 0;
    std::vector<uint8_t> bytes;

    Image(int32_t w, int32_t h, int32_t c = 3, int32_t extra = 0)
        : width(w), height(h), channels(c), stride(c * w + extra), bytes(static_cast<size_t>(stride) * h, 0xA5) {}
    uint8_t* Row(int32_t y) { return bytes.data() + static_cast<ptrdiff_t>(y) * stride; }
    const uint8_t* Row(int32_t y) const { return bytes.data() + static_cast<ptrdiff_t>(y) * stride; }
    // The pixels without the bytes beyond each row.
    std::vector<uint8_t> Pixels() const {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < height; ++y) out.insert(out.end(), Row(y), Row(y) + channels * width);
        return out;
    }
};

// A small photo-like scene: a slanted edge, a soft disc, a gradient and some noise.
Image Scene(int32_t w, int32_t h, int32_t channels = 3, int32_t extra = 0, bool grey = false) {
    Image image(w, h, channels, extra);
    std::mt19937 random(42);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int32_t dx = x - w / 3, dy = y - h / 2;
            const int32_t base = (3 * x > 2 * y + w ? 180 : 40) + (dx * dx + dy * dy < w * w / 25 ? 50 : 0);
            for (int32_t c = 0; c < channels; ++c) {
                const int32_t tint = grey ? 0 : 20 * c - 20;
                const int32_t noise = static_cast<int32_t>(random() % 9) - 4;
                image.Row(y)[channels * x + c] = static_cast<uint8_t>(std::clamp(base + tint + noise + x % 7, 0, 255));
            }
            if (grey)
                for (int32_t c = 1; c < channels; ++c) image.Row(y)[channels * x + c] = image.Row(y)[channels * x];
        }
    return image;
}

bool Resize(Image& dst, const Image& src, bool flag, CRSProgress* progress = nullptr) {
    return AdvancedResize(src.channels == 3, dst.bytes.data(), dst.stride, dst.width, dst.height, src.bytes.data(),
                          src.stride, src.width, src.height, flag, progress);
}

// Records every progress call; answers false at call number `stopAt` (counting from 1), or sets
// CancelRequested there and answers true, as if another thread had asked just then.
class RecordingSink : public CRSProgress {
public:
    enum class Mode { Answer, Flag };
    explicit RecordingSink(int32_t stopAt = 0, Mode mode = Mode::Answer)
        : CRSProgress(nullptr), stopAt_(stopAt), mode_(mode) {}
    bool OnProgress(int32_t percent) override {
        calls.push_back(percent);
        if (static_cast<int32_t>(calls.size()) == stopAt_) {
            if (mode_ == Mode::Answer) return false;
            CancelRequested.store(1);
            return true;
        }
        return CRSProgress::OnProgress(percent);
    }
    std::vector<int32_t> calls;

private:
    int32_t stopAt_;
    Mode mode_;
};

class AdvancedResizeTest : public testing::Test {
protected:
    void SetUp() override { CancelRequested.store(0); }
    void TearDown() override { CancelRequested.store(0); }
};

TEST_F(AdvancedResizeTest, EqualSizesGiveGreyBack) {
    // Same size: no resampling; a flat grey survives the colour conversion, the unsharp mask and
    // the local-contrast step unchanged.
    for (bool flag : {true, false}) {
        Image src(37, 23);
        std::fill(src.bytes.begin(), src.bytes.end(), 128);
        Image dst(37, 23);
        ASSERT_TRUE(Resize(dst, src, flag));
        EXPECT_EQ(dst.Pixels(), src.Pixels());
    }
}

TEST_F(AdvancedResizeTest, EqualSizesCopyRowByRowFromANarrowerSource) {
    // A source whose rows are packed tighter than the destination's: its last row ends where its
    // buffer ends, so copying height x destination stride bytes would read past it.
    const Image src = Scene(37, 23);
    Image wide(37, 23, 3, 9);
    Image packed(37, 23);
    ASSERT_TRUE(Resize(wide, src, true));
    ASSERT_TRUE(Resize(packed, src, true));
    EXPECT_EQ(wide.Pixels(), packed.Pixels());
    for (int32_t y = 0; y < wide.height; ++y)
        for (int32_t i = 3 * wide.width; i < wide.stride; ++i) ASSERT_EQ(wide.Row(y)[i], 0xA5);
}

TEST_F(AdvancedResizeTest, SizesRunToTheEndAndKeepOutsideTheirRows) {
    struct Case {
        int32_t srcWidth, srcHeight, dstWidth, dstHeight;
    };
    const Case cases[] = {
        {40, 30, 160, 120},  // 4x: three edge rounds, the soft pass, radius 4
        {40, 30, 20, 15},    // half: no rounds, radius 0
        {5, 5, 17, 17},      // 32 x 32 planes for a 17 x 17 result
        {40, 40, 17, 17},
        {1, 1, 6, 6},        // radius capped by half the side
        {3, 2, 200, 90},     // ten times and more: four rounds
        {64, 48, 5, 3},      // a reduction to under a ninth: the identity smoothing
    };
    for (const Case& c : cases) {
        for (bool flag : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.srcWidth << "x" << c.srcHeight << " to " << c.dstWidth << "x"
                                            << c.dstHeight << " flag " << flag);
            const Image src = Scene(c.srcWidth, c.srcHeight);
            Image dst(c.dstWidth, c.dstHeight, 3, 5);
            RecordingSink sink;
            ASSERT_TRUE(Resize(dst, src, flag, &sink));
            EXPECT_EQ(sink.calls, (std::vector<int32_t>{0, 10, 20, 30, 40, 50, 60, 70, 90, 100}));
            EXPECT_EQ(sink.stages(), 1);
            for (int32_t y = 0; y < dst.height; ++y)
                for (int32_t i = 3 * dst.width; i < dst.stride; ++i) ASSERT_EQ(dst.Row(y)[i], 0xA5);
        }
    }
}

TEST_F(AdvancedResizeTest, FlagSelectsTheLocalContrastStep) {
    const Image src = Scene(40, 30);
    Image withFlag(160, 120);
    Image without(160, 120);
    ASSERT_TRUE(Resize(withFlag, src, true));
    ASSERT_TRUE(Resize(without, src, false));
    EXPECT_NE(withFlag.Pixels(), without.Pixels());
}

TEST_F(AdvancedResizeTest, SameBytesWhateverTheThreadCount) {
    const Image src = Scene(50, 36);
    for (bool flag : {true, false}) {
        std::vector<uint8_t> results[2];
        for (int32_t threads : {1, 2}) {
            Image dst(200, 144);
            tbb::task_arena arena(threads);
            bool ok = false;
            arena.execute([&] { ok = Resize(dst, src, flag); });
            ASSERT_TRUE(ok);
            results[threads - 1] = dst.Pixels();
        }
        EXPECT_EQ(results[0], results[1]) << "flag " << flag;
    }
}

TEST_F(AdvancedResizeTest, TwoResizesAtOnceMatchOneAtATime) {
    // A preview and a batch item may resize at the same moment; they share only the lookup tables.
    const Image small = Scene(30, 20);
    const Image other = Scene(45, 33);
    Image expectedA(120, 80), expectedB(90, 66);
    ASSERT_TRUE(Resize(expectedA, small, true));
    ASSERT_TRUE(Resize(expectedB, other, false));
    Image a(120, 80), b(90, 66);
    bool okA = false, okB = false;
    std::thread first([&] { okA = Resize(a, small, true); });
    std::thread second([&] { okB = Resize(b, other, false); });
    first.join();
    second.join();
    EXPECT_TRUE(okA && okB);
    EXPECT_EQ(a.Pixels(), expectedA.Pixels());
    EXPECT_EQ(b.Pixels(), expectedB.Pixels());
}

TEST_F(AdvancedResizeTest, OneChannelIsTheLuminanceOfAGreyImage) {
    // A grey colour image has Cb = Cr = 127 and Y equal to its bytes, and comes back grey; so its
    // result is the one-channel result in every channel.
    const Image greyColour = Scene(30, 24, 3, 0, true);
    Image grey(30, 24, 1, 3);
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 30; ++x) grey.Row(y)[x] = greyColour.Row(y)[3 * x];
    for (bool flag : {true, false}) {
        Image colourOut(90, 72);
        Image greyOut(90, 72, 1, 2);
        ASSERT_TRUE(Resize(colourOut, greyColour, flag));
        ASSERT_TRUE(Resize(greyOut, grey, flag));
        for (int32_t y = 0; y < 72; ++y)
            for (int32_t x = 0; x < 90; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(colourOut.Row(y)[3 * x + c], greyOut.Row(y)[x]) << x << "," << y << " flag " << flag;
        for (int32_t y = 0; y < 72; ++y)
            for (int32_t i = 90; i < greyOut.stride; ++i) ASSERT_EQ(greyOut.Row(y)[i], 0xA5);
    }
}

TEST_F(AdvancedResizeTest, AFalseAnswerStopsAtEachMilestone) {
    const Image src = Scene(40, 30);
    for (int32_t stopAt = 1; stopAt <= 10; ++stopAt) {
        Image dst(160, 120);
        RecordingSink sink(stopAt);
        EXPECT_FALSE(Resize(dst, src, true, &sink)) << stopAt;
        EXPECT_EQ(static_cast<int32_t>(sink.calls.size()), stopAt);
    }
}

TEST_F(AdvancedResizeTest, ACancelRequestStopsWithinTheNextStep) {
    // The flag set during a progress call is polled inside the steps; at the latest the next
    // progress call refuses.
    const Image src = Scene(40, 30);
    for (int32_t stopAt = 1; stopAt <= 10; ++stopAt) {
        CancelRequested.store(0);
        Image dst(160, 120);
        RecordingSink sink(stopAt, RecordingSink::Mode::Flag);
        const bool finished = Resize(dst, src, true, &sink);
        // Set at the last milestone the request comes too late to stop anything.
        EXPECT_EQ(finished, stopAt == 10) << stopAt;
        EXPECT_LE(static_cast<int32_t>(sink.calls.size()), stopAt + 1) << stopAt;
    }
}

TEST_F(AdvancedResizeTest, WithoutASinkNothingStopsIt) {
    CancelRequested.store(1);
    const Image src = Scene(20, 15);
    Image dst(80, 60);
    EXPECT_TRUE(Resize(dst, src, false));
}

TEST_F(AdvancedResizeTest, ClearsTheOutOfMemoryFlagAndRejectsBadArguments) {
    const Image src = Scene(20, 15);
    Image dst(40, 30);
    OutOfMemoryFlag.store(1);
    EXPECT_TRUE(Resize(dst, src, true));
    EXPECT_EQ(OutOfMemoryFlag.load(), 0);

    uint8_t* d = dst.bytes.data();
    const uint8_t* s = src.bytes.data();
    EXPECT_FALSE(AdvancedResize(true, nullptr, 120, 40, 30, s, 60, 20, 15, true, nullptr));
    EXPECT_FALSE(AdvancedResize(true, d, 120, 40, 30, nullptr, 60, 20, 15, true, nullptr));
    EXPECT_FALSE(AdvancedResize(true, d, 120, 0, 30, s, 60, 20, 15, true, nullptr));
    EXPECT_FALSE(AdvancedResize(true, d, 120, 40, 30, s, 60, 20, -1, true, nullptr));
    EXPECT_FALSE(AdvancedResize(true, d, 119, 40, 30, s, 60, 20, 15, true, nullptr));  // stride < 3 x width
    EXPECT_FALSE(AdvancedResize(true, d, 120, 40, 30, s, 59, 20, 15, true, nullptr));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KV_ADDRESS_SPACE_LIMITS 0  // the sanitizers reserve address space of their own
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KV_ADDRESS_SPACE_LIMITS 0
#endif
#endif
#ifndef KV_ADDRESS_SPACE_LIMITS
#define KV_ADDRESS_SPACE_LIMITS 1
#endif

// Bytes of address space the process holds now.
size_t AddressSpace() {
    unsigned long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return pages * 4096;
}

// Resizes 256 x 256 to 1024 x 1024 with the address space capped `headroom` bytes above what the
// images take: 0 when it finished, 1 when it failed with OutOfMemoryFlag set, 2 otherwise.
int ResizeWithHeadroom(size_t headroom) {
    const Image src = Scene(256, 256);
    Image dst(1024, 1024);
    tbb::task_arena alone(1);  // no worker threads, whose stacks would need room too
    alone.initialize();
    bool ok = true;
    alone.execute([&] {
        const rlimit limit{AddressSpace() + headroom, RLIM_INFINITY};
        ::setrlimit(RLIMIT_AS, &limit);
        ok = Resize(dst, src, true);
    });
    return ok ? 0 : (OutOfMemoryFlag.load() ? 1 : 2);
}

TEST_F(AdvancedResizeTest, MemoryRunningOutMidwayFailsCleanly) {
    if (!KV_ADDRESS_SPACE_LIMITS) GTEST_SKIP() << "address-space limits do not work under this sanitizer";
    // Each run is a fresh child process. The working planes (3 MB for the colour planes, then 1 MB
    // each) run out at one step or another; the call must answer false and set OutOfMemoryFlag, or
    // finish once everything fits.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    const size_t mb = size_t{1} << 20;
    for (size_t headroom : {mb / 2, 2 * mb, 7 * mb / 2, 5 * mb})
        EXPECT_EXIT(std::_Exit(ResizeWithHeadroom(headroom)), testing::ExitedWithCode(1), "") << "headroom " << headroom;
    EXPECT_EXIT(std::_Exit(ResizeWithHeadroom(64 * mb)), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kv
