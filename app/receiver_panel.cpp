#include <cstring>

#include "app/clock.h"
#include "app/demo_windows.h"
#include "app/fix_display.h"
#include "app/port_names.h"
#include "nmea/receiver.h"
#include "resources/resource.h"

namespace {

constexpr int32_t PORT_TEXT_SIZE = 80;

// In the order the fix sets them.
void ClearFixFields() {
  for (const FixField& field : FixFieldTable) {
    (void)SetDlgItemTextA(panelWindow, field.controlId, kEmptyText);
  }
}

INT_PTR OnInitDialog(HWND dialog) {
  FillPortList(dialog, PortNameList, IDC_PORT_LIST, 0);
  return TRUE;
}

INT_PTR OnGoStop() {
  if (running) {
    StopAcquisition();
    running = 0;
  } else if (StartAcquisition()) {
    running = 1;
  }
  return TRUE;
}

}  // namespace

void CreateReceiverPanel() {
  panelWindow = CreateModelessDialog(appState.mainWindow, ReceiverPanelProc, IDD_RECEIVER_PANEL);
  SetStatusText("GPS interface closed");
}

INT_PTR CALLBACK ReceiverPanelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return LOWORD(wParam) == IDOK ? OnGoStop() : FALSE;
    default: return FALSE;
  }
}

void FillPortList(HWND dialog, const char* const* names, int32_t controlId, int32_t selected) {
  for (const char* const* name = names; *name; ++name) {
    (void)SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*name));
  }
  (void)SendDlgItemMessageA(dialog, controlId, CB_SELECTSTRING, 0,
                            reinterpret_cast<LPARAM>(names[selected]));
}

int32_t StartAcquisition() {
  char portText[PORT_TEXT_SIZE];
  std::memset(portText, 0, sizeof portText);
  // A missing panel or list leaves the text empty, which names no port.
  (void)GetDlgItemTextA(panelWindow, IDC_PORT_LIST, portText, PORT_TEXT_SIZE);
  int32_t portIndex = PortIndexFromName(portText);
  if (portIndex < 0 || OrvoGPSOpen(portIndex, ShowFixCallback, &receiverContext) != 0) {
    SetStatusText("Failed to open GPS device port");
    return 0;
  }
  (void)SetDlgItemTextA(panelWindow, IDOK, "STOP");
  StartBlinker(&appState.blinker);
  // The receiver gets the watchdog's full time for its first sentence.
  StampTime(&lastSentenceTime);
  SetStatusText("GPS data acquisition");
  return 1;
}

void StopAcquisition() {
  // Only called after a successful open stored the context, so this is 0.
  (void)OrvoGPSClose(receiverContext);
  (void)SetDlgItemTextA(panelWindow, IDOK, "GO");
  ClearFixFields();
  StopBlinker(&appState.blinker);
  SetStatusText("GPS interface closed");
}

int32_t ShowFixCallback(GpsContext*, SentenceType type, void* record, int32_t) {
  StampTime(&lastSentenceTime);
  if (type != SENTENCE_GGA) return 0;
  const GgaRecord* fix = static_cast<const GgaRecord*>(record);
  char text[FIX_TEXT_SIZE];
  for (const FixField& field : FixFieldTable) {
    field.format(fix, text);
    // Sent to the UI thread, which serves it between main loop passes.
    (void)SetDlgItemTextA(panelWindow, field.controlId, text);
  }
  return 0;
}
