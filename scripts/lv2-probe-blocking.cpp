// The calls that may block, as the plug-ins' libraries see them: each
// counted, then handed to the C library's own (the next definition after
// this executable's, which is linked with -rdynamic so that they bind here).
// Only the thread that runs the plug-in counts, so that a plug-in's own
// background threads, which may well wait, are not blamed for it.
#include "lv2-probe-blocking.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>

namespace {
thread_local bool countingHere = false;
std::atomic<long> calls{0};
std::atomic<const char*> firstCall{nullptr};

void counted(const char* name) {
    if (!countingHere) return;
    calls.fetch_add(1, std::memory_order_relaxed);
    const char* none = nullptr;
    firstCall.compare_exchange_strong(none, name);
}

enum Call { kMutexLock, kReadLock, kWriteLock, kSemWait, kUsleep, kNanosleep, kRead, kWrite, kOpen, kOpen64, kCalls };
constexpr const char* kNames[kCalls] = {"pthread_mutex_lock",
                                        "pthread_rwlock_rdlock",
                                        "pthread_rwlock_wrlock",
                                        "sem_wait",
                                        "usleep",
                                        "nanosleep",
                                        "read",
                                        "write",
                                        "open",
                                        "open64"};
std::atomic<void*> reals[kCalls];

// The C library's own; looked up before main, since a lookup inside run()
// would allocate and free, counted against the plug-in.
template <typename Function>
Function real(Call call) {
    void* found = reals[call].load(std::memory_order_relaxed);
    if (found == nullptr) {
        found = dlsym(RTLD_NEXT, kNames[call]);
        reals[call].store(found, std::memory_order_relaxed);
    }
    return reinterpret_cast<Function>(found);
}
[[maybe_unused]] const bool foundBeforeMain = [] {
    for (int call = 0; call < kCalls; ++call) real<void*>(static_cast<Call>(call));
    return true;
}();
}  // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    counted(kNames[kMutexLock]);
    return real<int (*)(pthread_mutex_t*)>(kMutexLock)(mutex);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    counted(kNames[kReadLock]);
    return real<int (*)(pthread_rwlock_t*)>(kReadLock)(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    counted(kNames[kWriteLock]);
    return real<int (*)(pthread_rwlock_t*)>(kWriteLock)(lock);
}
int sem_wait(sem_t* semaphore) {
    counted(kNames[kSemWait]);
    return real<int (*)(sem_t*)>(kSemWait)(semaphore);
}
int usleep(useconds_t microseconds) {
    counted(kNames[kUsleep]);
    return real<int (*)(useconds_t)>(kUsleep)(microseconds);
}
int nanosleep(const timespec* duration, timespec* left) {
    counted(kNames[kNanosleep]);
    return real<int (*)(const timespec*, timespec*)>(kNanosleep)(duration, left);
}
ssize_t read(int file, void* bytes, size_t size) {
    counted(kNames[kRead]);
    return real<ssize_t (*)(int, void*, size_t)>(kRead)(file, bytes, size);
}
ssize_t write(int file, const void* bytes, size_t size) {
    counted(kNames[kWrite]);
    return real<ssize_t (*)(int, const void*, size_t)>(kWrite)(file, bytes, size);
}
}

namespace {
// open's mode is there only when the flags create a file.
mode_t modeOf(int flags, va_list arguments) {
    const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return creates ? static_cast<mode_t>(va_arg(arguments, unsigned)) : 0;
}
}  // namespace

extern "C" {
int open(const char* path, int flags, ...) {
    counted(kNames[kOpen]);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return real<int (*)(const char*, int, ...)>(kOpen)(path, flags, mode);
}
// What open is called as by code built with 64-bit file offsets.
int open64(const char* path, int flags, ...) {
    counted(kNames[kOpen64]);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return real<int (*)(const char*, int, ...)>(kOpen64)(path, flags, mode);
}
}

namespace blocking_count {

void start() { countingHere = true; }
void stop() { countingHere = false; }
bool counting() { return countingHere; }
long made() { return calls; }
const char* first() { return firstCall; }

}  // namespace blocking_count
