#include "comport/com_os.h"
#include "comport/port_internal.h"

bool StopRequested(const ComPort* port) {
  return WaitForSingleObject(port->hStopEvent, 0) == WAIT_OBJECT_0;
}

bool PauseUnlessStopped(const ComPort* port) {
  DWORD result = WaitForSingleObject(port->hStopEvent, COM_POLL_MS);
  if (result == WAIT_OBJECT_0) return true;
  // A wait that fails at once would make the caller's retry a busy loop.
  if (result != WAIT_TIMEOUT) Sleep(COM_POLL_MS);
  return false;
}

void WaitForThreadsServingMessages(HANDLE* threads, DWORD count, HANDLE device) {
  const ULONGLONG purgeAt = GetTickCount64() + COM_PURGE_AFTER_MS;
  bool purged = false;
  while (count > 0) {
    MSG msg;
    // Serves the sent messages that wait already: once the caller has looked
    // at its queue, a wait no longer counts them as new input.  Nothing
    // posted is removed from the queue.
    (void)PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD timeout = INFINITE;
    if (!purged) {
      const ULONGLONG now = GetTickCount64();
      timeout = now >= purgeAt ? 0 : static_cast<DWORD>(purgeAt - now);
    }
    DWORD result =
        MsgWaitForMultipleObjectsEx(count, threads, timeout, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    if (result < WAIT_OBJECT_0 + count) {
      threads[result - WAIT_OBJECT_0] = threads[count - 1];
      --count;
    } else if (result == WAIT_TIMEOUT) {
      // A thread still waits for its own cancelled read or write: a driver
      // that never completes a cancelled request (seen after an unplug)
      // would keep it there for ever.  Nothing to do if the purge fails.
      (void)gComOs.PurgeComm(device, PURGE_RXABORT | PURGE_TXABORT);
      purged = true;
    } else if (result != WAIT_OBJECT_0 + count) {
      // Only invalid handles make the wait fail; the threads still have to end
      // before the caller may close what they use.
      (void)WaitForMultipleObjects(count, threads, TRUE, INFINITE);
      return;
    }
  }
}
