// OrvoGPS serial port layer: 16 port slots, COM1 to COM16, opened for
// overlapped I/O, each with a reader and a writer thread.
#ifndef ORVOGPS_COMPORT_H
#define ORVOGPS_COMPORT_H

#include <windows.h>

#include <atomic>
#include <cstdint>

constexpr int32_t COM_PORT_COUNT = 16;
constexpr uint32_t TX_ENTRY_SIZE = 2048;
constexpr int32_t TX_QUEUE_ENTRIES = 10;  // equal indexes mean empty: 9 can wait

// Called on the port's reader thread with each non-empty block read; bytes
// are valid only during the call.
typedef void (*RxHandler)(void* userData, const unsigned char* bytes, int32_t count);

struct TxEntry {
  unsigned char data[TX_ENTRY_SIZE];
  uint32_t length;
};

// One producer (TxQueuePut) and one consumer (the writer thread).
struct TxQueue {
  std::atomic<int32_t> writeIndex;
  std::atomic<int32_t> readIndex;
  TxEntry entries[TX_QUEUE_ENTRIES];
};

// What the reader thread saw since the port was opened: 32-bit counts that
// wrap.  The line-error counts come from ClearCommError, which the reader
// calls after every read.
struct ComPortStats {
  uint32_t reads;            // reads that completed with data
  uint32_t readErrors;       // reads that failed, the close's own cancellation aside
  uint32_t framingErrors;    // CE_FRAME
  uint32_t parityErrors;     // CE_RXPARITY
  uint32_t overrunErrors;    // CE_OVERRUN: the UART lost characters
  uint32_t bufferOverflows;  // CE_RXOVER: the driver's input queue was full
  // 1 once the driver refused ClearCommError with ERROR_INVALID_PARAMETER (as
  // some USB receivers' drivers do on a healthy port): the four line-error
  // counts above are then unknown, not 0.
  uint32_t lineErrorsUnknown;
};

// The same counts as the reader thread keeps them: its only writer.  Relaxed
// atomics let any other thread read them meanwhile.
struct ComPortStatCounters {
  std::atomic<uint32_t> reads;
  std::atomic<uint32_t> readErrors;
  std::atomic<uint32_t> framingErrors;
  std::atomic<uint32_t> parityErrors;
  std::atomic<uint32_t> overrunErrors;
  std::atomic<uint32_t> bufferOverflows;
  std::atomic<uint32_t> lineErrorsUnknown;
};

struct ComPort {
  const char* name;
  // Written by the thread that opens and closes the port, read by others
  // (TxQueuePut, a receiver's statistics).
  std::atomic<int32_t> isOpen;
  HANDLE hDevice;
  void* userData;
  COMMTIMEOUTS savedTimeouts;
  COMMTIMEOUTS timeouts;
  DCB dcb;
  HANDLE hReaderThread;
  DWORD readerThreadId;
  HANDLE hWriterThread;
  DWORD writerThreadId;
  RxHandler rxHandler;
  TxQueue txQueue;
  HANDLE ghWriterEvent;  // published by the writer once created; null otherwise
  // Manual reset; set by the close to end both threads.  It exists while the
  // threads may run: from the open until the close has seen them end.
  HANDLE hStopEvent;
  ComPortStatCounters stats;
  // Failed reads in a row after which the device refused ClearCommError as
  // well, and the event to set when that makes it gone (OrvoCOMWatchDevice).
  std::atomic<int32_t> refusals;
  std::atomic<HANDLE> hGoneEvent;
  // 1 from the moment an open claims the slot until its close has finished
  // (or the open failed): exactly one of two opens of a slot at once wins.
  std::atomic<int32_t> claimed;
};

// Names the slots and marks those closed that no open claims; a slot that is
// open, being opened or being closed is left as it is.
void OrvoCOMInitPorts();
ComPort* OrvoCOMGetPort(int32_t index);
int32_t OrvoCOMOpenPort(int32_t index, uint32_t baudRate, uint32_t byteSize, uint32_t parity,
                        uint32_t stopBits, int32_t flowControl, void* userData,
                        ComPort** portOut, RxHandler rxHandler, uint32_t* errorOut);
int32_t OrvoCOMClosePort(ComPort* port);
// 1 while a close of the port (or a failed open) waits for its threads to
// end, else 0.  Meanwhile an open of the slot is refused with 4.
int32_t OrvoCOMIsPortClosing(const ComPort* port);
// Copies the port's counts into stats; any thread may call it, also after the
// close.  Returns 0, or 1 when either argument is null.
int32_t OrvoCOMGetStats(const ComPort* port, ComPortStats* stats);

// 1 once two reads in a row have failed on the port and the device refused
// ClearCommError after each: it has gone, as an unplugged USB adapter does
// (a line error fails a read, but ClearCommError then answers).  A refusal
// with ERROR_INVALID_PARAMETER does not count: drivers that never support
// the call give it on a live port.  0 otherwise,
// and again after a read that delivers.
int32_t OrvoCOMIsDeviceGone(const ComPort* port);
// The reader of the open port sets goneEvent (null: none) when it finds the
// device gone.  Call it after the open, then look at OrvoCOMIsDeviceGone once,
// since the reader may have found it gone before.
void OrvoCOMWatchDevice(ComPort* port, HANDLE goneEvent);

// Sets the open port's speed, the other line settings as they are, and drops
// what the driver holds from before.  Returns 0, 1 for a null or closed port
// or a null errorOut, or 10 when SetCommState failed (the error through
// errorOut; the port keeps its speed).  Any thread may call it while the
// port is open; its reader keeps reading.
int32_t OrvoCOMSetBaudRate(ComPort* port, uint32_t baudRate, uint32_t* errorOut);

// The serial ports Windows lists (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) that
// fit the table: bit i of *portsOut is set when COM<i+1> is listed.  Returns
// 0, or 1 when portsOut is null or the list cannot be read (*portsOut 0).
int32_t OrvoCOMListPorts(uint32_t* portsOut);

DWORD WINAPI ReaderAndStatusProc(LPVOID port);
DWORD WINAPI WriterProc(LPVOID port);

// Results of TxQueuePut.
enum : int32_t {
  TX_QUEUED = 0,
  TX_REFUSED_INVALID = 1,  // null port or data, closed port, or more than 2048 bytes
  TX_REFUSED_FULL = 2,     // 9 entries already wait
};

// Producer side of the port's queue; call it from the thread that opens and
// closes the port.  Wakes the writer when the writer of this open is running.
int32_t TxQueuePut(ComPort* port, const void* data, uint32_t length);
void TxQueueReset(TxQueue* queue);
// Returns 1 and fills buffer (2048 bytes) and length with the oldest entry,
// or 0 when the queue is empty.  Writer thread only.
int32_t TxQueueTake(TxQueue* queue, unsigned char* buffer, uint32_t* lengthOut);

#endif
