// The monitor's receiver: the port search, the open with the speed search and
// reconnection, and the hand-over of each epoch's fix and sky from the
// reader thread to the window.  UI thread only, but for the callbacks inside.
#ifndef ORVOGPS_MONITOR_SESSION_H
#define ORVOGPS_MONITOR_SESSION_H

#include <windows.h>

#include <cstdint>

#include <nmea/navigation.h>

#include "monitor/link_text.h"
#include "monitor/sentence_log.h"

// Posted to the window given to SessionInit.
constexpr UINT WM_APP_EPOCH = WM_APP + 1;  // an epoch's fix and sky wait: SessionTakeEpoch
constexpr UINT WM_APP_FOUND = WM_APP + 2;  // the port search has ended: SessionFound

void SessionInit(HWND window);

// Starts: at portIndex (-1 for Auto: the port search runs first) and
// baudRate (GPS_BAUD_AUTO: the speed search).  Returns false when the open
// failed at once; reason then holds why (size bytes).
bool SessionStart(int32_t portIndex, uint32_t baudRate, char* reason, int size);

// Starts showing the receiver a server shares at host:port.  Returns false
// when it cannot start (reason as for SessionStart).
bool SessionStartServer(const char* host, uint16_t port, char* reason, int size);

// Ends the search or closes the receiver; returns when nothing runs any more.
void SessionStop();

// 1 while searching for the port, open, or connected to a server.
bool SessionActive();

// WM_APP_FOUND: opens the receiver where the search found it.  Returns false
// when it found nothing or the open failed (reason as for SessionStart).
bool SessionFound(WPARAM generation, char* reason, int size);

// WM_APP_EPOCH: copies the latest epoch's fix and sky; false when none waits.
bool SessionTakeEpoch(GpsFix* fix, GpsSky* sky);

void SessionLinkView(LinkView* view);

// Where the open receiver's stream comes from ("COM3") and at what speed (0
// while it is not known); false when none is open.
bool SessionSource(char* name, int size, uint32_t* baudRate);

// Moves the sentences told since the last call into log; returns how many
// lines it added.
int32_t SessionTakeSentences(SentenceLog* log);

#endif
