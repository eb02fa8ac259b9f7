// Preloaded into zix by the terminal tests: no thread can be started, as
// when a process has reached its limit.
#include <pthread.h>

#include <cerrno>

extern "C" int pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
    return EAGAIN;
}
