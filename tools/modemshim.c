/* Modem-control lines for pseudo-terminals, preloaded into a Wine process.
 *
 * A pty has no DTR, RTS, CTS or DSR, so Linux answers TIOCMBIS, TIOCMBIC,
 * TIOCMGET and TIOCMSET on it with EINVAL and Wine turns that into a failed
 * EscapeCommFunction(SETDTR).  A real cable has the lines, so this library
 * keeps them per descriptor for /dev/pts/N and answers as a null-modem cable
 * to a powered receiver would: the far end's DSR, CTS and CD are always on.
 * Every other ioctl goes to the real one untouched.
 *
 * When ORVO_VNM_STATE names the harness's state directory (where the links
 * com<k> and far<k> of cable k live), the near end's DTR and RTS also reach
 * the far end, wired as a null-modem cable wires them: the far end's DSR and
 * CD follow the near end's DTR, its CTS the near end's RTS.  So a test on the
 * far end sees a program open and close the port.  The lines travel as
 * record locks on bytes 2k and 2k+1 of <state>/modemlines, held while the
 * line is up; a process that ends drops them, as a real port's driver does
 * when the last handle closes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "modemshim.h"

#define SHIM_MAX_FDS 4096

static int lines[SHIM_MAX_FDS];
static const int far_lines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;

typedef int (*ioctl_fn)(int, unsigned long, ...);

int shim_pty_of(int fd, char *target)
{
    char link[64];
    ssize_t n;

    if (fd < 0 || fd >= SHIM_MAX_FDS)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    n = readlink(link, target, 63);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    return strncmp(target, "/dev/pts/", 9) == 0;
}

int shim_cable_of(const char *pty, const char *end)
{
    const char *state = getenv("ORVO_VNM_STATE");
    char path[4096];
    char target[64];
    ssize_t n;
    int k;

    if (!state || !*state)
        return 0;
    for (k = 1; k <= SHIM_CABLES; k++) {
        snprintf(path, sizeof path, "%s/%s%d", state, end, k);
        n = readlink(path, target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = '\0';
        if (strcmp(target, pty) == 0)
            return k;
    }
    return 0;
}

/* Open-file-description locks: a second open of the file is another
 * description, so a process sees the locks it holds through the first. */
static int line_file(int probe)
{
    static int fds[2] = {-1, -1};
    char path[4096];
    const char *state;

    if (fds[probe] < 0) {
        state = getenv("ORVO_VNM_STATE");
        snprintf(path, sizeof path, "%s/modemlines", state);
        fds[probe] = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    return fds[probe];
}

static struct flock line_lock(int cable, int line, short type)
{
    struct flock lock;

    memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 2 * cable + line;
    lock.l_len = 1;
    return lock;
}

/* Raises (on nonzero) or drops line 0 (DTR) or 1 (RTS) of a cable's near
 * end.  A second program holding the same line up keeps it up. */
static void publish_line(int cable, int line, int on)
{
    struct flock lock = line_lock(cable, line, on ? F_WRLCK : F_UNLCK);
    int fd = line_file(0);

    if (fd >= 0)
        (void)fcntl(fd, F_OFD_SETLK, &lock);
}

static int line_is_up(int cable, int line)
{
    struct flock lock = line_lock(cable, line, F_WRLCK);
    int fd = line_file(1);

    if (fd < 0 || fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return 0;
    return lock.l_type != F_UNLCK;
}

static int far_end_sees(int cable)
{
    int bits = 0;

    if (line_is_up(cable, 0))
        bits |= TIOCM_DSR | TIOCM_CAR;
    if (line_is_up(cable, 1))
        bits |= TIOCM_CTS;
    return bits;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn real_ioctl;
    char pty[64];
    va_list ap;
    void *arg;
    int *bits;
    int cable;

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
    if (!shim_pty_of(fd, pty))
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
        cable = shim_cable_of(pty, "far");
        *bits = lines[fd] | (cable ? far_end_sees(cable) : far_lines);
        return 0;
    }
    cable = shim_cable_of(pty, "com");
    if (cable) {
        publish_line(cable, 0, lines[fd] & TIOCM_DTR);
        publish_line(cable, 1, lines[fd] & TIOCM_RTS);
    }
    return 0;
}
