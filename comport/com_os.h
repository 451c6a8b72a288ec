// The operating-system calls of the serial layer, reached through one table so
// that tests can make a chosen call fail with a chosen error without a broken
// device.  gComOs holds the real calls unless a test swaps an entry.
#ifndef ORVOGPS_COM_OS_H
#define ORVOGPS_COM_OS_H

#include <windows.h>

struct ComOs {
  HANDLE(WINAPI* CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* GetCommTimeouts)(HANDLE, LPCOMMTIMEOUTS);
  BOOL(WINAPI* SetCommTimeouts)(HANDLE, LPCOMMTIMEOUTS);
  BOOL(WINAPI* GetCommState)(HANDLE, LPDCB);
  BOOL(WINAPI* SetCommState)(HANDLE, LPDCB);
  BOOL(WINAPI* SetupComm)(HANDLE, DWORD, DWORD);
  BOOL(WINAPI* EscapeCommFunction)(HANDLE, DWORD);
  BOOL(WINAPI* PurgeComm)(HANDLE, DWORD);
  BOOL(WINAPI* CloseHandle)(HANDLE);
  HANDLE(WINAPI* CreateEventA)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
  HANDLE(WINAPI* CreateThread)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                               LPDWORD);
  BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* GetOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
  DWORD(WINAPI* WaitForMultipleObjects)(DWORD, const HANDLE*, BOOL, DWORD);
  BOOL(WINAPI* ClearCommError)(HANDLE, LPDWORD, LPCOMSTAT);
  BOOL(WINAPI* CancelIoEx)(HANDLE, LPOVERLAPPED);
};

extern ComOs gComOs;
extern const ComOs kRealComOs;

#endif
