// Where the monitor's parts go in a client area of a given size: the choice
// row on top, the link line at the bottom, the sky plot (square) and the fix
// panel side by side, under them the tabs of the signal bars, the sentences
// and the steadiness, one page shown at a time in the same place.  Everything scales with the
// window; below the minimum size parts shrink, never overlap.
#ifndef ORVOGPS_MONITOR_LAYOUT_H
#define ORVOGPS_MONITOR_LAYOUT_H

#include <cstdint>

struct Box {
  int32_t left, top, width, height;
};

struct MonitorLayout {
  Box portLabel, portList, speedLabel, speedList, startStop, record;
  Box skyPlot;
  Box fixPanel;    // rows of FIX_ROW_HEIGHT, labels then values
  Box tabs;        // the tab control, its row of tabs on top
  Box signalBars;  // the page inside the tabs
  Box sentencePause, sentenceTotals, sentenceList;
  Box steadyPlot, steadyFigures, steadyReset;
  Box linkLine;
};

constexpr int32_t FIX_ROW_HEIGHT = 20;
constexpr int32_t FIX_LABEL_WIDTH = 120;
// The smallest client area the main window allows.
constexpr int32_t MONITOR_MIN_WIDTH = 640;
constexpr int32_t MONITOR_MIN_HEIGHT = 570;  // every fix row above the bars

void LayOutMonitor(int32_t width, int32_t height, MonitorLayout* layout);

#endif
