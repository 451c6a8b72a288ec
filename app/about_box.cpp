#include "app/demo_windows.h"
#include "resources/resource.h"

namespace {

const char AboutText[] =
    "OrvoGPS Demo - Copyright (c) the OrvoGPS authors\r\n"
    "\r\n"
    "This program is a DEMO application for OrvoGPS\r\n"
    "Source Code library. It can be used to interface to\r\n"
    "a NMEA 183 compliant GPS receiver via serial port and\r\n"
    "get continued navigational position fix, including \r\n"
    "lattitude, longitude, altitude and UTC time\r\n"
    "\r\n"
    "To buy the library with its full source code,\r\n"
    "please contact OrvoGPS sales:\r\n"
    "  E-mail: sales@orvogps.example\r\n"
    "  Web:    www.orvogps.example\r\n"
    "  Phone:  +1 555 0100\r\n"
    "  Fax:    +1 555 0101";

INT_PTR OnOk(HWND dialog) {
  aboutShown = 0;
  (void)DestroyWindow(dialog);
  return TRUE;
}

}  // namespace

void ShowAboutBox() {
  aboutWindow = CreateModelessDialog(appState.mainWindow, AboutDlgProc, IDD_ABOUT);
  (void)SetDlgItemTextA(aboutWindow, IDC_ABOUT_TEXT, AboutText);
  aboutShown = 1;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: return LOWORD(wParam) == IDOK ? OnOk(dialog) : FALSE;
    default: return FALSE;
  }
}
