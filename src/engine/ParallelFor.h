#pragma once

#include <utility>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>

#include <cstdint>

namespace kv {

// Every parallel loop of the engine goes through here. Normally it is oneTBB's parallel_for. In a
// ThreadSanitizer build the whole range runs on the calling thread: Debian's oneTBB is not
// instrumented, and when two threads of ours run loops at once (a preview and a batch, or parallel
// batch jobs) the task memory it hands between them would be reported as races that are none. The
// loop bodies themselves, and every thread of ours, are still checked.
template <class Range, class Body, class... Partitioner>
void ParallelFor(const Range& range, const Body& body, Partitioner&&... partitioner) {
#ifdef KV_TSAN
    body(range);
    ((void)partitioner, ...);
#else
    tbb::parallel_for(range, body, std::forward<Partitioner>(partitioner)...);
#endif
}

// Runs two jobs at once: `beside` on a worker of the task scheduler, `here` on the calling thread
// (which runs `beside` too when no worker has taken it by then), and returns when both are done.
// The scheduler's workers are already running, where a thread started for a job of a few
// milliseconds can take as long again before it first runs. While it waits, the calling thread
// takes no other work of the scheduler.
template <class Beside, class Here>
void RunTogether(const Beside& beside, const Here& here) {
#ifdef KV_TSAN
    beside();
    here();
#else
    tbb::this_task_arena::isolate([&] {
        tbb::task_group group;
        group.run([&] { beside(); });
        try {
            here();
        } catch (...) {
            group.wait();
            throw;
        }
        group.wait();
    });
#endif
}

// How many threads a parallel loop of the calling thread may run on at once.
inline uint32_t ParallelWorkers() {
#ifdef KV_TSAN
    return 1;
#else
    const int workers = tbb::this_task_arena::max_concurrency();
    return workers > 0 ? static_cast<uint32_t>(workers) : 1;
#endif
}

}  // namespace kv
