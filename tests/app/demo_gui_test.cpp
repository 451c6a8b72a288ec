// Drives the real demo program: starts orvogps-demo.exe, finds its windows by
// class and control id, clicks with BM_CLICK, reads texts with WM_GETTEXT (or
// as the window manager keeps them) and what it paints from Wine's drawn
// desktop, and plays the receiver on the far end of the virtual COM1
// (COM11), where the demo's DTR shows as DSR.
//
// The demo's main loop sleeps until input arrives or its indicator or
// watchdog is due, and any message wakes it.  So the timed checks send it
// nothing while they measure: they watch the screen and the far end of the
// cable, and ask the demo only once the measured time is over.
//
//   demo_gui_test.exe <path of orvogps-demo.exe> [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/gui/wine_gui.h"
#include "tests/app/message_spy.h"

namespace {

std::string demoPath;

constexpr DWORD START_DEADLINE_MS = 15000;
constexpr DWORD DEADLINE_MS = 5000;
constexpr DWORD POLL_MS = 20;

const char kClosed[] = "GPS interface closed";
const char kAcquiring[] = "GPS data acquisition";
const char kFailed[] = "Failed to open GPS device port";
const char kNoResponse[] = "No response from GPS device";

const int kFieldIds[] = {IDC_UTC_TIME,       IDC_LAT_DEGREES, IDC_LAT_MINUTES, IDC_LON_DEGREES,
                         IDC_LON_MINUTES,    IDC_LAT_HEMISPHERE, IDC_LON_HEMISPHERE,
                         IDC_SATELLITES,     IDC_FIX_VALID,   IDC_ALTITUDE,    IDC_HDOP};

// Milliseconds on the performance counter, the finest clock the test has;
// it is the same in every process, the demo's too.
double CounterMs(int64_t counter) {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter) / static_cast<double>(frequency.QuadPart);
}

double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return CounterMs(now.QuadPart);
}

// When a change happened, as far as polling can tell: after before, no later
// than at.
struct Seen {
  double before;
  double at;
};

// Polls the condition every millisecond, without serving messages or
// sending any, until it holds (true, with when it turned in seen) or
// deadline (on NowMs) passes.  The caller knows it did not hold before the
// call.
bool WatchFor(const std::function<bool()>& condition, double deadline, Seen* seen) {
  double lastFalse = NowMs();
  for (;;) {
    double sampled = NowMs();
    if (condition()) {
      *seen = {lastFalse, NowMs()};
      return true;
    }
    lastFalse = sampled;
    if (sampled > deadline) return false;
    Sleep(1);
  }
}

// The time from one change to the other lies between low and high ms as far
// as polling can tell: the times it allows meet that range.
void ExpectSpan(const Seen& from, const Seen& to, double low, double high, const char* what) {
  double shortest = to.before - from.at;
  double longest = to.at - from.before;
  std::printf("%s: %.1f to %.1f ms\n", what, shortest, longest);
  EXPECT_GE(longest, low) << what;
  EXPECT_LE(shortest, high) << what;
}

// Polls until the condition holds or the deadline passes.
bool PollUntil(const std::function<bool()>& condition, DWORD deadlineMs = DEADLINE_MS) {
  ULONGLONG end = GetTickCount64() + deadlineMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    WaitServingMessages(nullptr, POLL_MS);
  }
}

std::string Text(HWND window) {
  char text[1024] = "";
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, DEADLINE_MS, &length)) {
    return "<no answer>";
  }
  return std::string(text, length);
}

// The text of a window whose text the window manager keeps (the status line,
// a button), read without sending the demo anything: GetWindowTextA does
// not send WM_GETTEXT to another process's window.
std::string KeptText(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, DEADLINE_MS,
                           &result)) {
    ADD_FAILURE() << "window " << window << " did not answer message " << message;
  }
  return static_cast<LRESULT>(result);
}

void Click(HWND button) { ASSERT_TRUE(PostMessageA(button, BM_CLICK, 0, 0)); }

std::string Sentence(const char* body) {
  unsigned checksum = 0;
  for (const char* c = body; *c; ++c) checksum ^= static_cast<unsigned char>(*c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
  return std::string("$") + body + tail;
}

const char kMunichGga[] = "GPGGA,123519,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,";
const char kEmptyGga[] = "GPGGA,,,,,,,,,,,,,,";
const char kRmc[] = "GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

const std::vector<std::string> kMunichTexts = {"12:35:19.00", "48",    "07.0380", "011",
                                               "31.0000",     "North", "East",    "08",
                                               "Yes",         "545.400024", "0.900000"};
const std::vector<std::string> kZeroTexts = {"00:00:00.00", "00",   "00.0000", "000",
                                             "00.0000",     "South", "West",   "00",
                                             "No ",         "0.000000", "0.000000"};
const std::vector<std::string> kBlankTexts(11);

// The far end of the virtual null-modem cable whose near end is COM1.
struct Receiver {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE stop = nullptr;
  HANDLE thread = nullptr;
  std::string repeated;

  void Open() {
    port = CreateFileA("\\\\.\\COM11", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "far end of COM1, error " << GetLastError();
  }

  // The cable wires the demo's DTR, which its port raises at open and drops
  // at close, to this end's DSR.
  bool DsrOn() {
    DWORD lines = 0;
    return GetCommModemStatus(port, &lines) && (lines & MS_DSR_ON);
  }

  void Write(const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        << GetLastError();
    ASSERT_EQ(written, bytes.size());
  }

  static DWORD WINAPI RepeatProc(void* self) {
    Receiver* receiver = static_cast<Receiver*>(self);
    // The wait paces a 5 Hz receiver and ends it as soon as stop is set.
    while (WaitForSingleObject(receiver->stop, 200) == WAIT_TIMEOUT) {
      DWORD written = 0;
      if (!WriteFile(receiver->port, receiver->repeated.data(),
                     static_cast<DWORD>(receiver->repeated.size()), &written, nullptr)) {
        return 1;
      }
    }
    return 0;
  }

  void StartRepeating(const std::string& bytes) {
    repeated = bytes;
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(stop, nullptr);
    thread = CreateThread(nullptr, 0, RepeatProc, this, 0, nullptr);
    ASSERT_NE(thread, nullptr);
  }

  void StopRepeating() {
    if (!thread) return;
    SetEvent(stop);
    EXPECT_EQ(WaitForSingleObject(thread, DEADLINE_MS), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(stop);
    thread = nullptr;
    stop = nullptr;
  }

  ~Receiver() {
    StopRepeating();
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  }
};

Screenshot ClientShot(HWND window) {
  RECT client{};
  POINT corner{0, 0};
  if (!GetClientRect(window, &client) || !ClientToScreen(window, &corner)) return {};
  return ScreenShot({corner.x, corner.y, corner.x + client.right, corner.y + client.bottom});
}

uint32_t Rgb(COLORREF colour) {
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

constexpr uint32_t STATUS_INK = 0x5F5F5F;
constexpr LONG INDICATOR_LEFT = 304;

// The first and last client columns of the status strip, left of the
// indicator, where the text colour shows; -1 for both when none does.
struct Ink {
  LONG first;
  LONG last;
};

Ink StatusInk(HWND statusWindow) {
  Screenshot shot = ClientShot(statusWindow);
  LONG first = -1;
  LONG last = -1;
  for (LONG x = 0; x < std::min(shot.width, INDICATOR_LEFT); ++x) {
    for (LONG y = 0; y < shot.height; ++y) {
      if (shot.At(x, y) != STATUS_INK) continue;
      if (first < 0) first = x;
      last = x;
      break;
    }
  }
  return {first, last};
}

struct FindContext {
  DWORD processId;
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  FindContext* find = reinterpret_cast<FindContext*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  if (owner == find->processId && lstrcmpiA(className, find->className) == 0 &&
      IsWindowVisible(window)) {
    find->found.push_back(window);
  }
  return TRUE;
}

class demo_gui_test : public ::testing::Test {
 protected:
  PROCESS_INFORMATION process{};
  HWND mainWindow = nullptr;
  HWND statusWindow = nullptr;
  HWND panel = nullptr;
  HWND indicator = nullptr;
  HWND toolbar[4] = {};  // start, stop, About, exit, by position
  HWND goButton = nullptr;
  HWND portList = nullptr;
  Receiver receiver;

  std::vector<HWND> TopLevel(const char* className) {
    FindContext find{process.dwProcessId, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&find));
    return find.found;
  }

  void SetUp() override {
    std::string command = "\"" + WindowsPath(demoPath) + "\"";
    // Wine's desktop process, started by the demo's first window, outlives
    // it and would hold on to our output, keeping ctest waiting; give the
    // demo no output to pass on.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE) << GetLastError();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    DWORD error = GetLastError();
    CloseHandle(nul);
    ASSERT_TRUE(started) << command << ": error " << error;
    ASSERT_TRUE(PollUntil([&] { return TopLevel("asdfasd").size() == 1; }, START_DEADLINE_MS))
        << "no main window";
    mainWindow = TopLevel("asdfasd")[0];
    ASSERT_TRUE(PollUntil([&] { return TopLevel("STATUSCLASS").size() == 1; })) << "no status line";
    statusWindow = TopLevel("STATUSCLASS")[0];
    ASSERT_TRUE(PollUntil([&] { return Text(statusWindow) == kClosed; })) << Text(statusWindow);
    panel = FindWindowExA(mainWindow, nullptr, "#32770", nullptr);
    ASSERT_NE(panel, nullptr) << "no receiver panel";
    goButton = GetDlgItem(panel, IDOK);
    portList = GetDlgItem(panel, IDC_PORT_LIST);
    indicator = FindWindowExA(statusWindow, nullptr, "Static", nullptr);
    ASSERT_NE(indicator, nullptr) << "no indicator";
    std::vector<std::pair<LONG, HWND>> buttons;
    for (HWND b = FindWindowExA(mainWindow, nullptr, "Button", nullptr); b;
         b = FindWindowExA(mainWindow, b, "Button", nullptr)) {
      RECT r;
      GetWindowRect(b, &r);
      buttons.push_back({r.left, b});
    }
    ASSERT_EQ(buttons.size(), 4u);
    std::sort(buttons.begin(), buttons.end());
    for (int i = 0; i < 4; ++i) toolbar[i] = buttons[i].second;
  }

  void TearDown() override {
    receiver.StopRepeating();
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
      PostMessageA(mainWindow, WM_CLOSE, 0, 0);
      if (!WaitServingMessages(process.hProcess, DEADLINE_MS)) {
        ADD_FAILURE() << "the demo did not close";
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, DEADLINE_MS);
      }
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }

  std::string Status() { return KeptText(statusWindow); }

  std::vector<std::string> Fields() {
    std::vector<std::string> texts;
    for (int id : kFieldIds) texts.push_back(Text(GetDlgItem(panel, id)));
    return texts;
  }

  void SelectPort(int index) {
    ASSERT_EQ(Send(portList, CB_SETCURSEL, index), index);
  }

  bool StatusBecomes(const char* text, DWORD deadline = DEADLINE_MS) {
    return PollUntil([&] { return Status() == text; }, deadline);
  }

  bool FieldsBecome(const std::vector<std::string>& texts) {
    return PollUntil([&] { return Fields() == texts; });
  }

  // GO on COM1 with the receiver connected: the far end sees the port open.
  void StartOnCom1() {
    receiver.Open();
    ASSERT_FALSE(receiver.DsrOn()) << "DTR up before GO";
    Click(goButton);
    ASSERT_TRUE(StatusBecomes(kAcquiring)) << Status();
    ASSERT_EQ(Text(goButton), "STOP");
    ASSERT_TRUE(PortSeenOpen());
  }

  bool PortSeenOpen() { return PollUntil([&] { return receiver.DsrOn(); }); }
  bool PortSeenClosed() { return PollUntil([&] { return !receiver.DsrOn(); }); }

  // Posted messages are handled in order: once this posted selection shows,
  // every click posted before it has been handled.
  void Barrier() {
    LRESULT original = Send(portList, CB_GETCURSEL);
    LRESULT marker = original == 7 ? 6 : 7;
    ASSERT_TRUE(PostMessageA(portList, CB_SETCURSEL, static_cast<WPARAM>(marker), 0));
    ASSERT_TRUE(PollUntil([&] { return Send(portList, CB_GETCURSEL) == marker; }));
    Send(portList, CB_SETCURSEL, static_cast<WPARAM>(original));
  }

  std::vector<HWND> AboutBoxes() { return TopLevel("#32770"); }

  RECT Rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
  }
};

TEST_F(demo_gui_test, startup) {
  EXPECT_EQ(Text(mainWindow), "ORVO NMEA GPS LIBRARY v1.0 (DEMO)");
  RECT frame = Rect(mainWindow);
  EXPECT_EQ(frame.right - frame.left, 340);
  EXPECT_EQ(frame.bottom - frame.top, 300);
  RECT strip = Rect(statusWindow);
  EXPECT_EQ(strip.left, frame.left);
  EXPECT_EQ(strip.top, frame.bottom);
  EXPECT_EQ(strip.right, frame.right);
  EXPECT_EQ(strip.bottom - strip.top, 22);

  const int expectedX[4] = {6, 87, 168, 249};
  for (int i = 0; i < 4; ++i) {
    RECT r = Rect(toolbar[i]);
    POINT corner = {r.left, r.top};
    ScreenToClient(mainWindow, &corner);
    EXPECT_EQ(corner.x, expectedX[i]) << "button " << i;
    EXPECT_EQ(corner.y, 5) << "button " << i;
    EXPECT_EQ(r.right - r.left, 77) << "button " << i;
    EXPECT_EQ(r.bottom - r.top, 25) << "button " << i;
    EXPECT_EQ(GetDlgCtrlID(toolbar[i]), 0) << "button " << i;
    EXPECT_NE(Send(toolbar[i], BM_GETIMAGE, IMAGE_BITMAP), 0) << "button " << i << " has no bitmap";
  }

  ASSERT_EQ(Send(portList, CB_GETCOUNT), 8);
  for (int i = 0; i < 8; ++i) {
    // Wine carries this text between processes whole only in its wide form.
    wchar_t name[16] = L"";
    DWORD_PTR length = 0;
    ASSERT_TRUE(SendMessageTimeoutW(portList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name),
                                    SMTO_ABORTIFHUNG, DEADLINE_MS, &length));
    EXPECT_EQ(std::wstring(name), L"COM" + std::to_wstring(i + 1));
  }
  EXPECT_EQ(Send(portList, CB_GETCURSEL), 0);
  EXPECT_EQ(Text(portList), "COM1");
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_EQ(Fields(), kBlankTexts);
  EXPECT_EQ(Status(), kClosed);
  EXPECT_EQ(Send(indicator, STM_GETIMAGE, IMAGE_BITMAP), 0);
}

TEST_F(demo_gui_test, startup_window_styles_and_classes) {
  // Asked for with WS_SYSMENU alone: a caption and system menu, no sizing
  // border, no minimise or maximise box.
  LONG style = GetWindowLongA(mainWindow, GWL_STYLE);
  EXPECT_EQ(style & (WS_SYSMENU | WS_CAPTION), WS_SYSMENU | WS_CAPTION);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP | WS_CHILD), 0);
  EXPECT_EQ(GetClassLongA(mainWindow, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(GetWindowLongA(statusWindow, GWL_STYLE) & ~WS_CLIPSIBLINGS, 0x90400000);
  EXPECT_EQ(GetClassLongA(statusWindow, GCL_STYLE), 0u);
  EXPECT_EQ(GetWindow(statusWindow, GW_OWNER), mainWindow);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(GetWindowLongA(toolbar[i], GWL_STYLE), 0x50000080) << "button " << i;
  }
  EXPECT_EQ(GetWindowLongA(indicator, GWL_STYLE), 0x5000000E);
  RECT r = Rect(indicator);
  POINT corner = {r.left, r.top};
  ScreenToClient(statusWindow, &corner);
  EXPECT_EQ(corner.x, INDICATOR_LEFT);
  EXPECT_EQ(corner.y, 0);
  EXPECT_EQ(r.right - r.left, 30);
  EXPECT_EQ(r.bottom - r.top, 18);

  // Each class paints its own background brush.
  Screenshot main = ClientShot(mainWindow);
  ASSERT_GT(main.width, 0) << "the screen cannot be read";
  EXPECT_EQ(main.At(main.width - 3, main.height - 3), Rgb(GetSysColor(COLOR_APPWORKSPACE)));
  Screenshot strip = ClientShot(statusWindow);
  ASSERT_GT(strip.width, 0);
  EXPECT_EQ(strip.At(INDICATOR_LEFT - 4, strip.height / 2), Rgb(GetSysColor(COLOR_MENU)));

  // The status text is drawn in dark grey, 3 pixels in from the left.
  Ink ink;
  ASSERT_TRUE(PollUntil([&] { return (ink = StatusInk(statusWindow)).first >= 0; }))
      << "no status text on screen";
  EXPECT_GE(ink.first, 3);
  EXPECT_LT(ink.first, 8);
}

TEST_F(demo_gui_test, missing_port) {
  Ink closedInk;
  ASSERT_TRUE(PollUntil([&] { return (closedInk = StatusInk(statusWindow)).first >= 0; }));
  SelectPort(4);  // COM5: no such device
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kFailed)) << Status();
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_EQ(Fields(), kBlankTexts);
  EXPECT_EQ(Send(indicator, STM_GETIMAGE, IMAGE_BITMAP), 0);
  // The 30-character text is painted further right than the closed one.
  Ink failedInk;
  ASSERT_TRUE(PollUntil([&] {
    failedInk = StatusInk(statusWindow);
    return failedInk.last > closedInk.last + 20;
  })) << failedInk.last << " after " << closedInk.last;

  // GO again retries, here on a port that exists.
  SelectPort(0);
  receiver.Open();
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kAcquiring)) << Status();
  EXPECT_EQ(Text(goButton), "STOP");
  // The shorter text leaves no trace of the longer one on screen.
  Ink acquiringInk;
  EXPECT_TRUE(PollUntil([&] {
    acquiringInk = StatusInk(statusWindow);
    return acquiringInk.first >= 0 && acquiringInk.last < failedInk.last - 20;
  })) << acquiringInk.last << " after " << failedInk.last;
}

TEST_F(demo_gui_test, acquisition) {
  StartOnCom1();
  receiver.Write(Sentence(kMunichGga));
  EXPECT_TRUE(FieldsBecome(kMunichTexts)) << ::testing::PrintToString(Fields());

  receiver.Write(Sentence(kEmptyGga));
  EXPECT_TRUE(FieldsBecome(kZeroTexts)) << ::testing::PrintToString(Fields());

  // Other sentence types change nothing on screen but keep the watchdog quiet.
  receiver.StartRepeating(Sentence(kRmc));
  ULONGLONG end = GetTickCount64() + 6500;
  while (GetTickCount64() < end) {
    ASSERT_EQ(Status(), kAcquiring);
    ASSERT_EQ(Fields(), kZeroTexts);
    WaitServingMessages(nullptr, 250);
  }
  EXPECT_EQ(Text(goButton), "STOP");
}

TEST_F(demo_gui_test, stopping) {
  // A command carrying a notification code other than 0, as accelerators
  // send, is no toolbar click even with a button's window in lParam.
  ASSERT_TRUE(PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(0, 1),
                           reinterpret_cast<LPARAM>(toolbar[0])));
  Barrier();
  EXPECT_EQ(Status(), kClosed);
  EXPECT_EQ(Text(goButton), "GO");

  // A redundant stop press while stopped changes nothing.
  SelectPort(4);
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kFailed));
  Click(toolbar[1]);
  Barrier();
  EXPECT_EQ(Status(), kFailed);

  // STOP in the panel closes the port.
  SelectPort(0);
  StartOnCom1();
  receiver.Write(Sentence(kMunichGga));
  ASSERT_TRUE(FieldsBecome(kMunichTexts));
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kClosed));
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_EQ(Fields(), kBlankTexts);
  EXPECT_TRUE(PortSeenClosed());

  // The toolbar's start, a redundant start, and its stop.
  Click(toolbar[0]);
  ASSERT_TRUE(StatusBecomes(kAcquiring));
  EXPECT_TRUE(PortSeenOpen());
  receiver.Write(Sentence(kMunichGga));
  ASSERT_TRUE(FieldsBecome(kMunichTexts));
  SelectPort(4);  // a start that did anything now would fail visibly
  Click(toolbar[0]);
  Barrier();
  EXPECT_EQ(Status(), kAcquiring);
  EXPECT_EQ(Text(goButton), "STOP");
  EXPECT_TRUE(receiver.DsrOn());
  Click(toolbar[1]);
  ASSERT_TRUE(StatusBecomes(kClosed));
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_EQ(Fields(), kBlankTexts);
  EXPECT_TRUE(PortSeenClosed());
}

// The toolbar's exit while a receiver streams: the port closes, and "GPS
// interface closed" is shown, while the main window still exists; then the
// program ends.  Watched without pause, since the window goes a few
// milliseconds after the port: each look reads DSR or the status first and
// the main window's existence after it, so a look that finds both proves the
// order.
TEST_F(demo_gui_test, stopping_with_the_exit_button) {
  StartOnCom1();
  receiver.StartRepeating(Sentence(kMunichGga));
  ASSERT_TRUE(FieldsBecome(kMunichTexts));
  Click(toolbar[3]);
  bool closedBeforeWindowWent = false;
  bool shownBeforeWindowWent = false;
  double deadline = NowMs() + DEADLINE_MS;
  while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && NowMs() < deadline) {
    bool portClosed = !receiver.DsrOn();
    bool closedShown = KeptText(statusWindow) == kClosed;
    bool windowThere = IsWindow(mainWindow);
    closedBeforeWindowWent |= portClosed && windowThere;
    shownBeforeWindowWent |= closedShown && windowThere;
    MSG message;  // the window manager may send this thread activation messages
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  EXPECT_TRUE(closedBeforeWindowWent) << "the port was still open when the main window went";
  EXPECT_TRUE(shownBeforeWindowWent) << "\"" << kClosed << "\" never shown";
  ASSERT_TRUE(WaitServingMessages(process.hProcess, DEADLINE_MS));
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

// The watchdog, timed at the far end of the cable: from the last sentence's
// last byte until the demo's port drops DTR nothing is sent to the demo, and
// the last sentence is an RMC, which updates no window, so only the demo's
// own clock can wake its main loop to close the port 5000 to 5200 ms later.
TEST_F(demo_gui_test, watchdog) {
  StartOnCom1();
  receiver.Write(Sentence(kMunichGga));
  ASSERT_TRUE(FieldsBecome(kMunichTexts));
  Seen lastByte{NowMs(), 0};
  receiver.Write(Sentence(kRmc));
  lastByte.at = NowMs();
  ASSERT_TRUE(receiver.DsrOn());
  Seen closed{};
  ASSERT_TRUE(WatchFor([&] { return !receiver.DsrOn(); }, lastByte.at + 7000, &closed))
      << "the port was still open 7 s after the last sentence";
  ExpectSpan(lastByte, closed, 5000, 5200, "silence before the watchdog closed the port");

  EXPECT_TRUE(StatusBecomes(kNoResponse)) << Status();
  EXPECT_EQ(Fields(), kBlankTexts);
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_TRUE(PollUntil([&] { return Send(indicator, STM_GETIMAGE, IMAGE_BITMAP) == 0; }));
}

TEST_F(demo_gui_test, about) {
  Click(toolbar[2]);
  ASSERT_TRUE(PollUntil([&] { return AboutBoxes().size() == 1; })) << "no About box";
  HWND about = AboutBoxes()[0];
  EXPECT_EQ(Text(about), "ABOUT ORVO NMEA GPS LIBRARY");
  EXPECT_EQ(GetWindow(about, GW_OWNER), mainWindow);
  std::string text = Text(GetDlgItem(about, IDC_ABOUT_TEXT));
  EXPECT_NE(text.find("\r\n\r\nThis program is a DEMO application for OrvoGPS\r\n"
                      "Source Code library. It can be used to interface to\r\n"
                      "a NMEA 183 compliant GPS receiver via serial port and\r\n"
                      "get continued navigational position fix, including \r\n"
                      "lattitude, longitude, altitude and UTC time\r\n\r\n"),
            std::string::npos)
      << text;
  // Fourteen lines, the last without a line end, all inside the field.
  size_t lineEnds = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    ++lineEnds;
  }
  EXPECT_EQ(lineEnds, 13u);
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
  HWND edit = GetDlgItem(about, IDC_ABOUT_TEXT);
  ASSERT_EQ(Send(edit, EM_GETLINECOUNT), 14);
  EXPECT_EQ(Send(edit, EM_GETFIRSTVISIBLELINE), 0);
  RECT field{};
  GetClientRect(edit, &field);
  LRESULT secondLine = Send(edit, EM_POSFROMCHAR, Send(edit, EM_LINEINDEX, 1));
  LONG lineHeight = static_cast<short>(HIWORD(secondLine));
  ASSERT_GT(lineHeight, 0);
  for (int line = 0; line < 14; ++line) {
    LRESULT start = Send(edit, EM_LINEINDEX, line);
    LRESULT length = Send(edit, EM_LINELENGTH, start);
    if (length == 0) continue;
    // The end of the last line has no position of its own: its last
    // character, plus a line height as a generous character width.
    bool last = line == 13;
    LRESULT end = Send(edit, EM_POSFROMCHAR, start + length - (last ? 1 : 0));
    LONG right = static_cast<short>(LOWORD(end)) + (last ? lineHeight : 0);
    LONG bottom = static_cast<short>(HIWORD(end)) + lineHeight;
    EXPECT_LE(right, field.right) << "line " << line + 1;
    EXPECT_LE(bottom, field.bottom) << "line " << line + 1;
  }

  // A second press makes no second box.
  Click(toolbar[2]);
  Barrier();
  EXPECT_EQ(AboutBoxes().size(), 1u);

  // Moving the main window takes the status strip and the box along.
  ASSERT_TRUE(SetWindowPos(mainWindow, nullptr, 120, 90, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  RECT frame = Rect(mainWindow);
  EXPECT_EQ(frame.left, 120);
  EXPECT_TRUE(PollUntil([&] {
    RECT box = Rect(about);
    return box.left == frame.left + 9 && box.top == frame.top + 55 &&
           box.right - box.left == (frame.right - frame.left) - 20 &&
           box.bottom - box.top == (frame.bottom - frame.top) - 63;
  }));
  RECT strip = Rect(statusWindow);
  EXPECT_EQ(strip.left, frame.left);
  EXPECT_EQ(strip.top, frame.bottom);
  EXPECT_EQ(strip.right - strip.left, frame.right - frame.left);
  EXPECT_EQ(strip.bottom - strip.top, 22);

  // OK closes it; the toolbar opens it again.
  Click(GetDlgItem(about, IDOK));
  ASSERT_TRUE(PollUntil([&] { return AboutBoxes().empty(); }));
  Click(toolbar[2]);
  EXPECT_TRUE(PollUntil([&] { return AboutBoxes().size() == 1; }));
}

// Presses the keys down in order with Alt held, then lets them go, as
// keyboard input to whatever window has the focus.
void TypeWithAlt(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  auto key = [&](WORD code, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  key(VK_MENU, 0);
  for (WORD code : keys) key(code, 0);
  for (auto code = std::rbegin(keys); code != std::rend(keys); ++code) key(*code, KEYEVENTF_KEYUP);
  key(VK_MENU, KEYEVENTF_KEYUP);
  ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
            inputs.size())
      << GetLastError();
}

// message_spy.dll hooked onto the demo's UI thread, and the log it fills.
struct MessageSpy {
  HANDLE mapping = nullptr;
  SpyLog* log = nullptr;
  HMODULE library = nullptr;
  HHOOK hooks[2] = {};

  void Hook(int index, int type, const char* name, DWORD thread) {
    FARPROC proc = GetProcAddress(library, name);
    ASSERT_NE(proc, nullptr) << name;
    HOOKPROC hookProc;
    static_assert(sizeof hookProc == sizeof proc, "both are code addresses");
    std::memcpy(&hookProc, &proc, sizeof proc);
    hooks[index] = SetWindowsHookExA(type, hookProc, library, thread);
    ASSERT_NE(hooks[index], nullptr) << name << ": error " << GetLastError();
  }

  // Also loads the spy into the demo (on the first message the demo takes),
  // and sees it there.
  void Install(HWND demoWindow) {
    DWORD thread = GetWindowThreadProcessId(demoWindow, nullptr);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SpyLog),
                                 MESSAGE_SPY_MAPPING);
    ASSERT_NE(mapping, nullptr) << GetLastError();
    log = static_cast<SpyLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(log, nullptr) << GetLastError();
    // A mapping left by an earlier demo that has not quite ended yet starts
    // afresh too.
    InterlockedExchange(&log->count, 0);
    library = LoadLibraryA("message_spy.dll");
    ASSERT_NE(library, nullptr) << "message_spy.dll beside the test: error " << GetLastError();
    Hook(0, WH_CALLWNDPROC, MESSAGE_SPY_SENT_HOOK, thread);
    Hook(1, WH_GETMESSAGE, MESSAGE_SPY_TAKEN_HOOK, thread);
    Send(demoWindow, WM_NULL);
    ASSERT_EQ(Logged({WM_NULL}).size(), 1u) << "the spy is not in the demo";
  }

  // The messages of the given kinds logged so far.
  std::vector<SpiedMessage> Logged(std::initializer_list<UINT> kinds) const {
    LONG count = std::min(InterlockedCompareExchange(&log->count, 0, 0), MESSAGE_SPY_CAPACITY);
    std::vector<SpiedMessage> logged;
    for (LONG i = 0; i < count; ++i) {
      for (UINT kind : kinds) {
        if (log->entries[i].message == kind) logged.push_back(log->entries[i]);
      }
    }
    return logged;
  }

  ~MessageSpy() {
    for (HHOOK hook : hooks) {
      if (hook) UnhookWindowsHookEx(hook);
    }
    if (library) FreeLibrary(library);
    if (log) UnmapViewOfFile(log);
    if (mapping) CloseHandle(mapping);
  }
};

// Alt+? and Alt+/ typed on the keyboard.  The accelerator table turns each
// into command 104 with notification 1, sent to the window the key went to
// (the focused control, not the main window), and nothing handles 104, so
// nothing shows.  Untranslated, the key would reach DefWindowProcA, which
// asks for a menu with WM_SYSCOMMAND SC_KEYMENU and beeps.
TEST_F(demo_gui_test, about_keys_alt_question_and_slash) {
  MessageSpy spy;
  spy.Install(mainWindow);
  DWORD uiThread = GetWindowThreadProcessId(mainWindow, nullptr);
  SetForegroundWindow(mainWindow);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(GetGUIThreadInfo(uiThread, &gui)) << GetLastError();
  ASSERT_EQ(GetForegroundWindow(), mainWindow) << "keys would go elsewhere";
  ASSERT_NE(gui.hwndFocus, nullptr);
  ASSERT_NE(gui.hwndFocus, mainWindow) << "the main window itself has the focus";

  TypeWithAlt({VK_OEM_2});             // '/'
  TypeWithAlt({VK_SHIFT, VK_OEM_2});  // '?'
  auto commands = [&] { return spy.Logged({WM_COMMAND, WM_SYSCOMMAND}); };
  ASSERT_TRUE(PollUntil([&] { return commands().size() >= 2; }))
      << commands().size() << " commands seen";
  std::vector<SpiedMessage> logged = commands();
  ASSERT_EQ(logged.size(), 2u);
  for (const SpiedMessage& sent : logged) {
    EXPECT_EQ(sent.message, static_cast<UINT>(WM_COMMAND))
        << "message " << sent.message << " with " << sent.wParam;
    EXPECT_EQ(sent.wParam, MAKEWPARAM(ID_CMD_ABOUT, 1));
    EXPECT_EQ(sent.lParam, 0);
    EXPECT_EQ(sent.window, reinterpret_cast<uint64_t>(gui.hwndFocus))
        << (sent.window == reinterpret_cast<uint64_t>(mainWindow) ? "sent to the main window" : "");
  }
  Barrier();
  EXPECT_TRUE(AboutBoxes().empty());
  EXPECT_EQ(Status(), kClosed);
  EXPECT_EQ(Text(goButton), "GO");
  EXPECT_EQ(Fields(), kBlankTexts);
}

TEST_F(demo_gui_test, close_while_acquiring) {
  StartOnCom1();
  receiver.StartRepeating(Sentence(kMunichGga));
  ASSERT_TRUE(FieldsBecome(kMunichTexts));
  ASSERT_TRUE(PostMessageA(mainWindow, WM_CLOSE, 0, 0));
  ASSERT_TRUE(WaitServingMessages(process.hProcess, DEADLINE_MS));
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

constexpr uint32_t DOT_RED = 0xFF0000;
constexpr uint32_t PLAIN_GREY = 0xC0C0C0;

// The indicator while the demo is left alone: from GO until the third image
// shows nothing is sent to the demo, so only its own clock can wake its main
// loop.  The spy in the demo times each toggle (the loop takes the image it
// posted in the same pass), the screen shows which image it is.  Empty for
// the first second, then the red dot, the grey image and the dot again, a
// little over a second apart.
TEST_F(demo_gui_test, indicator) {
  RECT area = Rect(indicator);
  // The centre of the dot in its 21 x 14 bitmap.
  RECT centreArea = {area.left + 10, area.top + 6, area.left + 11, area.top + 7};
  auto centre = [&] {
    Screenshot shot = ScreenShot(centreArea);
    return shot.width == 1 ? shot.At(0, 0) : 0xFFFFFFFFu;
  };
  const uint32_t empty = centre();
  ASSERT_NE(empty, DOT_RED);
  ASSERT_NE(empty, PLAIN_GREY);
  MessageSpy spy;
  spy.Install(mainWindow);
  receiver.Open();

  Seen go{NowMs(), 0};
  Click(goButton);
  go.at = NowMs();
  const double deadline = go.at + 3 * 1100 + 200;
  std::vector<uint32_t> looks;
  std::vector<SpiedMessage> toggles;
  while ((looks.size() < 3 || toggles.size() < 3) && NowMs() < deadline) {
    uint32_t look = centre();
    if (look != (looks.empty() ? empty : looks.back())) looks.push_back(look);
    toggles = spy.Logged({STM_SETIMAGE});
    Sleep(1);
  }
  // The spy sees a toggle a little after it happens, never before, and GO is
  // read before the click.  A toggle seen late makes the gap after it look
  // shorter, so the lower bounds count from GO: the k-th toggle comes k
  // seconds or more after GO, and each at most 1100 ms after the one before.
  for (size_t k = 1; k <= toggles.size() && k <= 3; ++k) {
    double at = CounterMs(toggles[k - 1].counter);
    double since = k == 1 ? go.at : CounterMs(toggles[k - 2].counter);
    std::printf("toggle %zu: %.1f ms after GO, %.1f ms after the one before\n", k, at - go.before,
                at - since);
    EXPECT_GE(at - go.before, 1000.0 * k) << "toggle " << k << " came too soon";
    EXPECT_LE(at - since, 1100.0) << "toggle " << k << " came too late";
  }
  ASSERT_EQ(toggles.size(), 3u) << "toggles within " << deadline - go.at << " ms of GO";
  EXPECT_EQ(looks, (std::vector<uint32_t>{DOT_RED, PLAIN_GREY, DOT_RED}))
      << "centre colours of the images on screen";
  const int64_t dot = toggles[0].lParam;
  const int64_t grey = toggles[1].lParam;
  EXPECT_NE(dot, 0);
  EXPECT_NE(grey, 0);
  EXPECT_NE(dot, grey);
  EXPECT_EQ(toggles[2].lParam, dot);
  EXPECT_TRUE(receiver.DsrOn());
  EXPECT_EQ(Status(), kAcquiring);

  // Stopped, the control is empty; a restart goes on with the image that
  // was due next, the grey one, not with the dot.
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kClosed));
  EXPECT_TRUE(PollUntil([&] { return Send(indicator, STM_GETIMAGE, IMAGE_BITMAP) == 0; }));
  EXPECT_TRUE(PollUntil([&] { return centre() == empty; }));
  Click(goButton);
  ASSERT_TRUE(StatusBecomes(kAcquiring));
  Seen shown{};
  ASSERT_TRUE(WatchFor([&] { return centre() != empty; }, NowMs() + DEADLINE_MS, &shown));
  EXPECT_EQ(centre(), PLAIN_GREY);
  std::vector<SpiedMessage> images = spy.Logged({STM_SETIMAGE});
  ASSERT_GE(images.size(), 5u);
  EXPECT_EQ(images[3].lParam, 0) << "the stop empties the control";
  EXPECT_EQ(images[4].lParam, grey);
}

TEST_F(demo_gui_test, exit_command_to_main_window) {
  ASSERT_TRUE(PostMessageA(mainWindow, WM_COMMAND, ID_CMD_EXIT, 0));
  ASSERT_TRUE(WaitServingMessages(process.hProcess, DEADLINE_MS));
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

TEST_F(demo_gui_test, exit_command_to_status_line) {
  // Destroying the status line alone also ends the program.
  ASSERT_TRUE(PostMessageA(statusWindow, WM_COMMAND, ID_CMD_EXIT, 0));
  ASSERT_TRUE(WaitServingMessages(process.hProcess, DEADLINE_MS));
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <orvogps-demo.exe> [gtest options]\n", argv[0]);
    return 2;
  }
  demoPath = argv[1];
  if (!UseWineDesktop("orvogps-test")) {
    std::fprintf(stderr, "cannot select Wine's desktop in the registry\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
