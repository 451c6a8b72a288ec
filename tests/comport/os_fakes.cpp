#include "os_fakes.h"

#include <atomic>
#include <cstring>
#include <initializer_list>

#include "comport/com_os.h"
#include "comport/comport.h"
#include "far_end.h"

namespace {

constexpr int kCalls = static_cast<int>(OsCall::Count);
constexpr int kRoles = 3;

std::atomic<int> gCounts[kCalls];
std::atomic<int> gRoleCounts[kCalls][kRoles];

struct Failure {
  OsCall call;
  Role role;
  int nth;
  DWORD error;
  bool onwards;
};
constexpr int kMaxFailures = 4;
Failure gFailures[kMaxFailures];
std::atomic<int> gFailureCount{0};

thread_local Role tRole = Role::Opener;

constexpr int kLogCapacity = 4096;
LoggedCall gLog[kLogCapacity];
std::atomic<int> gLogCount{0};

void (*gEditState)(DCB*);
bool gReportTimeouts;
COMMTIMEOUTS gReportedTimeouts;
std::atomic<HANDLE> gFailClose{nullptr};
char gFailOpenPath[32];
DWORD gFailOpenError;
DWORD gFailCloseError;
std::atomic<DWORD> gLatchedErrors{0};
std::atomic<bool> gCancelOnlyOnPurge{false};
std::atomic<bool (*)(DWORD)> gRefusedSpeed{nullptr};
std::atomic<DWORD> gOpenDelayMs{0};
std::atomic<bool> gOpenEntered{false};
char gDelayOpenPath[32];
std::atomic<DWORD> gDelayOpenOfMs{0};

// The driver's fAbortOnError, as the device reports it before the open and
// as SetCommState then applies it, and whether an abort is in force: every
// read and write fails until ClearCommError.
std::atomic<bool> gDeviceAbortOnError{false};
std::atomic<bool> gAlwaysAbort{false};
std::atomic<bool> gAbortOnError{false};
std::atomic<bool> gAborting{false};
// How many more ClearCommError calls find a fresh line error: a noisy line.
std::atomic<int> gErrorsToCome{0};
std::atomic<DWORD> gRepeatedErrors{0};
// A received byte of this value is a character that arrived with these line
// errors (0: none is).
std::atomic<int> gDamagedByte{-1};
std::atomic<DWORD> gDamageErrors{0};
// The reader's buffer of its last read, where a completed read's bytes are.
std::atomic<const unsigned char*> gReaderBuffer{nullptr};

LoggedCall* Log(OsCall call, HANDLE handle, std::initializer_list<uintptr_t> args) {
  int i = gLogCount.fetch_add(1);
  if (i >= kLogCapacity) {
    gLogCount.store(kLogCapacity);
    static LoggedCall overflow;
    return &overflow;
  }
  LoggedCall* entry = &gLog[i];
  *entry = {};
  entry->call = call;
  entry->role = tRole;
  entry->handle = handle;
  entry->tick = GetTickCount64();
  entry->threadId = GetCurrentThreadId();
  int n = 0;
  for (uintptr_t a : args) entry->args[n++] = a;
  return entry;
}

uintptr_t Num(const void* p) { return reinterpret_cast<uintptr_t>(p); }

HANDLE gGate;
HANDLE gAtGate;
std::atomic<bool> gGateUsed{false};

// Counts the call and says whether it must fail (with its error set).
bool Enter(OsCall call) {
  int c = static_cast<int>(call);
  int r = static_cast<int>(tRole);
  gCounts[c].fetch_add(1);
  int n = gRoleCounts[c][r].fetch_add(1) + 1;
  int failures = gFailureCount.load(std::memory_order_acquire);
  for (int i = 0; i < failures; ++i) {
    const Failure& f = gFailures[i];
    if (f.call == call && f.role == tRole && (f.nth == n || (f.onwards && n > f.nth))) {
      SetLastError(f.error);
      return true;
    }
  }
  return false;
}

struct Trampoline {
  LPTHREAD_START_ROUTINE proc;
  LPVOID arg;
  Role role;
};
// Each thread started gets its own, in turn: a search starts a reader per
// port at once, and a thread may start after the next one was asked for.
constexpr int kTrampolines = 256;
Trampoline gTrampolines[kTrampolines];
std::atomic<int> gNextTrampoline{0};

DWORD WINAPI RunAs(LPVOID slot) {
  Trampoline* t = static_cast<Trampoline*>(slot);
  tRole = t->role;
  return t->proc(t->arg);
}

HANDLE WINAPI FakeCreateFileA(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e,
                              DWORD f, HANDLE g) {
  LoggedCall* entry = Log(OsCall::CreateFile, nullptr, {b, c, Num(d), e, f, Num(g)});
  if (a) strncpy(entry->path, a, sizeof entry->path - 1);
  gOpenEntered = true;
  // The slow driver, played: not a synchronisation.
  if (const DWORD delay = gOpenDelayMs.load()) Sleep(delay);
  if (const DWORD delay = gDelayOpenOfMs.load(); delay && a && strcmp(a, gDelayOpenPath) == 0)
    Sleep(delay);
  if (Enter(OsCall::CreateFile)) return INVALID_HANDLE_VALUE;
  if (a && gFailOpenPath[0] && strcmp(a, gFailOpenPath) == 0) {
    SetLastError(gFailOpenError);
    return INVALID_HANDLE_VALUE;
  }
  entry->handle = kRealComOs.CreateFileA(a, b, c, d, e, f, g);
  return entry->handle;
}
BOOL WINAPI FakeGetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
  LoggedCall* entry = Log(OsCall::GetCommTimeouts, h, {Num(t)});
  if (Enter(OsCall::GetCommTimeouts) || !kRealComOs.GetCommTimeouts(h, t)) return FALSE;
  if (gReportTimeouts) *t = gReportedTimeouts;
  entry->timeouts = *t;
  return TRUE;
}
BOOL WINAPI FakeSetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
  LoggedCall* entry = Log(OsCall::SetCommTimeouts, h, {Num(t)});
  if (t) entry->timeouts = *t;
  return Enter(OsCall::SetCommTimeouts) ? FALSE : kRealComOs.SetCommTimeouts(h, t);
}
BOOL WINAPI FakeGetCommState(HANDLE h, LPDCB d) {
  // The second argument is the DCBlength the caller set, before the call.
  LoggedCall* entry = Log(OsCall::GetCommState, h, {Num(d), d ? d->DCBlength : 0u});
  if (Enter(OsCall::GetCommState) || !kRealComOs.GetCommState(h, d)) return FALSE;
  if (gEditState) gEditState(d);
  if (gDeviceAbortOnError) d->fAbortOnError = 1;
  entry->dcb = *d;
  return TRUE;
}
BOOL WINAPI FakeSetCommState(HANDLE h, LPDCB d) {
  LoggedCall* entry = Log(OsCall::SetCommState, h, {Num(d)});
  if (d) entry->dcb = *d;
  if (Enter(OsCall::SetCommState)) return FALSE;
  bool (*refused)(DWORD) = gRefusedSpeed.load();
  if (d && refused && refused(d->BaudRate)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!gEditState && !kRealComOs.SetCommState(h, d)) return FALSE;
  gAbortOnError = d->fAbortOnError != 0 || gAlwaysAbort;
  return TRUE;
}
BOOL WINAPI FakeSetupComm(HANDLE h, DWORD i, DWORD o) {
  Log(OsCall::SetupComm, h, {i, o});
  return Enter(OsCall::SetupComm) ? FALSE : kRealComOs.SetupComm(h, i, o);
}
BOOL WINAPI FakeEscapeCommFunction(HANDLE h, DWORD f) {
  Log(OsCall::EscapeCommFunction, h, {f});
  return Enter(OsCall::EscapeCommFunction) ? FALSE : kRealComOs.EscapeCommFunction(h, f);
}
BOOL WINAPI FakePurgeComm(HANDLE h, DWORD f) {
  Log(OsCall::PurgeComm, h, {f});
  if (Enter(OsCall::PurgeComm)) return FALSE;
  // Wine's PurgeComm leaves pending requests alone; a driver completes them.
  if (gCancelOnlyOnPurge && (f & (PURGE_RXABORT | PURGE_TXABORT))) (void)CancelIoEx(h, nullptr);
  return kRealComOs.PurgeComm(h, f);
}
BOOL WINAPI FakeCloseHandle(HANDLE h) {
  Log(OsCall::CloseHandle, h, {});
  if (Enter(OsCall::CloseHandle)) return FALSE;
  if (h && gFailClose.load() == h) {
    SetLastError(gFailCloseError);
    return FALSE;
  }
  return kRealComOs.CloseHandle(h);
}
HANDLE WINAPI FakeCreateEventA(LPSECURITY_ATTRIBUTES a, BOOL m, BOOL s, LPCSTR n) {
  LoggedCall* entry = Log(OsCall::CreateEvent, nullptr,
                          {Num(a), static_cast<uintptr_t>(m), static_cast<uintptr_t>(s), Num(n)});
  if (Enter(OsCall::CreateEvent)) return nullptr;
  entry->handle = kRealComOs.CreateEventA(a, m, s, n);
  return entry->handle;
}
HANDLE WINAPI FakeCreateThread(LPSECURITY_ATTRIBUTES a, SIZE_T s, LPTHREAD_START_ROUTINE proc,
                               LPVOID arg, DWORD f, LPDWORD id) {
  LoggedCall* entry = Log(OsCall::CreateThread, nullptr,
                          {Num(a), s, reinterpret_cast<uintptr_t>(proc), Num(arg), f, Num(id)});
  if (Enter(OsCall::CreateThread)) return nullptr;
  Role role = proc == ReaderAndStatusProc ? Role::Reader : Role::Writer;
  Trampoline* t = &gTrampolines[gNextTrampoline.fetch_add(1) % kTrampolines];
  t->role = role;
  t->proc = proc;
  t->arg = arg;
  entry->handle = kRealComOs.CreateThread(a, s, RunAs, t, f, id);
  return entry->handle;
}
// While an abort is in force the driver refuses every read and write.
bool Refused() {
  if (!gAborting) return false;
  SetLastError(ERROR_OPERATION_ABORTED);
  return true;
}

// The reader's read has completed with count bytes.  A damaged byte among
// them is a line error; with fAbortOnError on, the driver then aborts the
// read, which fails and still reports its count (serial.sys completes an
// aborted read with the bytes already copied), and the pending write, and
// refuses further requests.  True when the read is to fail.
bool AbortedByLineError(HANDLE h, DWORD count) {
  const unsigned char* bytes = gReaderBuffer.load();
  const int damaged = gDamagedByte.load();
  if (tRole != Role::Reader || damaged < 0 || !bytes) return false;
  bool seen = false;
  for (DWORD i = 0; i < count; ++i) seen = seen || bytes[i] == damaged;
  if (!seen) return false;
  gLatchedErrors |= gDamageErrors.load();
  if (!gAbortOnError) return false;
  gAborting = true;
  (void)kRealComOs.CancelIoEx(h, nullptr);  // the writer's pending write, if any
  SetLastError(ERROR_OPERATION_ABORTED);
  return true;
}

BOOL WINAPI FakeReadFile(HANDLE h, LPVOID b, DWORD n, LPDWORD r, LPOVERLAPPED o) {
  Log(OsCall::ReadFile, h, {Num(b), n, Num(r), Num(o)});
  if (Enter(OsCall::ReadFile) || Refused()) return FALSE;
  if (tRole == Role::Reader) gReaderBuffer = static_cast<const unsigned char*>(b);
  if (!kRealComOs.ReadFile(h, b, n, r, o)) return FALSE;
  return r && AbortedByLineError(h, *r) ? FALSE : TRUE;
}
BOOL WINAPI FakeWriteFile(HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o) {
  Log(OsCall::WriteFile, h, {Num(b), n, Num(w), Num(o)});
  if (Enter(OsCall::WriteFile) || Refused()) return FALSE;
  if (gGate && !gGateUsed.exchange(true)) {
    SetEvent(gAtGate);
    WaitForSingleObject(gGate, INFINITE);
  }
  return kRealComOs.WriteFile(h, b, n, w, o);
}
BOOL WINAPI FakeGetOverlappedResult(HANDLE h, LPOVERLAPPED o, LPDWORD n, BOOL wait) {
  Log(OsCall::GetOverlappedResult, h, {Num(o), Num(n), static_cast<uintptr_t>(wait)});
  if (Enter(OsCall::GetOverlappedResult)) return FALSE;
  BOOL completed = kRealComOs.GetOverlappedResult(h, o, n, wait);
  // The read has ended; during an abort the driver reports it aborted, with
  // the count of the bytes it had copied all the same.
  if (completed && tRole == Role::Reader && (Refused() || (n && AbortedByLineError(h, *n)))) return FALSE;
  return completed;
}
DWORD WINAPI FakeWaitForMultipleObjects(DWORD n, const HANDLE* h, BOOL all, DWORD ms) {
  Log(OsCall::WaitForMultipleObjects, nullptr, {n, Num(h), static_cast<uintptr_t>(all), ms});
  return Enter(OsCall::WaitForMultipleObjects) ? WAIT_FAILED
                                                : kRealComOs.WaitForMultipleObjects(n, h, all, ms);
}

BOOL WINAPI FakeClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT status) {
  Log(OsCall::ClearCommError, h, {Num(errors), Num(status)});
  if (Enter(OsCall::ClearCommError)) return FALSE;
  if (!kRealComOs.ClearCommError(h, errors, status)) return FALSE;
  DWORD latched = gLatchedErrors.exchange(0);
  if (errors && latched) *errors = latched;
  if (gErrorsToCome.fetch_sub(1) > 1) {
    gLatchedErrors = gRepeatedErrors.load();  // the next character is damaged too
  } else {
    gErrorsToCome = 0;
    gAborting = false;
  }
  return TRUE;
}
BOOL WINAPI FakeCancelIoEx(HANDLE h, LPOVERLAPPED o) {
  Log(OsCall::CancelIo, h, {Num(o)});
  if (Enter(OsCall::CancelIo)) return FALSE;
  return gCancelOnlyOnPurge ? TRUE : kRealComOs.CancelIoEx(h, o);
}

const ComOs kFakeComOs = {
    FakeCreateFileA,  FakeGetCommTimeouts, FakeSetCommTimeouts,    FakeGetCommState,
    FakeSetCommState, FakeSetupComm,       FakeEscapeCommFunction, FakePurgeComm,
    FakeCloseHandle,  FakeCreateEventA,    FakeCreateThread,       FakeReadFile,
    FakeWriteFile,    FakeGetOverlappedResult, FakeWaitForMultipleObjects, FakeClearCommError,
    FakeCancelIoEx,
};

void ResetState() {
  for (int c = 0; c < kCalls; ++c) {
    gCounts[c] = 0;
    for (int r = 0; r < kRoles; ++r) gRoleCounts[c][r] = 0;
  }
  gFailureCount = 0;
  gLogCount = 0;
  gEditState = nullptr;
  gReportTimeouts = false;
  gFailClose = nullptr;
  gFailOpenPath[0] = '\0';
  gLatchedErrors = 0;
  gCancelOnlyOnPurge = false;
  gRefusedSpeed = nullptr;
  gOpenDelayMs = 0;
  gOpenEntered = false;
  gDelayOpenOfMs = 0;
  gDeviceAbortOnError = false;
  gAlwaysAbort = false;
  gAbortOnError = false;
  gAborting = false;
  gErrorsToCome = 0;
  gRepeatedErrors = 0;
  gDamagedByte = -1;
  gDamageErrors = 0;
  gReaderBuffer = nullptr;
}

}  // namespace

void InstallFakeOs() {
  ResetState();
  gComOs = kFakeComOs;
}

void RestoreRealOs() {
  gComOs = kRealComOs;
  ResetState();
  if (gGate) {
    SetEvent(gGate);
    CloseHandle(gGate);
    CloseHandle(gAtGate);
    gGate = nullptr;
    gAtGate = nullptr;
  }
  gGateUsed = false;
}

int CallCount(OsCall call) { return gCounts[static_cast<int>(call)]; }

int RoleCallCount(OsCall call, Role role) {
  return gRoleCounts[static_cast<int>(call)][static_cast<int>(role)];
}

int TotalCallCount() {
  int total = 0;
  for (int c = 0; c < kCalls; ++c) total += gCounts[c];
  return total;
}

static void AddFailure(const Failure& failure) {
  int i = gFailureCount.load();
  if (i == kMaxFailures) return;
  gFailures[i] = failure;
  gFailureCount.store(i + 1, std::memory_order_release);
}

void FailCall(OsCall call, Role role, int nth, DWORD error) {
  AddFailure({call, role, nth, error, false});
}

void FailCallsFrom(OsCall call, Role role, int nth, DWORD error) {
  AddFailure({call, role, nth, error, true});
}

void CloseWriteGate() {
  gGateUsed = false;
  gAtGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

void OpenWriteGate() {
  if (gGate) SetEvent(gGate);
}

bool WaitWriterAtGate(DWORD deadlineMs) {
  return gAtGate && WaitForSingleObject(gAtGate, deadlineMs) == WAIT_OBJECT_0;
}

int LoggedCallCount() { return gLogCount.load(); }

const LoggedCall& LoggedCallAt(int i) { return gLog[i]; }

int CountLoggedCalls(int from, OsCall call, HANDLE handle) {
  int count = 0;
  for (int i = from; i < LoggedCallCount(); ++i) {
    if (gLog[i].call == call && (!handle || gLog[i].handle == handle)) ++count;
  }
  return count;
}

void EditReportedState(void (*edit)(DCB*)) { gEditState = edit; }

void ReportTimeouts(const COMMTIMEOUTS& timeouts) {
  gReportedTimeouts = timeouts;
  gReportTimeouts = true;
}

void LatchLineError(DWORD errors, int times) {
  gRepeatedErrors = errors;
  gErrorsToCome = times;
  gLatchedErrors = errors;
  gAborting = true;
}

void ReportAbortOnError() { gDeviceAbortOnError = true; }

void AbortOnLineErrorsAnyway() { gAlwaysAbort = true; }

void ReceiveWithLineError(unsigned char byte, DWORD errors) {
  gDamageErrors = errors;
  gDamagedByte = byte;
}

void CompleteCancelledIoOnlyOnPurge() { gCancelOnlyOnPurge = true; }

void FailCloseOf(HANDLE handle, DWORD error) {
  gFailCloseError = error;
  gFailClose = handle;
}

void FailOpenOf(const char* path, DWORD error) {
  gFailOpenError = error;
  strncpy(gFailOpenPath, path, sizeof gFailOpenPath - 1);
}

void RefuseSpeeds(bool (*refused)(DWORD baud)) { gRefusedSpeed = refused; }

void DelayOpens(DWORD ms) {
  gOpenEntered = false;
  gOpenDelayMs = ms;
}

bool WaitOpenEntered(DWORD deadlineMs) {
  return WaitUntil([] { return gOpenEntered.load(); }, deadlineMs);
}

void DelayOpenOf(const char* path, DWORD ms) {
  strncpy(gDelayOpenPath, path, sizeof gDelayOpenPath - 1);
  gDelayOpenOfMs = ms;
}
