#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/ImageFactsReader.h"
#include "app/OutputSizeRules.h"
#include "app/ResizeBarPresenter.h"
#include "base/FileStatus.h"
#include "batch/BatchFile.h"
#include "batch/BatchList.h"
#include "batch/BatchRunner.h"
#include "batch/BatchSettingsForm.h"
#include "batch/OutputPath.h"
#include "batch/ParallelBatchRun.h"
#include "cli/Commands.h"
#include "cli/SizeOptions.h"
#include "engine/Progress.h"
#include "imageio/Orientation.h"

namespace kv::cli {

namespace {

struct BatchRequest {
    std::vector<std::filesystem::path> files;
    std::optional<std::filesystem::path> list;
    std::optional<std::filesystem::path> out;
    SizeOptions size;
    BatchSettings batch;
    bool policyGiven = false;
    int32_t jobs = 0;  // 0: one per core
    bool keepOrientation = false;
};

CollisionPolicy ParsePolicy(std::string_view text) {
    if (text == "skip") return CollisionPolicy::Skip;
    if (text == "overwrite") return CollisionPolicy::Overwrite;
    if (text == "unique") return CollisionPolicy::UniqueName;
    throw UsageError{"--policy takes skip, overwrite or unique, not \"" + std::string(text) + "\""};
}

OutputFormat ParseFormat(std::string_view text) {
    if (text == "keep") return OutputFormat::Keep;
    if (text == "jpg") return OutputFormat::Jpeg;
    if (text == "tif") return OutputFormat::Tiff;
    if (text == "bmp") return OutputFormat::Bmp;
    if (text == "png") return OutputFormat::Png;
    throw UsageError{"--format takes keep, jpg, tif, bmp or png, not \"" + std::string(text) + "\""};
}

BatchRequest ParseBatch(Arguments& args) {
    BatchRequest r;
    while (!args.empty()) {
        const std::string_view word = args.Take();
        if (!args.IsOption(word)) {
            if (word.empty()) throw UsageError{"an image file has an empty name"};
            r.files.emplace_back(std::string(word));
        } else if (TakeSizeOption(args, word, r.size)) {
            continue;
        } else if (word == "--list") {
            if (r.list) throw UsageError{"give one --list"};
            r.list = std::filesystem::path(std::string(args.TakeValue(word)));
            if (r.list->empty()) throw UsageError{"--list needs a file name, not an empty one"};
        } else if (word == "--out" || word == "-o") {
            r.out = std::filesystem::path(std::string(args.TakeValue(word)));
            if (r.out->empty()) throw UsageError{std::string(word) + " needs a folder, not an empty name"};
        } else if (word == "--policy") {
            r.batch.policy = ParsePolicy(args.TakeValue(word));
            r.policyGiven = true;
        } else if (word == "--format") {
            r.batch.format = ParseFormat(args.TakeValue(word));
        } else if (word == "--new-name") {
            r.batch.newName = true;
        } else if (word == "--same-folder") {
            r.batch.sameFolder = true;
        } else if (word == "--quality") {
            r.batch.jpegQuality = ParseQuality(args.TakeValue(word), word);
        } else if (word == "--jobs") {
            r.jobs = ParseInt(args.TakeValue(word), word, 1, 256);
        } else if (word == "--max-memory") {
            SetMemoryBudgetOption(args.TakeValue(word), word);
        } else if (word == "--keep-orientation") {
            r.keepOrientation = true;
        } else {
            throw UsageError{"unknown option " + std::string(word)};
        }
    }
    if (r.files.empty() && !r.list) throw UsageError{"batch needs image files or --list LIST.qzb"};
    if (!r.files.empty() && r.list) throw UsageError{"give image files or --list, not both"};
    if (!r.out && !r.batch.sameFolder) throw UsageError{"batch needs --out DIR (or --same-folder)"};
    CheckSizeOptions(r.size);
    return r;
}

// kvscale's answers: what the command line asked for is wanted (another copy of a file named
// twice, an output folder that has to be created); messages go to stderr.
class AnswerYesPrompt final : public IUserPrompt {
public:
    void ShowMessage(const std::string& text) override { console_.ShowMessage(OneLine(text)); }
    bool AskYesNo(const std::string&) override { return true; }
    void Beep() override {}

    static std::string OneLine(const std::string& text) {
        std::string line;
        for (const char c : text) {
            if (c == '\r') continue;
            if (c == '\n') {
                if (!line.empty() && line.back() != ' ') line += ' ';
            } else {
                line += c;
            }
        }
        return line;
    }

private:
    ConsolePrompt console_;
};

// The settings bar's document while the options are typed: the facts of one image.
class FactsDocument final : public IResizeDocument {
public:
    explicit FactsDocument(const ImageFacts& facts) : facts_(facts) {}
    std::optional<ImageFacts> OpenImageFacts() const override { return facts_; }
    void OnSettingsChanged() override {}
    bool IsAdjusting() const override { return adjusting_; }
    void SetAdjusting(bool adjusting) override { adjusting_ = adjusting; }

private:
    ImageFacts facts_;
    bool adjusting_ = false;
};

// The settings as the bar leaves them: the first image that opens is the open image (outside batch
// mode, so it brings its own size and resolution), then a named settings file, then the options.
// Without any image that opens the options have nothing to act on and the record stays.
void SetUpRecord(ResizeSettings& record, const std::vector<std::filesystem::path>& images, const SizeOptions& size,
                 const std::optional<ResizeSettings>& loaded) {
    std::optional<ImageFacts> facts;
    for (const std::filesystem::path& image : images) {
        facts = ReadImageFacts(image);
        if (facts && facts->HasPixels()) break;
        facts.reset();
    }
    if (!facts) {
        if (loaded) ApplyNamedSettings(record, *loaded);
        return;
    }
    ResizeBarPresenter bar(record);
    FactsDocument document(*facts);
    ApplyOpenRule(record, *facts);
    if (loaded) ApplyNamedSettings(record, *loaded);
    bar.SetDocument(&document);
    ApplySizeOptions(bar, size, *facts);
}

// Under the policy kvscale takes when none is given, a result that would replace one of the run's
// own input files is refused before anything is written: replacing originals has to be asked for.
void RefuseInputClash(const std::vector<CItem>& items, const BatchSettings& settings) {
    std::set<std::pair<uint64_t, uint64_t>> inputs;
    for (const CItem& item : items)
        if (const auto status = GetFileStatus(item.path)) inputs.emplace(status->device, status->inode);
    for (const CItem& item : items) {
        const OutputName name = PlannedOutputName(settings, item.path, item.batch.width, item.batch.height);
        const std::filesystem::path output = name.folder + name.stem + name.extension;
        const auto status = GetFileStatus(output);
        if (status && !status->isDirectory && inputs.count({status->device, status->inode}))
            throw UsageError{"the result of " + item.path.string() + " would replace the input file " + output.string() +
                             "; give --policy overwrite to replace input files, or another --out, --new-name, "
                             "--policy skip or --policy unique"};
    }
}

// The log on stdout in list order, a report's message on stderr, and on a terminal a status line
// on stderr.
class ConsoleLog final : public IBatchLog {
public:
    explicit ConsoleLog(IUserPrompt& prompt) : prompt_(prompt), terminal_(::isatty(STDERR_FILENO) == 1) {}
    ~ConsoleLog() { ClearStatus(); }

    void OnReport(const BatchReport& report) override {
        std::lock_guard lock(mutex_);
        if (IsFailure(report.status)) ++failures_;
        if (StopsRun(report.status)) stopped_ = true;
        if (terminal_ && shown_) std::fputs("\r\033[K", stderr);
        if (const std::string_view message = BatchReportMessage(report.status); !message.empty())
            prompt_.ShowMessage(std::string(message));
        std::string entry;
        for (const char c : BatchLogEntry(report))
            if (c != '\r') entry += c;
        if (entry.empty() || entry.back() != '\n') entry += '\n';
        std::fputs(entry.c_str(), stdout);
        std::fflush(stdout);
        status_ = ProcessingText(report);
        percent_ = -1;
        Draw();
    }
    // From the worker: the progress of an own algorithm.
    void OnProgress(int32_t position) {
        std::lock_guard lock(mutex_);
        if (!terminal_ || status_.empty() || position == percent_) return;
        percent_ = position;
        Draw();
    }
    void ClearStatus() {
        std::lock_guard lock(mutex_);
        if (terminal_ && shown_) std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

    int failures() const { return failures_; }
    bool stopped() const { return stopped_; }

private:
    void Draw() {
        if (!terminal_) return;
        std::string line = "\r\033[K" + status_;
        if (percent_ > 0) line += " " + std::to_string(std::min(percent_, 100)) + "%";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        shown_ = true;
    }

    IUserPrompt& prompt_;
    const bool terminal_;
    std::mutex mutex_;
    std::string status_;
    int32_t percent_ = -1;
    bool shown_ = false;
    int failures_ = 0;
    bool stopped_ = false;
};

// The progress dialog of the single worker, played on kvscale's main thread.
class ConsoleRunHost final : public IBatchRunHost {
public:
    explicit ConsoleRunHost(ConsoleLog& log) : log_(log) {}

    void PostNewImage() override { Post(Notice::NewImage); }
    void PostRunEnded() override { Post(Notice::RunEnded); }
    // The status line is drawn at once, from the worker: it waits for nothing.
    void PostProgress() override { log_.OnProgress(runner_.load()->ProgressPosition()); }

    void Run(BatchRunner& runner) {
        runner_.store(&runner);
        runner.Start();
        for (;;) {
            Notice notice;
            {
                std::unique_lock lock(mutex_);
                posted_.wait(lock, [&] { return !notices_.empty(); });
                notice = notices_.front();
                notices_.pop_front();
            }
            if (notice == Notice::RunEnded) break;
            if (const auto update = runner.TakeReport()) log_.OnReport(update->report);
        }
        // Reports the worker stopped waiting for are logged all the same.
        while (const auto update = runner.TakeReport()) log_.OnReport(update->report);
        runner.OnRunEnded();
    }

private:
    enum class Notice { NewImage, RunEnded };
    void Post(Notice notice) {
        {
            std::lock_guard lock(mutex_);
            notices_.push_back(notice);
        }
        posted_.notify_one();
    }

    ConsoleLog& log_;
    std::atomic<BatchRunner*> runner_{nullptr};
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Notice> notices_;
};

std::vector<CItem> ItemsOf(const BatchList& list) {
    std::vector<CItem> items;
    items.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) items.push_back(list.item(i));
    return items;
}

}  // namespace

int RunBatch(Arguments& args) {
    BatchRequest request = ParseBatch(args);
    const TurnPicturesUprightScope orientation(!request.keepOrientation);
    AnswerYesPrompt prompt;

    std::optional<ResizeSettings> loaded;
    bool filesWhole = true;
    if (!LoadSettingsOption(request.size, prompt, loaded, filesWhole)) return kExitFailed;

    ResizeSettings record;
    BatchList list(record, &prompt);
    if (request.list) {
        std::vector<uint8_t> bytes;
        if (!list.Load(*request.list)) return kExitFailed;
        bool listWhole = false;
        if (ReadWholeFile(*request.list, bytes, kMaxBatchFileBytes).ok()) {
            const auto records = DecodeBatchFile(bytes, &listWhole);
            // What was read is run, as the window keeps it; the run still counts as failed.
            if (records && !listWhole)
                prompt.ShowMessage("the list " + request.list->string() + " ends early: " +
                                   std::to_string(records->size()) + " images were read");
            if (records && records->size() > list.size())
                prompt.ShowMessage(std::to_string(records->size() - list.size()) +
                                   " images of the list no longer exist and were left out");
        }
        filesWhole = filesWhole && listWhole;
        // The stored values stay unless an option asks for others.
        if (request.size.StampsItems()) {
            SetUpRecord(record, list.Paths(), request.size, loaded);
            list.StampAll();
        } else if (loaded) {
            ApplyNamedSettings(record, *loaded);
        }
    } else {
        for (std::filesystem::path& file : request.files) file = std::filesystem::absolute(file);
        SetUpRecord(record, request.files, request.size, loaded);
        // With "apply to new" on, adding stamps each image as "Apply to All" does.
        record.applyToNew = true;
        list.AddFiles(request.files);
    }
    if (list.empty()) {
        prompt.ShowMessage("no images to resize");
        return kExitFailed;
    }

    BatchSettings& batch = request.batch;
    if (request.out) batch.outputFolder = std::filesystem::absolute(*request.out).lexically_normal().string();
    if (!request.policyGiven) RefuseInputClash(ItemsOf(list), batch);
    AcceptBatchSettings(batch, std::to_string(batch.jpegQuality), prompt);
    const bool crop = record.correction == SizeCorrection::Crop;

    const int32_t jobs = request.jobs > 0 ? request.jobs
                                          : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    // Each photo of a run needs the same few large buffers again. Kept in the heap instead of being
    // mapped and unmapped for every image, they are not faulted in and cleared by the kernel anew
    // each time, which took a quarter of a run's processor time.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);

    const InterruptGuard interrupts;
    ConsoleLog log(prompt);
    if (jobs == 1) {
        ConsoleRunHost host(log);
        BatchRunner runner(ItemsOf(list), batch, crop, host);
        host.Run(runner);
    } else {
        ParallelBatchRun run(ItemsOf(list), batch, crop, jobs);
        run.Run(log);
    }
    log.ClearStatus();

    if (InterruptGuard::Received() != 0) {
        prompt.ShowMessage("the batch run was interrupted");
        return kExitFailed;
    }
    if (log.stopped()) {
        prompt.ShowMessage("the batch run stopped");
        return kExitFailed;
    }
    if (log.failures() > 0) {
        prompt.ShowMessage(std::to_string(log.failures()) + " of " + std::to_string(list.size()) +
                           " images were not resized");
        return kExitFailed;
    }
    return filesWhole ? kExitOk : kExitFailed;
}

}  // namespace kv::cli
