#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/BatchSettings.h"
#include "base/AutoResetEvent.h"
#include "base/ListenerSlot.h"
#include "base/MemoryBudget.h"
#include "batch/BatchItemFlow.h"
#include "batch/BatchProgress.h"
#include "batch/BatchText.h"
#include "batch/CItem.h"

namespace kv {

// The progress dialog as the batch worker sees it. Every call comes from the worker thread and
// only posts: the dialog queues the work onto its own thread, which then calls the runner back.
// None may wait for the dialog's thread, which may itself be waiting for the worker.
class IBatchRunHost {
public:
    // A report waits: the dialog calls BatchRunner::TakeReport.
    virtual void PostNewImage() = 0;
    // The progress bar's position moved: the dialog shows BatchRunner::ProgressPosition.
    virtual void PostProgress() = 0;
    // The worker has finished: the dialog calls BatchRunner::OnRunEnded.
    virtual void PostRunEnded() = 0;

protected:
    ~IBatchRunHost() = default;
};

// How long the worker waits for the dialog to take a report before it goes on.
inline constexpr int kBatchReportTimeoutMs = 10000;

// What the dialog shows for one report.
struct BatchLogUpdate {
    BatchReport report;
    std::string statusText;    // "Processing <n> from <total>"
    bool showProgressBar;      // the item's algorithm reports progress
    std::string message;       // a message box to show before the entry, or empty
    std::string entry;         // appended to the log, which then scrolls to its end
};

// A batch run with one worker thread that walks the items in list order: it opens each image,
// names its output, resizes it with the item's size and algorithm and saves it. Each step is
// reported to the dialog, and the worker waits until the dialog has logged it (at most 10 s).
// Cancelling sets the process-wide cancel flag: the worker stops before the next item, an own
// algorithm at its next progress call.
class BatchRunner {
public:
    // The items are copied: the run uses them as they are now. crop is the correction in force when
    // the run starts.
    BatchRunner(std::vector<CItem> items, const BatchSettings& settings, bool crop, IBatchRunHost& host,
                int reportTimeoutMs = kBatchReportTimeoutMs);
    // Stops a worker that still runs (without waiting for reports) and joins it.
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Clears the cancel flag and starts the worker. Once only.
    void Start();
    // "Cancel" while the worker runs.
    void Cancel();
    bool IsRunning() const { return running_.load(); }
    int32_t total() const { return static_cast<int32_t>(items_.size()); }

    // The progress bar's position, 0 to 100 (the bar shows 0 to 90), from any thread.
    int32_t ProgressPosition() const { return progress_.position(); }
    // On the dialog's thread after PostNewImage: the oldest report not yet logged, with its texts;
    // lets the worker go on.
    std::optional<BatchLogUpdate> TakeReport();
    // On the dialog's thread after PostRunEnded: the worker is joined and the cancel flag cleared;
    // the dialog's button now reads "Done".
    void OnRunEnded();
    bool IsDone() const { return done_; }

    // The dialog goes away: once this returns the worker is not inside the host and will not call
    // it again; its later reports wait for nobody longer than their time limit.
    void DetachHost() { host_.Set(nullptr); }

private:
    class ItemSteps;
    class ReportHandshake;

    void Work();
    void Report(const BatchReport& report);
    void Post(void (IBatchRunHost::*notice)());

    const std::vector<CItem> items_;
    const BatchSettings settings_;
    const bool crop_;
    ListenerSlot<IBatchRunHost> host_;
    const int reportTimeoutMs_;
    CBatchProgress progress_;  // driven by the worker only
    MemoryPool memory_;        // the budget each item's resize is measured against

    std::mutex mutex_;
    std::deque<BatchReport> reports_;  // guarded by mutex_
    AutoResetEvent answered_;
    std::atomic<bool> running_{false};
    std::atomic<bool> closing_{false};
    bool done_ = false;
    std::optional<BatchRunScope> active_;  // from Start until the worker ends
    std::thread worker_;
};

}  // namespace kv
