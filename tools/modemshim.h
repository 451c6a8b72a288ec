/* What the modem-line shim and the wrong-speed model share: finding the
 * harness cable a descriptor belongs to. */
#ifndef ORVOGPS_MODEMSHIM_H
#define ORVOGPS_MODEMSHIM_H

#define SHIM_CABLES 4

/* The pty a descriptor is open on, in target (at least 64 bytes); 0 when it
 * is on none. */
int shim_pty_of(int fd, char *target);

/* The cable (1 to SHIM_CABLES) whose end "com" or "far" is the pty, or 0. */
int shim_cable_of(const char *pty, const char *end);

#endif
