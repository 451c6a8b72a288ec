#include "monitor/layout.h"

#include <algorithm>

#include "monitor/fix_text.h"

namespace {

constexpr int32_t GAP = 8;
constexpr int32_t CHOICE_ROW = 24;   // combo boxes and button
constexpr int32_t LINK_LINE = 20;
constexpr int32_t FIX_PANEL_WIDTH = FIX_LABEL_WIDTH + 210;
constexpr int32_t BARS_MIN = 120;

}  // namespace

void LayOutMonitor(int32_t width, int32_t height, MonitorLayout* layout) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  int32_t x = GAP;
  const int32_t y = GAP;
  layout->portLabel = {x, y + 4, 32, CHOICE_ROW - 4};
  x += 32;
  layout->portList = {x, y, 90, 200};  // a drop-down list's height includes its list
  x += 90 + GAP * 2;
  layout->speedLabel = {x, y + 4, 42, CHOICE_ROW - 4};
  x += 42;
  layout->speedList = {x, y, 90, 200};
  x += 90 + GAP * 2;
  layout->startStop = {x, y, 80, CHOICE_ROW};

  layout->linkLine = {GAP, std::max(0, height - LINK_LINE - GAP / 2), std::max(0, width - 2 * GAP), LINK_LINE};
  const int32_t top = y + CHOICE_ROW + GAP;
  const int32_t bottom = layout->linkLine.top - GAP / 2;
  const int32_t middle = std::max(0, bottom - top);
  // The fix panel's rows take what they need; the plot is a square beside
  // it, as big as the height above the bars allows.
  const int32_t panelHeight = FIX_ROW_COUNT * FIX_ROW_HEIGHT;
  const int32_t bars = std::max(BARS_MIN, middle - GAP - std::max(panelHeight, (middle * 62) / 100));
  const int32_t upper = std::max(0, middle - bars - GAP);
  const int32_t panelWidth = std::min(FIX_PANEL_WIDTH, std::max(0, width - 2 * GAP) / 2);
  const int32_t plot = std::max(0, std::min(upper, width - 3 * GAP - panelWidth));
  layout->skyPlot = {GAP, top, plot, plot};
  layout->fixPanel = {GAP + plot + GAP, top, panelWidth, std::min(upper, panelHeight)};
  layout->signalBars = {GAP, top + upper + GAP, std::max(0, width - 2 * GAP), std::max(0, middle - upper - GAP)};
}
