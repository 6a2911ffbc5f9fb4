#pragma once

#include <string>
#include <string_view>

#include "app/BatchSettings.h"
#include "base/UserPrompt.h"
#include "platform/SpecialFolders.h"

// The "Batch Settings" dialog without its window: the folder it starts with and what "OK" checks.
namespace kv {

namespace BatchSettingsText {
inline constexpr const char* kResizedImagesFolder = "Resized_Images";
inline constexpr const char* kQualityRange = "Enter an integer between 1 and 100.";
inline constexpr const char* kReadOnlyFolder = "Folder\n%s\nhas read only attribute.\nPlease select another folder.";
inline constexpr const char* kCreateFolderQuestion = "Folder\n%s\ndoes not exist.\nCreate this folder?";
inline constexpr const char* kCantCreateFolder = "Can't create folder\n%s.\nPlease check folder name.";
inline constexpr const char* kNoFolder =
    "No output folder is given.\nPlease choose the folder the resized images go to.";
inline constexpr const char* kRelativeFolder =
    "Output folder\n%s\nis not a full path.\nPlease give the whole path, beginning with \"/\".";
}  // namespace BatchSettingsText

// The output folder the dialog shows when none is set: "Resized_Images/" in the user's pictures
// folder, or in the home folder when there is no pictures folder; empty when neither is known.
std::string DefaultOutputFolder(const SpecialFolders& folders);

// What "OK" found: the quality and the output folder each accepted or not.
struct BatchSettingsVerdict {
    bool qualityAccepted = false;
    bool folderAccepted = false;
    explicit operator bool() const { return qualityAccepted && folderAccepted; }
};

// "OK". The quality must be a whole number from 1 to 100, else the user is told so. Either way,
// unless each result goes beside its input, the output folder is examined and gets its final
// slash ("~" stands for home): an empty or relative folder is refused with a message that says so
// (never taken for "/" or for a folder below wherever the program was started), a read-only one is
// refused, a missing one is offered for creation with its missing parents and refused when the
// user declines or it cannot be made. The default folder (defaultFolder, the dialog's own
// suggestion) is made without asking. The dialog stays open unless both are accepted; then the
// settings hold the dialog's values.
BatchSettingsVerdict AcceptBatchSettings(BatchSettings& settings, std::string_view qualityText, IUserPrompt& prompt,
                                         const std::string& defaultFolder = {},
                                         const std::filesystem::path& home = {});

}  // namespace kv
