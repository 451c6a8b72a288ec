/* Modem-control lines for pseudo-terminals, preloaded into a Wine process.
 *
 * A pty has no DTR, RTS, CTS or DSR, so Linux answers TIOCMBIS, TIOCMBIC,
 * TIOCMGET and TIOCMSET on it with EINVAL and Wine turns that into a failed
 * EscapeCommFunction(SETDTR).  A real cable has the lines, so this library
 * keeps them per descriptor for /dev/pts/N and answers as a null-modem cable
 * to a powered receiver would: the far end's DSR, CTS and CD are always on.
 * Every other ioctl goes to the real one untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#define SHIM_MAX_FDS 4096

static int lines[SHIM_MAX_FDS];
static const int far_lines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_pty(int fd)
{
    char link[64];
    char target[64];
    ssize_t n;

    if (fd < 0 || fd >= SHIM_MAX_FDS)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    return strncmp(target, "/dev/pts/", 9) == 0;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn real_ioctl;
    va_list ap;
    void *arg;
    int *bits;

    va_start(ap, request);
    arg = va_arg(ap, void *);
    va_end(ap);
    if (!real_ioctl)
        real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
    case TIOCMGET:
        break;
    default:
        return real_ioctl(fd, request, arg);
    }
    if (!is_pty(fd))
        return real_ioctl(fd, request, arg);
    bits = arg;
    if (!bits) {
        errno = EFAULT;
        return -1;
    }
    switch (request) {
    case TIOCMBIS:
        lines[fd] |= *bits & (TIOCM_DTR | TIOCM_RTS);
        break;
    case TIOCMBIC:
        lines[fd] &= ~(*bits & (TIOCM_DTR | TIOCM_RTS));
        break;
    case TIOCMSET:
        lines[fd] = *bits & (TIOCM_DTR | TIOCM_RTS);
        break;
    default:
        *bits = lines[fd] | far_lines;
        break;
    }
    return 0;
}
