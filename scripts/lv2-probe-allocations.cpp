// Every allocation of lv2-probe's process goes through these, and is
// counted between start() and stop(): around a plug-in's run() (--alloc).
// The executable is linked with -rdynamic so that the plug-ins' libraries
// bind to them.
#include "lv2-probe-allocations.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace {
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocations{0}, frees{0};
inline void counted(std::atomic<long>& counter) {
    if (countingAllocations.load(std::memory_order_relaxed)) counter.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);

void* malloc(std::size_t size) {
    counted(allocations);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    counted(allocations);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    counted(allocations);
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    counted(allocations);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    counted(allocations);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    counted(allocations);
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *out = pointer;
    return 0;
}
void free(void* pointer) {
    if (pointer != nullptr) counted(frees);
    __libc_free(pointer);
}
}

namespace allocation_count {

void start() { countingAllocations = true; }
void stop() { countingAllocations = false; }
bool counting() { return countingAllocations; }
long made() { return allocations; }
long freed() { return frees; }

}  // namespace allocation_count
