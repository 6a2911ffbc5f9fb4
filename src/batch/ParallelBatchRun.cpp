#include "batch/ParallelBatchRun.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "base/FileStatus.h"
#include "batch/BatchWork.h"
#include "batch/OutputPath.h"
#include "batch/UniqueNameClaim.h"
#include "engine/Progress.h"

namespace kv {

namespace {

// A folder as the file system resolves it, ending with a slash; empty when it cannot be resolved.
std::string ResolvedFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::string text = std::filesystem::weakly_canonical(folder, error).string();
    if (error || text.empty()) return {};
    if (text.back() != '/') text += '/';
    return text;
}

// "<stem>_<digits>" without its number, or nothing.
std::optional<std::string> WithoutUniqueNumber(const std::string& stem) {
    const size_t underscore = stem.rfind('_');
    if (underscore == std::string::npos || underscore + 1 == stem.size()) return std::nullopt;
    for (size_t i = underscore + 1; i < stem.size(); ++i)
        if (stem[i] < '0' || stem[i] > '9') return std::nullopt;
    return stem.substr(0, underscore);
}

}  // namespace

// The steps of one item as the jobs carried them out ahead of time, all but the naming and the
// writing, which happen now, in list order.
class ParallelBatchRun::RecordedSteps final : public IBatchItemSteps {
public:
    RecordedSteps(const BatchSettings& settings, const CItem& item, const Result& result)
        : settings_(settings), item_(item), result_(result) {}

    bool Open() override { return result_.outcome != Outcome::CantOpen; }
    OutputDecision NameOutput(const RunOutputs& written) override {
        return DecideOutputPath(settings_, item_.path, item_.batch.width, item_.batch.height, {}, &written);
    }
    bool CreateOutput() override { return result_.outcome != Outcome::CantCreate; }
    bool Resize() override { return result_.outcome != Outcome::Stopped; }
    std::optional<std::filesystem::path> Save(const OutputDecision& output) override {
        if (result_.outcome != Outcome::Encoded) return std::nullopt;
        return WriteBatchOutput(result_.bytes, output).path;
    }
    // The work was done ahead: the entry comes once the file is written, so that it names the file
    // the unique name claimed (another run may have taken the decided one meanwhile).
    bool LogsStartBeforeWork() const override { return false; }

private:
    const BatchSettings& settings_;
    const CItem& item_;
    const Result& result_;
};

ParallelBatchRun::ParallelBatchRun(std::vector<CItem> items, const BatchSettings& settings, bool crop, int32_t jobs)
    : items_(std::move(items)),
      settings_(settings),
      crop_(crop),
      jobs_(static_cast<size_t>(std::max(jobs, 1))),
      lookahead_(2 * jobs_),
      memory_(MemoryBudget()) {
    PlanDependencies();
}

void ParallelBatchRun::PlanDependencies() {
    // Every name an item's result may take: its planned name, and under unique names any
    // "<stem>_<n>" of it, as under the other policies for a name an earlier item planned too (a
    // result of the run is never replaced). The first item that may write each is remembered.
    std::map<std::string, size_t> exact;
    std::map<std::string, size_t> numbered;
    const bool unique = settings_.policy == CollisionPolicy::UniqueName;
    waits_.assign(items_.size(), false);
    for (size_t i = 0; i < items_.size(); ++i) {
        const CItem& item = items_[i];
        const OutputName name = PlannedOutputName(settings_, item.path, item.batch.width, item.batch.height);
        const std::string folder = ResolvedFolder(name.folder);
        if (folder.empty()) continue;  // no such folder: the item cannot write anything
        const bool plannedBefore = !exact.emplace(folder + name.stem + name.extension, i).second;
        if (unique || plannedBefore) numbered.emplace(folder + name.stem + '\n' + name.extension, i);
    }
    for (size_t j = 1; j < items_.size(); ++j) {
        const std::filesystem::path& input = items_[j].path;
        // An input that is not there yet may be an earlier result, by a path we cannot foresee.
        const std::string folder = FileExists(input) ? ResolvedFolder(input.parent_path()) : std::string();
        std::error_code error;
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(input, error);
        if (folder.empty() || error) {
            waits_[j] = true;
            continue;
        }
        const std::string name = resolved.filename().string();
        const std::string resolvedFolder = ResolvedFolder(resolved.parent_path());
        const auto earlier = [&](const std::map<std::string, size_t>& names, const std::string& key) {
            const auto found = names.find(key);
            return found != names.end() && found->second < j;
        };
        bool waits = earlier(exact, resolvedFolder + name);
        if (!waits && !numbered.empty()) {
            const size_t dot = name.rfind('.');
            const std::string stem = name.substr(0, dot);
            const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
            if (const auto base = WithoutUniqueNumber(stem)) waits = earlier(numbered, resolvedFolder + *base + '\n' + extension);
        }
        waits_[j] = waits;
    }
}

ParallelBatchRun::Result ParallelBatchRun::Process(const CItem& item) {
    Result result;
    // Items wait in Open while the others hold too much of the budget.
    BatchItemWork work(item, settings_, crop_, memory_, [this] { return Stopping(); });
    // A sink of its own, without a window: it only carries the cancel flag to the routine.
    CRSProgress progress(nullptr);
    if (!work.Open()) {
        result.outcome = Outcome::CantOpen;
    } else if (!work.CreateOutput()) {
        result.outcome = Outcome::CantCreate;
    } else if (!work.Resize(&progress)) {
        result.outcome = Outcome::Stopped;
    } else {
        try {
            const OutputName name = PlannedOutputName(settings_, item.path, item.batch.width, item.batch.height);
            result.outcome = work.Encode("x" + name.extension, result.bytes) ? Outcome::Encoded : Outcome::CantEncode;
        } catch (const std::exception&) {
            result.outcome = Outcome::CantEncode;
        }
    }
    return result;
}

bool ParallelBatchRun::Stopping() {
    if (CancelRequested.load()) return true;
    std::lock_guard lock(mutex_);
    return stop_;
}

void ParallelBatchRun::JobLoop() {
    for (;;) {
        size_t index;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || next_ >= items_.size() || next_ < committed_ + lookahead_; });
            if (stop_ || next_ >= items_.size()) return;
            index = next_++;
            if (waits_[index]) changed_.wait(lock, [&] { return stop_ || committed_ >= index; });
            if (stop_) return;
        }
        Result result = Process(items_[index]);
        {
            std::lock_guard lock(mutex_);
            results_[index] = std::move(result);
        }
        changed_.notify_all();
    }
}

bool ParallelBatchRun::Run(IBatchLog& log) {
    results_.assign(items_.size(), Result{});
    next_ = committed_ = 0;
    stop_ = false;
    const BatchRunScope active;
    CancelRequested.store(0);

    std::vector<std::thread> jobs;
    const size_t count = std::min(jobs_, items_.size());
    for (size_t k = 0; k < count; ++k) jobs.emplace_back([this] { JobLoop(); });

    const bool finished = Commit(log);

    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    // Items still being resized are not wanted any more: an own algorithm stops at its next step.
    const uint8_t cancelled = CancelRequested.exchange(1);
    for (std::thread& job : jobs) job.join();
    CancelRequested.store(cancelled);
    results_.clear();
    return finished;
}

bool ParallelBatchRun::Commit(IBatchLog& log) {
    RunOutputs written;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (CancelRequested.load()) return false;
        Result result;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return results_[i].outcome != Outcome::Pending; });
            result = std::move(results_[i]);
        }
        RecordedSteps steps(settings_, items_[i], result);
        if (!RunBatchItem(ItemReport(items_, i), steps, log, written)) return false;
        {
            std::lock_guard lock(mutex_);
            committed_ = i + 1;
        }
        changed_.notify_all();
    }
    return true;
}

}  // namespace kv
