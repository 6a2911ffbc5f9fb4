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

std::string WithFinalSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool CheckOutputFolder(std::string& folder, IUserPrompt& prompt, const std::string& defaultFolder,
                       const std::filesystem::path& home) {
    if (folder.find_first_not_of(" \t\r\n") == std::string::npos) {
        prompt.ShowMessage(BatchSettingsText::kNoFolder);
        return false;
    }
    if (!home.empty() && (folder == "~" || folder.starts_with("~/"))) folder = home.string() + folder.substr(1);
    // A folder relative to wherever the program happened to start is no place the user can find.
    if (folder.front() != '/') {
        prompt.ShowMessage(Format(BatchSettingsText::kRelativeFolder, folder.c_str()));
        return false;
    }
    folder = WithFinalSlash(std::move(folder));
    const std::string bare = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    if (IsFolder(bare)) {
        if (::access(bare.c_str(), W_OK) == 0) return true;
        prompt.ShowMessage(Format(BatchSettingsText::kReadOnlyFolder, bare.c_str()));
        return false;
    }
    // The folder the dialog itself suggested is made as the run starts, without a question.
    const bool suggested = !defaultFolder.empty() && folder == WithFinalSlash(defaultFolder);
    if (!suggested && !prompt.AskYesNo(Format(BatchSettingsText::kCreateFolderQuestion, bare.c_str()))) return false;
    if (EnsureFolder(bare)) return true;
    prompt.ShowMessage(Format(BatchSettingsText::kCantCreateFolder, bare.c_str()));
    return false;
}

}  // namespace

std::string DefaultOutputFolder(const SpecialFolders& folders) {
    const std::filesystem::path& base =
        !folders.pictures.empty() && IsFolder(folders.pictures) ? folders.pictures : folders.home;
    if (base.empty()) return {};
    return WithFinalSlash(base.string()) + BatchSettingsText::kResizedImagesFolder + '/';
}

BatchSettingsVerdict AcceptBatchSettings(BatchSettings& settings, std::string_view qualityText, IUserPrompt& prompt,
                                         const std::string& defaultFolder, const std::filesystem::path& home) {
    BatchSettingsVerdict verdict;
    int quality = 0;
    const auto [end, error] = std::from_chars(qualityText.data(), qualityText.data() + qualityText.size(), quality);
    verdict.qualityAccepted = error == std::errc() && end == qualityText.data() + qualityText.size() && quality >= 1 &&
                              quality <= 100;
    if (verdict.qualityAccepted) settings.jpegQuality = quality;
    else prompt.ShowMessage(BatchSettingsText::kQualityRange);
    verdict.folderAccepted =
        settings.sameFolder || CheckOutputFolder(settings.outputFolder, prompt, defaultFolder, home);
    return verdict;
}

}  // namespace kv
