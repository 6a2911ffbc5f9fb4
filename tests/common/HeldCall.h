#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/AutoResetEvent.h"

namespace kv::test {

// A listener's call that the test holds open on the notifying thread: the call says that it has
// begun, then waits until the test lets it end. With it a test takes a listener away while one of
// its notices is in flight.
class HeldCall {
public:
    // Inside the listener's call.
    void Hold() {
        entered_.Set();
        released_.Wait(60000);
        ended_.store(true);
    }
    bool WaitEntered() { return entered_.Wait(60000); }
    void Release() { released_.Set(); }
    bool Ended() const { return ended_.load(); }

private:
    AutoResetEvent entered_;
    AutoResetEvent released_;
    std::atomic<bool> ended_{false};
};

// Once the held call has begun, runs remove (which takes the listener away and destroys it) on
// another thread, and checks that remove ends only after the call did: it must wait for the call
// instead of freeing the listener under it. Give remove time to return wrongly before the call
// is let go.
inline void ExpectRemovalWaitsForTheCall(HeldCall& call, const std::function<void()>& remove) {
    ASSERT_TRUE(call.WaitEntered());
    AutoResetEvent removed;
    std::atomic<bool> callHadEnded{false};
    std::thread remover([&] {
        remove();
        callHadEnded.store(call.Ended());
        removed.Set();
    });
    EXPECT_FALSE(removed.Wait(200)) << "the listener was taken away while its call was running";
    call.Release();
    remover.join();
    EXPECT_TRUE(callHadEnded.load());
}

}  // namespace kv::test
