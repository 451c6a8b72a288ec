// Shared between the open, the close and the two threads of a port.
#ifndef ORVOGPS_PORT_INTERNAL_H
#define ORVOGPS_PORT_INTERNAL_H

#include <windows.h>

#include "comport/comport.h"

constexpr DWORD COM_QUEUE_SIZE = 2048;
// How long a thread waits before it looks at its queue or its device again.
constexpr DWORD COM_POLL_MS = 500;
constexpr DWORD COM_WRITE_WAIT_MS = 1000;
// How long the close waits for the threads before it aborts the device's I/O.
constexpr DWORD COM_PURGE_AFTER_MS = 1000;

// Reader thread: a failed read after which ClearCommError failed too.
void NoteDeviceRefusal(ComPort* port);

// 1 once the close has asked the port's threads to end.
bool StopRequested(const ComPort* port);

// Waits COM_POLL_MS, or less when the close asks the threads to end; returns
// true in that case.
bool PauseUnlessStopped(const ComPort* port);

// Waits until every thread in threads has ended, serving messages sent to
// this thread meanwhile: a receive handler may be blocked in a SendMessage to
// a window of the closing thread, and it must be able to finish.  When they
// have not ended after COM_PURGE_AFTER_MS, aborts the device's outstanding reads
// and writes once and waits on.
void WaitForThreadsServingMessages(HANDLE* threads, DWORD count, HANDLE device);

#endif
