// The demo's windows and commands, all run on the UI thread unless noted.
#ifndef ORVOGPS_APP_DEMO_WINDOWS_H
#define ORVOGPS_APP_DEMO_WINDOWS_H

#include <windows.h>

#include <cstdint>

#include "app/app_state.h"
#include "nmea/nmea.h"

constexpr UINT WM_CREATEPANEL = WM_USER + 1;

// main_window.cpp
void RegisterAppClass(HINSTANCE instance, UINT classStyle, WNDPROC procedure, int32_t arrowCursor,
                      int32_t background, const char* className, int32_t smallIcon);
int32_t CreateMainWindow(HINSTANCE instance, int showCommand, HWND* mainWindowOut);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateModelessDialog(HWND owner, DLGPROC procedure, int32_t templateId);

// status_line.cpp
LRESULT CALLBACK StatusWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetStatusText(const char* text);

// receiver_panel.cpp
void CreateReceiverPanel();
INT_PTR CALLBACK ReceiverPanelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FillPortList(HWND dialog, const char* const* names, int32_t controlId, int32_t selected);
int32_t StartAcquisition();
void StopAcquisition();
// Runs on the serial reader thread.
int32_t ShowFixCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved);

// toolbar.cpp
void CreateToolbar(HWND mainWindow);
void DispatchToolbarClick(HWND control, HWND argument);

// activity_blinker.cpp
void CreateBlinker(ActivityBlinker* blinker, HWND parent);
void StartBlinker(ActivityBlinker* blinker);
void StopBlinker(ActivityBlinker* blinker);
void PollBlinker(ActivityBlinker* blinker);
void CheckWatchdog();

// about_box.cpp
void ShowAboutBox();
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
