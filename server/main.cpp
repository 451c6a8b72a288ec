// orvogps-server: shares the receiver with every program on the PC, over
// gpsd's client protocol (TCP 2947) and as NMEA 0183 over TCP (10110).
// Ctrl+C, Ctrl+Break and closing the console stop it cleanly.
#include <windows.h>

#include <cstdio>

#include "server/server_options.h"
#include "server/server_run.h"
#include "server/service.h"

namespace {

HANDLE gStop;
HANDLE gDone;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  SetEvent(gStop);
  // Closing the console ends the process once this returns: wait for the
  // sockets and the receiver to be closed first (Windows allows 5 s).
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(gDone, 4500);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions options;
  const std::string error = ParseServerOptions(argc - 1, argv + 1, &options);
  if (!error.empty()) {
    std::fprintf(stderr, "orvogps-server: %s\n%s\n", error.c_str(), SERVER_USAGE);
    return 2;
  }
  switch (options.action) {
    case ServerOptions::INSTALL: return InstallService(options);
    case ServerOptions::UNINSTALL: return UninstallService();
    case ServerOptions::SERVICE: return RunAsService(options);
    case ServerOptions::RUN: break;
  }
  gStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!gStop || !gDone || !SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
    std::fprintf(stderr, "orvogps-server: cannot set up the stop events\n");
    return 1;
  }
  const int code = RunServer(options, gStop);
  SetEvent(gDone);
  return code;
}
