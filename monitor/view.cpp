#include "monitor/view.h"

MonitorView gView;
Steadiness gSteadiness;

void ViewUpdate() {
  gView.hasEpoch = true;
  gView.markCount = CollectSatellites(gView.sky, gView.marks, GPS_SKY_SIZE);
  gView.barCount = LayOutSignalBars(gView.sky, gView.bars, GPS_SKY_SIZE);
  (void)SteadinessAdd(&gSteadiness, gView.fix);  // an epoch without a fix adds nothing
}

void ViewClear() {
  gView.hasEpoch = false;
  gView.sky.signalCount = 0;
  gView.markCount = 0;
  gView.barCount = 0;
  SteadinessReset(&gSteadiness);
}
