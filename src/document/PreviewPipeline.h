#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "base/CommandTarget.h"
#include "base/Geometry.h"
#include "engine/Progress.h"
#include "engine/Raster.h"
#include "engine/ResizeAlgorithm.h"
#include "imageio/Bitmap.h"

namespace kv {

// What one preview job runs: an own algorithm from src into dst. Replaceable so that a test can
// hold a job where it wants it.
using PreviewRoutine =
    std::function<bool(ResizeAlgorithm algorithm, const Raster& dst, const Raster& src, CRSProgress* progress)>;

struct PreviewOptions {
    // How long a new request or a newly opened image waits for a running job to stop.
    int idleWaitMs = 60000;
    // How long the pipeline's end waits for the worker thread before leaving it to finish alone.
    int shutdownWaitMs = 5000;
    // Empty: the own algorithms with the constants of the algorithm table.
    PreviewRoutine routine;
};

// How a request was answered.
enum class PreviewOutcome {
    Nothing,    // no image, an empty rectangle or a standard algorithm: no preview comes
    FromCache,  // the current preview was cut from a finished result at once
    Copied,     // unscaled: the current preview is a copy of the image, made at once
    Started,    // the worker was (re)started; ID_PREVIEW_READY follows when it finishes
    Unchanged,  // the worker already computes exactly this
    Refused,    // a batch run is under way: its cancel flag is not the preview's to touch
};

struct PreviewState;

// The previews of the own algorithms (5 to 9) for the visible part of the output. A view asks for
// a source rectangle of the image at the size it takes in the output; one worker thread computes
// it, while each finished result is kept per algorithm so that a request inside it, or a switch
// back to an algorithm, needs no new computation. A new request stops a running job through the
// process-wide CancelRequested; while a batch run uses that flag, no job is started (a cached
// result is still served). Progress reaches the frame as ID_RESIZE_STARTED, ID_RESIZE_PROGRESS
// and ID_RESIZE_DONE, a finished preview as ID_PREVIEW_READY; all are posted from the worker.
//
// Everything the worker touches lives in a state it shares: when the end of the pipeline stops
// waiting for a worker that does not finish in time, the worker keeps that state alive, and the
// frame no longer hears from it.
class PreviewPipeline {
public:
    explicit PreviewPipeline(ICommandTarget* frame, PreviewOptions options = {});
    ~PreviewPipeline();
    PreviewPipeline(const PreviewPipeline&) = delete;
    PreviewPipeline& operator=(const PreviewPipeline&) = delete;

    // Called on the user-interface thread when a view needs a preview of the visible part.
    PreviewOutcome RequestPreview(const PixelRect& source, const PixelRect& destination, ResizeAlgorithm algorithm,
                                  PixelSize output);

    // Where the worker's notices go from now on (none: nowhere). Once it returns, the worker is not
    // inside the previous frame and will not call it again, so the frame may go.
    void SetFrame(ICommandTarget* frame);

    // Before another image is opened: stops a running job and waits for the worker to be idle.
    void StopWorker();
    // Takes a new image (or none) and forgets every preview and request of the old one.
    void Reset(std::shared_ptr<Bitmap> image);

    // The newest finished preview; the view takes it over.
    std::unique_ptr<Bitmap> TakeCurrentPreview();
    // Whether a finished result of an own algorithm is kept.
    bool HasCachedResult(ResizeAlgorithm algorithm) const;

private:
    static void PreviewWorker(std::shared_ptr<PreviewState> state);
    static void RunPreviewJob(PreviewState& state);

    std::shared_ptr<PreviewState> state_;
    int idleWaitMs_;
    int shutdownWaitMs_;
    std::thread worker_;
};

}  // namespace kv
