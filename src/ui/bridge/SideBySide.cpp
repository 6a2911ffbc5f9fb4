// The task library first: its headers use a name that Qt defines as a macro.
#include <oneapi/tbb/task_arena.h>

#include "ui/bridge/SideBySide.h"

#include "engine/ParallelFor.h"

namespace kv::ui {

void RunSideBySide(size_t count, const std::function<void(size_t)>& work) {
    if (count == 0) return;
    if (count == 1) return work(0);
    oneapi::tbb::this_task_arena::isolate([&] {
        ParallelFor(tbb::blocked_range<size_t>(0, count), [&](const tbb::blocked_range<size_t>& range) {
            for (size_t i = range.begin(); i != range.end(); ++i) work(i);
        });
    });
}

}  // namespace kv::ui
