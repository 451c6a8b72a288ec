#include "monitor/signal_bars.h"

#include <algorithm>
#include <cmath>

#include "monitor/constellations.h"
#include "monitor/sky_view.h"

namespace {

bool DrawnBefore(const SignalBar& a, const SignalBar& b) {
  if (a.style != b.style) return a.style < b.style;
  if (a.svid != b.svid) return a.svid < b.svid;
  return a.signalId < b.signalId;
}

}  // namespace

int32_t LayOutSignalBars(const GpsSky& sky, SignalBar* bars, int32_t capacity) {
  int32_t count = 0;
  for (int32_t i = 0; i < sky.signalCount && i < GPS_SKY_SIZE && count < capacity; ++i) {
    const GpsSignal& signal = sky.signals[i];
    const int32_t style = ConstellationStyleIndex(signal.constellation);
    if (style < 0) continue;
    SignalBar& bar = bars[count++];
    bar.style = style;
    bar.svid = signal.svid;
    bar.signalId = signal.signalId;
    bar.used = signal.used;
    bar.snr = signal.snr;
    bar.height = std::isnan(signal.snr) ? 0.0f : std::min(std::max(signal.snr, 0.0f), BAR_FULL_SCALE_DBHZ) /
                                                     BAR_FULL_SCALE_DBHZ;
  }
  std::stable_sort(bars, bars + count, DrawnBefore);
  for (int32_t i = 0; i < count; ++i) {
    SignalBar& bar = bars[i];
    bar.startsGroup = i == 0 || bars[i - 1].style != bar.style;
    bar.startsSatellite = bar.startsGroup || bars[i - 1].svid != bar.svid;
    bar.label[0] = '\0';
    if (bar.startsSatellite) SatelliteLabel(ConstellationStyles[bar.style].constellation, bar.svid, bar.label);
  }
  return count;
}
