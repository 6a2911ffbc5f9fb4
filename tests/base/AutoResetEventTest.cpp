#include "base/AutoResetEvent.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <thread>

namespace kv {
namespace {

TEST(AutoResetEvent, ResetsItselfAfterOneWait) {
    AutoResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Set();  // setting a signalled event changes nothing
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    AutoResetEvent initiallySet(true);
    EXPECT_TRUE(initiallySet.Wait(0));
}

TEST(AutoResetEvent, ResetClearsASignal) {
    AutoResetEvent event(true);
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(WaitAny, ReportsTheLowestReadySourceAndConsumesOnlyIt) {
    AutoResetEvent a, b;
    a.Set();
    b.Set();
    const std::array sources{a.Source(), b.Source()};
    EXPECT_EQ(WaitAny(sources, 0), 0);
    EXPECT_EQ(WaitAny(sources, 0), 1);
    EXPECT_EQ(WaitAny(sources, 0), kWaitTimeout);
}

TEST(WaitAny, TimesOutWhenNothingIsSet) {
    AutoResetEvent a;
    const std::array sources{a.Source()};
    EXPECT_EQ(WaitAny(sources, 20), kWaitTimeout);
}

TEST(WaitAny, WakesWhenAnotherThreadSets) {
    AutoResetEvent started, go;
    std::thread setter([&] {
        started.Set();
        go.Set();
    });
    const std::array sources{go.Source()};
    EXPECT_EQ(WaitAny(sources, kWaitInfinite), 0);
    setter.join();
    EXPECT_TRUE(started.Wait(0));
}

TEST(WaitAny, LeavesADescriptorSourceForItsOwnerToRead) {
    const int fd = ::eventfd(1, EFD_NONBLOCK);
    ASSERT_GE(fd, 0);
    AutoResetEvent quiet;
    const std::array sources{quiet.Source(), DescriptorSource(fd)};
    EXPECT_EQ(WaitAny(sources, 0), 1);
    EXPECT_EQ(WaitAny(sources, 0), 1);  // still readable: the wait did not consume it
    ::close(fd);
}

}  // namespace
}  // namespace kv
