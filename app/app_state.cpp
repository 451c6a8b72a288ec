#include "app/app_state.h"

#include <cstring>

AppState appState;
StatusLine statusLine;

HWND panelWindow;
GpsContext* receiverContext;
int32_t running;
std::atomic<int32_t> lastSentenceTime;

HWND aboutWindow;
int32_t aboutShown;

const char kEmptyText[] = "";

void InitAppState() {
  std::memset(&appState, 0, sizeof appState);
  FillStatusLine(&statusLine, kEmptyText);
}
