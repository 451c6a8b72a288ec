#include "comport/com_os.h"
#include "comport/comport.h"
#include "comport/port_internal.h"

int32_t OrvoCOMClosePort(ComPort* port) {
  if (!port || !port->isOpen) return 1;
  port->isOpen = 0;

  (void)SetEvent(port->hStopEvent);  // the open made it; setting a valid event does not fail
  HANDLE threads[2] = {port->hReaderThread, port->hWriterThread};
  WaitForThreadsServingMessages(threads, 2, port->hDevice);
  (void)gComOs.CloseHandle(port->hReaderThread);  // handles of our own, valid until here
  (void)gComOs.CloseHandle(port->hWriterThread);
  (void)gComOs.CloseHandle(port->hStopEvent);
  port->hReaderThread = nullptr;
  port->hWriterThread = nullptr;
  port->hStopEvent = nullptr;

  // The device is going away: a failure in these three changes nothing.
  (void)gComOs.EscapeCommFunction(port->hDevice, CLRDTR);
  (void)gComOs.SetCommTimeouts(port->hDevice, &port->savedTimeouts);
  (void)gComOs.PurgeComm(port->hDevice,
                         PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  const int32_t result = gComOs.CloseHandle(port->hDevice) ? 0 : 1;
  port->claimed.store(0, std::memory_order_release);
  return result;
}

int32_t OrvoCOMIsPortClosing(const ComPort* port) {
  return port != nullptr && !port->isOpen && port->hStopEvent != nullptr ? 1 : 0;
}
