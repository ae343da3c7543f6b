#include "call_in_progress.h"

#include <sys/mman.h>

#include <cstdarg>
#include <cstdio>
#include <new>

namespace vsthost::validate {

ChildProgress& childProgress() {
    static ChildProgress* page = [] {
        void* p = ::mmap(nullptr, sizeof(ChildProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        auto* progress = new (p) ChildProgress{};
        progress->check = -1;
        return progress;
    }();
    return *page;
}

void noteCall(const char* format, ...) {
    ChildProgress& progress = childProgress();
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(progress.call, sizeof progress.call, format, args);
    va_end(args);
    if (progress.context[0] != '\0' && n >= 0 && static_cast<std::size_t>(n) < sizeof progress.call)
        std::snprintf(progress.call + n, sizeof progress.call - static_cast<std::size_t>(n), " %s", progress.context);
}

void noteCallDone() { childProgress().call[0] = '\0'; }

void noteContext(const char* context) {
    ChildProgress& progress = childProgress();
    std::snprintf(progress.context, sizeof progress.context, "%s", context);
}

}  // namespace vsthost::validate
