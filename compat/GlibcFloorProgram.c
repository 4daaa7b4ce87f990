// The start of a program built against glibc 2.34 or later, for glibc 2.31.
//
// Since 2.34 the start code, crt1.o, calls __libc_start_main@GLIBC_2.34, which runs the
// program's initializers itself. Before, crt1.o bound to __libc_start_main@GLIBC_2.2.5
// and handed it the program's own function for them (__libc_csu_init), which glibc 2.31
// calls and 2.34 and later ignore, running them the new way. So the program binds to the
// old version and hands it a function that does what __libc_csu_init did.
#include <stddef.h>

typedef int (*quelor_main)(int argc, char** argv, char** environment);
typedef void (*quelor_initializer)(int argc, char** argv, char** environment);

int quelor_old_libc_start_main(quelor_main main, int argc, char** argv, quelor_initializer init,
                               void (*fini)(void), void (*rtld_fini)(void), void* stack_end);
__asm__(".symver quelor_old_libc_start_main,__libc_start_main@GLIBC_2.2.5");

// The linker provides these for the program's .init section and initializer array.
extern void _init(void);
extern quelor_initializer __init_array_start[] __attribute__((visibility("hidden")));
extern quelor_initializer __init_array_end[] __attribute__((visibility("hidden")));

static void quelor_run_initializers(int argc, char** argv, char** environment) {
    _init();
    for (quelor_initializer* i = __init_array_start; i < __init_array_end; ++i)
        (*i)(argc, argv, environment);
}

// The finalizers need nothing: ld.so runs the program's, on every version.
__attribute__((visibility("hidden"))) int
__libc_start_main(quelor_main main, int argc, char** argv, quelor_initializer init,
                  void (*fini)(void), void (*rtld_fini)(void), void* stack_end) {
    (void)init;
    (void)fini;
    return quelor_old_libc_start_main(main, argc, argv, quelor_run_initializers, NULL, rtld_fini,
                                      stack_end);
}
