#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "app/ResizeSettings.h"
#include "base/UserPrompt.h"

// Named settings files (".qzr"): the size settings of the settings bar under a name the user
// chose. 102 bytes, little-endian: a 62-byte UTF-16 header without terminator, then width,
// height (signed 32-bit), the resolution in dots per inch (32-bit float), and the resolution unit,
// print unit, correction, algorithm, percent mode, print-edit mode and lock flag (32-bit each).
namespace kv {

inline constexpr std::u16string_view kSettingsFileHeader = u"KARVO ScaleCrafter 2.0 Settings";
inline constexpr size_t kSettingsFileSize = 102;
inline constexpr std::string_view kSettingsFileExtension = "qzr";
inline constexpr std::string_view kSettingsPresetFolder = "Settings";

std::vector<uint8_t> EncodeSettingsFile(const ResizeSettings& settings);

// Reads the fields the bytes hold into the settings, in file order; a field the bytes end in the
// middle of, and every field after it, keeps its value. A value out of range takes its default.
// False, with nothing changed, when the bytes do not begin with the header. complete (when given)
// tells whether the bytes held every field.
bool DecodeSettingsFile(std::span<const uint8_t> bytes, ResizeSettings& settings, bool* complete = nullptr);

// Writes the file whole or not at all; a failure is told to the user ("Can't write file\n<path>!").
bool SaveSettingsFile(const std::filesystem::path& path, const ResizeSettings& settings, IUserPrompt& prompt);

// Loads a file over the settings. A file that cannot be opened gets "Can't open file\n<path>!", a
// file with another header "Wrong file!"; either way the settings stay as they were. complete (when
// given) tells whether the file held every field: a file that ends early still loads what it has.
bool LoadSettingsFile(const std::filesystem::path& path, ResizeSettings& settings, IUserPrompt& prompt,
                      bool* complete = nullptr);

}  // namespace kv
