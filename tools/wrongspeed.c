/* A receiver at the wrong speed, for pseudo-terminals: linked into the
 * modem-line shim and preloaded into a Wine process with it.
 *
 * A pty carries bytes whatever speed either end set, so a program that
 * configured 9600 baud would read a 38400-baud receiver's sentences intact.
 * A real UART at 9600 sees the same wire and delivers something else: it
 * starts a character at each falling edge, samples the line in the middle of
 * each of its own bit times and hands over whatever byte that makes.  This
 * file makes a read on one end of a harness cable deliver that.
 *
 * Each end's speed is the one its termios holds, read at every read: the
 * reading end's own, and the writing end's through its link in the state
 * directory (com<k> and far<k>, as the modem-line shim finds them).  When both
 * are set and differ, the bytes read are replaced by what a UART at the
 * reading end's speed makes of them sent at the writing end's speed; when
 * either end's speed is 0 (vnullmodem.sh marks both ends so when it makes a
 * cable: a program that never sets a speed) or the two agree, the bytes pass
 * unchanged.  Looking the two speeds up costs a dozen system calls a read,
 * which a measurement of a program's own CPU does not want: with
 * ORVO_VNM_SPEEDS=off in its environment the bytes pass unchanged and
 * nothing is looked up.
 *
 * The model is a function of the bytes alone, not of when they came, so it is
 * the same on every run: the sender's characters follow each other without a
 * gap (8-N-1: a start bit, eight data bits least significant first, a stop
 * bit), and after every line feed the line rests long enough for the
 * receiver to finish its character and wait for the next start bit, as a
 * receiver's pause between sentences or cycles lets it.  The receiver needs a
 * falling edge to start a character (a line held low after a character is a
 * break, which starts nothing), checks the start bit in its middle, and
 * delivers a character whose stop bit is low as well, as a UART does with a
 * framing error.  So a faster receiver delivers more bytes than were sent,
 * a slower one fewer, and in neither do sentences verify. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "modemshim.h"

#define WS_SLOTS 16
#define WS_RING 512    /* a character at the slowest speed spans 192 bytes at the fastest */
#define WS_EXPAND 5    /* a sent byte has at most five falling edges */
#define WS_UNKNOWN (-1)

struct ws_line {
    int fd;
    dev_t rdev;
    unsigned sender, receiver; /* speeds the state below was made for */
    uint64_t bits;             /* sender bits of the current line so far */
    unsigned char ring[WS_RING];
    int ended;                 /* a line feed came: idle from here on */
    int in_frame;
    uint64_t at; /* hunting: look for an edge from here; in a frame: its start */
};

static struct ws_line slots[WS_SLOTS];
static pthread_mutex_t slots_lock = PTHREAD_MUTEX_INITIALIZER;

static unsigned baud_of(speed_t speed)
{
    static const struct { speed_t constant; unsigned baud; } table[] = {
        {B0, 0}, {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    size_t i;

    for (i = 0; i < sizeof table / sizeof table[0]; i++)
        if (table[i].constant == speed)
            return table[i].baud;
    return 0;
}

static unsigned speed_of_fd(int fd)
{
    struct termios t;

    if (tcgetattr(fd, &t) != 0)
        return 0;
    return baud_of(cfgetospeed(&t));
}

static unsigned speed_of_path(const char *path)
{
    int fd = open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    unsigned baud;

    if (fd < 0)
        return 0;
    baud = speed_of_fd(fd);
    close(fd);
    return baud;
}

static void line_reset(struct ws_line *l, unsigned sender, unsigned receiver)
{
    l->sender = sender;
    l->receiver = receiver;
    l->bits = 0;
    l->ended = 0;
    l->in_frame = 0;
    l->at = 0;
}

/* The line's level during sender bit i: 1 before the line and after its
 * line feed, WS_UNKNOWN where the bytes have not come yet. */
static int level(const struct ws_line *l, int64_t i)
{
    unsigned char byte;
    int bit;

    if (i < 0)
        return 1;
    if ((uint64_t)i >= l->bits)
        return l->ended ? 1 : WS_UNKNOWN;
    bit = (int)(i % 10);
    if (bit == 0)
        return 0;
    if (bit == 9)
        return 1;
    byte = l->ring[(i / 10) % WS_RING];
    return (byte >> (bit - 1)) & 1;
}

/* Runs the receiver as far as the bytes so far allow, appending what it
 * delivers to out; returns how many bytes it appended.  Time counts in units
 * of 1/(2 * sender * receiver) s: a sender bit lasts 2 * receiver units, a
 * receiver bit 2 * sender units. */
static size_t receive(struct ws_line *l, unsigned char *out)
{
    const uint64_t sender_bit = 2 * (uint64_t)l->receiver;
    const uint64_t receiver_bit = 2 * (uint64_t)l->sender;
    size_t n = 0;

    for (;;) {
        if (!l->in_frame) {
            int64_t i = (int64_t)((l->at + sender_bit - 1) / sender_bit);
            int now, before;

            for (;; i++) {
                now = level(l, i);
                before = level(l, i - 1);
                if (now == WS_UNKNOWN || before == WS_UNKNOWN)
                    return n;
                if (now == 0 && before == 1)
                    break;
                if ((uint64_t)i >= l->bits && l->ended) {
                    /* Idle for good: the next line starts afresh. */
                    line_reset(l, l->sender, l->receiver);
                    return n;
                }
            }
            l->in_frame = 1;
            l->at = (uint64_t)i * sender_bit;
        }
        {
            int value = 0;
            int k;
            int sample[10];

            for (k = 0; k < 10; k++) {
                uint64_t t = l->at + receiver_bit / 2 + (uint64_t)k * receiver_bit;
                sample[k] = level(l, (int64_t)(t / sender_bit));
                if (sample[k] == WS_UNKNOWN)
                    return n;
            }
            l->in_frame = 0;
            if (sample[0] != 0) {
                /* A glitch shorter than half a bit: no character. */
                l->at += receiver_bit / 2;
                continue;
            }
            for (k = 1; k <= 8; k++)
                value |= sample[k] << (k - 1);
            out[n++] = (unsigned char)value;
            l->at += receiver_bit / 2 + 9 * receiver_bit;
        }
    }
}

/* Feeds the bytes sent to the line's receiver; returns the bytes delivered. */
static size_t convert(struct ws_line *l, const unsigned char *in, size_t count, unsigned char *out)
{
    size_t n = 0;
    size_t i;

    for (i = 0; i < count; i++) {
        l->ring[(l->bits / 10) % WS_RING] = in[i];
        l->bits += 10;
        if (in[i] == '\n')
            l->ended = 1;
        n += receive(l, out + n);
    }
    return n;
}

/* The state of a cable end's descriptor, made on first use; null when all
 * slots are taken. */
static struct ws_line *slot_of(int fd, dev_t rdev)
{
    struct ws_line *free_slot = NULL;
    int i;

    for (i = 0; i < WS_SLOTS; i++) {
        if (slots[i].fd == fd + 1 && slots[i].rdev == rdev)
            return &slots[i];
        if (!free_slot && (slots[i].fd == 0 || slots[i].fd == fd + 1))
            free_slot = &slots[i];
    }
    if (free_slot) {
        free_slot->fd = fd + 1; /* 0 marks a free slot */
        free_slot->rdev = rdev;
        line_reset(free_slot, 0, 0);
    }
    return free_slot;
}

/* The speed of the end that writes what fd reads, or 0 when fd is not an end
 * of a harness cable; stores fd's device. */
static unsigned sender_speed(int fd, dev_t *rdev)
{
    char pty[64];
    char path[4096];
    struct stat st;
    const char *state = getenv("ORVO_VNM_STATE");
    const char *speeds = getenv("ORVO_VNM_SPEEDS");
    int cable;

    if (speeds && strcmp(speeds, "off") == 0)
        return 0;
    if (!state || !*state || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    /* Unix 98 pseudo-terminal slaves: majors 136 to 143. */
    if (major(st.st_rdev) < 136 || major(st.st_rdev) > 143)
        return 0;
    *rdev = st.st_rdev;
    if (!shim_pty_of(fd, pty))
        return 0;
    if ((cable = shim_cable_of(pty, "com")) != 0)
        snprintf(path, sizeof path, "%s/far%d", state, cable);
    else if ((cable = shim_cable_of(pty, "far")) != 0)
        snprintf(path, sizeof path, "%s/com%d", state, cable);
    else
        return 0;
    return speed_of_path(path);
}

typedef ssize_t (*read_fn)(int, void *, size_t);
typedef int (*tcflush_fn)(int, int);

ssize_t read(int fd, void *buf, size_t count)
{
    static read_fn real_read;
    unsigned char in[4096];
    unsigned char out[sizeof in * WS_EXPAND];
    unsigned sender, receiver;
    struct ws_line *l;
    dev_t rdev = 0;
    ssize_t got;
    size_t n, want;

    if (!real_read)
        real_read = (read_fn)dlsym(RTLD_NEXT, "read");
    sender = sender_speed(fd, &rdev);
    receiver = sender ? speed_of_fd(fd) : 0;
    if (!sender || !receiver || sender == receiver || count == 0)
        return real_read(fd, buf, count);

    pthread_mutex_lock(&slots_lock);
    l = slot_of(fd, rdev);
    if (!l) {
        pthread_mutex_unlock(&slots_lock);
        return real_read(fd, buf, count);
    }
    if (l->sender != sender || l->receiver != receiver)
        line_reset(l, sender, receiver);
    /* Whatever a read takes must fit the caller's buffer once converted. */
    want = count / WS_EXPAND;
    if (want == 0)
        want = 1;
    if (want > sizeof in)
        want = sizeof in;
    for (;;) {
        got = real_read(fd, in, want);
        if (got <= 0)
            break;
        n = convert(l, in, (size_t)got, out);
        if (n > count)
            n = count; /* only when the caller asked for fewer than five bytes */
        if (n > 0) {
            memcpy(buf, out, n);
            got = (ssize_t)n;
            break;
        }
        /* Everything read is still inside a character: to the caller that is
         * no data yet, as the UART has delivered nothing. */
        if (fcntl(fd, F_GETFL) & O_NONBLOCK) {
            errno = EAGAIN;
            got = -1;
            break;
        }
    }
    pthread_mutex_unlock(&slots_lock);
    return got;
}

/* A purge drops the character the receiver was in as well. */
int tcflush(int fd, int queue)
{
    static tcflush_fn real_tcflush;
    int i;

    if (!real_tcflush)
        real_tcflush = (tcflush_fn)dlsym(RTLD_NEXT, "tcflush");
    if (queue == TCIFLUSH || queue == TCIOFLUSH) {
        pthread_mutex_lock(&slots_lock);
        for (i = 0; i < WS_SLOTS; i++)
            if (slots[i].fd == fd + 1)
                line_reset(&slots[i], 0, 0);
        pthread_mutex_unlock(&slots_lock);
    }
    return real_tcflush(fd, queue);
}
