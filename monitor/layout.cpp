#include "monitor/layout.h"

#include <algorithm>

#include "monitor/fix_text.h"

namespace {

constexpr int32_t GAP = 8;
constexpr int32_t CHOICE_ROW = 24;   // combo boxes and button
constexpr int32_t LINK_LINE = 20;
constexpr int32_t FIX_PANEL_WIDTH = FIX_LABEL_WIDTH + 210;
constexpr int32_t BARS_MIN = 150;  // the tabs' row and a page under it
constexpr int32_t TAB_ROW = 26;
constexpr int32_t BUTTON_WIDTH = 80;

}  // namespace

void LayOutMonitor(int32_t width, int32_t height, MonitorLayout* layout) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  int32_t x = GAP;
  const int32_t y = GAP;
  layout->portLabel = {x, y + 4, 32, CHOICE_ROW - 4};
  x += 32;
  // Wide enough for "orvogps-server (localhost)".
  layout->portList = {x, y, 170, 200};  // a drop-down list's height includes its list
  x += 170 + GAP * 2;
  layout->speedLabel = {x, y + 4, 42, CHOICE_ROW - 4};
  x += 42;
  layout->speedList = {x, y, 90, 200};
  x += 90 + GAP * 2;
  layout->startStop = {x, y, BUTTON_WIDTH, CHOICE_ROW};
  x += BUTTON_WIDTH + GAP;
  layout->record = {x, y, BUTTON_WIDTH + 20, CHOICE_ROW};

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
  layout->tabs = {GAP, top + upper + GAP, std::max(0, width - 2 * GAP), std::max(0, middle - upper - GAP)};
  const Box& tabs = layout->tabs;
  const Box page = {tabs.left + 4, tabs.top + TAB_ROW + 2, std::max(0, tabs.width - 8),
                    std::max(0, tabs.height - TAB_ROW - 6)};
  layout->signalBars = page;

  layout->sentencePause = {page.left, page.top, BUTTON_WIDTH, std::min(CHOICE_ROW, page.height)};
  layout->sentenceTotals = {page.left + BUTTON_WIDTH + GAP, page.top + 4, std::max(0, page.width - BUTTON_WIDTH - GAP),
                            std::min(CHOICE_ROW - 4, page.height)};
  const int32_t listTop = std::min(page.height, CHOICE_ROW + GAP / 2);
  layout->sentenceList = {page.left, page.top + listTop, page.width, page.height - listTop};

  // The dots on a square as high as the page, the figures beside it, Reset
  // under them.
  const int32_t side = std::min(page.height, page.width / 2);
  layout->steadyPlot = {page.left, page.top, side, side};
  const int32_t figuresLeft = page.left + side + GAP;
  const int32_t figuresWidth = std::max(0, std::min(260, page.left + page.width - figuresLeft));
  const int32_t resetTop = std::max(page.top, page.top + page.height - CHOICE_ROW);
  layout->steadyFigures = {figuresLeft, page.top, figuresWidth, std::max(0, resetTop - GAP / 2 - page.top)};
  layout->steadyReset = {figuresLeft, resetTop, std::min(BUTTON_WIDTH, figuresWidth), std::min(CHOICE_ROW, page.height)};
}
