// A receiver played at a cable's far end: every cycle a burst of GGA
// sentences numbered one after the other (the number is the fix's time of
// day in seconds), written at once at the far end's speed, as a receiver
// sends its cycle.  The harness's shim garbles them for a near end set to
// another speed.
#ifndef ORVOGPS_TESTS_FAR_RECEIVER_H
#define ORVOGPS_TESTS_FAR_RECEIVER_H

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "nmea/nmea.h"

struct FarReceiver {
  int pair;
  uint32_t cycleMs;
  int perCycle;
  std::atomic<HANDLE> cable;
  std::atomic<uint32_t> baud;
  std::atomic<uint32_t> nextNumber;  // the number the next sentence gets
  std::atomic<bool> stop;
  std::atomic<bool> quiet;           // write nothing while set
  std::atomic<uint32_t> cycles;      // cycles begun, quiet or not
  std::thread thread;
};

// A GGA whose time of day is number seconds.
std::string NumberedGga(uint32_t number);
// The number of a GGA made by NumberedGga.
uint32_t NumberOf(const GgaRecord* fix);

// Opens pair's far end at baud and starts talking, the first sentence
// numbered first; false when the far end does not open.
bool FarReceiverStart(FarReceiver* r, int pair, uint32_t baud, uint32_t cycleMs = 250,
                      int perCycle = 6, uint32_t first = 1);
// Stops talking and closes the far end.
void FarReceiverStop(FarReceiver* r);
// Sets the far end's speed: the receiver was reconfigured.
bool FarReceiverSetBaud(FarReceiver* r, uint32_t baud);
// Opens the far end again (after a replug: the old one is dead) at the
// current speed; false when it does not open.
bool FarReceiverReopen(FarReceiver* r);
// Stops the receiver talking and waits until a whole cycle has passed
// quiet, so that no burst is on its way; false after the deadline.
bool FarReceiverQuiet(FarReceiver* r, DWORD deadlineMs);

// What a callback recorded: the numbers of the GGAs delivered, in order.
void DeliveredReset();
int32_t RecordNumber(GpsContext*, SentenceType type, void* record, int32_t);
size_t DeliveredCount();
uint32_t DeliveredAt(size_t i);
// Waits until the receiver's link shows state, at baud and after reconnects
// reconnections (kAnyLink: whichever).
constexpr uint32_t kAnyLink = 0xFFFFFFFFu;
bool WaitLink(const GpsContext* context, int32_t state, uint32_t baud, uint32_t reconnects,
              DWORD deadlineMs);

// Waits until a GGA numbered at least number was delivered.
bool WaitDelivered(uint32_t number, DWORD deadlineMs);

#endif
