#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/ImageFacts.h"
#include "app/ResizeBarPresenter.h"
#include "app/ResizeSettings.h"
#include "base/UserPrompt.h"
#include "cli/CliSupport.h"

// The options resize and batch share: the output size, correction, resolution, algorithm and a
// named settings file. They act as a user acting on the settings bar with an image open.
namespace kv::cli {

// The ways to give the output size; at most one per run.
enum class SizeForm { Own, Box, Width, Height, Percent, Print };

struct SizeOptions {
    SizeForm form = SizeForm::Own;
    std::string option;  // the size option as given, for messages
    // The texts typed into the bar: the value of --width, --height or --percent in first; the two
    // sides of --size and --print in first and second.
    std::string first;
    std::string second;
    std::optional<PrintUnit> unit;
    std::optional<SizeCorrection> correction;
    std::optional<std::string> dpi;
    std::optional<ResizeAlgorithm> algorithm;
    std::optional<std::filesystem::path> settingsFile;

    // Whether an option sets what is stamped on batch items (a named settings file alone does not).
    bool StampsItems() const { return form != SizeForm::Own || correction || dpi || algorithm; }
};

// Takes word, and its value, when it is one of these options; false for any other word.
bool TakeSizeOption(Arguments& args, std::string_view word, SizeOptions& options);
// The checks once every word is read.
void CheckSizeOptions(const SizeOptions& options);

// The named settings file of --settings read over the defaults; nothing when there is none. A file
// that cannot be read or is no settings file is told through the prompt and gives false. A file that
// ends early is loaded as far as it goes, told, and leaves whole false.
bool LoadSettingsOption(const SizeOptions& options, IUserPrompt& prompt, std::optional<ResizeSettings>& loaded,
                        bool& whole);
// Puts what a named settings file holds into the record, as loading a preset in the window does.
void ApplyNamedSettings(ResizeSettings& record, const ResizeSettings& loaded);

// Acts on the bar in this order: the correction, the resolution typed in pixel-edit mode, the
// size, the algorithm. A value the bar refuses for the open image is a usage error, and so is one it
// would hold at its limits (a side it works out below 3 pixels).
void ApplySizeOptions(ResizeBarPresenter& bar, const SizeOptions& options, const ImageFacts& image);

}  // namespace kv::cli
