#pragma once

#ifdef KV_TSAN
#include <tbb/global_control.h>
#endif

namespace kv {

// Held for the life of a program built for ThreadSanitizer: Debian's oneTBB is not instrumented,
// so its workers would show the library's own synchronisation as races. The engine's loops run on
// the calling thread there (ParallelFor.h); this keeps any other use of the library to one worker.
// In other builds it does nothing.
class SanitizerThreadLimit {
#ifdef KV_TSAN
    tbb::global_control oneWorker_{tbb::global_control::max_allowed_parallelism, 1};
#endif
};

}  // namespace kv
