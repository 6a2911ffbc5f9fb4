#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "batch/OutputPath.h"

namespace kv {

// What writing a result did: the path it went to, or the failure.
struct OutputWrite {
    std::optional<std::filesystem::path> path;
    std::string error;
};

// Writes a result's bytes where the decision says, whole or not at all. Under unique names the
// name is claimed in the same step as the file is put there, so two runs writing into one folder
// at once never take the same name nor replace each other's results: a name another writer took
// since the decision is passed over for the next free number (up to _9999999). Otherwise the file
// replaces what is at the decided path.
OutputWrite WriteBatchOutput(std::span<const uint8_t> bytes, const OutputDecision& decision);

}  // namespace kv
