#include "base/MemoryBudget.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace kv {
namespace {

TEST(MemorySize, ParsesWhatTheOptionTakesAndFormatsWhatMessagesShow) {
    const struct {
        const char* text;
        std::optional<uint64_t> bytes;
    } cases[] = {
        {"512M", uint64_t{512} << 20}, {"2G", uint64_t{2} << 30},    {"1.5g", uint64_t{3} << 29},
        {"64k", uint64_t{64} << 10},   {"300000000", 300000000},     {"2GB", uint64_t{2} << 30},
        {"1T", uint64_t{1} << 40},     {"", std::nullopt},           {"0", std::nullopt},
        {"lots", std::nullopt},        {"-1G", std::nullopt},        {"2X", std::nullopt},
        {"1e30", std::nullopt},        {"G", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseMemorySize(c.text), c.bytes) << c.text;
    EXPECT_EQ(FormatMemorySize(512), "512 bytes");
    EXPECT_EQ(FormatMemorySize(uint64_t{300} << 20), "300 MB");
    EXPECT_EQ(FormatMemorySize(uint64_t{3} << 29), "1.5 GB");
}

TEST(MemoryBudget, IsTheConfiguredOneOrWhatIsAvailable) {
    EXPECT_FALSE(ConfiguredMemoryBudget());
    EXPECT_GT(AvailableMemory(), uint64_t{16} << 20);
    SetMemoryBudget(uint64_t{100} << 20);
    EXPECT_EQ(MemoryBudget(), uint64_t{100} << 20);
    SetMemoryBudget(std::nullopt);
    EXPECT_FALSE(ConfiguredMemoryBudget());
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The address space RLIMIT_AS leaves counts, whatever the machine has.
TEST(MemoryBudget, AnAddressSpaceLimitLowersWhatIsAvailable) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlim_t mapped = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{mapped + (rlim_t{100} << 20), RLIM_INFINITY};
        ::setrlimit(RLIMIT_AS, &limit);
        const uint64_t available = AvailableMemory();
        ::_exit(available <= (uint64_t{101} << 20) && available >= (uint64_t{90} << 20) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

TEST(MemoryPool, HoldersShareTheBudgetAndWaitForEachOther) {
    MemoryPool pool(100);
    EXPECT_FALSE(pool.Acquire(101));  // never fits
    MemoryPool::Hold first = pool.Acquire(60);
    ASSERT_TRUE(first);
    EXPECT_EQ(pool.held(), 60u);
    // A second one of 60 waits until the first lets go.
    std::future<uint64_t> second = std::async(std::launch::async, [&] {
        MemoryPool::Hold hold = pool.Acquire(60);
        return hold.bytes();
    });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    first.Release();
    EXPECT_EQ(second.get(), 60u);
    EXPECT_EQ(pool.held(), 0u);
    // A waiter asked to stop gives up with nothing.
    MemoryPool::Hold all = pool.Acquire(100);
    EXPECT_FALSE(pool.Acquire(1, [] { return true; }));
    EXPECT_EQ(pool.held(), 100u);
}

}  // namespace
}  // namespace kv
