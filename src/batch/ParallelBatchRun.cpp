#include "batch/ParallelBatchRun.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "base/AtomicFile.h"
#include "base/FileStatus.h"
#include "batch/BatchWork.h"
#include "batch/OutputPath.h"
#include "batch/UniqueNameClaim.h"
#include "document/SaveImage.h"
#include "engine/Progress.h"
#include "imageio/ResizeBitmap.h"

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

ParallelBatchRun::ParallelBatchRun(std::vector<CItem> items, const BatchSettings& settings, bool crop, int32_t jobs,
                                   IUserPrompt* prompt)
    : items_(std::move(items)),
      settings_(settings),
      crop_(crop),
      jobs_(static_cast<size_t>(std::max(jobs, 1))),
      lookahead_(2 * jobs_),
      prompt_(prompt),
      memory_(MemoryBudget()) {
    PlanDependencies();
}

void ParallelBatchRun::PlanDependencies() {
    // Every name an item's result may take: its planned name, and under unique names any
    // "<stem>_<n>" of it. The first item that may write each is remembered.
    std::map<std::string, size_t> exact;
    std::map<std::string, size_t> numbered;
    const bool unique = settings_.policy == CollisionPolicy::UniqueName;
    waits_.assign(items_.size(), false);
    for (size_t i = 0; i < items_.size(); ++i) {
        const CItem& item = items_[i];
        const OutputName name = PlannedOutputName(settings_, item.path, item.batch.width, item.batch.height);
        const std::string folder = ResolvedFolder(name.folder);
        if (folder.empty()) continue;  // no such folder: the item cannot write anything
        exact.emplace(folder + name.stem + name.extension, i);
        if (unique) numbered.emplace(folder + name.stem + '\n' + name.extension, i);
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
        if (!waits && unique) {
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
    Outcome failure = Outcome::Stopped;  // what running out of memory means at each step
    try {
        // Items wait here while the others hold too much of the budget.
        const BatchInput input = OpenBatchImage(item, settings_, crop_, memory_, [this] { return Stopping(); });
        Bitmap* const source = input.image.get();
        if (!source) {
            result.outcome = Outcome::CantOpen;
            return result;
        }
        const std::unique_ptr<Bitmap> image = CreateOutputImage(item.batch, input);
        if (!image) {
            result.outcome = Outcome::CantCreate;
            return result;
        }
        // A sink of its own, without a window: it only carries the cancel flag to the routine.
        CRSProgress progress(nullptr);
        if (!ResizeBitmap(*source, *image, item.batch.algorithm, crop_, &progress)) {
            result.outcome = Outcome::Stopped;
            return result;
        }
        failure = Outcome::CantEncode;
        const OutputName name = PlannedOutputName(settings_, item.path, item.batch.width, item.batch.height);
        const bool encoded =
            EncodeSaveImage(*image, "x" + name.extension, *source, settings_.jpegQuality, item.batch.dpi, result.bytes) == 1;
        result.outcome = encoded ? Outcome::Encoded : Outcome::CantEncode;
    } catch (const std::exception&) {
        // Out of memory part way: as with the single worker, a failed resize or save.
        result.outcome = failure;
        result.bytes.clear();
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
    const int32_t total = static_cast<int32_t>(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
        if (CancelRequested.load()) return false;
        Result result;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return results_[i].outcome != Outcome::Pending; });
            result = std::move(results_[i]);
        }
        const CItem& item = items_[i];
        BatchReport report;
        report.fileNumber = static_cast<int32_t>(i) + 1;
        report.total = total;
        report.input = item.path;
        report.values = item.batch;
        const auto emit = [&](BatchStatus status) {
            report.status = status;
            log.OnReport(report);
        };
        const auto advance = [&] {
            {
                std::lock_guard lock(mutex_);
                committed_ = i + 1;
            }
            changed_.notify_all();
        };

        if (result.outcome == Outcome::CantOpen) {
            emit(BatchStatus::CantOpen);
            advance();
            continue;
        }
        const OutputDecision output =
            DecideOutputPath(settings_, item.path, item.batch.width, item.batch.height, prompt_, {}, &outputs_);
        if (output.action == OutputAction::Exit) {
            emit(BatchStatus::NoOutputFolder);
            return false;
        }
        report.output = output.path;
        report.writtenEarlier = output.writtenEarlier;
        if (output.action == OutputAction::Skip) {
            emit(BatchStatus::Skipped);
            advance();
            continue;
        }
        if (result.outcome != Outcome::Encoded) {
            emit(BatchStatus::Started);
            switch (result.outcome) {
                case Outcome::CantCreate:
                    emit(BatchStatus::CantCreate);
                    advance();
                    continue;
                case Outcome::Stopped:
                    emit(BatchStatus::Stopped);
                    return false;
                default:
                    emit(BatchStatus::CantWrite);
                    return false;
            }
        }
        // The file is written before its entry, so that the entry names the file the unique name
        // claimed: another run may have taken the decided one meanwhile.
        const OutputWrite written = WriteBatchOutput(result.bytes, output, &outputs_);
        if (written.path) report.output = *written.path;
        emit(BatchStatus::Started);
        if (!written.path) {
            emit(BatchStatus::CantWrite);
            return false;
        }
        advance();
    }
    return true;
}

}  // namespace kv
