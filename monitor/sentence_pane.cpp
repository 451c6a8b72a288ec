#include "monitor/sentence_pane.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include <nmea/nmea.h>

#include "monitor/colours.h"
#include "monitor/controls.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"

SentenceLog gSentences;

namespace {

constexpr int LINE_HEIGHT = 15;
constexpr COLORREF MARKED_COLOUR = RGB(200, 30, 30);

bool gShown;
bool gPaused;
// The history as Pause found it, shown until Pause is let go.
SentenceLog gFrozen;
// The first line shown, counted over every line ever added; -1 follows
// the newest.
int64_t gTop = -1;
BackBuffer gBack;

const SentenceLog& Shown() { return gPaused ? gFrozen : gSentences; }

int32_t VisibleLines(HWND list) {
  RECT client;
  if (!GetClientRect(list, &client)) return 1;
  return std::max(1, static_cast<int>(client.bottom / LINE_HEIGHT));
}

// The history's line at the top when lines fit.
int32_t FirstShown(int32_t lines) {
  const SentenceLog& log = Shown();
  const int32_t last = std::max(0, log.count - lines);
  if (gTop < 0) return last;
  const int64_t oldest = static_cast<int64_t>(log.added) - log.count;
  return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(gTop - oldest, last)));
}

int32_t FirstShown(HWND list) { return FirstShown(VisibleLines(list)); }

// Set only when it changes: once the history is full and the list follows
// the newest, it stays as it is, and is not drawn again with every cycle.
void UpdateScrollBar(HWND list) {
  static SCROLLINFO shown;
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(0, Shown().count - 1);
  info.nPage = static_cast<UINT>(VisibleLines(list));
  info.nPos = FirstShown(list);
  if (info.nMax == shown.nMax && info.nPage == shown.nPage && info.nPos == shown.nPos && shown.cbSize != 0) return;
  shown = info;
  (void)SetScrollInfo(list, SB_VERT, &info, TRUE);
}

void Draw(HDC dc, int, int height) {
  const SentenceLog& log = Shown();
  SelectObject(dc, MonitorFixedFont());
  const int32_t lines = std::max(1, height / LINE_HEIGHT);
  const int32_t first = FirstShown(lines);
  for (int32_t i = first; i < log.count && i < first + lines; ++i) {
    const SentenceLine& line = SentenceLogLine(log, i);
    SetTextColor(dc, line.kind == GPS_SENTENCE_VERIFIED ? TEXT_COLOUR : MARKED_COLOUR);
    TextOutA(dc, 4, (i - first) * LINE_HEIGHT, line.text, static_cast<int>(std::strlen(line.text)));
  }
}

void ScrollTo(HWND list, int32_t top) {
  const SentenceLog& log = Shown();
  const int32_t last = std::max(0, log.count - VisibleLines(list));
  top = std::max(0, std::min(top, last));
  // At the bottom: follow the newest again.
  gTop = top >= last ? -1 : static_cast<int64_t>(log.added) - log.count + top;
  UpdateScrollBar(list);
  InvalidateRect(list, nullptr, FALSE);
}

void OnScroll(HWND list, int code) {
  const int32_t first = FirstShown(list);
  const int32_t page = VisibleLines(list);
  switch (code) {
    case SB_LINEUP: ScrollTo(list, first - 1); break;
    case SB_LINEDOWN: ScrollTo(list, first + 1); break;
    case SB_PAGEUP: ScrollTo(list, first - page); break;
    case SB_PAGEDOWN: ScrollTo(list, first + page); break;
    case SB_TOP: ScrollTo(list, 0); break;
    case SB_BOTTOM: ScrollTo(list, Shown().count); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info = {};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      if (GetScrollInfo(list, SB_VERT, &info)) ScrollTo(list, info.nTrackPos);
      break;
    }
    default: break;
  }
}

// WM_GETTEXT gives the lines shown, one a line: what a test or a screen
// reader reads.
LRESULT ShownText(HWND list, char* text, LRESULT size) {
  const SentenceLog& log = Shown();
  const int32_t first = FirstShown(list);
  LRESULT used = 0;
  for (int32_t i = first; i < log.count && i < first + VisibleLines(list); ++i) {
    const char* line = SentenceLogLine(log, i).text;
    const LRESULT length = static_cast<LRESULT>(std::strlen(line));
    if (text) {
      if (used + length + 3 > size) break;
      std::memcpy(text + used, line, static_cast<size_t>(length));
      std::memcpy(text + used + length, "\r\n", 2);
    }
    used += length + 2;
  }
  if (text && size > 0) text[std::min(used, size - 1)] = '\0';
  return used;
}

LRESULT CALLBACK SentenceListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
      OnScroll(list, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      ScrollTo(list, FirstShown(list) - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
      return 0;
    case WM_SIZE:
      UpdateScrollBar(list);
      break;
    case WM_GETTEXTLENGTH:
      return ShownText(list, nullptr, 0);
    case WM_GETTEXT:
      return ShownText(list, reinterpret_cast<char*>(lParam), static_cast<LRESULT>(wParam));
    default:
      break;
  }
  return PaintedWindowMessage(list, message, wParam, lParam, &gBack, Draw);
}

}  // namespace

bool RegisterSentenceListClass(HINSTANCE instance) {
  return RegisterPaintedClass(instance, SENTENCE_LIST_CLASS, SentenceListProc);
}

void CreateSentencePane(HWND parent) {
  MakeChild(parent, "BUTTON", "Pause", BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, IDC_SENTENCE_PAUSE);
  MakeChild(parent, "STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_SENTENCE_TOTALS);
  MakeChild(parent, SENTENCE_LIST_CLASS, "", WS_VSCROLL | WS_BORDER, IDC_SENTENCE_LIST);
  ShowSentencePane(parent, false);
}

void PlaceSentencePane(HWND parent, const MonitorLayout& layout) {
  Place(parent, IDC_SENTENCE_PAUSE, layout.sentencePause);
  Place(parent, IDC_SENTENCE_TOTALS, layout.sentenceTotals);
  Place(parent, IDC_SENTENCE_LIST, layout.sentenceList);
}

void ShowSentencePane(HWND parent, bool shown) {
  gShown = shown;
  for (int id : {IDC_SENTENCE_PAUSE, IDC_SENTENCE_TOTALS, IDC_SENTENCE_LIST}) ShowChild(parent, id, shown);
  UpdateSentencePane(parent);
}

void ClearSentencePane(HWND parent) {
  SentenceLogClear(&gSentences);
  SentenceLogClear(&gFrozen);
  gTop = -1;
  SetText(GetDlgItem(parent, IDC_SENTENCE_TOTALS), "");
  InvalidateRect(GetDlgItem(parent, IDC_SENTENCE_LIST), nullptr, FALSE);
}

void UpdateSentencePane(HWND parent) {
  if (!gShown || gPaused) return;
  char totals[CONTROL_TEXT_SIZE];
  FormatSentenceTotals(gSentences.totals, totals, sizeof totals);
  SetText(GetDlgItem(parent, IDC_SENTENCE_TOTALS), totals);
  HWND list = GetDlgItem(parent, IDC_SENTENCE_LIST);
  UpdateScrollBar(list);
  InvalidateRect(list, nullptr, FALSE);
}

void OnSentencePause(HWND parent) {
  gPaused = IsDlgButtonChecked(parent, IDC_SENTENCE_PAUSE) == BST_CHECKED;
  if (gPaused) gFrozen = gSentences;
  UpdateSentencePane(parent);
  InvalidateRect(GetDlgItem(parent, IDC_SENTENCE_LIST), nullptr, FALSE);
}
