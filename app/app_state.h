// The demo's state: one record and a few globals in static storage, shared by
// the windows of the UI thread (and, for lastSentenceTime, the reader thread).
#ifndef ORVOGPS_APP_STATE_H
#define ORVOGPS_APP_STATE_H

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/status_field.h"
#include "nmea/nmea.h"

struct ActivityBlinker {
  int32_t blinking;
  HBITMAP bitmapLit;
  HBITMAP bitmapDark;
  HBITMAP current;  // what the next toggle shows
  HWND imageWindow;
  int32_t lastToggle;
};

struct AppState {
  HWND mainWindow;
  HWND statusWindow;
  int32_t statusDirty;
  ActivityBlinker blinker;
  HINSTANCE instance;
};

extern AppState appState;
extern StatusLine statusLine;

extern HWND panelWindow;
extern GpsContext* receiverContext;
extern int32_t running;
// Stamped by the fix callback on the reader thread, read by the watchdog.
extern std::atomic<int32_t> lastSentenceTime;

extern HWND aboutWindow;
extern int32_t aboutShown;

extern const char kEmptyText[];

void InitAppState();

#endif
