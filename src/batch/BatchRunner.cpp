#include "batch/BatchRunner.h"

#include "batch/BatchWork.h"
#include "batch/OutputPath.h"

namespace kv {

// The steps of one item as the single worker takes them, one after the other.
class BatchRunner::ItemSteps final : public IBatchItemSteps {
public:
    ItemSteps(BatchRunner& runner, const CItem& item)
        : runner_(runner),
          item_(item),
          work_(item, runner.settings_, runner.crop_, runner.memory_, [] { return CancelRequested.load() != 0; }) {}

    bool Open() override { return work_.Open(); }
    OutputDecision NameOutput(const RunOutputs& written) override {
        return DecideOutputPath(runner_.settings_, item_.path, item_.batch.width, item_.batch.height, {}, &written);
    }
    bool CreateOutput() override { return work_.CreateOutput(); }
    bool Resize() override { return work_.Resize(&runner_.progress_); }
    std::optional<std::filesystem::path> Save(const OutputDecision& output) override { return work_.Save(output); }
    // The dialog shows the item as under way while it is resized.
    bool LogsStartBeforeWork() const override { return true; }

private:
    BatchRunner& runner_;
    const CItem& item_;
    BatchItemWork work_;
};

// The item flow's log: each report goes to the dialog, and the worker waits until it is logged.
class BatchRunner::ReportHandshake final : public IBatchLog {
public:
    explicit ReportHandshake(BatchRunner& runner) : runner_(runner) {}
    void OnReport(const BatchReport& report) override { runner_.Report(report); }

private:
    BatchRunner& runner_;
};

BatchRunner::BatchRunner(std::vector<CItem> items, const BatchSettings& settings, bool crop, IBatchRunHost& host,
                         int reportTimeoutMs)
    : items_(std::move(items)),
      settings_(settings),
      crop_(crop),
      host_(&host),
      reportTimeoutMs_(reportTimeoutMs),
      progress_([this] { Post(&IBatchRunHost::PostProgress); }),
      memory_(MemoryBudget()) {}

BatchRunner::~BatchRunner() {
    if (!worker_.joinable()) return;
    closing_.store(true);
    CancelRequested.store(1);
    answered_.Set();
    worker_.join();
    CancelRequested.store(0);
}

void BatchRunner::Start() {
    if (worker_.joinable() || done_) return;
    // Marked as running before the flag is cleared, so that no preview touches it from now on.
    active_.emplace();
    CancelRequested.store(0);
    running_.store(true);
    worker_ = std::thread([this] { Work(); });
}

void BatchRunner::Cancel() {
    if (running_.load()) CancelRequested.store(1);
}

std::optional<BatchLogUpdate> BatchRunner::TakeReport() {
    std::optional<BatchReport> report;
    {
        std::lock_guard lock(mutex_);
        if (!reports_.empty()) {
            report = std::move(reports_.front());
            reports_.pop_front();
        }
    }
    answered_.Set();
    if (!report) return std::nullopt;
    return BatchLogUpdate{*report, ProcessingText(*report), IsOwnResizeAlgorithm(report->values.algorithm),
                          std::string(BatchReportMessage(report->status)), BatchLogEntry(*report)};
}

void BatchRunner::OnRunEnded() {
    if (worker_.joinable()) worker_.join();
    CancelRequested.store(0);
    done_ = true;
}

void BatchRunner::Post(void (IBatchRunHost::*notice)()) {
    host_.Notify([notice](IBatchRunHost& host) { (host.*notice)(); });
}

void BatchRunner::Report(const BatchReport& report) {
    progress_.Reset();
    {
        std::lock_guard lock(mutex_);
        reports_.push_back(report);
    }
    Post(&IBatchRunHost::PostNewImage);
    if (!closing_.load()) answered_.Wait(reportTimeoutMs_);
}

void BatchRunner::Work() {
    ReportHandshake log(*this);
    RunOutputs written;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (CancelRequested.load()) break;
        ItemSteps steps(*this, items_[i]);
        if (!RunBatchItem(ItemReport(items_, i), steps, log, written)) break;
    }
    active_.reset();
    running_.store(false);
    Post(&IBatchRunHost::PostRunEnded);
}

}  // namespace kv
