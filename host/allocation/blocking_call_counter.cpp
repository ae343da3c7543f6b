#include "blocking_call_counter.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>

#include "interposer.h"

namespace {

// Only the thread that switched counting on counts: a plug-in's own threads
// may sleep or take locks while a processing call runs without holding it up.
thread_local bool counting = false;
std::atomic<std::int64_t> counted{0};
std::atomic<const char*> firstCall{""};

[[maybe_unused]] inline void note(const char* name) {
    if (!counting) return;
    if (counted.fetch_add(1, std::memory_order_relaxed) == 0) firstCall.store(name, std::memory_order_relaxed);
}

}  // namespace

namespace blocking_call_counter {

bool available() { return DK_INTERPOSER != 0; }

void start() {
    counted.store(0);
    firstCall.store("");
    counting = true;
}

std::int64_t stop() {
    counting = false;
    return counted.load();
}

const char* first() { return firstCall.load(); }

}  // namespace blocking_call_counter

#if DK_INTERPOSER
// The C library's own entries under their internal names; the lock ones
// are kept only under an old version, which .symver reaches.
extern "C" {
int dk_real_mutex_lock(pthread_mutex_t* mutex);
int dk_real_rdlock(pthread_rwlock_t* lock);
int dk_real_wrlock(pthread_rwlock_t* lock);
__asm__(".symver dk_real_mutex_lock, __pthread_mutex_lock@GLIBC_2.2.5");
__asm__(".symver dk_real_rdlock, __pthread_rwlock_rdlock@GLIBC_2.2.5");
__asm__(".symver dk_real_wrlock, __pthread_rwlock_wrlock@GLIBC_2.2.5");
ssize_t __read(int fd, void* buffer, size_t size);
ssize_t __write(int fd, const void* buffer, size_t size);
int __open(const char* path, int flags, ...);
int __nanosleep(const struct timespec* wanted, struct timespec* left);
int __poll(struct pollfd* fds, nfds_t count, int timeout);
int __select(int count, fd_set* reading, fd_set* writing, fd_set* failing, struct timeval* timeout);

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    note("pthread_mutex_lock");
    return dk_real_mutex_lock(mutex);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    note("pthread_rwlock_rdlock");
    return dk_real_rdlock(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    note("pthread_rwlock_wrlock");
    return dk_real_wrlock(lock);
}
ssize_t read(int fd, void* buffer, size_t size) {
    note("read");
    return __read(fd, buffer, size);
}
ssize_t write(int fd, const void* buffer, size_t size) {
    note("write");
    return __write(fd, buffer, size);
}
int open(const char* path, int flags, ...) {
    note("open");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list rest;
        va_start(rest, flags);
        mode = static_cast<mode_t>(va_arg(rest, int));
        va_end(rest);
    }
    return __open(path, flags, mode);
}
int nanosleep(const struct timespec* wanted, struct timespec* left) {
    note("nanosleep");
    return __nanosleep(wanted, left);
}
int usleep(useconds_t microseconds) {
    note("usleep");
    const struct timespec wanted {
        static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000
    };
    return __nanosleep(&wanted, nullptr);
}
int poll(struct pollfd* fds, nfds_t count, int timeout) {
    note("poll");
    return __poll(fds, count, timeout);
}
int select(int count, fd_set* reading, fd_set* writing, fd_set* failing, struct timeval* timeout) {
    note("select");
    return __select(count, reading, writing, failing, timeout);
}
}
#endif
