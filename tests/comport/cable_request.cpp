#include "cable_request.h"

#include <cstdlib>
#include <string>

#include "far_end.h"

namespace {

std::string StatePath(const std::string& name) {
  return std::string("Z:") + getenv("ORVO_VNM_STATE") + "/" + name;
}

}  // namespace

bool CableRequest(const char* verb) {
  static std::string done;
  done = StatePath(std::string("cable.") + verb + ".done");
  DeleteFileA(done.c_str());
  HANDLE request = CreateFileA(StatePath(std::string("cable.") + verb).c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_ALWAYS, 0, nullptr);
  if (request == INVALID_HANDLE_VALUE) return false;
  CloseHandle(request);
  return WaitUntil([] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   30000);
}

ULONGLONG ProcessCpu100ns() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return k.QuadPart + u.QuadPart;
}
