// Drives the real monitor program: starts orvogps-monitor.exe with its port
// and speed on the command line, plays the receiver on the far end of the
// virtual COM1 (COM11), reads the monitor's texts with WM_GETTEXT and what it
// paints from Wine's drawn desktop.
//
//   monitor_gui_test.exe <orvogps-monitor.exe> <nmea-decode.exe> <captures folder> [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/fix_text.h"
#include "monitor/monitor_ids.h"
#include "tests/comport/far_end.h"
#include "tests/gui/wine_gui.h"
#include "tools/monitor_remote.h"

namespace {

std::string monitorPath;
std::string decoderPath;
std::string capturesPath;

constexpr DWORD START_DEADLINE_MS = 20000;
constexpr DWORD DEADLINE_MS = 10000;
constexpr int kPair = 1;

bool PollUntil(const std::function<bool()>& condition, DWORD deadlineMs = DEADLINE_MS) {
  const ULONGLONG end = GetTickCount64() + deadlineMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    WaitServingMessages(nullptr, 50);
  }
}

std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

// A made-up receiver's cycle at 12:00:<second>: GPS 10 straight up and used,
// GLONASS slot 6 (NMEA 70) on the eastern horizon and not used.
std::string ZenithAndEastCycle(int second) {
  char time[16];
  std::snprintf(time, sizeof time, "1200%02d.00", second % 60);
  return WithChecksum(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,01,0.9,545.4,M,46.9,M,,") +
         WithChecksum("GPGSA,A,3,10,,,,,,,,,,,,1.5,0.9,1.2") + WithChecksum("GPGSV,1,1,01,10,90,000,45") +
         WithChecksum("GLGSV,1,1,01,70,00,090,30") +
         WithChecksum(std::string("GPRMC,") + time + ",A,4807.038,N,01131.000,E,000.0,000.0,091226,,,A");
}

// The far end of the virtual COM1, sending a cycle a second from a thread of
// its own at the speed it set.
struct Receiver {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE stop = nullptr;
  HANDLE thread = nullptr;
  std::function<std::string(int)> cycle;

  // The harness plays a receiver at the wrong speed from the two ends'
  // speeds: this end's is the receiver's.  0 is none: bytes pass unchanged.
  bool SetSpeed(DWORD baudRate) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return false;
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return SetCommState(port, &dcb) != 0;
  }

  void Open(DWORD baudRate) {
    port = FarOpen(kPair);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "far end of COM1, error " << GetLastError();
    ASSERT_TRUE(SetSpeed(baudRate)) << GetLastError();
  }

  static DWORD WINAPI CycleProc(void* self) {
    Receiver* receiver = static_cast<Receiver*>(self);
    int second = 0;
    do {
      const std::string bytes = receiver->cycle(second++);
      if (!FarWrite(receiver->port, bytes.data(), static_cast<DWORD>(bytes.size()))) return 1;
    } while (WaitForSingleObject(receiver->stop, 1000) == WAIT_TIMEOUT);
    return 0;
  }

  void Send(const std::function<std::string(int)>& makeCycle) {
    cycle = makeCycle;
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(stop, nullptr);
    thread = CreateThread(nullptr, 0, CycleProc, this, 0, nullptr);
    ASSERT_NE(thread, nullptr);
  }

  void StopSending() {
    if (!thread) return;
    SetEvent(stop);
    EXPECT_EQ(WaitForSingleObject(thread, DEADLINE_MS), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(stop);
    thread = nullptr;
  }

  ~Receiver() {
    StopSending();
    if (port == INVALID_HANDLE_VALUE) return;
    // The cable's next user finds its far end as the harness made it.
    EXPECT_TRUE(SetSpeed(0)) << GetLastError();
    CloseHandle(port);
  }
};

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t GPS_BLUE = 0x005ADC;      // as the legend shows GPS
constexpr uint32_t GLONASS_RED = 0xDC2828;   // and GLONASS

class monitor_gui_test : public ::testing::Test {
 protected:
  PROCESS_INFORMATION process = {};
  MonitorWindows monitor = {};
  Receiver receiver;

  void Launch(const std::string& options) {
    std::string command = "\"" + WindowsPath(monitorPath) + "\" " + options;
    // Wine's desktop process, started by the monitor's first window, outlives
    // it and would hold our output open: the monitor gets none.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    const BOOL started =
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(nul);
    ASSERT_TRUE(started) << command << ": error " << GetLastError();
    ASSERT_TRUE(FindMonitor(process.dwProcessId, START_DEADLINE_MS, &monitor)) << "no monitor window";
  }

  // Milliseconds from WM_CLOSE to the end of the process; -1 when it did not
  // end within DEADLINE_MS.
  long Close() {
    const ULONGLONG start = GetTickCount64();
    PostMessageA(monitor.main, WM_CLOSE, 0, 0);
    if (!WaitServingMessages(process.hProcess, DEADLINE_MS)) return -1;
    return static_cast<long>(GetTickCount64() - start);
  }

  void TearDown() override {
    receiver.StopSending();
    if (process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && Close() < 0) {
      ADD_FAILURE() << "the monitor did not close";
      TerminateProcess(process.hProcess, 1);
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }

  std::string Text(HWND control) {
    char text[256];
    ReadControlText(control, text, sizeof text);
    return text;
  }

  std::string Value(int row) {
    char text[FIX_VALUE_SIZE];
    ReadFixValue(monitor, row, text, sizeof text);
    return text;
  }

  bool LinkSays(const char* words, DWORD deadline = DEADLINE_MS) {
    return PollUntil([&] { return Text(monitor.linkLine).find(words) != std::string::npos; }, deadline);
  }
};

TEST_F(monitor_gui_test, plot_puts_the_zenith_at_the_centre_the_east_horizon_at_the_rim_used_filled) {
  receiver.Open(4800);
  Launch("--port COM1 --baud 4800 --start");
  receiver.Send(ZenithAndEastCycle);
  ASSERT_TRUE(LinkSays("receiving at 4800 baud")) << Text(monitor.linkLine);
  ASSERT_TRUE(PollUntil([&] { return Value(FIX_ROW_SATELLITES) == "1 used, 2 in view"; }))
      << Value(FIX_ROW_SATELLITES);
  RECT area;
  ASSERT_TRUE(ClientOnScreen(monitor.skyPlot, &area));
  // The paint that follows the epoch's texts may take a moment.
  Screenshot shot;
  const LONG width = area.right - area.left, height = area.bottom - area.top;
  const LONG cx = width / 2, cy = height / 2;
  const LONG radius = std::min(width, height) / 2 - SKY_PLOT_MARGIN;
  ASSERT_TRUE(PollUntil([&] {
    shot = ScreenShot(area);
    return shot.width == width && shot.At(cx, cy) == GPS_BLUE;
  })) << "the centre shows " << std::hex << (shot.width ? shot.At(cx, cy) : 0) << ", not GPS 10 filled in blue";
  // GLONASS 6 on the east rim, hollow: its ring is red, its inside is not
  // (a point off the horizon circle and the east-west line).
  int ring = 0;
  for (LONG dy = -SKY_MARK_RADIUS - 1; dy <= SKY_MARK_RADIUS + 1; ++dy)
    for (LONG dx = -SKY_MARK_RADIUS - 1; dx <= SKY_MARK_RADIUS + 1; ++dx)
      if (shot.At(cx + radius + dx, cy + dy) == GLONASS_RED) ++ring;
  EXPECT_GE(ring, 20) << "no red ring at the east rim";
  EXPECT_EQ(WHITE, shot.At(cx + radius - 3, cy - 3)) << "the unused satellite's mark is filled";
  EXPECT_EQ(WHITE, shot.At(cx + radius - 3, cy + 3)) << "the unused satellite's mark is filled";
  // Nothing red or blue stands anywhere else on the plot's middle row but
  // at the two marks: the marks are where they should be and nowhere else.
  for (LONG x = 0; x < width; ++x) {
    const uint32_t pixel = shot.At(x, cy);
    if (std::labs(x - cx) > SKY_MARK_RADIUS + 1) {
      EXPECT_NE(GPS_BLUE, pixel) << "blue at x " << x;
    }
    if (std::labs(x - cx - radius) > SKY_MARK_RADIUS + 1) {
      EXPECT_NE(GLONASS_RED, pixel) << "red at x " << x;
    }
  }
}

// The lines of nmea-decode --state for a file: each sentence, then the
// objects it changed.
std::vector<std::string> DecoderState(const std::string& file) {
  const std::string output = file + ".state";
  std::string command = "cmd /c \"\"" + WindowsPath(decoderPath) + "\" --state \"" + file + "\" > \"" + output + "\"\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  std::vector<std::string> lines;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return lines;
  WaitForSingleObject(child.hProcess, 60000);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  std::ifstream in(output);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The number after "name": in a JSON object, NAN without one.
double JsonNumber(const std::string& json, const char* name) {
  const std::string key = std::string("\"") + name + "\":";
  const size_t at = json.find(key);
  return at == std::string::npos ? NAN : std::strtod(json.c_str() + at + key.size(), nullptr);
}

TEST_F(monitor_gui_test, fix_texts_equal_what_the_decoder_says_at_the_same_sentence) {
  // The first 300 lines of a u-blox NEO-M9N's capture (four constellations),
  // sent at once: the monitor shows the last epoch that completed.
  std::ifstream capture(capturesPath + "/ublox-neo-m9n-nmea.log", std::ios::binary);
  ASSERT_TRUE(capture) << capturesPath;
  std::string stream;
  std::string line;
  for (int n = 0; n < 300 && std::getline(capture, line); ++n) stream += line + "\n";
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
  const std::string file = std::string(temp) + "monitor_gui_test.log";
  std::ofstream(file, std::ios::binary) << stream;

  receiver.Open(4800);
  Launch("--port COM1 --baud 4800 --start");
  ASSERT_TRUE(LinkSays("no sentences at 4800 baud") || LinkSays("receiving")) << Text(monitor.linkLine);
  ASSERT_TRUE(FarWrite(receiver.port, stream.data(), static_cast<DWORD>(stream.size())));
  // Settled: the time has not changed for two seconds.
  std::string shown, before;
  ASSERT_TRUE(PollUntil([&] {
    before = shown;
    shown = Value(FIX_ROW_TIME);
    WaitServingMessages(nullptr, 2000);
    return shown != "-" && shown == Value(FIX_ROW_TIME);
  }, 30000)) << shown;

  const std::vector<std::string> state = DecoderState(file);
  ASSERT_GT(state.size(), 300u) << "nmea-decode --state gave nothing";
  // The epoch's fix is the last TPV with its time; its DOPs are in the last
  // SKY before the next epoch's TPV.
  const std::string date = Value(FIX_ROW_DATE);
  const std::string stamp = "\"time\":\"" + date + "T" + shown + "Z\"";
  std::string tpv, sky;
  bool inEpoch = false;
  for (const std::string& l : state) {
    if (l.find("\"class\":\"TPV\"") != std::string::npos) {
      if (l.find(stamp) != std::string::npos) {
        tpv = l;
        inEpoch = true;
      } else if (inEpoch && l.find("\"time\":") != std::string::npos) {
        break;
      }
    }
    if (inEpoch && l.find("\"class\":\"SKY\"") != std::string::npos) sky = l;
  }
  ASSERT_FALSE(tpv.empty()) << "nmea-decode shows no TPV at " << stamp;
  const struct {
    int row;
    double expected, tolerance;
  } numbers[] = {
      {FIX_ROW_LATITUDE, JsonNumber(tpv, "lat"), 5e-9},   {FIX_ROW_LONGITUDE, JsonNumber(tpv, "lon"), 5e-9},
      {FIX_ROW_ALTITUDE_MSL, JsonNumber(tpv, "altMSL"), 0.005}, {FIX_ROW_ALTITUDE_HAE, JsonNumber(tpv, "altHAE"), 0.005},
      {FIX_ROW_HDOP, JsonNumber(sky, "hdop"), 0.005},     {FIX_ROW_PDOP, JsonNumber(sky, "pdop"), 0.005},
      {FIX_ROW_VDOP, JsonNumber(sky, "vdop"), 0.005},
  };
  for (const auto& n : numbers) {
    const std::string text = Value(n.row);
    ASSERT_FALSE(std::isnan(n.expected)) << "row " << n.row << " in " << tpv << sky;
    EXPECT_NEAR(n.expected, std::strtod(text.c_str(), nullptr), n.tolerance) << "row " << n.row << ": " << text;
  }
  // Speed in km/h, as the decoder's metres per second make it.
  EXPECT_NEAR(JsonNumber(tpv, "speed") * 3.6, std::strtod(Value(FIX_ROW_SPEED).c_str(), nullptr), 0.05)
      << Value(FIX_ROW_SPEED);
  EXPECT_EQ(std::to_string(static_cast<int>(JsonNumber(tpv, "mode"))) + "D", Value(FIX_ROW_MODE));
  EXPECT_EQ(static_cast<int>(JsonNumber(tpv, "satellitesUsed")), std::atoi(Value(FIX_ROW_SATELLITES).c_str()));
  DeleteFileA(file.c_str());
  DeleteFileA((file + ".state").c_str());
}

TEST_F(monitor_gui_test, auto_finds_the_port_and_the_speed_and_stop_and_start_take_them_up_again) {
  receiver.Open(38400);
  Launch("--port auto --baud auto --start");
  receiver.Send(ZenithAndEastCycle);
  ASSERT_TRUE(LinkSays("COM1: receiving at 38400 baud", 30000)) << Text(monitor.linkLine);
  ASSERT_TRUE(PollUntil([&] { return Value(FIX_ROW_TIME) != "-"; })) << "no fix after the receiver was found";
  EXPECT_EQ("Stop", Text(monitor.startStop));

  PressStartStop(monitor);
  ASSERT_TRUE(PollUntil([&] { return Text(monitor.startStop) == "Start"; }));
  EXPECT_TRUE(LinkSays("Closed")) << Text(monitor.linkLine);
  PressStartStop(monitor);
  EXPECT_TRUE(PollUntil([&] { return Text(monitor.startStop) == "Stop"; }));
  EXPECT_TRUE(LinkSays("COM1: receiving at 38400 baud", 30000)) << Text(monitor.linkLine);
}

// The lines the monitor's sentences page shows, oldest first (its list
// gives them as its text, a line each).
std::vector<std::string> ListLines(HWND list) {
  static char text[1 << 16];
  std::vector<std::string> lines;
  if (!ReadControlText(list, text, sizeof text)) return lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The number before words in text; -1 without it.
long CountBefore(const std::string& text, const char* words) {
  const size_t at = text.find(words);
  if (at == std::string::npos) return -1;
  size_t start = at;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
  return start == at ? -1 : std::atol(text.c_str() + start);
}

TEST_F(monitor_gui_test, sentences_page_lists_what_came_marks_the_damaged_and_pauses) {
  const std::string damaged = "$GPGSA,A,3,10,,,,,,,,,,,,1.5,0.9,1.2*00";  // its checksum is 3D
  receiver.Open(4800);
  Launch("--port COM1 --baud 4800 --start --view sentences");
  receiver.Send([&](int second) { return ZenithAndEastCycle(second) + "noise between sentences\r\n" + damaged + "\r\n"; });
  HWND list = GetDlgItem(monitor.main, IDC_SENTENCE_LIST);
  std::vector<std::string> lines;
  ASSERT_TRUE(PollUntil([&] {
    lines = ListLines(list);
    return Holds(lines, "[checksum error] " + damaged);
  }, 20000)) << lines.size() << " lines, the last " << (lines.empty() ? "" : lines.back());
  // A cycle's GGA as sent (its time, 1200ss.00, the cycle's), the noise as
  // the 25 bytes after the RMC's line end and its own.
  const std::string gga = ZenithAndEastCycle(0).substr(0, ZenithAndEastCycle(0).find("\r\n"));
  bool seenGga = false;
  for (const std::string& l : lines)
    seenGga = seenGga || (l.size() == gga.size() && l.compare(0, 11, gga, 0, 11) == 0 &&
                          l.compare(17, l.size() - 20, gga, 17, gga.size() - 20) == 0);
  EXPECT_TRUE(seenGga) << "no GGA line";
  EXPECT_TRUE(Holds(lines, "[27 bytes between sentences]"));

  // Paused, the list stands still while sentences come; let go, it catches up.
  HWND pause = GetDlgItem(monitor.main, IDC_SENTENCE_PAUSE);
  PostMessageA(pause, BM_CLICK, 0, 0);
  ASSERT_TRUE(PollUntil([&] { return SendMessageA(pause, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  const std::vector<std::string> paused = ListLines(list);
  WaitServingMessages(nullptr, 2500);  // two cycles come meanwhile
  EXPECT_EQ(paused, ListLines(list)) << "the list moved while paused";
  PostMessageA(pause, BM_CLICK, 0, 0);
  EXPECT_TRUE(PollUntil([&] { return ListLines(list) != paused; })) << "the list did not catch up";

  // Once the receiver is quiet, the page's totals are the framer's counts.
  receiver.StopSending();
  HWND totals = GetDlgItem(monitor.main, IDC_SENTENCE_TOTALS);
  std::string said, link;
  EXPECT_TRUE(PollUntil([&] {
    said = Text(totals);
    link = Text(monitor.linkLine);
    return CountBefore(said, " checksum error") > 0 &&
           CountBefore(said, " checksum error") == CountBefore(link, " checksum error") &&
           CountBefore(said, " sentences,") == CountBefore(link, " sentences,");
  })) << said << " / " << link;
}

TEST_F(monitor_gui_test, closing_the_window_while_looking_for_a_receiver_ends_the_monitor_at_once) {
  // Nobody sends: the port search goes on until the window closes.
  Launch("--port auto --baud auto --start");
  ASSERT_TRUE(LinkSays("Looking for a receiver")) << Text(monitor.linkLine);
  WaitServingMessages(nullptr, 1000);
  const long closed = Close();
  ASSERT_GE(closed, 0) << "the monitor did not end";
  std::printf("closed while searching: the process ended %ld ms after WM_CLOSE\n", closed);
  // It ends within about 100 ms (the search looks at its stop request every
  // 100 ms); a monitor that waited for the search would take its 60 s.
  EXPECT_LT(closed, 3000);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <orvogps-monitor.exe> <nmea-decode.exe> <captures folder> [gtest options]\n",
                 argv[0]);
    return 2;
  }
  monitorPath = argv[1];
  decoderPath = argv[2];
  capturesPath = WindowsPath(argv[3]);
  if (!UseWineDesktop("orvogps-monitor-test")) {
    std::fprintf(stderr, "cannot select Wine's desktop in the registry\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
