#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/OutputSizeRules.h"
#include "engine/ResizeAlgorithm.h"

namespace kv {

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The algorithm's name in batch texts, NUL-terminated; the default algorithm's for an index out of range.
const char* AlgorithmLogName(ResizeAlgorithm algorithm);

// What became of one file of a batch run, as the worker reports it. The numbers are the log's.
enum class BatchStatus : int32_t {
    Started = 0,         // the file's entry: it is being resized
    CantOpen = 1,        // the input did not open; the run goes on
    NoOutputFolder = 2,  // the output folder does not exist; the run stops
    Skipped = 3,         // the output exists and the policy is Skip; the run goes on
    CantCreate = 4,      // no output image of the item's size; the run goes on
    Stopped = 5,         // the resize was cancelled or failed; the run stops
    CantWrite = 6,       // the result was not written; the run stops
};

// The message box shown, before its entry is logged, with a report that has one: "Can't create
// output folder!" with NoOutputFolder. Empty for every other status.
inline constexpr const char* kCantCreateOutputFolder = "Can't create output folder!";
std::string_view BatchReportMessage(BatchStatus status);

// Whether the run ends after a report of this status; every other status lets it go on with the
// next item.
inline bool StopsRun(BatchStatus status) {
    return status == BatchStatus::NoOutputFolder || status == BatchStatus::Stopped || status == BatchStatus::CantWrite;
}
// Whether the status means the file was not done as asked (the Skip policy's skips are as asked).
inline bool IsFailure(BatchStatus status) { return status != BatchStatus::Started && status != BatchStatus::Skipped; }

// One report of the worker, with everything its log entry names.
struct BatchReport {
    BatchStatus status = BatchStatus::Started;
    int32_t fileNumber = 0;  // 1-based
    int32_t total = 0;
    std::filesystem::path input;
    // The output path; for Skipped the existing file that was not touched.
    std::filesystem::path output;
    StampedSettings values;  // the item's
    // Started under Overwrite: the name this run had written already, which output avoids.
    std::filesystem::path writtenEarlier;
};

// "Processing %d from %d".
std::string ProcessingText(const BatchReport& report);
// The log entry of a report; lines end with "\r\n".
std::string BatchLogEntry(const BatchReport& report);

// A path split as the log shows it: the folder with its final slash, and the name with its extension.
struct SplitPath {
    std::string folder;
    std::string name;
};
SplitPath SplitFolderAndName(const std::filesystem::path& path);

}  // namespace kv
