#include "layers/IncludeLayers.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>

namespace kv::layers {

namespace {

std::optional<Layer> LayerNamed(const std::string& name) {
    for (const Layer& layer : kLayers)
        if (name == layer.name) return layer;
    return std::nullopt;
}

// The first component of a path relative to src/.
std::string TopFolder(const std::filesystem::path& relative) { return relative.begin()->string(); }

// ui/bridge is the one part of the window that converts the engine's and the imaging layer's types.
bool MaySeeImaging(const std::filesystem::path& relative) {
    auto part = relative.begin();
    return part != relative.end() && ++part != relative.end() && *part == "bridge";
}

std::optional<std::string> Check(const std::filesystem::path& relative, const std::string& include) {
    const std::string own = TopFolder(relative);
    const std::optional<Layer> from = LayerNamed(own);
    if (!from) return "the file lies outside every layer";
    const size_t slash = include.find('/');
    if (slash == std::string::npos) return "an include names its layer folder";
    const std::string target = include.substr(0, slash);
    const std::optional<Layer> to = LayerNamed(target);
    if (!to) return "\"" + target + "\" is not a layer";
    if (to->rank > from->rank) return own + " may not use " + target + ", a layer above it";
    if (to->rank == from->rank && target != own) return own + " may not use " + target + ", a layer beside it";
    if (own == "ui" && (target == "engine" || target == "codecs" || target == "imageio") && !MaySeeImaging(relative))
        return "only ui/bridge may use " + target;
    return std::nullopt;
}

}  // namespace

std::vector<Violation> FindViolations(const std::filesystem::path& src) {
    static const std::regex kInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Violation> found;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".h" || extension == ".cpp")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        const std::filesystem::path relative = file.lexically_relative(src);
        std::ifstream in(file);
        std::string text;
        for (int line = 1; std::getline(in, text); ++line) {
            std::smatch match;
            if (!std::regex_search(text, match, kInclude)) continue;
            if (std::optional<std::string> why = Check(relative, match[1]))
                found.push_back({relative.string(), line, match[1], std::move(*why)});
        }
    }
    return found;
}

std::string Describe(const Violation& v) {
    return "src/" + v.file + ":" + std::to_string(v.line) + " includes \"" + v.include + "\": " + v.why;
}

}  // namespace kv::layers
