/* Loaded into orvane-scan with LD_PRELOAD by the tests that stop a scan:
 * every folder listing then takes a while, so a scan of a small tree lasts
 * seconds and a signal reliably arrives in the middle of it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/syscall.h>
#include <time.h>

long syscall(long number, ...) {
    typedef long (*syscall_fn)(long, ...);
    static syscall_fn real = 0;
    if (!real) real = (syscall_fn)dlsym(RTLD_NEXT, "syscall");
    va_list args;
    va_start(args, number);
    long a[6];
    for (int i = 0; i < 6; ++i) a[i] = va_arg(args, long);
    va_end(args);
    if (number == SYS_getdents64) {
        const struct timespec pause = {0, 50 * 1000 * 1000};
        nanosleep(&pause, 0);
    }
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
