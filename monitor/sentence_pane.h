// The sentences page: the latest sentences as received, newest at the
// bottom, the damaged ones and the bytes between sentences marked (in red),
// the totals above them, a scroll bar and Pause.  The list is a painted
// window that draws only the lines it shows, straight from the history: a
// list box holding every line cost more than the rest of the monitor.  While
// the page is hidden the history goes on filling and nothing is drawn;
// paused, the page shows a copy of the history as it was.
#ifndef ORVOGPS_MONITOR_SENTENCE_PANE_H
#define ORVOGPS_MONITOR_SENTENCE_PANE_H

#include <windows.h>

#include "monitor/layout.h"
#include "monitor/sentence_log.h"

#define SENTENCE_LIST_CLASS "ORVOSENTENCES"

extern SentenceLog gSentences;

// Registers the list's window class; false when it failed.
bool RegisterSentenceListClass(HINSTANCE instance);
void CreateSentencePane(HWND parent);
void PlaceSentencePane(HWND parent, const MonitorLayout& layout);
void ShowSentencePane(HWND parent, bool shown);
// A new Start: nothing shown.
void ClearSentencePane(HWND parent);
// Shows what gSentences holds, when the page is shown and not paused.
void UpdateSentencePane(HWND parent);
// Pause pressed or let go.
void OnSentencePause(HWND parent);

#endif
