// The sentences page: the latest sentences as received, newest at the
// bottom, the damaged ones and the bytes between sentences marked (in red),
// the totals above them and Pause.  While the page is hidden or paused the
// history goes on filling; the list is brought up to date when it shows.
#ifndef ORVOGPS_MONITOR_SENTENCE_PANE_H
#define ORVOGPS_MONITOR_SENTENCE_PANE_H

#include <windows.h>

#include "monitor/layout.h"
#include "monitor/sentence_log.h"

extern SentenceLog gSentences;

void CreateSentencePane(HWND parent);
void PlaceSentencePane(HWND parent, const MonitorLayout& layout);
void ShowSentencePane(HWND parent, bool shown);
// A new Start: nothing shown.
void ClearSentencePane(HWND parent);
// Shows what gSentences holds, when the page is shown and not paused.
void UpdateSentencePane(HWND parent);
// WM_MEASUREITEM and WM_DRAWITEM of the list; false for another control's.
bool MeasureSentenceLine(MEASUREITEMSTRUCT* item);
bool DrawSentenceLine(const DRAWITEMSTRUCT* item);

#endif
