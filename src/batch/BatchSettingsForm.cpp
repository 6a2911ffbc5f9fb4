#include "batch/BatchSettingsForm.h"

#include <unistd.h>

#include <charconv>

#include "base/FileStatus.h"
#include "batch/BatchText.h"

namespace kv {

namespace {

bool IsFolder(const std::filesystem::path& path) {
    const auto status = GetFileStatus(path);
    return status && status->isDirectory;
}

void CheckOutputFolder(std::string& folder, IUserPrompt& prompt) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    const std::string bare = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    if (IsFolder(bare)) {
        if (::access(bare.c_str(), W_OK) != 0) prompt.ShowMessage(Format(BatchSettingsText::kReadOnlyFolder, bare.c_str()));
        return;
    }
    if (!prompt.AskYesNo(Format(BatchSettingsText::kCreateFolderQuestion, bare.c_str()))) return;
    if (!EnsureFolder(bare)) prompt.ShowMessage(Format(BatchSettingsText::kCantCreateFolder, bare.c_str()));
}

}  // namespace

std::string DefaultOutputFolder(const SpecialFolders& folders) {
    for (const std::filesystem::path* base : {&folders.pictures, &folders.documents, &folders.desktop}) {
        if (base->empty() || !IsFolder(*base)) continue;
        std::string folder = base->string();
        if (folder.back() != '/') folder += '/';
        return folder + BatchSettingsText::kResizedImagesFolder + '/';
    }
    return {};
}

bool AcceptBatchSettings(BatchSettings& settings, std::string_view qualityText, IUserPrompt& prompt) {
    int quality = 0;
    const auto [end, error] = std::from_chars(qualityText.data(), qualityText.data() + qualityText.size(), quality);
    const bool valid = error == std::errc() && end == qualityText.data() + qualityText.size() && quality >= 1 &&
                       quality <= 100;
    if (valid) settings.jpegQuality = quality;
    else prompt.ShowMessage(BatchSettingsText::kQualityRange);
    if (!settings.sameFolder) CheckOutputFolder(settings.outputFolder, prompt);
    return valid;
}

}  // namespace kv
