#include "comport/comport.h"
#include "comport/port_internal.h"

// Two in a row: one refusal may be a driver's hiccup; an unplugged adapter
// refuses every call from then on, and the reader's second read follows the
// first at once.
constexpr int32_t REFUSALS_WHEN_GONE = 2;

void NoteDeviceRefusal(ComPort* port) {
  const int32_t refusals = port->refusals.load(std::memory_order_relaxed) + 1;
  port->refusals.store(refusals, std::memory_order_release);
  if (refusals != REFUSALS_WHEN_GONE) return;
  HANDLE gone = port->hGoneEvent.load(std::memory_order_acquire);
  if (gone) (void)SetEvent(gone);  // the watcher keeps it open while the port is open
}

int32_t OrvoCOMIsDeviceGone(const ComPort* port) {
  return port && port->refusals.load(std::memory_order_acquire) >= REFUSALS_WHEN_GONE ? 1 : 0;
}

void OrvoCOMWatchDevice(ComPort* port, HANDLE goneEvent) {
  if (port) port->hGoneEvent.store(goneEvent, std::memory_order_release);
}
