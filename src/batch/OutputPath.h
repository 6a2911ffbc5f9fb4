#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "app/BatchSettings.h"

namespace kv {

inline constexpr const char* kNewNameSuffix = "_RESIZED_TO_%dx%d";
// The highest n of a unique name "<name>_<n>".
inline constexpr int32_t kMaxUniqueNumber = 9999999;

enum class OutputAction {
    Write,  // write the result to the path
    Skip,   // the path exists and the policy is Skip: leave it alone
    Exit,   // the output folder does not exist: stop the run
};

struct OutputDecision {
    OutputAction action = OutputAction::Exit;
    std::filesystem::path path;  // Write: where; Skip: the existing file
    // Under unique names, what the path was made of: the planned name, and its number (0 for the
    // planned name itself, n for "<name>_<n>").
    bool unique = false;
    int32_t number = 0;
    struct Parts {
        std::string folder, stem, extension;
    } parts;
    // Under Overwrite, the planned path when this run had already written a result there and the
    // unique-name rule chose another; empty otherwise.
    std::filesystem::path writtenEarlier;
};

// The results one batch run has written. Two inputs of the same name from different folders plan
// the same output name; under Overwrite the second must not replace the first one's result.
class RunOutputs {
public:
    void Record(const std::filesystem::path& path) { written_.insert(path.lexically_normal()); }
    bool Wrote(const std::filesystem::path& path) const { return written_.count(path.lexically_normal()) != 0; }

private:
    std::set<std::filesystem::path> written_;
};

// Whether something exists at a path; the naming rule asks it for every candidate.
using PathTaken = std::function<bool(const std::filesystem::path&)>;

// The parts of a result's path that do not depend on what exists: the folder it goes into (ending
// with a slash), the name without extension, and the extension.
struct OutputName {
    std::string folder;
    std::string stem;
    std::string extension;
};
OutputName PlannedOutputName(const BatchSettings& settings, const std::filesystem::path& input, int32_t width,
                             int32_t height);

// Where the result of an input goes. The name is the input's, with "_RESIZED_TO_<w>x<h>" under
// new name or same folder (so that no input is ever its own result's name there), in the output
// folder or the input's own; the extension is the input's or the output format's. An existing file
// of that path is skipped under Skip, left for the new file to replace under Overwrite (it stays
// until the whole new file is written), or avoided with the first free "<name>_<n>" under unique
// name; when every n up to 9999999 is taken the file is skipped rather than overwritten. Under
// Overwrite a path that this run has written already (run) takes the unique-name rule instead, and
// the decision says so. A missing output folder stops the run (the dialog then says "Can't create
// output folder!").
OutputDecision DecideOutputPath(const BatchSettings& settings, const std::filesystem::path& input, int32_t width,
                                int32_t height, const PathTaken& taken = {}, const RunOutputs* run = nullptr);

// The path of a unique name's number: the planned name for 0, "<name>_<n>" for n.
std::filesystem::path UniqueOutputPath(const OutputDecision& decision, int32_t number);

}  // namespace kv
