#include "server/service.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "server/server_run.h"

namespace {

ServerOptions gOptions;
SERVICE_STATUS_HANDLE gStatusHandle;
HANDLE gStop;
SERVICE_STATUS gStatus = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};

void Report(DWORD state, DWORD exitCode) {
  gStatus.dwCurrentState = state;
  gStatus.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  gStatus.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  gStatus.dwServiceSpecificExitCode = exitCode;
  gStatus.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 10000;
  SetServiceStatus(gStatusHandle, &gStatus);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING, 0);
    SetEvent(gStop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  gStatusHandle = RegisterServiceCtrlHandlerExA(SERVICE_NAME, OnControl, nullptr);
  if (!gStatusHandle) return;
  Report(SERVICE_RUNNING, 0);
  const int code = RunServer(gOptions, gStop);
  Report(SERVICE_STOPPED, static_cast<DWORD>(code));
}

std::string ProgramPath() {
  char path[MAX_PATH];
  const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
  return size > 0 && size < sizeof path ? std::string(path, size) : std::string();
}

int Fail(const char* what) {
  std::fprintf(stderr, "orvogps-server: %s (error %lu)\n", what, GetLastError());
  return 1;
}

}  // namespace

int InstallService(const ServerOptions& options) {
  const std::string program = ProgramPath();
  if (program.empty()) return Fail("cannot tell where this program is");
  const std::string command = "\"" + program + "\" --service " + ServerOptionsText(options);
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (!manager) return Fail("cannot reach the service control manager (run as administrator)");
  SC_HANDLE service = CreateServiceA(manager, SERVICE_NAME, "OrvoGPS receiver server", SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!service) {
    const int code = Fail(GetLastError() == ERROR_SERVICE_EXISTS ? "the service is installed already"
                                                                 : "cannot install the service");
    CloseServiceHandle(manager);
    return code;
  }
  SERVICE_DESCRIPTIONA description = {
      const_cast<char*>("Shares the GPS receiver with every program: gpsd's protocol and NMEA 0183 over TCP")};
  ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description);  // cosmetic: its failure is harmless
  std::printf("installed the service %s: %s\n", SERVICE_NAME, command.c_str());
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return 0;
}

int UninstallService() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return Fail("cannot reach the service control manager (run as administrator)");
  SC_HANDLE service = OpenServiceA(manager, SERVICE_NAME, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  if (!service) {
    const int code = Fail("the service is not installed");
    CloseServiceHandle(manager);
    return code;
  }
  // A running service is stopped first; one that is not running refuses
  // the stop, which is fine.
  SERVICE_STATUS status = {};
  if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
      Sleep(100);  // the manager tells no event for it: its state is polled, 10 s at most
  }
  const BOOL deleted = DeleteService(service);
  const int code = deleted ? 0 : Fail("cannot remove the service");
  if (deleted) std::printf("removed the service %s\n", SERVICE_NAME);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return code;
}

int RunAsService(const ServerOptions& options) {
  gOptions = options;
  gStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!gStop) return Fail("cannot make the stop event");
  SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(SERVICE_NAME), ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherA(table)) return Fail("--service is for the service control manager to use");
  return 0;
}
