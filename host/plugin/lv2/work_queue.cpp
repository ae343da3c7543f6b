#include "work_queue.h"

#include <utility>

#include "host/plugin/watched_call.h"

namespace vsthost {

namespace {

// More than any job a plug-in sends through a ring buffer; a size past it is
// a fault, not a job.
constexpr std::uint32_t kLargestMessage = 1u << 24;

}  // namespace

void WorkQueue::attach(const LV2_Worker_Interface* worker, LV2_Handle handle) {
    worker_ = worker != nullptr && worker->work != nullptr ? worker : nullptr;
    handle_ = handle;
    if (worker_ == nullptr) jobs_.clear();
}

LV2_Worker_Status WorkQueue::schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data) {
    auto* queue = static_cast<WorkQueue*>(handle);
    if (size > kLargestMessage || (size > 0 && data == nullptr)) return LV2_WORKER_ERR_UNKNOWN;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    queue->jobs_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status WorkQueue::respond(LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data) {
    auto* queue = static_cast<WorkQueue*>(handle);
    if (size > kLargestMessage || (size > 0 && data == nullptr)) return LV2_WORKER_ERR_UNKNOWN;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    queue->responses_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

void WorkQueue::runPending(bool afterRun) {
    if (worker_ == nullptr) return;
    if (!jobs_.empty()) {
        std::vector<Message> jobs;
        std::swap(jobs, jobs_);
        for (const Message& job : jobs) {
            WatchedCall call(watcher_, "work");
            worker_->work(handle_, &WorkQueue::respond, this, static_cast<std::uint32_t>(job.size()), job.data());
        }
    }
    if (!responses_.empty()) {
        std::vector<Message> responses;
        std::swap(responses, responses_);
        if (worker_->work_response != nullptr)
            for (const Message& response : responses) {
                WatchedCall call(watcher_, "work_response");
                worker_->work_response(handle_, static_cast<std::uint32_t>(response.size()), response.data());
            }
    }
    if (afterRun && worker_->end_run != nullptr) {
        WatchedCall call(watcher_, "end_run");
        worker_->end_run(handle_);
    }
}

}  // namespace vsthost
