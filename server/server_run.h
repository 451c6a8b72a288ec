// The server from start to stop, the same in a console and as a service:
// listens, finds and opens the receiver, relays it, and returns the exit
// code once stop is set (0) or when it cannot start (1).  Windows only.
#ifndef ORVOGPS_SERVER_RUN_H
#define ORVOGPS_SERVER_RUN_H

#include <windows.h>

#include "server/server_options.h"

int RunServer(const ServerOptions& options, HANDLE stop);

#endif
