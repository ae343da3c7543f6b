#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define DK_COUNTER_AVAILABLE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define DK_COUNTER_AVAILABLE 0
#endif
#endif
#ifndef DK_COUNTER_AVAILABLE
#define DK_COUNTER_AVAILABLE 1
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<std::int64_t> allocations{0};

[[maybe_unused]] void note() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

namespace allocation_counter {
bool available() { return DK_COUNTER_AVAILABLE != 0; }
void start() {
    allocations = 0;
    counting = true;
}
std::int64_t stop() {
    counting = false;
    return allocations.load();
}
}  // namespace allocation_counter

#if DK_COUNTER_AVAILABLE
// The executable's definitions take the place of the C library's for every
// module in the process; operator new reaches them too.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* ptr, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) {
    note();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note();
    return __libc_calloc(count, size);
}
void* realloc(void* ptr, std::size_t size) {
    note();
    return __libc_realloc(ptr, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    note();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    note();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    note();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
}
#endif
