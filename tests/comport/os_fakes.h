// Counting and failing stand-ins for the serial layer's OS calls.
#ifndef ORVOGPS_TESTS_OS_FAKES_H
#define ORVOGPS_TESTS_OS_FAKES_H

#include <windows.h>

#include <cstdint>

enum class OsCall {
  CreateFile,
  GetCommTimeouts,
  SetCommTimeouts,
  GetCommState,
  SetCommState,
  SetupComm,
  EscapeCommFunction,
  PurgeComm,
  CloseHandle,
  CreateEvent,
  CreateThread,
  ReadFile,
  WriteFile,
  GetOverlappedResult,
  WaitForMultipleObjects,
  ClearCommError,
  CancelIo,
  Count
};

// Which thread makes a call: the test's own (the opener and closer) or one
// of the port's two threads.
enum class Role { Opener, Reader, Writer };

// Routes every call through counters; the calls still reach the OS.
void InstallFakeOs();
// Puts the real calls back and forgets counts, failures and the gate.
void RestoreRealOs();

int CallCount(OsCall call);
int RoleCallCount(OsCall call, Role role);
int TotalCallCount();

// The nth call (from 1) of that kind made by that role fails with error.
void FailCall(OsCall call, Role role, int nth, DWORD error);
// Every call of that kind made by that role fails with error, from the nth on.
void FailCallsFrom(OsCall call, Role role, int nth, DWORD error);

// What one call was given, in the order of all logged calls of every role.
struct LoggedCall {
  OsCall call;
  Role role;
  HANDLE handle;          // the handle it acted on, or the one it made
  uintptr_t args[6];      // its other arguments, in order, as numbers
  char path[32];          // CreateFileA: the name
  COMMTIMEOUTS timeouts;  // Get/SetCommTimeouts: what was read or applied
  DCB dcb;                // Get/SetCommState: what was read or applied
  ULONGLONG tick;         // GetTickCount64 when the call was made
  DWORD threadId;         // the thread that made it
};
// The calls logged since InstallFakeOs; the log keeps the first 4096.
int LoggedCallCount();
const LoggedCall& LoggedCallAt(int i);
// Logged calls of that kind from log position from on; with a handle, only
// those that acted on it.
int CountLoggedCalls(int from, OsCall call, HANDLE handle);

// GetCommState passes what the device reported through edit, and
// SetCommState then only logs what it is given: the device does not see a
// state made up for a test.
void EditReportedState(void (*edit)(DCB*));
// GetCommTimeouts reports these instead of the device's own.
void ReportTimeouts(const COMMTIMEOUTS& timeouts);
// SetCommState refuses (ERROR_INVALID_PARAMETER) a state whose speed
// refused(baud) is true, as serial.sys does for a rate its UART cannot make
// and some virtual ports for any change; null refuses nothing.
void RefuseSpeeds(bool (*refused)(DWORD baud));
// Every CreateFileA takes ms longer before it reaches the device, as a
// Bluetooth port's open does while the stack pages the device (0: none).
void DelayOpens(DWORD ms);
// CreateFileA of this device path alone takes ms longer (0: none).
void DelayOpenOf(const char* path, DWORD ms);
// Waits until a CreateFileA has begun since DelayOpens; false after the deadline.
bool WaitOpenEntered(DWORD deadlineMs);
// CloseHandle of this handle fails with error, leaving it open.
void FailCloseOf(HANDLE handle, DWORD error);
// CreateFileA of this device path ("\\\\.\\COM3") fails with error, as for a
// port that another program holds.
void FailOpenOf(const char* path, DWORD error);

// The fake plays a serial driver's line errors as serial.sys does.  With
// fAbortOnError on, a line error aborts the pending read (it fails with
// ERROR_OPERATION_ABORTED and still reports the bytes it had copied) and the
// pending write, and every ReadFile, WriteFile and read
// completion fails with ERROR_OPERATION_ABORTED until ClearCommError, which
// reports the errors (CE_FRAME and the like) once.  With it off, the damaged
// character arrives as data and ClearCommError reports the errors once.

// A line error now, played as with fAbortOnError on whatever the open set:
// a driver that fails reads anyway.  With times above 1 the line stays noisy:
// each ClearCommError finds a fresh error, until the last of them.
void LatchLineError(DWORD errors, int times = 1);
// The device reports fAbortOnError on to GetCommState, as an earlier program
// may have left it; what SetCommState applies then counts.
void ReportAbortOnError();
// The driver aborts on line errors whatever fAbortOnError says.
void AbortOnLineErrorsAnyway();
// Every received byte of this value arrives with these line errors.
void ReceiveWithLineError(unsigned char byte, DWORD errors);
// A driver that never completes a cancelled request: CancelIoEx does
// nothing, and only a PurgeComm that aborts reads or writes ends the
// device's pending I/O.
void CompleteCancelledIoOnlyOnPurge();

// The writer's first WriteFile waits until OpenWriteGate: the writer then
// holds one entry, so the queue can be filled behind it.
void CloseWriteGate();
void OpenWriteGate();
// Waits until the writer is held at the gate; false after the deadline.
bool WaitWriterAtGate(DWORD deadlineMs);

#endif
