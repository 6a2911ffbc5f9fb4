#pragma once

// Runs the image tools of the system (exiftool, ImageMagick's identify) on files the tests wrote,
// so that written files are judged by readers other than our own.

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace kv::test {

inline bool HaveTool(const std::string& name) {
    const std::string command = "command -v " + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The standard output of a shell command, followed by its standard error when asked for.
inline std::string RunTool(const std::string& command, bool withErrors = false) {
    std::string output;
    FILE* pipe = ::popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

inline std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// exiftool's reading of a file as "Group:Tag" -> value (numbers unformatted, -n), including its
// "ExifTool:Warning" and "ExifTool:Error" entries. Of two tags of one name in one group the last
// is kept.
inline std::map<std::string, std::string> ExifToolTags(const std::filesystem::path& file, const std::string& options = {}) {
    std::map<std::string, std::string> tags;
    std::istringstream lines(RunTool("exiftool -a -args -n -G1 " + options + " " + Quoted(file)));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < 2 || line[0] != '-') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        tags[line.substr(1, eq - 1)] = line.substr(eq + 1);
    }
    return tags;
}

}  // namespace kv::test
