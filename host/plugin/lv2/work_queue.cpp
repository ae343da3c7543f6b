#include "work_queue.h"

#include <cstring>
#include <utility>

#include "host/plugin/watched_call.h"

namespace vsthost {

namespace {

// More than any response a plug-in sends through a ring buffer; a size past
// it is a fault, not a message.
constexpr std::uint32_t kLargestMessage = 1u << 24;
// Room for the jobs of one block, in 8-byte words: more than hosts' rings hold.
constexpr std::size_t kJobWords = std::size_t{1} << 15;

}  // namespace

WorkQueue::WorkQueue(CallWatcher* watcher) : watcher_(watcher) {
    jobs_.reserve(kJobWords);
    running_.reserve(kJobWords);
}

bool WorkQueue::append(Words& queue, std::uint32_t size, const void* data) {
    const std::size_t words = 1 + (std::size_t{size} + 7) / 8;
    if (queue.size() + words > queue.capacity()) return false;
    queue.push_back(size);
    const std::size_t at = queue.size();
    queue.resize(at + words - 1, 0);
    if (size > 0) std::memcpy(queue.data() + at, data, size);
    return true;
}

void WorkQueue::attach(const LV2_Worker_Interface* worker, LV2_Handle handle) {
    worker_ = worker != nullptr && worker->work != nullptr ? worker : nullptr;
    handle_ = handle;
    if (worker_ == nullptr) jobs_.clear();
}

LV2_Worker_Status WorkQueue::schedule(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data) {
    auto* queue = static_cast<WorkQueue*>(handle);
    if (size > 0 && data == nullptr) return LV2_WORKER_ERR_UNKNOWN;
    return append(queue->jobs_, size, data) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
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
        running_.clear();
        std::swap(running_, jobs_);  // both keep their room
        for (std::size_t at = 0; at < running_.size();) {
            const auto size = static_cast<std::uint32_t>(running_[at]);
            WatchedCall call(watcher_, "work");
            worker_->work(handle_, &WorkQueue::respond, this, size, running_.data() + at + 1);
            at += 1 + (std::size_t{size} + 7) / 8;
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
