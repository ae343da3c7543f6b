// The counters count only on the thread that switched them on: a plug-in's
// own threads allocating or sleeping while a processing call runs are not
// that call's doing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "host/allocation/allocation_counter.h"
#include "host/allocation/blocking_call_counter.h"

namespace {

struct Counter {
    const char* name;
    bool (*available)();
    void (*start)();
    std::int64_t (*stop)();
    std::function<void()> countedCall;
};

void allocate() {
    void* (*volatile allocate)(std::size_t) = std::malloc;
    std::free(allocate(16));
}

void sleepNot() {
    int (*volatile sleep)(useconds_t) = ::usleep;
    sleep(0);
}

}  // namespace

TEST(CountingThread, OnlyTheThreadThatStartedCounting) {
    const Counter counters[] = {
        {"allocations", allocation_counter::available, allocation_counter::start, allocation_counter::stop, allocate},
        {"blocking calls", blocking_call_counter::available, blocking_call_counter::start, blocking_call_counter::stop,
         sleepNot},
    };
    for (const Counter& c : counters) {
        SCOPED_TRACE(c.name);
        if (!c.available()) GTEST_SKIP() << "a sanitizer owns the C library's entries";
        // The other thread is made before counting starts, as making one
        // allocates, and waits on a flag, as taking a lock would be counted.
        std::atomic<int> stage{0};
        std::thread other([&] {
            while (stage.load() != 1) {
            }
            c.countedCall();
            stage.store(2);
        });
        c.start();
        stage.store(1);
        while (stage.load() != 2) {
        }
        c.countedCall();
        const std::int64_t counted = c.stop();
        other.join();
        EXPECT_EQ(counted, 1);
    }
}
