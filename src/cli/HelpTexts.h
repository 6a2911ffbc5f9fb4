#pragma once

#include <string>
#include <string_view>

namespace kv::cli {

// What `kvscale --help` prints: every command's synopsis.
std::string_view OverallUsage();
// What `kvscale COMMAND --help` prints: the command's synopsis and options; empty for a word that
// names no command.
std::string_view CommandHelp(std::string_view command);
// The line printed after a usage error's message, pointing at the help of the command (or of
// kvscale as a whole when the command is empty or unknown).
std::string HelpHint(std::string_view command);
// `kvscale --version`.
std::string VersionLine();

// Whether the words after the command ask for its help: "--help" or "-h" before a lone "--".
bool AsksForHelp(int argc, char** argv, int first);

}  // namespace kv::cli
