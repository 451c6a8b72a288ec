#include "comport/com_os.h"
#include "comport/comport.h"
#include "comport/port_internal.h"

namespace {

struct Reader {
  ComPort* port;
  unsigned char buffer[COM_QUEUE_SIZE];
  OVERLAPPED os;
  DWORD count;
  bool pending;
  // Reads that ended without data in a row: a vanished device completes
  // every read at once, empty or failed, and must not cost a busy loop.
  int fruitless;
};

// The reader is the only writer of the port's counts.
void CountUp(std::atomic<uint32_t>& count) {
  count.store(count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// Reads and clears the driver's line-error flags and counts them; true when
// there was one.  Called after every read, good or failed: the open turns
// fAbortOnError off, so a damaged character arrives as data (and fails its
// sentence's checksum) and only this call tells that it was damaged.
bool ClearLineErrors(Reader& r) {
  ComPortStatCounters& stats = r.port->stats;
  DWORD errors = 0;
  if (!gComOs.ClearCommError(r.port->hDevice, &errors, nullptr)) {
    // Some USB receivers' drivers refuse the call on a healthy port with
    // ERROR_INVALID_PARAMETER: their line errors are unknown, and the refusal
    // says nothing about the device being there.
    if (GetLastError() == ERROR_INVALID_PARAMETER) {
      stats.lineErrorsUnknown.store(1, std::memory_order_relaxed);
      return false;
    }
    // A device that has gone refuses it with another error.  A read that
    // brought nothing, and a device that will not even say why.
    if (r.count == 0) NoteDeviceRefusal(r.port);
    return false;
  }
  if (errors & CE_FRAME) CountUp(stats.framingErrors);
  if (errors & CE_RXPARITY) CountUp(stats.parityErrors);
  if (errors & CE_OVERRUN) CountUp(stats.overrunErrors);
  if (errors & CE_RXOVER) CountUp(stats.bufferOverflows);
  return (errors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_BREAK)) != 0;
}

void Deliver(Reader& r) {
  ComPort* port = r.port;
  if (port->rxHandler) port->rxHandler(port->userData, r.buffer, static_cast<int32_t>(r.count));
}

// Called after every completed read; true when the thread must end.
bool AfterRead(Reader& r, bool ok) {
  ComPort* port = r.port;
  // A read that failed (cancelled or aborted by the driver) still reports
  // the bytes it had copied into the buffer: they are data like any other.
  const bool data = r.count > 0;
  if (data) {
    r.fruitless = 0;
    port->refusals.store(0, std::memory_order_relaxed);
    CountUp(port->stats.reads);
    Deliver(r);
  }
  if (!ok) CountUp(port->stats.readErrors);
  const bool lineError = ClearLineErrors(r);
  if (data) return StopRequested(port);
  // A driver that fails a read for a line error, fAbortOnError off or not,
  // accepts the next once the error is cleared: read again at once.  Each
  // such failure needs a new damaged character, so this cannot spin.
  if (lineError) return StopRequested(port);
  // One empty or failed read is taken as it comes; the next read follows at
  // once.  From the second in a row on, the device is gone or broken.
  if (++r.fruitless < 2) return StopRequested(port);
  return PauseUnlessStopped(port);
}

// Issues a read; true when the thread must end.
bool StartRead(Reader& r) {
  ComPort* port = r.port;
  r.count = 0;
  if (gComOs.ReadFile(port->hDevice, r.buffer, sizeof r.buffer, &r.count, &r.os)) {
    return AfterRead(r, true);
  }
  if (GetLastError() == ERROR_IO_PENDING) {
    r.pending = true;
    return false;
  }
  OutputDebugStringA("ReadFile in ReaderAndStatusProc");
  if (StopRequested(port)) return true;
  CountUp(port->stats.readErrors);
  // A device that refuses reads at once (one unplugged, say) is asked again
  // only after a pause; one that refused for a line error at once.
  if (ClearLineErrors(r)) return false;
  return PauseUnlessStopped(port);
}

// Waits for the pending read; true when the thread must end.
bool AwaitRead(Reader& r) {
  ComPort* port = r.port;
  HANDLE waits[2] = {r.os.hEvent, port->hStopEvent};
  DWORD result = gComOs.WaitForMultipleObjects(2, waits, FALSE, COM_POLL_MS);
  if (result == WAIT_OBJECT_0 + 1) return true;
  if (result == WAIT_TIMEOUT) return false;
  if (result != WAIT_OBJECT_0) {
    OutputDebugStringA("WaitForSingleObject(Reader handles)");
    return PauseUnlessStopped(port);
  }
  r.pending = false;
  r.count = 0;
  if (gComOs.GetOverlappedResult(port->hDevice, &r.os, &r.count, FALSE)) return AfterRead(r, true);
  if (GetLastError() != ERROR_OPERATION_ABORTED) {
    OutputDebugStringA("GetOverlappedResult (in Reader)");
  }
  // A read ended by the close ends the thread; the close drops what it had.
  if (StopRequested(port)) return true;
  return AfterRead(r, false);
}

// The read writes into this thread's buffer until it has completed, so it
// is cancelled and waited for before the thread ends.
void FinishPendingRead(Reader& r) {
  if (!r.pending) return;
  // Fails only when the read has completed already; the wait below covers both.
  (void)gComOs.CancelIoEx(r.port->hDevice, &r.os);
  DWORD ignored;
  (void)gComOs.GetOverlappedResult(r.port->hDevice, &r.os, &ignored, TRUE);
  r.pending = false;
}

}  // namespace

DWORD WINAPI ReaderAndStatusProc(LPVOID arg) {
  ComPort* port = static_cast<ComPort*>(arg);
  if (!port) return 0;
  Reader r = {};
  r.port = port;
  r.os.hEvent = gComOs.CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!r.os.hEvent) {
    OutputDebugStringA("ORVOCOM: Error creating read event");
    return 0;
  }
  for (;;) {
    bool stop = r.pending ? AwaitRead(r) : StartRead(r);
    if (stop) break;
  }
  FinishPendingRead(r);
  (void)gComOs.CloseHandle(r.os.hEvent);  // nothing else can fail it: the thread owns the event
  return 0;
}
