#include "monitor/monitor_window.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include <comport/comport.h>
#include <nmea/receiver.h>

#include "monitor/controls.h"
#include "monitor/fix_text.h"
#include "monitor/layout.h"
#include "monitor/link_text.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"
#include "monitor/record_file.h"
#include "monitor/sentence_pane.h"
#include "monitor/session.h"
#include "monitor/signal_bars_window.h"
#include "monitor/sky_plot_window.h"
#include "monitor/steadiness_window.h"
#include "monitor/view.h"

namespace {

// The link line is the only thing redrawn by the clock, and only while a
// receiver is open or being looked for.
constexpr UINT_PTR LINK_TIMER = 1;
constexpr UINT LINK_TIMER_MS = 1000;
// While recording, what the reader thread handed over is written this often.
constexpr UINT_PTR RECORD_TIMER = 2;
constexpr int TEXT_SIZE = CONTROL_TEXT_SIZE;

MonitorOptions gOptions;
// Why the last Start failed, shown in the link line until the next one.
char gNotice[TEXT_SIZE];
// The page shown under the plot (MONITOR_PAGE_...).
int gPage;

const char* const PAGE_NAMES[MONITOR_PAGE_COUNT] = {"Signals", "Sentences", "Steadiness"};

HWND Child(HWND window, int id) { return GetDlgItem(window, id); }

void AddItem(HWND list, const char* text, LPARAM data) {
  const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (at >= 0) SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
}

// Selects the item whose data is value, else the first (Auto).
void SelectItem(HWND list, LPARAM value) {
  const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == value) {
      SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return;
    }
  }
  SendMessageA(list, CB_SETCURSEL, 0, 0);
}

LPARAM SelectedData(HWND list) {
  const LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
  return at < 0 ? -1 : SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
}

// "Auto", then the ports Windows lists (every slot when the list cannot be
// read); "Auto", then the speeds the library takes.
void FillLists(HWND window) {
  HWND ports = Child(window, IDC_PORT_LIST);
  AddItem(ports, "Auto", -1);
  char server[SERVER_HOST_SIZE + 32];
  if (std::strcmp(gOptions.serverHost, "localhost") == 0 && gOptions.serverPort == SERVER_DEFAULT_PORT) {
    std::snprintf(server, sizeof server, "orvogps-server (localhost)");
  } else {
    std::snprintf(server, sizeof server, "orvogps-server (%s:%u)", gOptions.serverHost,
                  static_cast<unsigned>(gOptions.serverPort));
  }
  AddItem(ports, server, MONITOR_PORT_SERVER);
  uint32_t listed = 0;
  if (OrvoCOMListPorts(&listed) != 0) listed = (1u << COM_PORT_COUNT) - 1;
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    if ((listed & (1u << i)) == 0) continue;
    char name[8];
    std::snprintf(name, sizeof name, "COM%d", static_cast<int>(i + 1));
    AddItem(ports, name, i);
  }
  SelectItem(ports, gOptions.portIndex);
  HWND speeds = Child(window, IDC_SPEED_LIST);
  AddItem(speeds, "Auto", GPS_BAUD_AUTO);
  for (uint32_t rate : GPS_BAUD_RATES) {
    char text[12];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(rate));
    AddItem(speeds, text, static_cast<LPARAM>(rate));
  }
  SelectItem(speeds, static_cast<LPARAM>(gOptions.baudRate));
}

void ShowFix(HWND window) {
  char values[FIX_ROW_COUNT][FIX_VALUE_SIZE];
  FormatFixRows(gView.fix, gView.hasEpoch ? gView.markCount : GPS_UNKNOWN, values);
  for (int32_t row = 0; row < FIX_ROW_COUNT; ++row) SetText(Child(window, IDC_FIX_VALUE + row), values[row]);
}

void ShowLink(HWND window) {
  char text[TEXT_SIZE];
  if (gNotice[0] && !SessionActive()) {
    std::snprintf(text, sizeof text, "%s", gNotice);
  } else {
    LinkView view;
    SessionLinkView(&view);
    FormatLinkLine(view, text, sizeof text);
  }
  char note[TEXT_SIZE];
  RecordNote(note, sizeof note);
  const size_t used = std::strlen(text);
  if (note[0]) std::snprintf(text + used, sizeof text - used, " | %s", note);
  SetText(Child(window, IDC_LINK_LINE), text);
}

void ShowRecording(HWND window) {
  char source[SERVER_HOST_SIZE + 16];
  uint32_t baud = 0;
  const bool open = SessionSource(source, sizeof source, &baud);
  EnableWindow(Child(window, IDC_RECORD), open || Recording());
  SetText(Child(window, IDC_RECORD), Recording() ? "Stop recording" : "Record...");
  if (Recording()) {
    SetTimer(window, RECORD_TIMER, RECORD_WRITE_MS, nullptr);
  } else {
    KillTimer(window, RECORD_TIMER);
  }
}

// path null: the user picks the file.
void BeginRecording(HWND window, const char* path) {
  char source[SERVER_HOST_SIZE + 16];
  uint32_t baud = 0;
  if (SessionSource(source, sizeof source, &baud)) (void)RecordBegin(window, path, source, baud);  // RecordNote says why not
  ShowRecording(window);
  ShowLink(window);
}

void OnRecordTimer(HWND window) {
  if (RecordWrite()) return;
  ShowRecording(window);
  ShowLink(window);
}

void ShowRunning(HWND window, bool running) {
  SetText(Child(window, IDC_START_STOP), running ? "Stop" : "Start");
  EnableWindow(Child(window, IDC_PORT_LIST), !running);
  EnableWindow(Child(window, IDC_SPEED_LIST), !running);
  if (running) {
    SetTimer(window, LINK_TIMER, LINK_TIMER_MS, nullptr);
  } else {
    KillTimer(window, LINK_TIMER);
  }
  ShowRecording(window);
  ShowLink(window);
}

// Only the page shown is drawn; the others keep what they are given.
void Redraw(HWND window) {
  ShowFix(window);
  InvalidateRect(Child(window, IDC_SKY_PLOT), nullptr, FALSE);
  if (gPage == MONITOR_PAGE_SIGNALS) InvalidateRect(Child(window, IDC_SIGNAL_BARS), nullptr, FALSE);
  if (gPage == MONITOR_PAGE_STEADINESS) {
    InvalidateRect(Child(window, IDC_STEADY_PLOT), nullptr, FALSE);
    SteadyFigures figures;
    SteadinessMeasure(gSteadiness, &figures, nullptr);
    char text[STEADY_TEXT_SIZE];
    FormatSteadyFigures(figures, text, sizeof text);
    SetText(Child(window, IDC_STEADY_FIGURES), text);
  }
}

// The sentences are taken at each epoch, and by the link line's timer when
// no epoch came since its last tick (a receiver that sends no fix): the
// page is drawn once per cycle, not twice.
bool gEpochSinceTick;

void TakeSentences(HWND window) {
  if (SessionTakeSentences(&gSentences) > 0) UpdateSentencePane(window);
}

void ShowPage(HWND window, int page) {
  gPage = page;
  (void)SendMessageA(Child(window, IDC_TABS), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  ShowChild(window, IDC_SIGNAL_BARS, page == MONITOR_PAGE_SIGNALS);
  ShowSentencePane(window, page == MONITOR_PAGE_SENTENCES);
  for (int id : {IDC_STEADY_PLOT, IDC_STEADY_FIGURES, IDC_STEADY_RESET})
    ShowChild(window, id, page == MONITOR_PAGE_STEADINESS);
  Redraw(window);
}

void MakeTabs(HWND window) {
  HWND tabs = MakeChild(window, WC_TABCONTROLA, "", WS_CLIPSIBLINGS | WS_TABSTOP, IDC_TABS);
  if (!tabs) return;
  for (int page = 0; page < MONITOR_PAGE_COUNT; ++page) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(PAGE_NAMES[page]);
    (void)SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
  }
  // Under the pages, which are its siblings.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The command line's recording starts with the first receiver opened.
void TakeUpRecording(HWND window) {
  char source[SERVER_HOST_SIZE + 16];
  uint32_t baud;
  if (!gOptions.record || !SessionSource(source, sizeof source, &baud)) return;
  BeginRecording(window, gOptions.record);
  gOptions.record = nullptr;
}

void Start(HWND window) {
  gNotice[0] = '\0';
  ViewClear();
  ClearSentencePane(window);
  Redraw(window);
  const int32_t port = static_cast<int32_t>(SelectedData(Child(window, IDC_PORT_LIST)));
  const uint32_t baud = static_cast<uint32_t>(SelectedData(Child(window, IDC_SPEED_LIST)));
  const bool started = port == MONITOR_PORT_SERVER
                           ? SessionStartServer(gOptions.serverHost, gOptions.serverPort, gNotice, sizeof gNotice)
                           : SessionStart(port, baud, gNotice, sizeof gNotice);
  ShowRunning(window, started);
  TakeUpRecording(window);
}

void Stop(HWND window) {
  SessionStop();
  ShowRunning(window, false);
}

void OnCreate(HWND window) {
  SessionInit(window);
  MakeChild(window, "STATIC", "Port", SS_LEFT, IDC_PORT_LABEL);
  MakeChild(window, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_PORT_LIST);
  MakeChild(window, "STATIC", "Speed", SS_LEFT, IDC_SPEED_LABEL);
  MakeChild(window, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_SPEED_LIST);
  MakeChild(window, "BUTTON", "Start", BS_PUSHBUTTON | WS_TABSTOP, IDC_START_STOP);
  MakeChild(window, "BUTTON", "Record...", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, IDC_RECORD);
  MakeChild(window, SKY_PLOT_CLASS, "", 0, IDC_SKY_PLOT);
  MakeChild(window, SIGNAL_BARS_CLASS, "", 0, IDC_SIGNAL_BARS);
  for (int32_t row = 0; row < FIX_ROW_COUNT; ++row) {
    MakeChild(window, "STATIC", FixRowLabels[row], SS_LEFT | SS_NOPREFIX, IDC_FIX_LABEL + row);
    MakeChild(window, "STATIC", "-", SS_LEFT | SS_NOPREFIX, IDC_FIX_VALUE + row);
  }
  MakeChild(window, "STATIC", "Closed", SS_LEFT | SS_NOPREFIX | SS_SUNKEN, IDC_LINK_LINE);
  CreateSentencePane(window);
  MakeChild(window, STEADINESS_CLASS, "", 0, IDC_STEADY_PLOT);
  HWND figures = MakeChild(window, "STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_STEADY_FIGURES);
  if (figures) SendMessageA(figures, WM_SETFONT, reinterpret_cast<WPARAM>(MonitorFixedFont()), FALSE);
  MakeChild(window, "BUTTON", "Reset", BS_PUSHBUTTON | WS_TABSTOP, IDC_STEADY_RESET);
  MakeTabs(window);
  ShowPage(window, gOptions.page);
  FillLists(window);
  ShowFix(window);
  if (gOptions.start) PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_START_STOP, BN_CLICKED), 0);
}

void OnSize(HWND window, int width, int height) {
  MonitorLayout layout;
  LayOutMonitor(width, height, &layout);
  Place(window, IDC_PORT_LIST, layout.portList);
  Place(window, IDC_SPEED_LIST, layout.speedList);
  Place(window, IDC_START_STOP, layout.startStop);
  Place(window, IDC_RECORD, layout.record);
  Place(window, IDC_SKY_PLOT, layout.skyPlot);
  Place(window, IDC_TABS, layout.tabs);
  Place(window, IDC_SIGNAL_BARS, layout.signalBars);
  PlaceSentencePane(window, layout);
  Place(window, IDC_STEADY_PLOT, layout.steadyPlot);
  Place(window, IDC_STEADY_FIGURES, layout.steadyFigures);
  Place(window, IDC_STEADY_RESET, layout.steadyReset);
  Place(window, IDC_LINK_LINE, layout.linkLine);
  Place(window, IDC_PORT_LABEL, layout.portLabel);
  Place(window, IDC_SPEED_LABEL, layout.speedLabel);
  const Box& panel = layout.fixPanel;
  for (int32_t row = 0; row < FIX_ROW_COUNT; ++row) {
    const int top = panel.top + row * FIX_ROW_HEIGHT;
    const bool shown = (row + 1) * FIX_ROW_HEIGHT <= panel.height;
    HWND name = Child(window, IDC_FIX_LABEL + row);
    HWND value = Child(window, IDC_FIX_VALUE + row);
    MoveWindow(name, panel.left, top, FIX_LABEL_WIDTH, FIX_ROW_HEIGHT, TRUE);
    MoveWindow(value, panel.left + FIX_LABEL_WIDTH, top, panel.width - FIX_LABEL_WIDTH, FIX_ROW_HEIGHT, TRUE);
    ShowWindow(name, shown ? SW_SHOWNA : SW_HIDE);
    ShowWindow(value, shown ? SW_SHOWNA : SW_HIDE);
  }
}

void OnMinMaxInfo(MINMAXINFO* info) {
  RECT rect = {0, 0, MONITOR_MIN_WIDTH, MONITOR_MIN_HEIGHT};
  AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
  info->ptMinTrackSize.x = rect.right - rect.left;
  info->ptMinTrackSize.y = rect.bottom - rect.top;
}

void OnCommand(HWND window, int id, int code) {
  if (id >= IDC_VIEW && id < IDC_VIEW + MONITOR_PAGE_COUNT) {
    ShowPage(window, id - IDC_VIEW);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_START_STOP:
      if (SessionActive()) {
        Stop(window);
      } else {
        Start(window);
      }
      break;
    case IDC_RECORD:
      if (Recording()) {
        RecordEnd();
        ShowRecording(window);
        ShowLink(window);
      } else {
        BeginRecording(window, nullptr);
      }
      break;
    case IDC_STEADY_RESET:
      SteadinessReset(&gSteadiness);
      Redraw(window);
      break;
    case IDC_SENTENCE_PAUSE:
      OnSentencePause(window);
      break;
    default:
      break;
  }
}

void OnNotify(HWND window, const NMHDR* header) {
  if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE)
    ShowPage(window, static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
}

void OnFound(HWND window, WPARAM generation) {
  const bool open = SessionFound(generation, gNotice, sizeof gNotice);
  if (!open) gNotice[0] = '\0';  // the link line says what the search found
  ShowRunning(window, SessionActive());
  TakeUpRecording(window);
}

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_SIZE:
      OnSize(window, LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_GETMINMAXINFO:
      OnMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      OnNotify(window, reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_APP_EPOCH:
      gEpochSinceTick = true;
      TakeSentences(window);
      if (SessionTakeEpoch(&gView.fix, &gView.sky)) {
        ViewUpdate();
        Redraw(window);
      }
      return 0;
    case WM_APP_FOUND:
      OnFound(window, wParam);
      return 0;
    case WM_TIMER:
      if (wParam == LINK_TIMER) {
        if (!gEpochSinceTick) TakeSentences(window);
        gEpochSinceTick = false;
        ShowLink(window);
      } else if (wParam == RECORD_TIMER) {
        OnRecordTimer(window);
      }
      return 0;
    case WM_CLOSE:
      SessionStop();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

HWND CreateMonitorWindow(HINSTANCE instance, const MonitorOptions& options, int show) {
  gOptions = options;
  const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES};
  if (!InitCommonControlsEx(&controls)) return nullptr;
  if (!RegisterSkyPlotClass(instance) || !RegisterSignalBarsClass(instance) || !RegisterSteadinessClass(instance) ||
      !RegisterSentenceListClass(instance))
    return nullptr;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MonitorProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = MONITOR_CLASS;
  if (!RegisterClassExA(&wc)) return nullptr;
  HWND window = CreateWindowExA(WS_EX_CONTROLPARENT, MONITOR_CLASS, MONITOR_TITLE, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 960, 680, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  ShowWindow(window, show);
  UpdateWindow(window);
  return window;
}
