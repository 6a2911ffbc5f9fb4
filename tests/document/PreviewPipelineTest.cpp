#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/AutoResetEvent.h"
#include "common/HeldCall.h"
#include "document/DocumentTestSupport.h"
#include "engine/OwnAlgorithm.h"
#include "imageio/ResizeBitmap.h"

namespace kv::test {
namespace {

using CommandId::ID_PREVIEW_READY;
using CommandId::ID_RESIZE_DONE;
using CommandId::ID_RESIZE_STARTED;

// A document with a pattern image open at its own size, and the output size set as the bar would.
class PreviewTest : public ::testing::Test {
protected:
    void Open(int32_t width, int32_t height, PreviewOptions options = {}) {
        rig = std::make_unique<DocumentRig>(std::move(options));
        WritePattern(dir / "image.bmp", width, height, 72.0f, "image/bmp");
        ASSERT_TRUE(rig->document->OnOpenDocument(dir / "image.bmp"));
    }
    void SetOutput(int32_t width, int32_t height, ResizeAlgorithm algorithm) {
        rig->settings.width = width;
        rig->settings.height = height;
        rig->settings.algorithm = algorithm;
    }
    PreviewOutcome Request(PixelRect source, PixelRect destination) {
        return rig->document->RequestPreview(source, destination);
    }
    // Waits for the next finished preview and takes it.
    std::unique_ptr<Bitmap> NextPreview(size_t readyCount) {
        EXPECT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, readyCount));
        return rig->document->TakeCurrentPreview();
    }
    size_t Count(int id) const { return rig->frame.CountOf(id); }

    TempDir dir;
    std::unique_ptr<DocumentRig> rig;
};

TEST_F(PreviewTest, WholeImageAtTheOutputSizeEqualsTheFinalResize) {
    Open(48, 36);
    for (ResizeAlgorithm algorithm = 5; algorithm <= 9; ++algorithm) {
        SCOPED_TRACE(algorithm);
        SetOutput(120, 90, algorithm);
        ASSERT_EQ(Request({0, 0, 48, 36}, {0, 0, 120, 90}), PreviewOutcome::Started);
        const std::unique_ptr<Bitmap> preview = NextPreview(static_cast<size_t>(algorithm - 4));
        ASSERT_TRUE(preview);

        Bitmap result(120, 90, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*rig->document->Image(), result, algorithm, false, nullptr));
        EXPECT_EQ(PixelsOf(*preview), PixelsOf(result));
    }
}

TEST_F(PreviewTest, ContainedRequestIsCutFromTheCachedResult) {
    // 800 x 600 shown at 1600 x 1200: the visible quarter, then a part inside it at the same scale.
    Open(800, 600);
    SetOutput(1600, 1200, 5);
    ASSERT_EQ(Request({0, 0, 400, 300}, {0, 0, 800, 600}), PreviewOutcome::Started);
    const std::unique_ptr<Bitmap> whole = NextPreview(1);
    ASSERT_TRUE(whole);
    const int viewUpdates = rig->host.viewUpdates;

    EXPECT_EQ(Request({100, 50, 300, 250}, {200, 100, 600, 500}), PreviewOutcome::FromCache);
    const std::unique_ptr<Bitmap> part = rig->document->TakeCurrentPreview();
    ASSERT_TRUE(part);
    EXPECT_EQ(part->GetWidth(), 400);
    EXPECT_EQ(part->GetHeight(), 400);
    EXPECT_EQ(PixelsOf(*part), PixelsOf(*whole, {200, 100, 400, 400}));
    EXPECT_EQ(rig->host.viewUpdates, viewUpdates + 1);

    // A part at another scale is not inside what was made: every cached result goes, so the part
    // at the first scale has to be made again. (The new result may already be cached by the time
    // the request returns, so the cache is asked only through requests.)
    EXPECT_EQ(Request({100, 50, 300, 250}, {200, 100, 500, 400}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, 2));
    EXPECT_EQ(Count(ID_RESIZE_STARTED), 2u);
    EXPECT_EQ(Request({100, 50, 300, 250}, {200, 100, 600, 500}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, 3));
}

TEST_F(PreviewTest, SwitchingBackShowsTheCachedResultAndANewOutputSizeDropsAll) {
    Open(200, 150);
    const PixelRect source{0, 0, 200, 150}, destination{0, 0, 500, 375};
    SetOutput(500, 375, 5);
    ASSERT_EQ(Request(source, destination), PreviewOutcome::Started);
    const std::unique_ptr<Bitmap> five = NextPreview(1);
    SetOutput(500, 375, 6);
    ASSERT_EQ(Request(source, destination), PreviewOutcome::Started);
    const std::unique_ptr<Bitmap> six = NextPreview(2);
    ASSERT_TRUE(five && six);
    EXPECT_NE(PixelsOf(*five), PixelsOf(*six));

    SetOutput(500, 375, 5);
    EXPECT_EQ(Request(source, destination), PreviewOutcome::FromCache);
    const std::unique_ptr<Bitmap> again = rig->document->TakeCurrentPreview();
    ASSERT_TRUE(again);
    EXPECT_EQ(PixelsOf(*again), PixelsOf(*five));
    EXPECT_EQ(Count(ID_RESIZE_STARTED), 2u);

    // A wider output: the same visible area now covers more output pixels.
    SetOutput(501, 375, 5);
    EXPECT_EQ(Request(source, {0, 0, 501, 375}), PreviewOutcome::Started);
    for (ResizeAlgorithm algorithm = 5; algorithm <= 9; ++algorithm) EXPECT_FALSE(rig->document->HasCachedPreview(algorithm));
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, 3));
}

TEST_F(PreviewTest, UnscaledRequestCopiesTheImageWithoutTheWorker) {
    Open(120, 90);
    SetOutput(120, 90, 7);
    EXPECT_EQ(Request({10, 20, 110, 80}, {10, 20, 110, 80}), PreviewOutcome::Copied);
    const std::unique_ptr<Bitmap> preview = rig->document->TakeCurrentPreview();
    ASSERT_TRUE(preview);
    EXPECT_EQ(PixelsOf(*preview), PixelsOf(*rig->document->Image(), {10, 20, 100, 60}));
    rig->document.reset();
    EXPECT_TRUE(rig->frame.commands().empty());
}

TEST_F(PreviewTest, TinySourceRectangleProducesNothing) {
    Open(120, 90);
    SetOutput(480, 360, 5);
    Request({4, 4, 6, 6}, {16, 16, 24, 24});
    // The worker handles a pending start before it sees the quit of the document's end.
    rig->document.reset();
    EXPECT_TRUE(rig->frame.commands().empty());
}

TEST_F(PreviewTest, RequestsOutsideTheOwnAlgorithmsOrWithoutAnAreaAreIgnored) {
    Open(120, 90);
    SetOutput(480, 360, 4);
    EXPECT_EQ(Request({0, 0, 120, 90}, {0, 0, 480, 360}), PreviewOutcome::Nothing);
    SetOutput(480, 360, 5);
    EXPECT_EQ(Request({0, 0, 0, 90}, {0, 0, 480, 360}), PreviewOutcome::Nothing);
    EXPECT_EQ(Request({0, 0, 120, 90}, {480, 0, 480, 360}), PreviewOutcome::Nothing);
    // Outside the image: the job cannot lock its source and leaves no preview.
    EXPECT_EQ(Request({100, 0, 220, 90}, {0, 0, 480, 360}), PreviewOutcome::Started);
    rig->document.reset();
    EXPECT_EQ(Count(ID_PREVIEW_READY), 0u);
}

// Jobs long enough that a request made right after their start notice finds them running; they
// are all stopped early.
constexpr int32_t kLongWidth = 800, kLongHeight = 600;
const PixelRect kLongSource{0, 0, kLongWidth, kLongHeight};
const PixelRect kLongDestination{0, 0, 3 * kLongWidth, 3 * kLongHeight};

TEST_F(PreviewTest, SameRequestWhileItRunsStartsNoSecondJob) {
    // Runs to its end, so shorter than the jobs that are stopped.
    Open(400, 300);
    SetOutput(1200, 900, 5);
    ASSERT_EQ(Request({0, 0, 400, 300}, {0, 0, 1200, 900}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_RESIZE_STARTED));
    EXPECT_EQ(Request({0, 0, 400, 300}, {0, 0, 1200, 900}), PreviewOutcome::Unchanged);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY));
    EXPECT_EQ(Count(ID_RESIZE_STARTED), 1u);
    EXPECT_EQ(Count(ID_RESIZE_DONE), 1u);
}

TEST_F(PreviewTest, NewRequestStopsTheRunningJobAndStartsItsOwn) {
    Open(kLongWidth, kLongHeight);
    SetOutput(3 * kLongWidth, 3 * kLongHeight, 9);
    ASSERT_EQ(Request(kLongSource, kLongDestination), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_RESIZE_STARTED));
    ASSERT_EQ(Request({0, 0, 100, 80}, {0, 0, 300, 240}), PreviewOutcome::Started);
    const std::unique_ptr<Bitmap> preview = NextPreview(1);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->GetWidth(), 300);
    EXPECT_EQ(preview->GetHeight(), 240);

    // The stopped job ended (its end notice) before the new one began, and only the new one is ready.
    const std::vector<int> commands = rig->frame.commands();
    std::vector<int> milestones;
    std::copy_if(commands.begin(), commands.end(), std::back_inserter(milestones),
                 [](int id) { return id != CommandId::ID_RESIZE_PROGRESS; });
    EXPECT_EQ(milestones, (std::vector<int>{ID_RESIZE_STARTED, ID_RESIZE_DONE, ID_RESIZE_STARTED, ID_RESIZE_DONE,
                                            ID_PREVIEW_READY}));
}

TEST_F(PreviewTest, ClosingDuringAJobStopsItBeforeTheDocumentIsGone) {
    Open(kLongWidth, kLongHeight);
    SetOutput(3 * kLongWidth, 3 * kLongHeight, 9);
    ASSERT_EQ(Request(kLongSource, kLongDestination), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_RESIZE_STARTED));
    rig->document.reset();
    // The frame stops hearing from the worker once the document is gone, so the end notice shows
    // that the job ended within the wait.
    EXPECT_EQ(Count(ID_RESIZE_DONE), 1u);
    EXPECT_EQ(Count(ID_PREVIEW_READY), 0u);
}

TEST_F(PreviewTest, AWorkerThatOutlivesTheDocumentKeepsWhatItUses) {
    // A job that ignores every stop until the test lets it go; whatever it holds is freed only
    // when the worker is done with it, which the probe's end tells.
    struct Probe {
        explicit Probe(AutoResetEvent& freed) : freed(freed) {}
        ~Probe() { freed.Set(); }
        AutoResetEvent& freed;
        AutoResetEvent entered, release;
    };
    AutoResetEvent freed;
    auto probe = std::make_shared<Probe>(freed);
    PreviewOptions options;
    options.shutdownWaitMs = 50;
    options.routine = [probe](ResizeAlgorithm, const Raster& dst, const Raster& src, CRSProgress*) {
        probe->entered.Set();
        probe->release.Wait(kWaitInfinite);
        // Reads the locked source and writes the target after the document is gone.
        for (int32_t y = 0; y < dst.height; ++y) std::fill_n(dst.Row(y), 3 * dst.width, src.Row(0)[0]);
        return true;
    };
    Open(64, 48, std::move(options));
    SetOutput(128, 96, 5);
    ASSERT_EQ(Request({0, 0, 64, 48}, {0, 0, 128, 96}), PreviewOutcome::Started);
    Probe* held = probe.get();
    probe.reset();
    ASSERT_TRUE(held->entered.Wait(kWaitInfinite));

    rig->document.reset();  // gives up waiting after 50 ms
    held->release.Set();
    ASSERT_TRUE(freed.Wait(120000));
    EXPECT_EQ(rig->frame.commands(), std::vector<int>{ID_RESIZE_STARTED});
}

TEST_F(PreviewTest, WhileABatchRunIsUnderWayPreviewsLeaveItsCancelFlagAlone) {
    Open(64, 48);
    SetOutput(128, 96, 6);
    ASSERT_EQ(Request({0, 0, 64, 48}, {0, 0, 128, 96}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY));
    ASSERT_TRUE(rig->document->TakeCurrentPreview());
    {
        struct RunUnderWay {
            RunUnderWay() { BatchRunsActive.fetch_add(1); }
            ~RunUnderWay() {
                BatchRunsActive.fetch_sub(1);
                CancelRequested.store(0);
            }
        } run;
        // What is cached is still served; anything else waits for the run to end. The flag, set by
        // the run's own cancel or clear, stays as it is.
        EXPECT_EQ(Request({0, 0, 64, 48}, {0, 0, 128, 96}), PreviewOutcome::FromCache);
        for (const uint8_t cancelled : {uint8_t{1}, uint8_t{0}}) {
            CancelRequested.store(cancelled);
            EXPECT_EQ(Request({0, 0, 32, 24}, {0, 0, 96, 72}), PreviewOutcome::Refused);
            EXPECT_EQ(CancelRequested.load(), cancelled);
        }
        // Opening another image stops the worker without the flag.
        CancelRequested.store(1);
        ASSERT_TRUE(rig->document->OnOpenDocument(dir / "image.bmp"));
        EXPECT_EQ(CancelRequested.load(), 1);
    }
    EXPECT_EQ(Request({0, 0, 32, 24}, {0, 0, 96, 72}), PreviewOutcome::Started);
    EXPECT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, 2));
}

TEST_F(PreviewTest, TheFrameCanBeTakenAwayWhileTheWorkerPostsToIt) {
    // A frame that holds the worker inside its first notice, the job's start.
    struct HoldingFrame final : ICommandTarget {
        explicit HoldingFrame(HeldCall& held) : call(held) {}
        void PostCommand(int) override {
            if (!holding.exchange(true)) call.Hold();
        }
        HeldCall& call;
        std::atomic<bool> holding{false};
    };
    HeldCall call;
    auto frame = std::make_unique<HoldingFrame>(call);
    Open(64, 48);
    rig->document->SetFrame(frame.get());
    SetOutput(128, 96, 6);
    ASSERT_EQ(Request({0, 0, 64, 48}, {0, 0, 128, 96}), PreviewOutcome::Started);

    ExpectRemovalWaitsForTheCall(call, [&] {
        rig->document->SetFrame(nullptr);
        frame.reset();
    });
    rig.reset();  // the job's later notices went nowhere
}

TEST_F(PreviewTest, OpeningAnotherImageForgetsThePreviews) {
    Open(100, 80);
    SetOutput(250, 200, 6);
    ASSERT_EQ(Request({0, 0, 100, 80}, {0, 0, 250, 200}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY));
    ASSERT_TRUE(rig->document->HasCachedPreview(6));

    WritePattern(dir / "other.png", 100, 80);
    ASSERT_TRUE(rig->document->OnOpenDocument(dir / "other.png"));
    EXPECT_FALSE(rig->document->HasCachedPreview(6));
    EXPECT_FALSE(rig->document->TakeCurrentPreview());
    // The same request is new for the new image.
    SetOutput(250, 200, 6);
    EXPECT_EQ(Request({0, 0, 100, 80}, {0, 0, 250, 200}), PreviewOutcome::Started);
    ASSERT_TRUE(rig->frame.WaitFor(ID_PREVIEW_READY, 2));
}

}  // namespace
}  // namespace kv::test
