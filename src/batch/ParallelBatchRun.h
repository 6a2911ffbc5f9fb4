#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "app/BatchSettings.h"
#include "base/MemoryBudget.h"
#include "batch/BatchItemFlow.h"
#include "batch/CItem.h"

namespace kv {

// A batch run that resizes several items at once (kvscale's --jobs), beside the window's single
// worker. Jobs open, resize and encode the items in memory, a bounded number ahead of the calling
// thread, which names and writes each result in list order. So its reports, and the files it
// leaves, are those of the single worker: an output's name is decided when every earlier result is
// on disk, a failure that stops the run drops the results of the items after it unwritten, and an
// input that an earlier item may write (its name matches an earlier output's) is only read once
// every earlier result is written.
class ParallelBatchRun {
public:
    // jobs is the number of items resized at once (at least 1).
    ParallelBatchRun(std::vector<CItem> items, const BatchSettings& settings, bool crop, int32_t jobs);
    ParallelBatchRun(const ParallelBatchRun&) = delete;
    ParallelBatchRun& operator=(const ParallelBatchRun&) = delete;

    // Runs the whole list; the reports reach the log on the calling thread. The process-wide cancel
    // flag stops it before the next item and stops an own algorithm at its next progress call.
    // False when the run stopped early.
    bool Run(IBatchLog& log);

    // Whether the input of an item must wait for the results of the items before it.
    const std::vector<bool>& waitsForEarlierResults() const { return waits_; }

private:
    enum class Outcome { Pending, CantOpen, CantCreate, Stopped, CantEncode, Encoded };
    struct Result {
        Outcome outcome = Outcome::Pending;
        std::vector<uint8_t> bytes;  // the file to write
    };

    class RecordedSteps;

    void PlanDependencies();
    void JobLoop();
    bool Stopping();
    Result Process(const CItem& item);
    bool Commit(IBatchLog& log);

    const std::vector<CItem> items_;
    const BatchSettings settings_;
    const bool crop_;
    const size_t jobs_;
    const size_t lookahead_;
    std::vector<bool> waits_;
    // The run's memory budget: items resized at once hold it between them, so many jobs on large
    // images wait for each other instead of running the machine out of memory.
    MemoryPool memory_;

    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_.
    std::vector<Result> results_;
    size_t next_ = 0;       // the next item a job takes
    size_t committed_ = 0;  // items before this one are logged and written
    bool stop_ = false;
};

}  // namespace kv
