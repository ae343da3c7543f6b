#include "guarded_buffers.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace vsthost::validate {

namespace {

// Channel starts keep the 16-byte alignment hosts' allocators give, which
// vector code may rely on: a plug-in may read up to 3 samples past a block
// whose length is no multiple of 4 without crashing, which vector code that
// rounds up does harmlessly.
constexpr std::size_t kAlignment = 16;

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

GuardedBuffers::GuardedBuffers(std::int32_t channels, std::int32_t frames)
    : channels_(channels), frames_(std::max(frames, 0)) {
    const std::size_t page = pageSize();
    const std::size_t samples = static_cast<std::size_t>(frames_) * sizeof(float);
    const std::size_t used = (samples + kAlignment - 1) / kAlignment * kAlignment;
    const std::size_t dataBytes = std::max<std::size_t>((used + page - 1) / page * page, page);
    for (std::int32_t c = 0; c < std::max(channels, 1); ++c) {
        void* start = ::mmap(nullptr, dataBytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (start == MAP_FAILED)
            throw std::runtime_error(std::string("mapping audio buffers: ") + std::strerror(errno));
        char* guard = static_cast<char*>(start) + dataBytes;
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer reports the read itself, with where it was made.
        ASAN_POISON_MEMORY_REGION(guard, page);
#else
        ::mprotect(guard, page, PROT_NONE);
#endif
        mappings.push_back({start, dataBytes + page, guard});
        pointers_.push_back(reinterpret_cast<float*>(guard - used));
    }
}

GuardedBuffers::~GuardedBuffers() {
    for (const Mapping& m : mappings) {
#if defined(__SANITIZE_ADDRESS__)
        ASAN_UNPOISON_MEMORY_REGION(m.guard, pageSize());
#endif
        ::munmap(m.start, m.bytes);
    }
}

}  // namespace vsthost::validate
