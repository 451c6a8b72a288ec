#include "comport/com_os.h"
#include "comport/comport.h"
#include "comport/port_internal.h"

namespace {

struct Writer {
  ComPort* port;
  unsigned char buffer[TX_ENTRY_SIZE];
  uint32_t length;
  DWORD written;
  OVERLAPPED osWrite;
};

// The write reads this thread's buffer until it has completed: it is waited
// for without a time limit, or cancelled and then waited for.
void CancelWrite(Writer& w) {
  // Fails only when the write has completed already; the wait below covers both.
  (void)gComOs.CancelIoEx(w.port->hDevice, &w.osWrite);
  (void)gComOs.GetOverlappedResult(w.port->hDevice, &w.osWrite, &w.written, TRUE);
}

// Waits for a pending write; true when the thread must end.  A write held
// back by the line (CTS low) is not dropped after COM_WRITE_WAIT_MS: entries
// stay in order and the queue refuses new ones once it is full.
bool AwaitWrite(Writer& w) {
  ComPort* port = w.port;
  HANDLE waits[2] = {w.osWrite.hEvent, port->hStopEvent};
  for (;;) {
    DWORD result = gComOs.WaitForMultipleObjects(2, waits, FALSE, COM_WRITE_WAIT_MS);
    if (result == WAIT_OBJECT_0) {
      // The entry is gone either way; a failed or short write is not retried.
      (void)gComOs.GetOverlappedResult(port->hDevice, &w.osWrite, &w.written, FALSE);
      return false;
    }
    if (result == WAIT_OBJECT_0 + 1) {
      CancelWrite(w);
      return true;
    }
    if (result != WAIT_TIMEOUT) {
      OutputDebugStringA("WaitForSingleObject(osWrite.hEvent)\n");
      CancelWrite(w);
      return StopRequested(port);
    }
  }
}

// Sends one entry; true when the thread must end.
bool Send(Writer& w) {
  ComPort* port = w.port;
  w.written = 0;
  if (gComOs.WriteFile(port->hDevice, w.buffer, w.length, &w.written, &w.osWrite)) {
    return StopRequested(port);
  }
  if (GetLastError() == ERROR_IO_PENDING) return AwaitWrite(w);
  OutputDebugStringA("WriteFile\n");
  return StopRequested(port);
}

// Waits for an entry; true when the thread must end.
bool AwaitEntry(Writer& w, HANDLE wake) {
  ComPort* port = w.port;
  HANDLE waits[2] = {wake, port->hStopEvent};
  DWORD result = gComOs.WaitForMultipleObjects(2, waits, FALSE, COM_POLL_MS);
  if (result == WAIT_OBJECT_0 + 1) return true;
  if (result == WAIT_OBJECT_0 || result == WAIT_TIMEOUT) return false;
  OutputDebugStringA("WaitForSingleObject(ghWriterEvent)\n");
  return PauseUnlessStopped(port);
}

}  // namespace

DWORD WINAPI WriterProc(LPVOID arg) {
  ComPort* port = static_cast<ComPort*>(arg);
  if (!port) return 0;
  HANDLE wake = gComOs.CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!wake) {
    OutputDebugStringA("CreateEvent(writ request event)");
    return 0;
  }
  Writer w = {};
  w.port = port;
  w.osWrite.hEvent = gComOs.CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!w.osWrite.hEvent) {
    OutputDebugStringA("ORVOCOM: Error creating write event");
    (void)gComOs.CloseHandle(wake);  // the thread's own event: nothing to do if it fails
    return 0;
  }
  InterlockedExchangePointer(&port->ghWriterEvent, wake);
  for (;;) {
    bool stop = TxQueueTake(&port->txQueue, w.buffer, &w.length) ? Send(w) : AwaitEntry(w, wake);
    if (stop) break;
  }
  // Producers must stop signalling before the handle value can be reused.
  InterlockedExchangePointer(&port->ghWriterEvent, nullptr);
  (void)gComOs.CloseHandle(w.osWrite.hEvent);  // the thread's own events: nothing to do if it fails
  (void)gComOs.CloseHandle(wake);
  return 0;
}
