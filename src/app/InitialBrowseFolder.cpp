#include "app/InitialBrowseFolder.h"

#include <system_error>

namespace kv {

namespace {

bool IsFolder(const std::filesystem::path& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

std::string ChooseInitialBrowseFolder(std::string& browseDefault, const SpecialFolders& folders) {
    if (!browseDefault.empty() && IsFolder(browseDefault)) return browseDefault;
    browseDefault.clear();
    const std::filesystem::path samples = folders.programFolder.empty() ? std::filesystem::path() : folders.SamplesFolder();
    for (const auto& candidate : {samples, folders.pictures, folders.documents}) {
        if (IsFolder(candidate)) {
            browseDefault = candidate.string();
            break;
        }
    }
    return browseDefault;
}

}  // namespace kv
