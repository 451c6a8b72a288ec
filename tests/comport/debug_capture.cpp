#include "debug_capture.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kDeadlineMs = 30000;

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  std::string text(info.nDebugStringLength, '\0');
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, info.lpDebugStringData, &text[0], text.size(), &got)) return {};
  text.resize(got);
  // The length counts the terminating NUL.
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

Capture CaptureScenario(const char* name) {
  Capture capture = {false, 0, {}};
  char self[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, self, sizeof self)) return capture;
  char command[MAX_PATH + 128];
  snprintf(command, sizeof command, "\"%s\" --scenario=%s", self, name);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(self, command, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                      nullptr, &startup, &child)) {
    return capture;
  }
  ULONGLONG end = GetTickCount64() + kDeadlineMs;
  while (GetTickCount64() < end) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, 100)) continue;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        capture.messages.push_back(ReadDebugString(child.hProcess, event.u.DebugString));
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint is expected; anything else is the debuggee's own.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        capture.finished = true;
        capture.exitCode = event.u.ExitProcess.dwExitCode;
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (capture.finished) break;
  }
  if (!capture.finished) TerminateProcess(child.hProcess, 99);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return capture;
}

int RunScenarioFromArguments(int argc, char** argv) {
  const char* prefix = "--scenario=";
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], prefix, strlen(prefix)) != 0) continue;
    const char* name = argv[i] + strlen(prefix);
    for (int s = 0; s < kScenarioCount; ++s) {
      if (strcmp(kScenarios[s].name, name) == 0) return kScenarios[s].run();
    }
    fprintf(stderr, "no scenario %s\n", name);
    return 98;
  }
  return -1;
}
