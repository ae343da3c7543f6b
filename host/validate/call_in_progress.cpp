#include "call_in_progress.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace vsthost::validate {

namespace {

ChildProgress* page = nullptr;

ChildProgress* mapPage(int fd) {
    const int flags = fd < 0 ? MAP_SHARED | MAP_ANONYMOUS : MAP_SHARED;
    void* p = ::mmap(nullptr, sizeof(ChildProgress), PROT_READ | PROT_WRITE, flags, fd, 0);
    if (p == MAP_FAILED) throw std::system_error(errno, std::generic_category(), "mapping the progress page");
    return static_cast<ChildProgress*>(p);
}

void blank(ChildProgress& progress) {
    progress.check = -1;
    progress.callLimitScale = 1.0f;
    progress.call[0] = '\0';
    progress.context[0] = '\0';
    progress.threw[0] = '\0';
    for (RecentCall& call : progress.recent) {
        call.text[0] = '\0';
        call.repeats = 0;
    }
}

void remember(ChildProgress& progress, const char* text) {
    RecentCall& newest = progress.recent[kRecentCalls - 1];
    if (std::strncmp(newest.text, text, sizeof newest.text - 1) == 0 && newest.text[0] != '\0') {
        ++newest.repeats;
        return;
    }
    std::memmove(&progress.recent[0], &progress.recent[1], sizeof(RecentCall) * (kRecentCalls - 1));
    std::snprintf(newest.text, sizeof newest.text, "%s", text);
    newest.repeats = 1;
}

}  // namespace

ChildProgress& childProgress() {
    if (page == nullptr) {
        page = new (mapPage(-1)) ChildProgress{};
        blank(*page);
    }
    return *page;
}

int createProgressPage() {
    const int fd = ::memfd_create("dravelkint-progress", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, sizeof(ChildProgress)) != 0)
        throw std::system_error(errno, std::generic_category(), "creating the progress page");
    page = new (mapPage(fd)) ChildProgress{};
    blank(*page);
    return fd;
}

void attachProgressPage(int fd) { page = mapPage(fd); }

void clearProgress() {
    ChildProgress& progress = childProgress();
    blank(progress);
    progress.moves.fetch_add(1, std::memory_order_relaxed);
}

void noteCall(const char* format, ...) {
    ChildProgress& progress = childProgress();
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(progress.call, sizeof progress.call, format, args);
    va_end(args);
    if (progress.context[0] != '\0' && n >= 0 && static_cast<std::size_t>(n) < sizeof progress.call)
        std::snprintf(progress.call + n, sizeof progress.call - static_cast<std::size_t>(n), " %s", progress.context);
    progress.moves.fetch_add(1, std::memory_order_release);
}

void noteCallDone() {
    ChildProgress& progress = childProgress();
    if (progress.call[0] != '\0') remember(progress, progress.call);
    progress.call[0] = '\0';
    progress.moves.fetch_add(1, std::memory_order_release);
}

void noteContext(const char* context) {
    ChildProgress& progress = childProgress();
    std::snprintf(progress.context, sizeof progress.context, "%s", context);
}

void noteCallThrew() {
    ChildProgress& progress = childProgress();
    if (progress.threw[0] == '\0') std::snprintf(progress.threw, sizeof progress.threw, "%s", progress.call);
}

LongCalls::LongCalls(double factor) : previous(childProgress().callLimitScale) {
    childProgress().callLimitScale = static_cast<float>(factor);
}

LongCalls::~LongCalls() { childProgress().callLimitScale = previous; }

}  // namespace vsthost::validate
