#include "batch/BatchItemFlow.h"

#include "engine/Progress.h"

namespace kv {

BatchReport ItemReport(const std::vector<CItem>& items, size_t index) {
    BatchReport report;
    report.fileNumber = static_cast<int32_t>(index) + 1;
    report.total = static_cast<int32_t>(items.size());
    report.input = items[index].path;
    report.values = items[index].batch;
    return report;
}

bool RunBatchItem(BatchReport report, IBatchItemSteps& steps, IBatchLog& log, RunOutputs& written) {
    const auto outcome = [&](BatchStatus status) {
        report.status = status;
        log.OnReport(report);
        return !StopsRun(status);
    };
    if (!steps.Open()) return outcome(BatchStatus::CantOpen);
    const OutputDecision output = steps.NameOutput(written);
    if (output.action == OutputAction::Exit) return outcome(BatchStatus::NoOutputFolder);
    report.output = output.path;
    report.writtenEarlier = output.writtenEarlier;
    if (output.action == OutputAction::Skip) return outcome(BatchStatus::Skipped);
    bool started = false;
    const auto start = [&] {
        if (!started) outcome(BatchStatus::Started);
        started = true;
    };
    if (steps.LogsStartBeforeWork()) start();
    const auto failed = [&](BatchStatus status) {
        start();
        return outcome(status);
    };
    if (!steps.CreateOutput()) return failed(BatchStatus::CantCreate);
    if (!steps.Resize()) return failed(BatchStatus::Stopped);
    const std::optional<std::filesystem::path> saved = steps.Save(output);
    if (!saved) return failed(BatchStatus::CantWrite);
    written.Record(*saved);
    if (*saved != report.output) {
        report.output = *saved;
        started = false;
    }
    start();
    return true;
}

BatchRunScope::BatchRunScope() { BatchRunsActive.fetch_add(1); }

BatchRunScope::~BatchRunScope() { BatchRunsActive.fetch_sub(1); }

}  // namespace kv
