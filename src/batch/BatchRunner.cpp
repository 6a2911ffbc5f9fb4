#include "batch/BatchRunner.h"

#include <exception>

#include "batch/BatchWork.h"
#include "batch/OutputPath.h"
#include "batch/UniqueNameClaim.h"
#include "document/SaveImage.h"
#include "imageio/ResizeBitmap.h"

namespace kv {

BatchRunner::BatchRunner(std::vector<CItem> items, const BatchSettings& settings, bool crop, IBatchRunHost& host,
                         IUserPrompt* prompt, int reportTimeoutMs)
    : items_(std::move(items)),
      settings_(settings),
      crop_(crop),
      host_(host),
      prompt_(prompt),
      reportTimeoutMs_(reportTimeoutMs),
      progress_(host),
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
                          BatchLogEntry(*report)};
}

void BatchRunner::OnRunEnded() {
    if (worker_.joinable()) worker_.join();
    CancelRequested.store(0);
    done_ = true;
}

void BatchRunner::Report(BatchReport report, BatchStatus status) {
    report.status = status;
    progress_.Reset();
    host_.SetProgressPosition(0);
    {
        std::lock_guard lock(mutex_);
        reports_.push_back(std::move(report));
    }
    host_.PostNewImage();
    if (!closing_.load()) answered_.Wait(reportTimeoutMs_);
}

void BatchRunner::Work() {
    int32_t number = 0;
    for (const CItem& item : items_) {
        if (CancelRequested.load()) break;
        BatchReport report;
        report.fileNumber = ++number;
        report.total = total();
        report.input = item.path;
        report.values = item.batch;

        const BatchInput input = OpenBatchImage(item, settings_, crop_, memory_, [] { return CancelRequested.load() != 0; });
        Bitmap* const source = input.image.get();
        if (!source) {
            Report(report, BatchStatus::CantOpen);
            continue;
        }
        const OutputDecision output =
            DecideOutputPath(settings_, item.path, item.batch.width, item.batch.height, prompt_, {}, &outputs_);
        if (output.action == OutputAction::Exit) {
            Report(report, BatchStatus::NoOutputFolder);
            break;
        }
        report.output = output.path;
        report.writtenEarlier = output.writtenEarlier;
        if (output.action == OutputAction::Skip) {
            Report(report, BatchStatus::Skipped);
            continue;
        }
        Report(report, BatchStatus::Started);

        const std::unique_ptr<Bitmap> result = CreateOutputImage(item.batch, input);
        if (!result) {
            Report(report, BatchStatus::CantCreate);
            continue;
        }
        bool resized = false;
        try {
            resized = ResizeBitmap(*source, *result, item.batch.algorithm, crop_, &progress_);
        } catch (const std::exception&) {
        }
        if (!resized) {
            Report(report, BatchStatus::Stopped);
            break;
        }
        // The old output, if any, stays until the whole new file replaces it; an output that is
        // the input itself is safe too, as the input was read whole when it was opened.
        std::optional<std::filesystem::path> saved;
        try {
            std::vector<uint8_t> bytes;
            if (EncodeSaveImage(*result, output.path, *source, settings_.jpegQuality, item.batch.dpi, bytes) == 1)
                saved = WriteBatchOutput(bytes, output, &outputs_).path;
        } catch (const std::exception&) {
        }
        if (!saved) {
            Report(report, BatchStatus::CantWrite);
            break;
        }
        // Another run took the unique name meanwhile: the file went to the next free one, and the
        // log says so.
        if (*saved != output.path) {
            report.output = *saved;
            Report(report, BatchStatus::Started);
        }
    }
    running_.store(false);
    host_.PostRunEnded();
}

}  // namespace kv
