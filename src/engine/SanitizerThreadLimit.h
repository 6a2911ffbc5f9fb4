#pragma once

#ifdef KV_TSAN
#include <tbb/global_control.h>
#endif

namespace kv {

// Held for the life of a program built for ThreadSanitizer: Debian's oneTBB is not instrumented,
// so its workers would show the library's own synchronisation as races. With one worker the
// sanitizer still checks every thread of ours. In other builds it does nothing.
class SanitizerThreadLimit {
#ifdef KV_TSAN
    tbb::global_control oneWorker_{tbb::global_control::max_allowed_parallelism, 1};
#endif
};

}  // namespace kv

#ifdef KV_TSAN
// Two threads of ours may each run a parallel loop; oneTBB then hands task memory from one to the
// other through its own pools, synchronised in code the sanitizer cannot see into, and every such
// access would read as a race. Reports raised inside the library, or in its task construction
// inlined from its headers, are left out; the bodies of our loops are still checked.
extern "C" __attribute__((weak)) const char* __tsan_default_suppressions() {
    return "called_from_lib:libtbb.so.12\n"
           "race:oneapi/tbb/detail/_task.h\n"
           "race:oneapi/tbb/detail/_small_object_pool.h\n";
}
#endif
