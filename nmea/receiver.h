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

// Closes the receiver's port and forgets it.  Returns 3 for a null context,
// else 0.
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
