#include <gtest/gtest.h>

#ifdef KV_TSAN
#include <tbb/global_control.h>
#endif

int main(int argc, char** argv) {
#ifdef KV_TSAN
    // Debian's oneTBB is not instrumented: its workers would report races inside the library.
    tbb::global_control oneWorker(tbb::global_control::max_allowed_parallelism, 1);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
