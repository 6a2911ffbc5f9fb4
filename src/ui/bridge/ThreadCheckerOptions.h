#pragma once

// Included once by each program that runs the window (its main), which holds a SanitizerThreadLimit
// for its whole life.
#include "engine/SanitizerThreadLimit.h"

#ifdef KV_TSAN
// The toolkit's libraries are not built for the thread checker: they hand memory between their own
// threads (image conversion and painting pools, the network and event threads) through locks the
// checker cannot see, and every such hand-over would read as a race. Accesses made inside libraries
// that are not instrumented are left out; everything our own code does is still checked.
extern "C" __attribute__((weak)) const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif
