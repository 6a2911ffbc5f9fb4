#pragma once

#include <cstdint>

namespace kv {

// The four parts of the program's version, as the About box shows them.
struct ProgramVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

// The version of this build (the project's version).
ProgramVersion CurrentProgramVersion();

}  // namespace kv
