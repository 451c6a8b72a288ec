// Shared between the receiver's open and close, its link thread and the
// port search (Windows only).
#ifndef ORVOGPS_RECEIVER_INTERNAL_H
#define ORVOGPS_RECEIVER_INTERNAL_H

#include <cstdint>

#include "comport/comport.h"
#include "nmea/receiver.h"

// OrvoCOMOpenPort's code for a SetCommState that failed: the driver refused
// the speed.
constexpr int32_t COM_SPEED_REFUSED = 10;

// Opens portIndex at baudRate with a receiver's other line settings (8-N-1,
// CTS output flow control with RTS and DTR held on); OrvoCOMOpenPort's result.
int32_t OpenReceiverPort(int32_t portIndex, uint32_t baudRate, void* userData, ComPort** portOut,
                         RxHandler handler, uint32_t* errorOut);
// The port OrvoGPSGetStats and OrvoGPSGetLink read on any thread: the link
// thread sets it as it opens and closes the receiver's port.
void PublishReceiverPort(ComPort* port);
// "OrvoCOMOpenPort rc=0x%x err=0x%x\n" to the debugger output.
void ReportOpenFailure(int32_t code, uint32_t error);

// The speed last found on a port in this process (0: none yet).
uint32_t LastFoundBaud(int32_t portIndex);
void RememberFoundBaud(int32_t portIndex, uint32_t baudRate);

// The link of a receiver opened with options: its thread owns the port from
// the open to the close.
int32_t LinkOpen(int32_t portIndex, const GpsOpenOptions* options, GpsContext* context);
// Ends the link thread (serving messages sent to this thread meanwhile); it
// closes the port.  Does nothing without a link.
void LinkClose();
// True while LinkClose waits for the thread.
bool LinkClosing();
// The port a link holds or waits for, or -1.
int32_t LinkPortIndex();
// Stores the link's state; false when there is no link.
bool LinkReport(GpsLink* link);

#endif
