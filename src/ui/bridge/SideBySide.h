#pragma once

#include <cstddef>
#include <functional>

namespace kv::ui {

// Runs work(i) for every i below count, side by side on the machine's cores and apart from
// whatever else the task pool's threads are doing; returns when all are done. A single job runs on
// the calling thread.
void RunSideBySide(size_t count, const std::function<void(size_t)>& work);

}  // namespace kv::ui
