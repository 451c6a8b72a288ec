#include "comport/com_os.h"
#include "comport/comport.h"
#include "comport/port_internal.h"

int32_t OrvoCOMSetBaudRate(ComPort* port, uint32_t baudRate, uint32_t* errorOut) {
  if (!port || !port->isOpen || !errorOut) return 1;
  DCB dcb = port->dcb;
  dcb.BaudRate = baudRate;
  if (!gComOs.SetCommState(port->hDevice, &dcb)) {
    *errorOut = GetLastError();
    return 10;
  }
  port->dcb = dcb;
  // What waits in the driver came at the old speed: garbage at the new one.
  // A purge that fails leaves it to the receiver's framer to skip.
  (void)gComOs.PurgeComm(port->hDevice, PURGE_RXCLEAR);
  return 0;
}
