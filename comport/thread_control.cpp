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

void WaitForThreadsServingMessages(HANDLE* threads, DWORD count) {
  while (count > 0) {
    DWORD result = MsgWaitForMultipleObjects(count, threads, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result < WAIT_OBJECT_0 + count) {
      threads[result - WAIT_OBJECT_0] = threads[count - 1];
      --count;
    } else if (result == WAIT_OBJECT_0 + count) {
      MSG msg;
      // Serves the sent messages; nothing posted is removed from the queue.
      (void)PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    } else {
      // Only invalid handles make the wait fail; the threads still have to end
      // before the caller may close what they use.
      (void)WaitForMultipleObjects(count, threads, TRUE, INFINITE);
      return;
    }
  }
}
