// print-fixes: the smallest program on the receiver library. Opens COM1,
// prints one line per receiver cycle for five seconds, then what the link did.
//   print-fixes [--port COMn|auto] [--baud N|auto] [--reconnect] [--seconds S]
// With options it opens with OrvoGPSOpenWith (finding the port first for
// --port auto) and prints what the link does as it changes.
#include <windows.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <comport/comport.h>
#include <nmea/receiver.h>

// Runs on the port's reader thread once per receiver cycle, with the fix and
// the sky put together from every sentence of the cycle, all constellations.
static void PrintEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) {
  char time[32] = "no time";
  if (fix->year != GPS_UNKNOWN && fix->hours != GPS_UNKNOWN)
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", fix->year, fix->month, fix->day,
                  fix->hours, fix->minutes, fix->seconds, fix->milliseconds);
  char position[64] = "no position";
  if (!std::isnan(fix->latitude))
    std::snprintf(position, sizeof position, "%.6f %c %.6f %c", std::fabs(fix->latitude),
                  fix->latitude < 0 ? 'S' : 'N', std::fabs(fix->longitude), fix->longitude < 0 ? 'W' : 'E');
  char altitude[32] = "- m";
  if (!std::isnan(fix->altitudeMsl)) std::snprintf(altitude, sizeof altitude, "%.1f m", fix->altitudeMsl);
  const char* mode = fix->mode == GPS_MODE_3D ? "3D" : fix->mode == GPS_MODE_2D ? "2D" : "no fix";
  std::printf("%s %s %s %s %d/%d satellites\n", time, position, altitude, mode, sky->usedCount, sky->signalCount);
}

// No bytes: cable or port.  Bytes but no sentences: wrong speed.
// Checksum errors: noise on the line.
static void PrintLinkStats(const GpsContext* gps) {
  GpsStats link = {};
  ComPortStats line = {};
  if (OrvoGPSGetStats(gps, &link, &line) != 0) return;
  std::printf("%u bytes: %u sentences, %u of other types, %u checksum errors, %u too short, %u too long, "
              "%u cut short\n",
              link.bytes, link.sentences, link.ignored, link.checksumErrors, link.tooShort, link.tooLong,
              link.cutShort);
  std::printf("%u reads, %u failed: %u framing, %u parity, %u overrun errors, %u buffer overflows\n",
              line.reads, line.readErrors, line.framingErrors, line.parityErrors, line.overrunErrors,
              line.bufferOverflows);
}

struct Args {
  bool given;           // any option: open with OrvoGPSOpenWith
  int32_t portIndex;    // -1: find it
  GpsOpenOptions open;
  DWORD seconds;
};

static bool ParseArgs(int argc, char** argv, Args* a) {
  *a = Args{false, 0, {4800, 0}, 5};
  for (int i = 1; i < argc; ++i) {
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (std::strcmp(argv[i], "--reconnect") == 0) {
      a->open.reconnect = 1;
    } else if (std::strcmp(argv[i], "--port") == 0) {
      const int n = std::strncmp(value, "COM", 3) == 0 ? std::atoi(value + 3) : 0;
      if (std::strcmp(value, "auto") != 0 && (n < 1 || n > COM_PORT_COUNT)) return false;
      a->portIndex = n - 1;
      ++i;
    } else if (std::strcmp(argv[i], "--baud") == 0) {
      a->open.baudRate = std::strcmp(value, "auto") == 0 ? GPS_BAUD_AUTO : std::strtoul(value, nullptr, 10);
      ++i;
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      a->seconds = std::strtoul(value, nullptr, 10);
      ++i;
    } else {
      return false;
    }
    a->given = true;
  }
  return true;
}

static const char* StateText(int32_t state) {
  switch (state) {
    case GPS_LINK_SEARCHING: return "searching at";
    case GPS_LINK_RECEIVING: return "receiving at";
    case GPS_LINK_NO_SENTENCES: return "no sentences at";
    case GPS_LINK_DEVICE_LOST: return "device lost, waiting for it; last at";
    default: return "closed";
  }
}

// Prints the link each time it changes, until the time is up.
static void WatchLink(const GpsContext* gps, DWORD seconds) {
  GpsLink shown = {-1, -1, 0, 0};
  const ULONGLONG end = GetTickCount64() + seconds * 1000ull;
  while (GetTickCount64() < end) {
    GpsLink now = {};
    if (OrvoGPSGetLink(gps, &now) == 0 && (now.state != shown.state || now.baudRate != shown.baudRate ||
                                           now.reconnects != shown.reconnects)) {
      std::printf("link: COM%d %s %u baud, %u reconnections\n", now.portIndex + 1, StateText(now.state),
                  now.baudRate, now.reconnects);
      shown = now;
    }
    Sleep(100);  // a look ten times a second is enough for a person
  }
}

// Finds the port (and the speed, unless given); false when none answers.
static bool FindPort(Args* a) {
  GpsFindOptions find = {30000, a->open.baudRate, 0, nullptr, nullptr};
  GpsFindResult found = {};
  std::printf("looking for a receiver on every port...\n");
  if (OrvoGPSFindReceiver(&find, &found) != GPS_FIND_FOUND) return false;
  std::printf("found on COM%d at %u baud\n", found.portIndex + 1, found.baudRate);
  a->portIndex = found.portIndex;
  a->open.baudRate = found.baudRate;
  return true;
}

int main(int argc, char** argv) {
  Args args;
  if (!ParseArgs(argc, argv, &args)) {
    std::fprintf(stderr, "usage: print-fixes [--port COMn|auto] [--baud N|auto] [--reconnect] [--seconds S]\n");
    return 2;
  }
  if (args.portIndex < 0 && !FindPort(&args)) {
    std::fprintf(stderr, "no receiver found\n");
    return 1;
  }
  GpsContext* gps = nullptr;
  const GpsOpenOptions* options = args.given ? &args.open : nullptr;
  // No sentence callback: the epoch callback gives the whole fix.
  const int32_t opened = OrvoGPSOpenWith(args.portIndex, options, nullptr, &gps);
  if (opened == GPS_OPEN_BAD_OPTIONS) {
    std::fprintf(stderr, "%u baud is not a speed receivers use: 4800, 9600, 19200, 38400, 57600, 115200, "
                 "230400, 460800 or 921600\n", args.open.baudRate);
    return 2;
  }
  if (opened != GPS_OPEN_OK) {
    std::fprintf(stderr, "cannot open COM%d\n", args.portIndex + 1);
    return 1;
  }
  GpsSetEpochCallback(gps, PrintEpoch);
  WatchLink(gps, args.seconds);  // epochs arrive on the reader thread meanwhile
  PrintLinkStats(gps);
  OrvoGPSClose(gps);
  return 0;
}
