#include "batch/OutputPath.h"

#include <sys/stat.h>

#include "base/FileStatus.h"
#include "batch/BatchText.h"

namespace kv {

namespace {

bool Exists(const std::filesystem::path& path) {
    // Any entry counts, a dangling symbolic link included: writing there would replace it.
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& folder) {
    if (folder.empty()) return false;
    const auto status = GetFileStatus(folder);
    return status && status->isDirectory;
}

}  // namespace

OutputName PlannedOutputName(const BatchSettings& settings, const std::filesystem::path& input, int32_t width,
                             int32_t height) {
    const SplitPath split = SplitFolderAndName(input);
    OutputName out;
    const size_t dot = split.name.rfind('.');
    out.stem = split.name.substr(0, dot);
    const std::string inputExtension = dot == std::string::npos ? std::string() : split.name.substr(dot);

    if (settings.sameFolder) {
        out.folder = split.folder.empty() ? "./" : split.folder;
    } else {
        out.folder = settings.outputFolder;
        if (!out.folder.empty() && out.folder.back() != '/') out.folder += '/';
    }
    if (settings.newName || settings.sameFolder) out.stem += Format(kNewNameSuffix, width, height);
    const auto format = static_cast<size_t>(ValidOutputFormat(static_cast<int64_t>(settings.format)));
    out.extension = format == 0 ? inputExtension : std::string(kOutputFormatExtensions[format]);
    return out;
}

OutputDecision DecideOutputPath(const BatchSettings& settings, const std::filesystem::path& input, int32_t width,
                                int32_t height, const PathTaken& taken, const RunOutputs* run) {
    const auto isTaken = [&](const std::filesystem::path& p) {
        return (run && run->Wrote(p)) || (taken ? taken(p) : Exists(p));
    };
    const OutputName name = PlannedOutputName(settings, input, width, height);
    OutputDecision decision{OutputAction::Write, name.folder + name.stem + name.extension};
    decision.unique = settings.policy == CollisionPolicy::UniqueName;
    decision.parts = {name.folder, name.stem, name.extension};
    // A result of this run is never replaced: its name is avoided as unique names avoid any file.
    CollisionPolicy policy = settings.policy;
    if (policy == CollisionPolicy::Overwrite && run && run->Wrote(decision.path)) {
        policy = CollisionPolicy::UniqueName;
        decision.unique = true;
        decision.writtenEarlier = decision.path;
    }

    if (isTaken(decision.path)) {
        switch (policy) {
            case CollisionPolicy::Skip:
                return {OutputAction::Skip, decision.path};
            case CollisionPolicy::Overwrite:
                break;
            case CollisionPolicy::UniqueName: {
                bool found = false;
                for (int32_t n = 1; n <= kMaxUniqueNumber && !found; ++n) {
                    std::filesystem::path candidate = UniqueOutputPath(decision, n);
                    if (!isTaken(candidate)) {
                        decision.path = std::move(candidate);
                        decision.number = n;
                        found = true;
                    }
                }
                if (!found) return {OutputAction::Skip, decision.path};
                break;
            }
        }
    }
    if (!IsFolder(name.folder)) return {OutputAction::Exit, {}};
    return decision;
}

std::filesystem::path UniqueOutputPath(const OutputDecision& decision, int32_t number) {
    const OutputDecision::Parts& p = decision.parts;
    if (number == 0) return p.folder + p.stem + p.extension;
    return p.folder + p.stem + '_' + std::to_string(number) + p.extension;
}

}  // namespace kv
