#include "far_end.h"

#include <cstdio>
#include <cstdlib>

ComPort* OpenNear(int pair, RxHandler handler, void* userData) {
  ComPort* port = nullptr;
  uint32_t error = 0;
  int32_t code = OrvoCOMOpenPort(NearIndex(pair), 4800, 8, NOPARITY, ONESTOPBIT, 1, userData, &port,
                                 handler, &error);
  return code == 0 ? port : nullptr;
}

HANDLE FarOpen(int pair) {
  char variable[32];
  snprintf(variable, sizeof variable, "ORVO_FAR%d_COM", pair);
  const char* name = getenv(variable);
  if (!name) return INVALID_HANDLE_VALUE;
  char path[32];
  snprintf(path, sizeof path, "\\\\.\\%s", name);
  HANDLE cable =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (cable == INVALID_HANDLE_VALUE) return cable;
  // A read returns what has come, or nothing after 50 ms.
  COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 50, 0, 0};
  SetCommTimeouts(cable, &timeouts);
  FarDrain(cable);
  return cable;
}

bool FarWrite(HANDLE cable, const void* data, DWORD length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(cable, bytes, length, &written, nullptr)) return false;
    bytes += written;
    length -= written;
  }
  return true;
}

DWORD FarRead(HANDLE cable, void* data, DWORD length, DWORD deadlineMs) {
  unsigned char* bytes = static_cast<unsigned char*>(data);
  DWORD total = 0;
  ULONGLONG end = GetTickCount64() + deadlineMs;
  while (total < length && GetTickCount64() < end) {
    DWORD got = 0;
    if (!ReadFile(cable, bytes + total, length - total, &got, nullptr)) break;
    total += got;
  }
  return total;
}

bool NearPurge(int pair) {
  char path[16];
  snprintf(path, sizeof path, "\\\\.\\COM%d", pair);
  HANDLE nearEnd = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (nearEnd == INVALID_HANDLE_VALUE) return false;
  const bool purged = PurgeComm(nearEnd, PURGE_RXCLEAR) != 0;
  CloseHandle(nearEnd);
  return purged;
}

void FarDrain(HANDLE cable) {
  unsigned char scratch[4096];
  DWORD got = 0;
  while (ReadFile(cable, scratch, sizeof scratch, &got, nullptr) && got > 0) {
  }
}

bool WaitUntil(bool (*condition)(), DWORD deadlineMs) {
  ULONGLONG end = GetTickCount64() + deadlineMs;
  while (!condition()) {
    if (GetTickCount64() >= end) return false;
    Sleep(1);
  }
  return true;
}
