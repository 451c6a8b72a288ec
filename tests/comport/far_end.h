// The cable end of a virtual cable, played by the test: pair k's cable end is a
// COM name of its own (ORVO_FAR<k>_COM from the harness), opened plainly.
#ifndef ORVOGPS_TESTS_FAR_END_H
#define ORVOGPS_TESTS_FAR_END_H

#include <windows.h>

#include <cstdint>

#include "comport/comport.h"

// Slot index of pair k's near end (COM<k>).
constexpr int32_t NearIndex(int pair) { return pair - 1; }

// Opens pair k's near end through the layer at 4800-8-N-1 with CTS flow;
// null when the open fails.
ComPort* OpenNear(int pair, RxHandler handler, void* userData = nullptr);

// Returns INVALID_HANDLE_VALUE when the harness has not set up the pair.
HANDLE FarOpen(int pair);
bool FarWrite(HANDLE cable, const void* data, DWORD length);
// Reads until length bytes have come or deadlineMs has passed; returns the count.
DWORD FarRead(HANDLE cable, void* data, DWORD length, DWORD deadlineMs);
// Discards whatever waits at the cable end.
void FarDrain(HANDLE cable);
// Discards what waits unread at pair k's near end (written while nothing had
// it open); false when the near end does not open.
bool NearPurge(int pair);

// Polls condition every millisecond until it holds or deadlineMs has passed.
bool WaitUntil(bool (*condition)(), DWORD deadlineMs);

#endif
