#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The layer rule of src/ read from the sources themselves: a file may include headers of its own
// layer and of the layers below it, never of a layer above it or beside it. The libraries of the
// build only catch a wrong-way dependency that needs linking; a header-only one compiles, because
// every layer sees all of src/. In ui/ only the bridge may see the engine and the imaging layers.
namespace kv::layers {

// One include that breaks the rule.
struct Violation {
    std::string file;     // relative to src/
    int line = 0;
    std::string include;  // as written between the quotes
    std::string why;
};

// The layer order, bottom first; layers of the same rank stand beside each other.
struct Layer {
    const char* name;
    int rank;
};
inline constexpr Layer kLayers[] = {
    {"base", 0},     {"engine", 1},   {"codecs", 1},  {"imageio", 2}, {"platform", 3}, {"app", 4},
    {"document", 5}, {"batch", 6},    {"browser", 7}, {"ui", 8},      {"cli", 8},
};

// Every violation in the .h and .cpp files below src.
std::vector<Violation> FindViolations(const std::filesystem::path& src);

std::string Describe(const Violation& violation);

}  // namespace kv::layers
