#include "app/ProgramVersion.h"

namespace kv {

ProgramVersion CurrentProgramVersion() { return {KV_VERSION_MAJOR, KV_VERSION_MINOR, KV_VERSION_PATCH, 0}; }

}  // namespace kv
