// Whether this build may define C library functions in front of the C
// library's own: not under sanitizers, which intercept the same functions.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define DK_INTERPOSER 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define DK_INTERPOSER 0
#endif
#endif
#ifndef DK_INTERPOSER
#define DK_INTERPOSER 1
#endif
