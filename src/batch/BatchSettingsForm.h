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
}  // namespace BatchSettingsText

// The output folder the dialog shows when none is set: "Resized_Images/" in the user's pictures
// folder, or failing that documents, or failing that the desktop; empty when none of them exists.
std::string DefaultOutputFolder(const SpecialFolders& folders);

// "OK". The quality must be a whole number from 1 to 100, else the user is told so and false keeps
// the dialog open. Either way, unless each result goes beside its input, the output folder gets its
// final slash and is examined: a read-only folder is reported, a missing one offered for creation
// with its missing parents. These are only messages; a folder still missing stops the run later.
// On true the settings hold the dialog's values.
bool AcceptBatchSettings(BatchSettings& settings, std::string_view qualityText, IUserPrompt& prompt);

}  // namespace kv
