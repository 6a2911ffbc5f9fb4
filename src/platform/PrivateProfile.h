#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Reads one value of a plain INI file that people edit by hand (the browser colours beside the
// program, the sort mode): sections and keys match without regard to case, blanks around keys
// and values are dropped, and a value in matching quotes loses them. Lines beginning with ';' are
// comments. Nothing when the file, the section or the key is missing; files over 1 MiB are not read.
std::optional<std::string> ReadPrivateProfileString(const std::filesystem::path& file, std::string_view section,
                                                    std::string_view key);

}  // namespace kv
