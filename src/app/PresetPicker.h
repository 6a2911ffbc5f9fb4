#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/UserPrompt.h"

namespace kv {

enum class PresetPickerMode { Save, Load };

// The logic of the small dialog that names a preset (a settings file or a batch list): the sorted
// names of the presets of one extension in one folder, a name typed or picked, OK and Delete with
// their questions. The dialog shows it; this class decides.
class PresetPicker {
public:
    // folder: the preset folder (created on Open); extension without the dot ("qzr", "qzb").
    PresetPicker(std::string title, std::filesystem::path folder, std::string extension, PresetPickerMode mode,
                 IUserPrompt& prompt);

    // Creates the folder when needed and lists the presets in it; false when the folder cannot be made.
    bool Open();

    const std::string& title() const { return title_; }
    PresetPickerMode mode() const { return mode_; }
    // The names without extension, sorted without regard to case.
    const std::vector<std::string>& names() const { return names_; }

    // OK with the text of the name box. True when the dialog closes; chosenPath() then names the
    // preset's file. An empty name does nothing. Loading needs a listed name ("No such name
    // exists."); saving over a listed name asks first. A name matches a listed one without regard
    // to case and then takes the listed spelling, so it names the file that is there. A name that
    // could not be a file name in the folder (a slash, "." or "..", too long) is explained and
    // keeps the dialog open.
    bool Accept(std::string_view name);
    const std::filesystem::path& chosenPath() const { return chosen_; }

    // Delete with the text of the name box: a listed name is removed, file and entry, after the
    // question. True when it was removed.
    bool Delete(std::string_view name);

private:
    // The listed spelling of a name: an exact match first, else one that differs only in case.
    const std::string* Find(std::string_view name) const;
    std::filesystem::path PathOf(const std::string& name) const;

    std::string title_;
    std::filesystem::path folder_;
    std::string extension_;
    PresetPickerMode mode_;
    IUserPrompt& prompt_;
    std::vector<std::string> names_;
    std::filesystem::path chosen_;
};

// The names of the presets with this extension in a folder, sorted without regard to case. Empty
// when the folder is missing. "&Load settings..." is enabled only when this is not empty.
std::vector<std::string> ListPresets(const std::filesystem::path& folder, std::string_view extension);

}  // namespace kv
