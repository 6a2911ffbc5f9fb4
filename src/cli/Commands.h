#pragma once

#include "cli/CliSupport.h"

namespace kv::cli {

// Each returns the exit status; usage errors are thrown as UsageError.
int RunResize(Arguments& args);
int RunBatch(Arguments& args);
int RunInfo(Arguments& args);
int RunThumb(Arguments& args);

}  // namespace kv::cli
