#include "PlugLock.h"

#include <pthread.h>

// A recursive mutex with priority inheritance: a thread holding the lock when a
// real-time audio thread wants it runs at the audio thread's priority until it lets
// go, so that other work on the machine cannot hold the audio thread up through it.
struct PlugLock::Impl {
    Impl() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        // A system without priority-inheriting mutexes still gets a working lock.
        if (pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT) != 0 ||
            pthread_mutex_init(&mutex, &attributes) != 0) {
            pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_NONE);
            pthread_mutex_init(&mutex, &attributes);
        }
        pthread_mutexattr_destroy(&attributes);
    }
    ~Impl() { pthread_mutex_destroy(&mutex); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    pthread_mutex_t mutex;
};

PlugLock::PlugLock() : impl(std::make_unique<Impl>()) {}
PlugLock::~PlugLock() = default;

void PlugLock::Acquire() {
    pthread_mutex_lock(&impl->mutex);
}
void PlugLock::Release() {
    pthread_mutex_unlock(&impl->mutex);
}
