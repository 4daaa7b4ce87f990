// Lets the shipped Linux binaries load on glibc 2.31 (Debian 11, Ubuntu 20.04) and
// later while they are built against the build machine's newer glibc.
//
// A reference binds to the newest version of a glibc symbol that the build machine
// has. Where that version is newer than 2.31 there are two cases:
// - the function only moved or changed its error handling, and glibc still exports it
//   under its old version: dlopen and friends and pthread_once moved from libdl and
//   libpthread into libc in 2.34, stat, lstat and fstat64 became functions of their own
//   in 2.33 (before, inline calls of __xstat and friends). These definitions take the names
//   inside the binary and forward to the old versions, so every reference, the static
//   C++ runtime's included, binds to those;
// - the symbol is new and has no old version: __libc_single_threaded (2.32) and
//   arc4random (2.36), both reached through the static C++ runtime. They get a
//   definition of our own.
// Everything here is hidden: a host sees none of it. The unwinder is the system's
// libgcc_s, which matches the system's glibc (a static one would call _dl_find_object,
// new in 2.35).
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#define QUELOR_HIDDEN __attribute__((visibility("hidden")))

// Binds OLD to NAME@GLIBC_2.2.5, the first version on x86-64.
#define QUELOR_OLD_VERSION(name, old) __asm__(".symver " #old "," #name "@GLIBC_2.2.5")

// Declared with plain pointers so that <dlfcn.h> need not be included next to these
// definitions; the calling convention is the same.
void* quelor_old_dlopen(const char* file, int mode);
void* quelor_old_dlsym(void* handle, const char* name);
int quelor_old_dlclose(void* handle);
char* quelor_old_dlerror(void);
int quelor_old_dladdr(const void* address, void* info);
QUELOR_OLD_VERSION(dlopen, quelor_old_dlopen);
QUELOR_OLD_VERSION(dlsym, quelor_old_dlsym);
QUELOR_OLD_VERSION(dlclose, quelor_old_dlclose);
QUELOR_OLD_VERSION(dlerror, quelor_old_dlerror);
QUELOR_OLD_VERSION(dladdr, quelor_old_dladdr);

QUELOR_HIDDEN void* dlopen(const char* file, int mode) {
    return quelor_old_dlopen(file, mode);
}
QUELOR_HIDDEN void* dlsym(void* handle, const char* name) {
    return quelor_old_dlsym(handle, name);
}
QUELOR_HIDDEN int dlclose(void* handle) {
    return quelor_old_dlclose(handle);
}
QUELOR_HIDDEN char* dlerror(void) {
    return quelor_old_dlerror();
}
QUELOR_HIDDEN int dladdr(const void* address, void* info) {
    return quelor_old_dladdr(address, info);
}

int quelor_old_pthread_once(int* once, void (*routine)(void));
QUELOR_OLD_VERSION(pthread_once, quelor_old_pthread_once);
QUELOR_HIDDEN int pthread_once(int* once, void (*routine)(void)) {
    return quelor_old_pthread_once(once, routine);
}

// The threads functions moved from libpthread into libc in 2.34. Declared with plain
// types of the same layout (pthread_t is an unsigned long, a key an unsigned int, the
// attribute, condition and mutex records are passed by pointer) so that <pthread.h>
// need not be included next to these definitions.
#define QUELOR_FORWARD(version, result, name, params, args)                            \
    result quelor_old_##name params;                                                \
    __asm__(".symver quelor_old_" #name "," #name "@" version);                     \
    QUELOR_HIDDEN result name params {                                              \
        return quelor_old_##name args;                                              \
    }
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_create,
               (unsigned long* thread, const void* attr, void* (*start)(void*), void* arg),
               (thread, attr, start, arg))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_join, (unsigned long thread, void** result),
               (thread, result))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_detach, (unsigned long thread), (thread))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_key_create,
               (unsigned* key, void (*destructor)(void*)), (key, destructor))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_key_delete, (unsigned key), (key))
QUELOR_FORWARD("GLIBC_2.2.5", void*, pthread_getspecific, (unsigned key), (key))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_setspecific, (unsigned key, const void* value),
               (key, value))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_mutexattr_init, (void* attr), (attr))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_mutexattr_destroy, (void* attr), (attr))
QUELOR_FORWARD("GLIBC_2.2.5", int, pthread_mutexattr_settype, (void* attr, int kind),
               (attr, kind))
QUELOR_FORWARD("GLIBC_2.4", int, pthread_mutexattr_setprotocol, (void* attr, int protocol),
               (attr, protocol))
QUELOR_FORWARD("GLIBC_2.30", int, pthread_cond_clockwait,
               (void* cond, void* mutex, int clock, const void* until),
               (cond, mutex, clock, until))

// The first argument is the layout of struct stat the caller has: 1 on x86-64.
enum { kStatVersion = 1 };
int quelor_old_xstat(int version, const char* path, struct stat* buffer);
int quelor_old_lxstat(int version, const char* path, struct stat* buffer);
int quelor_old_fxstat64(int version, int fd, struct stat64* buffer);
QUELOR_OLD_VERSION(__xstat, quelor_old_xstat);
QUELOR_OLD_VERSION(__lxstat, quelor_old_lxstat);
QUELOR_OLD_VERSION(__fxstat64, quelor_old_fxstat64);

QUELOR_HIDDEN int stat(const char* path, struct stat* buffer) {
    return quelor_old_xstat(kStatVersion, path, buffer);
}
QUELOR_HIDDEN int lstat(const char* path, struct stat* buffer) {
    return quelor_old_lxstat(kStatVersion, path, buffer);
}
QUELOR_HIDDEN int fstat64(int fd, struct stat64* buffer) {
    return quelor_old_fxstat64(kStatVersion, fd, buffer);
}

// Never single-threaded: the C++ runtime then always takes its atomic paths, which is
// what it does on glibc before 2.32 too.
QUELOR_HIDDEN char __libc_single_threaded = 0;

// Kernels before 3.17 have no getrandom, and some sandboxes refuse it: the same pool
// is behind /dev/urandom. True when size bytes were read.
static int quelor_read_urandom(void* buffer, size_t size) {
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, (char*)buffer + done, size - done);
        if (got > 0)
            done += (size_t)got;
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(fd);
    return done == size;
}

// Reached only through std::random_device, which nothing here uses; it still answers
// from the kernel, or from /dev/urandom where the kernel has no getrandom, and ends the
// process where no randomness can be had, as glibc does.
QUELOR_HIDDEN uint32_t arc4random(void) {
    uint32_t value;
    for (;;) {
        const ssize_t got = getrandom(&value, sizeof value, 0);
        if (got == (ssize_t)sizeof value)
            return value;
        if (got < 0 && errno != EINTR)
            break;
    }
    if (!quelor_read_urandom(&value, sizeof value))
        abort();
    return value;
}
