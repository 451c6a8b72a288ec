#include "comport/comport.h"

int32_t OrvoCOMGetStats(const ComPort* port, ComPortStats* stats) {
  if (!port || !stats) return 1;
  const ComPortStatCounters& counts = port->stats;
  stats->reads = counts.reads.load(std::memory_order_relaxed);
  stats->readErrors = counts.readErrors.load(std::memory_order_relaxed);
  stats->framingErrors = counts.framingErrors.load(std::memory_order_relaxed);
  stats->parityErrors = counts.parityErrors.load(std::memory_order_relaxed);
  stats->overrunErrors = counts.overrunErrors.load(std::memory_order_relaxed);
  stats->bufferOverflows = counts.bufferOverflows.load(std::memory_order_relaxed);
  stats->lineErrorsUnknown = counts.lineErrorsUnknown.load(std::memory_order_relaxed);
  return 0;
}
