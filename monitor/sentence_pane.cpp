#include "monitor/sentence_pane.h"

#include <cstring>
#include <initializer_list>

#include <nmea/nmea.h>

#include "monitor/controls.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"

SentenceLog gSentences;

namespace {

constexpr int LINE_HEIGHT = 15;
constexpr COLORREF MARKED_COLOUR = RGB(200, 30, 30);

bool gShown;
uint32_t gShownAdded;  // gSentences.added when the list last showed it

bool Paused(HWND parent) { return IsDlgButtonChecked(parent, IDC_SENTENCE_PAUSE) == BST_CHECKED; }

void AddLine(HWND list, const SentenceLine& line) {
  const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.text));
  if (at >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), line.kind);
}

}  // namespace

void CreateSentencePane(HWND parent) {
  MakeChild(parent, "BUTTON", "Pause", BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, IDC_SENTENCE_PAUSE);
  MakeChild(parent, "STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_SENTENCE_TOTALS);
  HWND list = MakeChild(parent, "LISTBOX", "",
                        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_VSCROLL |
                            WS_BORDER,
                        IDC_SENTENCE_LIST);
  if (list) SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(MonitorFixedFont()), FALSE);
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
  gShownAdded = 0;
  SendDlgItemMessageA(parent, IDC_SENTENCE_LIST, LB_RESETCONTENT, 0, 0);
  SetText(GetDlgItem(parent, IDC_SENTENCE_TOTALS), "");
}

void UpdateSentencePane(HWND parent) {
  if (!gShown || Paused(parent)) return;
  char totals[CONTROL_TEXT_SIZE];
  FormatSentenceTotals(gSentences.totals, totals, sizeof totals);
  SetText(GetDlgItem(parent, IDC_SENTENCE_TOTALS), totals);
  const uint32_t fresh = gSentences.added - gShownAdded;
  if (fresh == 0) return;
  gShownAdded = gSentences.added;
  HWND list = GetDlgItem(parent, IDC_SENTENCE_LIST);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  const int32_t count = gSentences.count;
  if (fresh >= static_cast<uint32_t>(count)) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < count; ++i) AddLine(list, SentenceLogLine(gSentences, i));
  } else {
    for (int32_t i = count - static_cast<int32_t>(fresh); i < count; ++i) AddLine(list, SentenceLogLine(gSentences, i));
    // The list holds what the history holds, no more.
    while (SendMessageA(list, LB_GETCOUNT, 0, 0) > count) SendMessageA(list, LB_DELETESTRING, 0, 0);
  }
  SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(count > 0 ? count - 1 : 0), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool MeasureSentenceLine(MEASUREITEMSTRUCT* item) {
  if (item->CtlID != IDC_SENTENCE_LIST) return false;
  item->itemHeight = LINE_HEIGHT;
  return true;
}

bool DrawSentenceLine(const DRAWITEMSTRUCT* item) {
  if (item->CtlID != IDC_SENTENCE_LIST) return false;
  FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (item->itemID == static_cast<UINT>(-1)) return true;
  char text[SENTENCE_LINE_SIZE];
  const LRESULT length = SendMessageA(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
  if (length < 0 || length >= static_cast<LRESULT>(sizeof text)) return true;
  SendMessageA(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text));
  SelectObject(item->hDC, MonitorFixedFont());
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, item->itemData == GPS_SENTENCE_VERIFIED ? RGB(0, 0, 0) : MARKED_COLOUR);
  TextOutA(item->hDC, item->rcItem.left + 4, item->rcItem.top, text, static_cast<int>(length));
  return true;
}
