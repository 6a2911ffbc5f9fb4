#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

#include "batch/BatchText.h"
#include "batch/CItem.h"
#include "batch/OutputPath.h"

// What happens to one item of a batch run, whichever runner drives it.
namespace kv {

// Receives the reports of a batch run in list order.
class IBatchLog {
public:
    virtual void OnReport(const BatchReport& report) = 0;

protected:
    ~IBatchLog() = default;
};

// The steps of one item, as a runner carries them out, in the order the flow asks for them. Each
// says whether it succeeded; the flow asks for no step after one that failed.
class IBatchItemSteps {
public:
    // The input image was read and decoded.
    virtual bool Open() = 0;
    // Where the result goes, or that it is skipped, or that the run cannot go on; a path the run
    // has written already (written) is never replaced.
    virtual OutputDecision NameOutput(const RunOutputs& written) = 0;
    // An output image of the item's size was made.
    virtual bool CreateOutput() = 0;
    // The resize ran to its end (not stopped, not failed).
    virtual bool Resize() = 0;
    // The result is on disk where the output was decided: the path it went to (under unique names,
    // the next free one when another writer took the decided name meanwhile), or nothing.
    virtual std::optional<std::filesystem::path> Save(const OutputDecision& output) = 0;
    // Whether the item's entry is logged as soon as its output is named, before the work that the
    // log shows as under way (a runner that works on the item now), or only once the result is
    // written or has failed (a runner whose jobs did the work ahead: the entry then names the file
    // actually written).
    virtual bool LogsStartBeforeWork() const = 0;

protected:
    ~IBatchItemSteps() = default;
};

// The report of the item at index of a list before any step: its number (1-based), the list's
// size, its input and the values stamped on it.
BatchReport ItemReport(const std::vector<CItem>& items, size_t index);

// Takes one item through its steps: open, name, create, resize, save. Each outcome goes to the log
// as the batch log shows it (the file's entry once its output is named, then any failure after
// that), and the status of the last report decides, by StopsRun, whether the run goes on. Returns
// whether it does. When the file was written under another name than the entry gave, a second
// entry names it. written holds the results of the run so far: the item's output is named clear of
// them, and the file it wrote joins them.
bool RunBatchItem(BatchReport report, IBatchItemSteps& steps, IBatchLog& log, RunOutputs& written);

// Marks a batch run as active for as long as it lives (see BatchRunsActive).
class BatchRunScope {
public:
    BatchRunScope();
    ~BatchRunScope();
    BatchRunScope(const BatchRunScope&) = delete;
    BatchRunScope& operator=(const BatchRunScope&) = delete;
};

}  // namespace kv
