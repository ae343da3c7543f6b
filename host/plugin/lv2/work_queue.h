// The worker a plug-in schedules slow jobs on. Offline nothing waits for the
// audio, so the jobs run between blocks: after run() returns, their
// responses next, then end_run(), each a watched call.
#pragma once

#include <lv2/worker/worker.h>

#include <cstdint>
#include <vector>

#include "host/plugin/call_watcher.h"

namespace vsthost {

class WorkQueue {
public:
    explicit WorkQueue(CallWatcher* watcher);
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    LV2_Worker_Schedule* feature() { return &schedule_; }

    // The instance's worker, once it has one; null forgets it.
    void attach(const LV2_Worker_Interface* worker, LV2_Handle handle);
    // Runs the jobs scheduled so far and delivers their responses; after a
    // run, ends it. Jobs scheduled while responses are delivered wait for
    // the next block, as they would for a host running in real time.
    void runPending(bool afterRun);

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data);

    // Jobs are scheduled from run(), on what would be the audio thread: they
    // wait framed one after another (a size, then the bytes, 8-byte aligned)
    // in room reserved once, as in the ring a real-time host keeps, so that
    // scheduling allocates nothing. A job past the room is refused.
    using Words = std::vector<std::uint64_t>;
    static bool append(Words& queue, std::uint32_t size, const void* data);

    using Message = std::vector<std::uint8_t>;
    CallWatcher* watcher_;
    const LV2_Worker_Interface* worker_ = nullptr;
    LV2_Handle handle_ = nullptr;
    LV2_Worker_Schedule schedule_{this, &WorkQueue::schedule};
    Words jobs_;
    Words running_;  // the jobs being run, so that new ones wait in jobs_
    std::vector<Message> responses_;
};

}  // namespace vsthost
