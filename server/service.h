// The server as a Windows service: registered with the options given
// (automatic start), removed, and run under the service control manager,
// whose stop ends it as Ctrl+C does.  Windows only.
#ifndef ORVOGPS_SERVER_SERVICE_H
#define ORVOGPS_SERVER_SERVICE_H

#include "server/server_options.h"

constexpr const char* SERVICE_NAME = "OrvoGPSServer";

// Each returns the program's exit code, with what happened printed.
int InstallService(const ServerOptions& options);
int UninstallService();
// Hands the thread to the service control manager until the service stops.
int RunAsService(const ServerOptions& options);

#endif
