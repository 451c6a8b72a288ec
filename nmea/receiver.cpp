// The receiver's open and close on a serial port (Windows only).
#include <atomic>
#include <cstdio>

#include <atomic>

#include "comport/comport.h"
#include "nmea/receiver.h"
#include "nmea/line_judge.h"
#include "nmea/nmea_internal.h"
#include "nmea/receiver_internal.h"

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

void PublishReceiverPort(ComPort* port) { gReceiverPort.store(port); }

// The serial layer's code for a slot that is open, or whose close has not
// finished.
constexpr int32_t COM_PORT_IN_USE = 4;

void ReportOpenFailure(int32_t code, uint32_t error) {
  char message[100] = {};
  snprintf(message, sizeof message, "OrvoCOMOpenPort rc=0x%x err=0x%x\n",
           static_cast<unsigned>(code), static_cast<unsigned>(error));
  OutputDebugStringA(message);
}

int32_t OpenReceiverPort(int32_t portIndex, uint32_t baudRate, void* userData, ComPort** portOut,
                         RxHandler handler, uint32_t* errorOut) {
  return OrvoCOMOpenPort(portIndex, baudRate, GPS_BYTE_SIZE, GPS_PARITY, GPS_STOP_BITS,
                         GPS_FLOW_CONTROL, userData, portOut, handler, errorOut);
}

// Written when a speed is taken, by the receiver's link or a port search.
static std::atomic<uint32_t> gFoundBaud[COM_PORT_COUNT];

uint32_t LastFoundBaud(int32_t portIndex) {
  return portIndex >= 0 && portIndex < COM_PORT_COUNT
             ? gFoundBaud[portIndex].load(std::memory_order_relaxed)
             : 0;
}

void RememberFoundBaud(int32_t portIndex, uint32_t baudRate) {
  if (portIndex >= 0 && portIndex < COM_PORT_COUNT)
    gFoundBaud[portIndex].store(baudRate, std::memory_order_relaxed);
}

// The open from a message that a close serves: refused, as the reader of the
// receiver being closed may still feed the one context.
static bool RefuseOpenInsideClose() {
  if (!LinkClosing() && !OrvoCOMIsPortClosing(gReceiverPort)) return false;
  ReportOpenFailure(COM_PORT_IN_USE, 0);
  return true;
}

// Open and close wait for the port's reader thread to end; called from a
// callback, which runs on that thread, they would wait for themselves.
static bool RefuseInsideCallback(const char* function) {
  if (!GpsFeedingOnThisThread()) return false;
  char message[100] = {};
  snprintf(message, sizeof message, "%s: called from a receiver callback, refused\n", function);
  OutputDebugStringA(message);
  return true;
}

static void ReportBadOptions(const GpsOpenOptions* options) {
  char message[100] = {};
  if (options->reconnect != 0 && options->reconnect != 1) {
    snprintf(message, sizeof message, "OrvoGPSOpenWith: reconnect must be 0 or 1, not %d\n",
             static_cast<int>(options->reconnect));
  } else {
    snprintf(message, sizeof message, "OrvoGPSOpenWith: baud rate %u is not supported\n",
             static_cast<unsigned>(options->baudRate));
  }
  OutputDebugStringA(message);
}

int32_t OrvoGPSOpenWith(int32_t portIndex, const GpsOpenOptions* options, GpsCallback callback,
                        GpsContext** contextOut) {
  if (RefuseInsideCallback("OrvoGPSOpenWith")) return GPS_OPEN_FAILED;
  if (options == nullptr) return OrvoGPSOpen(portIndex, callback, contextOut);
  if ((options->baudRate != GPS_BAUD_AUTO && !IsLineSpeed(options->baudRate)) ||
      (options->reconnect != 0 && options->reconnect != 1)) {
    ReportBadOptions(options);
    return GPS_OPEN_BAD_OPTIONS;
  }
  if (contextOut == nullptr) return GPS_OPEN_FAILED;
  if (RefuseOpenInsideClose()) return GPS_OPEN_FAILED;
  LinkClose();
  (void)OrvoCOMClosePort(gReceiverPort);  // 1 when it is closed already: nothing to do
  gReceiverPort = nullptr;
  GpsContext* context = GpsContextInit(callback);
  if (LinkOpen(portIndex, options, context) != 0) return GPS_OPEN_FAILED;
  *contextOut = context;
  return GPS_OPEN_OK;
}

int32_t OrvoGPSOpen(int32_t portIndex, GpsCallback callback, GpsContext** contextOut) {
  // Without somewhere to put the context the caller could never close the
  // port: refuse before anything is opened or cleared.
  if (contextOut == nullptr) return 1;
  if (RefuseInsideCallback("OrvoGPSOpen")) return 1;
  // Called from a message that a close serves while it waits for the port's
  // threads: the reader may still be feeding the one context, which must
  // not be cleared under it.
  if (RefuseOpenInsideClose()) return 1;
  LinkClose();
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
  if (!context) return GPS_CLOSE_NULL_CONTEXT;
  if (RefuseInsideCallback("OrvoGPSClose")) return GPS_CLOSE_IN_CALLBACK;
  // A close from a message that the link's own close serves leaves it to
  // that close.
  if (LinkClosing()) return 0;
  LinkClose();
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

int32_t OrvoGPSGetLink(const GpsContext* context, GpsLink* link) {
  if (!context || !link) return 1;
  if (LinkReport(link)) return 0;
  // A receiver of OrvoGPSOpen: 4800 baud, nothing searched or watched.
  const ComPort* port = gReceiverPort.load();
  *link = GpsLink{GPS_LINK_CLOSED, -1, 0, 0};
  if (!port || !port->isOpen) return 0;
  GpsStats stats = {};
  (void)GpsGetStats(context, &stats);  // cannot fail for a context and a record
  link->state = stats.sentences + stats.ignored + stats.frames > 0 ? GPS_LINK_RECEIVING
                                                                    : GPS_LINK_NO_SENTENCES;
  if (OrvoCOMIsDeviceGone(port)) link->state = GPS_LINK_DEVICE_LOST;
  link->portIndex = static_cast<int32_t>(port - OrvoCOMGetPort(0));
  link->baudRate = GPS_BAUD_RATE;
  return 0;
}
