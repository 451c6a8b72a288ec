// OrvoGPS receiver open and close: one receiver on one serial port at
// 4800-8-N-1, its bytes fed to the framer on the port's reader thread.
#ifndef ORVOGPS_RECEIVER_H
#define ORVOGPS_RECEIVER_H

#include <cstdint>

#include "nmea.h"

struct ComPortStats;  // the serial layer's counts (comport/comport.h)

// Opens the receiver on port slot portIndex (0 is COM1 ... 15 is COM16) and
// registers callback.  Returns 0 and stores the context through contextOut,
// or 1 when the port could not be opened (the reason goes to the debugger
// output), also while a close of the receiver's port still waits for its
// threads (code 4).  Call on the application's UI thread.
int32_t OrvoGPSOpen(int32_t portIndex, GpsCallback callback, GpsContext** contextOut);

// The speeds a receiver may be opened at, slowest first.
constexpr uint32_t GPS_BAUD_RATES[] = {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr int32_t GPS_BAUD_RATE_COUNT = sizeof GPS_BAUD_RATES / sizeof GPS_BAUD_RATES[0];
// GpsOpenOptions.baudRate: find the speed.
constexpr uint32_t GPS_BAUD_AUTO = 0;

struct GpsOpenOptions {
  // One of GPS_BAUD_RATES, or GPS_BAUD_AUTO: try the speed last found on the
  // port in this process (else 4800), then 4800, 9600, 38400, 115200, 19200,
  // 57600, 230400, 460800, 921600, until sentences verify.
  uint32_t baudRate;
  // 1: when the device goes away (an unplugged USB adapter), try to open the
  // port again every second and go on with the same context and callback;
  // a port that stays silent (nothing verifies) for 5 s, or five of the
  // receiver's cycles, is closed and opened again, then every 5 s while it
  // stays silent (a Bluetooth receiver switched off and on again), at the
  // speed last found.  0: as OrvoGPSOpen, the port stays as it is.
  int32_t reconnect;
};

// Results of OrvoGPSOpenWith (0 and 1 as OrvoGPSOpen's).
enum : int32_t {
  GPS_OPEN_OK = 0,
  GPS_OPEN_FAILED = 1,       // contextOut null, or the port did not open (debug message)
  GPS_OPEN_BAD_OPTIONS = 2,  // a speed not in GPS_BAUD_RATES, or reconnect not 0 or 1 (debug message)
};

// OrvoGPSOpen with a choice of speed and reconnection, 8-N-1 and the rest of
// the line as OrvoGPSOpen sets it.  Null options do exactly what OrvoGPSOpen
// does.  Otherwise the receiver gets a thread of its own that searches the
// speed, watches the device and reopens it; OrvoGPSGetLink tells what it is
// doing.  Unlike OrvoGPSOpen it leaves the serial layer's other slots alone.
// Call on the application's UI thread.
int32_t OrvoGPSOpenWith(int32_t portIndex, const GpsOpenOptions* options, GpsCallback callback,
                        GpsContext** contextOut);

// What a receiver's link is doing (GpsLink.state).
enum : int32_t {
  GPS_LINK_CLOSED = 0,       // no receiver open: never opened, its open failed, or closed
  GPS_LINK_SEARCHING = 1,    // trying baudRate: no sentence has verified at it yet
  GPS_LINK_RECEIVING = 2,    // sentences (or UBX / RTCM 3 frames) verify at baudRate
  GPS_LINK_NO_SENTENCES = 3, // a speed given by the caller: bytes do not verify at it (yet); or,
                             // at any speed, nothing verified for 3 s (or three of the
                             // receiver's cycles): a receiver switched off or out of range
  GPS_LINK_DEVICE_LOST = 4,  // the device went away, reconnect or not; with reconnect, the port is
                             // tried every second
};

struct GpsLink {
  int32_t state;        // GPS_LINK_*
  int32_t portIndex;    // the receiver's port, -1 when closed
  uint32_t baudRate;    // the speed set on the port (being tried while searching); 0 when closed
  uint32_t reconnects;  // times the port was opened again: after the device went away, or silent
};

// Copies what the receiver's link is doing; any thread may call it at any
// time, also while the receiver searches, waits for its device, or after the
// close.  Returns 0, or 1 when either argument is null.
int32_t OrvoGPSGetLink(const GpsContext* context, GpsLink* link);

// A port search's progress, passed to GpsFindProgress.
struct GpsFindStatus {
  uint32_t elapsedMs;
  uint32_t portsTried;     // bit i: COM<i+1> is being listened to
  uint32_t portsSkipped;   // bit i: COM<i+1> is listed but did not open, or is the caller's
};
// Called on the thread that called OrvoGPSFindReceiver, about every 100 ms
// and once before it returns; return nonzero to stop the search.  A UI
// thread can serve its messages here.
typedef int32_t (*GpsFindProgress)(void* user, const GpsFindStatus* status);

struct GpsFindOptions {
  uint32_t timeLimitMs;      // give up after this long (1 to 600000)
  uint32_t baudRate;         // GPS_BAUD_AUTO: every speed; else only this one
  uint32_t ports;            // bit i: try COM<i+1> (if listed); 0: every listed port
  GpsFindProgress progress;  // may be null
  void* user;                // passed to progress
};

struct GpsFindResult {
  int32_t portIndex;  // where sentences verified, or -1
  uint32_t baudRate;  // at which speed, or 0
};

// Results of OrvoGPSFindReceiver.
enum : int32_t {
  GPS_FIND_FOUND = 0,
  GPS_FIND_NOT_FOUND = 1,    // the time limit passed, or no port could be tried
  GPS_FIND_BAD_OPTIONS = 2,  // null arguments, a time limit outside 1..600000, a speed not listed
  GPS_FIND_STOPPED = 3,      // the progress callback asked to stop
  GPS_FIND_BUSY = 4,         // another search runs
};

// Looks for a receiver on the serial ports Windows lists (COM1 to COM16):
// opens every one that is not the caller's (a slot of the serial layer that
// is open, or the receiver's port) and listens on all of them at once, each
// at the speeds in the order GpsOpenOptions describes, until sentences
// verify on one.  Ports that do not open (absent, held by another program)
// are skipped.  Blocks until found, the time limit, or the progress callback
// stops it; every port it opened is closed again when it returns.
int32_t OrvoGPSFindReceiver(const GpsFindOptions* options, GpsFindResult* result);

// Results of OrvoGPSClose.
enum : int32_t {
  GPS_CLOSE_OK = 0,
  GPS_CLOSE_NULL_CONTEXT = 3,
  GPS_CLOSE_IN_CALLBACK = 4,  // called from a receiver callback: refused (debug message)
};

// Closes the receiver's port and forgets it.  Returns 3 for a null context,
// 4 when called from one of the receiver's callbacks (it runs on the port's
// reader thread, which the close would wait for), else 0.  OrvoGPSOpen and
// OrvoGPSOpenWith called from a callback are refused the same way, with 1.
int32_t OrvoGPSClose(GpsContext* context);

// The framer's counts into link and the port's into line, for the open
// receiver; either may be null.  Any thread may call it.  Returns 0, or 1
// when no receiver is open.
int32_t OrvoGPSGetStats(const GpsContext* context, GpsStats* link, ComPortStats* line);

// 1 when the context is not null and active, else 0.
int32_t OrvoGPSIsActive(const GpsContext* context);

// The serial layer's receive handler: feeds each byte to the framer in order;
// when it returns, the bytes count (GpsStats) holds every byte of the block.
void GpsRxBytes(void* userData, const unsigned char* bytes, int32_t count);

#endif
