#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#include "interposer.h"

namespace {

// Only the thread that switched counting on counts: a plug-in's own threads
// may allocate while a processing call runs, and that is no allocation of it.
thread_local bool counting = false;
std::atomic<std::int64_t> counted{0};

[[maybe_unused]] inline void noteAllocation() {
    if (counting) counted.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

namespace allocation_counter {

bool available() { return DK_INTERPOSER != 0; }

void start() {
    counted.store(0);
    counting = true;
}

std::int64_t stop() {
    counting = false;
    return counted.load();
}

}  // namespace allocation_counter

#if DK_INTERPOSER
// free() needs no counterpart: every block still comes from the C library's
// allocator, which frees it as usual.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* ptr, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);

void* malloc(std::size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* ptr, std::size_t size) {
    noteAllocation();
    return __libc_realloc(ptr, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* valloc(std::size_t size) {
    noteAllocation();
    return __libc_valloc(size);
}
void* pvalloc(std::size_t size) {
    noteAllocation();
    return __libc_pvalloc(size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    noteAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
}
#endif
