// The receiver's open and close on a serial port (Windows only).
#include <atomic>
#include <cstdio>

#include "comport/comport.h"
#include "nmea/receiver.h"

// A GPS receiver's line: 4800 baud, 8 data bits, no parity, one stop bit,
// CTS output flow control with RTS and DTR held on.
constexpr uint32_t GPS_BAUD_RATE = 4800;
constexpr uint32_t GPS_BYTE_SIZE = 8;
constexpr uint32_t GPS_PARITY = NOPARITY;
constexpr uint32_t GPS_STOP_BITS = ONESTOPBIT;
constexpr int32_t GPS_FLOW_CONTROL = 1;

// The port of the last successful open, until the close forgets it.  An
// open while a receiver is still open closes it first: clearing the one
// context and the port table under a running reader thread would leave that
// thread feeding the new context and holding its device.  Written by the
// thread that opens and closes, read by OrvoGPSGetStats on any thread.
static std::atomic<ComPort*> gReceiverPort{nullptr};

// The serial layer's code for a slot that is open, or whose close has not
// finished.
constexpr int32_t COM_PORT_IN_USE = 4;

static void ReportOpenFailure(int32_t code, uint32_t error) {
  char message[100] = {};
  snprintf(message, sizeof message, "OrvoCOMOpenPort rc=0x%x err=0x%x\n",
           static_cast<unsigned>(code), static_cast<unsigned>(error));
  OutputDebugStringA(message);
}

int32_t OrvoGPSOpen(int32_t portIndex, GpsCallback callback, GpsContext** contextOut) {
  // Without somewhere to put the context the caller could never close the
  // port: refuse before anything is opened or cleared.
  if (contextOut == nullptr) return 1;
  // Called from a message that a close serves while it waits for the port's
  // threads: the reader may still be feeding the one context, which must
  // not be cleared under it.
  if (OrvoCOMIsPortClosing(gReceiverPort)) {
    ReportOpenFailure(COM_PORT_IN_USE, 0);
    return 1;
  }
  (void)OrvoCOMClosePort(gReceiverPort);  // 1 when it is closed already: nothing to do
  gReceiverPort = nullptr;
  GpsContext* context = GpsContextInit(callback);
  OrvoCOMInitPorts();
  // The serial layer stores no error for a bad index, so it must read as 0.
  uint32_t error = 0;
  int32_t code = OrvoCOMOpenPort(portIndex, GPS_BAUD_RATE, GPS_BYTE_SIZE, GPS_PARITY, GPS_STOP_BITS,
                                 GPS_FLOW_CONTROL, context, &context->port, GpsRxBytes, &error);
  if (code != 0) {
    ReportOpenFailure(code, error);
    return 1;
  }
  gReceiverPort = context->port;
  *contextOut = context;
  return 0;
}

int32_t OrvoGPSClose(GpsContext* context) {
  if (!context) return 3;
  ComPort* port = context->port;
  // An already closed or never opened port is passed over by the serial layer.
  (void)OrvoCOMClosePort(port);
  // Forgotten once closed, so that neither a second close nor the next open
  // closes the slot again after something else has opened it.  A close
  // called from a message that the port's own close serves leaves it to
  // that close, which is not done yet.
  if (!OrvoCOMIsPortClosing(port)) {
    context->port = nullptr;
    if (gReceiverPort == port) gReceiverPort = nullptr;
  }
  return 0;
}

int32_t OrvoGPSGetStats(const GpsContext* context, GpsStats* link, ComPortStats* line) {
  // The context's own port field is the opening thread's: another thread
  // reads the receiver's port once, from the atomic.
  const ComPort* port = gReceiverPort.load();
  if (!context || !port || !port->isOpen) return 1;
  // Neither fails for the arguments they get here.
  if (link) (void)GpsGetStats(context, link);
  if (line) (void)OrvoCOMGetStats(port, line);
  return 0;
}
