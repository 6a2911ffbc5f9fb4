#include "document/PreviewPipeline.h"

#include <array>
#include <atomic>
#include <mutex>
#include <optional>

#include "base/AutoResetEvent.h"
#include "base/ListenerSlot.h"
#include "document/CloneArea.h"
#include "engine/OwnAlgorithm.h"
#include "imageio/AlphaResize.h"

namespace kv {

namespace {

// Passes the worker's notices on to the frame for as long as the frame is set. A worker that
// outlives the pipeline then posts into nothing instead of into a frame that may be gone.
class CommandRelay final : public ICommandTarget {
public:
    explicit CommandRelay(ICommandTarget* target) : target_(target) {}
    void PostCommand(int id) override {
        target_.Notify([id](ICommandTarget& target) { target.PostCommand(id); });
    }
    void SetTarget(ICommandTarget* target) { target_.Set(target); }

private:
    ListenerSlot<ICommandTarget> target_;
};

// The progress sink of one preview job. Besides the process-wide cancel it stops the job when the
// pipeline stops its worker or is ending: a job that started just then could miss the process-wide
// flag (a job clears it as it starts), and while a batch run is under way the flag is not the
// pipeline's to set.
class PreviewProgress final : public CRSProgress {
public:
    PreviewProgress(ICommandTarget* frame, const std::atomic<bool>& quitting, const std::atomic<bool>& stopping)
        : CRSProgress(frame), quitting_(quitting), stopping_(stopping) {}
    bool OnProgress(int32_t percent) override {
        if (quitting_.load() || stopping_.load()) return false;
        return CRSProgress::OnProgress(percent);
    }

private:
    const std::atomic<bool>& quitting_;
    const std::atomic<bool>& stopping_;
};

// The process-wide cancel flag is the batch run's while one is under way.
bool MayUseCancelFlag() { return BatchRunsActive.load() == 0; }

struct PendingRequest {
    PixelRect source;
    PixelRect destination;
    ResizeAlgorithm algorithm = -1;
    PixelSize output;  // what the output size was when the request was made
};

}  // namespace

struct PreviewState {
    PreviewState(ICommandTarget* target, PreviewRoutine job) : frame(target), routine(std::move(job)) {}

    AutoResetEvent start{false};
    AutoResetEvent quit{false};
    AutoResetEvent idle{true};
    AutoResetEvent exited{false};
    std::atomic<bool> quitting{false};
    std::atomic<bool> stopping{false};
    CommandRelay frame;
    const PreviewRoutine routine;

    // Guards everything below. The user-interface thread changes the pending request only after
    // the worker went idle, but a worker that did not stop in time may still read it.
    std::mutex lock;
    std::shared_ptr<Bitmap> image;
    // Counts the images; a job that finishes for an image no longer open leaves no result.
    uint64_t generation = 0;
    std::unique_ptr<Bitmap> current;
    // The last finished result of each own algorithm, by algorithm; the others' stay empty.
    std::array<std::unique_ptr<Bitmap>, kResizeAlgorithmCount> cached;
    PixelRect cachedSource;
    PixelRect cachedDestination;
    PixelSize cachedOutput;
    PendingRequest pending;
};

namespace {

int64_t Percent(int32_t destination, int32_t source) { return int64_t{destination} * 100 / source; }

// A request inside the one the cached results were made for, at the same output size and scale.
bool IsContainedHit(const PreviewState& s, const PixelRect& source, const PixelRect& destination, PixelSize output) {
    if (!(s.cachedOutput == output) || output.width <= 0 || output.height <= 0) return false;
    if (s.cachedSource.IsEmpty() || s.cachedDestination.IsEmpty() || !s.cachedSource.Contains(source)) return false;
    return Percent(destination.Width(), source.Width()) == Percent(s.cachedDestination.Width(), s.cachedSource.Width()) &&
           Percent(destination.Height(), source.Height()) ==
               Percent(s.cachedDestination.Height(), s.cachedSource.Height());
}

}  // namespace

PreviewPipeline::PreviewPipeline(ICommandTarget* frame, PreviewOptions options)
    : state_(std::make_shared<PreviewState>(frame, std::move(options.routine))),
      idleWaitMs_(options.idleWaitMs),
      shutdownWaitMs_(options.shutdownWaitMs),
      worker_(&PreviewWorker, state_) {}

PreviewPipeline::~PreviewPipeline() {
    PreviewState& s = *state_;
    s.quitting.store(true);
    if (MayUseCancelFlag()) CancelRequested.store(1);
    s.quit.Set();
    if (s.exited.Wait(shutdownWaitMs_)) {
        worker_.join();
    } else {
        // The worker still runs a job that ignores the stop; it owns its share of the state and
        // ends on its own.
        worker_.detach();
    }
    s.frame.SetTarget(nullptr);
    std::lock_guard guard(s.lock);
    s.image.reset();
    s.current.reset();
    for (auto& cached : s.cached) cached.reset();
}

PreviewOutcome PreviewPipeline::RequestPreview(const PixelRect& source, const PixelRect& destination,
                                               ResizeAlgorithm algorithm, PixelSize output) {
    if (!IsOwnResizeAlgorithm(algorithm) || source.IsEmpty() || destination.IsEmpty()) return PreviewOutcome::Nothing;
    PreviewState& s = *state_;
    std::shared_ptr<Bitmap> image;
    PendingRequest pending;
    {
        std::lock_guard guard(s.lock);
        if (!s.image) return PreviewOutcome::Nothing;
        image = s.image;
        std::unique_ptr<Bitmap>& cached = s.cached[static_cast<size_t>(algorithm)];
        if (source == s.cachedSource && destination == s.cachedDestination) {
            if (cached) {
                if (auto copy = CloneArea(*cached, 0, 0, cached->GetWidth(), cached->GetHeight(), cached->GetPixelFormat())) {
                    s.current = std::move(copy);
                    return PreviewOutcome::FromCache;
                }
                cached.reset();
            }
        } else if (IsContainedHit(s, source, destination, output)) {
            if (cached) {
                const auto x = static_cast<int32_t>(int64_t{source.left - s.cachedSource.left} * output.width / image->GetWidth());
                const auto y = static_cast<int32_t>(int64_t{source.top - s.cachedSource.top} * output.height / image->GetHeight());
                if (auto copy = CloneArea(*cached, x, y, destination.Width(), destination.Height(), cached->GetPixelFormat())) {
                    s.current = std::move(copy);
                    return PreviewOutcome::FromCache;
                }
                cached.reset();
            }
        } else {
            for (auto& result : s.cached) result.reset();
        }
        pending = s.pending;
    }
    if (!MayUseCancelFlag()) return PreviewOutcome::Refused;

    // A different request stops the running job; the same one lets it finish.
    const bool restart =
        destination != pending.destination || source != pending.source || algorithm != pending.algorithm;
    CancelRequested.store(restart ? 1 : 0);
    if (restart) {
        // The job sees the flag at its next progress call and stops.
        s.idle.Wait(idleWaitMs_);
        s.idle.Set();
    }
    {
        std::lock_guard guard(s.lock);
        s.pending = {source, destination, algorithm, output};
    }

    if (destination.Width() == source.Width() && destination.Height() == source.Height()) {
        // Unscaled: the preview is the image itself.
        std::lock_guard guard(s.lock);
        s.current = CloneArea(*image, source.left, source.top, source.Width(), source.Height(),
                              PreviewCopyFormat(image->GetPixelFormat()));
        s.cachedSource = source;
        s.cachedDestination = destination;
        return s.current ? PreviewOutcome::Copied : PreviewOutcome::Nothing;
    }
    if (!restart) return PreviewOutcome::Unchanged;
    s.start.Set();
    return PreviewOutcome::Started;
}

void PreviewPipeline::SetFrame(ICommandTarget* frame) { state_->frame.SetTarget(frame); }

void PreviewPipeline::StopWorker() {
    PreviewState& s = *state_;
    // The job's sink sees the pipeline's own stop at its next call; the process-wide flag also
    // stops a routine between its progress calls, when it is free to use.
    const bool useCancelFlag = MayUseCancelFlag();
    s.stopping.store(true);
    if (useCancelFlag) CancelRequested.store(1);
    s.idle.Wait(idleWaitMs_);
    s.idle.Set();
    if (useCancelFlag) CancelRequested.store(0);
    s.stopping.store(false);
}

void PreviewPipeline::Reset(std::shared_ptr<Bitmap> image) {
    PreviewState& s = *state_;
    std::lock_guard guard(s.lock);
    s.image = std::move(image);
    ++s.generation;
    s.current.reset();
    for (auto& cached : s.cached) cached.reset();
    s.cachedSource = {};
    s.cachedDestination = {};
    s.cachedOutput = {};
    s.pending = {};
}

std::unique_ptr<Bitmap> PreviewPipeline::TakeCurrentPreview() {
    std::lock_guard guard(state_->lock);
    return std::move(state_->current);
}

bool PreviewPipeline::HasCachedResult(ResizeAlgorithm algorithm) const {
    if (!IsOwnResizeAlgorithm(algorithm)) return false;
    std::lock_guard guard(state_->lock);
    return state_->cached[static_cast<size_t>(algorithm)] != nullptr;
}

void PreviewPipeline::PreviewWorker(std::shared_ptr<PreviewState> state) {
    PreviewState& s = *state;
    const std::array<WaitSource, 2> sources{s.start.Source(), s.quit.Source()};
    for (;;) {
        const int which = WaitAny(sources, kWaitInfinite);
        if (which != 0) break;  // the quit event, or the wait itself failed
        try {
            RunPreviewJob(s);
        } catch (...) {
            // Nothing leaves the thread: the job is dropped as if it had run out of memory.
            s.idle.Set();
        }
    }
    s.exited.Set();
}

void PreviewPipeline::RunPreviewJob(PreviewState& s) {
    {
        std::lock_guard guard(s.lock);
        if (s.pending.source.Width() <= 2 && s.pending.source.Height() <= 2) return;
    }
    // A job asked for before a batch run began is dropped; the next request starts it again.
    if (!MayUseCancelFlag()) {
        std::lock_guard guard(s.lock);
        s.pending = {};
        return;
    }
    s.idle.Reset();
    CancelRequested.store(0);

    PendingRequest job;
    std::shared_ptr<Bitmap> image;
    uint64_t generation;
    {
        std::lock_guard guard(s.lock);
        job = s.pending;
        image = s.image;
        generation = s.generation;
    }
    // A job that starts while the pipeline ends is stopped by its sink at the first progress call.
    if (!image || !IsOwnResizeAlgorithm(job.algorithm) || job.source.IsEmpty() || job.destination.IsEmpty()) {
        s.idle.Set();
        return;
    }

    const int32_t width = job.destination.Width();
    const int32_t height = job.destination.Height();
    // A picture that may have transparent parts is previewed as it is saved: with its alpha.
    const bool alpha = MayHoldTransparency(image->GetPixelFormat());
    auto target = std::make_unique<Bitmap>(width, height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    if (target->GetLastStatus() != Status::Ok) {
        s.idle.Set();
        return;
    }
    std::unique_ptr<Bitmap> area;
    BitmapData in;
    BitmapData out;
    if (alpha) {
        area = CloneArea(*image, job.source.left, job.source.top, job.source.Width(), job.source.Height(),
                         PixelFormat32bppARGB);
        if (!area) {
            s.idle.Set();
            return;
        }
    } else {
        if (image->LockBits(job.source.AsRect(), ImageLockMode::Read, PixelFormat24bppRGB, &in) != Status::Ok) {
            s.idle.Set();
            return;
        }
        if (target->LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &out) != Status::Ok) {
            image->UnlockBits(&in);
            s.idle.Set();
            return;
        }
    }

    std::optional<PreviewProgress> progress(std::in_place, &s.frame, s.quitting, s.stopping);
    bool done = false;
    if (alpha) {
        done = ResizeWithAlpha(*area, *target, job.algorithm, &*progress);
    } else {
        done = s.routine ? s.routine(job.algorithm, out.AsRaster(), in.AsRaster(), &*progress)
                         : RunOwnAlgorithm(job.algorithm, out.AsRaster(), in.AsRaster(), &*progress);
        target->UnlockBits(&out);
        image->UnlockBits(&in);
    }
    if (!done) {
        target.reset();
        s.idle.Set();
        return;  // the sink's end notice goes as it is destroyed
    }
    progress.reset();

    bool stored = false;
    {
        std::lock_guard guard(s.lock);
        if (s.generation == generation) {
            std::unique_ptr<Bitmap>& cached = s.cached[static_cast<size_t>(job.algorithm)];
            cached = CloneArea(*target, 0, 0, width, height, target->GetPixelFormat());
            s.current = std::move(target);
            s.cachedSource = job.source;
            s.cachedDestination = job.destination;
            s.cachedOutput = job.output;
            stored = true;
        }
    }
    s.idle.Set();
    if (stored) s.frame.PostCommand(CommandId::ID_PREVIEW_READY);
}

}  // namespace kv
