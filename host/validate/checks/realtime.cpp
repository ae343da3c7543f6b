// What a plug-in must not do on the audio thread: allocate memory, in the
// processing call or in a parameter change made between blocks; and what it
// must survive there: parameters written by another thread while it
// processes, as hosts write them from their user-interface or automation
// threads.
#include <lv2/core/lv2.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "host/allocation/allocation_counter.h"
#include "host/allocation/blocking_call_counter.h"
#include "host/text/counted.h"
#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/lv2/lv2_subject.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

// The interposer might not be in front of the C library after all (a static
// build, another allocator preloaded); a count of 0 then proves nothing.
bool countingWorks() {
    if (!allocation_counter::available()) return false;
    void* (*volatile allocate)(std::size_t) = std::malloc;
    allocation_counter::start();
    void* p = allocate(16);
    const std::int64_t n = allocation_counter::stop();
    std::free(p);
    return n == 1;
}

constexpr std::int32_t kSizes[] = {1, 64, 512, 4096};

// What an allocation check counted, and in which calls.
struct Tally {
    std::int64_t allocations;
    std::string calls;
};

// What the allocation checks share: counting must work, the plug-in is
// started for blocks of `block` frames, and `count` makes and counts the
// calls.
template <typename Count>
Outcome allocationCheck(CheckContext& context, std::int32_t block, bool needsParameters, const Count& count) {
    if (!countingWorks()) return skipped("heap allocations cannot be counted in this build");
    PluginUnderTest plugin(context);
    if (needsParameters && plugin.parameterCount() <= 0) return skipped("no parameters");
    plugin.start(44100.0, block);
    BlockBuffers io(plugin, block);
    SignalScan scan;
    const Tally tally = count(plugin, io, scan);
    if (tally.allocations <= 0) return passed(tally.calls + ": no heap allocation");
    const std::string found = std::to_string(tally.allocations) + " heap allocations in " + tally.calls;
    if (context.lv2 == nullptr) return {context.failFrom(6), found};
    // An LV2 plug-in says in its data whether it keeps to the rules of a real-time thread.
    const LilvNodeOwner hardRt = context.lv2->data.uri(LV2_CORE__hardRTCapable);
    if (lilv_plugin_has_feature(context.lv2->data.plugin(), hardRt.get()))
        return failed(found + ", although its data claims lv2:hardRTCapable");
    return warned(found + " (its data does not claim lv2:hardRTCapable)");
}

Outcome processAllocations(CheckContext& context) {
    return allocationCheck(context, 4096, false, [&](PluginUnderTest& plugin, BlockBuffers& io, SignalScan& scan) {
        plugin.countAllocations(true);
        int calls = 0;
        for (const std::int32_t size : kSizes)
            for (int b = 0; b < 8; ++b, ++calls) processNoise(plugin, io, context.random, size, scan);
        for (int b = 0; b < 16; ++b, ++calls)
            processNoise(plugin, io, context.random, context.random.between(1, 4096), scan);
        plugin.countAllocations(false);
        return Tally{plugin.allocationsInProcess(),
                     std::to_string(calls) + " processing calls from the first one after processing was switched on"};
    });
}

// Whether blocking calls made here are counted; a count of 0 proves nothing otherwise.
bool blockingCountingWorks() {
    if (!blocking_call_counter::available()) return false;
    int (*volatile sleep)(useconds_t) = ::usleep;
    blocking_call_counter::start();
    sleep(0);
    return blocking_call_counter::stop() == 1;
}

// Locks taken, files read or written, sleeps: the audio thread waits on
// something that may take any time.
Outcome processBlocking(CheckContext& context) {
    if (!blockingCountingWorks()) return skipped("calls that may block cannot be counted in this build");
    PluginUnderTest plugin(context);
    plugin.start(44100.0, 4096);
    BlockBuffers io(plugin, 4096);
    SignalScan scan;
    plugin.countAllocations(true);
    int calls = 0;
    for (const std::int32_t size : kSizes)
        for (int b = 0; b < 8; ++b, ++calls) processNoise(plugin, io, context.random, size, scan);
    plugin.countAllocations(false);
    const std::string what = std::to_string(calls) + " processing calls";
    if (plugin.blockingInProcess() == 0)
        return passed(what + ": no lock taken, nothing read, written or slept on (through the C library)");
    const std::string found = std::to_string(plugin.blockingInProcess()) + " calls that may block in " + what +
                              ", the first " + plugin.firstBlocking() + "()";
    if (context.lv2 == nullptr) return {context.failFrom(6), found};
    const LilvNodeOwner hardRt = context.lv2->data.uri(LV2_CORE__hardRTCapable);
    if (lilv_plugin_has_feature(context.lv2->data.plugin(), hardRt.get()))
        return failed(found + ", although its data claims lv2:hardRTCapable");
    return warned(found + " (its data does not claim lv2:hardRTCapable)");
}

Outcome parameterAllocations(CheckContext& context) {
    return allocationCheck(context, 256, true, [&](PluginUnderTest& plugin, BlockBuffers& io, SignalScan& scan) {
        const std::int32_t count = plugin.parameterCount();
        processNoise(plugin, io, context.random, 256, scan);
        plugin.countAllocations(true);
        int changes = 0;
        for (int b = 0; b < 32; ++b) {
            for (std::int32_t i = 0; i < count; ++i, ++changes)
                plugin.setParameter(i, context.random.uniform(0.0f, 1.0f));
            processNoise(plugin, io, context.random, 256, scan);
        }
        plugin.countAllocations(false);
        // Allocations in the blocks themselves are the other check's finding.
        return Tally{plugin.allocationsInSetParameter(), std::to_string(changes) + " parameter changes between blocks"};
    });
}

Outcome parameterThread(CheckContext& context) {
    constexpr int kMinBlocks = 400;
    constexpr std::int64_t kMinWrites = 10000;
    constexpr float kStep = 0.001f;
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    if (count <= 0) return skipped("no parameters to write");
    plugin.start(44100.0, 256);
    BlockBuffers io(plugin, 256);
    SignalScan scan;
    AEffect* effect = plugin.effect();
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> writes{0};
    SeededRandom writerRandom(context.random.next(), "writer");
    std::vector<float> values;
    for (std::int32_t i = 0; i < count; ++i) values.push_back(plugin.getParameter(i));
    // Deliberately unsynchronised with the processing thread, as in hosts.
    // The values move in small steps, like a knob being turned, so that what
    // is tested is the sharing, not how fast the sound may change.
    std::thread writer([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            const std::int32_t i = writerRandom.between(0, count - 1);
            float& value = values[static_cast<std::size_t>(i)];
            value = std::clamp(value + writerRandom.uniform(-kStep, kStep), 0.0f, 1.0f);
            effect->setParameter(effect, i, value);
            writes.fetch_add(1, std::memory_order_relaxed);
        }
    });
    while (writes.load() == 0) std::this_thread::yield();
    noteContext("while a second thread calls setParameter");
    // The two threads must really overlap, however busy the machine is.
    const std::int64_t before = writes.load();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int blocks = 0;
    while (blocks < kMinBlocks || (writes.load() - before < kMinWrites && std::chrono::steady_clock::now() < giveUp)) {
        processNoise(plugin, io, context.random, 256, scan);
        ++blocks;
    }
    const std::int64_t during = writes.load() - before;
    stop.store(true);
    writer.join();
    noteContext("");
    if (during == 0) return skipped("the second thread never ran while the first processed");
    return judgeOutput(scan, context,
                       counted(blocks, "block") + " while a second thread made " + counted(during, "parameter change"),
                       kOnlyFinite);
}

}  // namespace

CheckGroup realtimeGroup() {
    return {"realtime",
            {
                {"realtime.process-allocations", 4,
                 "no heap allocation in processing calls (a failure from strictness 6; for LV2 a failure where "
                 "lv2:hardRTCapable is claimed, else a warning)",
                 processAllocations, 1, false, Formats::both},
                {"realtime.process-blocking", 4,
                 "no lock taken, file read or written, or sleep in processing calls, through the C library (as "
                 "allocations: a failure from strictness 6; for LV2 a failure where lv2:hardRTCapable is claimed)",
                 processBlocking, 1, false, Formats::both},
                {"realtime.parameter-allocations", 4,
                 "no heap allocation in parameter changes between blocks (a failure from strictness 6)",
                 parameterAllocations},
                {"realtime.parameter-thread", 6,
                 "parameters written from a second thread during processing: no crash, output finite", parameterThread},
            }};
}

}  // namespace vsthost::validate
