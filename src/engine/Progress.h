#pragma once

#include <atomic>
#include <cstdint>

#include "base/CommandTarget.h"

namespace kv {

// Process-wide state every resize shares. Any thread that wants a running own-algorithm resize to
// stop sets CancelRequested; the resizing thread sees it at its next progress call. The flag is
// cleared by whoever starts the next resize, never by a routine.
extern std::atomic<uint8_t> CancelRequested;
// The last overall percentage, written by the resizing thread and read by the window when the
// progress command arrives; a stale value only shows an older position.
extern std::atomic<int32_t> OverallPercent;
// Set by a routine that could not allocate a working buffer, cleared by a routine at its start.
extern std::atomic<uint8_t> OutOfMemoryFlag;
// How many batch runs are under way. A batch run's cancel is CancelRequested, so while one runs
// nothing else may set or clear the flag: the document starts no previews then.
extern std::atomic<int32_t> BatchRunsActive;

// The main window that receives the progress commands; may be absent.
void SetMainFrameTarget(ICommandTarget* target);
ICommandTarget* MainFrameTarget();

// The progress sink of the resize routines. A routine sets the number of passes it will report,
// then calls OnProgress with 0..99 for each pass; a drop of the percentage marks the next pass.
class CRSProgress {
public:
    // Posts ID_RESIZE_STARTED to the target (the main frame when none is given).
    CRSProgress();
    explicit CRSProgress(ICommandTarget* target);
    virtual ~CRSProgress();
    CRSProgress(const CRSProgress&) = delete;
    CRSProgress& operator=(const CRSProgress&) = delete;

    // False asks the routine to stop.
    virtual bool OnProgress(int32_t percent);

    void SetStages(int32_t stages) { stages_ = stages; }
    int32_t stages() const { return stages_; }
    int32_t currentStage() const { return currentStage_; }
    int32_t lastPercent() const { return lastPercent_; }

protected:
    // Advances the stage on a drop and stores the percentage. Returns true when the value changed,
    // i.e. when a new overall percentage should be shown.
    bool Advance(int32_t percent);
    // (100 / stages) * current stage + percent / stages, in integers.
    int32_t OverallOf(int32_t percent) const;

    ICommandTarget* target_;

private:
    int32_t stages_ = 1;
    int32_t currentStage_ = 0;
    int32_t lastPercent_ = 0;
};

}  // namespace kv
