#include <initializer_list>

#include "comport/com_os.h"
#include "comport/comport.h"
#include "comport/port_internal.h"

// The bare names reach only COM1 to COM9 on Windows; the device form works
// for every number.
static const char* const kDevicePaths[COM_PORT_COUNT] = {
    "\\\\.\\COM1",  "\\\\.\\COM2",  "\\\\.\\COM3",  "\\\\.\\COM4",
    "\\\\.\\COM5",  "\\\\.\\COM6",  "\\\\.\\COM7",  "\\\\.\\COM8",
    "\\\\.\\COM9",  "\\\\.\\COM10", "\\\\.\\COM11", "\\\\.\\COM12",
    "\\\\.\\COM13", "\\\\.\\COM14", "\\\\.\\COM15", "\\\\.\\COM16",
};

enum : int32_t {
  OPEN_OK = 0,
  OPEN_BAD_ARGUMENT = 1,
  OPEN_DEVICE = 2,
  OPEN_ALREADY_OPEN = 4,
  OPEN_TIMEOUTS = 8,
  OPEN_SET_STATE = 10,
  OPEN_GET_STATE = 11,
  OPEN_DTR = 12,
  OPEN_QUEUES = 13,
  OPEN_THREADS = 14,
};

enum : int32_t { FLOW_CTS = 1, FLOW_XONXOFF = 2 };

static void ApplyLineSettings(DCB* dcb, uint32_t baudRate, uint32_t byteSize, uint32_t parity,
                              uint32_t stopBits, int32_t flowControl) {
  dcb->BaudRate = baudRate;
  dcb->ByteSize = static_cast<BYTE>(byteSize);
  dcb->Parity = static_cast<BYTE>(parity);
  dcb->StopBits = static_cast<BYTE>(stopBits);
  dcb->EvtChar = 0;
  dcb->fParity = 1;
  dcb->fOutxDsrFlow = 0;
  dcb->fDtrControl = DTR_CONTROL_ENABLE;
  dcb->fDsrSensitivity = 0;
  dcb->fTXContinueOnXoff = 1;
  dcb->fErrorChar = 0;
  dcb->fRtsControl = RTS_CONTROL_ENABLE;
  // A byte layer passes every byte on, NUL included.
  dcb->fNull = 0;
  // With fAbortOnError set (drivers keep what an earlier program left), a
  // framing, parity or overrun error cancels the pending read, the good bytes
  // it had gathered with it, and the pending write, and fails every read and
  // write until ClearCommError.  Off, a damaged character simply fails its
  // sentence's checksum; the reader still counts the error.
  dcb->fAbortOnError = 0;
  if (flowControl == FLOW_CTS) {
    dcb->fOutxCtsFlow = 1;
    dcb->fOutX = 0;
    dcb->fInX = 0;
  } else if (flowControl == FLOW_XONXOFF) {
    dcb->fOutxCtsFlow = 0;
    dcb->fOutX = 1;
    dcb->fInX = 1;
  }
}

// A read waits for its first byte without limit and ends 1 ms after the last.
static void SetFixedTimeouts(COMMTIMEOUTS* timeouts) {
  timeouts->ReadIntervalTimeout = 1;
  timeouts->ReadTotalTimeoutMultiplier = 0;
  timeouts->ReadTotalTimeoutConstant = 0;
  timeouts->WriteTotalTimeoutMultiplier = 0;
  timeouts->WriteTotalTimeoutConstant = 0;
}

// Configures the open device; returns the failed step's code or OPEN_OK.
static int32_t Configure(ComPort* port, uint32_t baudRate, uint32_t byteSize, uint32_t parity,
                         uint32_t stopBits, int32_t flowControl) {
  if (!gComOs.GetCommTimeouts(port->hDevice, &port->savedTimeouts)) return OPEN_TIMEOUTS;
  // GetCommState wants to be told the size of the structure it fills.
  port->dcb = DCB{};
  port->dcb.DCBlength = sizeof(DCB);
  if (!gComOs.GetCommState(port->hDevice, &port->dcb)) return OPEN_GET_STATE;
  ApplyLineSettings(&port->dcb, baudRate, byteSize, parity, stopBits, flowControl);
  if (!gComOs.SetCommState(port->hDevice, &port->dcb)) return OPEN_SET_STATE;
  SetFixedTimeouts(&port->timeouts);
  if (!gComOs.SetCommTimeouts(port->hDevice, &port->timeouts)) return OPEN_TIMEOUTS;
  if (!gComOs.SetupComm(port->hDevice, COM_QUEUE_SIZE, COM_QUEUE_SIZE)) return OPEN_QUEUES;
  if (!gComOs.EscapeCommFunction(port->hDevice, SETDTR)) return OPEN_DTR;
  return OPEN_OK;
}

static void ClearStats(ComPortStatCounters* stats) {
  for (std::atomic<uint32_t>* count : {&stats->reads, &stats->readErrors, &stats->framingErrors,
                                       &stats->parityErrors, &stats->overrunErrors,
                                       &stats->bufferOverflows, &stats->lineErrorsUnknown})
    count->store(0, std::memory_order_relaxed);
}

// Starts the stop event and both threads; returns OPEN_OK or OPEN_THREADS
// with nothing of its own left behind.
static int32_t StartThreads(ComPort* port) {
  port->ghWriterEvent = nullptr;
  port->hStopEvent = gComOs.CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!port->hStopEvent) return OPEN_THREADS;
  port->hReaderThread =
      gComOs.CreateThread(nullptr, 0, ReaderAndStatusProc, port, 0, &port->readerThreadId);
  if (port->hReaderThread) {
    port->hWriterThread =
        gComOs.CreateThread(nullptr, 0, WriterProc, port, 0, &port->writerThreadId);
    if (port->hWriterThread) return OPEN_OK;
  }
  DWORD error = GetLastError();
  if (port->hReaderThread) {
    (void)SetEvent(port->hStopEvent);  // cannot fail on the event just made
    WaitForThreadsServingMessages(&port->hReaderThread, 1, port->hDevice);
    (void)gComOs.CloseHandle(port->hReaderThread);  // a handle of our own, valid
    port->hReaderThread = nullptr;
  }
  (void)gComOs.CloseHandle(port->hStopEvent);
  port->hStopEvent = nullptr;
  SetLastError(error);
  return OPEN_THREADS;
}

static int32_t OpenClaimed(ComPort* port, int32_t index, uint32_t baudRate, uint32_t byteSize,
                           uint32_t parity, uint32_t stopBits, int32_t flowControl, void* userData,
                           ComPort** portOut, RxHandler rxHandler, uint32_t* errorOut);

int32_t OrvoCOMOpenPort(int32_t index, uint32_t baudRate, uint32_t byteSize, uint32_t parity,
                        uint32_t stopBits, int32_t flowControl, void* userData,
                        ComPort** portOut, RxHandler rxHandler, uint32_t* errorOut) {
  if (index < 0 || index >= COM_PORT_COUNT) return OPEN_BAD_ARGUMENT;
  ComPort* port = OrvoCOMGetPort(index);
  // A close still waiting for the slot's threads counts as open: a message it
  // serves meanwhile may try to open the slot again.
  if (port->isOpen || OrvoCOMIsPortClosing(port)) return OPEN_ALREADY_OPEN;
  // Two threads may open one slot at once (a port search and a receiver's
  // open): the one that claims it goes on, the other is refused as if the
  // slot were open, before either touches its fields.
  if (port->claimed.exchange(1, std::memory_order_acq_rel)) return OPEN_ALREADY_OPEN;
  const int32_t code = OpenClaimed(port, index, baudRate, byteSize, parity, stopBits, flowControl,
                                   userData, portOut, rxHandler, errorOut);
  if (code != OPEN_OK) port->claimed.store(0, std::memory_order_release);
  return code;
}

static int32_t OpenClaimed(ComPort* port, int32_t index, uint32_t baudRate, uint32_t byteSize,
                           uint32_t parity, uint32_t stopBits, int32_t flowControl, void* userData,
                           ComPort** portOut, RxHandler rxHandler, uint32_t* errorOut) {
  if (!errorOut || !portOut) return OPEN_BAD_ARGUMENT;

  port->hDevice = gComOs.CreateFileA(kDevicePaths[index], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
  if (port->hDevice == INVALID_HANDLE_VALUE) {
    *errorOut = GetLastError();
    port->hDevice = nullptr;
    return OPEN_DEVICE;
  }
  int32_t code = Configure(port, baudRate, byteSize, parity, stopBits, flowControl);
  if (code == OPEN_OK) {
    port->rxHandler = rxHandler;
    port->userData = userData;
    TxQueueReset(&port->txQueue);
    ClearStats(&port->stats);
    port->refusals.store(0, std::memory_order_relaxed);
    port->hGoneEvent.store(nullptr, std::memory_order_relaxed);
    code = StartThreads(port);
  }
  if (code != OPEN_OK) {
    // The failed call's error, before the cleanup can overwrite it.
    DWORD error = GetLastError();
    (void)gComOs.CloseHandle(port->hDevice);  // nothing more to do for a handle that will not close
    port->hDevice = nullptr;
    *errorOut = error;
    return code;
  }
  port->isOpen = 1;
  *portOut = port;
  return OPEN_OK;
}
